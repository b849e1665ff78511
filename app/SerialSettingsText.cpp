#include "app/SerialSettingsText.h"

#include <array>

#include "capture/DeviceCommands.h"
#include "common/SystemTypes.h"
#include "platform/ProfileStore.h"

namespace {

template <size_t N>
QString entry(const std::array<const char*, N>& list, uint32_t index) {
  // A stored index outside the list (never written by the settings page) shows "?"
  // rather than reading past the list.
  return index < N ? QString::fromLatin1(list[index]) : QStringLiteral("?");
}

// The rate the device is set to, from the table that builds its line settings.
QString baudText(uint32_t index) {
  uint32_t rate = 0;
  return DeviceCommands::BaudRate(index, rate) ? QString::number(rate) : QStringLiteral("?");
}

}  // namespace

QString SerialSettingsText() {
  static constexpr std::array<const char*, 5> DATA_BITS = {"5", "6", "7", "8", "9"};
  static constexpr std::array<const char*, 2> STOP_BITS = {"1", "2"};
  static constexpr std::array<const char*, 5> PARITY = {"N", "E", "O", "M", "S"};

  platform::ProfileStore& p = platform::Profile();
  switch (p.GetProfileInt("PropertyPage1", "Protocol", 0)) {
    case PROTOCOL_STANDARD:
      return QStringLiteral("%1-%2-%3-%4")
          .arg(baudText(p.GetProfileInt("PropertyPage1", "Baudrate", 7)),
               entry(DATA_BITS, p.GetProfileInt("PropertyPage1", "Databits", 1)),
               entry(STOP_BITS, p.GetProfileInt("PropertyPage1", "Stopbits", 0)),
               entry(PARITY, p.GetProfileInt("PropertyPage1", "Paritybits", 0)));
    case PROTOCOL_MDB:
      return QStringLiteral("9600-8-1-M");
    case PROTOCOL_EXECUTIVE:
    case PROTOCOL_BDV:
      return QStringLiteral("9600-8-1-E");
    default:
      return {};
  }
}
