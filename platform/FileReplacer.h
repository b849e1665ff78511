#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

#include "platform/File.h"

namespace platform {

// Writes a new version of a file beside it, in the same folder, and puts it in the
// old one's place with one rename once every byte is on the disk. Whatever fails or
// ends the process before Commit returns, the file under its name is the old one,
// byte for byte; a replacement that is not committed is removed.
class FileReplacer {
public:
  FileReplacer() = default;
  ~FileReplacer();
  FileReplacer(const FileReplacer&) = delete;
  FileReplacer& operator=(const FileReplacer&) = delete;

  // Makes the new, empty version next to path (next to the file a symbolic link
  // points to) with the old one's permissions.
  bool Begin(const QString& path, FileError* error);
  // Appends bytes to the new version.
  bool Write(const void* data, size_t count, FileError* error);
  // Flushes the new version, renames it over the old one and flushes the folder.
  bool Commit(FileError* error);
  // Removes the new version; the old file stays as it was.
  void Abandon();

  // The name the new version has until it is committed.
  const QString& TemporaryPath() const { return m_tempPath; }

private:
  bool fail(FileError* error);

  int m_fd = -1;
  QString m_path;
  QString m_tempPath;
};

}  // namespace platform
