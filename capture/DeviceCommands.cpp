#include "capture/DeviceCommands.h"

#include <array>

#include "common/DeviceCommand.h"
#include "platform/ProfileStore.h"

namespace DeviceCommands {

namespace {
constexpr std::array<uint32_t, 14> BAUD_RATES = {300,  600,   1200,  2400,  3600,  4800,  7200,
                                                 9600, 14400, 19200, 28800, 38400, 57600, 115200};

uint8_t low(uint32_t v) { return static_cast<uint8_t>(v & 0xFF); }

QByteArray three(uint8_t a, uint8_t b, uint8_t c) {
  const char bytes[3] = {char(a), char(b), char(c)};
  return QByteArray(bytes, 3);
}
}  // namespace

bool BaudRate(uint32_t index, uint32_t& rate) {
  if (index >= BAUD_RATES.size()) return false;
  rate = BAUD_RATES[index];
  return true;
}

QByteArray Acquire(bool start) {
  return three(CMD_ACQUIRE, CMD_ACQUIRE_LENGTH, start ? 1 : 0);
}

QByteArray BusLoad() {
  platform::ProfileStore& p = platform::Profile();
  QByteArray b(CMD_BUS_LOAD_LENGTH, '\0');
  b[0] = char(CMD_BUS_LOAD);
  b[1] = char(CMD_BUS_LOAD_LENGTH);
  b[2] = char(low(p.GetProfileInt("PropertyPage1", "MasterLoad", 3)));
  b[3] = char(low(p.GetProfileInt("PropertyPage1", "MasterThreshold", 16)));
  b[4] = char(low(p.GetProfileInt("PropertyPage1", "SlaveThreshold", 16)));
  return b;
}

QByteArray LineSettings() {
  platform::ProfileStore& p = platform::Profile();
  uint32_t rate = 0;
  // An index outside the table (never stored by the settings page) sends 9600,
  // the rate of the default index, rather than an undefined value.
  if (!BaudRate(p.GetProfileInt("PropertyPage1", "Baudrate", 7), rate)) rate = 9600;
  QByteArray b(CMD_LINE_SETTINGS_LENGTH, '\0');
  b[0] = char(CMD_LINE_SETTINGS);
  b[1] = char(CMD_LINE_SETTINGS_LENGTH);
  for (int i = 0; i < 4; ++i) b[2 + i] = char(low(rate >> (8 * i)));
  b[6] = char(p.GetProfileInt("PropertyPage1", "Stopbits", 0) != 0 ? 2 : 0);
  b[7] = char(low(p.GetProfileInt("PropertyPage1", "Paritybits", 0)));
  b[8] = char(low(p.GetProfileInt("PropertyPage1", "Databits", 1) + 5));
  return b;
}

QByteArray Version(uint8_t selector) { return three(CMD_VERSION, CMD_VERSION_LENGTH, selector); }

QByteArray Boot() { return three(CMD_BOOT, CMD_BOOT_LENGTH, CMD_BOOT_ENTER); }

}  // namespace DeviceCommands
