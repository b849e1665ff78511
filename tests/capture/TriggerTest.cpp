#include <gtest/gtest.h>

#include "capture/CVRIMSocket.h"
#include "SinkTestSupport.h"
#include "support/RecordingMessageBox.h"

using testsupport::hex;

namespace {

struct TriggerSettings {
  QByteArray start;
  QByteArray stop;  // empty: no stop pattern
  int leading = 0;
  int trailing = 0;
  int state = 1;
};

class Trigger : public ::testing::Test {
protected:
  void SetUp() override { sinktest::configureRecording(m_profile); }

  void setUp(const TriggerSettings& s) {
    platform::ProfileStore& p = platform::Profile();
    p.WriteProfileInt("TriggerSetup", "TriggerState", s.state);
    p.WriteProfileInt("TriggerSetup", "StartTrigger", 1);
    p.WriteProfileBinary("TriggerSetup", "StartPattern_01", s.start.constData(), s.start.size());
    p.WriteProfileInt("TriggerSetup", "StopTrigger", 0);
    if (!s.stop.isEmpty()) p.WriteProfileBinary("TriggerSetup", "StopPattern_00", s.stop.constData(), s.stop.size());
    p.WriteProfileInt("TriggerSetup", "LeadingBytes", s.leading);
    p.WriteProfileInt("TriggerSetup", "TrailingBytes", s.trailing);
    ASSERT_TRUE(m_sink.LoadTriggerSetup());
    ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  }

  bool feed(const QByteArray& dataBytes) {
    const QByteArray records = sinktest::recordsFor(dataBytes);
    return m_sink.DecodeDeviceRecords(reinterpret_cast<const uint8_t*>(records.constData()),
                                      static_cast<uint32_t>(records.size()));
  }
  // Feeds one item per buffer; returns the bytes whose buffers reported written.
  QByteArray feedOneByOne(const QByteArray& dataBytes) {
    QByteArray reported;
    for (char d : dataBytes)
      if (feed(QByteArray(1, d))) reported.append(d);
    return reported;
  }
  QByteArray written() const { return sinktest::dataBytes(sinktest::itemsInFile(m_sink.GetWritingPath())); }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_boxes;
  sinktest::RecordingNotifier m_notifier;
  CVRIMSocket m_sink{nullptr, &m_notifier};
};

}  // namespace

TEST_F(Trigger, OffWritesEverything) {
  setUp({hex("10 20"), {}, 0, 0, /*state*/ 0});
  EXPECT_TRUE(feed(hex("01 02 03")));
  EXPECT_EQ(written(), hex("01 02 03"));
}

TEST_F(Trigger, EmptyStartPatternSwitchesTheTriggerOff) {
  setUp({QByteArray(), {}, 0, 0, 1});
  EXPECT_TRUE(feed(hex("01 02")));
  EXPECT_EQ(written(), hex("01 02"));
}

TEST_F(Trigger, LeadingAndTrailingWindowWithoutStopPattern) {
  setUp({hex("10 20"), {}, 2, 3});
  EXPECT_TRUE(feed(hex("01 02 03 10 20 04 05 06 07 08")));
  EXPECT_EQ(written(), hex("02 03 10 20 04 05 06"));
}

TEST_F(Trigger, WindowUpToTheStopPatternAndItsTrailingItems) {
  setUp({hex("10 20"), hex("30"), 0, 1});
  EXPECT_TRUE(feed(hex("10 20 41 42 30 43 44")));
  EXPECT_EQ(written(), hex("10 20 41 42 30 43"));
}

TEST_F(Trigger, NoTrailingMeansArmedAgainRightAfterThePattern) {
  setUp({hex("10 20"), {}, 0, 0});
  EXPECT_TRUE(feed(hex("10 20 55")));
  EXPECT_EQ(written(), hex("10 20"));
  EXPECT_TRUE(feed(hex("66 10 20")));
  EXPECT_EQ(written(), hex("10 20 10 20")) << "the next window follows in the same file";
}

TEST_F(Trigger, BrokenPartialMatchIsNotRetriedAsANewBeginning) {
  setUp({hex("10 20"), {}, 0, 0});
  EXPECT_FALSE(feed(hex("10 10 20")));
  EXPECT_TRUE(written().isEmpty());
  EXPECT_TRUE(feed(hex("10 20")));
  EXPECT_EQ(written(), hex("10 20"));
}

TEST_F(Trigger, HeldBuffersReportNothingWritten) {
  setUp({hex("10 20"), {}, 5, 0});
  EXPECT_FALSE(feed(hex("01 02 03")));
  EXPECT_EQ(m_sink.GetFileLength(), 24u);
  EXPECT_EQ(m_sink.GetRunningTime(), 3u) << "held items still move the running time";
}

TEST_F(Trigger, LeadingIsLimitedByTheItemsSeen) {
  setUp({hex("10 20"), {}, 100, 0});
  EXPECT_TRUE(feed(hex("01 02 03 10 20")));
  EXPECT_EQ(written(), hex("01 02 03 10 20"));
}

TEST_F(Trigger, LeadingIsLimitedByTheRing) {
  setUp({hex("10 20"), {}, 200, 0});
  QByteArray input;
  for (int i = 0; i < 300; ++i) input.append(static_cast<char>(0x40 + i % 64));
  input.append(hex("10 20"));
  EXPECT_TRUE(feed(input));
  const QByteArray out = written();
  ASSERT_EQ(out.size(), 150);
  EXPECT_EQ(out, input.right(150)) << "the 150 most recent items, the completing one last";
}

TEST_F(Trigger, HugeLeadingValueDoesNotWrapTheWindowSize) {
  setUp({hex("10 20"), {}, -1, 0});  // stored as 0xFFFFFFFF
  EXPECT_TRUE(feed(hex("01 02 10 20")));
  EXPECT_EQ(written(), hex("01 02 10 20"));
}

TEST_F(Trigger, PatternSpreadOverBuffersAndEveryItemOnce) {
  setUp({hex("10 20 30"), hex("40 50"), 1, 2});
  // The second window's stop pattern is first broken (40 40 50) and then seen whole.
  const QByteArray reported =
      feedOneByOne(hex("01 02 10 20 30 41 40 50 51 52 53 54 10 20 30 40 40 50 40 50 60 61 62"));
  EXPECT_EQ(written(), hex("02 10 20 30 41 40 50 51 52 54 10 20 30 40 40 50 40 50 60 61"));
  EXPECT_EQ(reported, hex("30 41 40 50 51 52 30 40 40 50 40 50 60 61"))
      << "a buffer whose item is only held reports nothing";
}

TEST_F(Trigger, StopPatternPartialMatchBrokenByItsOwnFirstByte) {
  setUp({hex("10"), hex("30 31"), 0, 0});
  EXPECT_TRUE(feed(hex("10 30 30 31 99 30 31 77")));
  // The second 30 breaks the match and is not tried as a new start, so 30 31 after
  // 99 ends the window.
  EXPECT_EQ(written(), hex("10 30 30 31 99 30 31"));
}

TEST_F(Trigger, RestartKeepsTheTriggerStateAndItsWindow) {
  setUp({hex("10 20"), hex("30"), 1, 1});
  EXPECT_TRUE(feed(hex("05 10 20 41")));
  const QString first = m_sink.GetWritingPath();
  ASSERT_TRUE(m_sink.RestartAcquisitionFile());
  ASSERT_NE(m_sink.GetWritingPath(), first);
  EXPECT_TRUE(feed(hex("42 30 43 44 10")));
  ASSERT_TRUE(m_sink.RestartAcquisitionFile());
  EXPECT_TRUE(feed(hex("20 45")));
  EXPECT_EQ(sinktest::dataBytes(sinktest::itemsInFile(first)), hex("05 10 20 41"));
  EXPECT_EQ(written(), hex("44 10 20 45")) << "a match begun in the previous file completes here";
}

TEST_F(Trigger, StartLoadsTheTriggerAnew) {
  setUp({hex("10 20"), hex("30"), 0, 0});
  EXPECT_TRUE(feed(hex("10 20 41")));
  m_sink.CloseAcquisitionFile();
  ASSERT_TRUE(m_sink.LoadTriggerSetup());
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_FALSE(feed(hex("42 43"))) << "a new Start waits for the start pattern again";
}

TEST_F(Trigger, StoredPatternLongerThan256BytesIsCut) {
  QByteArray longPattern(300, '\x11');
  longPattern[255] = '\x22';
  setUp({longPattern, {}, 0, 0});
  QByteArray input(255, '\x11');
  input.append('\x22');
  EXPECT_TRUE(feed(input)) << "the first 256 bytes form the pattern";
}
