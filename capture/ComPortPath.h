#pragma once

#include <QString>
#include <cstdint>

// Where the device of a COM port number lives. A link named COM<n> in the ports
// folder (made by the user or by the device simulator) wins; otherwise COM1-COM32
// are /dev/ttyS0-31, COM33-COM64 /dev/ttyUSB0-31 and COM65-COM96 /dev/ttyACM0-31.
// Numbers without a device of either kind resolve to an empty path.
class ComPortPath {
public:
  // $XDG_CONFIG_HOME/Quellfeld/ports (~/.config when XDG_CONFIG_HOME is unset).
  static QString PortsFolder();
  // The ports-folder entry for COM<n>, whether it exists or not.
  static QString LinkPath(uint32_t portNumber);
  // The device path for COM<n>, or an empty string when the number has none.
  static QString Resolve(uint32_t portNumber);
};
