#include <gtest/gtest.h>

#include <QDir>
#include <sys/stat.h>

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

// A name set later keeps the split folder and extension.
TEST(CFileUtilities, SplitComposeNumberAndTakeTheFirstFreeNumberAndTestAFifoAtOnce) {
  const char* cases[][4] = {
      {"/data/", "/data/", "", ""}, {"", "", "", ""}, {"/a.b/c/LOG.ANL", "/a.b/c/", "LOG", ".ANL"}};
  for (const auto& c : cases) {
    CFileUtilities u;
    u.SplitPath(c[0]);
    EXPECT_EQ(QStringList({u.GetDirectory(), u.GetFileName(), u.GetExtension()}), QStringList({c[1], c[2], c[3]}));
    u.SetFileName(QStringLiteral("ANALIZER.ANL"));
    EXPECT_EQ(u.GetFullPath(), QString(c[1]) + "ANALIZER.ANL" + c[3]) << c[0];
  }
  const char* steps[][2] = {
      {"/data/ANALIZER.ANL", "/data/ANALIZER(1).ANL"}, {"/data/ANALIZER(1).ANL", "/data/ANALIZER(2).ANL"},
      {"LOG(7).ANL", "LOG(8).ANL"},   {"LOG(99).ANL", "LOG(100).ANL"},     {"LOG().ANL", "LOG()(1).ANL"},
      {"LOG(a).ANL", "LOG(a)(1).ANL"}, {"LOG(1a).ANL", "LOG(1a)(1).ANL"}, {"/data/LOG", "/data/LOG(1)"},
      {"LOG", "LOG(1)"},               {"/data.old/LOG", "/data.old/LOG(1)"}, {"/data/", "/data/(1)"},
      {"A.B.ANL", "A.B(1).ANL"},
  };
  for (const auto& c : steps)
    EXPECT_EQ(CFileUtilities::NextNumberedPath(QString::fromLatin1(c[0])), QString::fromLatin1(c[1])) << c[0];

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

  // Numbering keeps the name field as it was set.
  CFileUtilities u;
  u.SplitPath(tmp.dir() + "/");
  u.SetFileName(QStringLiteral("A.ANL"));
  const QStringList fields{u.GetUniqueFileName(), u.GetFullPath(), u.GetFileName()};  // in this order
  EXPECT_EQ(fields, QStringList({tmp.file("A(4).ANL"), tmp.file("A(4).ANL"), "A.ANL"}));

  const QString before = QDir::currentPath();
  QDir::setCurrent(tmp.dir());
  touch(QStringLiteral("LOG"));
  EXPECT_EQ(uniqueFor(QStringLiteral("LOG")), QStringLiteral("LOG(1)")) << "a bare name is in the current folder";
  QDir::setCurrent(before);

  // The numbering decision of a new recording runs on the UI thread: a FIFO under the
  // configured name must not hold it until a writer opens the FIFO.
  const QString fifo = tmp.file("ANALIZER.ANL");
  ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0644), 0);
  u.SplitPath(fifo);
  EXPECT_TRUE(u.FileExists());
  bool empty = false;
  EXPECT_TRUE(testsupport::returnsAtOnce(fifo, [&] { return u.IsFileEmpty(); }, empty))
      << "the test waited for a writer of the FIFO";
  EXPECT_TRUE(empty) << "a FIFO holds no recording";
}
