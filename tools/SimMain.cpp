// qx7700-sim: stands in for the QX-7700 acquisition interface, on a serial link
// (a pseudo-terminal published as a COM port) or on UDP.
#include <signal.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <cstdio>
#include <memory>

#include "capture/CVRIMSocket.h"
#include "capture/HdlcReceiver.h"
#include "tools/NetNamespace.h"
#include "tools/Scenario.h"
#include "tools/SimDevice.h"
#include "tools/SimLan.h"
#include "tools/SimLog.h"
#include "tools/SimSerialLink.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

int fail(const QString& text) {
  std::fprintf(stderr, "qx7700-sim: %s\n", qPrintable(text));
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("qx7700-sim"));

  QCommandLineParser p;
  p.setApplicationDescription(QStringLiteral(
      "Simulates the QX-7700 acquisition interface for vrim.\n\n"
      "Serial (default): makes a pseudo-terminal, publishes it as the link\n"
      "$XDG_CONFIG_HOME/Quellfeld/ports/COM<n> and speaks the framed link on it.\n"
      "LAN (--lan): UDP on the acquisition and control ports of --device-addr.\n"
      "Boot loader (after CMD_BOOT, or --boot): a text dialogue at 9600 baud on COM<--boot-com>;\n"
      "CR gets a prompt with USBBOOT ending in '>', each line '.', C the CRC-32 of the lines\n"
      "received (...0xXXXXXXXX>), E an E and the firmware again.\n\n"
      "Control lines on standard input (with --control): ack on|off, silent on|off, garbage N,\n"
      "empty acq|ctrl, oversize acq|ctrl, acquire on|off, quit.\n\n"
      "Scenarios:\n") + Scenario::Describe());
  p.addHelpOption();
  p.addOptions({
      {"com", "Serial: publish the link as COM<n> (default 1).", "n", "1"},
      {"lan", "Use UDP instead of the serial link."},
      {"device-addr", "LAN: the device's address (default 127.0.0.1).", "addr", "127.0.0.1"},
      {"host-addr", "LAN: the program's address; with --netns the host end of the veth pair.", "addr"},
      {"netns", "LAN: run in a new network namespace of this name (root), joined by a veth pair.", "name"},
      {"prefix", "LAN with --netns: prefix length of the veth addresses (default 30).", "bits", "30"},
      {"acq-port", "LAN: acquisition port (default 4000).", "port", "4000"},
      {"ctrl-port", "LAN: control port (default 4001).", "port", "4001"},
      {"scenario", "Traffic to report (default mixed).", "name", "mixed"},
      {"seed", "Seed of the scenario (default 1).", "n", "1"},
      {"rate", "Device records per second while acquiring (default 500).", "n", "500"},
      {"count", "Records per acquisition, 0 for no end (default 0).", "n", "0"},
      {"batch", "Record bytes per frame or datagram at most (default 120; up to 250 on the serial link, 1024 on the LAN).",
       "bytes", "120"},
      {"start-time", "Device clock at start, in ticks (default 0).", "ticks", "0"},
      {"version", "Firmware version answered to CMD_VERSION (default 4.11).", "major.minor", "4.11"},
      {"acquire", "Start acquiring at once, without CMD_ACQUIRE."},
      {"no-ack", "Serial: do not acknowledge the program's frames."},
      {"silent", "Send nothing at all (no acknowledgements, records or replies)."},
      {"garbage", "Serial: this many noise bytes before every frame.", "n", "0"},
      {"control", "Take control lines on standard input; its end quits the simulator."},
      {"log", "Append the log of what was received and done to this file (default: standard error).", "file"},
      {"items-out", "Write the 6-byte items the program must store for the records sent.", "file"},
      {"boot-com", "Publish the boot loader's port as COM<n> (default: the --com number).", "n"},
      {"restart-delay", "From CMD_BOOT to the boot loader's port, and from its E back to the firmware (default 2000).",
       "ms", "2000"},
      {"boot", "Start in the boot loader."},
      {"boot-no-prompt", "Boot loader: no answer to CR."},
      {"boot-no-usbboot", "Boot loader: a prompt without USBBOOT."},
      {"boot-slow", "Boot loader: every answer 200 ms late."},
      {"boot-no-checksum", "Boot loader: no answer to C."},
      {"boot-stale-reply", "Boot loader: a stale '.' after each prompt, and each line answered 20 ms late."},
  });
  p.process(app);

  SimOptions o;
  o.scenario = p.value("scenario");
  o.seed = p.value("seed").toUInt();
  o.rate = p.value("rate").toUInt();
  o.count = p.value("count").toUInt();
  // A batch holds at least the longest record. A frame's content ends before the
  // receiver's limit (address, control, channel and FCS around the records); a
  // datagram fits the program's receive buffer.
  const uint32_t maxBatch = p.isSet("lan") ? uint32_t(CVRIMSocket::RECEIVE_BUFFER_SIZE) : HdlcReceiver::MAX_FRAME - 6;
  bool batchOk = false;
  const qulonglong batch = p.value("batch").toULongLong(&batchOk);
  if (!batchOk || batch < 6 || batch > maxBatch)
    return fail(QStringLiteral("--batch %1 is not a whole number from 6 to %2 (the bytes one %3 carries)")
                    .arg(p.value("batch"))
                    .arg(maxBatch)
                    .arg(p.isSet("lan") ? QStringLiteral("datagram") : QStringLiteral("frame")));
  o.batchBytes = static_cast<uint32_t>(batch);
  o.startTime = p.value("start-time").toUInt();
  o.itemsPath = p.value("items-out");
  o.serialCom = p.value("com").toUInt();
  o.bootCom = p.isSet("boot-com") ? p.value("boot-com").toUInt() : o.serialCom;
  o.restartDelayMs = p.value("restart-delay").toUInt();
  o.startInBoot = p.isSet("boot");
  o.bootFaults = {p.isSet("boot-no-prompt"), p.isSet("boot-no-usbboot"), p.isSet("boot-slow"),
                  p.isSet("boot-no-checksum"), p.isSet("boot-stale-reply")};
  const QStringList version = p.value("version").split('.');
  o.versionMajor = static_cast<uint8_t>(version.value(0).toUInt());
  o.versionMinor = static_cast<uint8_t>(version.value(1).toUInt());

  SimLog log;
  if (!log.Open(p.value("log"))) return fail(QStringLiteral("cannot open the log"));

  // Ends the event loop cleanly on SIGTERM and SIGINT, so the COM link and the
  // network namespace are removed.
  if (::pipe(g_signalPipe) != 0) return fail(QStringLiteral("pipe"));
  QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&signalNotifier, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
  ::signal(SIGTERM, onSignal);
  ::signal(SIGINT, onSignal);
  ::signal(SIGPIPE, SIG_IGN);

  QString error;
  NetNamespace netns;
  std::unique_ptr<SimSerialLink> serial;
  std::unique_ptr<SimLan> lan;
  QString ready;
  if (p.isSet("lan")) {
    const QString deviceAddr = p.value("device-addr");
    if (p.isSet("netns")) {
      if (!p.isSet("host-addr")) return fail(QStringLiteral("--netns needs --host-addr"));
      if (!netns.Create(p.value("netns"), p.value("host-addr"), deviceAddr, p.value("prefix").toInt(), error) ||
          !netns.Enter(error))
        return fail(error);
    }
    lan = std::make_unique<SimLan>(log);
    if (!lan->Open(QHostAddress(deviceAddr), static_cast<uint16_t>(p.value("acq-port").toUInt()),
                   static_cast<uint16_t>(p.value("ctrl-port").toUInt()), error))
      return fail(error);
    if (p.isSet("host-addr")) lan->SetHost(QHostAddress(p.value("host-addr")));
    lan->SetSilent(p.isSet("silent"));
    ready = QStringLiteral("ready lan %1 %2 %3").arg(deviceAddr, p.value("acq-port"), p.value("ctrl-port"));
  } else {
    serial = std::make_unique<SimSerialLink>(log);
    // A device that starts in its boot loader has no framed link yet.
    if (!o.startInBoot && !serial->Open(o.serialCom, error)) return fail(error);
    serial->SetAcknowledge(!p.isSet("no-ack"));
    serial->SetSilent(p.isSet("silent"));
    serial->SetGarbage(p.value("garbage").toUInt());
    ready = QStringLiteral("ready serial COM%1 %2").arg(p.value("com"), serial->SlavePath());
  }

  SimDevice device(o, log, serial.get(), lan.get());
  if (!device.Init(error)) return fail(error);

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  input.setEnabled(p.isSet("control"));
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buf[256];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
      // The controlling program is gone (a test that ended or crashed): so is the device.
      input.setEnabled(false);
      QCoreApplication::quit();
      return;
    }
    static QByteArray pending;
    pending.append(buf, n);
    qsizetype nl;
    while ((nl = pending.indexOf('\n')) >= 0) {
      device.OnControlLine(QString::fromUtf8(pending.left(nl)));
      pending.remove(0, nl + 1);
    }
  });

  if (p.isSet("acquire")) device.StartAcquisition();
  log.Line(ready);
  std::printf("%s\n", qPrintable(ready));
  std::fflush(stdout);
  const int rc = app.exec();
  log.Line(QStringLiteral("exit"));
  return rc;
}
