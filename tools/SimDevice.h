#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "tools/RecordEncoder.h"
#include "tools/SimBootLoader.h"

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
  uint32_t serialCom = 1;       // COM number of the serial link
  uint32_t bootCom = 1;         // COM number of the boot loader's port
  uint32_t restartDelayMs = 2000;  // from leaving the firmware or the boot loader to the other one
  bool startInBoot = false;
  SimBootFaults bootFaults;
};

// The QX-7700's behaviour behind either link: it obeys the device commands and,
// while acquiring, reports the scenario's bus traffic as device records at the
// chosen rate. Every record sent is also written, as the 6-byte item that a
// receiver must make of it, to the items file. CMD_BOOT sends it into its boot
// loader: the normal link goes away (the serial port disappears, the LAN ports stop
// answering) and after the restart delay the boot loader's COM port appears; the
// boot loader's "E" brings the firmware back the same way.
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
  void enterBootLoader();
  void openBootLoader();
  void leaveBootLoader();
  void tick();
  void sendBatch(const QByteArray& records);

  SimOptions m_options;
  SimLog& m_log;
  SimSerialLink* m_serial;
  SimLan* m_lan;
  std::unique_ptr<Scenario> m_scenario;
  std::unique_ptr<SimBootLoader> m_bootLoader;
  RecordEncoder m_encoder;
  QFile m_items;
  QTimer m_pace;
  QElapsedTimer m_since;
  bool m_acquiring = false;
  bool m_booted = false;
  uint64_t m_sent = 0;
};
