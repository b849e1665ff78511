#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "platform/MessageBoxService.h"

namespace testsupport {

// A message box that does what the program's other code does while a modal box is up (its nested event
// loop repaints, other threads go on) and records its texts. Installed while the object lives.
class ActingMessageBox final : public platform::MessageBoxService {
public:
  explicit ActingMessageBox(std::function<void()> whileUp) : m_whileUp(std::move(whileUp)) {
    platform::SetMessageBoxService(this);
  }
  ~ActingMessageBox() override { platform::SetMessageBoxService(nullptr); }
  int show(const QString& t, unsigned) override { return texts.push_back(t), m_whileUp(), platform::IDOK; }
  std::vector<QString> texts;

private:
  std::function<void()> m_whileUp;
};

}  // namespace testsupport
