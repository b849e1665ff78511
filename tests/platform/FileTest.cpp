#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/File.h"
#include "platform/FileReplacer.h"
#include "support/TestSupport.h"

using platform::File;
using platform::FileError;

const File::Mode modes[] = {File::Mode::ReadShared, File::Mode::CreateWriteShared, File::Mode::ReadWriteExclusive,
                            File::Mode::ReadDenyWrite};

// Who may open a file that a handle holds: readers share it with everyone but an
// exclusive handle; there is one writer at most, and a deny-write reader keeps writers
// out. A refused open fails with the sharing-violation cause and changes nothing.
TEST(File, SharingRulesBetweenEveryPairOfModesFailureCausesAndAFifoRefusedAtOnce) {
  testsupport::TempProfile tmp;
  const QString path = tmp.file("a.anl");
  const char* const allowed[] = {"RW-D", "R---", "----", "R--D"};  // held mode (row) against opening mode
  for (int held = 0; held < 4; ++held) {
    for (int opening = 0; opening < 4; ++opening) {
      testsupport::writeWholeFile(path, "abcdef");
      File holder, other;
      ASSERT_TRUE(holder.open(path, modes[held]));
      FileError err;
      const bool ok = other.open(path, modes[opening], &err);
      EXPECT_EQ(ok, allowed[held][opening] != '-') << held << " then " << opening;
      EXPECT_EQ(err.cause, ok ? platform::FILE_CAUSE_NONE : platform::FILE_CAUSE_SHARING_VIOLATION);
      const bool created = held == 1 || (ok && opening == 1);
      EXPECT_EQ(holder.length(), created ? 0u : 6u) << "only a successful create cuts the file";
    }
  }
  File writer;
  ASSERT_TRUE(writer.open(path, File::Mode::CreateWriteShared));
  EXPECT_EQ(::fcntl(writer.descriptor(), F_GETFL) & O_NONBLOCK, 0) << "the open's non-blocking flag is gone";
  writer.close();
  EXPECT_TRUE(File().open(path, File::Mode::ReadWriteExclusive)) << "free again after close";

  File f;
  const std::tuple<QString, File::Mode, int, int> opens[] = {
      {tmp.file("missing.anl"), File::Mode::ReadShared, platform::FILE_CAUSE_NOT_FOUND, ENOENT},
      {tmp.file("no/such/dir/x.anl"), File::Mode::CreateWriteShared, platform::FILE_CAUSE_NOT_FOUND, ENOENT},
      {tmp.dir(), File::Mode::ReadShared, platform::FILE_CAUSE_ACCESS_DENIED, EISDIR}};
  for (const auto& [where, mode, cause, os] : opens) {
    FileError err;
    EXPECT_FALSE(f.open(where, mode, &err));
    EXPECT_EQ(std::pair(int(err.cause), int(err.osError)), std::pair(cause, os)) << where.toStdString();
  }
  EXPECT_EQ(f.readAt(0, nullptr, 0), -1);  // closed

  // A name chosen in File Open or configured for recording may be a FIFO: the open must
  // neither hang the UI waiting for a peer nor treat it as a file.
  const QString fifo = tmp.file("PIPE.ANL");
  ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0644), 0);
  for (File::Mode mode : modes) {
    File file;
    FileError err;
    bool opened = true;
    EXPECT_TRUE(testsupport::returnsAtOnce(fifo, [&] { return file.open(fifo, mode, &err); }, opened))
        << "open waited for the FIFO's other end";
    EXPECT_FALSE(opened);
    EXPECT_NE(err.cause, platform::FILE_CAUSE_NONE);
    EXPECT_NE(err.osError, 0);
  }
}

// The child half of the cross-process test: holds the file open for reading until its standard input closes.
TEST(File, ChildHalfHoldsTheFileWhenAsked) {
  const QString path = QString::fromLocal8Bit(qgetenv("VRIM_CHILD_HOLD"));
  if (path.isEmpty()) return;
  File f;
  ASSERT_TRUE(f.open(path, File::Mode::ReadShared));
  std::printf("held\n");
  std::fflush(stdout);
  char c;
  while (::read(0, &c, 1) > 0) continue;
}

TEST(File, ExclusiveOpenFailsWhileAnotherProcessHoldsTheFile) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  testsupport::TempProfile tmp;
  const QString path = tmp.file("c.anl");
  testsupport::writeWholeFile(path, "x");
  QProcess holder;
  testsupport::startChildHalf(holder, "File.ChildHalfHoldsTheFileWhenAsked", {"VRIM_CHILD_HOLD=" + path});
  ASSERT_TRUE(holder.waitForStarted(10000));
  while (!holder.readAllStandardOutput().contains("held") && holder.state() == QProcess::Running)
    holder.waitForReadyRead(10000);
  File excl;
  FileError err;
  EXPECT_FALSE(excl.open(path, File::Mode::ReadWriteExclusive, &err));
  EXPECT_EQ(err.cause, platform::FILE_CAUSE_SHARING_VIOLATION);
  holder.closeWriteChannel();
  ASSERT_TRUE(holder.waitForFinished(10000));
  EXPECT_TRUE(excl.open(path, File::Mode::ReadWriteExclusive));
}

// The new version is on the disk before it takes the name: a rename that fails has
// been preceded by the flush.
TEST(FileReplacer, FlushesTheNewVersionBeforeTheRename) {
  testsupport::TempProfile tmp;
  platform::FileReplacer replacer;
  ASSERT_TRUE(replacer.Begin(tmp.file("a.anl"), nullptr) && replacer.Write("new", 3, nullptr));
  ASSERT_TRUE(QDir().mkdir(tmp.file("a.anl")));  // a folder now holds the name
  const uint64_t flushes = platform::flushCount();
  EXPECT_FALSE(replacer.Commit(nullptr));
  EXPECT_EQ(platform::flushCount(), flushes + 1);
}
