#include "platform/CommandTarget.h"

namespace platform {

void CommandTarget::onCommand(uint32_t id, Handler handler, Rule enabled) {
  m_entries[id] = Entry{std::move(handler), std::move(enabled)};
}

void CommandTarget::onChecked(uint32_t id, Rule checked) { m_checks[id] = std::move(checked); }

bool CommandTarget::handles(uint32_t id) const { return m_entries.count(id) != 0; }

bool CommandTarget::isEnabled(uint32_t id) const {
  auto it = m_entries.find(id);
  if (it == m_entries.end()) return false;
  return !it->second.enabled || it->second.enabled();
}

bool CommandTarget::hasCheck(uint32_t id) const { return m_checks.count(id) != 0; }

bool CommandTarget::isChecked(uint32_t id) const {
  auto it = m_checks.find(id);
  return it != m_checks.end() && it->second && it->second();
}

bool CommandTarget::run(uint32_t id) const {
  auto it = m_entries.find(id);
  if (it == m_entries.end()) return false;
  if (it->second.enabled && !it->second.enabled()) return false;
  // Copy: the handler may change this table while it runs.
  const Handler h = it->second.handler;
  if (h) h();
  return true;
}

}  // namespace platform
