#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace platform {

class ProfileStore;

// The recent-file list: ten paths, the most recent first, kept in the profile section
// "Recent File List" under "File1" to "File10". Every change is written at once, so
// a crash loses nothing and a second copy with the same profile sees it.
class RecentFileList {
public:
  static constexpr int MAX_ENTRIES = 10;

  // On the process's profile store (Profile()), or on the given one.
  RecentFileList() = default;
  explicit RecentFileList(ProfileStore* store) : m_store(store) {}

  // The stored entries, most recent first, without gaps.
  QStringList Entries() const;
  // Puts path at the top; an entry of the same file moves up instead of repeating,
  // and the eleventh entry falls off. An empty path changes nothing.
  void Add(const QString& path);
  // Removes the entry of path (e.g. a file that could not be opened).
  void Remove(const QString& path);

  // Called on the calling thread after every change (the menu rebuilds itself).
  void SetChangedCallback(std::function<void()> callback) { m_changed = std::move(callback); }

private:
  ProfileStore& store() const;
  void write(const QStringList& entries);

  ProfileStore* m_store = nullptr;
  std::function<void()> m_changed;
};

// The application's list.
RecentFileList& RecentFiles();

}  // namespace platform
