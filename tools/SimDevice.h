#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "tools/RecordEncoder.h"

class Scenario;
class SimLan;
class SimLog;
class SimSerialLink;

struct SimOptions {
  QString scenario = QStringLiteral("mixed");
  uint32_t seed = 1;
  uint32_t rate = 500;          // records per second while acquiring
  uint32_t count = 0;           // records per acquisition, 0 = no end
  uint32_t batchBytes = 120;    // record bytes per frame or datagram at most
  uint8_t versionMajor = 4;
  uint8_t versionMinor = 11;
  uint32_t startTime = 0;       // device clock at start
  QString itemsPath;            // where the items a receiver must store are appended
};

// The QX-7700's behaviour behind either link: it obeys the device commands and,
// while acquiring, reports the scenario's bus traffic as device records at the
// chosen rate. Every record sent is also written, as the 6-byte item that a
// receiver must make of it, to the items file.
class SimDevice {
public:
  SimDevice(const SimOptions& options, SimLog& log, SimSerialLink* serial, SimLan* lan);
  ~SimDevice();

  bool Init(QString& error);
  void OnCommand(const QByteArray& command);
  // A line of the control input: "ack on|off", "silent on|off", "garbage N",
  // "empty acq|ctrl", "oversize acq|ctrl", "acquire on|off", "quit".
  bool OnControlLine(const QString& line);

  void StartAcquisition();
  void StopAcquisition();
  bool IsAcquiring() const { return m_acquiring; }

private:
  void tick();
  void sendBatch(const QByteArray& records);

  SimOptions m_options;
  SimLog& m_log;
  SimSerialLink* m_serial;
  SimLan* m_lan;
  std::unique_ptr<Scenario> m_scenario;
  RecordEncoder m_encoder;
  QFile m_items;
  QTimer m_pace;
  QElapsedTimer m_since;
  bool m_acquiring = false;
  bool m_booted = false;
  uint64_t m_sent = 0;
};
