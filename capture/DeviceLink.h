#pragma once

#include <QByteArray>

class CActiveFile;
class CVRIMSocket;

// The application's side of a recording: the link to the device and the objects it
// owns. Commands go out by link type: a reliable channel-1 frame on the serial link
// (up to three tries of 250 ms), one datagram on the LAN's control socket.
class DeviceLink {
public:
  virtual ~DeviceLink() = default;
  virtual bool IsConnected() const = 0;
  // False when the command could not be sent (no acknowledgement, socket error).
  virtual bool SendDeviceCommand(const QByteArray& command) = 0;
  // The data sink of the current connection (null while unconnected).
  virtual CVRIMSocket* GetAcquisitionSocket() = 0;
  virtual CActiveFile& GetActiveFile() = 0;
};
