#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// The operating system's dial-up (remote access) connections that reach the device's
// network. On Linux a connection is a NetworkManager profile; tests use a fake.
// Error numbers are what the message boxes show.
class DialUp {
public:
  struct Connection {
    QString name;
    QString handle;  // identifies the active connection for HangUp
  };

  virtual ~DialUp() = default;

  // The connections that are up now.
  virtual bool EnumConnections(std::vector<Connection>& connections, uint32_t& error) = 0;
  // Brings the named connection up and returns when it is up or has failed.
  virtual bool Dial(const QString& name, QString& handle, uint32_t& error) = 0;
  virtual bool HangUp(const QString& handle, uint32_t& error) = 0;
};
