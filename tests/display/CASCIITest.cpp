#include <gtest/gtest.h>

#include <cstring>

#include "display/CASCII.h"

namespace {

struct NameCase {
  unsigned byte;
  const char* name;
};

TEST(CASCII, NamesOfControlCharactersAreThreeWide) {
  const NameCase cases[] = {{0, "nul"},  {1, "soh"},  {2, "stx"},  {3, "etx"},  {4, "eot"},  {5, "enq"},
                            {6, "ack"},  {7, "bel"},  {8, " bs"},  {9, " ht"},  {10, " lf"}, {11, " vt"},
                            {12, " ff"}, {13, " cr"}, {14, " so"}, {15, " si"}, {16, "dle"}, {17, "dc1"},
                            {18, "dc2"}, {19, "dc3"}, {20, "dc4"}, {21, "nak"}, {22, "syn"}, {23, "etb"},
                            {24, "can"}, {25, "eom"}, {26, "sub"}, {27, "esc"}, {28, " fs"}, {29, " gs"},
                            {30, " rs"}, {31, " us"}, {32, " sp"}, {127, "del"}};
  static_assert(sizeof cases / sizeof cases[0] == 34);
  CASCII ascii;
  for (const NameCase& c : cases) {
    EXPECT_STREQ(ascii.GetName(static_cast<uint8_t>(c.byte)), c.name) << "byte " << c.byte;
  }
}

TEST(CASCII, EveryOtherByteIsItself) {
  CASCII ascii;
  for (unsigned b = 33; b < 256; ++b) {
    if (b == 127) continue;
    const char* t = ascii.GetName(static_cast<uint8_t>(b));
    ASSERT_EQ(std::strlen(t), 1u) << b;
    EXPECT_EQ(static_cast<uint8_t>(t[0]), b);
  }
}

}  // namespace
