#include "capture/ComPortPath.h"

#include <QDir>
#include <QFileInfo>

#include "platform/ProfileStore.h"

QString ComPortPath::PortsFolder() {
  return QDir(platform::ProfileStore::configHome()).filePath(QStringLiteral("Quellfeld/ports"));
}

QString ComPortPath::LinkPath(uint32_t portNumber) {
  return QDir(PortsFolder()).filePath(QStringLiteral("COM%1").arg(portNumber));
}

QString ComPortPath::Resolve(uint32_t portNumber) {
  const QString link = LinkPath(portNumber);
  // A dangling link still wins: the port is then missing, not silently another one.
  if (QFileInfo(link).isSymLink() || QFileInfo::exists(link)) return link;
  if (portNumber >= 1 && portNumber <= 32) return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
  if (portNumber >= 33 && portNumber <= 64) return QStringLiteral("/dev/ttyUSB%1").arg(portNumber - 33);
  if (portNumber >= 65 && portNumber <= 96) return QStringLiteral("/dev/ttyACM%1").arg(portNumber - 65);
  return {};
}
