#include "mdb/CMDBInterpreter.h"

#include <QPainter>
#include <algorithm>
#include <chrono>
#include <string>

#include "capture/CActiveFile.h"
#include "common/AcquisitionHeader.h"
#include "common/CellCodes.h"
#include "common/PrintState.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "mdb/MdbNames.h"
#include "mdb/MdbViewAccess.h"
#include "platform/MessageWindow.h"

namespace {

constexpr uint32_t IDLE_SLEEP_MS = 1000;
constexpr uint32_t POLL_SLEEP_MS = 100;

const QString& chkOkay() {
  static const QString s = QStringLiteral("CHK Okay");
  return s;
}
const QString& chkInvalid() {
  static const QString s = QStringLiteral("CHK Invalid");
  return s;
}

// The commands after which the next VMC byte is a sub-command: the changer's
// expansion, and setup, vend, reader, revalue and expansion of the cashless readers.
bool expectsSubCommand(uint8_t addressByte) {
  if (addressByte == 0x0F) return true;
  const uint8_t address = addressByte & 0xF8;
  if (address != 0x10 && address != 0x60) return false;
  switch (addressByte & 0x07) {
    case 1:
    case 3:
    case 4:
    case 5:
    case 7:
      return true;
    default:
      return false;
  }
}

bool isVmcAddressByte(const ItemRecord& item) {
  return !(item.flags & ITEM_FLAG_SLAVE) && (item.flags & ITEM_FLAG_MODE);
}

// The cells take their text as 8-bit characters; every name is plain ASCII.
void postText(platform::WindowHandle cell, const QString& text) {
  platform::PostMessage(cell, WM_CELL_DATA, CELLDATA_TEXT, platform::makePayload(text.toStdString()));
}

}  // namespace

CMDBInterpreter::CMDBInterpreter(MdbViewAccess& view, const CActiveFile& shownFile)
    : m_view(view), m_shownFile(shownFile) {}

CMDBInterpreter::~CMDBInterpreter() { Control(MDBCTRL_STOP); }

int CMDBInterpreter::Control(int code) {
  switch (code) {
    case MDBCTRL_STOP:
      m_running = false;
      m_worker.Stop();
      return 0;
    case MDBCTRL_START: {
      {
        std::lock_guard lock(m_controlMutex);
        m_passRequested = true;
        ++m_requests;
      }
      if (m_worker.IsRunning()) return 0;
      // Set before the thread exists, so that GETTHREAD never answers 0 for a worker
      // that has been started but not yet scheduled.
      m_running = true;
      // The wake takes the worker's lock first: a worker between its look at the stop
      // and its sleep would miss a bare notify.
      if (!m_worker.Start([this](std::stop_token stop) { DecoderThread(stop); },
                          [this] {
                            { std::lock_guard lock(m_controlMutex); }
                            m_wake.notify_all();
                          }))
        m_running = false;
      return 0;
    }
    case MDBCTRL_GETTHREAD:
      return m_running ? 1 : 0;
    case MDBCTRL_REFRESH: {
      // The worker starts the pass at once instead of at its next poll: while a
      // recording runs, the view refills the cells several times per poll, and texts
      // that came a poll late would be wiped by the next refill before they are seen.
      {
        std::lock_guard lock(m_controlMutex);
        m_passRequested = true;
        ++m_requests;
      }
      m_wake.notify_all();
      return 0;
    }
    default:
      return 0;
  }
}

void CMDBInterpreter::waitFor(std::unique_lock<std::mutex>& lock, const std::stop_token& stop, uint32_t milliseconds,
                              Wake wake) {
  const uint64_t seen = m_requests;
  m_wake.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
    return stop.stop_requested() || (wake == Wake::OnPendingRequest && m_passRequested) ||
           (wake == Wake::OnNewRequest && m_requests != seen);
  });
}

void CMDBInterpreter::DecoderThread(const std::stop_token& stop) {
  std::unique_lock lock(m_controlMutex);
  while (!stop.stop_requested()) {
    lock.unlock();
    const bool open = m_shownFile.IsOpen();
    lock.lock();
    if (open) break;
    // The view asks for a pass when it shows a file: that ends the wait at once, so
    // the first file's names do not wait out the idle step.
    waitFor(lock, stop, IDLE_SLEEP_MS, Wake::OnNewRequest);
  }
  while (!stop.stop_requested()) {
    if (m_passRequested) {
      lock.unlock();
      uint32_t offset = 0;
      const bool open = m_shownFile.IsOpen();
      if (open) m_shownFile.ReadCommentSize(offset);
      // A file without the acquisition header (or with a shorter legacy lead) is
      // not decoded.
      if (open && offset >= ACQUISITION_HEADER_SIZE) {
        // Taken before the pass: a refresh that arrives while the pass runs (the
        // view scrolled meanwhile) gets a pass of its own instead of being absorbed.
        m_passRequested = false;
        MakePass(offset);
        ++m_passCount;
        lock.lock();
      } else {
        lock.lock();
        waitFor(lock, stop, IDLE_SLEEP_MS, Wake::OnNewRequest);  // the request stays pending
        continue;
      }
    }
    waitFor(lock, stop, POLL_SLEEP_MS, Wake::OnPendingRequest);
  }
}

void CMDBInterpreter::MakePass(uint32_t offsetOfItem0) {
  const uint32_t first = m_view.GetFirstItem();
  const uint32_t cells = m_view.GetCellCount();
  const uint32_t total = m_view.GetItemCount();
  if (!(m_view.GetDisplayAttribute() & DISPLAY_LIST)) return;

  // One read for the look-back and the whole screen rather than one per item.
  const uint32_t wanted = first < total ? std::min(cells, total - first) : 0;
  const uint32_t lead = wanted ? std::min(first, MDB_RESYNC_ITEMS) : 0;
  std::vector<ItemRecord> items(size_t(lead) + wanted);
  int64_t got = 0;
  if (wanted > 0)
    got = m_shownFile.ReadAt(uint64_t(offsetOfItem0) + uint64_t(ITEM_SIZE) * (first - lead), items.data(),
                             items.size() * ITEM_SIZE);
  const uint32_t read = got > 0 ? uint32_t(got / ITEM_SIZE) : 0;
  const uint32_t count = read > lead ? read - lead : 0;  // items past the end get no text

  {
    std::lock_guard lock(m_decodeMutex);
    m_offsetOfItem0 = offsetOfItem0;
    m_passFirst = first;
    if (count > 0) resync(m_pass, items.data(), lead);
    for (uint32_t i = 0; i < count; ++i)
      if (decodeLocked(m_pass, first + i, m_text, items[lead + i], true)) m_pending.push_back({i, m_text});
  }
  postPending();
}

void CMDBInterpreter::resync(DecodeState& s, const ItemRecord* before, uint32_t count) {
  s = DecodeState();
  uint32_t from = count;  // without a VMC address byte the pass starts in the initial state
  for (uint32_t i = count; i-- > 0;)
    if (isVmcAddressByte(before[i])) {
      from = i;
      break;
    }
  QString ignored;
  for (uint32_t i = from; i < count; ++i) decodeLocked(s, 0, ignored, before[i], false);
}

void CMDBInterpreter::postPending() {
  std::vector<PendingPost> posts;
  {
    std::lock_guard lock(m_decodeMutex);
    posts.swap(m_pending);
  }
  // Outside the decoding lock: the view's accessors may take the view's own lock,
  // which the UI thread can hold while it prints (and so takes the decoding lock).
  for (const PendingPost& p : posts) {
    // The cell count may have changed since the pass began: a cell that is gone
    // answers NULL_WINDOW, and a cell destroyed after that refuses the post.
    const platform::WindowHandle cell = m_view.GetCell(p.cell);
    if (cell != platform::NULL_WINDOW) postText(cell, p.text);
  }
}

bool CMDBInterpreter::DecodeItem(uint32_t index, QString& text, const ItemRecord* item) {
  if (item) {
    std::lock_guard lock(m_decodeMutex);
    return decodeLocked(m_pass, index, text, *item, false);
  }
  bool given = false;
  {
    std::lock_guard lock(m_decodeMutex);
    ItemRecord record;
    if (m_shownFile.ReadAt(uint64_t(m_offsetOfItem0) + uint64_t(ITEM_SIZE) * index, &record, ITEM_SIZE) !=
        int64_t(ITEM_SIZE))
      return false;
    given = decodeLocked(m_pass, index, text, record, true);
  }
  postPending();
  return given;
}

bool CMDBInterpreter::decodeLocked(DecodeState& s, uint32_t index, QString& text, const ItemRecord& item,
                                   bool postVerdict) {
  const uint8_t data = item.data;
  const bool modeBit = item.flags & ITEM_FLAG_MODE;
  auto append = [&s](uint8_t byte) {
    if (s.messageLength < MDB_MSG_MAX) s.message[s.messageLength++] = byte;
  };

  if (!(item.flags & ITEM_FLAG_SLAVE)) {
    if (modeBit) {  // a VMC address byte starts a new message
      s.message[0] = data;
      s.messageLength = 1;
      s.vmcAddress = data;
      s.vmcMessageOpen = true;
      s.state = expectsSubCommand(data) ? MDBSTATE_SUBCMD : MDBSTATE_VMC;
      return MdbNames::CommandName(data, text);
    }
    switch (s.state) {
      case MDBSTATE_RESPONSE:  // the VMC's reply to a response
        s.state = MDBSTATE_VMC;
        s.vmcMessageOpen = false;
        return MdbNames::AckName(data, text);
      case MDBSTATE_SUBCMD:
        append(data);
        s.state = MDBSTATE_VMC;
        s.vmcMessageOpen = true;
        return MdbNames::SubCommandName(s.message, s.messageLength <= MDB_MSG_MAX ? s.messageLength : 0, text);
      default:
        append(data);
        s.state = MDBSTATE_VMC;
        s.vmcMessageOpen = true;
        return false;
    }
  }

  // A peripheral byte ends the VMC message before it: its CHK byte carries no mark
  // of its own, so its verdict is only known now.
  if (postVerdict) PostVmcCheck(index);
  if (modeBit) {
    if (s.state == MDBSTATE_RESPONSE) {  // the response's CHK byte
      append(data);
      return CheckText(s, text);
    }
    s.state = MDBSTATE_REPLY;  // a one-byte reply
    return MdbNames::AckName(data, text);
  }
  switch (s.state) {
    case MDBSTATE_VMC: {
      // Named after the VMC's last address byte. That is message[0] while the VMC
      // message is open; after a RET it is still the command that the response
      // answers, while message[0] then holds the response's own first byte.
      const bool named = MdbNames::ResponseName(s.vmcAddress, data, text);
      s.message[0] = data;
      s.messageLength = 1;
      s.state = MDBSTATE_RESPONSE;
      return named;
    }
    case MDBSTATE_RESPONSE:
      append(data);
      return false;
    default:
      return false;
  }
}

bool CMDBInterpreter::CheckSum(const DecodeState& s) {
  if (s.messageLength < 2 || s.messageLength > MDB_MSG_MAX) return false;
  uint8_t sum = 0;
  for (uint32_t i = 0; i + 1 < s.messageLength; ++i) sum = uint8_t(sum + s.message[i]);
  return sum == s.message[s.messageLength - 1];
}

bool CMDBInterpreter::CheckText(const DecodeState& s, QString& text) {
  if (s.messageLength > MDB_MSG_MAX) return false;
  text = CheckSum(s) ? chkOkay() : chkInvalid();
  return true;
}

void CMDBInterpreter::PostVmcCheck(uint32_t index) {
  // Only a VMC message still open has a CHK byte right before this item; after the
  // VMC's ACK, RET or NAK that byte is the reply, which keeps its own name.
  if (m_pass.state != MDBSTATE_VMC || !m_pass.vmcMessageOpen || index <= m_passFirst) return;
  QString verdict;  // empty when no message is known: clears the cell's text
  if (m_pass.messageLength <= MDB_MSG_MAX) verdict = CheckSum(m_pass) ? chkOkay() : chkInvalid();
  m_pending.push_back({index - m_passFirst - 1, std::move(verdict)});
}

void CMDBInterpreter::BeginPrintPass() {
  std::lock_guard lock(m_decodeMutex);
  m_printResyncDue = true;
}

void CMDBInterpreter::PrintDecoded(QPainter& painter, const PrintState& state, const QPoint& at) {
  QString text;
  bool given;
  {
    std::lock_guard lock(m_decodeMutex);
    if (m_printResyncDue || state.index != m_printNext) {
      const uint32_t lead = std::min(state.index, MDB_RESYNC_ITEMS);
      std::vector<ItemRecord> before(lead);
      uint32_t offset = 0;
      if (!m_shownFile.ReadCommentSize(offset)) offset = 0;
      const int64_t got =
          lead ? m_shownFile.ReadAt(uint64_t(offset) + uint64_t(ITEM_SIZE) * (state.index - lead), before.data(),
                                    before.size() * ITEM_SIZE)
               : 0;
      resync(m_print, before.data(), got == int64_t(lead) * int64_t(ITEM_SIZE) ? lead : 0);
      m_printResyncDue = false;
    }
    m_printNext = state.index + 1;
    given = decodeLocked(m_print, state.index, text, state.item, false);
  }
  if (given && painter.isActive()) painter.drawText(at, text);
}

uint32_t CMDBInterpreter::GetState() const {
  std::lock_guard lock(m_decodeMutex);
  return m_pass.state;
}

uint32_t CMDBInterpreter::GetMessageLength() const {
  std::lock_guard lock(m_decodeMutex);
  return m_pass.messageLength;
}
