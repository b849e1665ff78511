#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <atomic>
#include <string>
#include <thread>
#include <tuple>

#include "ViewTestSupport.h"
#include "common/StatusCodes.h"
#include "display/CASCII.h"
#include "display/CellGeometry.h"
#include "display/ViewNavigation.h"
#include "platform/AppWindows.h"

using namespace viewtest;
using namespace viewnav;
using namespace cellgeometry;

namespace {

struct CountingDecoder : CVRIMView::ItemDecoder {
  int* refreshes;
  explicit CountingDecoder(int* r) : refreshes(r) {}
  void Start() override {}
  void Refresh() override { ++*refreshes; }
  void StopAndWait() override {}
};

// Rows of 30, columns of 20 pixels, a partial one counting from 11 pixels on; list rows of 16 on the same
// rule; cells from 5 pixels in. Cells are added and removed at the end only (a too small client area keeps
// them), show their items at once and take the saved mode also in a layout that is not forced.
TEST(ViewLayout, CellCountsAndPlacesOfClientSizes) {
  ViewHost h(400, 300, DISPLAY_ASCII);
  CItem* const first = h.cell(0);
  h.open(1000);
  h.key(viewnav::VK_DOWN);
  h.resizeClient(400, 600);
  for (uint32_t i : {0u, 199u, 200u, 399u})
    EXPECT_TRUE(h.shows(i, 20 + i) && (h.cell(i)->state() & CELL_MODE_MASK) == DISPLAY_ASCII) << i;
  CItem* last = h.cell(399);
  h.resizeClient(20, 200);
  h.resizeClient(400, 30);
  EXPECT_EQ(h.view->GetCellCount(), 400u);
  EXPECT_EQ(h.cell(399), last);
  const std::tuple<uint32_t, int, int, uint32_t, QRect> cases[] = {
      {DISPLAY_HEX, 390, 300, 190, QRect(365, 275, 20, 30)},
      {DISPLAY_HEX, 391, 300, 200, QRect(385, 275, 20, 30)},
      {DISPLAY_HEX, 400, 600, 400, QRect(385, 575, 20, 30)},
      {DISPLAY_ASCII, 400, 40, 20, QRect(385, 5, 20, 30)},
      {DISPLAY_ASCII, 400, 41, 40, QRect(385, 35, 20, 30)},
      {DISPLAY_HEX, 21, 31, 1, QRect(5, 5, 20, 30)},
      {DISPLAY_HEX, 30, 70, 2, QRect(5, 35, 20, 30)},
      {DISPLAY_LIST, 400, 300, 19, QRect(5, 293, 390, 16)},
      {DISPLAY_LIST, 400, 301, 20, QRect(5, 309, 390, 16)},
      {DISPLAY_LIST, 250, 31, 3, QRect(5, 37, 240, 16)},
      {DISPLAY_HEX, 600, 300, 300, QRect(585, 275, 20, 30)},
  };
  for (const auto& [mode, width, height, cells, lastCell] : cases) {
    SCOPED_TRACE(testing::Message() << mode << " " << width << "x" << height);
    h.view->SetDisplayMode(mode);
    h.resizeClient(width, height);
    ASSERT_EQ(h.view->ClientWidth(), width);
    ASSERT_EQ(h.view->GetCellCount(), cells);
    last = h.cell(cells - 1);
    EXPECT_EQ(last->geometry(), lastCell);
    EXPECT_EQ(last->controlId(), 5000 + cells - 1);
    EXPECT_EQ(last->index(), cells - 1);
    EXPECT_EQ(last->state() & CELL_MODE_MASK, mode);
    EXPECT_EQ(h.view->GetCell(cells - 1), last->handle());
    EXPECT_EQ(h.view->GetCell(cells), platform::NULL_WINDOW);
    EXPECT_EQ(h.cell(0), first);
  }
}

// What reaches the window after partial repaints (marks, steps) equals a fresh paint, and a painter that
// cannot be written directly draws the same pixels.
TEST(ViewPaint, WindowMatchesAFreshPaintOnEveryRoute) {
  for (uint32_t mode : {DISPLAY_HEX, DISPLAY_ASCII, DISPLAY_LIST}) {
    SCOPED_TRACE(mode);
    ViewHost h(400, 300, mode);
    h.open(1000);
    h.cell(3)->OnCellMark(MARK_SEARCH_ON);
    h.key(viewnav::VK_DOWN);
    h.cell(3)->OnCellMark(MARK_SEARCH_OFF);
    h.cell(5)->OnCellMark(MARK_CURSOR_ON);
    h.key(viewnav::VK_NEXT);
    const QImage window = QGuiApplication::primaryScreen()->grabWindow(h.view->winId()).toImage();
    const QImage fresh = h.grab();
    QImage painted(h.view->size(), QImage::Format_RGB888);
    h.view->render(&painted);
    EXPECT_TRUE(window.convertToFormat(QImage::Format_RGB32) == fresh);
    EXPECT_TRUE(painted.convertToFormat(QImage::Format_RGB32) == fresh);
  }
}

// A huge header size field, a file shorter than its header, a partial last item, a file without header, fewer
// items than cells: no read outside the file, cells beyond the last item clear.
TEST(ViewLoad, FilesOfEverySizeFillOnlyTheirItems) {
  // bytes, items, data offset, first item shown
  const std::tuple<QByteArray, uint32_t, uint32_t, uint32_t> cases[] = {
      {header(0xFFFFFFF0u) + items(0, 10), 0, 0, 0},
      {header(24).left(16), 0, 0, 0},
      {header() + items(0, 5) + QByteArray(3, '\x7f'), 5, 24, 0},
      {items(1, 4), 4, 0, 1},
      {header() + items(0, 50), 50, 24, 0}};
  ViewHost h(400, 300);
  EXPECT_EQ(h.view->Title(), QStringLiteral("Ready - Analyzer"));
  int n = 0;
  for (const auto& [bytes, count, dataOffset, firstShown] : cases) {
    SCOPED_TRACE(n);
    const QString path = h.profile.file(QStringLiteral("bad%1.ANL").arg(n++));
    testsupport::writeWholeFile(path, bytes);
    h.load(path);
    EXPECT_EQ(h.view->GetItemCount(), count);
    EXPECT_TRUE(!count || h.view->GetDataOffset() == dataOffset);
    for (uint32_t i = 0; i < 200; ++i) EXPECT_EQ(h.filled(i), i < count) << i;
    for (uint32_t i = 0; i < count; ++i) EXPECT_TRUE(h.shows(i, firstShown + i)) << i;
  }
  EXPECT_EQ(h.view->Title(), QStringLiteral("Loaded: 0 / 50 - Analyzer"));
  h.view->repaint();
  const QImage img = h.grab();
  EXPECT_GT(count(img, QRect(5, 5, 20, 15), isRed), 5);     // item 0: master, upper half
  EXPECT_GT(count(img, QRect(45, 20, 20, 15), isBlue), 5);  // item 2: peripheral, lower half
  EXPECT_EQ(count(img, QRect(45, 5, 20, 15), isBlue), 0);
  // A failed open: nothing shown, nothing read, also by a later Redisplay.
  h.file.Close();
  h.post(WM_FILE_LOADED);
  EXPECT_EQ(h.view->GetItemCount(), 0u);
  EXPECT_EQ(h.view->Title(), QStringLiteral("Loaded: 0 / 0 - Analyzer"));
  h.view->Redisplay();
  platform::PumpMessages();
  EXPECT_FALSE(h.filled(0));
}

TEST(ViewRealtime, FillsOnlyNewCellsAndAdvancesFiveRows) {
  ViewHost h(400, 300);  // 200 cells, rows of 20
  const QString path = h.open(0);
  h.view->SetRealtime(false);
  h.written(path, header() + items(0, 20));
  EXPECT_EQ(h.view->GetItemCount(), 0u);  // realtime off: nothing changes
  EXPECT_FALSE(h.filled(0));

  h.view->OnRealtimeDisplay();  // on, and saved
  EXPECT_EQ(platform::Profile().GetProfileInt("PropertyPage1", "Realtime", 7), 1u);
  h.written(path, header() + items(0, 150));
  EXPECT_EQ(h.view->GetFilledCells(), 150u);
  EXPECT_EQ(h.view->Title(), QStringLiteral("Running: 0 / 150 - Analyzer"));
  // Cells already filled are not read again: changed bytes under them stay unseen.
  h.written(path, header() + items(1000, 150) + items(150, 30));
  EXPECT_EQ(h.view->GetFilledCells(), 180u);
  for (uint32_t i : {0u, 149u, 179u}) EXPECT_TRUE(h.shows(i, i)) << i;
  EXPECT_FALSE(h.filled(180));
  h.view->OnRealtimeDisplay();
  EXPECT_FALSE(h.view->IsRealtime());
  EXPECT_EQ(platform::Profile().GetProfileInt("PropertyPage1", "Realtime", 7), 0u);
}

// A full grid steps five rows on, the rest filled; the list jumps to the last screenful; fewer than five grid
// rows step by their rows, keeping the newest.
TEST(ViewRealtime, StepsNeverPassTheNewestItem) {
  using Counts = std::vector<std::pair<uint32_t, uint32_t>>;  // items written, first item shown
  const std::tuple<uint32_t, int, int, Counts> cases[] = {{DISPLAY_HEX, 400, 300, {{230, 100}}},
                                                          {DISPLAY_LIST, 600, 300, {{100, 81}}},
                                                          {DISPLAY_HEX, 400, 100, {{61, 60}, {1000, 960}}}};
  for (const auto& [mode, width, height, counts] : cases) {
    ViewHost h(width, height, mode);
    const QString path = h.open(0);
    h.view->SetRealtime(true);
    for (const auto& [count, first] : counts) {
      h.written(path, header() + items(0, count));
      EXPECT_EQ(h.view->GetFirstItem(), first) << count;
      EXPECT_TRUE(h.shows(0, first) && h.shows(count - 1 - first, count - 1)) << count;
      EXPECT_FALSE(h.filled(count - first)) << count;
    }
  }
}

// A recorder thread appends items and posts a notification and a status after each buffer, far faster than a
// screen can follow: about 30 refreshes a second, and the screen ends on the newest items within a period.
TEST(ViewRealtime, KeepsUpWithAFastRecordingAtAboutThirtyRefreshesASecond) {
  int refreshes = 0;
  ViewHost h(400, 300, DISPLAY_HEX, [&](CVRIMView& view) {
    view.SetDecoderFactory([&](CVRIMView&) { return std::make_unique<CountingDecoder>(&refreshes); });
  });
  const QString path = h.open(0);
  h.view->SetRealtime(true);
  h.view->Activate();
  refreshes = 0;
  QElapsedTimer clock;
  clock.start();
  constexpr uint64_t TOTAL = 200000;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    QFile f(path);
    f.open(QIODevice::Append);
    for (uint64_t at = 0; at < TOTAL; at += 100) {
      f.write(items(at, 100));
      f.flush();
      platform::PostMessage(platform::ActiveViewWindow(), WM_DATA_WRITTEN, 0, 0);
      platform::PostMessage(platform::ActiveViewWindow(), WM_VIEW_STATUS, STATUS_RUNNING,
                            static_cast<intptr_t>(at + 100));
    }
    done = true;
  });
  ASSERT_TRUE(testsupport::waitFor([&] { return done.load(); }, 60000));
  writer.join();
  ASSERT_TRUE(testsupport::waitFor([&] { return h.view->GetItemCount() == TOTAL; }, 10000));
  const uint32_t first = h.view->GetFirstItem();
  ASSERT_LE(TOTAL - first, h.view->GetCellCount());
  EXPECT_TRUE(testsupport::waitFor([&] { return h.shows(uint32_t(TOTAL - 1 - first), TOTAL - 1); }, 2000));
  EXPECT_LE(refreshes, clock.elapsed() / CVRIMView::REFRESH_PERIOD_MS + 2);
  EXPECT_EQ(h.view->Title(), QString::asprintf("Running: %u / %u - Analyzer", first, unsigned(TOTAL)));
}

// One Restart per file reaching its limit. The receive path goes on posting counts of the full file until the
// restart has run; those handled after it must not split the next file at once.
TEST(ViewStatus, CountReachingTheLimitPostsOneRestart) {
  ViewHost h(400, 300);
  h.view->SetFileMaxSize(3);  // 1024000 bytes
  const intptr_t full = 1024000 / 6 + 1;
  int restarts = 0;
  h.view->SetCommandSink([&](uint32_t id, CVRIMView::CommandRoute route) {
    EXPECT_EQ(Command(id, route), Command(ID_RESTART_RECORDING, CVRIMView::CommandRoute::Posted));
    // Posted while the first restart runs: handled after it, counts of the old file.
    if (++restarts == 1) platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, full + 50);
  });
  h.post(WM_VIEW_STATUS, STATUS_RUNNING, full - 1);
  EXPECT_EQ(restarts, 0);
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, full);  // queued before it runs
  h.post(WM_VIEW_STATUS, STATUS_RUNNING, full + 1);
  platform::PumpMessages();
  EXPECT_EQ(restarts, 1);
  // The next file grows to its own limit: one more restart.
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, 4);
  h.post(WM_VIEW_STATUS, STATUS_RUNNING, full);
  platform::PumpMessages();
  EXPECT_EQ(restarts, 2);
}

// Saved settings reach a new view: the start-up recording runs once after the first update, swap and protocol
// reach the cells; messages change them later. Closing stops the recording before the mode is saved.
TEST(ViewLifecycle, SavedSettingsMessagesAndClosing) {
  ViewHost h(400, 300, DISPLAY_HEX, [](CVRIMView&) {
    for (auto [section, key] : {std::pair{"PropertyPage2", "StartupAquire"}, {"PropertyPage1", "SwitchRxTx"},
                                {"PropertyPage1", "Protocol"}})
      platform::Profile().WriteProfileInt(section, key, 1);
  });
  EXPECT_EQ(platform::ActiveViewWindow(), h.view->handle());
  EXPECT_TRUE(h.has(0, CELL_SWAP) && h.cell(0)->protocol() == 1);
  ASSERT_TRUE(testsupport::waitFor([&] { return !h.commands.empty(); }, 5000));
  testsupport::waitFor([] { return false; }, 700);
  EXPECT_EQ(h.commands, (std::vector<Command>{{ID_START_RECORDING, CVRIMView::CommandRoute::Direct}}));

  h.post(WM_SWAP_RXTX, 0, 0);
  EXPECT_FALSE(h.has(0, CELL_SWAP));
  h.post(WM_SWAP_RXTX, 0, 1);
  EXPECT_TRUE(h.has(199, CELL_SWAP));
  platform::Profile().WriteProfileInt("PropertyPage1", "Protocol", 2);
  h.view->SendProtocolToCells();
  platform::PumpMessages();
  EXPECT_EQ(h.cell(7)->protocol(), 2);
  h.view->SetDeviceSettingsChanged(false);
  h.post(WM_SETTINGS_CHANGED);
  EXPECT_TRUE(h.view->DeviceSettingsChanged());

  h.view->OnDisplayAscii();
  h.view->SetRecording(true);
  uint32_t savedWhenStopped = 0;
  std::vector<uint32_t> ids;
  h.view->SetCommandSink([&](uint32_t id, CVRIMView::CommandRoute) {
    ids.push_back(id);
    savedWhenStopped = platform::Profile().GetProfileInt("General", "DisplayAttribute", 7);
  });
  const platform::WindowHandle handle = h.view->handle();
  h.view.reset();
  EXPECT_EQ(ids, (std::vector<uint32_t>{ID_STOP_RECORDING}));
  EXPECT_EQ(savedWhenStopped, DISPLAY_HEX);
  EXPECT_EQ(platform::Profile().GetProfileInt("General", "DisplayAttribute", 7), DISPLAY_ASCII);
  EXPECT_NE(platform::ActiveViewWindow(), handle);
}

// Here the edges of the helpers that the view tests above cannot reach.
TEST(ViewNavigation, EdgesOfStepsTitlesAndLayout) {
  EXPECT_EQ(firstItemForKey(VK_NEXT, 0xFFFFFF00u, 0x200, 20, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(firstItemForKey(VK_DOWN, 0xFFFFFFEFu, 0x200, 20, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_FALSE(firstItemForKey(0x41, 300, 100, 20, 950));
  EXPECT_EQ(firstItemForWheel(-120 * 1000, 0xFFFFFF00u, 20, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_FALSE(firstItemForWheel(0, 5, 1, 1000));  // a zero turn is no line
  EXPECT_EQ(thumbTarget(10000, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(thumbPosition(0xFFFFFFF0u, 0xFFFFFFF0u), 10000u);
  EXPECT_EQ(thumbPosition(3, 0), 0u);
  EXPECT_EQ(statusTitle(STATUS_HALTED, 10, 4000000000u),
            QStringLiteral("Halted: 10 / 4000000000 - Analyzer"));
  EXPECT_EQ(statusTitle(9, 1, 1), QString());
  EXPECT_EQ(gridPlace(2, 5), QRect(5, 65, 20, 30));  // no column: all in the first
  EXPECT_EQ(neededCellCount(DISPLAY_HEX, 1920, 1080), 36u * 96u);
  EXPECT_EQ(displayModeOf(DISPLAY_LIST | DISPLAY_ASCII), DISPLAY_ASCII);
  EXPECT_EQ(displayModeOf(0x80000001u), 0u);
  EXPECT_TRUE(isListMode(DISPLAY_LIST | 0x100));
  // No limit is a multiple of 6: the first count whose bytes reach it restarts.
  const uint32_t bytes[] = {102400, 512000, 1024000, 5120000, 10240000};
  for (uint32_t setting = 1; setting <= 5; ++setting) {
    const uint32_t limit = bytes[setting - 1];
    EXPECT_EQ(fileSizeLimit(setting), limit);
    EXPECT_FALSE(reachesFileSizeLimit(setting, limit / 6)) << setting;
    EXPECT_TRUE(reachesFileSizeLimit(setting, limit / 6 + 1)) << setting;
  }
  for (uint32_t setting : {0u, 6u}) EXPECT_FALSE(reachesFileSizeLimit(setting, 0xFFFFFFFFu)) << setting;
}

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
