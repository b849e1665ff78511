#pragma once

#include <QByteArray>
#include <cstdint>

// What the firmware updater needs of the application's device link: its state, the
// connect and disconnect commands, the link type and the sending of a device command
// by link type (a reliable channel-1 frame on the serial link, one datagram on the
// LAN's control socket; false when there is no link to send it on).
class UpdateLink {
public:
  virtual ~UpdateLink() = default;
  virtual bool IsConnected() const = 0;
  virtual bool OnConnectDevice() = 0;
  virtual bool OnDisconnectDevice() = 0;
  virtual uint32_t GetLinkType() const = 0;
  virtual bool SendDeviceCommand(const QByteArray& command) = 0;
};
