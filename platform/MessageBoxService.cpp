#include "platform/MessageBoxService.h"

#include <atomic>
#include <cstdio>

namespace platform {

namespace {
std::atomic<MessageBoxService*> g_service{nullptr};

int firstAnswer(unsigned type) {
  switch (type & MB_BUTTONMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
      return IDYES;
    default:
      return IDOK;
  }
}
}  // namespace

void SetMessageBoxService(MessageBoxService* service) { g_service.store(service); }

int ShowMessageBox(const QString& text, unsigned type) {
  if (MessageBoxService* s = g_service.load()) return s->show(text, type);
  std::fprintf(stderr, "VRIM: %s\n", text.toLocal8Bit().constData());
  return firstAnswer(type);
}

}  // namespace platform
