#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>

#include "capture/PatternText.h"
#include "common/ItemRecord.h"

class CActiveFile;
class DataWrittenNotifier;
class UdpSocket;
namespace platform {
class File;
}

// Items kept from before the start pattern while the trigger waits.
inline constexpr uint32_t PRETRIGGER_ITEMS = 150;

// Trigger states.
inline constexpr uint32_t TRIGGER_ARMED = 0;     // waiting for the start pattern
inline constexpr uint32_t TRIGGER_RUNNING = 1;   // writing, watching for the stop pattern
inline constexpr uint32_t TRIGGER_TRAILING = 2;  // writing the trailing items

// The data sink of a recording: it turns buffers of device records into items, runs
// them through the start/stop trigger and appends them to the acquisition file being
// written. The LAN link also receives its datagrams through this object.
//
// Threads: one thread decodes (the LAN's or the serial link's receive thread) while
// the UI thread starts, stops and restarts recordings. The
// sink lock covers one whole buffer and every change of the file being written, so a
// buffer's items all land in one file, never in a closed one, and a file change waits
// at most for the buffer in progress. Nothing slow (message boxes, flush to disk,
// profile access) runs under the lock.
class CVRIMSocket {
public:
  // shownFile: the application's shown file, opened on each new recording and put
  // on the recent-file list at its end (may be null in tests). notifier: told after
  // each buffer that wrote items (null: the posting default).
  explicit CVRIMSocket(CActiveFile* shownFile = nullptr, DataWrittenNotifier* notifier = nullptr);
  virtual ~CVRIMSocket();
  CVRIMSocket(const CVRIMSocket&) = delete;
  CVRIMSocket& operator=(const CVRIMSocket&) = delete;

  // Decodes every whole record of the buffer in order; TRUE when at least one item
  // was appended to the file being written. A record cut off by the end of the buffer
  // is dropped. Without a file the records only move the running time.
  bool DecodeDeviceRecords(const uint8_t* buffer, uint32_t length);
  // The receive paths' entry: decodes (with onlyWhileWriting, only when a file is
  // being written, as the LAN link does) and, when items were written, tells the
  // notifier the new file length; after the first failed write it tells the notifier
  // once that the recording has to end.
  bool ReceiveDeviceRecords(const uint8_t* buffer, uint32_t length, bool onlyWhileWriting);

  // A write to the file being written failed (disk full, ...): the file holds every
  // whole item written before and receives nothing more. The text names the file
  // and the system error; taking it clears the failure (empty when none).
  bool HasWriteFailed() const;
  QString TakeWriteFailure();

  // Reads the "TriggerSetup" settings and resets the whole trigger; always TRUE.
  bool LoadTriggerSetup();

  // Names, creates and opens a new acquisition file with its 24-byte header, opens it
  // in the shown file and posts its name to the main frame. A file still being
  // written is first closed as CloseAcquisitionFile does.
  bool OpenAcquisitionFile();
  // Flushes and closes the file being written, then puts the shown file on the
  // recent-file list (also when no file was being written); always TRUE.
  bool CloseAcquisitionFile();
  // Close and open as one step: the decoding thread sees the old file or the new one,
  // never a gap, so no buffer falls between the two files.
  bool RestartAcquisitionFile();

  bool IsWriting() const;
  // Length of the file being written (0 when none).
  uint64_t GetFileLength() const;
  // Path of the file being written (empty when none).
  QString GetWritingPath() const;
  uint32_t GetRunningTime() const;

  void SetShownFile(CActiveFile* shownFile) { m_shownFile = shownFile; }
  void SetNotifier(DataWrittenNotifier* notifier);

  // LAN socket. On the LAN link the application makes two of these objects with a
  // socket each: the acquisition socket (the data sink) and the control socket,
  // each bound to the device's port number locally and connected to the device at
  // that port. On the serial link the sink has no socket. UI thread only.
  static constexpr int RECEIVE_BUFFER_SIZE = 1024;
  static constexpr uint32_t CONTROL_REPLY_SIZE = 256;
  // Datagrams taken in one turn of the receiver (one notice to the view), and at
  // most at the end of a recording.
  static constexpr uint32_t RECEIVE_TURN_DATAGRAMS = 64;
  static constexpr uint32_t STOP_DRAIN_DATAGRAMS = 65536;

  // Binds a UDP socket to localPort on any address; false with errno set.
  bool Create(uint32_t localPort);
  // Connected to the device's acquisition port, the socket takes its datagrams on a
  // receive thread of its own, so that a busy UI loses none; the control socket's
  // arrive on the UI thread.
  bool Connect(const QString& address, uint32_t port);
  // One datagram to the connected peer: the bytes sent, or -1.
  int Send(const void* data, int length);
  void Close();
  bool IsSocketOpen() const;
  // Datagrams wait: each one from the device (its address and port) is taken in
  // order: records from the acquisition port are decoded while a file is being
  // written; a datagram from the control port becomes the stored reply. Empty
  // datagrams and those from anyone else are dropped.
  virtual void OnReceive(int errorCode);
  // FALSE when no reply is stored; otherwise copies it into destination (256
  // bytes), forgets it and returns TRUE.
  bool ReadControlReply(uint8_t* destination);
  uint32_t GetAcquisitionPort() const { return m_acquisitionPort; }
  uint32_t GetControlPort() const { return m_controlPort; }

private:
  struct NewFile;

  bool decodeLocked(const uint8_t* buffer, uint32_t length);
  // Takes up to maxDatagrams waiting datagrams; true when items were written.
  // Tells the view the file's length when items were written, and asks once for the
  // Stop that ends a recording whose file refused a write.
  void noticeLocked(bool written);
  bool receiveLocked(uint32_t maxDatagrams);
  void advanceTimeOnly(const uint8_t* buffer, uint32_t length);
  void reserveBatch(uint32_t length);
  bool CheckTrigger(const ItemRecord& item);
  void PushPreTrigger(const ItemRecord& item);
  void FlushPreTrigger(uint32_t count);
  void appendItem(const ItemRecord& item);

  bool replaceWriter(bool restart);
  NewFile prepareNewFile();

  // Everything below is guarded by m_sinkMutex.
  mutable std::mutex m_sinkMutex;

  // Trigger.
  ItemRecord m_preTrigger[PRETRIGGER_ITEMS] = {};
  uint8_t m_startPattern[PATTERN_MAX_BYTES] = {};
  uint8_t m_stopPattern[PATTERN_MAX_BYTES] = {};
  bool m_triggerOn = false;
  uint32_t m_triggerState = TRIGGER_ARMED;
  uint32_t m_startLength = 0;
  uint32_t m_stopLength = 0;
  uint32_t m_matchIndex = 0;
  uint32_t m_ringPosition = 0;  // item slot where the next item goes
  uint32_t m_counter = 0;
  uint32_t m_leading = 0;
  uint32_t m_trailing = 0;

  uint32_t m_runningTime = 0;

  // The file being written and its length (the offset of the next append).
  std::unique_ptr<platform::File> m_writer;
  QString m_writerPath;
  uint64_t m_writerLength = 0;
  struct WriteFailure {
    bool failed = false;
    bool told = false;  // the notifier knows
    int osError = 0;
  } m_writeFailure;

  // Items of one buffer, written with one call; grows only for a longer buffer.
  std::unique_ptr<uint8_t[]> m_batch;
  size_t m_batchCapacity = 0;
  size_t m_batchUsed = 0;

  // Set by the UI before use; read by the decoding thread.
  CActiveFile* m_shownFile = nullptr;
  DataWrittenNotifier* m_notifier = nullptr;

  // LAN socket, made and closed on the UI thread; a receive thread uses it under the
  // sink lock until Close ends the thread. The ports are read from the profile when
  // the object is made.
  static uint32_t portSetting(const char* key, int defaultPort);
  std::unique_ptr<UdpSocket> m_socket;
  uint32_t m_acquisitionPort = portSetting("PortAquisition", 4000);
  uint32_t m_controlPort = portSetting("PortControl", 4001);
  bool m_receiveOnThread = false;
  // The reply is stored by the receiving thread and read by the UI thread.
  std::mutex m_replyMutex;
  uint32_t m_replyLength = 0;
  uint8_t m_reply[CONTROL_REPLY_SIZE] = {};
};
