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
  p.WriteProfileInt("PropertyPage1", "Baudrate", 13);
  p.WriteProfileInt("PropertyPage1", "Stopbits", 1);
  p.WriteProfileInt("PropertyPage1", "Paritybits", 2);
  p.WriteProfileInt("PropertyPage1", "Databits", 3);
  EXPECT_EQ(DeviceCommands::LineSettings(), hex("06 09 00 C2 01 00 02 02 08"));
  p.WriteProfileInt("PropertyPage1", "Baudrate", 0);
  p.WriteProfileInt("PropertyPage1", "Stopbits", 7);  // any nonzero is two stop bits: 2, never 1
  EXPECT_EQ(DeviceCommands::LineSettings().mid(2, 5), hex("2C 01 00 00 02"));
  p.WriteProfileInt("PropertyPage1", "Baudrate", 14);  // outside the table
  EXPECT_EQ(DeviceCommands::LineSettings().mid(2, 4), hex("80 25 00 00"));
  p.WriteProfileInt("PropertyPage1", "MasterLoad", 0);
  p.WriteProfileInt("PropertyPage1", "MasterThreshold", 31);
  p.WriteProfileInt("PropertyPage1", "SlaveThreshold", 0x1FF);  // only the low byte goes out
  EXPECT_EQ(DeviceCommands::BusLoad(), hex("04 05 00 1F FF"));
}
