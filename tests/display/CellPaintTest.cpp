#include <gtest/gtest.h>

#include "common/CellCodes.h"
#include "common/SystemTypes.h"
#include "display/CellPaint.h"

using namespace cellpaint;

namespace {

Input item(uint32_t state, uint8_t data, uint8_t flags = 0, uint8_t protocol = PROTOCOL_STANDARD) {
  return {state | CELL_ITEM, data, flags, protocol, 0, 0, 0, {}};
}

// Texts, places and fonts of the grid cells; the cell's pixel tests check colours, these the characters.
TEST(CellPaint, GridTextsAndFonts) {
  const std::pair<Input, Text> cases[] = {
      {item(DISPLAY_HEX, 0x0A, 0x01, PROTOCOL_MDB), {2, 0, "0A", Font::Default}},
      {item(DISPLAY_HEX, 0xE4, 0x80), {2, 15, "E4", Font::Default}},
      {item(DISPLAY_HEX | CELL_SWAP, 0x41), {2, 15, "41", Font::Default}},
      {item(DISPLAY_ASCII, 0x20), {2, 0, " sp", Font::Narrow}},
      {item(DISPLAY_ASCII, 0x7F, 0x80), {2, 15, "del", Font::Narrow}},
      {item(DISPLAY_ASCII, 0x41), {6, 0, "A", Font::Default}},
      {{DISPLAY_ASCII | CELL_ITEM, 0x00, 0, 0, 0, 0, 0, {}, false},
       {6, 0, "nul", Font::Default}},  // no narrow font
  };
  for (const auto& [in, text] : cases)
    EXPECT_EQ(plan(in).texts, std::vector<Text>{text}) << text.text.toStdString();
  EXPECT_EQ(byteText(0xE4), QString(QChar(0xE4)));
  EXPECT_EQ(byteText(0x80), QString(QChar(0x20AC)));  // shown as the Western code page
}

TEST(CellPaint, ListRowTexts) {
  Input in{DISPLAY_LIST | CELL_ITEM, 0x0D, 0x01, PROTOCOL_MDB, 0xFFFFFFFFu, 99, 2, "CHANGER: Poll"};
  const std::vector<Text> left = {{0, 0, "102"},
                                  {90, 0, "M"},
                                  {110, 0, "0x0D"},
                                  {150, 0, " cr"},
                                  {190, 0, "55954.833919"},
                                  {300, 0, "->"},
                                  {520, 0, "CHANGER: Poll"}};
  EXPECT_EQ(plan(in).texts, left);

  in.flags = 0x80;
  in.time = 1;
  in.protocol = PROTOCOL_STANDARD;
  const std::vector<Text> right = {
      {0, 0, "102"}, {300, 0, "<-"}, {340, 0, "0x0D"}, {380, 0, " cr"}, {420, 0, "0.000013"}};
  EXPECT_EQ(plan(in).texts, right);
}

}  // namespace
