#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The number typed into an unsigned field (the settings pages, the trigger setup, the
// go-to dialog): decimal digits only, blanks around them allowed, at most 4294967295.
// Nothing for an empty text, a sign, any other character or a larger value.
std::optional<uint32_t> parseUnsignedText(const QString& text);
