#include <gtest/gtest.h>

#include <QScrollBar>
#include <QThread>
#include <atomic>
#include <thread>

#include "CellPixels.h"
#include "ViewTestSupport.h"
#include "common/StatusCodes.h"
#include "display/CellCodes.h"
#include "display/ViewCommands.h"
#include "platform/AppWindows.h"

using namespace viewtest;

namespace {

TEST(ViewLayout, ClientWidthDecidesTheColumns) {
  ViewHost narrow(390, 300);
  EXPECT_EQ(narrow.view->ClientWidth(), 390);
  EXPECT_EQ(narrow.view->GetCellCount(), 10u * 19u);
  EXPECT_EQ(narrow.cell(19)->pos(), QPoint(5, 35));
  ViewHost wide(391, 300);
  EXPECT_EQ(wide.view->GetCellCount(), 10u * 20u);
  EXPECT_EQ(wide.cell(19)->pos(), QPoint(385, 5));
  EXPECT_EQ(wide.cell(19)->controlId(), 5019u);
}

// Rows of 30 and columns of 20 pixels, a partial one counting from 11 pixels on;
// list rows of 16 pixels on the same rule; cells from 5 pixels in.
TEST(ViewLayout, CellCountsAndPlacesOfClientSizes) {
  struct Case {
    uint32_t mode;
    int width, height;
    uint32_t cells;
    QRect lastCell;
  };
  const Case cases[] = {
      {DISPLAY_HEX, 390, 300, 190, QRect(365, 275, 20, 30)},
      {DISPLAY_HEX, 391, 300, 200, QRect(385, 275, 20, 30)},
      {DISPLAY_ASCII, 400, 40, 20, QRect(385, 5, 20, 30)},
      {DISPLAY_ASCII, 400, 41, 40, QRect(385, 35, 20, 30)},
      {DISPLAY_HEX, 21, 31, 1, QRect(5, 5, 20, 30)},
      {DISPLAY_HEX, 30, 70, 2, QRect(5, 35, 20, 30)},
      {DISPLAY_LIST, 400, 300, 19, QRect(5, 293, 390, 16)},
      {DISPLAY_LIST, 400, 301, 20, QRect(5, 309, 390, 16)},
      {DISPLAY_LIST, 250, 31, 3, QRect(5, 37, 240, 16)},
  };
  ViewHost h(400, 300);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " " << c.width << "x" << c.height);
    h.view->SetDisplayMode(c.mode);
    h.view->resize(h.view->WidthForClient(c.width), c.height);
    platform::PumpMessages();
    ASSERT_EQ(h.view->ClientWidth(), c.width);
    EXPECT_EQ(h.view->GetCellCount(), c.cells);
    EXPECT_EQ(h.cell(c.cells - 1)->geometry(), c.lastCell);
    EXPECT_EQ(h.cell(c.cells - 1)->controlId(), 5000 + c.cells - 1);
    EXPECT_EQ(h.cell(c.cells), nullptr);
  }
}

TEST(ViewLayout, ListModeLaysOutRows) {
  ViewHost h(600, 300, DISPLAY_LIST);
  EXPECT_EQ(h.view->GetCellCount(), (300u + 19u) / 16u);
  EXPECT_EQ(h.cell(3)->geometry(), QRect(5, 53, 590, 16));
  EXPECT_EQ(h.cell(3)->state() & CELL_MODE_MASK, DISPLAY_LIST);
  h.view->OnDisplayHex();
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetCellCount(), 10u * 30u);
  EXPECT_EQ(h.cell(3)->geometry(), QRect(65, 5, 20, 30));
}

TEST(ViewLayout, CellsOfAnUnforcedLayoutTakeTheSavedMode) {
  testsupport::TempProfile outer;
  platform::Profile().WriteProfileInt(QStringLiteral("General"), QStringLiteral("DisplayAttribute"),
                                      DISPLAY_ASCII);
  CActiveFile file;
  CVRIMView view(file);
  view.resize(view.WidthForClient(400), 300);
  view.show();
  platform::PumpMessages();
  view.OnInitialUpdate();
  platform::PumpMessages();
  ASSERT_EQ(view.GetCellCount(), 200u);
  EXPECT_EQ(view.cell(0)->state() & CELL_MODE_MASK, DISPLAY_ASCII);
  view.resize(view.WidthForClient(400), 600);
  platform::PumpMessages();
  EXPECT_EQ(view.cell(399)->state() & CELL_MODE_MASK, DISPLAY_ASCII);
}

TEST(ViewLayout, TinyClientAreaKeepsTheCells) {
  ViewHost h(400, 300);
  const uint32_t count = h.view->GetCellCount();
  CItem* last = h.cell(count - 1);
  h.view->resize(h.view->WidthForClient(20), 200);
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetCellCount(), count);
  EXPECT_EQ(h.cell(count - 1), last);
  h.view->resize(h.view->WidthForClient(400), 30);
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetCellCount(), count);
}

TEST(ViewLayout, ResizeAddsAndRemovesCellsFromTheEnd) {
  ViewHost h(400, 300);
  CItem* first = h.cell(0);
  h.view->resize(h.view->WidthForClient(400), 600);
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetCellCount(), 20u * 20u);
  EXPECT_EQ(h.cell(0), first);
  EXPECT_EQ(h.cell(399)->index(), 399u);
  EXPECT_EQ(h.view->GetCell(399), h.cell(399)->handle());
  h.view->resize(h.view->WidthForClient(400), 100);
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetCellCount(), 3u * 20u);
  EXPECT_EQ(h.view->GetCell(60), platform::NULL_WINDOW);
  EXPECT_NE(h.view->GetCell(59), platform::NULL_WINDOW);
}

TEST(ViewLoad, FewerItemsThanCellsFillsOnlyTheItems) {
  ViewHost h(400, 300);
  h.load(writeFile(h.profile, "small.ANL", 50));
  EXPECT_EQ(h.view->GetDataOffset(), 24u);
  EXPECT_EQ(h.view->GetItemCount(), 50u);
  for (uint32_t i = 0; i < 50; ++i) ASSERT_TRUE(h.shows(i, i)) << i;
  for (uint32_t i = 50; i < h.view->GetCellCount(); ++i) ASSERT_FALSE(h.filled(i)) << i;
  EXPECT_EQ(h.view->Title(), QStringLiteral("Loaded: 0 / 50 - Analyzer"));
}

TEST(ViewLoad, BadSizesReadNothingOutsideTheFile) {
  ViewHost h(400, 300);
  // A header size field far beyond the file.
  QString path = h.profile.file("huge.ANL");
  testsupport::writeWholeFile(path, header(0xFFFFFFF0u) + items(0, 10));
  h.load(path);
  EXPECT_EQ(h.view->GetItemCount(), 0u);
  EXPECT_FALSE(h.filled(0));
  // A file shorter than its header.
  path = h.profile.file("short.ANL");
  testsupport::writeWholeFile(path, header(24).left(16));
  h.load(path);
  EXPECT_EQ(h.view->GetItemCount(), 0u);
  // A partial last item.
  h.load(writeFile(h.profile, "partial.ANL", 5, QByteArray(3, '\x7f')));
  EXPECT_EQ(h.view->GetItemCount(), 5u);
  EXPECT_TRUE(h.shows(4, 4));
  EXPECT_FALSE(h.filled(5));
  // A file without header starts its items at byte 0.
  path = h.profile.file("plain.ANL");
  testsupport::writeWholeFile(path, items(1, 4));
  h.load(path);
  EXPECT_EQ(h.view->GetDataOffset(), 0u);
  EXPECT_TRUE(h.shows(0, 1));
}

TEST(ViewLoad, FailedOpenShowsNothingAndReadsNothing) {
  ViewHost h(400, 300);
  h.load(writeFile(h.profile, "a.ANL", 30));
  h.file.Close();
  platform::PostMessage(h.view->handle(), WM_FILE_LOADED, 0, 0);
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetItemCount(), 0u);
  EXPECT_FALSE(h.filled(0));
  h.view->Redisplay();  // nothing while no file is open
  platform::PumpMessages();
  EXPECT_FALSE(h.filled(0));
}

TEST(ViewLoad, HexScreenShowsColouredBytes) {
  ViewHost h(400, 300);
  h.load(writeFile(h.profile, "pix.ANL", 300));
  h.view->repaint();
  const QImage img = h.view->grab().toImage().convertToFormat(QImage::Format_RGB32);
  using namespace cellpixels;
  EXPECT_GT(count(img, QRect(5, 5, 20, 15), isRed), 5);     // item 0: master, upper half
  EXPECT_GT(count(img, QRect(45, 20, 20, 15), isBlue), 5);  // item 2: peripheral, lower half
  EXPECT_EQ(count(img, QRect(45, 5, 20, 15), isBlue), 0);
}

TEST(ViewRealtime, FlagOffChangesNothing) {
  ViewHost h(400, 300);
  const QString path = writeFile(h.profile, "rt.ANL", 10);
  h.load(path);
  testsupport::writeWholeFile(path, header() + items(0, 20));
  platform::PostMessage(h.view->handle(), WM_DATA_WRITTEN, 0, 0);
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetItemCount(), 10u);
  EXPECT_FALSE(h.filled(10));
}

TEST(ViewRealtime, FillsOnlyNewCellsAndAdvancesFiveRows) {
  ViewHost h(400, 300);  // 200 cells, rows of 20
  const QString path = writeFile(h.profile, "rt.ANL", 0);
  h.load(path);
  h.view->SetRealtime(true);
  testsupport::writeWholeFile(path, header() + items(0, 150));
  platform::PostMessage(h.view->handle(), WM_DATA_WRITTEN, 0, 0);
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetFilledCells(), 150u);
  EXPECT_TRUE(h.shows(149, 149));
  EXPECT_EQ(h.view->Title(), QStringLiteral("Running: 0 / 150 - Analyzer"));
  // Cells already filled are not read again: changed bytes under them stay unseen.
  testsupport::writeWholeFile(path, header() + items(1000, 150) + items(150, 30));
  platform::PostMessage(h.view->handle(), WM_DATA_WRITTEN, 0, 0);
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetFilledCells(), 180u);
  EXPECT_TRUE(h.shows(0, 0));
  EXPECT_TRUE(h.shows(149, 149));
  EXPECT_TRUE(h.shows(179, 179));
  EXPECT_FALSE(h.filled(180));
  // The screen is full: five rows on, the rest filled.
  testsupport::writeWholeFile(path, header() + items(0, 230));
  platform::PostMessage(h.view->handle(), WM_DATA_WRITTEN, 0, 0);
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetFirstItem(), 100u);
  EXPECT_TRUE(h.shows(0, 100));
  EXPECT_TRUE(h.shows(129, 229));
  EXPECT_FALSE(h.filled(130));
}

TEST(ViewRealtime, ListModeJumpsToTheLastScreenful) {
  ViewHost h(600, 300, DISPLAY_LIST);  // 19 rows
  const QString path = writeFile(h.profile, "rt.ANL", 0);
  h.load(path);
  h.view->SetRealtime(true);
  testsupport::writeWholeFile(path, header() + items(0, 100));
  platform::PostMessage(h.view->handle(), WM_DATA_WRITTEN, 0, 0);
  platform::PumpMessages();
  EXPECT_EQ(h.view->GetFirstItem(), 81u);
  EXPECT_TRUE(h.shows(18, 99));
}

// A recorder thread appends items and posts a notification and a status after each
// buffer, far faster than a screen can follow: the screen ends on the newest items.
TEST(ViewRealtime, KeepsUpWithAFastRecording) {
  ViewHost h(400, 300);
  const QString path = writeFile(h.profile, "fast.ANL", 0);
  h.load(path);
  h.view->SetRealtime(true);
  h.view->Activate();
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
  platform::PumpMessages();
  const uint32_t first = h.view->GetFirstItem();
  ASSERT_LE(TOTAL - first, h.view->GetCellCount());
  EXPECT_TRUE(h.shows(static_cast<uint32_t>(TOTAL - 1 - first), TOTAL - 1));
  EXPECT_EQ(h.view->Title(), QString::asprintf("Running: %u / %u - Analyzer", first, unsigned(TOTAL)));
}

TEST(ViewStatus, CountReachingTheLimitPostsOneRestart) {
  ViewHost h(400, 300);
  h.view->SetFileMaxSize(1);  // 102400 bytes
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, 102400 / 6);
  platform::PumpMessages();
  EXPECT_TRUE(h.commands.empty());
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, 102400 / 6 + 1);
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, 102400 / 6 + 2);
  platform::PumpMessages();
  EXPECT_EQ(h.commands, (std::vector<Command>{{ID_RESTART_RECORDING, CVRIMView::CommandRoute::Posted}}));
  // Once the restart ran, the next file may restart again.
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, 102400 / 6 + 9);
  platform::PumpMessages();
  EXPECT_EQ(h.commands.size(), 2u);
  h.view->SetFileMaxSize(0);
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, 0x7FFFFFFF);
  platform::PumpMessages();
  EXPECT_EQ(h.commands.size(), 2u);
}

// The receive path goes on posting counts of the full file until the restart has
// run; those handled after it must not split the next file at once.
TEST(ViewStatus, CountsOfTheClosedFileRestartNothingMore) {
  ViewHost h(400, 300);
  h.view->SetFileMaxSize(3);  // 1024000 bytes
  const intptr_t full = 1024000 / 6 + 1;
  int restarts = 0;
  h.view->SetCommandSink([&](uint32_t id, CVRIMView::CommandRoute) {
    if (id != ID_RESTART_RECORDING) return;
    // Posted while the first restart runs: handled after it, counts of the old file.
    if (++restarts == 1) platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, full + 50);
  });
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, full);
  platform::PumpMessages();
  platform::PumpMessages();
  EXPECT_EQ(restarts, 1);
  // The next file grows to its own limit: one more restart.
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, 4);
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING, full);
  platform::PumpMessages();
  platform::PumpMessages();
  EXPECT_EQ(restarts, 2);
}

TEST(ViewStatus, TitlesFollowTheCodes) {
  ViewHost h(400, 300);
  EXPECT_EQ(h.view->Title(), QStringLiteral("Ready - Analyzer"));
  QString seen;
  QObject::connect(h.view.get(), &CVRIMView::titleChanged, [&](const QString& t) { seen = t; });
  h.load(writeFile(h.profile, "t.ANL", 500));
  EXPECT_EQ(seen, QStringLiteral("Loaded: 0 / 500 - Analyzer"));
  h.key(0x22);
  EXPECT_EQ(seen, QStringLiteral("Halted: 200 / 500 - Analyzer"));
  platform::PostMessage(h.view->handle(), WM_VIEW_STATUS, 7, 0);
  platform::PumpMessages();
  EXPECT_EQ(seen, QString());
}

TEST(ViewLifecycle, StartupRecordingRunsOnceAfterTheFirstUpdate) {
  testsupport::TempProfile outer;
  platform::Profile().WriteProfileInt(QStringLiteral("PropertyPage2"), QStringLiteral("StartupAquire"), 1);
  CActiveFile file;
  CVRIMView view(file);
  std::vector<Command> commands;
  view.SetCommandSink([&](uint32_t id, CVRIMView::CommandRoute r) { commands.push_back({id, r}); });
  view.resize(300, 200);
  view.show();
  view.OnInitialUpdate();
  EXPECT_EQ(platform::ActiveViewWindow(), view.handle());
  ASSERT_TRUE(testsupport::waitFor([&] { return !commands.empty(); }, 5000));
  testsupport::waitFor([] { return false; }, 700);
  EXPECT_EQ(commands, (std::vector<Command>{{ID_START_RECORDING, CVRIMView::CommandRoute::Direct}}));
}

TEST(ViewLifecycle, ClosingStopsTheRecordingBeforeSavingTheMode) {
  testsupport::TempProfile outer;
  CActiveFile file;
  auto view = std::make_unique<CVRIMView>(file);
  view->resize(400, 300);
  view->show();
  view->OnInitialUpdate();
  view->OnDisplayAscii();
  view->SetRecording(true);
  uint32_t savedWhenStopped = 0;
  std::vector<uint32_t> ids;
  view->SetCommandSink([&](uint32_t id, CVRIMView::CommandRoute) {
    ids.push_back(id);
    savedWhenStopped =
        platform::Profile().GetProfileInt(QStringLiteral("General"), QStringLiteral("DisplayAttribute"), 2);
  });
  const platform::WindowHandle handle = view->handle();
  view.reset();
  EXPECT_EQ(ids, (std::vector<uint32_t>{ID_STOP_RECORDING}));
  EXPECT_EQ(savedWhenStopped, 2u);
  EXPECT_EQ(
      platform::Profile().GetProfileInt(QStringLiteral("General"), QStringLiteral("DisplayAttribute"), 2),
      DISPLAY_ASCII);
  EXPECT_NE(platform::ActiveViewWindow(), handle);
}

struct FakeDecoder : CVRIMView::ItemDecoder {
  std::vector<std::string>* log;
  explicit FakeDecoder(std::vector<std::string>* l) : log(l) {}
  void Start() override { log->push_back("start"); }
  void Refresh() override { log->push_back("refresh"); }
  void StopAndWait() override { log->push_back("stop"); }
};

TEST(ViewLifecycle, DecoderStartsAtFirstUpdateAndStopsWithTheView) {
  testsupport::TempProfile outer;
  std::vector<std::string> log;
  CActiveFile file;
  {
    CVRIMView view(file);
    view.SetDecoderFactory([&](CVRIMView& v) {
      EXPECT_EQ(&v, &view);
      return std::make_unique<FakeDecoder>(&log);
    });
    view.resize(400, 300);
    view.show();
    view.OnInitialUpdate();
    EXPECT_EQ(log, (std::vector<std::string>{"start"}));
    testsupport::writeWholeFile(outer.file("d.ANL"), header() + items(0, 5));
    file.Open(outer.file("d.ANL"));
    view.OnFileLoaded();
    EXPECT_EQ(log.back(), "refresh");
  }
  EXPECT_EQ(log.back(), "stop");
}

TEST(ViewMessages, SwapAndSettingsReachCellsAndFlags) {
  ViewHost h(400, 300);
  platform::PostMessage(h.view->handle(), WM_SWAP_RXTX, 0, 1);
  platform::PumpMessages();
  EXPECT_TRUE(h.cell(0)->state() & CELL_SWAP);
  EXPECT_TRUE(h.cell(199)->state() & CELL_SWAP);
  platform::PostMessage(h.view->handle(), WM_SWAP_RXTX, 0, 0);
  platform::PumpMessages();
  EXPECT_FALSE(h.cell(0)->state() & CELL_SWAP);

  h.view->SetDeviceSettingsChanged(false);
  platform::PostMessage(h.view->handle(), WM_SETTINGS_CHANGED, 0, 0);
  platform::PumpMessages();
  EXPECT_TRUE(h.view->DeviceSettingsChanged());

  platform::Profile().WriteProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("Protocol"), 1);
  h.view->SendProtocolToCells();
  platform::PumpMessages();
  EXPECT_EQ(h.cell(7)->protocol(), 1);
}

TEST(ViewMessages, SwapSettingReachesNewCells) {
  testsupport::TempProfile outer;
  platform::Profile().WriteProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("SwitchRxTx"), 1);
  platform::Profile().WriteProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("Protocol"), 1);
  CActiveFile file;
  CVRIMView view(file);
  view.resize(view.WidthForClient(400), 300);
  view.show();
  platform::PumpMessages();
  ASSERT_GT(view.GetCellCount(), 0u);
  EXPECT_TRUE(view.cell(0)->state() & CELL_SWAP);
  EXPECT_EQ(view.cell(0)->protocol(), 1);
}

TEST(ViewCommandsTest, RealtimeToggleIsSaved) {
  ViewHost h(400, 300);
  h.view->SetRealtime(false);
  h.view->OnRealtimeDisplay();
  EXPECT_TRUE(h.view->IsRealtime());
  EXPECT_EQ(platform::Profile().GetProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("Realtime"), 7),
            1u);
  h.view->OnRealtimeDisplay();
  EXPECT_EQ(platform::Profile().GetProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("Realtime"), 7),
            0u);
}

// Every command of the view against every combination of recording, link, open
// file and range.
TEST(ViewCommandsTest, EnableRulesOfEveryCommand) {
  enum Rule { Idle, Running, Range, Open, OpenIdle, Always };
  const std::pair<ViewCommand, Rule> rules[] = {{ViewCommand::StartRecording, Idle},
                                                {ViewCommand::StopRecording, Running},
                                                {ViewCommand::RestartRecording, Running},
                                                {ViewCommand::RangeChecksum, Range},
                                                {ViewCommand::Print, Open},
                                                {ViewCommand::PrintPreview, Open},
                                                {ViewCommand::Refresh, Open},
                                                {ViewCommand::DisplayHex, Open},
                                                {ViewCommand::DisplayAscii, Open},
                                                {ViewCommand::DisplayList, Open},
                                                {ViewCommand::CommentEditor, OpenIdle},
                                                {ViewCommand::GoToItem, OpenIdle},
                                                {ViewCommand::SearchPattern, OpenIdle},
                                                {ViewCommand::ContinueSearch, OpenIdle},
                                                {ViewCommand::RealtimeDisplay, Always},
                                                {ViewCommand::TriggerSetup, Always},
                                                {ViewCommand::DebugInformation, Always}};
  for (int bits = 0; bits < 16; ++bits) {
    ViewCommandState s;
    s.recording = bits & 1;
    s.connected = bits & 2;
    s.fileOpen = bits & 4;
    s.rangeSet = bits & 8;
    for (const auto& [command, rule] : rules) {
      bool want = true;
      switch (rule) {
        case Idle:
          want = !s.recording && s.connected;
          break;
        case Running:
          want = s.recording && s.connected;
          break;
        case Range:
          want = s.rangeSet;
          break;
        case Open:
          want = s.fileOpen;
          break;
        case OpenIdle:
          want = s.fileOpen && !s.recording;
          break;
        case Always:
          break;
      }
      EXPECT_EQ(viewCommandEnabled(command, s), want) << static_cast<int>(command) << " state " << bits;
    }
  }
}

}  // namespace
