#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>

// One byte seen on the monitored bus, as the device would report it.
struct BusByte {
  uint8_t data = 0;
  bool fromPeripheral = false;  // direction A <--- B
  bool modeBit = false;         // the ninth bit
  uint8_t errors = 0;           // any of 0x10 (F), 0x08 (O), 0x04 (P)
  uint32_t gapTicks = 0;        // time since the previous byte, in device ticks
};

// A source of bus traffic for the simulated device. Each kind of traffic is one
// subclass, registered by name in Scenario.cpp; the same name and seed always give
// the same bytes.
class Scenario {
public:
  using Factory = std::function<std::unique_ptr<Scenario>(uint32_t seed)>;

  explicit Scenario(uint32_t seed) : m_random(seed) {}
  virtual ~Scenario() = default;

  virtual BusByte NextByte() = 0;

  // Null for an unknown name.
  static std::unique_ptr<Scenario> Create(const QString& name, uint32_t seed);
  static QStringList Names();
  // One line per scenario for --help.
  static QString Describe();

protected:
  uint32_t random(uint32_t below) { return std::uniform_int_distribution<uint32_t>(0, below - 1)(m_random); }
  // Now and then (about one byte in `oneIn`) one or more of the three error flags.
  uint8_t maybeErrors(uint32_t oneIn);

  std::mt19937 m_random;
};
