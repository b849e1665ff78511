#include "fuzz/FuzzTargets.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <memory>

#include "capture/CActiveFile.h"
#include "capture/CVRIMSocket.h"
#include "capture/CommentBlock.h"
#include "capture/DataWrittenNotifier.h"
#include "capture/HdlcReceiver.h"
#include "capture/PatternText.h"
#include "common/SystemTypes.h"
#include "mdb/CMDBInterpreter.h"
#include "mdb/MdbViewAccess.h"
#include "platform/ProfileStore.h"
#include "update/BootDialogue.h"

namespace fuzz {

namespace {

// In memory where the system offers it: every run of a file target writes a file.
QTemporaryDir& scratch() {
  static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/vrim-fuzz-XXXXXX")
                                                                       : QDir::tempPath() + "/vrim-fuzz-XXXXXX");
  return dir;
}

class QuietNotifier final : public DataWrittenNotifier {
public:
  void DataWritten(uint64_t) override {}
};

// A list screen of the view without cells: the decoder decodes it and posts nothing.
class ListScreens final : public MdbViewAccess {
public:
  uint32_t GetFirstItem() const override { return first; }
  uint32_t GetCellCount() const override { return cells; }
  uint32_t GetItemCount() const override { return count; }
  uint32_t GetDisplayAttribute() const override { return DISPLAY_LIST; }
  platform::WindowHandle GetCell(uint32_t) const override { return platform::NULL_WINDOW; }
  uint32_t first = 0, cells = 1, count = 0;
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
  // Eight sinks, one per trigger set-up (odd ones armed), each writing a file of its
  // own; the first byte of the input picks one, the rest are the records. Set up once:
  // the profile is a file on disk.
  static constexpr int SETUPS = 8;
  static QuietNotifier notifier;
  static std::unique_ptr<CVRIMSocket> sinks[SETUPS];
  auto useFile = [](int setup) {
    platform::Profile().WriteProfileString("PropertyPage3", "FileName", QStringLiteral("records%1.anl").arg(setup));
  };
  static const bool ready = [&] {
    platform::SetProfilePath(scratch().filePath(QStringLiteral("profile/VRIM.ini")));
    auto& p = platform::Profile();
    p.WriteProfileString("PropertyPage3", "FilePath", scratch().path() + QLatin1Char('/'));
    p.WriteProfileInt("PropertyPage3", "FileMultiple", 0);
    static const uint8_t patterns[][3] = {{0x55}, {0xAA, 0x0A}, {0x10, 0x05, 0x83}, {0x00}};
    for (int mode = 0; mode < SETUPS; ++mode) {
      p.WriteProfileInt("TriggerSetup", "TriggerState", mode & 1);
      p.WriteProfileInt("TriggerSetup", "StopRecording", (mode >> 1) & 1);
      p.WriteProfileInt("TriggerSetup", "LeadingBytes", (mode * 37) % 101);
      p.WriteProfileInt("TriggerSetup", "TrailingBytes", (mode * 13) % 101);
      p.WriteProfileBinary("TriggerSetup", "StartPattern_00", patterns[mode % 4], 1 + mode % 3);
      p.WriteProfileBinary("TriggerSetup", "StopPattern_00", patterns[(mode + 1) % 4], 1 + (mode + 1) % 3);
      sinks[mode] = std::make_unique<CVRIMSocket>(nullptr, &notifier);
      sinks[mode]->LoadTriggerSetup();
      useFile(mode);
      sinks[mode]->OpenAcquisitionFile();
    }
    return true;
  }();
  (void)ready;
  if (size == 0) return sinks[0]->DecodeDeviceRecords(data, 0) ? 0 : 0;
  const int mode = data[0] % SETUPS;
  CVRIMSocket& sink = *sinks[mode];
  // The file starts anew now and then so that it never grows without bound; the
  // trigger runs on across the change as in a split recording.
  if (sink.GetFileLength() > (1u << 20)) {
    useFile(mode);
    sink.RestartAcquisitionFile();
  }
  sink.ReceiveDeviceRecords(data + 1, static_cast<uint32_t>(size - 1), true);
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
  // Opened as the view opens a file: the offset of item 0 from the header, the
  // count the view keeps; then the MDB list decodes it screen by screen, the screen
  // height taken from the input so that screen edges fall everywhere.
  CActiveFile file;
  if (!file.Open(path)) return 0;
  uint32_t offset = 0;
  file.ReadCommentSize(offset);
  ListScreens view;
  view.cells = 1 + static_cast<uint32_t>(size % 41);
  view.count = CActiveFile::ShownItemCount(file.GetLength(), offset);
  CMDBInterpreter decoder(view, file);
  for (uint64_t first = 0; first < view.count; first += view.cells) {
    view.first = static_cast<uint32_t>(first);
    decoder.MakePass(offset);
  }
  // The last screen once more, as the live view and End reach it.
  if (view.count > 0) decoder.MakePass(offset);
  return 0;
}

int BootLoaderInput(const uint8_t* data, size_t size) {
  char reply[BootDialogue::CHECKSUM_CAPACITY] = {};
  if (size > 0) std::memcpy(reply, data, std::min(size, sizeof reply - 1));
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

int CommentBlockInput(const uint8_t* data, size_t size) {
  // The first byte chooses how much of the input ends up as the new text, the rest
  // is the file: its block is read and the text written back as the editor does.
  if (size == 0) return 0;
  const size_t textLength = std::min<size_t>(data[0], size - 1);
  const QString path = scratch().filePath(QStringLiteral("comment.anl"));
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
  }
  CActiveFile file;
  if (!file.Open(path) || !file.Reopen(true)) return 0;
  CommentBlock block;
  block.Load(file);
  const uint64_t before = file.GetLength();
  const QByteArray text =
      CommentBlock::WithLineBreak(QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(textLength)));
  platform::FileError error;
  if (!block.Store(file, text, error)) return 0;
  file.Reopen(false);
  // Every item keeps its bytes behind the block, wherever the block ends now.
  if (block.BlockSize() < text.size() + CommentBlock::BLOCK_OVERHEAD || file.GetLength() < before) __builtin_trap();
  return 0;
}

}  // namespace fuzz
