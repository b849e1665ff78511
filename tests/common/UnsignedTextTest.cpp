#include <gtest/gtest.h>

#include "common/UnsignedText.h"

TEST(UnsignedText, DecimalDigitsWithBlanksAroundUpTo32Bits) {
  const std::pair<const char*, std::optional<uint32_t>> cases[] = {
      {"0", 0u},     {"4294967295", 4294967295u}, {"4294967296", std::nullopt}, {"", std::nullopt},
      {" 12 ", 12u}, {"1a", std::nullopt},        {"+1", std::nullopt},         {"-0", std::nullopt}};
  for (const auto& [text, value] : cases) EXPECT_EQ(parseUnsignedText(text), value) << '"' << text << '"';
}
