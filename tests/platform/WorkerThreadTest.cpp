#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <poll.h>

#include "platform/WorkerThread.h"

namespace {

// Stop returns only once the thread has ended, and a poll thread's wake-up descriptor
// stays open until then: closed or reused under a running poll, it would never wake it.
TEST(WorkerThreadTest, StopWaitsForThePollThreadAndClosesItsWakeUpAfterIt) {
  platform::WorkerThread worker;
  int descriptor = -1;
  std::atomic<bool> openToTheEnd{false};
  ASSERT_TRUE(worker.StartPolling([&](int wake) {
    descriptor = wake;
    pollfd p{wake, POLLIN, 0};
    ::poll(&p, 1, -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the rest of its turn
    openToTheEnd = ::fcntl(wake, F_GETFD) != -1;
  }));
  worker.Stop();
  EXPECT_TRUE(openToTheEnd);
  EXPECT_EQ(::fcntl(descriptor, F_GETFD), -1);
  EXPECT_FALSE(worker.IsRunning());
}

}  // namespace
