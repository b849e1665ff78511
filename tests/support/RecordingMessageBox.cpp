#include "support/RecordingMessageBox.h"

namespace testsupport {

RecordingMessageBox::RecordingMessageBox() { platform::SetMessageBoxService(this); }

RecordingMessageBox::~RecordingMessageBox() { platform::SetMessageBoxService(nullptr); }

int RecordingMessageBox::show(const QString& text, unsigned type) {
  std::lock_guard lock(m_mutex);
  m_shown.push_back({text, type});
  if (!m_answers.empty()) {
    const int a = m_answers.front();
    m_answers.pop_front();
    return a;
  }
  const unsigned buttons = type & platform::MB_BUTTONMASK;
  return (buttons == platform::MB_YESNO || buttons == platform::MB_YESNOCANCEL) ? platform::IDYES
                                                                              : platform::IDOK;
}

void RecordingMessageBox::queueAnswer(int answer) {
  std::lock_guard lock(m_mutex);
  m_answers.push_back(answer);
}

std::vector<RecordingMessageBox::Shown> RecordingMessageBox::shown() const {
  std::lock_guard lock(m_mutex);
  return m_shown;
}

std::vector<QString> RecordingMessageBox::texts() const {
  std::lock_guard lock(m_mutex);
  std::vector<QString> t;
  for (const auto& s : m_shown) t.push_back(s.text);
  return t;
}

size_t RecordingMessageBox::count() const {
  std::lock_guard lock(m_mutex);
  return m_shown.size();
}

void RecordingMessageBox::clear() {
  std::lock_guard lock(m_mutex);
  m_shown.clear();
  m_answers.clear();
}

}  // namespace testsupport
