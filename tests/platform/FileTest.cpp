#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <cstdio>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
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

// Another program's writer takes none of our locks: the kernel tells of it. A reader
// of another program is no writer, and the file opens again once the writer is gone.
TEST(File, DenyWriteOpenFailsWhileAnotherProgramWritesTheFile) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  testsupport::TempProfile tmp;
  const QString path = tmp.file("w.anl");
  testsupport::writeWholeFile(path, "abcdef");
  QProcess writer, reader;
  ASSERT_TRUE(testsupport::holdInOtherProgram(writer, path, true));
  File f;
  FileError err;
  EXPECT_FALSE(f.open(path, File::Mode::ReadDenyWrite, &err));
  EXPECT_EQ(err.cause, platform::FILE_CAUSE_SHARING_VIOLATION);
  EXPECT_TRUE(f.open(path, File::Mode::ReadShared)) << "sharing readers still read what is being written";
  ASSERT_TRUE(testsupport::releaseHold(writer));
  EXPECT_TRUE(f.open(path, File::Mode::ReadDenyWrite)) << "the writer has gone";
  f.close();
  ASSERT_TRUE(testsupport::holdInOtherProgram(reader, path, false));
  EXPECT_TRUE(f.open(path, File::Mode::ReadDenyWrite));
  f.close();
  EXPECT_TRUE(testsupport::releaseHold(reader));
  EXPECT_EQ(testsupport::readWholeFile(path), "abcdef");
}

// The child half of the next test: without CAP_LEASE, and not the file's owner, it can
// take no lease; it opens the file denying writers and says whether that worked.
TEST(File, ChildHalfOpensWithoutLeaseRights) {
  const QString path = QString::fromLocal8Bit(qgetenv("VRIM_CHILD_NO_LEASE"));
  if (path.isEmpty()) return;
  __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct caps[2]{};
  ASSERT_EQ(::syscall(SYS_capget, &head, caps), 0);
  caps[CAP_LEASE / 32].effective &= ~(1u << (CAP_LEASE % 32));
  caps[CAP_LEASE / 32].permitted &= ~(1u << (CAP_LEASE % 32));
  ASSERT_EQ(::syscall(SYS_capset, &head, caps), 0);
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::fcntl(fd, F_SETLEASE, F_RDLCK), -1);
  ASSERT_EQ(errno, EACCES);
  ::close(fd);
  File f;
  std::printf(f.open(path, File::Mode::ReadDenyWrite) ? "opened\n" : "refused\n");
  std::fflush(stdout);
}

// Where no lease can be taken the writers of other programs go unseen, and the open
// goes ahead as before.
TEST(File, DenyWriteOpenWithoutLeaseRightsGoesAhead) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  testsupport::TempProfile tmp;
  const QString path = tmp.file("n.anl");
  testsupport::writeWholeFile(path, "abcdef");
  if (::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
    GTEST_SKIP() << "needs root to give the file to another user";
  const int writing = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(writing, 0);
  QProcess child;
  testsupport::startChildHalf(child, "File.ChildHalfOpensWithoutLeaseRights", {"VRIM_CHILD_NO_LEASE=" + path});
  EXPECT_TRUE(child.waitForFinished(30000));
  const QByteArray said = child.readAllStandardOutput();
  EXPECT_TRUE(said.contains("opened")) << said.constData() << child.readAllStandardError().constData();
  ::close(writing);
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
