#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "fuzz/FuzzTargets.h"
#include "support/RecordingMessageBox.h"

namespace {

using Target = int (*)(const uint8_t*, size_t);

// Deterministic random inputs of all sizes, biased towards the bytes that mean
// something to the parsers (flags, escapes, zeros), plus the edge inputs.
void replay(Target target, int rounds, size_t maxSize) {
  std::mt19937 rng(12345);
  const uint8_t interesting[] = {0x00, 0x7E, 0x7D, 0x20, 0x5E, 0x5D, 0xFF, 0x60, 0x62, 0x80, 0x18, 'V', '0', 'a'};
  std::vector<uint8_t> buf;
  target(nullptr, 0);
  for (int r = 0; r < rounds; ++r) {
    buf.resize(rng() % (maxSize + 1));
    for (auto& b : buf)
      b = (rng() % 3 == 0) ? interesting[rng() % sizeof interesting] : static_cast<uint8_t>(rng());
    target(buf.data(), buf.size());
  }
}

}  // namespace

TEST(FuzzReplay, ParsersOfOutsideBytesSurviveRandomInput) {
  testsupport::RecordingMessageBox boxes;
#define VRIM_FUZZ_TARGET(function, rounds, maxSize) replay(fuzz::function, rounds, maxSize);
#include "fuzz/FuzzTargetList.h"
#undef VRIM_FUZZ_TARGET
  // Headers that claim more than the file holds, or an absurd size.
  const uint8_t huge[] = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6};
  fuzz::AcquisitionFileInput(huge, sizeof huge);
  const uint8_t shortHeader[] = {0, 0, 0, 0, 0, 0, 0, 0, 30, 0, 0};
  fuzz::AcquisitionFileInput(shortHeader, sizeof shortHeader);
}
