#pragma once

#include <cstdint>

// Command frames to the QX-7700: code, total length (these two bytes included),
// parameters. Carried as a channel-1 frame on the serial link or as one datagram on
// the control port.
inline constexpr uint8_t CMD_VERSION = 0x01;        // 01 03 selector
inline constexpr uint8_t CMD_ACQUIRE = 0x03;        // 03 03 1=start / 0=stop
inline constexpr uint8_t CMD_BUS_LOAD = 0x04;       // 04 05 load masterThreshold slaveThreshold
inline constexpr uint8_t CMD_BOOT = 0x05;           // 05 03 03
inline constexpr uint8_t CMD_LINE_SETTINGS = 0x06;  // 06 09 baud(u32 LE) stop parity data

inline constexpr uint8_t CMD_VERSION_LENGTH = 3;
inline constexpr uint8_t CMD_ACQUIRE_LENGTH = 3;
inline constexpr uint8_t CMD_BUS_LOAD_LENGTH = 5;
inline constexpr uint8_t CMD_BOOT_LENGTH = 3;
inline constexpr uint8_t CMD_LINE_SETTINGS_LENGTH = 9;

inline constexpr uint8_t CMD_BOOT_ENTER = 3;
