#include "capture/SerialRate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

bool SerialRate::SetCustom(int fd, uint32_t baud) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = t.c_ospeed = baud;
  if (::ioctl(fd, TCSETS2, &t) != 0) return false;
  // A driver may round to what its clock divides to, or ignore the request.
  const uint64_t got = Read(fd);
  const uint64_t off = got > baud ? got - baud : baud - got;
  if (got == 0 || off * 100 > uint64_t{baud} * 3) {
    errno = EINVAL;
    return false;
  }
  return true;
}

uint32_t SerialRate::Read(int fd) {
  termios2 t{};
  return ::ioctl(fd, TCGETS2, &t) == 0 ? t.c_ospeed : 0;
}
