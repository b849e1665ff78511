#include "platform/CommandRouter.h"

#include "platform/CommandTarget.h"

namespace platform {

const CommandTarget* CommandRouter::targetFor(uint32_t id) const {
  for (const CommandTarget* t : m_chain)
    if (t && t->handles(id)) return t;
  return nullptr;
}

bool CommandRouter::isEnabled(uint32_t id) const {
  const CommandTarget* t = targetFor(id);
  return t && t->isEnabled(id);
}

bool CommandRouter::hasCheck(uint32_t id) const {
  for (const CommandTarget* t : m_chain)
    if (t && t->hasCheck(id)) return true;
  return false;
}

bool CommandRouter::isChecked(uint32_t id) const {
  for (const CommandTarget* t : m_chain)
    if (t && t->hasCheck(id)) return t->isChecked(id);
  return false;
}

bool CommandRouter::route(uint32_t id) const {
  const CommandTarget* t = targetFor(id);
  return t && t->run(id);
}

}  // namespace platform
