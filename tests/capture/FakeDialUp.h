#pragma once

#include <QStringList>

#include "capture/DialUp.h"

// Stands in for the dial-up service: the connections that are up, and canned
// results for dial and hang-up; it records every call.
class FakeDialUp final : public DialUp {
public:
  std::vector<Connection> active;
  uint32_t enumError = 0;
  uint32_t dialError = 0;
  uint32_t hangUpError = 0;
  QStringList calls;

  bool EnumConnections(std::vector<Connection>& connections, uint32_t& error) override {
    calls << "enum";
    error = enumError;
    if (enumError) return false;
    connections = active;
    return true;
  }
  bool Dial(const QString& name, QString& handle, uint32_t& error) override {
    calls << "dial " + name;
    error = dialError;
    if (dialError) return false;
    handle = "uuid-" + name;
    active.push_back({name, handle});
    return true;
  }
  bool HangUp(const QString& handle, uint32_t& error) override {
    calls << "hangup " + handle;
    error = hangUpError;
    return hangUpError == 0;
  }
};
