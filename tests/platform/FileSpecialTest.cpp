#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/File.h"
#include "support/TestSupport.h"

using platform::File;
using platform::FileError;

namespace {

// Runs open on another thread; if it is still stuck after a generous time, opens the
// FIFO's other end so that the thread (and the test) can finish, and reports it.
bool openReturnsWithoutAPeer(const QString& fifo, File::Mode mode, FileError& err, bool& opened) {
  File file;
  auto result = std::async(std::launch::async, [&] { return file.open(fifo, mode, &err); });
  if (result.wait_for(std::chrono::seconds(20)) == std::future_status::ready) {
    opened = result.get();
    return true;
  }
  const int peer = ::open(fifo.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK);
  opened = result.get();
  if (peer >= 0) ::close(peer);
  return false;
}

}  // namespace

// A name chosen in File Open or configured for recording may be a FIFO or a device:
// the open must neither hang the UI waiting for a peer nor treat it as a file.
TEST(FileSpecial, FifoIsRefusedAtOnceInEveryMode) {
  testsupport::TempProfile tmp;
  const QString fifo = tmp.file("PIPE.ANL");
  ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0644), 0);
  for (File::Mode mode : {File::Mode::ReadShared, File::Mode::ReadDenyWrite, File::Mode::ReadWriteExclusive,
                          File::Mode::CreateWriteShared}) {
    FileError err;
    bool opened = true;
    EXPECT_TRUE(openReturnsWithoutAPeer(fifo, mode, err, opened)) << "open waited for the FIFO's other end";
    EXPECT_FALSE(opened);
    EXPECT_NE(err.cause, platform::FILE_CAUSE_NONE);
    EXPECT_NE(err.osError, 0);
  }
}

TEST(FileSpecial, RegularFilesKeepBlockingInputOutput) {
  // The non-blocking flag used for the open is gone afterwards: a regular file reads
  // and writes as before.
  testsupport::TempProfile tmp;
  File f;
  ASSERT_TRUE(f.open(tmp.file("R.ANL"), File::Mode::CreateWriteShared));
  EXPECT_EQ(::fcntl(f.descriptor(), F_GETFL) & O_NONBLOCK, 0);
  ASSERT_TRUE(f.write("abc", 3));
  char buf[3];
  EXPECT_EQ(f.readAt(0, buf, 3), 3);
}
