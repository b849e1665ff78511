#include "fuzz/FuzzTargets.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>

#include "capture/CActiveFile.h"
#include "capture/CVRIMSocket.h"
#include "capture/DataWrittenNotifier.h"
#include "capture/HdlcReceiver.h"
#include "capture/PatternText.h"
#include "platform/ProfileStore.h"
#include "update/BootDialogue.h"

namespace fuzz {

namespace {

QTemporaryDir& scratch() {
  static QTemporaryDir dir;
  return dir;
}

class QuietNotifier final : public DataWrittenNotifier {
public:
  void DataWritten(uint64_t) override {}
};

}  // namespace

int HdlcReceiverInput(const uint8_t* data, size_t size) {
  HdlcReceiver rx;
  for (size_t i = 0; i < size; ++i) {
    if (rx.OnRxByte(data[i]) == HdlcReceiver::Result::Frame) {
      uint32_t sum = 0;
      for (uint32_t k = 0; k < rx.FrameLength(); ++k) sum += rx.Frame()[k];  // the whole frame is readable
      // Kept so that the reads above are not optimised away.
      [[maybe_unused]] volatile uint32_t kept = sum;
    }
  }
  return 0;
}

int DeviceRecordsInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    platform::SetProfilePath(scratch().filePath(QStringLiteral("profile/VRIM.ini")));
    auto& p = platform::Profile();
    p.WriteProfileString("PropertyPage3", "FilePath", scratch().path() + QLatin1Char('/'));
    p.WriteProfileInt("PropertyPage3", "FileMultiple", 0);
    return true;
  }();
  (void)ready;
  static QuietNotifier notifier;
  static CVRIMSocket sink(nullptr, &notifier);
  if (size == 0) return sink.DecodeDeviceRecords(data, 0) ? 0 : 0;
  // A first byte below 8 switches to one of eight trigger set-ups (rarely: the
  // profile is a file on disk); the file is recreated now and then so it never
  // grows without bound.
  static int lastMode = -1;
  const int mode = data[0] < 8 ? data[0] : (lastMode < 0 ? 0 : lastMode);
  if (mode != lastMode) {
    static const uint8_t patterns[][3] = {{0x55}, {0xAA, 0x0A}, {0x10, 0x05, 0x83}, {0x00}};
    auto& p = platform::Profile();
    p.WriteProfileInt("TriggerSetup", "TriggerState", mode & 1);
    p.WriteProfileInt("TriggerSetup", "StopRecording", (mode >> 1) & 1);
    p.WriteProfileInt("TriggerSetup", "LeadingBytes", (mode * 37) % 101);
    p.WriteProfileInt("TriggerSetup", "TrailingBytes", (mode * 13) % 101);
    p.WriteProfileBinary("TriggerSetup", "StartPattern_00", patterns[mode % 4], 1 + mode % 3);
    p.WriteProfileBinary("TriggerSetup", "StopPattern_00", patterns[(mode + 1) % 4], 1 + (mode + 1) % 3);
    lastMode = mode;
    sink.LoadTriggerSetup();
  }
  if (!sink.IsWriting() || sink.GetFileLength() > (1u << 20)) sink.OpenAcquisitionFile();
  sink.DecodeDeviceRecords(data + 1, static_cast<uint32_t>(size - 1));
  return 0;
}

int PatternTextInput(const uint8_t* data, size_t size) {
  QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (NormalizeHexText(text)) {
    const QByteArray bytes = HexTextToBytes(text);
    QString again;
    BytesToHexText(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<uint32_t>(bytes.size()), again);
    if (again != text) __builtin_trap();  // canonical text must round-trip
    if (bytes.size() > 256) __builtin_trap();
  }
  return 0;
}

int AcquisitionFileInput(const uint8_t* data, size_t size) {
  const QString path = scratch().filePath(QStringLiteral("fuzz.anl"));
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  CActiveFile file;
  if (!file.Open(path)) return 0;
  uint32_t header = 0;
  file.ReadCommentSize(header);
  const uint64_t length = file.GetLength();
  const uint64_t count = CActiveFile::ItemCount(length, header);
  if (count > 0) {
    uint8_t item[6];
    const uint64_t last = header + 6 * (count - 1);
    if (file.ReadAt(last, item, sizeof item) != 6) __builtin_trap();
  }
  return 0;
}

int BootLoaderInput(const uint8_t* data, size_t size) {
  char reply[BootDialogue::CHECKSUM_CAPACITY] = {};
  std::memcpy(reply, data, std::min(size, sizeof reply - 1));
  BootDialogue::ChecksumText(reply);
  QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QBuffer file(&bytes);
  file.open(QIODevice::ReadOnly);
  char line[BootDialogue::MAX_LINE + 1];
  while (BootDialogue::NextLine(file, line)) {
    if (std::strlen(line) > BootDialogue::MAX_LINE) __builtin_trap();
  }
  return 0;
}

}  // namespace fuzz
