#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "capture/HdlcEncoder.h"
#include "platform/ProfileStore.h"

// The device's side of the serial framing, and the link keys of the profile.
namespace testsupport {

inline QByteArray deviceFrame(uint8_t ns, const QByteArray& payload, uint8_t channel = 1) {
  uint8_t out[1024];
  const uint8_t head[3] = {0xBD, HdlcEncoder::DataControl(ns), channel};
  const uint32_t n = HdlcEncoder::Encode(out, sizeof out, head, 3, reinterpret_cast<const uint8_t*>(payload.constData()),
                                         static_cast<uint32_t>(payload.size()));
  return QByteArray(reinterpret_cast<const char*>(out), n);
}
inline QByteArray ackFrame(uint8_t nr) {
  uint8_t out[16];
  const uint8_t head[2] = {0xBD, HdlcEncoder::AckControl(nr)};
  return QByteArray(reinterpret_cast<const char*>(out), HdlcEncoder::Encode(out, sizeof out, head, 2, nullptr, 0));
}

inline void setLink(const char* key, const QString& value) {
  platform::Profile().WriteProfileString("PropertyPage2", key, value);
}
inline void setLink(const char* key, int value) { platform::Profile().WriteProfileInt("PropertyPage2", key, value); }
// The device on the local network (no dial-up) at the given address and ports.
inline void setLan(const QString& address, int acquisitionPort, int controlPort) {
  setLink("LanConnect", 1);
  setLink("DeviceIPAddress", address);
  setLink("PortAquisition", acquisitionPort);
  setLink("PortControl", controlPort);
}

}  // namespace testsupport
