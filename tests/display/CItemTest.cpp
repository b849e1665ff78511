#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <string>
#include <tuple>

#include "ViewTestSupport.h"
#include "display/CellArea.h"
#include "display/CellPaint.h"

using namespace viewtest;
using namespace cellpaint;

namespace {

using Posted = std::tuple<uint32_t, uintptr_t, intptr_t>;  // id, wParam, lParam

// A cell on a client area of its own, with a stand-in view that records what the cell posts.
struct CellHost {
  CellArea area;
  CellArea::Cells cells;
  platform::MessageWindow view;
  std::vector<Posted> posted;
  CItem* cell;

  explicit CellHost(int width = 400, uint32_t index = 0, uintptr_t init = 0) {
    area.resize(width, 300);
    cells.push_back(std::make_unique<CItem>(&area, view.handle(), nullptr, CELL_CONTROL_ID_BASE + index));
    cell = cells.back().get();
    area.setCells(&cells);
    area.show();
    for (uint32_t id : {WM_SHOW_DETAIL, WM_CELL_MARK})
      view.on(id, [this](platform::Message& m) {
        posted.push_back({m.id, m.wParam, m.lParam});
        return 0;
      });
    post(WM_CELL_INIT, init, index);
  }
  template <typename L = intptr_t>  // a number or a payload
  void post(uint32_t id, uintptr_t w, L l = {}) {
    platform::PostMessage(cell->handle(), id, w, std::move(l));
    platform::PumpMessages();
  }
  void item(uint8_t data, uint8_t flags = 0, uint32_t time = 0) {
    post(WM_CELL_DATA, CELLDATA_ITEM, platform::makePayload(ItemRecord{flags, data, time}));
  }
  void text(const char* t) { post(WM_CELL_DATA, CELLDATA_TEXT, platform::makePayload(std::string(t))); }
  void mode(uint32_t m) { post(WM_CELL_DATA, CELLDATA_MODE, m); }
  void mark(uint32_t code) { platform::PostMessage(cell->handle(), WM_CELL_MARK, code, 0); }
  QImage grab() {
    platform::PumpMessages();
    return area.grab(cell->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
  }
  void click(Qt::MouseButton button, QPoint at = QPoint(5, 5)) {
    at += cell->geometry().topLeft();
    QMouseEvent press(QEvent::MouseButtonPress, at, area.mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(&area, &press);
    platform::PumpMessages();
  }
};

// Every combination of mode, side and marks against the colours of the cell's paint: the fill, the ink of the
// text (none: no text) and its half or side, and whether the text stands on its white text cell. Steps are
// marks, PAINT (the cell paints before the next step), UNSWAP (swap bit off) or CLEAR (item taken away).
constexpr uint32_t PAINT = 0, UNSWAP = 100, CLEAR = 101;
using Steps = std::vector<uint32_t>;
using Ink = bool (*)(QColor);

TEST(CItemPaint, ColoursOfEveryMarkModeAndSide) {
  const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0), red = qRgb(255, 0, 0),
             yellow = qRgb(255, 255, 0), green = qRgb(32, 255, 32);
  const uint32_t H = DISPLAY_HEX, A = DISPLAY_ASCII, L = DISPLAY_LIST;
  const uint8_t M = 0x00, S = ITEM_FLAG_SLAVE;
  const uint32_t CUR = MARK_CURSOR_ON, REF = MARK_REFERENCE_ON, REF_OFF = MARK_REFERENCE_OFF,
                 SEA = MARK_SEARCH_ON, SEA_OFF = MARK_SEARCH_OFF, RNG = MARK_RANGE_ON,
                 RNG_LAST = MARK_RANGE_LAST_ON;
  // name, mode (0: none set, the item shows as hex), flags, swap, steps, fill, ink, up: on the transmit side
  // (upper half / left of the arrow), on a white text cell
  const std::tuple<const char*, uint32_t, uint8_t, bool, Steps, QRgb, Ink, bool, bool> cases[] = {
      {"no mode master", 0, M, false, {}, white, isRed, true, true},
      {"hex slave", H, S, false, {}, white, isBlue, false, true},
      {"hex cursor", H, M, false, {CUR}, black, isWhite, true, false},
      {"cleared cell keeps the cursor", H, M, false, {CUR, CLEAR}, black, nullptr, true, false},
      {"hex reference", H, M, false, {REF}, red, isBlack, true, false},
      {"hex search", H, S, false, {SEA}, yellow, isBlack, false, false},
      {"hex range", H, M, false, {RNG}, green, isBlack, true, false},
      {"hex cursor+range", H, S, false, {CUR, RNG}, green, isWhite, false, false},
      {"hex cursor+reference", H, M, false, {REF, CUR}, red, isWhite, true, false},
      {"reference leaves cursor", H, M, false, {CUR, REF, PAINT, REF_OFF}, black, isWhite, true, false},
      {"search off then on", H, M, false, {SEA, PAINT, SEA_OFF, SEA}, yellow, isBlack, true, false},
      {"search on then off", H, M, false, {SEA, SEA_OFF}, white, isRed, true, true},
      {"hex swap master", H, M, true, {}, white, isBlue, false, true},
      {"hex swap slave", H, S, true, {}, white, isRed, true, true},
      {"hex swap taken off", H, M, true, {PAINT, UNSWAP}, white, isRed, true, true},
      {"ascii range master", A, M, false, {RNG}, green, isRed, true, true},
      {"ascii range slave", A, S, false, {RNG_LAST}, green, isBlue, false, true},
      {"ascii search", A, M, false, {SEA}, yellow, isBlack, true, false},
      {"ascii reference+range", A, S, false, {REF, RNG}, green, isBlack, false, false},
      {"list range master", L, M, false, {RNG}, green, isRed, true, true},
      {"list range slave", L, S, false, {RNG}, green, isBlue, false, true},
      {"list search", L, M, false, {SEA}, yellow, isBlack, true, false},
  };
  for (const auto& [name, mode, flags, swap, steps, fill, ink, up, whiteTextCell] : cases) {
    SCOPED_TRACE(name);
    const bool list = mode == DISPLAY_LIST;
    CellHost h(700, 0, swap ? CELLINIT_SWAP : 0);
    if (mode) h.mode(mode);
    h.post(WM_CELL_LAYOUT, 0);
    h.item('A', flags);
    for (uint32_t step : steps) {
      if (step == PAINT)
        h.grab();
      else if (step == UNSWAP)
        h.post(WM_CELL_DATA, CELLDATA_MASKBITS, static_cast<intptr_t>(~CELL_SWAP));
      else if (step == CLEAR)
        h.post(WM_CELL_DATA, CELLDATA_CLEAR);
      else
        h.mark(step);
    }
    const QImage img = h.grab();
    // Text cells: hex "41" at x 2, ASCII "A" at x 6, list values at 110 or 340; y 0 or 15 (grid), 0 (list).
    const QRect inked =
        list ? QRect(up ? 110 : 340, 0, up ? 190 : 180, 16) : QRect(0, up ? 0 : 17, 20, up ? 16 : 13);
    const QRect other = list ? QRect(up ? 340 : 110, 0, 180, 16) : QRect(0, up ? 17 : 0, 20, up ? 13 : 16);
    const QPoint background[] = {list ? QPoint(60, 8) : QPoint(19, 3),
                                 list ? QPoint(680, 8) : QPoint(19, 24)};
    const QPoint textCell =
        list ? QPoint(up ? 110 : 340, 1) : QPoint(mode == DISPLAY_ASCII ? 6 : 2, up ? 1 : 17);
    EXPECT_TRUE(list || count(img, QRect(0, 16, 20, 1), isBlack) == 20);  // the middle line
    for (const QPoint& b : background) EXPECT_EQ(img.pixel(b), fill) << b.x() << "," << b.y();
    if (!ink) {
      EXPECT_EQ(count(img, img.rect(), [f = fill](QColor k) { return k.rgb() != f; }), 0);
    } else {
      EXPECT_GT(count(img, inked, ink), 3);
      EXPECT_EQ(count(img, other, ink), 0);
    }
    EXPECT_EQ(img.pixel(textCell), whiteTextCell ? white : fill);
    // Off requests erase once and are gone after the paint.
    const uint32_t offBits = CELL_CURSOR_OFF | CELL_REFERENCE_OFF | CELL_SEARCH_OFF | CELL_RANGE_OFF;
    EXPECT_EQ(h.cell->state() & offBits, 0u);
  }
}

// Where the texts start: an area that must hold at least n pixels of the text's colour, or none (n = 0).
TEST(CItemPaint, TextsStartAtTheirPlaces) {
  const uint32_t H = DISPLAY_HEX, A = DISPLAY_ASCII, L = DISPLAY_LIST;
  const uint8_t MODE = ITEM_FLAG_MODE, S = ITEM_FLAG_SLAVE;
  const uint8_t MDB = PROTOCOL_MDB, STD = PROTOCOL_STANDARD;
  const std::tuple<uint32_t, uint8_t, uint8_t, const char*, uint8_t, QRect, Ink, int> cases[] = {
      {H, 0x88, 0, nullptr, MDB, QRect(0, 0, 2, 30), isRed, 0},  // hex from x 2
      // The MDB mode bit underlines the byte in its half, up to but not onto x 18.
      {H, 0x41, MODE, nullptr, MDB, QRect(2, 14, 16, 1), isBlack, 16},
      {H, 0x41, MODE, nullptr, MDB, QRect(18, 14, 1, 1), isBlack, 0},
      {H, 0x41, MODE | S, nullptr, MDB, QRect(2, 29, 16, 1), isBlack, 16},
      {H, 0x41, MODE | S, nullptr, STD, QRect(2, 29, 16, 1), isBlack, 0},
      {A, 0xE4, S, nullptr, MDB, QRect(6, 15, 14, 15), isBlue, 4},  // a byte from 0x80 in the lower half
      // List: the number at 0, the decoded text from 520 in the side's colour (the sides: colour test).
      {L, 0x41, MODE, nullptr, MDB, QRect(0, 0, 20, 16), isRed, 3},
      {L, 0x41, S, "CHANGER: Poll", MDB, QRect(520, 0, 150, 16), isBlue, 11}};
  for (const auto& [mode, data, flags, decoded, protocol, area, ink, atLeast] : cases) {
    SCOPED_TRACE(testing::Message() << mode << " " << int(data) << " at " << area.x() << "," << area.y());
    CellHost h(700, 0, PROTOCOL_MDB);  // the protocol message below may take it back
    h.mode(mode);
    h.post(WM_CELL_LAYOUT, 0);
    h.post(WM_CELL_DATA, CELLDATA_PROTOCOL, protocol);
    h.item(data, flags, 1);
    if (decoded) h.text(decoded);
    const int n = count(h.grab(), area, ink);
    EXPECT_TRUE(atLeast ? n >= atLeast : n == 0) << n;
  }
}

// The narrow font is fitted to the widest name: every name ends before the cell's last column, where a cut
// name ("enq" as "enc") would go on into its neighbour.
TEST(CItemPaint, ControlNamesEndInsideTheirCell) {
  CellHost h(400);
  h.mode(DISPLAY_ASCII);
  for (int b = 0; b <= 0x7F; b = b == 0x20 ? 0x7F : b + 1) {
    h.item(static_cast<uint8_t>(b));
    const QImage img = h.grab();
    EXPECT_EQ(count(img, QRect(19, 0, 1, 16), isRed), 0) << b;
    EXPECT_GT(count(img, QRect(2, 0, 17, 16), isRed), 8) << b;
  }
}

TEST(CItemInput, ClicksPopupMenuAndDataCodes) {
  // The init word's high byte goes into state bits 24 to 31, nothing is cleared.
  CellHost h(400, 4, 0x1203);
  EXPECT_EQ(h.cell->protocol(), 3);
  EXPECT_EQ(h.cell->state() & 0xFF000000u, 0x12000000u);
  h.click(Qt::LeftButton);  // without an item a click does nothing and no menu opens
  h.click(Qt::RightButton);
  EXPECT_TRUE(h.posted.empty());
  EXPECT_EQ(h.cell->popupMenu(), nullptr);
  h.item(0x41);
  h.click(Qt::LeftButton);
  EXPECT_EQ(h.posted, (std::vector<Posted>{{WM_SHOW_DETAIL, 0, 4}, {WM_CELL_MARK, NOTICE_CURSOR, 4}}));
  EXPECT_TRUE(h.cell->state() & CELL_CURSOR);

  h.posted.clear();
  h.click(Qt::RightButton);
  QMenu* menu = h.cell->popupMenu();
  ASSERT_NE(menu, nullptr);
  QStringList texts;
  for (QAction* a : menu->actions()) texts << a->text();
  EXPECT_EQ(texts,
            QStringList({"Set Reference", "Select First Item", "Select Last Item", "Clear Selected Items"}));
  menu->close();
  menu->actions()[0]->trigger();
  platform::PumpMessages();
  EXPECT_TRUE(h.cell->state() & CELL_REFERENCE);
  menu->actions()[1]->trigger();
  menu->actions()[2]->trigger();
  const uint32_t state = h.cell->state();
  EXPECT_TRUE(state & CELL_RANGE);
  menu->actions()[3]->trigger();  // the view clears the range
  platform::PumpMessages();
  EXPECT_EQ(h.cell->state(), state);
  EXPECT_EQ(h.posted, (std::vector<Posted>{{WM_CELL_MARK, NOTICE_REFERENCE, 4},
                                           {WM_CELL_MARK, NOTICE_RANGE_FIRST, 4},
                                           {WM_CELL_MARK, NOTICE_RANGE_LAST, 4},
                                           {WM_CELL_MARK, NOTICE_RANGE_CLEAR, 4}}));

  // Data codes change only what they say: a cleared item keeps its fields and marks.
  h.item(0x33, 0x81, 77);
  h.post(WM_CELL_DATA, CELLDATA_CLEAR);
  EXPECT_EQ(std::tuple(h.cell->data(), h.cell->flags(), h.cell->time()), std::tuple(0x33, 0x81, 77u));
  EXPECT_TRUE(h.cell->state() & CELL_REFERENCE);
  const uint32_t before = h.cell->state();
  h.post(WM_CELL_DATA, 9, 1234);
  h.post(WM_CELL_MARK, 12);
  h.post(WM_CELL_MARK, 1);
  EXPECT_EQ(h.cell->state(), before);
  h.post(WM_CELL_MARK, MARK_RANGE_LAST_ON);
  h.post(WM_CELL_MARK, MARK_RANGE_LAST_OFF);
  h.grab();
  EXPECT_FALSE(h.cell->state() & (CELL_RANGE | CELL_RANGE_OFF));
  h.text("CHANGER: Poll");
  EXPECT_EQ(h.cell->text(), QStringLiteral("CHANGER: Poll"));
  h.item(0x42);
  EXPECT_TRUE(h.cell->text().isEmpty());  // a new item drops the old text
  h.text("x");
  h.post(WM_CELL_DATA, CELLDATA_TEXT, 0);  // no buffer: empty text
  EXPECT_TRUE(h.cell->text().isEmpty());
}

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
