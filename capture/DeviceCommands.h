#pragma once

#include <QByteArray>
#include <cstdint>

// The command frames the program sends, built from the "PropertyPage1" settings
// as they are stored at the moment of the call.
namespace DeviceCommands {

// The rate of a "Baudrate" index (0..13); false for an index outside the table.
bool BaudRate(uint32_t index, uint32_t& rate);

QByteArray Acquire(bool start);  // 03 03 01 / 03 03 00
QByteArray BusLoad();            // 04 05 MasterLoad MasterThreshold SlaveThreshold
QByteArray LineSettings();       // 06 09 baud(4) stop parity data
QByteArray Version(uint8_t selector = 1);  // 01 03 selector
QByteArray Boot();               // 05 03 03

}  // namespace DeviceCommands
