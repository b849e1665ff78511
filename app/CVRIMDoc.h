#pragma once

#include <QString>
#include <functional>

#include "platform/CommandTarget.h"

class CActiveFile;

// The document holds nothing itself: File Open, the recent list, dropped files and
// desktop open requests all become "open this file in the shown file and tell the
// view"; and it guards closing the main window.
class CVRIMDoc {
public:
  explicit CVRIMDoc(CActiveFile& file);

  platform::CommandTarget& commands() { return m_commands; }

  void OnFileOpen();
  bool OnOpenDocument(const QString& path);
  bool CanCloseFrame();

  const QString& GetPathName() const { return m_pathName; }

  // The file dialog (tests answer it); an empty result is Cancel.
  std::function<QString()> chooseFile;
  // The device link, for the close confirmation.
  std::function<bool()> isConnected;
  std::function<void()> disconnectDevice;
  // The recent-file list, which takes every document opened through the framework.
  std::function<void(const QString&)> addToRecentFileList;

private:
  void postFileLoaded();

  CActiveFile& m_file;
  platform::CommandTarget m_commands;
  QString m_pathName;
};
