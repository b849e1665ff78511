#pragma once

#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace platform {

// The one owner of a worker thread and its one stop sequence: ask the thread to
// stop, wake it by its own means, wait for it. A thread that sleeps in poll() gets a
// wake-up descriptor that lives here from before its start until after its end, so
// no stop can find the descriptor gone and leave the thread running.
class WorkerThread {
public:
  using Body = std::function<void(std::stop_token)>;
  // wakeDescriptor turns readable once a stop is asked for: the cue to return.
  using PollBody = std::function<void(int wakeDescriptor)>;

  WorkerThread() = default;
  // Stops the thread; never destroyed on the thread itself.
  ~WorkerThread() { Stop(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Ends a thread that ran before, then runs body on a new one. wake runs on the
  // thread that asks for the stop, so that a body asleep notices its stop token.
  // False with errno set when no thread can be made, and on the thread itself.
  bool Start(Body body, std::function<void()> wake);
  // As Start, woken through the descriptor that body gets.
  bool StartPolling(PollBody body);
  // Asks for the stop, wakes the thread and waits for it. On the thread itself it
  // only asks: the body returns, and the owner's next Stop waits for it.
  void Stop();
  // Started, and no stop asked for yet.
  bool IsRunning() const { return m_thread.joinable() && !m_thread.get_stop_token().stop_requested(); }

  // Above normal priority for the calling thread, where the system allows it; a
  // refusal changes nothing else.
  static void RaiseCallingThread();

private:
  bool onThread() const { return m_thread.get_id() == std::this_thread::get_id(); }
  bool launch(Body body, std::function<void()> wake);
  void closeWakeDescriptor();

  std::mutex m_placeMutex;  // held while m_thread takes a new thread
  std::jthread m_thread;
  int m_wakeDescriptor = -1;
};

}  // namespace platform
