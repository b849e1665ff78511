#pragma once

#include <thread>

namespace platform {

// Ends a reader thread that sleeps in poll() on its own descriptor and on this
// event: the owner signals the event and joins the thread, so the thread never
// polls with a timeout to look at a stop flag.
class StopEvent {
public:
  StopEvent() = default;
  ~StopEvent() { Close(); }
  StopEvent(const StopEvent&) = delete;
  StopEvent& operator=(const StopEvent&) = delete;

  // A new event, not signalled; false with errno set.
  bool Open();
  bool IsOpen() const { return m_fd >= 0; }
  // Readable once signalled: the first descriptor of the thread's poll.
  int Descriptor() const { return m_fd; }
  // Signals the event, waits for the thread to end, closes the event.
  void StopAndJoin(std::thread& thread);
  void Close();

  // Above normal priority for the calling reader thread, where the system allows
  // it; a refusal changes nothing else.
  static void RaiseCallingThread();

private:
  int m_fd = -1;
};

}  // namespace platform
