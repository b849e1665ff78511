#include "capture/CVRIMSocket.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "capture/CActiveFile.h"
#include "capture/CFileUtilities.h"
#include "capture/DataWrittenNotifier.h"
#include "capture/UdpSocket.h"
#include "common/AcquisitionHeader.h"
#include "common/OleDate.h"
#include "common/StatusCodes.h"
#include "common/WindowMessages.h"
#include "platform/AppWindows.h"
#include "platform/File.h"
#include "platform/MessageBoxService.h"
#include "platform/ProfileStore.h"
#include "platform/RecentFileList.h"

namespace {

const QString TRIGGER_SECTION = QStringLiteral("TriggerSetup");
const QString FILE_SECTION = QStringLiteral("PropertyPage3");

// Time value of a record: n + 1 bytes little-endian. wide: four bytes may be read.
inline uint32_t recordTime(const uint8_t* q, uint32_t n, bool wide) {
  if (wide) {
    uint32_t v;
    std::memcpy(&v, q, 4);
    return n == 3 ? v : v & ((1u << (8 * (n + 1))) - 1u);
  }
  uint32_t v = 0;
  for (uint32_t i = 0; i <= n; ++i) v |= static_cast<uint32_t>(q[i]) << (8 * i);
  return v;
}

// Walks the whole records of a buffer: flags (time length n in bits 5-6), data byte,
// then n + 1 time bytes, absolute or a delta to the running time. A record cut off
// by the end of the buffer is dropped. Gives each item to onItem with its absolute
// time and returns the running time after the last.
template <class OnItem>
inline uint32_t forEachRecord(const uint8_t* buffer, uint32_t length, uint32_t time, OnItem&& onItem) {
  uint32_t p = 0;
  while (length - p >= 3) {
    const uint8_t flags = buffer[p];
    const uint32_t n = (flags >> 5) & 3u;
    if (length - p < 3 + n) break;
    const uint32_t t = recordTime(buffer + p + 2, n, length - p >= 6);
    time = (flags & ITEM_FLAG_DELTA) ? time + t : t;
    onItem(flags, buffer[p + 1], time);
    p += 3 + n;
  }
  return time;
}

// A stored pattern, cut to the pattern field.
uint32_t loadPattern(const QString& baseKey, uint32_t slot, uint8_t (&pattern)[PATTERN_MAX_BYTES]) {
  const std::optional<QByteArray> value =
      platform::Profile().GetProfileBinary(TRIGGER_SECTION, patternValueKey(baseKey, slot));
  if (!value) return 0;
  const uint32_t length = static_cast<uint32_t>(std::min<qsizetype>(value->size(), sizeof pattern));
  std::memcpy(pattern, value->constData(), length);
  return length;
}

}  // namespace

// A file made ready for writing outside the sink lock's hold of the old one.
struct CVRIMSocket::NewFile {
  std::unique_ptr<platform::File> file;
  QString path;
  QString error;  // message to show when file is null
};

CVRIMSocket::CVRIMSocket(CActiveFile* shownFile, DataWrittenNotifier* notifier)
    : m_shownFile(shownFile), m_notifier(notifier ? notifier : &DataWrittenNotifier::Default()) {}

CVRIMSocket::~CVRIMSocket() {
  Close();
  // A file still being written is closed without the flush to disk and without a
  // recent-file entry: this is the disconnect, not the end of a recording.
  std::lock_guard lock(m_sinkMutex);
  m_writer.reset();
}

void CVRIMSocket::SetNotifier(DataWrittenNotifier* notifier) {
  std::lock_guard lock(m_sinkMutex);
  m_notifier = notifier ? notifier : &DataWrittenNotifier::Default();
}

bool CVRIMSocket::IsWriting() const {
  std::lock_guard lock(m_sinkMutex);
  return m_writer != nullptr;
}

uint64_t CVRIMSocket::GetFileLength() const {
  std::lock_guard lock(m_sinkMutex);
  return m_writer ? m_writerLength : 0;
}

QString CVRIMSocket::GetWritingPath() const {
  std::lock_guard lock(m_sinkMutex);
  return m_writer ? m_writerPath : QString();
}

uint32_t CVRIMSocket::GetRunningTime() const {
  std::lock_guard lock(m_sinkMutex);
  return m_runningTime;
}

// ---- Decoding -------------------------------------------------------------------

bool CVRIMSocket::DecodeDeviceRecords(const uint8_t* buffer, uint32_t length) {
  std::lock_guard lock(m_sinkMutex);
  return decodeLocked(buffer, length);
}

bool CVRIMSocket::ReceiveDeviceRecords(const uint8_t* buffer, uint32_t length, bool onlyWhileWriting) {
  std::lock_guard lock(m_sinkMutex);
  if (onlyWhileWriting && !m_writer) return false;
  const bool written = decodeLocked(buffer, length);
  // Told under the lock, so that the length reaches the view ahead of anything a
  // Restart posts after replacing this file: a count of the old file never arrives
  // once the view expects the new one.
  noticeLocked(written);
  return written;
}

void CVRIMSocket::noticeLocked(bool written) {
  if (written) m_notifier->DataWritten(m_writerLength);
  if (m_writeFailure.failed && !m_writeFailure.told) {
    m_writeFailure.told = true;
    m_notifier->WriteFailed();
  }
}

void CVRIMSocket::advanceTimeOnly(const uint8_t* buffer, uint32_t length) {
  m_runningTime = forEachRecord(buffer, length, m_runningTime, [](uint8_t, uint8_t, uint32_t) {});
}

void CVRIMSocket::reserveBatch(uint32_t length) {
  // Every item written during one buffer is one of its records or one held in the
  // ring before it, and each is written at most once.
  const size_t needed = (static_cast<size_t>(length) / 3 + PRETRIGGER_ITEMS) * ITEM_SIZE;
  if (needed > m_batchCapacity) {
    m_batch = std::make_unique_for_overwrite<uint8_t[]>(needed);
    m_batchCapacity = needed;
  }
  m_batchUsed = 0;
}

inline void CVRIMSocket::appendItem(const ItemRecord& item) {
  std::memcpy(m_batch.get() + m_batchUsed, &item, ITEM_SIZE);
  m_batchUsed += ITEM_SIZE;
}

bool CVRIMSocket::decodeLocked(const uint8_t* buffer, uint32_t length) {
  if (buffer == nullptr || length == 0) return false;
  if (!m_writer || m_writeFailure.failed) {
    advanceTimeOnly(buffer, length);
    return false;
  }

  reserveBatch(length);
  if (!m_triggerOn) {
    uint8_t* out = m_batch.get();
    m_runningTime =
        forEachRecord(buffer, length, m_runningTime, [&out](uint8_t flags, uint8_t data, uint32_t time) {
          out[0] = flags;
          out[1] = data;
          std::memcpy(out + 2, &time, 4);
          out += ITEM_SIZE;
        });
    m_batchUsed = static_cast<size_t>(out - m_batch.get());
  } else {
    m_runningTime =
        forEachRecord(buffer, length, m_runningTime, [this](uint8_t flags, uint8_t data, uint32_t time) {
          ItemRecord item;
          item.flags = flags;
          item.data = data;
          item.time = time;
          if (CheckTrigger(item)) appendItem(item);
        });
  }

  if (m_batchUsed == 0) return false;
  if (m_writer->writeAt(m_writerLength, m_batch.get(), m_batchUsed) != static_cast<int64_t>(m_batchUsed)) {
    // Disk full, quota, I/O error: the recording ends here. The file keeps every
    // whole item that reached it and nothing more is written to it, so no later
    // write can leave a gap once space returns.
    m_writeFailure = WriteFailure{true, false, errno};
    const uint64_t reached = std::min<uint64_t>(m_writer->length(), m_writerLength + m_batchUsed);
    const uint64_t whole = reached > m_writerLength ? (reached - m_writerLength) / ITEM_SIZE * ITEM_SIZE : 0;
    m_writer->setLength(m_writerLength + whole);
    m_writerLength += whole;
    return whole > 0;
  }
  m_writerLength += m_batchUsed;
  return true;
}

QString CVRIMSocket::TakeWriteFailure() {
  std::lock_guard lock(m_sinkMutex);
  if (!m_writeFailure.failed) return {};
  const QString text =
      QStringLiteral("Write file %1 failed, Error: %2").arg(m_writerPath).arg(m_writeFailure.osError);
  m_writeFailure = {};
  return text;
}

bool CVRIMSocket::HasWriteFailed() const {
  std::lock_guard lock(m_sinkMutex);
  return m_writeFailure.failed;
}

// ---- Trigger --------------------------------------------------------------------

bool CVRIMSocket::LoadTriggerSetup() {
  platform::ProfileStore& profile = platform::Profile();
  uint8_t startPattern[PATTERN_MAX_BYTES] = {};
  uint8_t stopPattern[PATTERN_MAX_BYTES] = {};
  const bool enabled = profile.GetProfileInt(TRIGGER_SECTION, QStringLiteral("TriggerState"), 0) != 0;
  const uint32_t startLength = loadPattern(
      QStringLiteral("StartPattern"), profile.GetProfileInt(TRIGGER_SECTION, QStringLiteral("StartTrigger"), 0),
      startPattern);
  const uint32_t leading = profile.GetProfileInt(TRIGGER_SECTION, QStringLiteral("LeadingBytes"), 0);
  // The stop pattern ends a window only while the user's stop box is checked.
  const bool stopOn = profile.GetProfileInt(TRIGGER_SECTION, QStringLiteral("StopRecording"), 0) != 0;
  const uint32_t stopLength =
      stopOn ? loadPattern(QStringLiteral("StopPattern"),
                           profile.GetProfileInt(TRIGGER_SECTION, QStringLiteral("StopTrigger"), 0), stopPattern)
             : 0;
  const uint32_t trailing = profile.GetProfileInt(TRIGGER_SECTION, QStringLiteral("TrailingBytes"), 0);

  std::lock_guard lock(m_sinkMutex);
  std::fill(std::begin(m_preTrigger), std::end(m_preTrigger), ItemRecord{});
  std::memcpy(m_startPattern, startPattern, sizeof m_startPattern);
  std::memcpy(m_stopPattern, stopPattern, sizeof m_stopPattern);
  m_startLength = startLength;
  m_stopLength = stopLength;
  m_triggerOn = enabled && startLength > 0;
  m_triggerState = TRIGGER_ARMED;
  m_matchIndex = 0;
  m_ringPosition = 0;
  m_counter = 0;
  m_leading = leading;
  m_trailing = trailing;
  return true;
}

void CVRIMSocket::PushPreTrigger(const ItemRecord& item) {
  m_preTrigger[m_ringPosition] = item;
  m_ringPosition = (m_ringPosition + 1) % PRETRIGGER_ITEMS;
  // Only "how many, up to a full ring" matters, so the counter stops at the ring size
  // instead of wrapping after 2^32 items.
  if (m_counter < PRETRIGGER_ITEMS) ++m_counter;
}

void CVRIMSocket::FlushPreTrigger(uint32_t count) {
  // The count items before the last one pushed, oldest first.
  uint32_t slot = (m_ringPosition + 2 * PRETRIGGER_ITEMS - 1 - count) % PRETRIGGER_ITEMS;
  for (uint32_t i = 0; i < count; ++i) {
    appendItem(m_preTrigger[slot]);
    slot = (slot + 1) % PRETRIGGER_ITEMS;
  }
}

bool CVRIMSocket::CheckTrigger(const ItemRecord& item) {
  if (!m_triggerOn) return true;
  switch (m_triggerState) {
    case TRIGGER_ARMED: {
      // A byte that breaks a partial match is not tried as the pattern's first byte.
      m_matchIndex = item.data == m_startPattern[m_matchIndex] ? m_matchIndex + 1 : 0;
      PushPreTrigger(item);
      if (m_matchIndex != m_startLength) return false;
      const uint64_t wanted = static_cast<uint64_t>(m_leading) + m_startLength;
      const uint32_t k = static_cast<uint32_t>(std::min<uint64_t>({wanted, m_counter, PRETRIGGER_ITEMS}));
      FlushPreTrigger(k - 1);  // the completing item is written by the caller
      if (m_stopLength > 0)
        m_triggerState = TRIGGER_RUNNING;
      else if (m_trailing > 0)
        m_triggerState = TRIGGER_TRAILING;
      else
        m_triggerState = TRIGGER_ARMED;
      m_ringPosition = 0;
      m_matchIndex = 0;
      m_counter = 0;
      return true;
    }
    case TRIGGER_RUNNING:
      m_matchIndex = item.data == m_stopPattern[m_matchIndex] ? m_matchIndex + 1 : 0;
      if (m_matchIndex == m_stopLength) {
        m_triggerState = m_trailing > 0 ? TRIGGER_TRAILING : TRIGGER_ARMED;
        m_matchIndex = 0;
      }
      return true;
    case TRIGGER_TRAILING:
    default:
      if (++m_counter >= m_trailing) {
        m_counter = 0;
        m_matchIndex = 0;
        m_triggerState = TRIGGER_ARMED;
      }
      return true;
  }
}

// ---- Acquisition file -----------------------------------------------------------

CVRIMSocket::NewFile CVRIMSocket::prepareNewFile() {
  platform::ProfileStore& profile = platform::Profile();
  QString folder = profile.GetProfileString(FILE_SECTION, QStringLiteral("FilePath"), QString());
  // A folder typed without its closing "/" would otherwise be split as a file name:
  // the recording would land in the parent folder under a wrong name.
  if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  CFileUtilities utilities;
  utilities.SplitPath(folder);
  utilities.SetFileName(profile.GetProfileString(FILE_SECTION, QStringLiteral("FileName"),
                                                 QStringLiteral("ANALIZER.ANL")));
  if (profile.GetProfileInt(FILE_SECTION, QStringLiteral("FileMultiple"), 1) != 0 && utilities.FileExists() &&
      !utilities.IsFileEmpty())
    utilities.GetUniqueFileName();

  NewFile made;
  made.path = utilities.GetFullPath();
  made.file.reset(new (std::nothrow) platform::File);
  if (!made.file) {
    made.error = QStringLiteral("Memory allocation failed, Error: %1").arg(errno);
    return made;
  }
  return made;
}

bool CVRIMSocket::replaceWriter(bool restart) {
  NewFile made = prepareNewFile();
  std::unique_ptr<platform::File> old;
  bool opened = false;
  {
    // The create truncates the configured file when it is reused, which may be the
    // file being written, so the old writer is taken out first.
    std::lock_guard lock(m_sinkMutex);
    old = std::move(m_writer);
    m_writeFailure = {};
    // The one writer of a path is refused a second time: the old file goes first
    // when the next file has its name.
    if (old && m_writerPath == made.path) old->close();
    if (made.file) {
      platform::FileError err;
      if (made.file->open(made.path, platform::File::Mode::CreateWriteShared, &err)) {
        const QByteArray header = AcquisitionHeader{ACQUISITION_HEADER_SIZE, true, OleDate::now()}.Make();
        // A disk already full ends the recording as a later failed write would.
        if (made.file->writeAt(0, header.constData(), ACQUISITION_HEADER_SIZE) != ACQUISITION_HEADER_SIZE)
          m_writeFailure = WriteFailure{true, false, errno};
        m_writer = std::move(made.file);
        m_writerPath = made.path;
        m_writerLength = ACQUISITION_HEADER_SIZE;
        opened = true;
      } else {
        made.error = QStringLiteral("Create file %1 failed, Error: %2").arg(made.path).arg(err.osError);
        made.file.reset();
      }
    }
  }

  if (old && old->isOpen()) {
    old->flush();
    old->close();
  }
  if (restart || old) {
    if (m_shownFile) platform::RecentFiles().Add(m_shownFile->GetPath());
  }
  if (!opened) {
    platform::ShowMessageBox(made.error, platform::MB_OK | platform::MB_ICONERROR);
    return false;
  }

  if (m_shownFile) m_shownFile->Open(made.path);  // shows its own message; writing goes on
  if (platform::MainFrameWindow() != platform::NULL_WINDOW)
    platform::PostMessage(platform::MainFrameWindow(), WM_STATUS_TEXT, STATUSTEXT_FILENAME,
                          platform::makePayload(QFileInfo(made.path).fileName()));
  return true;
}

bool CVRIMSocket::OpenAcquisitionFile() { return replaceWriter(false); }

bool CVRIMSocket::RestartAcquisitionFile() { return replaceWriter(true); }

bool CVRIMSocket::CloseAcquisitionFile() {
  std::unique_ptr<platform::File> old;
  {
    std::lock_guard lock(m_sinkMutex);
    // What arrived before the Stop is written, also what still waits in the queue.
    if (m_writer && m_receiveOnThread) receiveLocked(STOP_DRAIN_DATAGRAMS);
    old = std::move(m_writer);
    m_writerPath.clear();
    m_writerLength = 0;
    m_writeFailure = {};
  }
  if (old) {
    old->flush();
    old->close();
  }
  if (m_shownFile) platform::RecentFiles().Add(m_shownFile->GetPath());
  return true;
}

// ---- LAN socket ----

uint32_t CVRIMSocket::portSetting(const char* key, int defaultPort) {
  return platform::Profile().GetProfileInt(QStringLiteral("PropertyPage2"), QString::fromLatin1(key), defaultPort);
}

bool CVRIMSocket::Create(uint32_t localPort) {
  Close();
  auto socket = std::make_unique<UdpSocket>();
  if (!socket->Create(static_cast<uint16_t>(localPort))) return false;
  socket->SetReceiveHandler([this] { OnReceive(0); });
  m_socket = std::move(socket);
  return true;
}

bool CVRIMSocket::Connect(const QString& address, uint32_t port) {
  if (!m_socket) {
    errno = ENOTSOCK;
    return false;
  }
  if (!m_socket->Connect(address, static_cast<uint16_t>(port))) return false;
  if (port == m_acquisitionPort && !m_receiveOnThread) {
    if (!m_socket->StartReceiveThread()) return false;
    m_receiveOnThread = true;
  }
  return true;
}

int CVRIMSocket::Send(const void* data, int length) {
  if (!m_socket) {
    errno = ENOTSOCK;
    return UdpSocket::SOCKET_ERROR;
  }
  return m_socket->Send(data, length);
}

void CVRIMSocket::Close() {
  // Ends the receive thread before anything it uses goes.
  if (m_socket) m_socket->Close();
  m_receiveOnThread = false;
}

bool CVRIMSocket::IsSocketOpen() const { return m_socket && m_socket->IsOpen(); }

void CVRIMSocket::OnReceive(int /*errorCode*/) {
  std::lock_guard lock(m_sinkMutex);
  // One notice for what was waiting together: under load the view is told once per
  // turn instead of once per datagram; told under the lock, as the serial path does.
  noticeLocked(receiveLocked(RECEIVE_TURN_DATAGRAMS));
}

bool CVRIMSocket::receiveLocked(uint32_t maxDatagrams) {
  if (!m_socket || !m_socket->IsOpen()) return false;
  bool wrote = false;
  uint8_t buffer[RECEIVE_BUFFER_SIZE];
  for (uint32_t i = 0; i < maxDatagrams; ++i) {
    uint16_t senderPort = 0;
    bool fromDevice = false;
    const int n = m_socket->ReceiveFrom(buffer, sizeof buffer, &senderPort, &fromDevice);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      continue;  // a receive error, a datagram longer than the buffer included: that datagram is lost
    }
    // An empty datagram carries nothing; one from anyone but the device is not its.
    if (n == 0 || !fromDevice) continue;
    if (senderPort == m_acquisitionPort && m_writer && decodeLocked(buffer, static_cast<uint32_t>(n))) wrote = true;
    if (senderPort == m_controlPort) {
      // A longer reply keeps its first 256 bytes; nothing is written past the field.
      std::lock_guard reply(m_replyMutex);
      m_replyLength = std::min<uint32_t>(static_cast<uint32_t>(n), CONTROL_REPLY_SIZE);
      std::memcpy(m_reply, buffer, m_replyLength);
    }
  }
  return wrote;
}

bool CVRIMSocket::ReadControlReply(uint8_t* destination) {
  std::lock_guard reply(m_replyMutex);
  if (m_replyLength == 0) return false;
  std::memcpy(destination, m_reply, m_replyLength);
  m_replyLength = 0;
  return true;
}
