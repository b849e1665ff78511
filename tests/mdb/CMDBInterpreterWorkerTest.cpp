#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QStringList>
#include <map>

#include "capture/CActiveFile.h"
#include "mdb/CMDBInterpreter.h"
#include "platform/MessageWindow.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"
#include "tests/mdb/MdbTestView.h"
#include "tools/MdbScenarios.h"

using namespace mdbtest;

namespace {

// A list screen from item 0 of changer-poll-ack then wrong-checksum: the VMC's
// verdicts on its POLLs come with the answers, wrong checksums on both sides.
const std::string SCREEN =
    "CHANGER: Poll|CHK Okay|ACK - Acknowledge|CHANGER: Poll|CHK Invalid|NAK - Negative Acknowledge|"
    "CHANGER: Poll|CHK Okay|ACK - Acknowledge|CASHLESS #1: Poll|CHK Okay|Begin Session|-|-|CHK Invalid|"
    "RET - Retransmit|Begin Session|-|-|CHK Okay|ACK - Acknowledge";

// n more cells that got nothing.
std::string nothing(int n) { return QString("|-").repeated(n).toStdString(); }

// A view that can scroll while the decoder's pass reads it: the view's refresh then
// comes after the pass took the first item.
class ScrollingView : public TestView {
 public:
  using TestView::TestView;
  uint32_t GetFirstItem() const override {
    const uint32_t shown = first;
    if (decoder && !scrolled.exchange(true)) {
      const_cast<ScrollingView*>(this)->first = scrollTo;
      decoder->Control(control);
      // A worker that stopped itself still ends its pass, on its decoder.
      if (control == MDBCTRL_STOP) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      returned = true;
    }
    return shown;
  }
  CMDBInterpreter* decoder = nullptr;  // null: does not scroll
  uint32_t scrollTo = 0;
  int control = MDBCTRL_REFRESH;
  mutable std::atomic<bool> scrolled{false}, returned{false};
};

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<MdbStep> steps = MdbScenarios::Find("changer-poll-ack").steps;
    for (const MdbStep& step : MdbScenarios::Find("wrong-checksum").steps) steps.push_back(step);
    uint32_t time = 0;
    m_items = MdbScenarios::ToItems(steps, time);
    show(m_items);
  }

  // A new file of these bytes.
  QString write(const QByteArray& bytes) {
    const QString path = m_profile.file(QStringLiteral("MDB%1.ANL").arg(++m_files));
    testsupport::writeWholeFile(path, bytes);
    return path;
  }
  // Writes the items to a new file and shows it.
  void show(const std::vector<ItemRecord>& items) {
    m_view.itemCount = uint32_t(items.size());
    ASSERT_TRUE(m_file.Open(write(acquisitionFile(items))));
  }
  // Shows `count` cells from item `first`, lets the decoder make its next pass and
  // returns what the cells received.
  std::string pass(uint32_t first, uint32_t count) {
    m_view.clear();
    m_view.first = first;
    m_view.cellCount = count;
    m_decoder.Control(m_passes ? MDBCTRL_REFRESH : MDBCTRL_START);
    ++m_passes;
    EXPECT_TRUE(testsupport::waitFor([&] { return m_decoder.GetPassCount() >= m_passes; }));
    platform::PumpMessages();
    return m_view.shown(count);
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  std::vector<ItemRecord> m_items;
  int m_files = 0;
  uint64_t m_passes = 0;
  CActiveFile m_file;
  ScrollingView m_view{60};
  CMDBInterpreter m_decoder{m_view, m_file};
};

TEST_F(WorkerTest, HexAndAsciiDecodeNothingUntilTheListIsShownCellsThatGoAwayGetNothing) {
  ASSERT_EQ(m_items.size(), 21u);
  m_view.itemCount = 21 + 5;  // more than the file holds
  for (const uint32_t mode : {DISPLAY_HEX, DISPLAY_ASCII}) m_view.mode = mode, pass(0, 60);
  EXPECT_EQ(m_view.totalReceived(), 0);
  m_view.mode = DISPLAY_LIST;
  EXPECT_EQ(pass(0, 60), SCREEN + nothing(39));

  m_view.answeredCells = 4;  // the view shrank after the pass took the cell count
  EXPECT_EQ(pass(0, 60), "CHANGER: Poll|CHK Okay|ACK - Acknowledge|CHANGER: Poll" + nothing(56));
  // Receivers destroyed while GetCell still hands out their handles.
  m_view.destroyCellsFrom(3);
  m_view.answeredCells = 60;
  EXPECT_EQ(pass(0, 60), "CHANGER: Poll|CHK Okay|ACK - Acknowledge" + nothing(57));
}

// On long traffic with some mode bits lost, every item shows the same text whether
// its screen was reached page by page, line by line, by jumps or while recording
// (so each screen starts at the nearest address byte before it); only the last row's
// VMC verdict waits for the item after it.
TEST_F(WorkerTest, EveryItemGetsTheSameTextHoweverTheScreenIsReached) {
  uint32_t time = 0, seed = 7;
  std::vector<ItemRecord> items = MdbScenarios::ToItems(MdbScenarios::LongRecording(4000), time);
  for (ItemRecord& r : items)
    if ((seed = seed * 1664525u + 1013904223u) >> 26 == 0) r.flags &= ~ITEM_FLAG_MODE;
  show(items);
  const uint32_t total = uint32_t(items.size()), rows = 40;
  m_view.cellCount = rows;
  std::map<uint32_t, std::string> texts;
  size_t compared = 0;
  auto screen = [&](uint32_t first, uint32_t shownItems, const char* how) {
    m_view.clear();
    m_view.first = first;
    m_view.itemCount = shownItems;
    m_decoder.MakePass(24);
    platform::PumpMessages();
    const QStringList cells = QString::fromStdString(m_view.shown(rows, false)).split('|');
    for (uint32_t i = 0; i < rows && first + i < shownItems; ++i) {
      const uint32_t item = first + i;
      if (i == rows - 1 && item + 1 < total && (items[item + 1].flags & ITEM_FLAG_SLAVE)) continue;
      const auto [known, fresh] = texts.emplace(item, cells[int(i)].toStdString());
      compared += !fresh;
      ASSERT_EQ(known->second, cells[int(i)].toStdString()) << how << " item " << item;
    }
  };
  for (uint32_t first = 0; first < total; first += rows) screen(first, total, "page down");
  for (uint32_t first = 1000; first < 1700; ++first) screen(first, total, "line step");
  for (int jump = 0; jump < 300; ++jump) screen((seed = seed * 1664525u + 1013904223u) % total, total, "jump");
  for (uint32_t count = 1; count < total; count += 1 + (seed = seed * 1664525u + 1013904223u) % 23)
    screen(count > rows ? count - rows : 0, count, "live");
  EXPECT_GT(compared, 40000u);
}

TEST_F(WorkerTest, VmcVerdictOnlyWhileAVmcMessageRuns) {
  show({
      vmc(0x13, true),         // 0 VEND, waiting for its sub-command ...
      peripheral(0x00, true),  // 1 ... when the reader answers: no verdict for cell 0
      peripheral(0x05),        // 2 after a one-byte reply: nothing, and no verdict for cell 1
      vmc(0x12, true),         // 3 POLL
      vmc(0x12),               // 4 its CHK: "CHK Okay" when the answer comes
      peripheral(0x03),        // 5 Begin Session
      peripheral(0x03, true),  // 6 its CHK
      vmc(0xAA),               // 7 RET: keeps its name when the response comes again
      peripheral(0x03),        // 8 Begin Session
      peripheral(0x03, true),  // 9 its CHK; no verdict for the response's bytes before it
  });
  EXPECT_EQ(pass(0, 10),
            "CASHLESS #1: Vend|ACK - Acknowledge|-|CASHLESS #1: Poll|CHK Okay|Begin Session|CHK Okay|"
            "RET - Retransmit|Begin Session|CHK Okay");
}

TEST_F(WorkerTest, HeaderlessFileWaitsTheNextFileIsReadAtItsOwnOffsetAndTheFirstFileWakesTheDecoder) {
  ASSERT_TRUE(m_file.Open(write(itemBytes(m_items))));
  m_decoder.Control(MDBCTRL_START);
  testsupport::waitFor([] { return false; }, 1300);  // more than one 1000 ms wait
  EXPECT_EQ(m_decoder.GetPassCount(), 0u);
  EXPECT_EQ(m_view.totalReceived(), 0);

  // A file whose block holds a comment: items start at 24 + 6 + 1.
  ASSERT_TRUE(m_file.Open(write(acquisitionFile(m_items, "Hello\r\n"))));
  EXPECT_TRUE(testsupport::waitFor([&] { return m_view.shown(21, false) == SCREEN; }));

  // The decoder sleeps in long steps while no file is shown; the pass that the view
  // asks for when it shows the first file must not wait for the step to end.
  CActiveFile file;
  CMDBInterpreter decoder(m_view, file);
  decoder.Control(MDBCTRL_START);
  testsupport::waitFor([] { return false; }, 100);
  ASSERT_TRUE(file.Open(write(acquisitionFile(m_items))));
  decoder.Control(MDBCTRL_REFRESH);
  EXPECT_TRUE(testsupport::waitFor([&] { return decoder.GetPassCount() > 0; }, 700));
}

TEST_F(WorkerTest, CommentEditorCanReopenExclusivelyWhileTheDecoderRuns) {
  pass(0, 60);
  for (int i = 0; i < 3; ++i) {
    m_decoder.Control(MDBCTRL_REFRESH);
    EXPECT_TRUE(m_file.Reopen(true));
    EXPECT_TRUE(m_file.Reopen(false));
  }
  EXPECT_TRUE(m_box.texts().empty());
  m_view.clear();
  m_decoder.Control(MDBCTRL_REFRESH);
  EXPECT_TRUE(testsupport::waitFor([&] { return m_view.shown(21, false) == SCREEN; }));
}

TEST_F(WorkerTest, ARefreshDuringAPassGetsAPassOfItsOwn) {
  m_view.cellCount = 3;
  m_view.scrollTo = 9;  // the cashless POLL, its CHK and Begin Session
  m_view.decoder = &m_decoder;
  m_decoder.Control(MDBCTRL_START);
  // The first pass decodes the old screen; the refresh that came meanwhile must not
  // be lost with it, or the cells would keep the old screen's texts.
  EXPECT_TRUE(testsupport::waitFor([&] {
    platform::PumpMessages();
    return m_view.shown(3, false) == "CASHLESS #1: Poll|CHK Okay|Begin Session";
  }));
  EXPECT_GE(m_decoder.GetPassCount(), 2u);
}

// Stopping ends the worker within one of its sleeps, whether it waits for a file to
// be shown or for the shown file's header; the program's exit never waits longer.
TEST_F(WorkerTest, StopEndsTheWorkerAtOnce) {
  const QString bare = write(itemBytes(m_items));
  for (const bool headerless : {false, true}) {
    CActiveFile file;
    ASSERT_TRUE(!headerless || file.Open(bare));
    CMDBInterpreter decoder(m_view, file);
    EXPECT_EQ(decoder.Control(MDBCTRL_GETTHREAD), 0);
    decoder.Control(MDBCTRL_START);
    EXPECT_NE(decoder.Control(MDBCTRL_GETTHREAD), 0);  // at once, before the thread ran
    testsupport::waitFor([] { return false; }, 150);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(decoder.Control(MDBCTRL_STOP), 0);  // returns once the thread has ended
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(decoder.Control(MDBCTRL_GETTHREAD), 0);
    EXPECT_EQ(decoder.GetPassCount(), 0u);
    EXPECT_EQ(decoder.Control(MDBCTRL_STOP), 0);  // twice is harmless
    EXPECT_EQ(decoder.Control(99), 0);
  }
  // Destroying a running decoder joins its worker; a second start makes no second one.
  auto decoder = std::make_unique<CMDBInterpreter>(m_view, m_file);
  decoder->Control(MDBCTRL_START);
  decoder->Control(MDBCTRL_START);
  decoder.reset();
  // Stopped by its own worker inside a pass, it still waits for that pass when it goes.
  decoder = std::make_unique<CMDBInterpreter>(m_view, m_file);
  m_view.decoder = decoder.get();
  m_view.control = MDBCTRL_STOP;
  decoder->Control(MDBCTRL_START);
  ASSERT_TRUE(testsupport::waitFor([&] { return m_view.scrolled.load(); }));
  decoder.reset();
  EXPECT_TRUE(m_view.returned);
}

}  // namespace
