#include "capture/HdlcRing.h"

#include <chrono>
#include <cstring>

bool HdlcRing::IsFull() const {
  return (m_writeIndex.load(std::memory_order_relaxed) + 1) % SLOTS == m_readIndex.load(std::memory_order_acquire);
}

bool HdlcRing::IsEmpty() const {
  return m_readIndex.load(std::memory_order_relaxed) == m_writeIndex.load(std::memory_order_acquire);
}

bool HdlcRing::Put(const uint8_t* frame, uint32_t length) {
  if (length > SLOT_SIZE || IsFull()) return false;
  const uint32_t w = m_writeIndex.load(std::memory_order_relaxed);
  m_slots[w].length = length;
  std::memcpy(m_slots[w].frame, frame, length);
  m_writeIndex.store((w + 1) % SLOTS, std::memory_order_release);
  // Taking the lock between publishing and notifying means a consumer that found
  // the ring empty is either still before its wait (and sees the frame) or already
  // waiting (and gets the notification).
  { std::lock_guard lock(m_waitMutex); }
  m_waitCondition.notify_one();
  return true;
}

bool HdlcRing::Take(uint8_t* frame, uint32_t& length) {
  const uint32_t r = m_readIndex.load(std::memory_order_relaxed);
  if (r == m_writeIndex.load(std::memory_order_acquire)) return false;
  length = m_slots[r].length;
  std::memcpy(frame, m_slots[r].frame, length);
  m_readIndex.store((r + 1) % SLOTS, std::memory_order_release);
  return true;
}

bool HdlcRing::Wait(uint32_t timeoutMs) {
  std::unique_lock lock(m_waitMutex);
  m_waitCondition.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !IsEmpty() || m_wakePending; });
  m_wakePending = false;
  return !IsEmpty();
}

void HdlcRing::Wake() {
  {
    std::lock_guard lock(m_waitMutex);
    m_wakePending = true;
  }
  m_waitCondition.notify_all();
}
