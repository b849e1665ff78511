#include "common/Cp1252.h"

namespace Cp1252 {

namespace {

// 0x80..0x9F; 0 where the code page has no character.
const char16_t HIGH[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                           0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

QChar toChar(uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F && HIGH[byte - 0x80]) return QChar(HIGH[byte - 0x80]);
  return QChar(byte);  // the rest, and the five free bytes, as Latin-1
}

QString toUnicode(const QByteArray& bytes) {
  QString text;
  text.reserve(bytes.size());
  for (const char c : bytes) text.append(toChar(static_cast<uint8_t>(c)));
  return text;
}

QByteArray fromUnicode(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  for (const QChar ch : text) {
    const char16_t u = ch.unicode();
    char out = '?';
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      out = static_cast<char>(u);
    } else if (u >= 0x80 && u <= 0x9F && !HIGH[u - 0x80]) {
      out = static_cast<char>(u);
    } else {
      for (int i = 0; i < 32; ++i) {
        if (HIGH[i] == u) {
          out = static_cast<char>(0x80 + i);
          break;
        }
      }
    }
    bytes.append(out);
  }
  return bytes;
}

}  // namespace Cp1252
