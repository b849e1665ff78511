#include "capture/NmcliDialUp.h"

#include <QProcess>
#include <cerrno>

namespace {

// Splits one terse line into its fields, undoing nmcli's escapes.
QStringList terseFields(const QByteArray& line) {
  QStringList fields;
  QByteArray field;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\' && i + 1 < line.size()) {
      field.append(line[++i]);
    } else if (c == ':') {
      fields << QString::fromUtf8(field);
      field.clear();
    } else {
      field.append(c);
    }
  }
  fields << QString::fromUtf8(field);
  return fields;
}

}  // namespace

std::vector<NmcliDialUp::Active> NmcliDialUp::ParseActive(const QByteArray& terse) {
  std::vector<Active> out;
  for (const QByteArray& raw : terse.split('\n')) {
    const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
    if (line.isEmpty()) continue;
    const QStringList f = terseFields(line);
    if (f.size() < 2 || f[0].isEmpty()) continue;
    out.push_back({f[0], f[1], f.value(2)});
  }
  return out;
}

namespace {
// nmcli's exit code when NetworkManager is not running.
constexpr uint32_t NM_NOT_RUNNING = 8;
// Mobile broadband (GSM, CDMA), PPPoE and VPNs; Bluetooth only as dial-up networking.
const QStringList DIAL_UP_TYPES = {"gsm", "cdma", "pppoe", "vpn", "wireguard"};
}  // namespace

bool NmcliDialUp::isDialUp(const Active& c) const {
  if (DIAL_UP_TYPES.contains(c.type)) return true;
  if (c.type != QLatin1String("bluetooth")) return false;
  QByteArray kind;
  uint32_t error = 0;
  return run({"-t", "-g", "bluetooth.type", "connection", "show", c.handle}, &kind, error) &&
         kind.trimmed() == "dun";
}

bool NmcliDialUp::run(const QStringList& args, QByteArray* output, uint32_t& error) const {
  QProcess p;
  p.setProcessChannelMode(QProcess::SeparateChannels);
  p.start(m_program, args);
  if (!p.waitForStarted(10000)) {
    error = ENOENT;
    return false;
  }
  // The dial waits for NetworkManager itself (--wait); this bound only keeps a hung
  // client from blocking for ever.
  if (!p.waitForFinished((DIAL_WAIT_SECONDS + 30) * 1000)) {
    p.kill();
    p.waitForFinished(1000);
    error = ETIMEDOUT;
    return false;
  }
  if (output) *output = p.readAllStandardOutput();
  if (p.exitStatus() != QProcess::NormalExit) {
    error = EINTR;
    return false;
  }
  error = static_cast<uint32_t>(p.exitCode());
  return error == 0;
}

bool NmcliDialUp::EnumConnections(std::vector<Connection>& connections, uint32_t& error) {
  QByteArray out;
  if (!run({"-t", "-f", "NAME,UUID,TYPE", "connection", "show", "--active"}, &out, error)) {
    // Without NetworkManager (no client, or its daemon not running) no dial-up can be
    // up: an empty list, not an error box at every connect of a plain LAN user.
    if (error == ENOENT || error == NM_NOT_RUNNING) {
      connections.clear();
      error = 0;
      return true;
    }
    return false;
  }
  connections.clear();
  for (const Active& c : ParseActive(out))
    if (isDialUp(c)) connections.push_back({c.name, c.handle});
  return true;
}

bool NmcliDialUp::Dial(const QString& name, QString& handle, uint32_t& error) {
  if (!run({"--wait", QString::number(DIAL_WAIT_SECONDS), "connection", "up", "id", name}, nullptr, error))
    return false;
  std::vector<Connection> active;
  if (EnumConnections(active, error)) {
    for (const Connection& c : active) {
      if (c.name == name) {
        handle = c.handle;
        return true;
      }
    }
  }
  // Up, but not found again: hang up by name.
  handle = name;
  error = 0;
  return true;
}

bool NmcliDialUp::HangUp(const QString& handle, uint32_t& error) {
  return run({"connection", "down", handle}, nullptr, error);
}
