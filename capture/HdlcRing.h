#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Received frames waiting to be taken: one producer (the port's read thread), one
// consumer (the receive thread). 16 slots, at most 15 frames wait at a time. The
// producer fills a slot before it publishes the write index, the consumer copies a
// slot out before it publishes the read index; each index has one writer.
class HdlcRing {
public:
  static constexpr uint32_t SLOTS = 16;
  static constexpr uint32_t SLOT_SIZE = 256;

  bool IsFull() const;
  bool IsEmpty() const;
  // Stores a frame of at most SLOT_SIZE bytes; false (nothing stored) when full.
  bool Put(const uint8_t* frame, uint32_t length);
  // Copies the oldest frame out (SLOT_SIZE bytes of room) and frees its slot.
  bool Take(uint8_t* frame, uint32_t& length);
  // Sleeps until a frame waits, a wake-up is pending or the time-out passes; true
  // when a frame waits. A Wake that came before the Wait ends the Wait at once, so
  // a consumer that looks at its stop flag and then waits never misses its stop.
  bool Wait(uint32_t timeoutMs);
  void Wake();

private:
  struct Slot {
    uint32_t length;
    uint8_t frame[SLOT_SIZE];
  };
  Slot m_slots[SLOTS] = {};
  std::atomic<uint32_t> m_readIndex{0};
  std::atomic<uint32_t> m_writeIndex{0};
  std::mutex m_waitMutex;
  std::condition_variable m_waitCondition;
  bool m_wakePending = false;  // under m_waitMutex
};
