#include "tools/SimLog.h"

#include <cstdio>

bool SimLog::Open(const QString& path) {
  if (path.isEmpty()) return m_file.open(stderr, QIODevice::WriteOnly | QIODevice::Text);
  m_file.setFileName(path);
  return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

void SimLog::Line(const QString& text) {
  if (!m_file.isOpen()) return;
  m_file.write(text.toUtf8());
  m_file.write("\n");
  m_file.flush();
}
