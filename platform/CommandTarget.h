#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>

namespace platform {

// The command table of one object (view, document, frame, application): for each
// command id a handler and the rule that says whether it may run now.
class CommandTarget {
public:
  using Handler = std::function<void()>;
  using Rule = std::function<bool()>;

  // A missing rule means always enabled.
  void onCommand(uint32_t id, Handler handler, Rule enabled = {});
  // A check-mark state for menu entries that carry one.
  void onChecked(uint32_t id, Rule checked);

  bool handles(uint32_t id) const;
  bool isEnabled(uint32_t id) const;
  bool hasCheck(uint32_t id) const;
  bool isChecked(uint32_t id) const;
  // Runs the handler when the rule allows it; false when it did not run.
  bool run(uint32_t id) const;

private:
  struct Entry {
    Handler handler;
    Rule enabled;
  };
  std::unordered_map<uint32_t, Entry> m_entries;
  std::unordered_map<uint32_t, Rule> m_checks;
};

}  // namespace platform
