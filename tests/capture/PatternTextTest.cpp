#include <gtest/gtest.h>

#include "capture/PatternText.h"

TEST(NormalizeHexText, TypedTextsGiveTheCanonicalFormAndBytesAndTextConvertBothWays) {
  const struct {
    const char* typed;   // UTF-8
    const char* result;  // null: refused, text unchanged
  } cases[] = {
      {"a01b", "A0 1B"},     {"1a2b3", "1A 2B 30"}, {"0x12", "01 20"}, {"12,34;56", "12 34 56"},
      {"  7  ", "70"},       {"0X1F", "01 F0"},     {"A B", "AB"},     {"A0 1B 7F", "A0 1B 7F"},
      {"ａ1é2ß", "12"},  // non-ASCII letters are dropped, not folded into hex digits
      {"g h i", nullptr},    {"xyz", nullptr},      {"", nullptr},     {"   ", nullptr},
  };
  for (const auto& c : cases) {
    QString text = QString::fromUtf8(c.typed);
    const bool ok = NormalizeHexText(text);
    EXPECT_EQ(ok, c.result != nullptr) << c.typed;
    EXPECT_EQ(text, QString::fromUtf8(c.result ? c.result : c.typed)) << c.typed;
  }

  // More than 256 typed pairs are cut to 256 bytes.
  QString text, none = "old";
  for (int i = 0; i < 300; ++i) text += QStringLiteral("%1").arg(i % 256, 2, 16, QLatin1Char('0'));
  ASSERT_TRUE(NormalizeHexText(text));
  EXPECT_TRUE(text.size() == 256 * 3 - 1 && HexTextToBytes(text).size() == 256 && text.endsWith("FF"));
  const uint8_t bytes[] = {0x01, 0x0A, 0xFF};
  BytesToHexText(bytes, 3, text);
  BytesToHexText(bytes, 0, none);
  EXPECT_EQ(text + "|" + none, QStringLiteral("01 0A FF|"));
  EXPECT_EQ(HexTextToBytes(QStringLiteral("a0 1b")), QByteArray::fromHex("A01B"));
  EXPECT_TRUE(HexTextToBytes(QString()).isEmpty());

  uint8_t all[256];
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  BytesToHexText(all, 256, text);
  EXPECT_EQ(HexTextToBytes(text), QByteArray(reinterpret_cast<const char*>(all), 256));
}
