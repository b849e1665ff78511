#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QThread>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

#include "capture/CComm.h"
#include "capture/ComPortPath.h"
#include "capture/SerialRate.h"
#include "support/PtyDevice.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::PtyDevice;

namespace {

struct Collected {
  std::mutex mutex;
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> errors;
  std::atomic<int> calls{0};
};

void collect(void* context, uint8_t byte, uint32_t errors) {
  auto* c = static_cast<Collected*>(context);
  std::lock_guard lock(c->mutex);
  c->bytes.push_back(byte);
  c->errors.push_back(errors);
  ++c->calls;
}

}  // namespace

// A missing port's message is pinned where the program connects.
TEST(CCommOpen, PortNumbersMapToDevicesAPortInUseShowsTheMessageAndSettingsReachTheTerminal) {
  for (auto [number, path] : {std::pair{1u, "/dev/ttyS0"}, {32u, "/dev/ttyS31"}, {33u, "/dev/ttyUSB0"},
                              {64u, "/dev/ttyUSB31"}, {65u, "/dev/ttyACM0"}, {96u, "/dev/ttyACM31"},
                              {0u, ""}, {97u, ""}})
    EXPECT_EQ(ComPortPath::Resolve(number), QString(path)) << number;
  testsupport::RecordingMessageBox box;
  EXPECT_FALSE(CComm::PortExists(200));
  PtyDevice dev(11);
  ASSERT_TRUE(dev.ok());
  EXPECT_EQ(ComPortPath::Resolve(11), dev.link());  // a link in the ports folder wins
  EXPECT_TRUE(CComm::PortExists(11));
  EXPECT_TRUE(CComm::PortExists(11));  // the probe left it closed
  CComm first, second;
  ASSERT_NE(first.Open(11, nullptr, nullptr, false), CComm::INVALID_HANDLE);
  EXPECT_FALSE(CComm::PortExists(11));
  EXPECT_EQ(second.Open(11, nullptr, nullptr, false), CComm::INVALID_HANDLE);
  EXPECT_FALSE(second.IsOpen());
  first.Close();
  EXPECT_EQ(first.GetPortNumber(), 0u);
  EXPECT_TRUE(CComm::PortExists(11));

  // Rates the table lacks run as the driver's custom rate, one it refuses fails the
  // open with the port's message; each open finds the port open and closes it first.
  CComm port;
  ASSERT_NE(port.Open(11, nullptr, nullptr, false), CComm::INVALID_HANDLE);
  termios tio{};
  const int slave = ::open(dev.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ::tcgetattr(slave, &tio);
  ::close(slave);
  EXPECT_EQ(cfgetospeed(&tio), B9600);
  EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);  // raw: nothing echoed back to the device
  port.Close();

  Collected got;
  for (uint32_t baud : {3600u, 7200u, 14400u, 28800u, 0u}) {
    port.SetParams(baud, 8, CComm::NOPARITY, CComm::ONESTOPBIT);
    EXPECT_EQ(port.Open(11, &collect, &got, false) != CComm::INVALID_HANDLE, baud != 0) << baud;
    const int fd = ::open(dev.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_TRUE(baud == 0 || SerialRate::Read(fd) == baud) << baud;
    ::close(fd);
  }
  EXPECT_FALSE(port.IsOpen());
  const QString failed = "Failed to open serial port COM11:\r\nError: %1";
  EXPECT_EQ(box.texts(), std::vector<QString>({failed.arg(EBUSY), failed.arg(EINVAL)}));
  EXPECT_EQ(box.shown()[0].type, platform::MB_OK | platform::MB_ICONERROR);

  // A pseudo-terminal forces 8 data bits without parity, so the full settings are
  // checked on the configuration handed to it.
  const struct { uint32_t data, parity, stop; tcflag_t flags; } cases[] = {
      {7, CComm::NOPARITY, CComm::ONESTOPBIT, CS7},
      {7, CComm::ODDPARITY, CComm::ONESTOPBIT, CS7 | PARENB | PARODD},
      {7, CComm::EVENPARITY, CComm::ONESTOPBIT, CS7 | PARENB},
      {7, CComm::MARKPARITY, CComm::ONESTOPBIT, CS7 | PARENB | PARODD | CMSPAR},
      {7, CComm::SPACEPARITY, CComm::ONESTOPBIT, CS7 | PARENB | CMSPAR},
      {5, CComm::NOPARITY, CComm::ONE5STOPBITS, CS5 | CSTOPB},
      {8, CComm::NOPARITY, CComm::TWOSTOPBITS, CS8 | CSTOPB},
  };
  for (const auto& c : cases) {
    tio = termios{};
    tio.c_cflag = PARENB | PARODD | CMSPAR | CRTSCTS | CSTOPB | CS8;
    tio.c_lflag = ICANON | ECHO;
    CComm::ApplyLineSettings(tio, 38400, c.data, c.parity, c.stop);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS), c.flags) << c.parity << c.stop;
    EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.parity != CComm::NOPARITY);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(cfgetispeed(&tio), B38400);
  }
}

// Without a callback reads and writes wait at most their time-out; a callback gets the bytes in order until
// Close, and an unplugged device once.
TEST(CCommRead, SynchronousReadAndWriteWaitAtMostTheirTimeOutACallbackGetsTheBytesUntilCloseOrUnplug) {
  PtyDevice dev(16);
  ASSERT_TRUE(dev.ok());
  CComm port;
  ASSERT_NE(port.Open(16, nullptr, nullptr, false), CComm::INVALID_HANDLE);

  uint32_t written = 0;
  EXPECT_TRUE(port.Write("hello\r", 6, &written) && written == 6u);
  EXPECT_EQ(dev.read(6), QByteArray("hello\r"));

  char buf[16] = {};
  uint32_t n = 99;
  EXPECT_FALSE(port.Read(buf, sizeof buf, &n));  // nothing arrives: false after the wait
  dev.write("OK");
  ASSERT_TRUE(testsupport::waitFor([&] { return port.Read(buf, 1, &n) && n == 1; }));
  EXPECT_EQ(buf[0], 'O');
  ASSERT_TRUE(port.Read(buf, sizeof buf, &n));
  EXPECT_EQ(QByteArray(buf, n), "K");  // true with fewer bytes than asked for

  // More than the terminal holds while the device reads nothing: FALSE after the
  // wait, with the part that was taken reported.
  const QByteArray flood(1 << 20, 'z');
  written = 0;
  EXPECT_FALSE(port.Write(flood.constData(), static_cast<uint32_t>(flood.size()), &written));
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, static_cast<uint32_t>(flood.size()));
  EXPECT_EQ(dev.readFor(200).size(), static_cast<qsizetype>(written));

  dev.write("stale");
  QThread::msleep(50);
  EXPECT_TRUE(port.Purge());
  EXPECT_FALSE(port.Read(buf, sizeof buf, &n));
  port.Close();
  EXPECT_FALSE(port.Purge());

  Collected got;
  ASSERT_NE(port.Open(16, &collect, &got, false), CComm::INVALID_HANDLE);
  dev.write("abc");
  ASSERT_TRUE(testsupport::waitFor([&] { return got.calls.load() >= 3; }));
  errno = 0;
  EXPECT_FALSE(port.Read(buf, 1, &n)) << "the read thread owns the input";
  EXPECT_EQ(errno, EACCES);

  port.Close();
  EXPECT_FALSE(port.IsOpen());
  dev.write("more");
  QThread::msleep(100);
  EXPECT_EQ(got.calls.load(), 3) << "Close ends the read thread";

  // An unplugged device is reported once, with byte 0 and errno, without spinning.
  ASSERT_NE(port.Open(16, &collect, &got, false), CComm::INVALID_HANDLE);
  dev.write("dz");  // "more" may still come first: its last letter must not end the wait
  ASSERT_TRUE(testsupport::waitFor([&] {
    std::lock_guard lock(got.mutex);
    return got.bytes.back() == 'z';
  }));
  const int before = got.calls.load();
  dev.Unplug();
  ASSERT_TRUE(testsupport::waitFor([&] { return got.calls.load() > before; }));
  QThread::msleep(200);
  std::lock_guard lock(got.mutex);
  ASSERT_EQ(got.calls.load(), before + 1);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(got.bytes.data()), 3), "abc");
  EXPECT_EQ(std::count(got.errors.begin(), got.errors.end(), 0u), before);
  EXPECT_EQ(std::pair(got.bytes.back(), got.errors.back()), std::pair(uint8_t{0}, uint32_t(EIO)));
}
