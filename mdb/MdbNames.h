#pragma once

#include <QString>
#include <cstdint>

// The names of the bytes of a Multi-Drop Bus exchange, as the list display and the
// printed list show them. Each operation sets the caller's text (replacing all of
// it) and says whether it gave one; without a text the caller's text is untouched.
//
// An address byte is read the MDB way: the upper five bits (AND 0xF8) address the
// peripheral, the lower three (AND 0x07) are the command.
class MdbNames {
 public:
  // A VMC address byte: address prefix and command name. Always gives a text.
  static bool CommandName(uint8_t addressByte, QString& text);
  // The first byte of a peripheral's response to the VMC message whose address byte
  // is given.
  static bool ResponseName(uint8_t addressByte, uint8_t responseByte, QString& text);
  // The sub-command of a message: message[0] is the VMC address byte, message[1]
  // the sub-command. A message of fewer than two known bytes gives nothing.
  static bool SubCommandName(const uint8_t* message, uint32_t length, QString& text);
  // A one-byte reply: ACK, RET, NAK or "Invalid". Always gives a text.
  static bool AckName(uint8_t data, QString& text);
};
