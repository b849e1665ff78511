#pragma once

#include <QImage>
#include <QMargins>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <optional>
#include <utility>

#include "support/TestSupport.h"

namespace testsupport {

// An X server of its own (Xvfb, one 1024 x 768 screen), under a window manager that
// draws frames (openbox) or bare, for tests that look at the program's real window
// from the outside: its place and size as the user sees it, and the screen's pixels.
class VirtualDisplay {
 public:
  static constexpr QSize SCREEN{1024, 768};
  static constexpr int START_MS = 10000;

  // The tools that are not installed, named by their Debian packages; empty when all are.
  static QString missingTools() {
    QStringList missing;
    for (const auto& [tool, package] : {std::pair{"Xvfb", "xvfb"},
                                        {"openbox", "openbox"},
                                        {"xprop", "x11-utils"},
                                        {"xwininfo", "x11-utils"}})
      if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty() && !missing.contains(package))
        missing << QString::fromLatin1(package);
    return missing.join(", ");
  }

  enum class Manager { Openbox, None };
  explicit VirtualDisplay(Manager manager = Manager::Openbox) {
    // The server picks a free display number itself and writes it once it takes clients.
    // It must not reset when its last client leaves: a client that connects meanwhile
    // (the window manager after a probe) would be turned away.
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start("Xvfb", {"-displayfd", "1", "-screen", "0",
                            QStringLiteral("%1x%2x24").arg(SCREEN.width()).arg(SCREEN.height()), "-fbdir",
                            m_dir.path(), "-nolisten", "tcp", "-noreset"});
    if (!waitFor([&] { return m_server.canReadLine() || m_server.state() == QProcess::NotRunning; },
                 START_MS) ||
        !m_server.canReadLine()) {
      m_error = "Xvfb did not start: " + QString::fromLocal8Bit(m_server.readAllStandardError());
      return;
    }
    m_name = QLatin1Char(':') + QString::fromLatin1(m_server.readLine().trimmed());
    if (manager == Manager::None) return;
    m_managed = true;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", m_name);
    env.insert("XDG_CONFIG_HOME", m_dir.path());  // its stock settings, none of the user's
    env.insert("XDG_CACHE_HOME", m_dir.path());
    m_manager.setProcessEnvironment(env);
    m_manager.setProcessChannelMode(QProcess::SeparateChannels);
    m_manager.start("openbox", {"--sm-disable"});
    // The window manager announces itself on the root window once it manages the screen.
    if (!waitFor(
            [&] {
              return m_manager.state() == QProcess::NotRunning ||
                     x("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
            },
            START_MS) ||
        m_manager.state() == QProcess::NotRunning)
      m_error = "openbox did not start: " + QString::fromLocal8Bit(m_manager.readAllStandardError());
  }
  ~VirtualDisplay() {
    endChild(m_manager);
    endChild(m_server);
  }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // Empty once the server runs under its window manager, else what went wrong.
  QString error() const { return m_error; }
  QString name() const { return m_name; }  // ":N", for DISPLAY
  // The variables that put a program's windows on this display.
  QStringList variables() const { return {"DISPLAY=" + m_name, "QT_QPA_PLATFORM=xcb"}; }

  // The shown top-level window of process `pid`, once a window manager has framed it:
  // the whole window (frame and title bar included) and its inside, in screen coordinates.
  // On a bare server both are the window itself.
  struct Window {
    QRect whole;
    QRect inside;
  };
  std::optional<Window> windowOf(qint64 pid) const {
    // A window manager lists the windows it manages; on a bare server they are the root's children.
    static const QRegularExpression listed("0x[0-9a-f]+");
    static const QRegularExpression child("^\\s+(0x[0-9a-f]+) ", QRegularExpression::MultilineOption);
    const QString clients = m_managed ? x("xprop", {"-root", "_NET_CLIENT_LIST"}).section(QLatin1Char('#'), 1)
                                      : x("xwininfo", {"-root", "-children"});
    for (auto it = (m_managed ? listed : child).globalMatch(clients); it.hasNext();) {
      const QString window = it.next().captured(m_managed ? 0 : 1);
      const QString props = x("xprop", {"-id", window, "_NET_WM_PID", "_NET_FRAME_EXTENTS"});
      if (numbers(props, "_NET_WM_PID(CARDINAL) = ") != QList<int>{int(pid)}) continue;
      // left, right, top, bottom
      const QList<int> frame =
          m_managed ? numbers(props, "_NET_FRAME_EXTENTS(CARDINAL) = ") : QList<int>{0, 0, 0, 0};
      const QString info = x("xwininfo", {"-id", window});
      if (!info.contains("IsViewable")) continue;  // the toolkit's hidden helper windows
      if (frame.size() != 4) return std::nullopt;
      auto field = [&](const char* label) {
        return numbers(info, QString::fromLatin1(label)).value(0, -99999);
      };
      const QRect inside(field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"),
                         field("Height:"));
      return Window{inside.marginsAdded(QMargins(frame[0], frame[2], frame[1], frame[3])), inside};
    }
    return std::nullopt;
  }

  // What the screen shows now, read from the server's frame buffer (an XWD file whose
  // header fields are big-endian and whose pixels are the host's 32-bit words).
  QImage screen() const {
    const QByteArray xwd = readWholeFile(m_dir.filePath("Xvfb_screen0"));
    if (xwd.size() < 100) return {};
    auto field = [&](int index) { return qFromBigEndian<quint32>(xwd.constData() + 4 * index); };
    const quint32 headerSize = field(0), width = field(4), height = field(5), bitsPerPixel = field(11),
                  bytesPerLine = field(12), colours = field(19);
    const qsizetype pixels = headerSize + 12 * colours;
    if (bitsPerPixel != 32 || width != quint32(SCREEN.width()) || height != quint32(SCREEN.height()) ||
        xwd.size() < pixels + qsizetype(bytesPerLine) * height)
      return {};
    return QImage(reinterpret_cast<const uchar*>(xwd.constData() + pixels), int(width), int(height),
                  int(bytesPerLine), QImage::Format_RGB32)
        .copy();
  }

  // An X tool's standard output on this display; empty when it fails.
  QString x(const QString& tool, const QStringList& args) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", m_name);
    p.setProcessEnvironment(env);
    p.start(tool, args);
    if (!p.waitForFinished(5000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput());
  }

 private:
  // The numbers of a "1, 1, 20, 5" list that follows `label` on its line.
  static QList<int> numbers(const QString& text, const QString& label) {
    const qsizetype at = text.indexOf(label);
    if (at < 0) return {};
    QList<int> out;
    for (const QString& n :
         text.mid(at + label.size()).section(QLatin1Char('\n'), 0, 0).split(QLatin1Char(','))) {
      bool ok = false;
      const int v = n.trimmed().toInt(&ok);
      if (!ok) return {};
      out << v;
    }
    return out;
  }

  QTemporaryDir m_dir;
  QProcess m_server;
  QProcess m_manager;
  QString m_name;
  QString m_error;
  bool m_managed = false;
};

}  // namespace testsupport
