#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <vector>

#include "common/ItemRecord.h"
#include "platform/WorkerThread.h"

class CActiveFile;
class MdbViewAccess;
class QPainter;
class QPoint;
struct PrintState;

inline constexpr int MDBCTRL_STOP = 1;
inline constexpr int MDBCTRL_START = 2;
inline constexpr int MDBCTRL_GETTHREAD = 3;
inline constexpr int MDBCTRL_REFRESH = 4;

inline constexpr uint32_t MDB_MSG_MAX = 36;   // bytes kept of one message
inline constexpr uint32_t MDB_MSG_NONE = 37;  // message length: no message known
// How far a pass looks back before its first item for a VMC address byte to start
// decoding from.
inline constexpr uint32_t MDB_RESYNC_ITEMS = 128;

inline constexpr uint32_t MDBSTATE_START = 0;     // nothing decoded yet
inline constexpr uint32_t MDBSTATE_VMC = 1;       // a VMC message runs (or the bus is between exchanges)
inline constexpr uint32_t MDBSTATE_REPLY = 2;     // the last byte was a one-byte peripheral reply
inline constexpr uint32_t MDBSTATE_SUBCMD = 3;    // the next VMC byte is a sub-command
inline constexpr uint32_t MDBSTATE_RESPONSE = 4;  // a peripheral response runs (until the VMC replies)

// Names the bytes of an MDB recording: commands, sub-commands, responses, the
// one-byte replies and the verdict of each message's checksum. It decodes passively
// from each item's direction flag and mode bit.
//
// The owning view starts a worker thread with MDBCTRL_START. Whenever the view asks
// (MDBCTRL_REFRESH) and shows the list, the worker decodes the items on the screen
// and posts each text to the cell that shows the item (WM_CELL_DATA, CELLDATA_TEXT).
// Printing asks the same decoder for the text of each printed line.
//
// A byte's text depends on the bytes before it, yet must not depend on how the user
// reached the screen (page steps, line steps, jumps, a live recording that starts
// mid-message). So every pass, and every print pass, starts from a known state: it
// looks back up to MDB_RESYNC_ITEMS items for the nearest VMC address byte (a VMC
// address byte sets the whole state), decodes from there without output and then
// decodes the screen.
//
// Threads: passes and printing each have a decoding state of their own, both
// guarded by m_decodeMutex (held for a whole pass and for each print call). The
// worker reads the shown file only with positional reads and holds no handle of its
// own, so the comment editor's exclusive reopen never fails because of it.
class CMDBInterpreter {
 public:
  CMDBInterpreter(MdbViewAccess& view, const CActiveFile& shownFile);
  ~CMDBInterpreter();  // stops and joins a worker still running
  CMDBInterpreter(const CMDBInterpreter&) = delete;
  CMDBInterpreter& operator=(const CMDBInterpreter&) = delete;

  // MDBCTRL_STOP: ends the worker and waits for it (it leaves any sleep at once); from
  // the worker itself it only ends it, and destruction waits.
  // MDBCTRL_START: starts the worker (once) and requests a pass.
  // MDBCTRL_GETTHREAD: nonzero while the worker runs.
  // MDBCTRL_REFRESH: requests a pass. Any other code does nothing. Always 0 but for
  // MDBCTRL_GETTHREAD.
  int Control(int code);

  // Decodes one item and says whether it gave a text. Without a record the item is
  // read from the shown file and the verdict of a finished VMC message may be
  // posted to the cell before it (index counted from the first shown item of the
  // current pass); with a record nothing is read or posted.
  bool DecodeItem(uint32_t index, QString& text, const ItemRecord* item = nullptr);

  // Draws the decoded text of the printed item that state holds (index and record),
  // in the painter's font with its baseline starting at `at`: where it goes is the
  // print layout's business. Printing has a decoding state of its own, set up anew at
  // the first line of each print pass (and whenever the lines do not follow each
  // other).
  void PrintDecoded(QPainter& painter, const PrintState& state, const QPoint& at);
  // The next PrintDecoded starts a print pass.
  void BeginPrintPass();

  // One pass over the shown items with the given offset of item 0: in list mode each
  // item on the screen is decoded and its text posted to its cell. The worker's own
  // step; callable from elsewhere for measurements.
  void MakePass(uint32_t offsetOfItem0);

  // For tests and diagnostics.
  uint32_t GetState() const;
  uint32_t GetMessageLength() const;
  uint64_t GetPassCount() const { return m_passCount.load(); }

 private:
  struct PendingPost {
    uint32_t cell;
    QString text;
  };
  struct DecodeState {
    uint8_t message[MDB_MSG_MAX] = {};
    uint32_t messageLength = MDB_MSG_NONE;
    uint32_t state = MDBSTATE_START;
    uint8_t vmcAddress = 0;       // the VMC's last address byte (0x00 names nothing)
    bool vmcMessageOpen = false;  // the VMC state was entered by a byte of a VMC message
  };

  void DecoderThread(const std::stop_token& stop);
  // Verdict of the current message by the MDB rule: the sum of all bytes but the
  // last, modulo 256, equals the last.
  static bool CheckSum(const DecodeState& s);
  // "CHK Okay" / "CHK Invalid" for the current message; nothing when none is known.
  static bool CheckText(const DecodeState& s, QString& text);
  // Queues the verdict of the VMC message that ended before item index for that
  // message's last cell, the cell before the item's.
  void PostVmcCheck(uint32_t index);
  void postPending();
  // Sleeps up to the time given, or until STOP or, as wake says, a pass request
  // (pending, or made after the sleep began) wakes it.
  enum class Wake { OnPendingRequest, OnNewRequest };
  void waitFor(std::unique_lock<std::mutex>& lock, const std::stop_token& stop, uint32_t milliseconds, Wake wake);
  bool decodeLocked(DecodeState& s, uint32_t index, QString& text, const ItemRecord& item, bool postVerdict);
  // Starts s from the nearest VMC address byte among the items before a pass's first
  // (before[0 .. count)), decoding up to that first item without output.
  void resync(DecodeState& s, const ItemRecord* before, uint32_t count);

  MdbViewAccess& m_view;
  const CActiveFile& m_shownFile;

  // Control of the worker; its sleeps and the requests are under m_controlMutex.
  std::mutex m_controlMutex;
  std::condition_variable m_wake;
  uint64_t m_requests = 0;  // START and REFRESH calls, so far
  std::atomic<bool> m_running{false};
  std::atomic<bool> m_passRequested{false};
  std::atomic<uint64_t> m_passCount{0};
  platform::WorkerThread m_worker;

  // Decoding states of the passes and of printing.
  mutable std::mutex m_decodeMutex;
  DecodeState m_pass;
  DecodeState m_print;
  bool m_printResyncDue = true;
  uint32_t m_printNext = 0;            // the item after the last one printed
  uint32_t m_passFirst = 0;            // first shown item of the latest pass
  uint32_t m_offsetOfItem0 = 0;        // of the shown file, read at each pass
  std::vector<PendingPost> m_pending;  // posted once the decoding lock is released
  QString m_text;                      // the worker's text, kept for its whole life
};
