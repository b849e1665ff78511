#include <gtest/gtest.h>

#include "common/SystemTypes.h"
#include "display/CellCodes.h"
#include "display/CellPaint.h"

using namespace cellpaint;

namespace {

Input item(uint32_t state, uint8_t data, uint8_t flags = 0) {
  Input in;
  in.state = state | CELL_ITEM;
  in.data = data;
  in.flags = flags;
  return in;
}

TEST(CellPaint, OffBitsEraseOnceAndLaterMarksShow) {
  Input in;
  in.state = CELL_CURSOR | CELL_CURSOR_OFF | CELL_SEARCH;
  Plan p = plan(in);
  EXPECT_EQ(p.state, CELL_SEARCH);
  EXPECT_EQ(p.fill, Fill::Search);
  EXPECT_FALSE(p.drawsItem);

  in.state = CELL_SEARCH_OFF;
  p = plan(in);
  EXPECT_EQ(p.fill, Fill::White);
  EXPECT_EQ(p.state, 0u);

  in.state = CELL_CURSOR | CELL_REFERENCE | CELL_SEARCH | CELL_RANGE;
  EXPECT_EQ(plan(in).fill, Fill::Range);
  in.state = 0;
  EXPECT_EQ(plan(in).fill, Fill::None);
}

TEST(CellPaint, TextColourFollowsMarksAndMode) {
  // Master byte without swap: transmit side, red on opaque white.
  Plan p = plan(item(DISPLAY_HEX, 0x41));
  EXPECT_TRUE(p.transmitSide);
  EXPECT_EQ(p.textColor, COLOR_RED);
  EXPECT_TRUE(p.opaqueText);
  p = plan(item(DISPLAY_HEX, 0x41, 0x80));
  EXPECT_EQ(p.textColor, COLOR_BLUE);
  // Range: black in hex, direction colour in ASCII and list.
  EXPECT_EQ(plan(item(DISPLAY_HEX | CELL_RANGE, 0x41)).textColor, COLOR_BLACK);
  p = plan(item(DISPLAY_ASCII | CELL_RANGE, 0x41));
  EXPECT_EQ(p.textColor, COLOR_RED);
  EXPECT_TRUE(p.opaqueText);  // white text cell on the green
  EXPECT_EQ(p.fill, Fill::Range);
  p = plan(item(DISPLAY_LIST | CELL_RANGE, 0x41, 0x80));
  EXPECT_EQ(p.textColor, COLOR_BLUE);
  EXPECT_TRUE(p.opaqueText);
  EXPECT_EQ(plan(item(DISPLAY_ASCII | CELL_SEARCH, 0x41)).textColor, COLOR_BLACK);
  // Cursor wins: white, transparent.
  p = plan(item(DISPLAY_HEX | CELL_CURSOR | CELL_RANGE, 0x41));
  EXPECT_EQ(p.textColor, COLOR_WHITE);
  EXPECT_FALSE(p.opaqueText);
  EXPECT_EQ(p.fill, Fill::Range);
  // The reference leaving the cursor's cell: black cell, white text.
  p = plan(item(DISPLAY_HEX | CELL_CURSOR | CELL_REFERENCE | CELL_REFERENCE_OFF, 0x41));
  EXPECT_EQ(p.fill, Fill::Cursor);
  EXPECT_EQ(p.textColor, COLOR_WHITE);
}

TEST(CellPaint, SwapMovesDirections) {
  Plan p = plan(item(DISPLAY_HEX | CELL_SWAP, 0x41, 0x00));
  EXPECT_FALSE(p.transmitSide);
  EXPECT_EQ(p.textColor, COLOR_BLUE);
  ASSERT_FALSE(p.texts.empty());
  EXPECT_EQ(p.texts[0].y, 15);
  p = plan(item(DISPLAY_LIST | CELL_SWAP, 0x41, 0x00));
  EXPECT_EQ(p.texts[1].text, QStringLiteral("<-"));
}

TEST(CellPaint, HexCellTextsAndLines) {
  Input in = item(DISPLAY_HEX, 0x0A, 0x01);
  in.protocol = PROTOCOL_MDB;
  Plan p = plan(in);
  ASSERT_EQ(p.texts.size(), 1u);
  EXPECT_EQ(p.texts[0], (Text{2, 0, QStringLiteral("0A"), Font::Default}));
  EXPECT_EQ(p.lines, (std::vector<Line>{{2, 14, 18, 14}, {0, 16, 20, 16}}));
  in.flags = 0x81;
  p = plan(in);
  EXPECT_EQ(p.lines, (std::vector<Line>{{2, 29, 18, 29}, {0, 16, 20, 16}}));
  in.protocol = PROTOCOL_STANDARD;
  EXPECT_EQ(plan(in).lines.size(), 1u);
}

TEST(CellPaint, ItemWithoutModeIsNotDrawnAsAnything) {
  EXPECT_EQ(plan(item(0, 0x41)).mode, 0u);
  EXPECT_TRUE(plan(item(0, 0x41)).texts.empty());
}

TEST(CellPaint, AsciiCellNamesAndFonts) {
  Plan p = plan(item(DISPLAY_ASCII, 0x20));
  EXPECT_EQ(p.texts[0], (Text{2, 0, QStringLiteral(" sp"), Font::Narrow}));
  p = plan(item(DISPLAY_ASCII, 0x7F, 0x80));
  EXPECT_EQ(p.texts[0], (Text{2, 15, QStringLiteral("del"), Font::Narrow}));
  p = plan(item(DISPLAY_ASCII, 0x41));
  EXPECT_EQ(p.texts[0], (Text{6, 0, QStringLiteral("A"), Font::Default}));
  Input noNarrow = item(DISPLAY_ASCII, 0x00);
  noNarrow.narrowFont = false;
  EXPECT_EQ(plan(noNarrow).texts[0], (Text{6, 0, QStringLiteral("nul"), Font::Default}));
  EXPECT_EQ(byteText(0xE4), QString(QChar(0xE4)));
  EXPECT_EQ(byteText(0x80), QString(QChar(0x20AC)));
}

TEST(CellPaint, ListRowTexts) {
  Input in = item(DISPLAY_LIST, 0x0D, 0x01);
  in.time = 0xFFFFFFFFu;
  in.firstItem = 99;
  in.index = 2;
  in.protocol = PROTOCOL_MDB;
  in.text = QStringLiteral("CHANGER: Poll");
  Plan p = plan(in);
  const std::vector<Text> want = {{0, 0, QStringLiteral("102"), Font::Default},
                                  {90, 0, QStringLiteral("M"), Font::Default},
                                  {110, 0, QStringLiteral("0x0D"), Font::Default},
                                  {150, 0, QStringLiteral(" cr"), Font::Default},
                                  {190, 0, QStringLiteral("55954.833919"), Font::Default},
                                  {300, 0, QStringLiteral("->"), Font::Default},
                                  {520, 0, QStringLiteral("CHANGER: Poll"), Font::Default}};
  EXPECT_EQ(p.texts, want);

  in.flags = 0x80;
  in.time = 1;
  in.protocol = PROTOCOL_STANDARD;
  p = plan(in);
  const std::vector<Text> right = {{0, 0, QStringLiteral("102"), Font::Default},
                                   {300, 0, QStringLiteral("<-"), Font::Default},
                                   {340, 0, QStringLiteral("0x0D"), Font::Default},
                                   {380, 0, QStringLiteral(" cr"), Font::Default},
                                   {420, 0, QStringLiteral("0.000013"), Font::Default}};
  EXPECT_EQ(p.texts, right);
}

}  // namespace
