#include "capture/HdlcReceiver.h"

#include "capture/HdlcEncoder.h"
#include "capture/HdlcFcs.h"

void HdlcReceiver::Reset() {
  m_length = 0;
  m_state = HUNT;
  m_fcs = 0;
  m_escape = false;
}

void HdlcReceiver::store(uint8_t byte) {
  m_fcs = HdlcFcs::Update(m_fcs, byte);
  m_frame[m_length++] = byte;
}

bool HdlcReceiver::storeUnescaped(uint8_t byte) {
  if (byte == HdlcEncoder::ESCAPE) {
    m_escape = true;
    return false;
  }
  if (m_escape) {
    byte ^= HdlcEncoder::ESCAPE_XOR;
    m_escape = false;
  }
  store(byte);
  return true;
}

HdlcReceiver::Result HdlcReceiver::OnRxByte(uint8_t byte) {
  switch (m_state) {
    case HUNT:
      if (byte == HdlcEncoder::FLAG) {
        m_fcs = HdlcFcs::INIT;
        m_length = 0;
        m_state = ADDRESS;
      }
      return Result::None;
    case ADDRESS:
      if (byte == HdlcEncoder::ADDRESS) {
        store(byte);
        m_state = CONTROL;
      } else if (byte == HdlcEncoder::FLAG) {
        m_fcs = HdlcFcs::INIT;
        m_length = 0;
      } else {
        m_state = HUNT;
      }
      return Result::None;
    case CONTROL:
      if (storeUnescaped(byte)) m_state = BODY;
      return Result::None;
    default:  // BODY
      if (byte == HdlcEncoder::FLAG) {
        m_state = HUNT;
        return endOfFrame();
      }
      if (storeUnescaped(byte) && m_length >= MAX_FRAME) m_state = HUNT;
      return Result::None;
  }
}

HdlcReceiver::Result HdlcReceiver::endOfFrame() {
  // An escape right before the closing flag is an aborted frame. Dropping it here,
  // and forgetting the escape, keeps it from changing the next frame's control byte.
  if (m_escape) {
    m_escape = false;
    return Result::None;
  }
  if (m_fcs != HdlcFcs::GOOD) return Result::None;
  return (m_frame[1] & 1) ? Result::Ack : Result::Frame;
}
