#pragma once

#include <QByteArray>
#include <QStringList>

#include "capture/DialUp.h"

// Dial-up over NetworkManager's command-line client. A connection's handle is its
// UUID. Only connections of the dial-up kinds (mobile broadband, PPPoE, Bluetooth
// dial-up) and VPNs count as dial-up connections; a Wi-Fi or wired network never
// does, whatever its name. Errors are nmcli's exit status (for example 10: no such connection, 4:
// activation failed, 8: NetworkManager not running), or errno when nmcli cannot be
// started at all.
class NmcliDialUp final : public DialUp {
public:
  static constexpr int DIAL_WAIT_SECONDS = 90;

  explicit NmcliDialUp(QString program = QStringLiteral("nmcli")) : m_program(std::move(program)) {}

  bool EnumConnections(std::vector<Connection>& connections, uint32_t& error) override;
  bool Dial(const QString& name, QString& handle, uint32_t& error) override;
  bool HangUp(const QString& handle, uint32_t& error) override;

  struct Active {
    QString name;
    QString handle;
    QString type;  // NetworkManager's connection type: "gsm", "vpn", "802-11-wireless", ...
  };
  // The lines of "nmcli -t -f NAME,UUID,TYPE connection show --active": fields split
  // at colons, with "\:" and "\\" standing for a colon and a backslash in a name.
  static std::vector<Active> ParseActive(const QByteArray& terse);

private:
  bool run(const QStringList& args, QByteArray* output, uint32_t& error) const;
  bool isDialUp(const Active& connection) const;

  QString m_program;
};
