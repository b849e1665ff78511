#pragma once

#include <QString>
#include <QStringList>

// A network namespace of its own for the simulated device, joined to the host by a
// veth pair: the device's ports then live on an address of their own, and the
// program binds its ports on the host exactly as with a real device, without any
// address reuse. Needs root (CI runs as root). Removing the namespace removes the
// veth pair with it.
class NetNamespace {
public:
  NetNamespace() = default;
  ~NetNamespace() { Destroy(); }
  NetNamespace(const NetNamespace&) = delete;
  NetNamespace& operator=(const NetNamespace&) = delete;

  // name: at most 11 characters (it also names the two interfaces).
  bool Create(const QString& name, const QString& hostAddress, const QString& deviceAddress, int prefixLength,
              QString& error);
  // Moves the calling thread into the namespace; sockets it makes afterwards live there.
  bool Enter(QString& error);
  void Destroy();

private:
  static bool run(const QStringList& args, QString& error, bool quiet = false);

  QString m_name;
};
