#pragma once

#include <QFile>
#include <QString>

// The simulator's record of what it received and did, one line per event, flushed
// at once so that a test can read it while the simulator runs.
class SimLog {
public:
  // Empty path: standard error.
  bool Open(const QString& path);
  void Line(const QString& text);

private:
  QFile m_file;
};
