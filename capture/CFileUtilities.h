#pragma once

#include <QString>

// Forms the path of a new acquisition file from the configured folder and file name
// and finds a free numbered variant ("LOG.ANL" -> "LOG(1).ANL"). "/" separates
// folders; there is no drive part on this platform, so the drive stays empty.
class CFileUtilities {
public:
  CFileUtilities() = default;
  virtual ~CFileUtilities() = default;

  // full path := path; drive, directory (ending with "/"), name and extension (with
  // its dot) := its parts.
  void SplitPath(const QString& path);
  // name := fileName as given (dots included); full path := directory + name +
  // extension.
  void SetFileName(const QString& fileName);

  bool FileExists() const;
  // True when the file has length 0 and also when it cannot be opened for reading.
  bool IsFileEmpty() const;
  // Numbers the full path in place until no file of that path exists and returns it.
  // The name and extension fields keep their values.
  QString GetUniqueFileName();

  QString GetFullPath() const { return m_fullPath; }
  QString GetDrive() const { return m_drive; }
  QString GetDirectory() const { return m_directory; }
  QString GetFileName() const { return m_fileName; }
  QString GetExtension() const { return m_extension; }

  // The next numbered candidate of path (one step of the numbering, without any
  // existence test): "A.ANL" -> "A(1).ANL", "A(1).ANL" -> "A(2).ANL".
  static QString NextNumberedPath(const QString& path);
  static bool PathExists(const QString& path);

private:
  QString m_fullPath;
  QString m_drive;
  QString m_directory;
  QString m_fileName;
  QString m_extension;
};
