#include "app/CVRIMDoc.h"

#include <QFileDialog>

#include "capture/CActiveFile.h"
#include "common/CommandIds.h"
#include "common/WindowMessages.h"
#include "platform/AppWindows.h"
#include "platform/File.h"
#include "platform/MessageBoxService.h"
#include "platform/MessageWindow.h"

CVRIMDoc::CVRIMDoc(CActiveFile& file) : m_file(file) {
  m_commands.onCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
  chooseFile = [] {
    QFileDialog dialog(nullptr, QString(), QString(), QString());
    dialog.setFileMode(QFileDialog::AnyFile);  // a typed name that does not exist fails at the open
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
  };
}

void CVRIMDoc::postFileLoaded() {
  const platform::WindowHandle view = platform::ActiveViewWindow();
  if (view != platform::NULL_WINDOW) platform::PostMessage(view, WM_FILE_LOADED, 0, 0);
}

void CVRIMDoc::OnFileOpen() {
  const QString path = chooseFile ? chooseFile() : QString();
  if (path.isEmpty()) return;
  m_file.Open(path);  // shows its own message on failure
  // The view is told either way, so it shows what the shown file now holds.
  postFileLoaded();
}

bool CVRIMDoc::OnOpenDocument(const QString& path) {
  // Opening as a document keeps writers out for a moment: a file that a recording
  // (of this or another program) writes cannot be opened this way.
  {
    platform::File probe;
    if (!probe.open(path, platform::File::Mode::ReadDenyWrite)) {
      platform::ShowMessageBox(QStringLiteral("Failed to open document."),
                               platform::MB_OK | platform::MB_ICONWARNING);
      return false;
    }
  }
  m_file.Open(path);
  postFileLoaded();
  m_pathName = path;
  if (addToRecentFileList) addToRecentFileList(path);
  return true;
}

bool CVRIMDoc::CanCloseFrame() {
  if (platform::ShowMessageBox(QStringLiteral("You really want to close this application?"),
                               platform::MB_OKCANCEL | platform::MB_ICONQUESTION) != platform::IDOK)
    return false;
  const platform::WindowHandle view = platform::ActiveViewWindow();
  if (view != platform::NULL_WINDOW) platform::PostMessage(view, WM_COMMAND, ID_STOP_RECORDING, 0);
  // Let the Stop (and whatever data notices are queued) run before the link goes.
  platform::PumpMessages();
  if (isConnected && isConnected() && disconnectDevice) disconnectDevice();
  return true;
}
