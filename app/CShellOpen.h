#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QLocalServer;

// The desktop side of opening documents. The program registers the document type
// "VRIM.Document" ("VRIM Document") with the desktop (a desktop entry and a MIME
// type, no file extension), and a running copy takes open requests that the
// desktop hands to the small launcher vrim-open: the launcher passes the path over
// a local socket to the copy of the profile, so the program's own command line keeps
// carrying nothing but "Profile=".
class CShellOpen : public QObject {
  Q_OBJECT
public:
  explicit CShellOpen(QObject* parent = nullptr);
  ~CShellOpen() override;

  // The socket of the copy that runs with this profile key: in the user's private
  // runtime folder, named after the profile's settings folder, so only this user's
  // copies of this profile meet there. Empty when no private folder can be had; why
  // then names the folder that was refused.
  static QString ServerName(const QString& registryKey, QString* why = nullptr);

  // Starts taking open requests; each path received is handed to open(), one at a
  // time, after the request has been read whole.
  bool EnableShellOpen(const QString& registryKey, std::function<void(const QString&)> open);

  // Writes the desktop entry and the MIME type under $XDG_DATA_HOME (~/.local/share)
  // and asks the desktop databases to refresh, without waiting for them.
  static bool RegisterShellFileTypes(const QString& launcherPath);

  // What vrim-open does: sends the paths to the running copy. False when none runs.
  static bool SendOpenRequest(const QString& registryKey, const QStringList& paths, int timeoutMs = 2000);

private:
  void openPending();

  QLocalServer* m_server = nullptr;
  std::function<void(const QString&)> m_open;
  QStringList m_pending;
  bool m_opening = false;
};
