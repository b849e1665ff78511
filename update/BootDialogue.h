#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class CComm;
class QIODevice;

// The text dialogue with the QX-7700's boot loader on a serial port of its own:
// the host writes a command text and takes the reply up to a terminator character.
// Only the terminators, the "USBBOOT" marker and the "0x" before the checksum are
// relied on; the rest of the boot loader's answers are its own business.
namespace BootDialogue {

constexpr int REPLY_DEADLINE_MS = 50;
constexpr int PROMPT_CAPACITY = 16;
constexpr int LINE_CAPACITY = 16;
constexpr int CHECKSUM_CAPACITY = 256;
constexpr int RESTART_CAPACITY = 16;
// A firmware line holds at most this many bytes through its line feed.
constexpr int MAX_LINE = 255;

// Writes the NUL-terminated command in `buffer` (nothing when it is empty), then
// reads the reply into `buffer` up to `terminator`, which is not stored; the reply
// is NUL-terminated. False when the write does not complete, when the reply does not
// end within REPLY_DEADLINE_MS of the write, or when `capacity` bytes come without
// the terminator. The message queue is drained between the reads.
bool SendBootCommand(CComm& port, char* buffer, int capacity, char terminator);

// "\r" answered by a prompt ending in '>'; with needUsbBoot the prompt must also
// hold "USBBOOT", the boot loader's own mark.
bool Probe(CComm& port, bool needUsbBoot);
// "C": the checksum text of the reply (ChecksumText); false without a reply.
bool RequestChecksum(CComm& port, QString& checksum);
// "E": the boot loader starts the firmware; its answer is not looked at.
void Restart(CComm& port);

// The characters after the reply's first "0x", at most eight; without "0x" those
// from the second character on.
QString ChecksumText(const char* reply);

// The next line of a firmware file, from its first byte through its line feed,
// NUL-terminated in `line`. False at the end of the file, at a last line without a
// line feed, and at a line longer than MAX_LINE: the download ends there.
bool NextLine(QIODevice& file, char (&line)[MAX_LINE + 1]);

// Sends the file line by line, unchanged and unparsed (the replies are not looked
// at: the checksum tells whether the download arrived), calling lineSent with the
// number of each line sent, counted from 0. Returns the number of lines sent.
uint32_t SendFirmware(CComm& port, QIODevice& file, const std::function<void(uint32_t)>& lineSent);

}  // namespace BootDialogue
