#include <gtest/gtest.h>

#include "capture/DeviceCommands.h"
#include "platform/ProfileStore.h"
#include "support/TestSupport.h"

using testsupport::hex;

TEST(DeviceCommands, DefaultsAndStoredSettingsGiveTheKnownFrames) {
  testsupport::TempProfile tmp;
  EXPECT_EQ(DeviceCommands::BusLoad(), hex("04 05 03 10 10"));
  EXPECT_EQ(DeviceCommands::LineSettings(), hex("06 09 80 25 00 00 00 00 06"));
  EXPECT_EQ(DeviceCommands::Acquire(true), hex("03 03 01"));
  EXPECT_EQ(DeviceCommands::Acquire(false), hex("03 03 00"));
  EXPECT_EQ(DeviceCommands::Version(), hex("01 03 01"));
  EXPECT_EQ(DeviceCommands::Boot(), hex("05 03 03"));

  auto& p = platform::Profile();
  for (auto [key, value] : {std::pair{"Baudrate", 13}, {"Stopbits", 1}, {"Paritybits", 2}, {"Databits", 3}})
    p.WriteProfileInt("PropertyPage1", key, value);
  EXPECT_EQ(DeviceCommands::LineSettings(), hex("06 09 00 C2 01 00 02 02 08"));
  p.WriteProfileInt("PropertyPage1", "Baudrate", 0);
  p.WriteProfileInt("PropertyPage1", "Stopbits", 7);  // any nonzero is two stop bits: 2, never 1
  EXPECT_EQ(DeviceCommands::LineSettings().mid(2, 5), hex("2C 01 00 00 02"));
  p.WriteProfileInt("PropertyPage1", "Baudrate", 14);  // outside the table
  EXPECT_EQ(DeviceCommands::LineSettings().mid(2, 4), hex("80 25 00 00"));
  // Only the threshold's low byte goes out.
  for (auto [key, value] : {std::pair{"MasterLoad", 0}, {"MasterThreshold", 31}, {"SlaveThreshold", 0x1FF}})
    p.WriteProfileInt("PropertyPage1", key, value);
  EXPECT_EQ(DeviceCommands::BusLoad(), hex("04 05 00 1F FF"));
}
