#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

#include "capture/CVRIMSocket.h"
#include "SinkTestSupport.h"
#include "support/ActingMessageBox.h"
#include "support/RecordingMessageBox.h"

namespace {

// The data byte of the item with a given time: a function of the time, so that a torn item shows, drawn
// mostly from the trigger patterns' bytes so that windows open and close often.
uint8_t dataFor(uint32_t time) {
  const uint32_t h = (time * 0x9E3779B1u) ^ (time * 0x9E3779B1u >> 15);
  return "\x10\x20\x30\x41\x42"[(h * 0x85EBCA77u ^ (h * 0x85EBCA77u >> 13)) % 5];
}

// The serial receive thread: buffers of 1 to 40 records with unique four-byte absolute times. Keeps every
// buffer for a replay and the times of the items of every buffer that reported written.
struct Feeder {
  explicit Feeder(CVRIMSocket& sink) : sink(sink), thread([this] { run(); }) {}
  ~Feeder() { stop(); }
  void stop() {
    stopping = true;
    if (thread.joinable()) thread.join();
  }
  // Waits until at least one more buffer was handed over.
  bool moves(int timeoutMs = 30000) const {
    const uint64_t seen = buffers;
    return testsupport::waitFor([&] { return buffers > seen; }, timeoutMs);
  }
  void run() {
    std::mt19937 rng(4711);
    for (uint32_t next = 1, records = 1 + rng() % 40; !stopping; next += records, records = 1 + rng() % 40) {
      std::vector<uint8_t> buffer;
      for (uint32_t t = next; t < next + records; ++t)
        buffer.insert(buffer.end(), {0x60, dataFor(t), uint8_t(t), uint8_t(t >> 8), uint8_t(t >> 16), uint8_t(t >> 24)});
      const bool stored = sink.ReceiveDeviceRecords(buffer.data(), static_cast<uint32_t>(buffer.size()), false);
      for (uint32_t t = next; stored && t < next + records; ++t) written.push_back(t);
      held += !stored;
      fed.push_back(std::move(buffer));
      ++buffers;
    }
  }

  CVRIMSocket& sink;
  std::atomic<bool> stopping{false};
  std::atomic<uint64_t> buffers{0}, held{0};
  std::vector<uint32_t> written;  // these two are read once the thread has stopped
  std::vector<std::vector<uint8_t>> fed;
  std::thread thread;  // last: it runs on the members above
};

class SinkThreads : public ::testing::Test {
protected:
  void SetUp() override { m_folder = sinktest::configureRecording(m_profile); }

  // The items of ANALIZER.ANL, ANALIZER(1).ANL, ... in the order the files were made;
  // fails on a torn item or a file not in time order.
  std::vector<sinktest::Item> itemsOfAllFiles() {
    std::vector<sinktest::Item> all;
    int n = 0;
    for (QString name = "ANALIZER.ANL"; QFile::exists(m_folder + name); name = QString("ANALIZER(%1).ANL").arg(++n)) {
      const QByteArray bytes = testsupport::readWholeFile(m_folder + name);
      EXPECT_EQ((bytes.size() - 24) % 6, 0) << name.toStdString();
      uint32_t previous = 0;
      for (const sinktest::Item& item : sinktest::itemsIn(bytes)) {
        EXPECT_TRUE(item.flags == 0x60 && item.data == dataFor(item.time) && item.time > previous)
            << "torn or misplaced item in " << name.toStdString();
        previous = item.time;
        all.push_back(item);
      }
    }
    EXPECT_EQ(n, QDir(m_folder).entryList(QDir::Files).size()) << "a gap in the numbering";
    return all;
  }

  testsupport::TempProfile m_profile;
  QString m_folder;
  sinktest::RecordingNotifier m_notifier;
  CVRIMSocket m_sink{nullptr, &m_notifier};
};

}  // namespace

TEST_F(SinkThreads, RestartsLoseNoBufferAndStopStartRestartAThousandTimesLoseNoItem) {
  testsupport::RecordingMessageBox boxes;
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  Feeder feeder(m_sink);
  m_notifier.delayUs = 300;
  for (int op = 0; op < 300; ++op) {
    // A long old file and a short new one: a late notice of the old file shows.
    ASSERT_TRUE(testsupport::waitFor([&] { return m_sink.GetFileLength() > 24 + 6 * 100; }, 30000));
    m_notifier.mark();  // the change itself is not checked
    ASSERT_TRUE(m_sink.RestartAcquisitionFile());
    m_notifier.mark(m_sink.GetFileLength());
    ASSERT_TRUE(feeder.moves() && feeder.moves());
  }
  m_notifier.mark();
  m_notifier.delayUs = 0;
  EXPECT_EQ(feeder.held.load(), 0u) << "every buffer found a file across the restarts";
  EXPECT_TRUE(m_notifier.lengthsGrowBetweenMarks()) << "a length of the old file came after its Restart";

  std::mt19937 rng(99);
  bool recording = true;
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
    ASSERT_TRUE(feeder.moves());
  }
  feeder.stop();
  m_sink.CloseAcquisitionFile();
  EXPECT_EQ(boxes.count(), 0u);
  // Together the files hold exactly the items of the buffers that reported written, each once.
  std::vector<uint32_t> stored;
  for (const sinktest::Item& item : itemsOfAllFiles()) stored.push_back(item.time);
  std::sort(stored.begin(), stored.end());
  EXPECT_TRUE(!stored.empty() && stored == feeder.written) << stored.size() << " items in the files";
  EXPECT_EQ(m_notifier.lengths().size(), feeder.buffers.load() - feeder.held.load()) << "one notice per written buffer";
}

// A trigger window that runs over a Restart goes on in the next file: the files of a
// split recording, read one after the other, hold exactly what one unsplit file of the
// same stream holds, whatever the moments of the Restarts.
TEST_F(SinkThreads, TriggeredSplitFilesTogetherEqualOneFileOfTheSameStream) {
  testsupport::RecordingMessageBox boxes;
  sinktest::armTrigger(testsupport::hex("10 20"), testsupport::hex("30"), 5, 3);
  ASSERT_TRUE(m_sink.LoadTriggerSetup());
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  Feeder feeder(m_sink);
  for (int op = 0; op < 200; ++op) {
    ASSERT_TRUE(m_sink.RestartAcquisitionFile());
    ASSERT_TRUE(feeder.moves());
  }
  feeder.stop();
  m_sink.CloseAcquisitionFile();
  EXPECT_EQ(boxes.count(), 0u);
  const std::vector<sinktest::Item> split = itemsOfAllFiles();

  const QString other = m_profile.dir() + "/single/";
  QDir().mkpath(other);
  platform::Profile().WriteProfileString("PropertyPage3", "FilePath", other);
  CVRIMSocket single(nullptr, &m_notifier);
  ASSERT_TRUE(single.LoadTriggerSetup());
  ASSERT_TRUE(single.OpenAcquisitionFile());
  for (const auto& buffer : feeder.fed)
    single.DecodeDeviceRecords(buffer.data(), static_cast<uint32_t>(buffer.size()));
  const std::vector<sinktest::Item> whole = sinktest::itemsInFile(single.GetWritingPath());
  single.CloseAcquisitionFile();

  ASSERT_GT(whole.size(), 100u) << "the stream opened trigger windows";
  ASSERT_EQ(split.size(), whole.size());
  for (size_t i = 0; i < whole.size(); ++i) ASSERT_EQ(split[i].time, whole[i].time) << "item " << i;
}

TEST_F(SinkThreads, ReceiveThreadIsNotHeldWhileAFailedRestartIsShown) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  Feeder feeder(m_sink);
  bool movedMeanwhile = false;  // the box stays up until the receive thread decoded more buffers
  testsupport::ActingMessageBox box([&] { movedMeanwhile = feeder.moves(20000) && feeder.moves(20000); });
  ASSERT_TRUE(feeder.moves());
  platform::Profile().WriteProfileString("PropertyPage3", "FilePath", m_folder + "gone/");
  EXPECT_FALSE(m_sink.RestartAcquisitionFile());
  feeder.stop();
  EXPECT_EQ(box.texts, std::vector<QString>{QString("Create file %1gone/ANALIZER.ANL failed, Error: %2")
                                                .arg(m_folder).arg(ENOENT)});
  EXPECT_TRUE(movedMeanwhile) << "the receive thread waited for the message box";
  EXPECT_FALSE(m_sink.IsWriting()) << "after a failed Restart nothing is written until Stop";
}
