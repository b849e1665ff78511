#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

class QObject;

namespace platform {

// Handle of a message receiver. Handles are never reused, so a message posted to a
// receiver that is gone is refused instead of reaching a newer one.
using WindowHandle = uint32_t;
inline constexpr WindowHandle NULL_WINDOW = 0;

// A heap buffer carried by a posted message. The message owns it: the receiver
// takes it, and it is freed with the message when nobody does (receiver gone,
// no handler for the id).
struct MessagePayload {
  virtual ~MessagePayload() = default;
};

template <class T>
struct PayloadOf final : MessagePayload {
  explicit PayloadOf(T v) : value(std::move(v)) {}
  T value;
};

template <class T>
std::unique_ptr<MessagePayload> makePayload(T value) {
  return std::make_unique<PayloadOf<T>>(std::move(value));
}

struct Message {
  uint32_t id = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  std::unique_ptr<MessagePayload> payload;

  // The payload as a T, or null when there is none or it is of another type.
  template <class T>
  T* payloadAs() const {
    auto* p = dynamic_cast<PayloadOf<T>*>(payload.get());
    return p ? &p->value : nullptr;
  }
};

// A receiver of posted messages with its table of handlers keyed by message id.
// Handlers run on the thread that made the receiver (the UI thread for windows).
// Widgets and engine objects own one of these; the engine keeps only handles.
class MessageWindow {
public:
  using Handler = std::function<intptr_t(Message&)>;

  MessageWindow();
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  WindowHandle handle() const { return m_handle; }

  // Registers the handler for one message id (replacing an earlier one).
  void on(uint32_t id, Handler handler);
  // Runs the handler of the message now, on the calling thread; 0 when none.
  intptr_t send(Message& msg);
  intptr_t send(uint32_t id, uintptr_t wParam = 0, intptr_t lParam = 0);

private:
  friend class MessageReceiver;
  WindowHandle m_handle;
  std::unique_ptr<QObject> m_receiver;
  std::unordered_map<uint32_t, Handler> m_handlers;
};

// Posts a message to a receiver from any thread. False when the receiver does not
// exist (any payload is freed then). Messages from one thread to one receiver
// arrive in the order posted.
bool PostMessage(WindowHandle target, uint32_t id, uintptr_t wParam = 0, intptr_t lParam = 0);
bool PostMessage(WindowHandle target, uint32_t id, uintptr_t wParam,
                 std::unique_ptr<MessagePayload> payload);

// True while the receiver exists.
bool IsWindow(WindowHandle target);

// Drains the calling thread's queue of posted events and returns when it is empty.
// It never waits or sleeps; callers that wait for something call it between their
// own sleeps or polls.
void PumpMessages();

}  // namespace platform
