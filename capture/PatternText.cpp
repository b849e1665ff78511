#include "capture/PatternText.h"

namespace {

int hexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  return -1;
}

}  // namespace

bool NormalizeHexText(QString& text) {
  QString out;
  out.reserve(static_cast<qsizetype>(PATTERN_MAX_BYTES) * 3);
  uint32_t digits = 0;
  for (const QChar c : text) {
    if (digits == PATTERN_MAX_BYTES * 2) break;
    const char16_t u = c.unicode();
    // Only ASCII letters are folded: no other character upper-cases to a hex digit.
    const char16_t upper = (u >= 'a' && u <= 'f') ? static_cast<char16_t>(u - 'a' + 'A') : u;
    if (!((upper >= '0' && upper <= '9') || (upper >= 'A' && upper <= 'F'))) continue;
    out.append(QChar(upper));
    ++digits;
    if (digits % 2 == 0) out.append(QLatin1Char(' '));
  }
  if (digits % 2 != 0) out.append(QLatin1Char('0'));
  if (out.isEmpty()) return false;
  if (out.endsWith(QLatin1Char(' '))) out.chop(1);
  text = out;
  return true;
}

void BytesToHexText(const uint8_t* bytes, uint32_t count, QString& text) {
  static const char DIGITS[] = "0123456789ABCDEF";
  text.clear();
  if (count == 0) return;
  text.reserve(static_cast<qsizetype>(count) * 3 - 1);
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) text.append(QLatin1Char(' '));
    text.append(QLatin1Char(DIGITS[bytes[i] >> 4]));
    text.append(QLatin1Char(DIGITS[bytes[i] & 0x0F]));
  }
}

QByteArray HexTextToBytes(const QString& text) {
  qsizetype count = (text.size() + 2) / 3;
  if (count > static_cast<qsizetype>(PATTERN_MAX_BYTES)) count = PATTERN_MAX_BYTES;
  QByteArray bytes(count, '\0');
  for (qsizetype j = 0; j < count; ++j) {
    int value = 0;
    for (qsizetype i = 3 * j; i < 3 * j + 2 && i < text.size(); ++i) {
      const int d = hexValue(text.at(i));
      if (d < 0) break;
      value = value * 16 + d;
    }
    bytes[j] = static_cast<char>(value);
  }
  return bytes;
}

QString patternValueKey(const QString& baseKey, uint32_t index) {
  return QStringLiteral("%1_%2").arg(baseKey).arg(index, 2, 10, QLatin1Char('0'));
}
