#pragma once

#include <cstdint>
#include <vector>

namespace platform {

class CommandTarget;

// Routes a command to the first target in the chain that handles it (view, then
// document, then frame, then application), always through the target's enable rule,
// whether the command came from a menu, a key, the toolbar or a post by the program.
class CommandRouter {
public:
  // Targets are not owned; the order of the list is the routing order.
  void setChain(std::vector<const CommandTarget*> chain) { m_chain = std::move(chain); }
  const CommandTarget* targetFor(uint32_t id) const;

  bool isEnabled(uint32_t id) const;
  bool hasCheck(uint32_t id) const;
  bool isChecked(uint32_t id) const;
  // True when a handler ran.
  bool route(uint32_t id) const;

private:
  std::vector<const CommandTarget*> m_chain;
};

}  // namespace platform
