#include "platform/MessageWindow.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <mutex>

// Qt hands a posted event to the receiving thread under its own locks, which a
// ThreadSanitizer build cannot see when Qt itself is not instrumented; the event is
// marked as released by the poster and acquired by whoever delivers or deletes it.
#if defined(__SANITIZE_THREAD__)
#define VRIM_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VRIM_TSAN 1
#endif
#endif
#ifdef VRIM_TSAN
#include <sanitizer/tsan_interface.h>
#define VRIM_HANDOFF_RELEASE(p) __tsan_release(p)
#define VRIM_HANDOFF_ACQUIRE(p) __tsan_acquire(p)
#else
#define VRIM_HANDOFF_RELEASE(p) ((void)(p))
#define VRIM_HANDOFF_ACQUIRE(p) ((void)(p))
#endif

namespace platform {

namespace {

const QEvent::Type MESSAGE_EVENT_TYPE = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent final : public QEvent {
public:
 explicit MessageEvent(Message m) : QEvent(MESSAGE_EVENT_TYPE), msg(std::move(m)) {}
 ~MessageEvent() override { VRIM_HANDOFF_ACQUIRE(this); }  // also when dropped undelivered
 Message msg;
};

// The registry of live receivers. Posting holds the lock while it queues the event,
// and a receiver leaves the registry under the same lock before it is destroyed, so
// a post never reaches a dead object. Qt drops (and deletes) events still queued
// for a destroyed object, which frees their payloads.
std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::unordered_map<WindowHandle, QObject*>& registry() {
  static std::unordered_map<WindowHandle, QObject*> r;
  return r;
}
WindowHandle g_nextHandle = 1;

}  // namespace

class MessageReceiver final : public QObject {
public:
  explicit MessageReceiver(MessageWindow* owner) : m_owner(owner) {}

  bool event(QEvent* e) override {
    VRIM_HANDOFF_ACQUIRE(e);
    if (e->type() != MESSAGE_EVENT_TYPE) return QObject::event(e);
    m_owner->send(static_cast<MessageEvent*>(e)->msg);
    return true;
  }

private:
  MessageWindow* m_owner;
};

MessageWindow::MessageWindow() : m_receiver(std::make_unique<MessageReceiver>(this)) {
  std::lock_guard lock(registryMutex());
  m_handle = g_nextHandle++;
  if (m_handle == NULL_WINDOW) m_handle = g_nextHandle++;
  registry().emplace(m_handle, m_receiver.get());
}

MessageWindow::~MessageWindow() {
  {
    std::lock_guard lock(registryMutex());
    registry().erase(m_handle);
  }
  m_receiver.reset();  // Qt deletes the events still queued for it
}

void MessageWindow::on(uint32_t id, Handler handler) { m_handlers[id] = std::move(handler); }

intptr_t MessageWindow::send(Message& msg) {
  auto it = m_handlers.find(msg.id);
  if (it == m_handlers.end()) return 0;
  // Copy: a handler may replace the table entry while it runs.
  Handler h = it->second;
  return h(msg);
}

intptr_t MessageWindow::send(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  Message m{id, wParam, lParam, nullptr};
  return send(m);
}

static bool post(WindowHandle target, Message msg) {
  std::lock_guard lock(registryMutex());
  auto it = registry().find(target);
  if (it == registry().end()) return false;  // msg and its payload die here
  auto* event = new MessageEvent(std::move(msg));
  VRIM_HANDOFF_RELEASE(event);
  QCoreApplication::postEvent(it->second, event);
  return true;
}

bool PostMessage(WindowHandle target, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  return post(target, Message{id, wParam, lParam, nullptr});
}

bool PostMessage(WindowHandle target, uint32_t id, uintptr_t wParam,
                 std::unique_ptr<MessagePayload> payload) {
  return post(target, Message{id, wParam, 0, std::move(payload)});
}

bool IsWindow(WindowHandle target) {
  std::lock_guard lock(registryMutex());
  return registry().count(target) != 0;
}

void PumpMessages() {
  // Each round delivers what is queued now; events posted by the handlers are
  // picked up by the next round. The bound keeps a handler that re-posts itself
  // forever from turning a drain into a hang.
  QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
  for (int round = 0; round < 1000; ++round) {
    QCoreApplication::sendPostedEvents();
    if (!dispatcher || !dispatcher->processEvents(QEventLoop::AllEvents)) break;
  }
}

}  // namespace platform
