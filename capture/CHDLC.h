#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "capture/CComm.h"
#include "capture/HdlcReceiver.h"
#include "capture/HdlcRing.h"

// The framed, acknowledged serial link to the QX-7700. Data frames carry device
// commands to the device and device records from it, on channel 1; every data
// frame is answered with an acknowledgement.
//
// Three threads meet here: the port's read thread runs the receiver and writes the
// acknowledgements, the owner's thread sends data frames, the receive thread takes
// frames out of the ring. Frames are built and written under one lock, so the two
// senders never interleave bytes on the wire.
class CHDLC : public CComm {
public:
  static constexpr uint32_t ACK_WAIT_MS = 250;
  static constexpr uint32_t SEND_ATTEMPTS = 3;
  static constexpr uint32_t TX_BUFFER_SIZE = 256;

  CHDLC();
  ~CHDLC() override;

  // Opens COM<n> at the given rate, 8 data bits, no parity, one stop bit, in
  // callback mode. Sequence numbers, receiver and ring are kept as they are; the
  // first data frame after it is taken whatever its N(S).
  bool Open(uint32_t portNumber, uint32_t baudRate);
  void Close();
  bool IsConnected() const { return m_linkOpen.load(); }

  // reliable: one data frame on the channel, TRUE once acknowledged (3 attempts of
  // 250 ms; FALSE at once when the port is lost). Not reliable: an acknowledgement control byte carrying the receive
  // sequence, followed by data (none for a plain acknowledgement); TRUE at once.
  bool SendFrame(uint8_t channel, const uint8_t* data, uint32_t length, bool reliable);
  // Takes the oldest received frame. TRUE with its payload (followed by a 0x00 byte;
  // buffer holds payload + 1) when it is a frame of the channel with a payload.
  bool Receive(uint8_t channel, uint8_t* buffer, uint32_t& length);
  // Sleeps until a received frame waits, WakeReceiver is called or the time passes.
  bool WaitForFrame(uint32_t timeoutMs) { return m_ring.Wait(timeoutMs); }
  void WakeReceiver() { m_ring.Wake(); }

  static void OnRxByteCallback(void* context, uint8_t byte, uint32_t errors);
  void OnRxByte(uint8_t byte);
  bool RingPut(const uint8_t* frame, uint32_t length) { return m_ring.Put(frame, length); }

  uint8_t GetTransmitSequence() const { return m_txSequence; }
  uint8_t GetReceiveSequence() const { return m_rxSequence.load(); }

private:
  bool writeFrame(const uint8_t* head, uint32_t headLength, const uint8_t* data, uint32_t length);

  std::mutex m_txMutex;  // transmit buffer and the port write of a whole frame
  uint8_t m_txBuffer[TX_BUFFER_SIZE] = {};
  uint32_t m_txLength = 0;
  uint8_t m_address = 0;
  std::atomic<uint8_t> m_rxSequence{0};
  uint8_t m_txSequence = 0;  // the sending thread's only
  HdlcReceiver m_receiver;   // the read thread's only
  HdlcRing m_ring;
  std::atomic<bool> m_linkOpen{false};
  // The last data frame put into the ring, empty since Open (the read thread's only).
  // The device repeats a frame whose acknowledgement it missed, with the same N(S)
  // and bytes; a device that numbers afresh sends new bytes under an old N(S).
  uint8_t m_lastStored[HdlcReceiver::MAX_FRAME] = {};
  uint32_t m_lastStoredLength = 0;
  std::mutex m_ackMutex;
  std::condition_variable m_ackCondition;
  bool m_ackReceived = false;  // under m_ackMutex
};
