#include <gtest/gtest.h>

#include <QDir>
#include <atomic>
#include <random>
#include <thread>

#include "capture/CVRIMSocket.h"
#include "SinkTestSupport.h"
#include "support/RecordingMessageBox.h"

namespace {

// Feeds the sink from its own thread, as the serial receive thread does: buffers of
// 1 to 40 records, each with a unique absolute time, so that every item can be
// traced to its buffer. Remembers the times of every buffer that reported written.
class FeedingThread {
public:
  explicit FeedingThread(CVRIMSocket& sink) : m_sink(sink), m_thread([this] { run(); }) {}
  ~FeedingThread() { stop(); }

  void stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }
  uint64_t buffers() const { return m_buffers.load(); }
  uint64_t heldBuffers() const { return m_held.load(); }
  const std::vector<uint32_t>& writtenTimes() const { return m_written; }

private:
  void run() {
    std::mt19937 rng(4711);
    uint32_t next = 1;
    std::vector<uint8_t> buffer;
    while (!m_stop) {
      const uint32_t records = 1 + rng() % 40;
      buffer.clear();
      for (uint32_t i = 0; i < records; ++i) {
        const uint32_t t = next + i;
        const uint8_t rec[6] = {0x60, static_cast<uint8_t>(t), static_cast<uint8_t>(t), static_cast<uint8_t>(t >> 8),
                                static_cast<uint8_t>(t >> 16), static_cast<uint8_t>(t >> 24)};
        buffer.insert(buffer.end(), rec, rec + 6);
      }
      if (m_sink.ReceiveDeviceRecords(buffer.data(), static_cast<uint32_t>(buffer.size()), false)) {
        for (uint32_t i = 0; i < records; ++i) m_written.push_back(next + i);
      } else {
        ++m_held;
      }
      next += records;
      ++m_buffers;
    }
  }

  CVRIMSocket& m_sink;
  std::atomic<bool> m_stop{false};
  std::atomic<uint64_t> m_buffers{0};
  std::atomic<uint64_t> m_held{0};
  std::vector<uint32_t> m_written;
  std::thread m_thread;
};

class SinkSharing : public ::testing::Test {
protected:
  void SetUp() override { m_folder = sinktest::configureRecording(m_profile); }

  // Every item of every file: none torn, each file in order, and together exactly the
  // items of the buffers that reported written, each once.
  void checkFiles(const std::vector<uint32_t>& writtenTimes) {
    std::vector<uint32_t> all;
    const QStringList files = QDir(m_folder).entryList({"*.ANL"}, QDir::Files);
    for (const QString& name : files) {
      const QByteArray bytes = testsupport::readWholeFile(m_folder + name);
      ASSERT_EQ((bytes.size() - 24) % 6, 0) << name.toStdString();
      uint32_t previous = 0;
      for (const sinktest::Item& item : sinktest::itemsIn(bytes)) {
        ASSERT_EQ(item.flags, 0x60) << name.toStdString();
        ASSERT_EQ(item.data, static_cast<uint8_t>(item.time)) << "torn item in " << name.toStdString();
        ASSERT_GT(item.time, previous) << name.toStdString();
        previous = item.time;
        all.push_back(item.time);
      }
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "an item landed twice";
    std::vector<uint32_t> expected = writtenTimes;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(all.size(), expected.size());
    EXPECT_TRUE(all == expected) << "the files hold exactly the reported items";
  }

  // Waits until the feeder has handed over at least one more buffer.
  static void letFeederRun(const FeedingThread& feeder) {
    const uint64_t seen = feeder.buffers();
    ASSERT_TRUE(testsupport::waitFor([&] { return feeder.buffers() > seen; }, 30000));
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_boxes;
  QString m_folder;
  sinktest::RecordingNotifier m_notifier;
  CVRIMSocket m_sink{nullptr, &m_notifier};
};

}  // namespace

TEST_F(SinkSharing, StopStartRestartAThousandTimesWhileDecoding) {
  FeedingThread feeder(m_sink);
  std::mt19937 rng(99);
  bool recording = false;
  for (int op = 0; op < 1000; ++op) {
    if (!recording) {
      ASSERT_TRUE(m_sink.LoadTriggerSetup());
      ASSERT_TRUE(m_sink.OpenAcquisitionFile());
      recording = true;
    } else if (rng() % 3 == 0) {
      ASSERT_TRUE(m_sink.CloseAcquisitionFile());
      recording = false;
    } else {
      ASSERT_TRUE(m_sink.RestartAcquisitionFile());
    }
    letFeederRun(feeder);
  }
  feeder.stop();
  m_sink.CloseAcquisitionFile();
  EXPECT_EQ(m_boxes.count(), 0u);
  EXPECT_GT(feeder.writtenTimes().size(), 0u);
  checkFiles(feeder.writtenTimes());
}

TEST_F(SinkSharing, RestartsLoseNoBuffer) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  FeedingThread feeder(m_sink);
  for (int op = 0; op < 300; ++op) {
    ASSERT_TRUE(m_sink.RestartAcquisitionFile());
    letFeederRun(feeder);
  }
  feeder.stop();
  m_sink.CloseAcquisitionFile();
  EXPECT_EQ(feeder.heldBuffers(), 0u) << "every buffer found a file across the restarts";
  checkFiles(feeder.writtenTimes());
  EXPECT_EQ(m_notifier.lengths().size(), feeder.buffers());
}
