#include "capture/CHDLC.h"

#include <chrono>
#include <cstring>

#include "capture/HdlcEncoder.h"

CHDLC::CHDLC() = default;

// The read thread calls into this object: it must end before the link's members go.
CHDLC::~CHDLC() { Close(); }

bool CHDLC::Open(uint32_t portNumber, uint32_t baudRate) {
  if (IsOpen()) CComm::Close();
  m_linkOpen = false;
  SetParams(baudRate, 8, NOPARITY, ONESTOPBIT);
  // Set before the read thread starts: its acknowledgements carry it.
  m_address = HdlcEncoder::ADDRESS;
  m_lastStoredLength = 0;
  if (CComm::Open(portNumber, &CHDLC::OnRxByteCallback, this, false) == INVALID_HANDLE) return false;
  m_linkOpen = true;
  return true;
}

void CHDLC::Close() {
  if (IsOpen()) CComm::Close();
  m_linkOpen = false;
  m_ring.Wake();
}

bool CHDLC::writeFrame(const uint8_t* head, uint32_t headLength, const uint8_t* data, uint32_t length) {
  std::lock_guard lock(m_txMutex);
  m_txLength = HdlcEncoder::Encode(m_txBuffer, TX_BUFFER_SIZE, head, headLength, data, length);
  if (m_txLength == 0) return false;  // would not fit: never sent in part
  // A failed write shows as a missing acknowledgement and leads to the next attempt.
  Write(m_txBuffer, m_txLength, nullptr);
  return true;
}

bool CHDLC::SendFrame(uint8_t channel, const uint8_t* data, uint32_t length, bool reliable) {
  if (!reliable) {
    const uint8_t head[2] = {m_address, HdlcEncoder::AckControl(m_rxSequence.load())};
    writeFrame(head, 2, data, length);
    return true;
  }
  // A vanished device answers nothing: no need to wait for it.
  if (IsPortLost()) return false;
  {
    std::lock_guard lock(m_ackMutex);
    m_ackReceived = false;
  }
  const uint8_t head[3] = {m_address, HdlcEncoder::DataControl(m_txSequence), channel};
  bool acknowledged = false;
  for (uint32_t attempt = 0; attempt < SEND_ATTEMPTS && !acknowledged; ++attempt) {
    if (!writeFrame(head, 3, data, length)) break;
    std::unique_lock lock(m_ackMutex);
    acknowledged = m_ackCondition.wait_for(lock, std::chrono::milliseconds(ACK_WAIT_MS), [&] { return m_ackReceived; });
  }
  // A frame that was never acknowledged still uses up its sequence number.
  m_txSequence = static_cast<uint8_t>((m_txSequence + 1) & 7);
  return acknowledged;
}

bool CHDLC::Receive(uint8_t channel, uint8_t* buffer, uint32_t& length) {
  uint8_t frame[HdlcRing::SLOT_SIZE];
  uint32_t frameLength = 0;
  if (!m_ring.Take(frame, frameLength)) return false;
  if (frameLength < 6) return false;  // address, control, channel, FCS and no payload
  if (frame[2] != channel) return false;
  length = frameLength - 5;
  std::memcpy(buffer, frame + 3, length);
  buffer[length] = 0;
  return true;
}

void CHDLC::OnRxByteCallback(void* context, uint8_t byte, uint32_t /*errors*/) {
  static_cast<CHDLC*>(context)->OnRxByte(byte);
}

void CHDLC::OnRxByte(uint8_t byte) {
  switch (m_receiver.OnRxByte(byte)) {
    case HdlcReceiver::Result::None:
      return;
    case HdlcReceiver::Result::Ack: {
      {
        std::lock_guard lock(m_ackMutex);
        m_ackReceived = true;
      }
      m_ackCondition.notify_all();
      return;
    }
    case HdlcReceiver::Result::Frame: {
      // With the ring full the frame is neither acknowledged nor kept: the device
      // sends it again, by which time the receive thread has made room. Acknowledging
      // it first would lose it for good.
      if (m_ring.IsFull()) return;
      const int sequence = (m_receiver.Control() >> 1) & 7;
      m_rxSequence = static_cast<uint8_t>(sequence);
      SendFrame(0, nullptr, 0, false);
      // The frame already stored, N(S) and bytes: the device missed the acknowledgement
      // and repeated it. Acknowledged again, stored once.
      const uint8_t* frame = m_receiver.Frame();
      const uint32_t length = m_receiver.FrameLength();
      if (length == m_lastStoredLength && std::memcmp(frame, m_lastStored, length) == 0) return;
      if (RingPut(frame, length)) {
        std::memcpy(m_lastStored, frame, length);
        m_lastStoredLength = length;
      }
      return;
    }
  }
}
