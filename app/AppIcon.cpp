#include "app/AppIcon.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "common/CommandIds.h"

namespace {

constexpr int ICON_SIZE = 32;  // drawn at twice the 16 x 15 button size, scaled down crisp

QPixmap canvas() {
  QPixmap pm(ICON_SIZE, ICON_SIZE);
  pm.fill(Qt::transparent);
  return pm;
}

QIcon textIcon(const QString& text, const QColor& colour) {
  QPixmap pm = canvas();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QFont f(QStringLiteral("Arial"));
  f.setBold(true);
  f.setPixelSize(text.size() > 2 ? 13 : (text.size() > 1 ? 17 : 24));
  p.setFont(f);
  p.setPen(colour);
  p.drawText(pm.rect(), Qt::AlignCenter, text);
  return QIcon(pm);
}

// Drawn in colour: the platform's disabled look takes the colour away, so an
// enabled button is told from a disabled one at a glance.
QIcon shapeIcon(uint32_t id) {
  QPixmap pm = canvas();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 2));
  switch (id) {
    case ID_FILE_OPEN:
      p.setBrush(QColor(240, 200, 80));
      p.drawRect(4, 10, 24, 16);
      p.drawRect(4, 7, 10, 4);
      break;
    case ID_FILE_PRINT:
      p.setPen(QPen(QColor(0, 50, 120), 2));
      p.setBrush(QColor(255, 240, 150));
      p.drawRect(9, 3, 14, 10);
      p.setBrush(QColor(60, 110, 190));
      p.drawRect(3, 13, 26, 11);
      p.setBrush(QColor(255, 240, 150));
      p.drawRect(9, 20, 14, 9);
      break;
    case ID_CONNECT_DEVICE:
      p.setPen(QPen(QColor(0, 128, 0), 4));
      p.drawLine(3, 16, 29, 16);
      p.drawEllipse(QPoint(16, 16), 5, 5);
      break;
    case ID_DISCONNECT_DEVICE:
      p.setPen(QPen(QColor(192, 0, 0), 4));
      p.drawLine(3, 16, 12, 16);
      p.drawLine(20, 16, 29, 16);
      p.drawLine(13, 9, 19, 23);
      break;
    case ID_START_RECORDING:
      p.setBrush(QColor(220, 0, 0));
      p.drawEllipse(QPoint(16, 16), 11, 11);
      break;
    case ID_STOP_RECORDING:
      p.setPen(QPen(QColor(0, 40, 110), 2));
      p.setBrush(QColor(30, 80, 190));
      p.drawRect(6, 6, 20, 20);
      break;
    case ID_RESTART_RECORDING: {
      p.setBrush(QColor(220, 0, 0));
      p.drawEllipse(QPoint(11, 16), 7, 7);
      QPainterPath tri;
      tri.moveTo(19, 8);
      tri.lineTo(30, 16);
      tri.lineTo(19, 24);
      tri.closeSubpath();
      p.setBrush(QColor(30, 80, 190));
      p.drawPath(tri);
      break;
    }
    case ID_REFRESH:
      p.setPen(QPen(QColor(0, 90, 200), 4));
      p.drawArc(QRect(6, 6, 20, 20), 30 * 16, 300 * 16);
      break;
    case ID_DISPLAY_LIST:
      p.setPen(QPen(QColor(0, 0, 160), 3));
      for (int y = 7; y <= 25; y += 6) p.drawLine(5, y, 27, y);
      break;
    case ID_SEARCH_PATTERN:
      p.setPen(QPen(QColor(120, 60, 0), 3));
      p.setBrush(QColor(150, 210, 255));
      p.drawEllipse(QPoint(13, 13), 8, 8);
      p.drawLine(19, 19, 28, 28);
      break;
    case ID_TRIGGER_SETUP:
      p.setPen(QPen(QColor(0, 0, 160), 3));
      p.drawPolyline(QPolygon({QPoint(2, 24), QPoint(12, 24), QPoint(12, 8), QPoint(22, 8), QPoint(22, 24),
                               QPoint(30, 24)}));
      break;
    case ID_GO_TO_ITEM: {
      QPainterPath arrow;
      arrow.moveTo(4, 12);
      arrow.lineTo(18, 12);
      arrow.lineTo(18, 5);
      arrow.lineTo(29, 16);
      arrow.lineTo(18, 27);
      arrow.lineTo(18, 20);
      arrow.lineTo(4, 20);
      arrow.closeSubpath();
      p.setBrush(QColor(0, 140, 60));
      p.drawPath(arrow);
      break;
    }
    case ID_COMMENT_EDITOR:
      p.setPen(QPen(QColor(0, 0, 160), 2));
      p.setBrush(QColor(255, 240, 150));
      p.drawRect(6, 3, 20, 26);
      for (int y = 10; y <= 24; y += 5) p.drawLine(10, y, 22, y);
      break;
    case ID_SETTINGS:
      p.setPen(QPen(QColor(0, 70, 90), 2));
      p.setBrush(QColor(0, 150, 170));
      p.drawEllipse(QPoint(16, 16), 11, 11);
      p.setBrush(Qt::white);
      p.drawEllipse(QPoint(16, 16), 4, 4);
      break;
    default:
      return {};
  }
  return QIcon(pm);
}

const char* themeName(uint32_t id) {
  switch (id) {
    case ID_FILE_OPEN: return "document-open";
    case ID_FILE_PRINT: return "document-print";
    case ID_CONNECT_DEVICE: return "network-connect";
    case ID_DISCONNECT_DEVICE: return "network-disconnect";
    case ID_START_RECORDING: return "media-record";
    case ID_STOP_RECORDING: return "media-playback-stop";
    case ID_REFRESH: return "view-refresh";
    case ID_SEARCH_PATTERN: return "edit-find";
    case ID_GO_TO_ITEM: return "go-jump";
    case ID_COMMENT_EDITOR: return "document-edit";
    case ID_SETTINGS: return "preferences-system";
    case ID_APP_ABOUT: return "help-about";
    default: return nullptr;
  }
}

}  // namespace

QIcon AppIcon() {
  QPixmap pm = canvas();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0, 70, 140));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(1, 1, 30, 30, 5, 5);
  p.setPen(QPen(QColor(120, 255, 120), 2));
  p.drawPolyline(QPolygon({QPoint(4, 22), QPoint(9, 22), QPoint(9, 10), QPoint(15, 10), QPoint(15, 22),
                           QPoint(21, 22), QPoint(21, 10), QPoint(28, 10)}));
  return QIcon(pm);
}

QIcon DrawnToolbarIcon(uint32_t commandId) {
  switch (commandId) {
    case ID_DISPLAY_HEX: return textIcon(QStringLiteral("0x"), QColor(0, 0, 160));
    case ID_DISPLAY_ASCII: return textIcon(QStringLiteral("A"), QColor(160, 0, 0));
    case ID_APP_ABOUT: return textIcon(QStringLiteral("?"), QColor(0, 0, 160));
    default: break;
  }
  QIcon icon = shapeIcon(commandId);
  return icon.isNull() ? textIcon(QStringLiteral("?"), QColor(0, 0, 160)) : icon;
}

QIcon ToolbarIcon(uint32_t commandId) {
  if (const char* name = themeName(commandId)) {
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(name));
    if (!themed.isNull()) return themed;
  }
  return DrawnToolbarIcon(commandId);
}
