#include <gtest/gtest.h>

#include "capture/PatternText.h"

namespace {

struct NormalizeCase {
  const char* typed;
  const char* result;  // null: refused, text unchanged
};

const NormalizeCase NORMALIZE_CASES[] = {
    {"a01b", "A0 1B"},
    {"1a2b3", "1A 2B 30"},
    {"0x12", "01 20"},
    {"12,34;56", "12 34 56"},
    {"  7  ", "70"},
    {"0X1F", "01 F0"},
    {"0x1f", "01 F0"},
    {"A B", "AB"},
    {"a0 1b", "A0 1B"},
    {"A0 1B 7F", "A0 1B 7F"},
    {"g h i", nullptr},
    {"xyz", nullptr},
    {"", nullptr},
    {"   ", nullptr},
};

}  // namespace

TEST(NormalizeHexText, TypedTextsGiveTheCanonicalForm) {
  for (const NormalizeCase& c : NORMALIZE_CASES) {
    QString text = QString::fromLatin1(c.typed);
    const bool ok = NormalizeHexText(text);
    if (c.result) {
      EXPECT_TRUE(ok) << c.typed;
      EXPECT_EQ(text, QString::fromLatin1(c.result)) << c.typed;
    } else {
      EXPECT_FALSE(ok) << c.typed;
      EXPECT_EQ(text, QString::fromLatin1(c.typed)) << "refused text must stay as typed";
    }
  }
}

TEST(NormalizeHexText, NonAsciiCharactersAreDroppedNotFolded) {
  // Full-width and accented letters upper-case to themselves, not to hex digits.
  QString text = QString::fromUtf8("ａ1é2ß");
  ASSERT_TRUE(NormalizeHexText(text));
  EXPECT_EQ(text, QStringLiteral("12"));
}

TEST(NormalizeHexText, MoreThan256PairsAreCutTo256Bytes) {
  QString text;
  for (int i = 0; i < 300; ++i) text += QStringLiteral("%1").arg(i % 256, 2, 16, QLatin1Char('0'));
  ASSERT_TRUE(NormalizeHexText(text));
  EXPECT_EQ(text.size(), 256 * 3 - 1);
  EXPECT_EQ(HexTextToBytes(text).size(), 256);
  EXPECT_TRUE(text.endsWith(QStringLiteral("FF")));
}

TEST(BytesToHexText, FormatsEveryByteAsTwoUpperCaseDigits) {
  const uint8_t bytes[] = {0x01, 0x0A, 0xFF};
  QString text = QStringLiteral("old");
  BytesToHexText(bytes, 3, text);
  EXPECT_EQ(text, QStringLiteral("01 0A FF"));
  const uint8_t zero = 0;
  BytesToHexText(&zero, 1, text);
  EXPECT_EQ(text, QStringLiteral("00"));
  BytesToHexText(bytes, 0, text);
  EXPECT_TRUE(text.isEmpty());
}

TEST(HexTextToBytes, ReadsPairsAtEveryThirdCharacter) {
  EXPECT_EQ(HexTextToBytes(QStringLiteral("01 0A FF")), QByteArray::fromHex("010AFF"));
  EXPECT_EQ(HexTextToBytes(QStringLiteral("a0 1b")), QByteArray::fromHex("A01B"));
  EXPECT_TRUE(HexTextToBytes(QString()).isEmpty());
  // Round trip over every byte value.
  uint8_t all[256];
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  QString text;
  BytesToHexText(all, 256, text);
  const QByteArray back = HexTextToBytes(text);
  ASSERT_EQ(back.size(), 256);
  EXPECT_EQ(0, memcmp(back.constData(), all, 256));
}
