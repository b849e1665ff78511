#include "common/UnsignedText.h"

std::optional<uint32_t> parseUnsignedText(const QString& text) {
  const QString digits = text.trimmed();
  bool ok = false;
  const qulonglong value = digits.toULongLong(&ok, 10);
  // toULongLong takes a sign, which such a number never has.
  if (!ok || !digits.front().isDigit() || value > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(value);
}
