#include <gtest/gtest.h>

#include <QElapsedTimer>
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

std::vector<ItemRecord> scenarioItems(std::initializer_list<const char*> names) {
  std::vector<MdbStep> steps;
  for (const char* n : names) {
    const MdbBusScenario s = MdbScenarios::Find(n);
    steps.insert(steps.end(), s.steps.begin(), s.steps.end());
  }
  uint32_t time = 0;
  return MdbScenarios::ToItems(steps, time);
}

// What a list screen from item 0 shows for changer-poll-ack followed by
// wrong-checksum; items missing here get no text.
const std::map<uint32_t, QString> EXPECTED_SCREEN = {
    {0, "CHANGER: Poll"},
    {1, "CHK Okay"},  // the POLL's CHK, named when the ACK arrives
    {2, "ACK - Acknowledge"},
    {3, "CHANGER: Poll"},
    {4, "CHK Invalid"},  // a wrong VMC checksum
    {5, "NAK - Negative Acknowledge"},
    {6, "CHANGER: Poll"},
    {7, "CHK Okay"},
    {8, "ACK - Acknowledge"},
    {9, "CASHLESS #1: Poll"},
    {10, "CHK Okay"},
    {11, "Begin Session"},
    {14, "CHK Invalid"},  // a wrong reader checksum
    {15, "RET - Retransmit"},
    {16, "Begin Session"},
    {19, "CHK Okay"},
    {20, "ACK - Acknowledge"},
};

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_items = scenarioItems({"changer-poll-ack", "wrong-checksum"});
    m_path = m_profile.file(QStringLiteral("MDB.ANL"));
    testsupport::writeWholeFile(m_path, acquisitionFile(m_items));
    m_view.itemCount = uint32_t(m_items.size());
  }

  bool screenShown(uint32_t first = 0) {
    for (const auto& [item, text] : EXPECTED_SCREEN)
      if (item >= first && item - first < m_view.cellCount && m_view.text(item - first) != text) return false;
    return true;
  }
  // Waits until the decoder has made n passes and delivers what they posted.
  bool passes(uint64_t n) {
    const bool ok = testsupport::waitFor([&] { return m_decoder.GetPassCount() >= n; });
    platform::PumpMessages();
    return ok;
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  std::vector<ItemRecord> m_items;
  QString m_path;
  CActiveFile m_file;
  TestView m_view{60};
  CMDBInterpreter m_decoder{m_view, m_file};
};

TEST_F(WorkerTest, ListScreenGetsNamesAndVmcVerdicts) {
  m_view.itemCount = uint32_t(m_items.size() + 5);  // more than the file holds
  ASSERT_TRUE(m_file.Open(m_path));
  m_decoder.Control(MDBCTRL_START);
  ASSERT_TRUE(passes(1));
  EXPECT_TRUE(screenShown());
  for (uint32_t i = 0; i < 60; ++i) {
    if (EXPECTED_SCREEN.count(i) == 0) {
      EXPECT_EQ(m_view.received(i), 0) << "cell " << i;
    }
  }
  // A RET is followed by the retransmitted response; it keeps its own name.
  EXPECT_EQ(m_view.received(15), 1);
}

TEST_F(WorkerTest, HexAndAsciiDecodeNothingUntilTheListIsShown) {
  ASSERT_TRUE(m_file.Open(m_path));
  m_view.mode = DISPLAY_HEX;
  m_decoder.Control(MDBCTRL_START);
  ASSERT_TRUE(passes(1));
  m_view.mode = DISPLAY_ASCII;
  m_decoder.Control(MDBCTRL_REFRESH);
  ASSERT_TRUE(passes(2));
  EXPECT_EQ(m_view.totalReceived(), 0);

  m_view.mode = DISPLAY_LIST;
  m_decoder.Control(MDBCTRL_REFRESH);
  EXPECT_TRUE(testsupport::waitFor([&] { return screenShown(); }));
}

TEST_F(WorkerTest, FirstShownPeripheralByteGetsNoVerdictBeforeIt) {
  ASSERT_TRUE(m_file.Open(m_path));
  m_view.cellCount = 2;  // the POLL and its CHK: the pass ends inside the VMC message
  m_decoder.Control(MDBCTRL_START);
  ASSERT_TRUE(passes(1));
  EXPECT_EQ(m_view.received(0), 1);
  EXPECT_EQ(m_view.received(1), 0);
  m_view.clear();

  m_view.first = 2;  // the ACK is now in cell 0, the view's only cell
  m_view.cellCount = 1;
  m_decoder.Control(MDBCTRL_REFRESH);
  ASSERT_TRUE(passes(2));
  EXPECT_EQ(m_view.text(0), "ACK - Acknowledge");
  EXPECT_EQ(m_view.received(0), 1);
  EXPECT_EQ(m_view.received(1), 0);
}

TEST_F(WorkerTest, ResponseAtTheTopOfTheNextPageIsNamedAfterTheCommandBefore) {
  // A cashless POLL on one page, its answer (Begin Session, funds 0x01) on the next.
  const std::vector<ItemRecord> items = {
      vmc(0x12, true), vmc(0x12), peripheral(0x03), peripheral(0x01), peripheral(0x04, true), vmc(0x00)};
  testsupport::writeWholeFile(m_path, acquisitionFile(items));
  m_view.itemCount = uint32_t(items.size());
  ASSERT_TRUE(m_file.Open(m_path));
  m_view.cellCount = 2;  // the screen shows the POLL only
  m_decoder.Control(MDBCTRL_START);
  ASSERT_TRUE(passes(1));
  EXPECT_EQ(m_view.text(0), "CASHLESS #1: Poll");
  EXPECT_EQ(m_view.received(1), 0);
  m_view.clear();

  // The next page goes on in the state the page before left: the response is named
  // after the POLL, its CHK is checked over the bytes of this page, and the POLL's
  // verdict has no cell on this page to go to.
  m_view.first = 2;
  m_view.cellCount = 4;
  m_decoder.Control(MDBCTRL_REFRESH);
  ASSERT_TRUE(passes(2));
  EXPECT_EQ(m_view.text(0), "Begin Session");
  EXPECT_EQ(m_view.received(0), 1);
  EXPECT_EQ(m_view.received(1), 0);
  EXPECT_EQ(m_view.text(2), "CHK Okay");
  EXPECT_EQ(m_view.text(3), "ACK - Acknowledge");
}

TEST_F(WorkerTest, VmcVerdictOnlyWhileAVmcMessageRuns) {
  const std::vector<ItemRecord> items = {
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
  };
  testsupport::writeWholeFile(m_path, acquisitionFile(items));
  m_view.itemCount = uint32_t(items.size());
  ASSERT_TRUE(m_file.Open(m_path));
  m_decoder.Control(MDBCTRL_START);
  ASSERT_TRUE(passes(1));
  const std::vector<std::pair<int, QString>> expected = {
      {1, "CASHLESS #1: Vend"}, {1, "ACK - Acknowledge"}, {0, ""},         {1, "CASHLESS #1: Poll"},
      {1, "CHK Okay"},          {1, "Begin Session"},     {1, "CHK Okay"}, {1, "RET - Retransmit"},
      {1, "Begin Session"},     {1, "CHK Okay"},
  };
  for (uint32_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(m_view.received(i), expected[i].first) << "cell " << i;
    if (expected[i].first) EXPECT_EQ(m_view.text(i), expected[i].second) << "cell " << i;
  }
}

TEST_F(WorkerTest, VerdictOfAMessageBegunOnThePageBeforeIsEmpty) {
  // The POLL ends one page; the next page starts with its CHK. The message's bytes
  // are not known on this page, so the CHK's cell is emptied rather than judged.
  ASSERT_TRUE(m_file.Open(m_path));
  m_view.cellCount = 1;
  m_decoder.Control(MDBCTRL_START);
  ASSERT_TRUE(passes(1));
  EXPECT_EQ(m_view.text(0), "CHANGER: Poll");
  m_view.clear();

  m_view.first = 1;
  m_view.cellCount = 2;
  m_decoder.Control(MDBCTRL_REFRESH);
  ASSERT_TRUE(passes(2));
  EXPECT_EQ(m_view.received(0), 1);
  EXPECT_EQ(m_view.text(0), "");
  EXPECT_EQ(m_view.text(1), "ACK - Acknowledge");
}

TEST_F(WorkerTest, SubCommandAtTheTopOfAPageIsNotNamedFromAnOlderMessage) {
  const std::vector<ItemRecord> items = {
      vmc(0x13, true),
      vmc(0x02),
      vmc(0x15),
      peripheral(0x00, true),  // VEND Success, ACK
      vmc(0x13, true),         // VEND: last item of the page
      vmc(0x00),
      vmc(0x13),
      peripheral(0x00, true),  // Request: first of the next
  };
  testsupport::writeWholeFile(m_path, acquisitionFile(items));
  m_view.itemCount = uint32_t(items.size());
  ASSERT_TRUE(m_file.Open(m_path));
  m_view.cellCount = 5;
  m_decoder.Control(MDBCTRL_START);
  ASSERT_TRUE(passes(1));
  EXPECT_EQ(m_view.text(1), "Vend Success");
  EXPECT_EQ(m_view.text(4), "CASHLESS #1: Vend");
  m_view.clear();

  // The sub-command byte is not kept (no message is known at the top of a page), so
  // it gets no name rather than the name of the older message's sub-command.
  m_view.first = 5;
  m_view.cellCount = 3;
  m_decoder.Control(MDBCTRL_REFRESH);
  ASSERT_TRUE(passes(2));
  EXPECT_EQ(m_view.received(0), 0);
  EXPECT_EQ(m_view.text(2), "ACK - Acknowledge");
}

TEST_F(WorkerTest, CellsThatGoAwayDuringAPassGetNothing) {
  ASSERT_TRUE(m_file.Open(m_path));
  m_view.answeredCells = 4;  // the view shrank after the pass took the cell count
  m_decoder.Control(MDBCTRL_START);
  ASSERT_TRUE(passes(1));
  EXPECT_EQ(m_view.text(0), "CHANGER: Poll");
  EXPECT_EQ(m_view.text(2), "ACK - Acknowledge");
  EXPECT_EQ(m_view.received(5), 0);

  // Receivers destroyed while GetCell still hands out their handles.
  m_view.clear();
  m_view.destroyCellsFrom(3);
  m_view.answeredCells = 60;
  m_decoder.Control(MDBCTRL_REFRESH);
  ASSERT_TRUE(passes(2));
  EXPECT_EQ(m_view.text(0), "CHANGER: Poll");
  for (uint32_t i = 3; i < 60; ++i) EXPECT_EQ(m_view.received(i), 0);
}

TEST_F(WorkerTest, HeaderlessFileWaitsAndNextFileIsReadAtItsOwnOffset) {
  const QString bare = m_profile.file(QStringLiteral("BARE.ANL"));
  testsupport::writeWholeFile(bare, headerlessFile(m_items));
  ASSERT_TRUE(m_file.Open(bare));
  m_decoder.Control(MDBCTRL_START);
  testsupport::waitFor([] { return false; }, 1300);  // more than one 1000 ms wait
  EXPECT_EQ(m_decoder.GetPassCount(), 0u);
  EXPECT_EQ(m_view.totalReceived(), 0);

  // A file whose block holds a comment: items start at 24 + 6 + 1.
  const QString commented = m_profile.file(QStringLiteral("COMMENT.ANL"));
  testsupport::writeWholeFile(commented, acquisitionFile(m_items, "Hello\r\n"));
  ASSERT_TRUE(m_file.Open(commented));
  EXPECT_TRUE(testsupport::waitFor([&] { return screenShown(); }));
}

TEST_F(WorkerTest, CommentEditorCanReopenExclusivelyWhileTheDecoderRuns) {
  ASSERT_TRUE(m_file.Open(m_path));
  m_decoder.Control(MDBCTRL_START);
  ASSERT_TRUE(passes(1));
  for (int i = 0; i < 3; ++i) {
    m_decoder.Control(MDBCTRL_REFRESH);
    EXPECT_TRUE(m_file.Reopen(true));
    EXPECT_TRUE(m_file.Reopen(false));
  }
  EXPECT_TRUE(m_box.texts().empty());
  m_view.clear();
  m_decoder.Control(MDBCTRL_REFRESH);
  EXPECT_TRUE(testsupport::waitFor([&] { return screenShown(); }));
}

// A view that scrolls while the decoder's pass reads it: the view's refresh comes
// after the pass took the first item.
class ScrollingView : public TestView {
 public:
  using TestView::TestView;
  uint32_t GetFirstItem() const override {
    const uint32_t shown = first;
    if (decoder && !scrolled.exchange(true)) {
      const_cast<ScrollingView*>(this)->first = scrollTo;
      decoder->Control(MDBCTRL_REFRESH);
    }
    return shown;
  }
  CMDBInterpreter* decoder = nullptr;
  uint32_t scrollTo = 0;
  mutable std::atomic<bool> scrolled{false};
};

TEST(MdbWorkerRefresh, ARefreshDuringAPassGetsAPassOfItsOwn) {
  testsupport::TempProfile profile;
  const std::vector<ItemRecord> items = scenarioItems({"changer-poll-ack", "wrong-checksum"});
  const QString path = profile.file(QStringLiteral("MDB.ANL"));
  testsupport::writeWholeFile(path, acquisitionFile(items));
  CActiveFile file;
  ASSERT_TRUE(file.Open(path));
  ScrollingView view(3);
  view.itemCount = uint32_t(items.size());
  view.scrollTo = 9;  // the cashless POLL, its CHK and Begin Session
  CMDBInterpreter decoder(view, file);
  view.decoder = &decoder;
  decoder.Control(MDBCTRL_START);
  // The first pass decodes the old screen; the refresh that came meanwhile must not
  // be lost with it, or the cells would keep the old screen's texts.
  EXPECT_TRUE(testsupport::waitFor([&] {
    platform::PumpMessages();
    return view.text(0) == "CASHLESS #1: Poll" && view.text(1) == "CHK Okay" &&
           view.text(2) == "Begin Session";
  }));
  EXPECT_GE(decoder.GetPassCount(), 2u);
}

TEST(MdbWorkerLifetime, StopEndsTheWorkerAtOnce) {
  CActiveFile file;  // nothing shown: the worker waits in 1000 ms steps
  TestView view(4);
  CMDBInterpreter decoder(view, file);
  EXPECT_EQ(decoder.Control(MDBCTRL_GETTHREAD), 0);
  decoder.Control(MDBCTRL_START);
  EXPECT_NE(decoder.Control(MDBCTRL_GETTHREAD), 0);  // at once, before the thread ran
  testsupport::waitFor([] { return false; }, 50);

  QElapsedTimer t;
  t.start();
  EXPECT_EQ(decoder.Control(MDBCTRL_STOP), 0);  // returns once the thread has ended
  EXPECT_LT(t.elapsed(), 1000);
  EXPECT_EQ(decoder.Control(MDBCTRL_GETTHREAD), 0);
  EXPECT_EQ(decoder.Control(99), 0);
  EXPECT_EQ(decoder.Control(MDBCTRL_STOP), 0);  // twice is harmless
}

TEST(MdbWorkerLifetime, StopEndsAPendingWaitForAHeader) {
  testsupport::TempProfile profile;
  const QString bare = profile.file(QStringLiteral("BARE.ANL"));
  testsupport::writeWholeFile(bare, headerlessFile({vmc(0x0B, true), vmc(0x0B)}));
  CActiveFile file;
  ASSERT_TRUE(file.Open(bare));
  TestView view(4);
  view.itemCount = 2;
  CMDBInterpreter decoder(view, file);
  decoder.Control(MDBCTRL_START);  // the pass stays pending: the file has no header
  testsupport::waitFor([] { return false; }, 150);

  QElapsedTimer t;
  t.start();
  decoder.Control(MDBCTRL_STOP);
  EXPECT_LT(t.elapsed(), 1000);
  EXPECT_EQ(decoder.GetPassCount(), 0u);
}

TEST(MdbWorkerLifetime, DestroyingARunningDecoderJoinsIt) {
  CActiveFile file;
  TestView view(4);
  auto decoder = std::make_unique<CMDBInterpreter>(view, file);
  decoder->Control(MDBCTRL_START);
  decoder->Control(MDBCTRL_START);  // a second start does not start a second worker
  decoder.reset();
  SUCCEED();
}

}  // namespace
