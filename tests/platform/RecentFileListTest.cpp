#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QFileInfo>

#include "platform/ProfileStore.h"
#include "platform/RecentFileList.h"
#include "support/TestSupport.h"

TEST(RecentFileList, MostRecentFirstTenEntriesNoDuplicates) {
  testsupport::TempProfile tmp;
  platform::RecentFileList list;
  int changes = 0;
  list.SetChangedCallback([&] { ++changes; });
  for (int i = 1; i <= 12; ++i) list.Add(tmp.file(QStringLiteral("F%1.ANL").arg(i)));
  QStringList entries = list.Entries();
  ASSERT_EQ(entries.size(), 10);
  EXPECT_EQ(entries.first(), tmp.file("F12.ANL"));
  EXPECT_EQ(entries.last(), tmp.file("F3.ANL"));
  EXPECT_EQ(changes, 12);

  list.Add(tmp.file("F5.ANL"));
  entries = list.Entries();
  ASSERT_EQ(entries.size(), 10);
  EXPECT_EQ(entries.first(), tmp.file("F5.ANL"));
  EXPECT_EQ(entries.count(tmp.file("F5.ANL")), 1);
  EXPECT_EQ(entries.at(1), tmp.file("F12.ANL"));

  // Stored in the profile under the framework's keys.
  EXPECT_EQ(platform::Profile().GetProfileString("Recent File List", "File1"), tmp.file("F5.ANL"));
  EXPECT_EQ(platform::Profile().GetProfileString("Recent File List", "File10"), tmp.file("F3.ANL"));

  list.Remove(tmp.file("F5.ANL"));
  EXPECT_EQ(list.Entries().size(), 9);
  EXPECT_EQ(list.Entries().first(), tmp.file("F12.ANL"));
  list.Add(QString());
  EXPECT_EQ(list.Entries().size(), 9) << "an empty path is not an entry";
}

TEST(RecentFileList, GapsInTheStoreAreSkipped) {
  testsupport::TempProfile tmp;
  platform::Profile().WriteProfileString("Recent File List", "File2", "/b.ANL");
  platform::Profile().WriteProfileString("Recent File List", "File4", "/d.ANL");
  platform::RecentFileList list;
  EXPECT_EQ(list.Entries(), (QStringList{"/b.ANL", "/d.ANL"}));
  list.Add("/d.ANL");
  EXPECT_EQ(list.Entries(), (QStringList{"/d.ANL", "/b.ANL"}));
}

TEST(RecentFileList, AnOpenSavesTheSettingsFileOnce) {
  testsupport::TempProfile tmp;
  platform::RecentFileList list;
  for (int i = 1; i <= 10; ++i) list.Add(tmp.file(QStringLiteral("F%1.ANL").arg(i)));
  const int fd = inotify_init1(IN_NONBLOCK);  // a save replaces the file
  inotify_add_watch(fd, QFile::encodeName(QFileInfo(platform::Profile().path()).absolutePath()).constData(), IN_MOVED_TO);
  list.Add(tmp.file("F3.ANL"));
  alignas(inotify_event) char buf[8192];
  const ssize_t n = read(fd, buf, sizeof buf);
  close(fd);
  EXPECT_EQ(n, ssize_t(sizeof(inotify_event) + reinterpret_cast<inotify_event*>(buf)->len));  // one event
  EXPECT_STREQ(reinterpret_cast<inotify_event*>(buf)->name, "VRIM.ini");
}
