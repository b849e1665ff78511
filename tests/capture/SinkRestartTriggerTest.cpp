#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "capture/CVRIMSocket.h"
#include "platform/MessageBoxService.h"
#include "SinkTestSupport.h"
#include "support/RecordingMessageBox.h"

namespace {

// The serial receive thread: buffers of 1 to 30 records with four-byte absolute times
// (so every item is unique) and data bytes drawn mostly from the trigger patterns'
// bytes, so that windows open and close often. Every buffer handed over is kept for
// a replay.
class PatternFeeder {
public:
  explicit PatternFeeder(CVRIMSocket& sink) : m_sink(sink), m_thread([this] { run(); }) {}
  ~PatternFeeder() { stop(); }
  void stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }
  uint64_t buffers() const { return m_count.load(); }
  const std::vector<std::vector<uint8_t>>& fed() const { return m_fed; }

private:
  void run() {
    std::mt19937 rng(2024);
    const uint8_t alphabet[] = {0x10, 0x20, 0x30, 0x41, 0x42};
    uint32_t time = 1;
    while (!m_stop) {
      std::vector<uint8_t> buffer;
      const uint32_t records = 1 + rng() % 30;
      for (uint32_t i = 0; i < records; ++i, ++time) {
        const uint8_t rec[6] = {0x60, alphabet[rng() % 5], static_cast<uint8_t>(time), static_cast<uint8_t>(time >> 8),
                                static_cast<uint8_t>(time >> 16), static_cast<uint8_t>(time >> 24)};
        buffer.insert(buffer.end(), rec, rec + 6);
      }
      m_sink.ReceiveDeviceRecords(buffer.data(), static_cast<uint32_t>(buffer.size()), false);
      m_fed.push_back(std::move(buffer));
      ++m_count;
    }
  }

  CVRIMSocket& m_sink;
  std::atomic<bool> m_stop{false};
  std::atomic<uint64_t> m_count{0};
  std::vector<std::vector<uint8_t>> m_fed;
  std::thread m_thread;
};

bool feederMoves(const PatternFeeder& feeder, int timeoutMs) {
  const uint64_t seen = feeder.buffers();
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (feeder.buffers() == seen) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void armTrigger() {
  platform::ProfileStore& p = platform::Profile();
  const char start[] = {0x10, 0x20};
  const char stop[] = {0x30};
  p.WriteProfileInt("TriggerSetup", "TriggerState", 1);
  p.WriteProfileInt("TriggerSetup", "StartTrigger", 0);
  p.WriteProfileBinary("TriggerSetup", "StartPattern_00", start, 2);
  p.WriteProfileInt("TriggerSetup", "StopTrigger", 0);
  p.WriteProfileBinary("TriggerSetup", "StopPattern_00", stop, 1);
  p.WriteProfileInt("TriggerSetup", "LeadingBytes", 5);
  p.WriteProfileInt("TriggerSetup", "TrailingBytes", 3);
}

// The items of ANALIZER.ANL, ANALIZER(1).ANL, ... in the order the files were made.
std::vector<sinktest::Item> itemsOfNumberedFiles(const QString& folder) {
  std::vector<std::pair<int, QString>> files;
  const QRegularExpression numbered(QStringLiteral("^ANALIZER(?:\\((\\d+)\\))?\\.ANL$"));
  for (const QString& name : QDir(folder).entryList(QDir::Files)) {
    const auto m = numbered.match(name);
    if (m.hasMatch()) files.emplace_back(m.captured(1).isEmpty() ? 0 : m.captured(1).toInt(), name);
  }
  std::sort(files.begin(), files.end());
  std::vector<sinktest::Item> all;
  for (const auto& [number, name] : files) {
    const auto items = sinktest::itemsInFile(folder + name);
    all.insert(all.end(), items.begin(), items.end());
  }
  return all;
}

}  // namespace

// A window of the trigger that runs over a Restart goes on in the next file: the files
// of a split recording, read one after the other, hold exactly what one unsplit file
// of the same stream holds, whatever the moments of the Restarts.
TEST(SinkRestartTrigger, SplitFilesTogetherEqualOneFileOfTheSameStream) {
  testsupport::TempProfile profile;
  testsupport::RecordingMessageBox boxes;
  const QString folder = sinktest::configureRecording(profile);
  armTrigger();
  sinktest::RecordingNotifier notifier;
  CVRIMSocket sink(nullptr, &notifier);
  ASSERT_TRUE(sink.LoadTriggerSetup());
  ASSERT_TRUE(sink.OpenAcquisitionFile());
  PatternFeeder feeder(sink);
  for (int op = 0; op < 200; ++op) {
    ASSERT_TRUE(sink.RestartAcquisitionFile());
    ASSERT_TRUE(feederMoves(feeder, 30000));
  }
  feeder.stop();
  sink.CloseAcquisitionFile();
  EXPECT_EQ(boxes.count(), 0u);
  const std::vector<sinktest::Item> split = itemsOfNumberedFiles(folder);

  // The same buffers through a fresh sink into one file elsewhere.
  const QString other = profile.dir() + "/single/";
  QDir().mkpath(other);
  platform::Profile().WriteProfileString("PropertyPage3", "FilePath", other);
  CVRIMSocket single(nullptr, &notifier);
  ASSERT_TRUE(single.LoadTriggerSetup());
  ASSERT_TRUE(single.OpenAcquisitionFile());
  for (const auto& buffer : feeder.fed())
    single.DecodeDeviceRecords(buffer.data(), static_cast<uint32_t>(buffer.size()));
  const std::vector<sinktest::Item> whole = sinktest::itemsInFile(single.GetWritingPath());
  single.CloseAcquisitionFile();

  ASSERT_GT(whole.size(), 100u) << "the stream opened trigger windows";
  ASSERT_EQ(split.size(), whole.size());
  for (size_t i = 0; i < whole.size(); ++i) {
    ASSERT_EQ(split[i].time, whole[i].time) << "item " << i;
    ASSERT_EQ(split[i].data, whole[i].data) << "item " << i;
  }
}

namespace {

// Shows the create failure as a modal box would: it stays up until the receive
// thread has decoded more buffers (or a generous time has passed).
class WaitingMessageBox final : public platform::MessageBoxService {
public:
  explicit WaitingMessageBox(const PatternFeeder& feeder) : m_feeder(feeder) {
    platform::SetMessageBoxService(this);
  }
  ~WaitingMessageBox() override { platform::SetMessageBoxService(nullptr); }
  int show(const QString& text, unsigned) override {
    m_texts.push_back(text);
    m_feederMovedMeanwhile = feederMoves(m_feeder, 20000) && feederMoves(m_feeder, 20000);
    return platform::IDOK;
  }
  const PatternFeeder& m_feeder;
  std::vector<QString> m_texts;
  bool m_feederMovedMeanwhile = false;
};

}  // namespace

TEST(SinkRestartTrigger, ReceiveThreadIsNotHeldWhileAFailedRestartIsShown) {
  testsupport::TempProfile profile;
  const QString folder = sinktest::configureRecording(profile);
  sinktest::RecordingNotifier notifier;
  CVRIMSocket sink(nullptr, &notifier);
  ASSERT_TRUE(sink.LoadTriggerSetup());
  {
    testsupport::RecordingMessageBox quiet;
    ASSERT_TRUE(sink.OpenAcquisitionFile());
  }
  PatternFeeder feeder(sink);
  WaitingMessageBox box(feeder);
  ASSERT_TRUE(feederMoves(feeder, 30000));
  platform::Profile().WriteProfileString("PropertyPage3", "FilePath", folder + "gone/");
  EXPECT_FALSE(sink.RestartAcquisitionFile());
  feeder.stop();
  ASSERT_EQ(box.m_texts.size(), 1u);
  EXPECT_EQ(box.m_texts[0], QStringLiteral("Create file %1gone/ANALIZER.ANL failed, Error: %2").arg(folder).arg(ENOENT));
  EXPECT_TRUE(box.m_feederMovedMeanwhile) << "the receive thread waited for the message box";
  EXPECT_FALSE(sink.IsWriting()) << "after a failed Restart nothing is written until Stop";
}
