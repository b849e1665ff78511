#pragma once

#include <cstddef>
#include <cstdint>

// Parsers of outside bytes, each driven by one fuzz target (listed in
// FuzzTargetList.h). They return 0 and must never read or write out of bounds,
// whatever the input.
namespace fuzz {

#define VRIM_FUZZ_TARGET(function, rounds, maxSize) int function(const uint8_t* data, size_t size);
#include "fuzz/FuzzTargetList.h"
#undef VRIM_FUZZ_TARGET

}  // namespace fuzz
