#include <gtest/gtest.h>

#include <QDir>
#include <sys/stat.h>
#include <unistd.h>

#include "capture/CFileUtilities.h"
#include "support/TestSupport.h"

namespace {

void touch(const QString& path, const QByteArray& content = "x") { testsupport::writeWholeFile(path, content); }

QString uniqueFor(const QString& path) {
  CFileUtilities u;
  u.SplitPath(path);
  return u.GetUniqueFileName();
}

}  // namespace

TEST(CFileUtilities, SplitAndComposeWithSlashFolders) {
  CFileUtilities u;
  u.SplitPath(QStringLiteral("/data/"));
  EXPECT_EQ(u.GetDirectory(), QStringLiteral("/data/"));
  EXPECT_TRUE(u.GetFileName().isEmpty());
  u.SetFileName(QStringLiteral("ANALIZER.ANL"));
  EXPECT_EQ(u.GetFullPath(), QStringLiteral("/data/ANALIZER.ANL"));
  EXPECT_EQ(u.GetFileName(), QStringLiteral("ANALIZER.ANL"));
  EXPECT_TRUE(u.GetExtension().isEmpty());

  CFileUtilities empty;
  empty.SplitPath(QString());
  empty.SetFileName(QStringLiteral("ANALIZER.ANL"));
  EXPECT_EQ(empty.GetFullPath(), QStringLiteral("ANALIZER.ANL"));

  CFileUtilities parts;
  parts.SplitPath(QStringLiteral("/a.b/c/LOG.ANL"));
  EXPECT_EQ(parts.GetDirectory(), QStringLiteral("/a.b/c/"));
  EXPECT_EQ(parts.GetFileName(), QStringLiteral("LOG"));
  EXPECT_EQ(parts.GetExtension(), QStringLiteral(".ANL"));
}

TEST(CFileUtilities, NumberingSteps) {
  struct Case {
    const char* from;
    const char* to;
  };
  const Case cases[] = {
      {"/data/ANALIZER.ANL", "/data/ANALIZER(1).ANL"},
      {"/data/ANALIZER(1).ANL", "/data/ANALIZER(2).ANL"},
      {"LOG(7).ANL", "LOG(8).ANL"},
      {"LOG().ANL", "LOG()(1).ANL"},
      {"LOG(a).ANL", "LOG(a)(1).ANL"},
      {"LOG(1a).ANL", "LOG(1a)(1).ANL"},
      {"/data/LOG", "/data/LOG(1)"},
      {"LOG", "LOG(1)"},
      {"/data.old/LOG", "/data.old/LOG(1)"},
      {"/data/", "/data/(1)"},
      {"A.B.ANL", "A.B(1).ANL"},
      {"LOG(99).ANL", "LOG(100).ANL"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CFileUtilities::NextNumberedPath(QString::fromLatin1(c.from)), QString::fromLatin1(c.to)) << c.from;
}

TEST(CFileUtilities, UniqueNameTakesTheFirstFreeNumberWithoutFillingGapsBackwards) {
  testsupport::TempProfile tmp;
  const QString a = tmp.file("A.ANL");
  EXPECT_EQ(uniqueFor(a), a) << "a free path stays as it is";

  touch(a);
  touch(tmp.file("A(3).ANL"));
  EXPECT_EQ(uniqueFor(a), tmp.file("A(1).ANL"));

  touch(tmp.file("A(1).ANL"), QByteArray());  // existing but empty still counts as taken
  touch(tmp.file("A(2).ANL"));
  EXPECT_EQ(uniqueFor(a), tmp.file("A(4).ANL"));

  touch(tmp.file("LOG(7).ANL"));
  EXPECT_EQ(uniqueFor(tmp.file("LOG(7).ANL")), tmp.file("LOG(8).ANL"));
}

TEST(CFileUtilities, UniqueNameKeepsNameAndExtensionFields) {
  testsupport::TempProfile tmp;
  touch(tmp.file("ANALIZER.ANL"));
  CFileUtilities u;
  u.SplitPath(tmp.dir() + "/");
  u.SetFileName(QStringLiteral("ANALIZER.ANL"));
  EXPECT_EQ(u.GetUniqueFileName(), tmp.file("ANALIZER(1).ANL"));
  EXPECT_EQ(u.GetFullPath(), tmp.file("ANALIZER(1).ANL"));
  EXPECT_EQ(u.GetFileName(), QStringLiteral("ANALIZER.ANL"));
}

TEST(CFileUtilities, BareRelativeNameIsNumberedInTheCurrentFolder) {
  testsupport::TempProfile tmp;
  const QString before = QDir::currentPath();
  QDir::setCurrent(tmp.dir());
  touch(QStringLiteral("LOG"));
  EXPECT_EQ(uniqueFor(QStringLiteral("LOG")), QStringLiteral("LOG(1)"));
  QDir::setCurrent(before);
}

TEST(CFileUtilities, ExistsAndEmpty) {
  testsupport::TempProfile tmp;
  CFileUtilities u;
  u.SplitPath(tmp.file("F.ANL"));
  EXPECT_FALSE(u.FileExists());
  EXPECT_TRUE(u.IsFileEmpty()) << "a missing file cannot be read, so it counts as empty";
  touch(tmp.file("F.ANL"), QByteArray());
  EXPECT_TRUE(u.FileExists());
  EXPECT_TRUE(u.IsFileEmpty());
  touch(tmp.file("F.ANL"), "12");
  EXPECT_FALSE(u.IsFileEmpty());

  if (::geteuid() != 0) {  // root reads every file
    ::chmod(tmp.file("F.ANL").toLocal8Bit().constData(), 0);
    EXPECT_TRUE(u.IsFileEmpty()) << "an unreadable file counts as empty";
    ::chmod(tmp.file("F.ANL").toLocal8Bit().constData(), 0644);
  }
}
