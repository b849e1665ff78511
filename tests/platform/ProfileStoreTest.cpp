#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "platform/ProfileStore.h"
#include "support/TestSupport.h"

using platform::ProfileStore;

// Integers are written signed and read unsigned; an absent key gives its default and reading does not store
// it; texts that look like numbers or INI syntax, sections with blanks or named "General", and binary values
// with NUL bytes come back as written, also through a batch.
TEST(ProfileStore, ValuesComeBackAsWrittenAndIntegersUnsigned) {
  testsupport::TempProfile tmp;
  ProfileStore& p = platform::Profile();
  EXPECT_EQ(p.GetProfileInt("PropertyPage1", "Baudrate", 7), 7u);
  EXPECT_EQ(p.GetProfileInt("PropertyPage1", "Baudrate", 8), 8u);
  EXPECT_EQ(p.GetProfileInt("X", "Absent", -1), 0xFFFFFFFFu);
  for (auto [value, back] : {std::pair{11, 11u}, {-1, 0xFFFFFFFFu}, {INT32_MIN, 0x80000000u}}) {
    EXPECT_TRUE(p.WriteProfileInt("PropertyPage1", "Baudrate", value));
    EXPECT_EQ(p.GetProfileInt("PropertyPage1", "Baudrate", 7), back);
  }
  EXPECT_EQ(p.GetProfileString("PropertyPage2", "SerialPort", "COM1:"), QStringLiteral("COM1:"));
  const std::tuple<const char*, const char*, QString> texts[] = {
      {"PropertyPage2", "SerialPort", "COM7:"}, {"Recent File List", "File1", "/data/ANALIZER.ANL"},
      {"Other", "File1", "x"}, {"PropertyPage4", "Project", "; [x] = 1,2 \"q\" @ByteArray() %41 \\"},
      {"PropertyPage4", "Version", ""}};
  for (const auto& [section, key, text] : texts) p.WriteProfileString(section, key, text);
  p.WriteProfileInt("General", "DisplayAttribute", 8);
  for (const auto& [section, key, text] : texts) EXPECT_EQ(p.GetProfileString(section, key, "dflt"), text) << key;
  EXPECT_EQ(p.GetProfileInt("General", "DisplayAttribute", 2), 8u);
  EXPECT_FALSE(p.GetProfileBinary("TriggerSetup", "StartPattern_00").has_value());
  for (const QByteArray& bytes : {QByteArray("\x00\x7E\x00\xFF\x0A\x0D", 6), QByteArray("")}) {
    p.WriteProfileBinary("TriggerSetup", "StartPattern_00", bytes.constData(), bytes.size());
    EXPECT_EQ(p.GetProfileBinary("TriggerSetup", "StartPattern_00"), std::optional<QByteArray>(bytes));
  }
  {  // a batch, nested too, is seen at once and reaches the store when it ends
    const ProfileStore::Batch outer(p), inner(p);
    p.WriteProfileInt("PropertyPage1", "Baudrate", 3);
    EXPECT_EQ(p.GetProfileInt("PropertyPage1", "Baudrate", 7), 3u);
  }
  EXPECT_EQ(ProfileStore(p.path()).GetProfileInt("PropertyPage1", "Baudrate", 7), 3u);

  // Each profile has a file of its own under the configuration folder.
  QTemporaryDir home;
  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
  EXPECT_EQ(ProfileStore::pathForKey("Quellfeld_07"), home.path() + "/Quellfeld_07/VRIM.ini");
  ProfileStore p0(ProfileStore::pathForKey("Quellfeld")), p7(ProfileStore::pathForKey("Quellfeld_07"));
  p0.WriteProfileInt("PropertyPage2", "HDLCConnect", 1);
  p7.WriteProfileInt("PropertyPage2", "HDLCConnect", 0);
  EXPECT_EQ(p0.GetProfileInt("PropertyPage2", "HDLCConnect", 5), 1u);
  EXPECT_EQ(p7.GetProfileInt("PropertyPage2", "HDLCConnect", 5), 0u);
  qunsetenv("XDG_CONFIG_HOME");
  EXPECT_TRUE(ProfileStore::pathForKey("Quellfeld").endsWith("/.config/Quellfeld/VRIM.ini"));
  qputenv("XDG_CONFIG_HOME", saved);
}

// The child half of the cross-process test: does its work only when the parent started it for that.
TEST(ProfileStore, ChildHalfWritesWhenAsked) {
  const QString path = QString::fromLocal8Bit(qgetenv("VRIM_CHILD_PROFILE"));
  if (path.isEmpty()) return;
  ProfileStore p(path);
  p.WriteProfileInt("PropertyPage3", "FileMaxSize", qEnvironmentVariableIntValue("VRIM_CHILD_VALUE"));
}

TEST(ProfileStore, AValueWrittenByAnotherProcessIsSeenAtTheNextRead) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  testsupport::TempProfile tmp;
  ProfileStore p(tmp.file("shared/VRIM.ini"));
  for (int value : {3, 4, -2}) {
    // Read first, so that any cache inside this process would hold the old value.
    p.WriteProfileInt("PropertyPage3", "FileMaxSize", 1);
    EXPECT_EQ(p.GetProfileInt("PropertyPage3", "FileMaxSize", 0), 1u);
    QProcess child;
    const QStringList vars = {"VRIM_CHILD_PROFILE=" + p.path(), "VRIM_CHILD_VALUE=" + QString::number(value)};
    testsupport::startChildHalf(child, "ProfileStore.ChildHalfWritesWhenAsked", vars);
    ASSERT_TRUE(child.waitForFinished(30000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
    EXPECT_EQ(p.GetProfileInt("PropertyPage3", "FileMaxSize", 0), static_cast<uint32_t>(value));
  }
}
