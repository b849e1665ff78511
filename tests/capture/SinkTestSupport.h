#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/CVRIMSocket.h"
#include "capture/DataWrittenNotifier.h"
#include "common/ItemRecord.h"
#include "platform/ProfileStore.h"
#include "support/TestSupport.h"

namespace sinktest {

// Observes the receive path's notification instead of posting it.
class RecordingNotifier final : public DataWrittenNotifier {
public:
  void DataWritten(uint64_t fileLength) override {
    // A slow receiver of the notice: a file change must not overtake it.
    if (delayUs) std::this_thread::sleep_for(std::chrono::microseconds(delayUs.load()));
    std::lock_guard lock(m_mutex);
    m_lengths.push_back(fileLength);
  }
  // Between mark(floor) and the next mark(), every length told is at least floor
  // and at least the one told before it.
  void mark(uint64_t floor = UINT64_MAX) {
    std::lock_guard lock(m_mutex);
    m_marks.emplace_back(m_lengths.size(), floor);
  }
  bool lengthsGrowBetweenMarks() const {
    std::lock_guard lock(m_mutex);
    for (size_t k = 0; k + 1 < m_marks.size(); ++k)
      for (size_t i = m_marks[k].first; i < m_marks[k + 1].first && m_marks[k].second != UINT64_MAX; ++i)
        if (m_lengths[i] < (i == m_marks[k].first ? m_marks[k].second : m_lengths[i - 1])) return false;
    return true;
  }
  void WriteFailed() override { ++failures; }
  std::atomic<int> delayUs{0}, failures{0};
  std::vector<uint64_t> lengths() const {
    std::lock_guard lock(m_mutex);
    return m_lengths;
  }

private:
  mutable std::mutex m_mutex;
  std::vector<uint64_t> m_lengths;
  std::vector<std::pair<size_t, uint64_t>> m_marks;  // index into m_lengths, floor
};

// Points the recording at <temp>/data/ with the given file name and numbering.
inline QString configureRecording(const testsupport::TempProfile& profile, const QString& name = "ANALIZER.ANL",
                                  int multiple = 1) {
  const QString folder = profile.dir() + "/data/";
  QDir().mkpath(folder);
  platform::ProfileStore& p = platform::Profile();
  p.WriteProfileString("PropertyPage3", "FilePath", folder);
  p.WriteProfileString("PropertyPage3", "FileName", name);
  p.WriteProfileInt("PropertyPage3", "FileMultiple", multiple);
  return folder;
}

// Start pattern in slot startSlot, stop pattern (may be empty: none) in slot 0.
inline void armTrigger(const QByteArray& start, const QByteArray& stop, int leading, int trailing, int state = 1,
                       int startSlot = 0, int stopBox = 1) {
  platform::ProfileStore& p = platform::Profile();
  p.WriteProfileInt("TriggerSetup", "TriggerState", state);
  p.WriteProfileInt("TriggerSetup", "StopRecording", stopBox);
  p.WriteProfileInt("TriggerSetup", "StartTrigger", startSlot);
  p.WriteProfileBinary("TriggerSetup", QStringLiteral("StartPattern_%1").arg(startSlot, 2, 10, QLatin1Char('0')),
                       start.constData(), static_cast<uint32_t>(start.size()));
  p.WriteProfileInt("TriggerSetup", "StopTrigger", 0);
  p.WriteProfileBinary("TriggerSetup", "StopPattern_00", stop.constData(), static_cast<uint32_t>(stop.size()));
  p.WriteProfileInt("TriggerSetup", "LeadingBytes", leading);
  p.WriteProfileInt("TriggerSetup", "TrailingBytes", trailing);
}

inline bool decode(CVRIMSocket& sink, const QByteArray& b) {
  return sink.DecodeDeviceRecords(reinterpret_cast<const uint8_t*>(b.constData()), uint32_t(b.size()));
}
// As a link's receive thread hands a buffer over (the LAN path, or the serial one).
inline bool receive(CVRIMSocket& sink, const QByteArray& b, bool lan = true) {
  return sink.ReceiveDeviceRecords(reinterpret_cast<const uint8_t*>(b.constData()), uint32_t(b.size()), lan);
}

// An item as read back, unpacked so that its fields can be bound to references.
struct Item {
  uint8_t flags, data;
  uint32_t time;
};

inline std::vector<Item> itemsIn(const QByteArray& file, int headerSize = 24) {
  std::vector<Item> items;
  for (qsizetype at = headerSize; at + 6 <= file.size(); at += 6) {
    const ItemRecord r = itemFromBytes(reinterpret_cast<const uint8_t*>(file.constData() + at));
    items.push_back(Item{r.flags, r.data, r.time});
  }
  return items;
}

inline std::vector<Item> itemsInFile(const QString& path) { return itemsIn(testsupport::readWholeFile(path)); }

inline QByteArray dataBytes(const std::vector<Item>& items) {
  QByteArray out;
  for (const Item& r : items) out.append(static_cast<char>(r.data));
  return out;
}

// One 3-byte record with an absolute one-byte time per data byte.
inline QByteArray recordsFor(const QByteArray& dataBytes) {
  QByteArray out;
  for (qsizetype i = 0; i < dataBytes.size(); ++i) out += QByteArray(1, '\0') + dataBytes[i] + char(i + 1);
  return out;
}

}  // namespace sinktest
