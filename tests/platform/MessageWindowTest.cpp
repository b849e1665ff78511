#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/MessageWindow.h"

using platform::Message;
using platform::MessageWindow;

namespace {

// Payloads that count themselves: every live copy holds the token.
const std::shared_ptr<int> g_token = std::make_shared<int>();
struct Tracked {
  int value = 0;
  std::shared_ptr<int> token = g_token;
};
int alive() { return int(g_token.use_count()) - 1; }

constexpr uint32_t MSG_A = 0x500;
constexpr uint32_t MSG_B = 0x501;

}  // namespace

TEST(MessageWindow, MessagesRunOnTheReceiverThreadInOrderPayloadsAreFreedAndNoPostReachesADeadReceiver) {
  MessageWindow w;
  std::vector<std::pair<uintptr_t, intptr_t>> got;
  std::thread::id handledOn;
  for (uint32_t id : {MSG_A, MSG_B})
    w.on(id, [&](Message& m) {
      return got.emplace_back(m.wParam, m.lParam), handledOn = std::this_thread::get_id(), 0;
    });
  std::thread poster([&] {
    for (int i = 1; i <= 2000; ++i)
      EXPECT_TRUE(platform::PostMessage(w.handle(), (i % 3) ? MSG_A : MSG_B, 7, (i % 3) ? i : -i));
  });
  poster.join();
  EXPECT_TRUE(got.empty()) << "nothing runs until the queue is drained";
  platform::PumpMessages();
  EXPECT_EQ(handledOn, std::this_thread::get_id());
  ASSERT_EQ(got.size(), 2000u);
  for (int i = 1; i <= 2000; ++i) EXPECT_EQ(got[i - 1], std::make_pair(uintptr_t{7}, intptr_t{(i % 3) ? i : -i}));

  {
    MessageWindow w;
    std::unique_ptr<platform::MessagePayload> kept;
    w.on(MSG_A, [&](Message& m) {
      EXPECT_EQ(m.payloadAs<Tracked>()->value, 42);
      EXPECT_EQ(m.payloadAs<int>(), nullptr);
      kept = std::move(m.payload);  // taken: the handler owns it
      return 0;
    });
    platform::PostMessage(w.handle(), MSG_A, 0, platform::makePayload(Tracked{42}));
    platform::PostMessage(w.handle(), MSG_B, 0, platform::makePayload(Tracked{}));  // not handled: freed
    platform::PumpMessages();
    EXPECT_EQ(alive(), 1);
  }
  EXPECT_EQ(alive(), 0);
  // A receiver that dies before delivery frees the queued payloads.
  platform::WindowHandle h;
  {
    MessageWindow w;
    h = w.handle();
    bool ran = false;
    w.on(MSG_A, [&](Message&) { return ran = true, 0; });
    std::thread poster([&] {
      for (int i = 0; i < 100; ++i) platform::PostMessage(h, MSG_A, 0, platform::makePayload(Tracked{}));
    });
    poster.join();
    EXPECT_EQ(alive(), 100);
    EXPECT_FALSE(ran);
  }
  EXPECT_EQ(alive(), 0);
  // The handle is dead for good: posts are refused and their payloads freed.
  EXPECT_FALSE(platform::IsWindow(h));
  EXPECT_FALSE(platform::PostMessage(h, MSG_A, 0, platform::makePayload(Tracked{})));
  EXPECT_EQ(alive(), 0);
  // A new receiver never takes over an old handle.
  MessageWindow other;
  EXPECT_NE(other.handle(), h);

  for (int round = 0; round < 50; ++round) {
    auto w = std::make_unique<MessageWindow>();
    const platform::WindowHandle h = w->handle();
    std::atomic<bool> stop{false};
    std::thread poster([&] {
      while (!stop.load()) platform::PostMessage(h, MSG_A, 0, platform::makePayload(Tracked{}));
    });
    platform::PumpMessages();
    w.reset();
    stop = true;
    poster.join();
    platform::PumpMessages();
    EXPECT_EQ(alive(), 0);
  }
  platform::PumpMessages();  // nothing queued: must not wait
  MessageWindow pumped;
  int count = 0;
  // A handler that posts again: picked up within the same drain.
  pumped.on(MSG_A, [&](Message& m) {
    ++count;
    if (m.wParam > 0) platform::PostMessage(pumped.handle(), MSG_A, m.wParam - 1);
    return 0;
  });
  for (int i = 0; i < 500; ++i) platform::PostMessage(pumped.handle(), MSG_A, 0);
  platform::PostMessage(pumped.handle(), MSG_A, 3);
  platform::PumpMessages();
  EXPECT_EQ(count, 504);
  // Sent: the handler runs at once and its result comes back; without a handler, 0.
  pumped.on(MSG_B, [](Message& m) { return static_cast<intptr_t>(m.wParam * 2); });
  EXPECT_EQ(pumped.send(MSG_B, 21), 42);
  EXPECT_EQ(pumped.send(MSG_B + 1), 0);
}


