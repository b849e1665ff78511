#include "platform/RecentFileList.h"

#include <QFileInfo>

#include "platform/ProfileStore.h"

namespace platform {

namespace {

const QString SECTION = QStringLiteral("Recent File List");

QString entryKey(int number) { return QStringLiteral("File%1").arg(number); }

// Entries are compared as absolute, cleaned paths, so "./a.ANL" and "/cwd/a.ANL" are
// one file.
QString normalized(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

}  // namespace

ProfileStore& RecentFileList::store() const { return m_store ? *m_store : Profile(); }

QStringList RecentFileList::Entries() const {
  QStringList entries;
  for (int i = 1; i <= MAX_ENTRIES; ++i) {
    const QString value = store().GetProfileString(SECTION, entryKey(i));
    if (!value.isEmpty()) entries.append(value);
  }
  return entries;
}

void RecentFileList::write(const QStringList& entries) {
  {
    // One save for the whole list: each save rewrites and flushes the settings file.
    const ProfileStore::Batch batch(store());
    for (int i = 1; i <= MAX_ENTRIES; ++i)
      store().WriteProfileString(SECTION, entryKey(i), i <= entries.size() ? entries.at(i - 1) : QString());
  }
  if (m_changed) m_changed();
}

void RecentFileList::Add(const QString& path) {
  if (path.isEmpty()) return;
  const QString full = normalized(path);
  QStringList entries = Entries();
  entries.removeIf([&](const QString& e) { return normalized(e) == full; });
  entries.prepend(full);
  while (entries.size() > MAX_ENTRIES) entries.removeLast();
  write(entries);
}

void RecentFileList::Remove(const QString& path) {
  const QString full = normalized(path);
  QStringList entries = Entries();
  if (entries.removeIf([&](const QString& e) { return normalized(e) == full; }) == 0) return;
  write(entries);
}

RecentFileList& RecentFiles() {
  static RecentFileList list;
  return list;
}

}  // namespace platform
