#include "tools/SimDevice.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>

#include "common/DeviceCommand.h"
#include "tools/Scenario.h"
#include "tools/SimLan.h"
#include "tools/SimLog.h"
#include "tools/SimSerialLink.h"

namespace {

constexpr int PACE_MS = 10;
// The acknowledgement of CMD_BOOT leaves before the serial link goes away.
constexpr int LINK_DROP_MS = 100;

uint8_t at(const QByteArray& b, int i) { return i < b.size() ? static_cast<uint8_t>(b[i]) : 0; }

}  // namespace

SimDevice::SimDevice(const SimOptions& options, SimLog& log, SimSerialLink* serial, SimLan* lan)
    : m_options(options), m_log(log), m_serial(serial), m_lan(lan), m_encoder(options.seed) {
  QObject::connect(&m_pace, &QTimer::timeout, [this] { tick(); });
}

SimDevice::~SimDevice() = default;

bool SimDevice::Init(QString& error) {
  m_scenario = Scenario::Create(m_options.scenario, m_options.seed);
  if (!m_scenario) {
    error = QStringLiteral("unknown scenario %1 (known: %2)").arg(m_options.scenario, Scenario::Names().join(", "));
    return false;
  }
  m_encoder.SetDeviceTime(m_options.startTime);
  if (!m_options.itemsPath.isEmpty()) {
    m_items.setFileName(m_options.itemsPath);
    if (!m_items.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      error = QStringLiteral("cannot write %1").arg(m_options.itemsPath);
      return false;
    }
  }
  if (m_serial) m_serial->onCommand = [this](const QByteArray& c) { OnCommand(c); };
  if (m_lan) m_lan->onCommand = [this](const QByteArray& c) { OnCommand(c); };
  m_bootLoader = std::make_unique<SimBootLoader>(m_log, m_options.bootFaults);
  m_bootLoader->onExit = [this] { leaveBootLoader(); };
  if (m_options.startInBoot) {
    m_booted = true;
    openBootLoader();
  }
  return true;
}

void SimDevice::enterBootLoader() {
  // The firmware hands over to the boot loader: no acquisition, no framed link, no
  // answers on the LAN.
  StopAcquisition();
  m_booted = true;
  m_log.Line(QStringLiteral("boot-loader"));
  QTimer::singleShot(LINK_DROP_MS, [this] {
    if (m_serial) m_serial->Close();
    m_log.Line(QStringLiteral("link-down"));
    QTimer::singleShot(static_cast<int>(m_options.restartDelayMs), [this] { openBootLoader(); });
  });
}

void SimDevice::openBootLoader() {
  QString error;
  if (!m_bootLoader->Open(m_options.bootCom, error)) {
    m_log.Line(QStringLiteral("boot-loader failed %1").arg(error));
    return;
  }
  m_log.Line(QStringLiteral("boot-loader ready COM%1").arg(m_options.bootCom));
}

void SimDevice::leaveBootLoader() {
  m_bootLoader->Close();
  m_log.Line(QStringLiteral("boot-loader closed"));
  QTimer::singleShot(static_cast<int>(m_options.restartDelayMs), [this] {
    QString error;
    if (m_serial && !m_serial->Open(m_options.serialCom, error)) {
      m_log.Line(QStringLiteral("firmware failed %1").arg(error));
      return;
    }
    m_booted = false;
    m_log.Line(QStringLiteral("firmware ready"));
  });
}

void SimDevice::OnCommand(const QByteArray& c) {
  if (c.size() < 2 || at(c, 1) != c.size()) {
    m_log.Line(QStringLiteral("cmd malformed %1").arg(QString::fromLatin1(c.toHex(' '))));
    return;
  }
  if (m_booted) return;  // the firmware that would obey is not running
  switch (at(c, 0)) {
    case CMD_VERSION: {
      m_log.Line(QStringLiteral("cmd version %1").arg(at(c, 2)));
      if (m_lan) {
        QByteArray reply;
        reply.append(static_cast<char>(CMD_VERSION));
        reply.append(static_cast<char>(5));
        reply.append(static_cast<char>(at(c, 2)));
        reply.append(static_cast<char>(m_options.versionMajor));
        reply.append(static_cast<char>(m_options.versionMinor));
        m_lan->SendReply(reply);
      }
      return;
    }
    case CMD_ACQUIRE:
      m_log.Line(QStringLiteral("cmd acquire %1").arg(at(c, 2)));
      if (at(c, 2)) StartAcquisition();
      else StopAcquisition();
      return;
    case CMD_BUS_LOAD:
      m_log.Line(QStringLiteral("cmd bus-load load=%1 master=%2 slave=%3").arg(at(c, 2)).arg(at(c, 3)).arg(at(c, 4)));
      return;
    case CMD_LINE_SETTINGS: {
      const uint32_t baud = at(c, 2) | at(c, 3) << 8 | at(c, 4) << 16 | static_cast<uint32_t>(at(c, 5)) << 24;
      m_log.Line(QStringLiteral("cmd line-settings baud=%1 stop=%2 parity=%3 data=%4")
                     .arg(baud)
                     .arg(at(c, 6))
                     .arg(at(c, 7))
                     .arg(at(c, 8)));
      return;
    }
    case CMD_BOOT:
      m_log.Line(QStringLiteral("cmd boot %1").arg(at(c, 2)));
      if (at(c, 2) == CMD_BOOT_ENTER) enterBootLoader();
      return;
    default:
      m_log.Line(QStringLiteral("cmd unknown %1").arg(QString::fromLatin1(c.toHex(' '))));
  }
}

void SimDevice::StartAcquisition() {
  if (m_booted) return;
  m_acquiring = true;
  m_sent = 0;
  m_encoder.Restart();
  m_since.start();
  m_pace.start(PACE_MS);
  m_log.Line(QStringLiteral("acquire-start"));
}

void SimDevice::StopAcquisition() {
  if (!m_acquiring) return;
  m_acquiring = false;
  m_pace.stop();
  m_log.Line(QStringLiteral("acquire-stop records=%1").arg(m_sent));
}

void SimDevice::sendBatch(const QByteArray& records) {
  if (m_serial) m_serial->QueueFrame(records);
  if (m_lan) m_lan->SendRecords(records);
}

void SimDevice::tick() {
  if (!m_acquiring) return;
  uint64_t due = static_cast<uint64_t>(m_since.elapsed()) * m_options.rate / 1000;
  if (m_options.count) due = std::min<uint64_t>(due, m_options.count);
  // On the serial link the frames wait for their acknowledgements; a few in the
  // queue are enough, the rest stays in the scenario until the link has room.
  while (m_sent < due && (!m_serial || m_serial->Waiting() < 4)) {
    QByteArray batch;
    QByteArray items;
    while (m_sent < due && batch.size() + 6 <= static_cast<qsizetype>(m_options.batchBytes)) {
      items.append(m_encoder.Encode(m_scenario->NextByte(), batch));
      ++m_sent;
    }
    if (batch.isEmpty()) break;
    sendBatch(batch);
    if (m_items.isOpen()) {
      m_items.write(items);
      m_items.flush();
    }
  }
  if (m_options.count && m_sent >= m_options.count) {
    m_pace.stop();
    m_acquiring = false;
    m_log.Line(QStringLiteral("acquire-done records=%1").arg(m_sent));
  }
}

bool SimDevice::OnControlLine(const QString& line) {
  const QStringList w = line.simplified().split(' ', Qt::SkipEmptyParts);
  if (w.isEmpty()) return true;
  const QString arg = w.size() > 1 ? w[1] : QString();
  const bool on = arg == QLatin1String("on");
  if (w[0] == QLatin1String("ack") && m_serial) {
    m_serial->SetAcknowledge(on);
  } else if (w[0] == QLatin1String("silent")) {
    if (m_serial) m_serial->SetSilent(on);
    if (m_lan) m_lan->SetSilent(on);
  } else if (w[0] == QLatin1String("garbage") && m_serial) {
    m_serial->SetGarbage(arg.toUInt());
  } else if (w[0] == QLatin1String("empty") && m_lan) {
    m_lan->SendEmpty(arg == QLatin1String("ctrl"));
  } else if (w[0] == QLatin1String("oversize") && m_lan) {
    m_lan->SendOversize(arg == QLatin1String("ctrl"));
  } else if (w[0] == QLatin1String("acquire")) {
    if (on) StartAcquisition();
    else StopAcquisition();
  } else if (w[0] == QLatin1String("quit")) {
    QCoreApplication::quit();
  } else {
    m_log.Line(QStringLiteral("control unknown %1").arg(line.trimmed()));
    return false;
  }
  m_log.Line(QStringLiteral("control %1").arg(line.simplified()));
  return true;
}
