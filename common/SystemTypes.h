#pragma once

#include <cstdint>

// Protocol of the monitored bus ("PropertyPage1" "Protocol").
inline constexpr uint32_t PROTOCOL_STANDARD = 0;
inline constexpr uint32_t PROTOCOL_MDB = 1;
inline constexpr uint32_t PROTOCOL_EXECUTIVE = 2;
inline constexpr uint32_t PROTOCOL_BDV = 3;

// Link to the QX-7700 ("PropertyPage2" "HDLCConnect").
inline constexpr uint32_t LINKTYPE_LAN = 0;
inline constexpr uint32_t LINKTYPE_HDLC = 1;

// Display mode of the view ("General" "DisplayAttribute").
inline constexpr uint32_t DISPLAY_HEX = 2;
inline constexpr uint32_t DISPLAY_ASCII = 4;
inline constexpr uint32_t DISPLAY_LIST = 8;
