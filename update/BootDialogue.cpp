#include "update/BootDialogue.h"

#include <QIODevice>
#include <cstring>

#include "capture/CComm.h"
#include "platform/MessageWindow.h"
#include "platform/TickCount.h"

namespace BootDialogue {

bool SendBootCommand(CComm& port, char* buffer, int capacity, char terminator) {
  const auto length = static_cast<uint32_t>(std::strlen(buffer));
  if (length > 0 && !port.Write(buffer, length, nullptr)) return false;
  const uint32_t start = platform::GetTickCount();
  int position = 0;
  for (;;) {
    char byte = 0;
    uint32_t got = 0;
    if (port.Read(&byte, 1, &got) && got == 1) {
      if (byte == terminator) {
        buffer[position] = '\0';
        return true;
      }
      buffer[position++] = byte;
      if (position >= capacity) return false;
    }
    platform::PumpMessages();
    // Differences of the tick count survive its wrap at 2^32.
    if (platform::GetTickCount() - start >= static_cast<uint32_t>(REPLY_DEADLINE_MS)) return false;
  }
}

bool Probe(CComm& port, bool needUsbBoot) {
  char reply[PROMPT_CAPACITY] = "\r";
  if (!SendBootCommand(port, reply, PROMPT_CAPACITY, '>')) return false;
  return !needUsbBoot || std::strstr(reply, "USBBOOT") != nullptr;
}

bool RequestChecksum(CComm& port, QString& checksum) {
  char reply[CHECKSUM_CAPACITY] = "C";
  if (!SendBootCommand(port, reply, CHECKSUM_CAPACITY, '>')) return false;
  checksum = ChecksumText(reply);
  return true;
}

void Restart(CComm& port) {
  char reply[RESTART_CAPACITY] = "E";
  SendBootCommand(port, reply, RESTART_CAPACITY, 'E');
}

QString ChecksumText(const char* reply) {
  constexpr size_t DIGITS = 8;
  const char* prefix = std::strstr(reply, "0x");
  const char* text = prefix ? prefix + 2 : (*reply ? reply + 1 : reply);
  return QString::fromLatin1(text, static_cast<qsizetype>(strnlen(text, DIGITS)));
}

bool NextLine(QIODevice& file, char (&line)[MAX_LINE + 1]) {
  for (int i = 0; i < MAX_LINE; ++i) {
    if (!file.getChar(&line[i])) return false;
    if (line[i] == '\n') {
      line[i + 1] = '\0';
      return true;
    }
  }
  return false;
}

uint32_t SendFirmware(CComm& port, QIODevice& file, const std::function<void(uint32_t)>& lineSent) {
  char line[MAX_LINE + 1];
  uint32_t count = 0;
  while (NextLine(file, line)) {
    SendBootCommand(port, line, LINE_CAPACITY, '.');
    lineSent(count++);
  }
  return count;
}

}  // namespace BootDialogue
