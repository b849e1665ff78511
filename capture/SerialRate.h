#pragma once

#include <cstdint>

// Line rates that the terminal interface's table of speeds lacks (3600, 7200, 14400,
// 28800 baud, ...), set as the driver's custom rate. Kept apart from CComm because
// the kernel's terminal structures clash with the C library's.
class SerialRate {
public:
  // Both directions at baud. False with errno set when the driver refuses the rate
  // or keeps one more than 3 % away from it (EINVAL).
  static bool SetCustom(int fd, uint32_t baud);
  // The output rate the driver runs at; 0 when it cannot be read.
  static uint32_t Read(int fd);
};
