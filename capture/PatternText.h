#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// Text form of a byte pattern: upper-case hex pairs separated by one blank
// ("A0 1B 7F"). Every pattern buffer of the system holds 256 bytes, so texts and
// stored values are cut to that many bytes rather than overrunning a buffer.
inline constexpr uint32_t PATTERN_MAX_BYTES = 256;

// Turns typed text into the canonical form in place. Every character that is not a
// hex digit is dropped without ending a pair ("A B" gives AB); an odd last digit is
// the high digit of its byte. Digits beyond 256 pairs are dropped. False, with the
// text unchanged, when it holds no hex digit.
bool NormalizeHexText(QString& text);

// The canonical text of count bytes; empty for count 0.
void BytesToHexText(const uint8_t* bytes, uint32_t count, QString& text);

// The bytes of a canonical text: (L + 2) / 3 bytes, byte j from the (at most two)
// hex digits at character 3j; at most 256 bytes.
QByteArray HexTextToBytes(const QString& text);

// The profile key of entry index of a pattern history: "<baseKey>_00", "<baseKey>_01",
// ..., three digits from 100 on. The trigger engine reads the keys that the trigger
// and search dialogs write, so all of them are formed here.
QString patternValueKey(const QString& baseKey, uint32_t index);
