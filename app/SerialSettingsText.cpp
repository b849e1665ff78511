#include "app/SerialSettingsText.h"

#include <array>

#include "common/SystemTypes.h"
#include "platform/ProfileStore.h"

namespace {

template <size_t N>
QString entry(const std::array<const char*, N>& list, uint32_t index) {
  // A stored index outside the list (never written by the settings page) shows "?"
  // rather than reading past the list.
  return index < N ? QString::fromLatin1(list[index]) : QStringLiteral("?");
}

}  // namespace

QString SerialSettingsText() {
  static constexpr std::array<const char*, 14> kBaud = {"300",   "600",   "1200",  "2400",  "3600",
                                                        "4800",  "7200",  "9600",  "14400", "19200",
                                                        "28800", "38400", "57600", "115200"};
  static constexpr std::array<const char*, 5> kData = {"5", "6", "7", "8", "9"};
  static constexpr std::array<const char*, 2> kStop = {"1", "2"};
  static constexpr std::array<const char*, 5> kParity = {"N", "E", "O", "M", "S"};

  platform::ProfileStore& p = platform::Profile();
  switch (p.GetProfileInt("PropertyPage1", "Protocol", 0)) {
    case PROTOCOL_STANDARD:
      return QStringLiteral("%1-%2-%3-%4")
          .arg(entry(kBaud, p.GetProfileInt("PropertyPage1", "Baudrate", 7)),
               entry(kData, p.GetProfileInt("PropertyPage1", "Databits", 1)),
               entry(kStop, p.GetProfileInt("PropertyPage1", "Stopbits", 0)),
               entry(kParity, p.GetProfileInt("PropertyPage1", "Paritybits", 0)));
    case PROTOCOL_MDB:
      return QStringLiteral("9600-8-1-M");
    case PROTOCOL_EXECUTIVE:
    case PROTOCOL_BDV:
      return QStringLiteral("9600-8-1-E");
    default:
      return {};
  }
}
