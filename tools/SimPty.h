#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;

// A pseudo-terminal published as the COM port link COM<n> in the ports folder: the
// device's end of a serial port. Writes never block; what the terminal does not
// take yet waits for it.
class SimPty {
public:
  SimPty();
  ~SimPty();
  SimPty(const SimPty&) = delete;
  SimPty& operator=(const SimPty&) = delete;

  bool Open(uint32_t comNumber, QString& error);
  // The port goes away: the link is removed and both ends close; unsent bytes are lost.
  void Close();
  bool IsOpen() const { return m_master >= 0; }
  QString SlavePath() const { return m_slavePath; }
  QString LinkPath() const { return m_linkPath; }

  void Write(const QByteArray& bytes);
  // Called with the bytes of every read from the terminal.
  std::function<void(const QByteArray&)> onData;

private:
  void onReadable();
  void onWritable();

  int m_master = -1;
  int m_keepSlave = -1;
  QString m_slavePath;
  QString m_linkPath;
  std::unique_ptr<QSocketNotifier> m_readNotifier;
  std::unique_ptr<QSocketNotifier> m_writeNotifier;
  QByteArray m_out;
};
