#include <gtest/gtest.h>

#include <random>

#include "capture/CVRIMSocket.h"
#include "SinkTestSupport.h"
#include "support/RecordingMessageBox.h"

using testsupport::hex;

namespace {

bool decode(CVRIMSocket& sink, const QByteArray& buffer) {
  return sink.DecodeDeviceRecords(reinterpret_cast<const uint8_t*>(buffer.constData()),
                                  static_cast<uint32_t>(buffer.size()));
}

class Decoder : public ::testing::Test {
protected:
  void SetUp() override { sinktest::configureRecording(m_profile); }
  QString path() const { return m_sink.GetWritingPath(); }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_boxes;
  sinktest::RecordingNotifier m_notifier;
  CVRIMSocket m_sink{nullptr, &m_notifier};
};

}  // namespace

TEST_F(Decoder, ThreeRecordBufferGivesThreeItemsWithRunningTimes) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_TRUE(decode(m_sink, hex("20 55 E8 03 02 AA 0A 83 10 05")));
  const QByteArray file = testsupport::readWholeFile(path());
  EXPECT_EQ(file.mid(24), hex("20 55 E8 03 00 00 02 AA F2 03 00 00 83 10 F7 03 00 00"));
  EXPECT_EQ(m_sink.GetRunningTime(), 1015u);
  EXPECT_EQ(m_sink.GetFileLength(), 24u + 18u);
}

TEST_F(Decoder, TimeFieldsOfEveryLengthAndDeltaWrap) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  // Length code 3: four time bytes replace all 32 bits; then a delta wraps past 2^32.
  EXPECT_TRUE(decode(m_sink, hex("61 01 FE FF FF FF 02 02 05")));
  EXPECT_EQ(m_sink.GetRunningTime(), 3u);
  // Two- and three-byte absolute times, then a two-byte delta.
  EXPECT_TRUE(decode(m_sink, hex("20 03 34 12 40 04 56 34 12 22 05 01 01")));
  const auto items = sinktest::itemsInFile(path());
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].time, 0xFFFFFFFEu);
  EXPECT_EQ(items[0].flags, 0x61) << "flags are stored unchanged, length code included";
  EXPECT_EQ(items[1].time, 3u);
  EXPECT_EQ(items[1].flags, 0x02);
  EXPECT_EQ(items[2].time, 0x1234u);
  EXPECT_EQ(items[3].time, 0x123456u);
  EXPECT_EQ(items[4].time, 0x123456u + 0x0101u);
  EXPECT_EQ(items[4].flags, 0x22);
}

TEST_F(Decoder, EmptyBufferChangesNothing) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  decode(m_sink, hex("00 01 07"));
  EXPECT_FALSE(m_sink.DecodeDeviceRecords(nullptr, 0));
  EXPECT_FALSE(decode(m_sink, QByteArray()));
  EXPECT_EQ(m_sink.GetRunningTime(), 7u);
  EXPECT_EQ(m_sink.GetFileLength(), 30u);
}

TEST_F(Decoder, RecordCutOffByTheBufferEndIsDropped) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  // The second record announces four time bytes but only two follow.
  const QByteArray whole = hex("00 11 05 60 22 01 02");
  // Copy into an exactly sized heap block so that a read past the end is caught by
  // the address sanitizer builds.
  std::unique_ptr<uint8_t[]> exact(new uint8_t[whole.size()]);
  memcpy(exact.get(), whole.constData(), whole.size());
  EXPECT_TRUE(m_sink.DecodeDeviceRecords(exact.get(), static_cast<uint32_t>(whole.size())));
  const auto items = sinktest::itemsInFile(path());
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].data, 0x11);
  EXPECT_EQ(m_sink.GetRunningTime(), 5u) << "a dropped record does not move the time";
  EXPECT_FALSE(decode(m_sink, hex("00 11"))) << "a lone partial record writes nothing";
}

TEST_F(Decoder, WithoutAFileRecordsOnlyMoveTheRunningTime) {
  EXPECT_FALSE(decode(m_sink, hex("00 01 10 02 02 05")));
  EXPECT_EQ(m_sink.GetRunningTime(), 0x15u);
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_TRUE(decode(m_sink, hex("02 03 01")));
  EXPECT_EQ(sinktest::itemsInFile(path()).at(0).time, 0x16u) << "time runs on into the recording";
  m_sink.CloseAcquisitionFile();
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_TRUE(decode(m_sink, hex("02 04 01")));
  EXPECT_EQ(sinktest::itemsInFile(path()).at(0).time, 0x17u) << "and across recordings";

  CVRIMSocket fresh(nullptr, &m_notifier);  // a new connect makes a new sink
  ASSERT_TRUE(fresh.OpenAcquisitionFile());
  EXPECT_TRUE(decode(fresh, hex("02 05 03")));
  EXPECT_EQ(sinktest::itemsInFile(fresh.GetWritingPath()).at(0).time, 3u);
}

TEST_F(Decoder, ItemsAreReadableThroughAnotherHandleWhenDecodeReturns) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(decode(m_sink, sinktest::recordsFor(QByteArray(7, static_cast<char>(i)))));
    EXPECT_EQ(testsupport::readWholeFile(path()).size(), 24 + 42 * (i + 1));
  }
}

TEST_F(Decoder, ReceivePathNotifiesWithTheFileLengthOnlyWhenItemsWereWritten) {
  const QByteArray records = hex("00 01 02 00 02 03");
  const auto* data = reinterpret_cast<const uint8_t*>(records.constData());
  EXPECT_FALSE(m_sink.ReceiveDeviceRecords(data, 6, true));
  EXPECT_EQ(m_sink.GetRunningTime(), 0u) << "the LAN path decodes nothing without a file";
  EXPECT_FALSE(m_sink.ReceiveDeviceRecords(data, 6, false));
  EXPECT_EQ(m_sink.GetRunningTime(), 3u) << "the serial path decodes every payload";
  EXPECT_TRUE(m_notifier.lengths().empty());

  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_TRUE(m_sink.ReceiveDeviceRecords(data, 6, true));
  EXPECT_EQ(m_notifier.lengths(), std::vector<uint64_t>{36u});
}

// Random buffers must never make the decoder read outside them; run under the
// sanitizer build, any out-of-bounds read fails the test.
TEST_F(Decoder, RandomBuffersAreDecodedWithinTheirBounds) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 1000; ++round) {  // no file: only the running time moves
    const uint32_t length = rng() % 64;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[length ? length : 1]);
    for (uint32_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(rng());
    EXPECT_FALSE(m_sink.DecodeDeviceRecords(buffer.get(), length));
  }
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  uint64_t expectedLength = 24;
  for (int round = 0; round < 3000; ++round) {
    const uint32_t length = rng() % 64;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[length ? length : 1]);
    for (uint32_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(rng());
    // The whole records of the buffer, counted independently.
    uint32_t p = 0, records = 0;
    while (p + 3 <= length && p + 3 + ((buffer[p] >> 5) & 3u) <= length) {
      p += 3 + ((buffer[p] >> 5) & 3u);
      ++records;
    }
    const bool wrote = m_sink.DecodeDeviceRecords(buffer.get(), length);
    EXPECT_EQ(wrote, records > 0);
    expectedLength += 6u * records;
  }
  EXPECT_EQ(m_sink.GetFileLength(), expectedLength);
  EXPECT_EQ(static_cast<uint64_t>(testsupport::readWholeFile(path()).size()), expectedLength);
}

TEST_F(Decoder, RandomBuffersWithTheTriggerArmedStayWithinBounds) {
  platform::Profile().WriteProfileInt("TriggerSetup", "TriggerState", 1);
  const char start[] = {0x10, 0x20};
  const char stop[] = {0x30};
  platform::Profile().WriteProfileBinary("TriggerSetup", "StartPattern_00", start, 2);
  platform::Profile().WriteProfileBinary("TriggerSetup", "StopPattern_00", stop, 1);
  platform::Profile().WriteProfileInt("TriggerSetup", "LeadingBytes", 200);
  platform::Profile().WriteProfileInt("TriggerSetup", "TrailingBytes", 3);
  m_sink.LoadTriggerSetup();
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  std::mt19937 rng(777);
  uint64_t itemsSeen = 0;
  for (int round = 0; round < 3000; ++round) {
    const uint32_t length = rng() % 96;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[length ? length : 1]);
    // Data bytes drawn from a small alphabet so that the patterns occur often.
    for (uint32_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(rng() % 4 == 0 ? 0x10 * (rng() % 4) : rng());
    uint32_t p = 0;
    while (p + 3 <= length && p + 3 + ((buffer[p] >> 5) & 3u) <= length) {
      p += 3 + ((buffer[p] >> 5) & 3u);
      ++itemsSeen;
    }
    m_sink.DecodeDeviceRecords(buffer.get(), length);
  }
  const uint64_t written = (m_sink.GetFileLength() - 24) / 6;
  EXPECT_LE(written, itemsSeen) << "no item is written twice";
}
