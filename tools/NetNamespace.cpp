#include "tools/NetNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <vector>

bool NetNamespace::run(const QStringList& args, QString& error, bool quiet) {
  std::vector<QByteArray> owned;
  for (const QString& a : args) owned.push_back(a.toLocal8Bit());
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>("ip"));
  for (QByteArray& a : owned) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    if (quiet) ::dup2(null, STDERR_FILENO);
    ::execvp("ip", argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    error = QStringLiteral("ip %1 failed").arg(args.join(' '));
    return false;
  }
  return true;
}

bool NetNamespace::Create(const QString& name, const QString& hostAddress, const QString& deviceAddress,
                          int prefixLength, QString& error) {
  if (name.isEmpty() || name.size() > 11) {
    error = QStringLiteral("namespace name must have 1 to 11 characters");
    return false;
  }
  const QString hostIf = QStringLiteral("vq%1h").arg(name);
  const QString devIf = QStringLiteral("vq%1d").arg(name);
  const QString prefix = QString::number(prefixLength);
  // Leftovers of a run that was killed, or of one whose pair is still going away.
  QString ignored;
  run({"netns", "del", name}, ignored, true);
  run({"link", "del", hostIf}, ignored, true);
  if (!run({"netns", "add", name}, error)) return false;
  m_name = name;
  return run({"link", "add", hostIf, "type", "veth", "peer", "name", devIf, "netns", name}, error) &&
         run({"addr", "add", hostAddress + "/" + prefix, "dev", hostIf}, error) &&
         run({"link", "set", hostIf, "up"}, error) &&
         run({"-n", name, "addr", "add", deviceAddress + "/" + prefix, "dev", devIf}, error) &&
         run({"-n", name, "link", "set", devIf, "up"}, error) && run({"-n", name, "link", "set", "lo", "up"}, error);
}

bool NetNamespace::Enter(QString& error) {
  const QByteArray path = QFile::encodeName(QStringLiteral("/var/run/netns/") + m_name);
  const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0) {
    error = QStringLiteral("cannot enter namespace %1: %2").arg(m_name, QString::fromLocal8Bit(std::strerror(errno)));
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::close(fd);
  return true;
}

void NetNamespace::Destroy() {
  if (m_name.isEmpty()) return;
  QString ignored;
  // The namespace, and the veth pair with it, goes once this process has left it;
  // a next run of the same name clears what may still be there.
  run({"netns", "del", m_name}, ignored, true);
  m_name.clear();
}
