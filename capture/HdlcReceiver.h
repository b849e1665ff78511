#pragma once

#include <cstdint>

// The link's frame receiver, one byte at a time with constant work per byte. It
// unescapes, runs the FCS and tells when a good frame has ended; what to do with
// the frame (acknowledge, store) is up to its owner.
class HdlcReceiver {
public:
  static constexpr uint32_t MAX_FRAME = 256;  // a frame reaching this many unescaped bytes is abandoned

  enum class Result { None, Ack, Frame };
  enum State : uint32_t { HUNT = 0, ADDRESS = 1, CONTROL = 2, BODY = 3 };

  // Frame (Result::Frame) or acknowledgement (Result::Ack) that ended with this
  // byte; a frame stays readable until the next byte is handed in.
  Result OnRxByte(uint8_t byte);

  const uint8_t* Frame() const { return m_frame; }
  uint32_t FrameLength() const { return m_length; }
  uint8_t Control() const { return m_frame[1]; }
  State GetState() const { return static_cast<State>(m_state); }
  void Reset();

private:
  void store(uint8_t byte);
  // An escape is held for the byte after it; false when nothing was stored yet.
  bool storeUnescaped(uint8_t byte);
  Result endOfFrame();

  uint8_t m_frame[MAX_FRAME] = {};
  uint32_t m_length = 0;
  uint32_t m_state = HUNT;
  uint16_t m_fcs = 0;
  bool m_escape = false;
};
