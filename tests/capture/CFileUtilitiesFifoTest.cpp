#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include "capture/CFileUtilities.h"
#include "support/TestSupport.h"

// The numbering decision of a new recording runs on the UI thread: a FIFO under the
// configured name must not hold it until a writer opens the FIFO.
TEST(CFileUtilitiesFifo, EmptinessTestOfAFifoReturnsAtOnce) {
  testsupport::TempProfile tmp;
  const QString fifo = tmp.file("ANALIZER.ANL");
  ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0644), 0);
  CFileUtilities u;
  u.SplitPath(tmp.dir() + "/");
  u.SetFileName(QStringLiteral("ANALIZER.ANL"));
  EXPECT_TRUE(u.FileExists());
  auto empty = std::async(std::launch::async, [&] { return u.IsFileEmpty(); });
  const bool returned = empty.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  if (!returned) {  // let the stuck open finish so that the test can end
    const int peer = ::open(fifo.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK);
    empty.wait();
    if (peer >= 0) ::close(peer);
  }
  EXPECT_TRUE(returned) << "the test waited for a writer of the FIFO";
  EXPECT_TRUE(empty.get()) << "a FIFO holds no recording";
}
