#include "tools/SimLan.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include "tools/SimLog.h"

namespace {

QNetworkDatagram receiveLogged(QUdpSocket& socket, uint16_t port, SimLog& log) {
  QNetworkDatagram d = socket.receiveDatagram();
  log.Line(QStringLiteral("datagram-in port=%1 from=%2:%3 %4")
               .arg(port)
               .arg(d.senderAddress().toString())
               .arg(d.senderPort())
               .arg(QString::fromLatin1(d.data().toHex(' '))));
  return d;
}

}  // namespace

SimLan::SimLan(SimLog& log) : m_log(log) {}

SimLan::~SimLan() = default;

bool SimLan::Open(const QHostAddress& device, uint16_t acquisitionPort, uint16_t controlPort, QString& error) {
  m_acquisitionPort = acquisitionPort;
  m_controlPort = controlPort;
  m_acquisition = std::make_unique<QUdpSocket>();
  if (!m_acquisition->bind(device, acquisitionPort, QAbstractSocket::DontShareAddress)) {
    error = QStringLiteral("cannot bind %1:%2: %3").arg(device.toString()).arg(acquisitionPort).arg(m_acquisition->errorString());
    return false;
  }
  QObject::connect(m_acquisition.get(), &QUdpSocket::readyRead, [this] { onAcquisitionReadable(); });
  if (controlPort == acquisitionPort) return true;
  m_control = std::make_unique<QUdpSocket>();
  if (!m_control->bind(device, controlPort, QAbstractSocket::DontShareAddress)) {
    error = QStringLiteral("cannot bind %1:%2: %3").arg(device.toString()).arg(controlPort).arg(m_control->errorString());
    return false;
  }
  QObject::connect(m_control.get(), &QUdpSocket::readyRead, [this] { onControlReadable(); });
  return true;
}

void SimLan::onControlReadable() {
  while (m_control->hasPendingDatagrams()) {
    const QNetworkDatagram d = receiveLogged(*m_control, m_controlPort, m_log);
    m_host = d.senderAddress();
    if (onCommand) onCommand(d.data());
  }
}

void SimLan::onAcquisitionReadable() {
  while (m_acquisition->hasPendingDatagrams()) {
    const QNetworkDatagram d = receiveLogged(*m_acquisition, m_acquisitionPort, m_log);
    // With both ports equal the one socket also takes the commands.
    if (!m_control) {
      m_host = d.senderAddress();
      if (onCommand) onCommand(d.data());
    }
  }
}

void SimLan::send(bool control, const QByteArray& bytes) {
  if (m_silent || m_host.isNull()) return;
  QUdpSocket* s = control && m_control ? m_control.get() : m_acquisition.get();
  s->writeDatagram(bytes, m_host, control ? m_controlPort : m_acquisitionPort);
}

void SimLan::SendRecords(const QByteArray& records) { send(false, records); }

void SimLan::SendReply(const QByteArray& reply) {
  send(true, reply);
  m_log.Line(QStringLiteral("reply-out %1").arg(QString::fromLatin1(reply.toHex(' '))));
}

void SimLan::SendEmpty(bool control) {
  send(control, QByteArray());
  m_log.Line(QStringLiteral("empty-datagram %1").arg(control ? "ctrl" : "acq"));
}

void SimLan::SendOversize(bool control) {
  QByteArray big;
  while (big.size() < 2000) big.append("\x00\xEE\x00", 3);  // absolute-time records of 0xEE
  send(control, big);
  m_log.Line(QStringLiteral("oversize-datagram %1 %2").arg(control ? "ctrl" : "acq").arg(big.size()));
}
