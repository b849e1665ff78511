#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252, the 8-bit code page of the texts in acquisition files and of the
// names shown for bytes 0x80 to 0x9F.
namespace Cp1252 {

// The character of one byte; the five bytes the code page leaves free give the
// control characters U+0081 etc.
QChar toChar(uint8_t byte);
QString toUnicode(const QByteArray& bytes);
// A character the code page cannot hold becomes '?'. The five free bytes decode to
// the control characters U+0081 etc. and encode back to themselves, so any byte
// string survives a round trip.
QByteArray fromUnicode(const QString& text);

}  // namespace Cp1252
