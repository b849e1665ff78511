#include <gtest/gtest.h>

#include <cstring>

#include "display/CASCII.h"

namespace {

struct NameCase {
  unsigned byte;
  const char* name;
};

TEST(CASCII, NamesOfControlCharactersAreThreeWide) {
  const NameCase cases[] = {{0, "nul"},  {1, "soh"},  {7, "bel"},  {8, " bs"},  {9, " ht"},  {10, " lf"},
                            {12, " ff"}, {13, " cr"}, {16, "dle"}, {21, "nak"}, {24, "can"}, {25, "eom"},
                            {27, "esc"}, {28, " fs"}, {31, " us"}, {32, " sp"}, {127, "del"}};
  CASCII ascii;
  for (const NameCase& c : cases) {
    EXPECT_STREQ(ascii.GetName(static_cast<uint8_t>(c.byte)), c.name) << "byte " << c.byte;
    EXPECT_EQ(std::strlen(ascii.GetName(static_cast<uint8_t>(c.byte))), 3u);
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

TEST(CASCII, NextCallOverwritesTheText) {
  CASCII ascii;
  const char* first = ascii.GetName(0x41);
  const char* second = ascii.GetName(0x00);
  EXPECT_EQ(first, second);
  EXPECT_STREQ(first, "nul");
}

}  // namespace
