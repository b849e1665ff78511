#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <string>
#include <vector>

#include "CellPixels.h"
#include "common/ItemRecord.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "display/CItem.h"
#include "display/CellArea.h"
#include "display/CellCodes.h"
#include "platform/MessageWindow.h"

using namespace cellpixels;

namespace {

struct Posted {
  uint32_t id;
  uintptr_t wParam;
  intptr_t lParam;
  bool operator==(const Posted&) const = default;
};

// A cell on a client area of its own, with a stand-in view that records what the
// cell posts.
struct CellHost {
  CellArea area;
  platform::MessageWindow view;
  std::vector<Posted> posted;
  CItem* cell;

  explicit CellHost(int width = 400, uint32_t index = 0, uintptr_t init = 0) {
    area.resize(width, 300);
    cell = new CItem(&area, view.handle(), nullptr, CELL_CONTROL_ID_BASE + index);
    area.show();
    for (uint32_t id : {WM_SHOW_DETAIL, WM_CELL_MARK})
      view.on(id, [this](platform::Message& m) {
        posted.push_back({m.id, m.wParam, m.lParam});
        return 0;
      });
    post(WM_CELL_INIT, init, index);
  }
  void post(uint32_t id, uintptr_t w, intptr_t l = 0) {
    platform::PostMessage(cell->handle(), id, w, l);
    platform::PumpMessages();
  }
  void item(uint8_t data, uint8_t flags = 0, uint32_t time = 0) {
    ItemRecord r;
    r.data = data;
    r.flags = flags;
    r.time = time;
    platform::PostMessage(cell->handle(), WM_CELL_DATA, CELLDATA_ITEM, platform::makePayload(r));
    platform::PumpMessages();
  }
  void mode(uint32_t m) { post(WM_CELL_DATA, CELLDATA_MODE, m); }
  void mark(uint32_t code) { platform::PostMessage(cell->handle(), WM_CELL_MARK, code, 0); }
  QImage grab() {
    platform::PumpMessages();
    return cell->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  void click(Qt::MouseButton button, QPoint at = QPoint(5, 5)) {
    QMouseEvent press(QEvent::MouseButtonPress, at, cell->mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(cell, &press);
    platform::PumpMessages();
  }
};

const QRect kUpper(0, 0, 20, 15);
const QRect kLower(0, 17, 20, 13);
const QRect kWhole(0, 0, 20, 30);

TEST(CItemPaint, ClearedCellKeepsTheCursorBlack) {
  CellHost h;
  h.item(0x41);
  h.mark(MARK_CURSOR_ON);
  h.post(WM_CELL_DATA, CELLDATA_CLEAR);
  const QImage img = h.grab();
  EXPECT_EQ(count(img, kWhole, isBlack), 20 * 30);  // no text, only the mark
  EXPECT_TRUE(h.cell->state() & CELL_CURSOR);
  EXPECT_FALSE(h.cell->state() & CELL_ITEM);
}

TEST(CItemPaint, MasterByteIsRedInTheUpperHalf) {
  CellHost h;
  h.item(0x41);  // no mode yet: shown as hex
  EXPECT_TRUE(h.cell->state() & DISPLAY_HEX);
  const QImage img = h.grab();
  EXPECT_GT(count(img, kUpper, isRed), 5);
  EXPECT_EQ(count(img, kLower, isRed), 0);
  EXPECT_EQ(count(img, kWhole, isBlue), 0);
  // The middle line at y 16.
  EXPECT_EQ(count(img, QRect(0, 16, 20, 1), isBlack), 20);
}

TEST(CItemPaint, RangeInHexIsBlackOnGreen) {
  CellHost h;
  h.mode(DISPLAY_HEX);
  h.item(0x41);
  h.mark(MARK_RANGE_ON);
  const QImage img = h.grab();
  EXPECT_GT(count(img, kWhole, isGreen), 300);
  EXPECT_GT(count(img, kUpper, isDark), 5);
  EXPECT_EQ(count(img, kWhole, isRed), 0);
}

TEST(CItemPaint, RangeInAsciiKeepsTheDirectionColour) {
  CellHost master;
  master.mode(DISPLAY_ASCII);
  master.item('A');
  master.mark(MARK_RANGE_ON);
  QImage img = master.grab();
  EXPECT_GT(count(img, kWhole, isGreen), 300);
  EXPECT_GT(count(img, kUpper, isRed), 3);

  CellHost slave;
  slave.mode(DISPLAY_ASCII);
  slave.item('A', ITEM_FLAG_SLAVE);
  slave.mark(MARK_RANGE_LAST_ON);  // 10 acts as 8
  img = slave.grab();
  EXPECT_GT(count(img, kWhole, isGreen), 300);
  EXPECT_GT(count(img, kLower, isBlue), 3);
}

TEST(CItemPaint, CursorAndRangeGiveWhiteTextOnGreen) {
  CellHost h;
  h.mode(DISPLAY_HEX);
  h.item(0x88);
  h.mark(MARK_CURSOR_ON);
  h.mark(MARK_RANGE_ON);
  const QImage img = h.grab();
  EXPECT_GT(count(img, kWhole, isGreen), 300);
  EXPECT_GT(count(img, kUpper, isWhite), 5);
  EXPECT_EQ(count(img, kWhole, isRed), 0);
}

TEST(CItemPaint, TheLaterOfOnAndOffDecides) {
  CellHost h;
  h.mode(DISPLAY_HEX);
  h.item(0x10);
  h.mark(MARK_SEARCH_ON);
  h.grab();
  h.mark(MARK_SEARCH_OFF);
  h.mark(MARK_SEARCH_ON);
  QImage img = h.grab();
  EXPECT_GT(count(img, kWhole, isYellow), 300);

  h.mark(MARK_SEARCH_ON);
  h.mark(MARK_SEARCH_OFF);
  img = h.grab();
  EXPECT_EQ(count(img, kWhole, isYellow), 0);
  EXPECT_GT(count(img, kWhole, isWhite), 300);
  EXPECT_FALSE(h.cell->state() & (CELL_SEARCH | CELL_SEARCH_OFF));
}

TEST(CItemPaint, ReferenceLeavingTheCursorCellLeavesItBlack) {
  CellHost h;
  h.item(0x55);
  h.mark(MARK_CURSOR_ON);
  h.mark(MARK_REFERENCE_ON);
  EXPECT_GT(count(h.grab(), kWhole, [](QColor c) { return c.rgb() == qRgb(255, 0, 0); }), 300);
  h.mark(MARK_REFERENCE_OFF);
  const QImage img = h.grab();
  EXPECT_GT(count(img, kWhole, isBlack), 300);
  EXPECT_GT(count(img, kUpper, isWhite), 5);
}

TEST(CItemPaint, SwapMovesAMasterByteDownInBlue) {
  CellHost h(400, 0, CELLINIT_SWAP);
  EXPECT_TRUE(h.cell->state() & CELL_SWAP);
  h.item(0x41, 0x00);
  QImage img = h.grab();
  EXPECT_GT(count(img, kLower, isBlue), 5);
  EXPECT_EQ(count(img, kUpper, isBlue), 0);
  EXPECT_EQ(count(img, kWhole, isRed), 0);
  h.post(WM_CELL_DATA, CELLDATA_MASKBITS, static_cast<intptr_t>(~CELL_SWAP));
  img = h.grab();
  EXPECT_GT(count(img, kUpper, isRed), 5);
}

TEST(CItemPaint, MdbModeBitUnderlinesTheByte) {
  CellHost h(400, 0, PROTOCOL_MDB);
  h.item(0x41, ITEM_FLAG_MODE);
  QImage img = h.grab();
  EXPECT_EQ(count(img, QRect(2, 14, 16, 1), isBlack), 16);
  EXPECT_FALSE(isBlack(img.pixelColor(18, 14)));
  h.item(0x41, ITEM_FLAG_MODE | ITEM_FLAG_SLAVE);
  img = h.grab();
  EXPECT_EQ(count(img, QRect(2, 29, 16, 1), isBlack), 16);
  h.post(WM_CELL_DATA, CELLDATA_PROTOCOL, PROTOCOL_STANDARD);
  img = h.grab();
  EXPECT_EQ(count(img, QRect(2, 29, 16, 1), isBlack), 0);
}

TEST(CItemPaint, AsciiControlNamesUseTheNarrowFontAtTwo) {
  CellHost h;
  h.mode(DISPLAY_ASCII);
  h.item('A');
  EXPECT_EQ(count(h.grab(), QRect(0, 0, 6, 15), isRed), 0);  // default font at x = 6
  h.item(0x00);
  const QImage img = h.grab();
  EXPECT_GT(count(img, QRect(0, 0, 6, 15), isRed), 0);  // "nul" from x = 2
}

TEST(CItemPaint, ListRowShowsNumberSideAndText) {
  CellHost h(700);
  h.mode(DISPLAY_LIST);
  h.post(WM_CELL_LAYOUT, 0);
  EXPECT_EQ(h.cell->geometry(), QRect(5, 5, 690, 16));
  h.post(WM_CELL_DATA, CELLDATA_PROTOCOL, PROTOCOL_MDB);
  h.item(0x41, ITEM_FLAG_SLAVE, 1);
  platform::PostMessage(h.cell->handle(), WM_CELL_DATA, CELLDATA_TEXT,
                        platform::makePayload(std::string("CHANGER: Poll")));
  QImage img = h.grab();
  EXPECT_EQ(h.cell->text(), QStringLiteral("CHANGER: Poll"));
  EXPECT_EQ(count(img, QRect(100, 0, 190, 16), isBlue), 0);  // nothing left of the arrow
  EXPECT_GT(count(img, QRect(340, 0, 150, 16), isBlue), 10);
  EXPECT_GT(count(img, QRect(520, 0, 150, 16), isBlue), 10);  // the decoded text
  h.item(0x42, ITEM_FLAG_SLAVE);
  EXPECT_TRUE(h.cell->text().isEmpty());  // a new item drops the old text
}

// Every combination of mode, side and marks against the colours of the cell's
// paint: the fill, the ink of the text and its half or side, and whether the text
// stands on its white text cell.
enum class Ink { Red, Blue, Black, White };

struct PaintCase {
  const char* name;
  uint32_t mode;
  uint8_t flags;
  bool swap;
  std::vector<uint32_t> marks;
  QRgb fill;
  Ink ink;
  bool transmitSide;  // upper half / left of the arrow
  bool whiteTextCell;
};

bool inkOf(Ink ink, QColor c) {
  switch (ink) {
    case Ink::Red:
      return isRed(c);
    case Ink::Blue:
      return isBlue(c);
    case Ink::Black:
      return isBlack(c);
    case Ink::White:
      return isWhite(c);
  }
  return false;
}

TEST(CItemPaint, ColoursOfEveryMarkModeAndSide) {
  const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0), red = qRgb(255, 0, 0),
             yellow = qRgb(255, 255, 0), green = qRgb(32, 255, 32);
  const uint8_t M = 0x00, S = ITEM_FLAG_SLAVE;
  const PaintCase cases[] = {
      {"hex master", DISPLAY_HEX, M, false, {}, white, Ink::Red, true, true},
      {"hex slave", DISPLAY_HEX, S, false, {}, white, Ink::Blue, false, true},
      {"hex cursor", DISPLAY_HEX, M, false, {MARK_CURSOR_ON}, black, Ink::White, true, false},
      {"hex reference", DISPLAY_HEX, M, false, {MARK_REFERENCE_ON}, red, Ink::Black, true, false},
      {"hex search", DISPLAY_HEX, S, false, {MARK_SEARCH_ON}, yellow, Ink::Black, false, false},
      {"hex range", DISPLAY_HEX, M, false, {MARK_RANGE_ON}, green, Ink::Black, true, false},
      {"hex cursor+range",
       DISPLAY_HEX,
       S,
       false,
       {MARK_CURSOR_ON, MARK_RANGE_ON},
       green,
       Ink::White,
       false,
       false},
      {"hex cursor+reference",
       DISPLAY_HEX,
       M,
       false,
       {MARK_REFERENCE_ON, MARK_CURSOR_ON},
       red,
       Ink::White,
       true,
       false},
      {"hex swap master", DISPLAY_HEX, M, true, {}, white, Ink::Blue, false, true},
      {"hex swap slave", DISPLAY_HEX, S, true, {}, white, Ink::Red, true, true},
      {"ascii range master", DISPLAY_ASCII, M, false, {MARK_RANGE_ON}, green, Ink::Red, true, true},
      {"ascii range slave", DISPLAY_ASCII, S, false, {MARK_RANGE_ON}, green, Ink::Blue, false, true},
      {"ascii search", DISPLAY_ASCII, M, false, {MARK_SEARCH_ON}, yellow, Ink::Black, true, false},
      {"ascii reference+range",
       DISPLAY_ASCII,
       S,
       false,
       {MARK_REFERENCE_ON, MARK_RANGE_ON},
       green,
       Ink::Black,
       false,
       false},
      {"ascii cursor", DISPLAY_ASCII, M, false, {MARK_CURSOR_ON}, black, Ink::White, true, false},
      {"list range master", DISPLAY_LIST, M, false, {MARK_RANGE_ON}, green, Ink::Red, true, true},
      {"list range slave", DISPLAY_LIST, S, false, {MARK_RANGE_ON}, green, Ink::Blue, false, true},
      {"list search", DISPLAY_LIST, M, false, {MARK_SEARCH_ON}, yellow, Ink::Black, true, false},
      {"list swap slave", DISPLAY_LIST, S, true, {}, white, Ink::Red, true, true},
      {"list cursor", DISPLAY_LIST, M, false, {MARK_CURSOR_ON}, black, Ink::White, true, false},
  };
  for (const PaintCase& c : cases) {
    SCOPED_TRACE(c.name);
    const bool list = c.mode == DISPLAY_LIST;
    CellHost h(700, 0, c.swap ? CELLINIT_SWAP : 0);
    h.mode(c.mode);
    h.post(WM_CELL_LAYOUT, 0);
    h.item('A', c.flags);
    for (uint32_t m : c.marks) h.mark(m);
    const QImage img = h.grab();
    // Text cells: hex "41" at x 2, ASCII "A" at x 6, list values at 110 or 340;
    // y 0 or 15 in the grid, 0 in the list.
    QRect inked, other;
    QPoint background[2], textCell;
    if (list) {
      inked = c.transmitSide ? QRect(110, 0, 190, 16) : QRect(340, 0, 180, 16);
      other = c.transmitSide ? QRect(340, 0, 180, 16) : QRect(110, 0, 180, 16);
      background[0] = QPoint(60, 8);
      background[1] = QPoint(680, 8);
      textCell = QPoint(c.transmitSide ? 110 : 340, 1);
    } else {
      inked = c.transmitSide ? QRect(0, 0, 20, 16) : QRect(0, 17, 20, 13);
      other = c.transmitSide ? QRect(0, 17, 20, 13) : QRect(0, 0, 20, 16);
      background[0] = QPoint(19, 3);
      background[1] = QPoint(19, 24);
      textCell = QPoint(c.mode == DISPLAY_HEX ? 2 : 6, c.transmitSide ? 1 : 17);
    }
    for (const QPoint& b : background) EXPECT_EQ(img.pixel(b), c.fill) << b.x() << "," << b.y();
    EXPECT_GT(count(img, inked, [&](QColor k) { return inkOf(c.ink, k); }), 3);
    EXPECT_EQ(count(img, other, [&](QColor k) { return inkOf(c.ink, k); }), 0);
    EXPECT_EQ(img.pixel(textCell), c.whiteTextCell ? white : c.fill);
    if (!list) {
      EXPECT_EQ(count(img, QRect(0, 16, 20, 1), isBlack), 20);  // the middle line
    }
  }
}

TEST(CItemPaint, TextsStartAtTheirPlaces) {
  // Hex: nothing left of x 2, and the byte in its half only.
  CellHost hex;
  hex.mode(DISPLAY_HEX);
  hex.item(0x88);
  QImage img = hex.grab();
  EXPECT_EQ(count(img, QRect(0, 0, 2, 30), isRed), 0);
  EXPECT_GT(count(img, QRect(2, 0, 18, 15), isRed), 5);
  // ASCII, a byte from 0x80: the character itself in the default font at x 6.
  CellHost high;
  high.mode(DISPLAY_ASCII);
  high.item(0xE4, ITEM_FLAG_SLAVE);
  img = high.grab();
  EXPECT_EQ(count(img, QRect(0, 15, 6, 15), isBlue), 0);
  EXPECT_GT(count(img, QRect(6, 15, 14, 15), isBlue), 3);
  // List: the number at 0, nothing between it and the value at 110 but "M" at 90.
  CellHost row(700);
  row.mode(DISPLAY_LIST);
  row.post(WM_CELL_LAYOUT, 0);
  row.post(WM_CELL_DATA, CELLDATA_PROTOCOL, PROTOCOL_MDB);
  row.item(0x41, ITEM_FLAG_MODE, 1);
  img = row.grab();
  EXPECT_GT(count(img, QRect(0, 0, 20, 16), isRed), 2);      // "1"
  EXPECT_EQ(count(img, QRect(20, 0, 70, 16), isRed), 0);     // up to the "M"
  EXPECT_GT(count(img, QRect(90, 0, 20, 16), isRed), 2);     // "M"
  EXPECT_GT(count(img, QRect(150, 0, 30, 16), isRed), 2);    // "A"
  EXPECT_GT(count(img, QRect(190, 0, 100, 16), isRed), 10);  // "0.000013"
  EXPECT_GT(count(img, QRect(300, 0, 20, 16), isRed), 2);    // "->"
  EXPECT_EQ(count(img, QRect(320, 0, 370, 16), isRed), 0);   // no decoded text yet
}

TEST(CItemMessages, InitPlacesTheCellOnTheGrid) {
  CellHost narrow(390, 19);
  EXPECT_EQ(narrow.cell->pos(), QPoint(5, 35));
  CellHost wide(391, 19);
  EXPECT_EQ(wide.cell->pos(), QPoint(385, 5));
  EXPECT_EQ(wide.cell->size(), QSize(20, 30));
  // The init word's high byte goes into state bits 24 to 31, nothing is cleared.
  CellHost bits(400, 0, 0x1203);
  EXPECT_EQ(bits.cell->protocol(), 3);
  EXPECT_EQ(bits.cell->state() & 0xFF000000u, 0x12000000u);
}

TEST(CItemMessages, DataCodesChangeOnlyWhatTheySay) {
  CellHost h;
  h.item(0x33, 0x81, 77);
  h.mark(MARK_REFERENCE_ON);
  h.post(WM_CELL_DATA, CELLDATA_CLEAR);
  EXPECT_EQ(h.cell->data(), 0x33);
  EXPECT_EQ(h.cell->flags(), 0x81);
  EXPECT_EQ(h.cell->time(), 77u);
  EXPECT_TRUE(h.cell->state() & CELL_REFERENCE);
  const uint32_t before = h.cell->state();
  h.post(WM_CELL_DATA, 9, 1234);
  h.post(WM_CELL_MARK, 12);
  h.post(WM_CELL_MARK, 1);
  EXPECT_EQ(h.cell->state(), before);
  h.post(WM_CELL_DATA, CELLDATA_MODE, DISPLAY_LIST);
  EXPECT_EQ(h.cell->state() & CELL_MODE_MASK, DISPLAY_LIST);
  h.post(WM_CELL_MARK, MARK_RANGE_LAST_ON);
  EXPECT_TRUE(h.cell->state() & CELL_RANGE);
  h.post(WM_CELL_MARK, MARK_RANGE_LAST_OFF);
  h.grab();
  EXPECT_FALSE(h.cell->state() & (CELL_RANGE | CELL_RANGE_OFF));
  h.post(WM_CELL_DATA, CELLDATA_TEXT, 0);  // no buffer: empty text
  EXPECT_TRUE(h.cell->text().isEmpty());
}

TEST(CItemInput, LeftClickPostsDetailThenCursorNotice) {
  CellHost h(400, 7);
  h.click(Qt::LeftButton);
  EXPECT_TRUE(h.posted.empty());  // no item: nothing
  h.item(0x41);
  h.click(Qt::LeftButton);
  EXPECT_EQ(h.posted, (std::vector<Posted>{{WM_SHOW_DETAIL, 0, 7}, {WM_CELL_MARK, NOTICE_CURSOR, 7}}));
  EXPECT_TRUE(h.cell->state() & CELL_CURSOR);
}

TEST(CItemInput, PopupMenuCommandsMarkAndNotify) {
  CellHost h(400, 4);
  h.click(Qt::RightButton);
  EXPECT_EQ(h.cell->popupMenu(), nullptr);  // no item: no menu
  h.item(0x41);
  h.click(Qt::RightButton);
  QMenu* menu = h.cell->popupMenu();
  ASSERT_NE(menu, nullptr);
  QStringList captions;
  for (QAction* a : menu->actions()) captions << a->text();
  EXPECT_EQ(captions,
            (QStringList{"Set Reference", "Select First Item", "Select Last Item", "Clear Selected Items"}));
  std::vector<uint32_t> ids;
  for (QAction* a : menu->actions()) ids.push_back(a->data().toUInt());
  EXPECT_EQ(ids, (std::vector<uint32_t>{ID_CELL_SET_REFERENCE, ID_CELL_SELECT_FIRST, ID_CELL_SELECT_LAST,
                                        ID_CELL_CLEAR_SELECTION}));
  menu->close();

  menu->actions()[0]->trigger();
  platform::PumpMessages();
  EXPECT_TRUE(h.cell->state() & CELL_REFERENCE);
  menu->actions()[1]->trigger();
  menu->actions()[2]->trigger();
  const uint32_t state = h.cell->state();
  EXPECT_TRUE(state & CELL_RANGE);
  menu->actions()[3]->trigger();
  platform::PumpMessages();
  EXPECT_EQ(h.cell->state(), state);
  EXPECT_EQ(h.posted, (std::vector<Posted>{{WM_CELL_MARK, NOTICE_REFERENCE, 4},
                                           {WM_CELL_MARK, NOTICE_RANGE_FIRST, 4},
                                           {WM_CELL_MARK, NOTICE_RANGE_LAST, 4},
                                           {WM_CELL_MARK, NOTICE_RANGE_CLEAR, 4}}));
}

}  // namespace
