#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <tuple>

#include "ViewTestSupport.h"
#include "display/ViewNavigation.h"

using namespace viewtest;
using namespace viewnav;

namespace {

void sendKey(QWidget* w, int key, QEvent::Type type = QEvent::KeyPress) {
  QKeyEvent e(type, key, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
  platform::PumpMessages();
}

void notice(ViewHost& h, uint32_t code, uint32_t cell) { h.post(WM_CELL_MARK, code, cell); }

// After a paint, exactly the cells from .. to of the screen carry the mark bit (none when from > to).
void marked(ViewHost& h, uint32_t bit, uint32_t from, uint32_t to) {
  h.view->repaint();
  for (uint32_t c = 0; c < h.view->GetCellCount(); ++c) EXPECT_EQ(h.has(c, bit), c >= from && c <= to) << c;
}

// A key, or else a wheel delta, and the first item shown after it.
using Step = std::pair<int, uint32_t>;
constexpr int DN = Qt::Key_Down, UP = Qt::Key_Up, PGDN = Qt::Key_PageDown, PGUP = Qt::Key_PageUp,
              HOME = Qt::Key_Home, END = Qt::Key_End;

// Hex: 200 cells in rows of 20 over 1050 items, Page Down stops at the last screenful (850), a wheel notch at
// width 400 moves 20 items. List: a row is one item, 19 rows over 100 items scroll up to 81, and the wheel
// turns over the scroll bar as anywhere in the view. After each step: the first shown item, the screen, the
// thumb, the title.
TEST(ViewKeys, StepsOfKeysAndWheel) {
  const std::vector<Step> hex = {{PGDN, 200}, {PGDN, 400}, {PGDN, 600}, {PGDN, 800}, {PGDN, 850},
                                 {PGDN, 850}, {UP, 830},   {HOME, 0},   {PGUP, 0},   {END, 850},
                                 {DN, 850},   {HOME, 0},   {-120, 20},  {-1, 40},    {600, 0}};
  const std::vector<Step> list = {{DN, 1},    {PGDN, 20}, {END, 81},  {DN, 81},         {UP, 80},
                                  {PGUP, 61}, {PGUP, 42}, {PGUP, 23}, {PGUP, 4},        {PGUP, 0},
                                  {UP, 0},    {-120, 1},  {-240, 3},  {1, 2},           {-1000, 11},
                                  {600, 6},   {6000, 0},  {HOME, 0},  {-120 * 100, 81}, {-120, 81}};
  const std::tuple<uint32_t, int, uint32_t, const std::vector<Step>&> cases[] = {
      {DISPLAY_HEX, 400, 1050, hex}, {DISPLAY_LIST, 600, 100, list}};
  for (const auto& [mode, width, fileItems, steps] : cases) {
    ViewHost h(width, 300, mode);
    h.key(VK_NEXT);  // no file: nothing
    EXPECT_EQ(h.view->GetFirstItem(), 0u);
    h.open(fileItems);
    const uint32_t cells = h.view->GetCellCount();
    QWidget* const wheelTarget =
        mode == DISPLAY_LIST ? static_cast<QWidget*>(h.view->scrollBar()) : h.view.get();
    int n = 0;
    for (const auto& [input, first] : steps) {
      SCOPED_TRACE(testing::Message() << mode << " step " << n++);
      if (input >= Qt::Key_Escape) {
        sendKey(h.view.get(), input);
      } else {
        QWheelEvent e(QPointF(2, 2), wheelTarget->mapToGlobal(QPointF(2, 2)), QPoint(), QPoint(0, input),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(wheelTarget, &e);
        platform::PumpMessages();
      }
      EXPECT_EQ(h.view->GetFirstItem(), first);
      EXPECT_TRUE(h.shows(0, first) && h.shows(cells - 1, first + cells - 1));
      EXPECT_EQ(h.view->scrollBar()->value(), int(uint64_t(first) * 10000 / fileItems));
      EXPECT_EQ(h.view->Title(), QStringLiteral("Halted: %1 / %2 - Analyzer").arg(first).arg(fileItems));
    }
  }
}

// With fewer items than cells nothing moves, not even a cursor on the last item. A released thumb shows its
// item; while recording only the wheel moves.
TEST(ViewScrollBar, FewItemsThumbReleaseAndRecording) {
  ViewHost h(400, 300);
  h.open(150, "few.ANL");
  notice(h, NOTICE_CURSOR, 149);
  for (int key : {Qt::Key_PageDown, Qt::Key_End, Qt::Key_Right}) sendKey(h.view.get(), key);
  h.view->OnMouseWheel(-120);
  h.view->OnVScroll(SB_PAGEDOWN, 0);
  EXPECT_EQ(std::pair(h.view->GetFirstItem(), h.view->GetCursor()), std::pair(0u, 149u));
  h.open(1000000);
  QScrollBar* bar = h.view->scrollBar();
  auto shownAndThumb = [&](uint32_t first) {
    platform::PumpMessages();
    EXPECT_EQ(h.view->GetFirstItem(), first);
    EXPECT_EQ(bar->value(), int(uint64_t(first) * 10000 / 1000000));
  };
  bar->setSliderDown(true);
  bar->setSliderPosition(5000);  // a drag: thumb tracking, nothing redrawn
  EXPECT_EQ(h.view->GetThumbTarget(), 500000u);
  EXPECT_EQ(h.view->GetFirstItem(), 0u);
  bar->setSliderDown(false);  // released: end of scrolling
  shownAndThumb(500000);
  EXPECT_EQ(h.view->GetThumbTarget(), ITEM_NONE);
  EXPECT_TRUE(h.shows(0, 500000));
  // Line and page actions move like the keys; the thumb follows the content.
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  shownAndThumb(500020);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  shownAndThumb(499820);
  bar->setValue(9000);  // without an action (the bar's "Scroll here"): nothing moves
  shownAndThumb(499820);
  h.view->OnVScroll(SB_BOTTOM, 0);  // thumb position, top and bottom do nothing
  h.view->OnVScroll(SB_THUMBPOSITION, 10000);
  EXPECT_EQ(h.view->GetFirstItem(), 499820u);
  h.view->OnVScroll(SB_THUMBTRACK, 10000);  // a release at the end stops at the last screenful
  h.view->OnVScroll(SB_ENDSCROLL, 0);
  EXPECT_EQ(h.view->GetFirstItem(), 1000000u - 200u);
  h.view->SetRecording(true);
  sendKey(h.view.get(), Qt::Key_PageUp);
  h.view->OnVScroll(SB_PAGEUP, 0);
  EXPECT_EQ(h.view->GetFirstItem(), 1000000u - 200u);
  h.view->OnMouseWheel(120);
  EXPECT_EQ(h.view->GetFirstItem(), 1000000u - 220u);
}

TEST(ViewMarks, CursorReferenceAndRangeFollowNoticesKeysAndContent) {
  ViewHost h(400, 300);
  h.open(1000);
  // Cursor not set: arrows move nothing, but the detail request goes out.
  sendKey(h.view.get(), Qt::Key_Right);
  EXPECT_EQ(h.details, std::vector<intptr_t>{intptr_t(0xFFFFFFFFu)});

  for (uint32_t c : {5u, 9u}) {  // clicks: the cell marks itself and tells the view
    h.cell(c)->OnCellMark(MARK_CURSOR_ON);
    notice(h, NOTICE_CURSOR, c);
  }
  marked(h, CELL_CURSOR, 9, 9);
  sendKey(h.view.get(), Qt::Key_Left);
  marked(h, CELL_CURSOR, 8, 8);
  EXPECT_EQ(h.details.back(), 8);

  // Shift moves the reference instead.
  notice(h, NOTICE_REFERENCE, 3);
  sendKey(h.view.get(), Qt::Key_Shift);
  sendKey(h.view.get(), Qt::Key_Right);
  sendKey(h.view.get(), Qt::Key_Shift, QEvent::KeyRelease);
  EXPECT_FALSE(h.view->IsShiftDown());
  EXPECT_EQ(std::pair(h.view->GetReference(), h.view->GetCursor()), std::pair(4u, 8u));

  // The marks follow the content when it moves, and come back with it.
  sendKey(h.view.get(), Qt::Key_PageDown);
  marked(h, CELL_CURSOR, 1, 0);
  sendKey(h.view.get(), Qt::Key_PageUp);
  marked(h, CELL_CURSOR, 8, 8);
  marked(h, CELL_REFERENCE, 4, 4);

  // Clearing the markers takes every mark off but the search, whose fields stay.
  h.view->ScrollToItem(0, 2);
  h.view->ClearMarkers();
  platform::PumpMessages();
  marked(h, CELL_CURSOR, 1, 0);
  marked(h, CELL_REFERENCE, 1, 0);
  marked(h, CELL_SEARCH, 0, 1);
  EXPECT_EQ(std::pair(h.view->GetCursor(), h.view->GetReference()), std::pair(ITEM_NONE, ITEM_NONE));
  h.view->ClearSearchMarks();
  platform::PumpMessages();
  marked(h, CELL_SEARCH, 1, 0);
  EXPECT_EQ(h.view->GetSearchMarkLength(), 2u);

  // A range is drawn only while its last item is not above its first.
  const uint32_t range[][4] = {{NOTICE_RANGE_FIRST, 2, 1, 0}, {NOTICE_RANGE_LAST, 5, 2, 5},
                               {NOTICE_RANGE_LAST, 1, 1, 0},  {NOTICE_RANGE_LAST, 4, 2, 4},
                               {NOTICE_RANGE_CLEAR, 0, 1, 0}};  // notice, cell, cells marked from and to
  for (const auto& [code, c, from, to] : range) {
    notice(h, code, c);
    marked(h, CELL_RANGE, from, to);
  }
  EXPECT_EQ(std::pair(h.view->GetRangeFirst(), h.view->GetRangeLast()), std::pair(ITEM_NONE, ITEM_NONE));
  // A range far beyond the screen posts only what is on it.
  notice(h, NOTICE_RANGE_FIRST, 199);
  h.view->SetFirstItem(0);
  notice(h, NOTICE_RANGE_LAST, 0);  // not above first: nothing drawn
  marked(h, CELL_RANGE, 1, 0);
  // A file load takes every range mark off, also those left behind when the content moved.
  notice(h, NOTICE_RANGE_FIRST, 2), notice(h, NOTICE_RANGE_LAST, 5), sendKey(h.view.get(), Qt::Key_PageDown);
  h.load(h.file.GetPath());
  marked(h, CELL_RANGE, 1, 0);
}

// Near or beyond the end the last screenful shows; in a file shorter than the screen nothing moves and only
// the marks are set. In the list, a move shorter than the search mark sends off and on to the cells it keeps:
// the later on wins, so they stay marked; the cell it leaves turns white.
TEST(ViewMarks, ScrollToItemShowsAndMarksTheItem) {
  // mode, file items, item, length, first shown, cells marked from and to
  const uint32_t cases[][7] = {{DISPLAY_HEX, 1000, 500, 3, 500, 0, 2},
                               {DISPLAY_HEX, 1000, 990, 1, 800, 190, 190},
                               {DISPLAY_HEX, 1000, 5000, 1, 800, 1, 0},
                               {DISPLAY_HEX, 50, 10, 2, 0, 10, 11},
                               {DISPLAY_LIST, 100, 10, 5, 10, 0, 4}};
  for (const auto& [mode, fileItems, item, length, first, markedFrom, markedTo] : cases) {
    SCOPED_TRACE(item);
    ViewHost h(mode == DISPLAY_LIST ? 600 : 400, 300, mode);
    h.open(fileItems);
    h.view->ScrollToItem(item, length);
    platform::PumpMessages();
    const uint32_t shown = std::min(fileItems, h.view->GetCellCount());
    EXPECT_EQ(h.view->GetFirstItem(), first);
    EXPECT_TRUE(h.shows(0, first) && h.shows(shown - 1, first + shown - 1));
    marked(h, CELL_SEARCH, markedFrom, markedTo);
    if (mode != DISPLAY_LIST) continue;
    h.key(VK_HOME);
    h.key(VK_DOWN);  // first shown item 1: the mark sits on cells 9 to 13
    marked(h, CELL_SEARCH, 9, 13);
    const QImage img = h.grab();
    EXPECT_TRUE(img.pixel(h.cell(13)->geometry().topLeft() + QPoint(60, 8)) == qRgb(255, 255, 0));
    EXPECT_TRUE(isWhite(img.pixelColor(h.cell(14)->geometry().topLeft() + QPoint(60, 8))));
    h.key(VK_NEXT);  // the mark's first item above the screen: the mark goes
    marked(h, CELL_SEARCH, 1, 0);
  }
}

}  // namespace
