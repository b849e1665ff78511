#include <gtest/gtest.h>

#include <string>

#include "display/CASCII.h"

namespace {

// Control characters, space and DEL have three-wide names, every other byte is itself.
TEST(CASCII, NamesOfEveryByte) {
  const std::string controls =
      "nulsohstxetxeotenqackbel bs ht lf vt ff cr so sidledc1dc2dc3dc4naksynetbcaneomsubesc fs gs rs us sp";
  CASCII ascii;
  for (unsigned b = 0; b < 256; ++b) {
    const std::string expected = b <= 32    ? controls.substr(3 * b, 3)
                                 : b == 127 ? "del"
                                            : std::string(1, char(b));
    EXPECT_EQ(ascii.GetName(static_cast<uint8_t>(b)), expected) << "byte " << b;
  }
}

}  // namespace
