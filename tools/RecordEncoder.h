#pragma once

#include <QByteArray>
#include <cstdint>

struct BusByte;

// Turns bus bytes into device records (flags, data, one to four time bytes) the
// way the simulated device reports them: the first record after Restart and every
// so often another one carry the absolute running time, the others a delta; the
// time field is as short as the value allows, with now and then a longer one.
// It also keeps the running time a receiver of these records arrives at, so that
// the items it must store are known.
class RecordEncoder {
public:
  explicit RecordEncoder(uint32_t seed = 1) : m_state(seed | 1) {}

  // The next record starts from an absolute time.
  void Restart() { m_absoluteNext = true; }

  // Appends the record for the byte to out and returns the 6-byte item it gives.
  QByteArray Encode(const BusByte& b, QByteArray& out);

  uint32_t DeviceTime() const { return m_deviceTime; }
  // Starts the device's clock at a chosen value (to exercise the 32-bit wrap).
  void SetDeviceTime(uint32_t t) { m_deviceTime = t; }

private:
  uint32_t nextRandom();

  uint32_t m_deviceTime = 0;
  bool m_absoluteNext = true;
  uint32_t m_state;
};
