#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

#include "capture/CVRIMSocket.h"
#include "platform/MessageBoxService.h"
#include "SinkTestSupport.h"
#include "support/RecordingMessageBox.h"

namespace {

// The data byte of the item with a given time: a function of the time, so that a torn
// item shows, drawn mostly from the trigger patterns' bytes so that windows open and
// close often.
uint8_t dataFor(uint32_t time) {
  const uint32_t h = (time * 0x9E3779B1u) ^ (time * 0x9E3779B1u >> 15);
  return "\x10\x20\x30\x41\x42"[(h * 0x85EBCA77u ^ (h * 0x85EBCA77u >> 13)) % 5];
}

// The serial receive thread: buffers of 1 to 40 records with unique four-byte
// absolute times. Keeps every buffer for a replay and the times of the items of
// every buffer that reported written.
class Feeder {
public:
  explicit Feeder(CVRIMSocket& sink) : m_sink(sink), m_thread([this] { run(); }) {}
  ~Feeder() { stop(); }
  void stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }
  uint64_t buffers() const { return m_buffers.load(); }
  uint64_t heldBuffers() const { return m_held.load(); }
  const std::vector<uint32_t>& writtenTimes() const { return m_written; }
  const std::vector<std::vector<uint8_t>>& fed() const { return m_fed; }
  // Waits until at least one more buffer was handed over.
  bool moves(int timeoutMs = 30000) const {
    const uint64_t seen = buffers();
    return testsupport::waitFor([&] { return buffers() > seen; }, timeoutMs);
  }

private:
  void run() {
    std::mt19937 rng(4711);
    uint32_t next = 1;
    while (!m_stop) {
      const uint32_t records = 1 + rng() % 40;
      std::vector<uint8_t> buffer;
      for (uint32_t t = next; t < next + records; ++t) {
        const uint8_t rec[6] = {0x60, dataFor(t), static_cast<uint8_t>(t), static_cast<uint8_t>(t >> 8),
                                static_cast<uint8_t>(t >> 16), static_cast<uint8_t>(t >> 24)};
        buffer.insert(buffer.end(), rec, rec + 6);
      }
      if (!m_sink.ReceiveDeviceRecords(buffer.data(), static_cast<uint32_t>(buffer.size()), false)) ++m_held;
      else
        for (uint32_t t = next; t < next + records; ++t) m_written.push_back(t);
      m_fed.push_back(std::move(buffer));
      next += records;
      ++m_buffers;
    }
  }

  CVRIMSocket& m_sink;
  std::atomic<bool> m_stop{false};
  std::atomic<uint64_t> m_buffers{0};
  std::atomic<uint64_t> m_held{0};
  std::vector<uint32_t> m_written;
  std::vector<std::vector<uint8_t>> m_fed;
  std::thread m_thread;
};

class SinkThreads : public ::testing::Test {
protected:
  void SetUp() override { m_folder = sinktest::configureRecording(m_profile); }

  // The items of ANALIZER.ANL, ANALIZER(1).ANL, ... in the order the files were made;
  // fails on a torn item or a file not in time order.
  std::vector<sinktest::Item> itemsOfAllFiles() {
    std::vector<std::pair<int, QString>> files;
    const QRegularExpression numbered(QStringLiteral("^ANALIZER(?:\\((\\d+)\\))?\\.ANL$"));
    for (const QString& name : QDir(m_folder).entryList(QDir::Files)) {
      const auto m = numbered.match(name);
      if (m.hasMatch()) files.emplace_back(m.captured(1).isEmpty() ? 0 : m.captured(1).toInt(), name);
    }
    std::sort(files.begin(), files.end());
    std::vector<sinktest::Item> all;
    for (const auto& [number, name] : files) {
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
    return all;
  }

  testsupport::TempProfile m_profile;
  QString m_folder;
  sinktest::RecordingNotifier m_notifier;
  CVRIMSocket m_sink{nullptr, &m_notifier};
};

// Shows a message box as a modal one would: it stays up until the receive thread has
// decoded more buffers (or a generous time has passed).
class WaitingMessageBox final : public platform::MessageBoxService {
public:
  explicit WaitingMessageBox(const Feeder& feeder) : m_feeder(feeder) { platform::SetMessageBoxService(this); }
  ~WaitingMessageBox() override { platform::SetMessageBoxService(nullptr); }
  int show(const QString& text, unsigned) override {
    m_texts.push_back(text);
    m_feederMovedMeanwhile = m_feeder.moves(20000) && m_feeder.moves(20000);
    return platform::IDOK;
  }
  const Feeder& m_feeder;
  std::vector<QString> m_texts;
  bool m_feederMovedMeanwhile = false;
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
  EXPECT_EQ(feeder.heldBuffers(), 0u) << "every buffer found a file across the restarts";
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
  EXPECT_TRUE(!stored.empty() && stored == feeder.writtenTimes()) << stored.size() << " items in the files";
  EXPECT_EQ(m_notifier.lengths().size(), feeder.buffers() - feeder.heldBuffers()) << "one notice per written buffer";
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
  for (const auto& buffer : feeder.fed())
    single.DecodeDeviceRecords(buffer.data(), static_cast<uint32_t>(buffer.size()));
  const std::vector<sinktest::Item> whole = sinktest::itemsInFile(single.GetWritingPath());
  single.CloseAcquisitionFile();

  ASSERT_GT(whole.size(), 100u) << "the stream opened trigger windows";
  ASSERT_EQ(split.size(), whole.size());
  for (size_t i = 0; i < whole.size(); ++i) ASSERT_EQ(split[i].time, whole[i].time) << "item " << i;
}

TEST_F(SinkThreads, ReceiveThreadIsNotHeldWhileAFailedRestartIsShown) {
  {
    testsupport::RecordingMessageBox quiet;
    ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  }
  Feeder feeder(m_sink);
  WaitingMessageBox box(feeder);
  ASSERT_TRUE(feeder.moves());
  platform::Profile().WriteProfileString("PropertyPage3", "FilePath", m_folder + "gone/");
  EXPECT_FALSE(m_sink.RestartAcquisitionFile());
  feeder.stop();
  ASSERT_EQ(box.m_texts.size(), 1u);
  EXPECT_EQ(box.m_texts[0],
            QStringLiteral("Create file %1gone/ANALIZER.ANL failed, Error: %2").arg(m_folder).arg(ENOENT));
  EXPECT_TRUE(box.m_feederMovedMeanwhile) << "the receive thread waited for the message box";
  EXPECT_FALSE(m_sink.IsWriting()) << "after a failed Restart nothing is written until Stop";
}
