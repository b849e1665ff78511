#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QFileInfo>

#include "platform/ProfileStore.h"
#include "platform/RecentFileList.h"
#include "support/TestSupport.h"

TEST(RecentFileList, MostRecentFirstTenEntriesNoDuplicatesGapsInTheStoreSkipped) {
  testsupport::TempProfile tmp;
  platform::Profile().WriteProfileString("Recent File List", "File2", "/b.ANL");
  platform::Profile().WriteProfileString("Recent File List", "File4", "/d.ANL");
  platform::RecentFileList list;
  EXPECT_EQ(list.Entries(), (QStringList{"/b.ANL", "/d.ANL"}));
  list.Add("/d.ANL");
  EXPECT_EQ(list.Entries(), (QStringList{"/d.ANL", "/b.ANL"}));
  int changes = 0;
  list.SetChangedCallback([&] { ++changes; });
  const auto f = [&](int i) { return tmp.file(QStringLiteral("F%1.ANL").arg(i)); };
  QStringList expected;
  for (int i = 1; i <= 12; ++i) list.Add(f(i));
  for (int i = 12; i >= 3; --i) expected << f(i);
  EXPECT_EQ(list.Entries(), expected);
  EXPECT_EQ(changes, 12);
  list.Add(f(5));
  expected.move(expected.indexOf(f(5)), 0);
  EXPECT_EQ(list.Entries(), expected);
  // Stored in the profile under the framework's keys.
  EXPECT_EQ(platform::Profile().GetProfileString("Recent File List", "File1"), f(5));
  EXPECT_EQ(platform::Profile().GetProfileString("Recent File List", "File10"), f(3));
  list.Remove(f(5));
  list.Add(QString());  // an empty path is not an entry
  expected.removeFirst();
  EXPECT_EQ(list.Entries(), expected);
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
