#pragma once

#include <QString>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/MessageBoxService.h"

namespace testsupport {

// Stands in for the real message box: records every text and type and gives the
// queued answers (or the box's first answer when none is queued). Installed while
// the object lives.
class RecordingMessageBox final : public platform::MessageBoxService {
public:
  struct Shown {
    QString text;
    unsigned type;
  };

  RecordingMessageBox();
  ~RecordingMessageBox() override;

  int show(const QString& text, unsigned type) override;

  void queueAnswer(int answer);
  std::vector<Shown> shown() const;
  std::vector<QString> texts() const;
  size_t count() const;
  void clear();

private:
  mutable std::mutex m_mutex;
  std::vector<Shown> m_shown;
  std::deque<int> m_answers;
};

}  // namespace testsupport
