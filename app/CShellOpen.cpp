#include "app/CShellOpen.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <memory>
#include <utility>

#include "platform/ProfileStore.h"

namespace {

constexpr int REFRESH_WAIT_MS = 5000;

QString dataHome() {
  const QByteArray xdg = qgetenv("XDG_DATA_HOME");
  if (!xdg.isEmpty()) return QString::fromLocal8Bit(xdg);
  return QDir::homePath() + QStringLiteral("/.local/share");
}

// False when the file cannot be written; `changed` tells whether it was.
bool writeIfChanged(const QString& path, const QByteArray& content, bool& changed) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile in(path);
  if (in.open(QIODevice::ReadOnly) && in.readAll() == content) return true;
  in.close();
  changed = true;
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return out.write(content) == content.size();
}

// The program path as one argument of a desktop entry's Exec line: quoted when it
// holds a blank or another reserved character ("/opt/My Tools/vrim-open"), with the
// escapes that the quoting and the key's string type ask for.
QByteArray execArgument(const QString& path) {
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  QString arg = path;
  arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
  bool quote = false;
  for (const QChar c : arg) quote = quote || reserved.contains(c);
  if (!quote) return arg.toUtf8();
  QString quoted;
  for (const QChar c : arg) {
    if (c == QLatin1Char('\\')) quoted += QStringLiteral("\\\\\\\\");  // escaped for quoting, then for the string
    else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')) quoted += QStringLiteral("\\\\") + c;
    else quoted += c;
  }
  return '"' + quoted.toUtf8() + '"';
}

// Runs only when the registration changed (first start, program moved), so it is
// waited for: a detached run could still be writing when its folder goes.
void refreshDatabase(const char* tool, const QString& folder) {
  const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(tool));
  if (exe.isEmpty()) return;
  QProcess run;
  run.start(exe, {folder});
  if (run.waitForStarted(REFRESH_WAIT_MS)) run.waitForFinished(REFRESH_WAIT_MS);
}

// $XDG_RUNTIME_DIR, else a folder of our own in the temporary folder. A folder that
// another user could enter or has made for us is refused: its socket could be
// taken or listened to by someone else.
QString privateRuntimeFolder(QString* why) {
  QString folder = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
  if (folder.isEmpty()) {
    folder = QDir::tempPath() + QStringLiteral("/vrim-%1").arg(::getuid());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
  }
  struct stat st {};
  if (::lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & 077) != 0) {
    if (why) *why = QStringLiteral("%1 is not a folder of this user closed to others").arg(folder);
    return {};
  }
  return folder;
}

}  // namespace

CShellOpen::CShellOpen(QObject* parent) : QObject(parent) {}

CShellOpen::~CShellOpen() = default;

QString CShellOpen::ServerName(const QString& registryKey, QString* why) {
  const QString folder = privateRuntimeFolder(why);
  if (folder.isEmpty()) return {};
  const QString settings = QFileInfo(platform::ProfileStore::pathForKey(registryKey)).absolutePath();
  const QByteArray key = QCryptographicHash::hash(QDir::cleanPath(settings).toUtf8(), QCryptographicHash::Sha256);
  return folder + QStringLiteral("/vrim-") + QString::fromLatin1(key.toHex().left(24)) + QStringLiteral(".sock");
}

bool CShellOpen::EnableShellOpen(const QString& registryKey, std::function<void(const QString&)> open) {
  m_open = std::move(open);
  delete m_server;
  m_server = new QLocalServer(this);
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  const QString name = ServerName(registryKey);
  if (name.isEmpty()) return false;
  // A copy of the same profile that runs keeps taking the requests (listening would
  // quietly replace its socket); only a socket left by a copy that died is taken over.
  {
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(200)) {
      probe.disconnectFromServer();
      return false;
    }
  }
  QLocalServer::removeServer(name);
  if (!m_server->listen(name)) return false;
  connect(m_server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = m_server->nextPendingConnection()) {
      // Opening may show a box whose event loop ends the connection and frees the
      // socket, and the socket's own code is still on the stack while it signals:
      // the paths are taken out first and opened once that code has returned.
      // Paths end in a NUL, the one byte no path holds: blanks and line breaks in a
      // name are the name's own.
      auto received = std::make_shared<QByteArray>();
      auto take = [this, s, received](bool whole) {
        received->append(s->readAll());
        QStringList paths;
        for (qsizetype end; (end = received->indexOf('\0')) >= 0; received->remove(0, end + 1))
          paths << QString::fromUtf8(received->left(end));
        if (whole) paths << QString::fromUtf8(std::exchange(*received, QByteArray()));
        paths.removeAll(QString());
        if (paths.isEmpty()) return;
        m_pending << paths;
        QMetaObject::invokeMethod(this, &CShellOpen::openPending, Qt::QueuedConnection);
      };
      connect(s, &QLocalSocket::readyRead, this, [take] { take(false); });
      connect(s, &QLocalSocket::disconnected, this, [s, take] {
        take(true);
        s->deleteLater();
      });
    }
  });
  return true;
}

void CShellOpen::openPending() {
  // Requests that arrive while a box of an earlier one is up wait for the loop below.
  if (m_opening) return;
  m_opening = true;
  const QPointer<CShellOpen> self(this);
  const auto open = m_open;
  while (self && !m_pending.isEmpty()) {
    const QString path = m_pending.takeFirst();
    if (open) open(path);
  }
  if (self) m_opening = false;
}

bool CShellOpen::SendOpenRequest(const QString& registryKey, const QStringList& paths, int timeoutMs) {
  const QString name = ServerName(registryKey);
  if (name.isEmpty()) return false;
  QLocalSocket s;
  s.connectToServer(name);
  if (!s.waitForConnected(timeoutMs)) return false;
  for (const QString& p : paths) s.write(QFileInfo(p).absoluteFilePath().toUtf8() + '\0');
  s.flush();
  s.waitForBytesWritten(timeoutMs);
  s.disconnectFromServer();
  return true;
}

bool CShellOpen::RegisterShellFileTypes(const QString& launcherPath) {
  const QString home = dataHome();
  const QByteArray mime =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
      "  <mime-type type=\"application/x-vrim-document\">\n"
      "    <comment>VRIM Document</comment>\n"
      "  </mime-type>\n"
      "</mime-info>\n";
  const QByteArray desktop =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=VRIM\n"
      "Comment=VRIM Document\n"
      "Exec=" + execArgument(launcherPath) + " %F\n"
      "MimeType=application/x-vrim-document;\n"
      "Categories=Development;Electronics;\n"
      "Terminal=false\n"
      "X-VRIM-FileType=VRIM.Document\n";
  bool changed = false;
  const bool ok = writeIfChanged(home + QStringLiteral("/mime/packages/vrim-document.xml"), mime, changed) &&
                  writeIfChanged(home + QStringLiteral("/applications/vrim-document.desktop"), desktop, changed);
  if (ok && changed) {
    refreshDatabase("update-mime-database", home + QStringLiteral("/mime"));
    refreshDatabase("update-desktop-database", home + QStringLiteral("/applications"));
  }
  return ok;
}
