#pragma once

#include <QString>

namespace platform {

// Box types: buttons in the low nibble, icon in the next.
enum : unsigned {
  MB_OK = 0x00,
  MB_OKCANCEL = 0x01,
  MB_YESNOCANCEL = 0x03,
  MB_YESNO = 0x04,
  MB_ICONERROR = 0x10,  // the stop / error icon
  MB_ICONSTOP = MB_ICONERROR,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_BUTTONMASK = 0x0F,
  MB_ICONMASK = 0xF0,
};

// Answers.
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Every message box of the system goes through this service. The program installs
// one that shows a real modal box; tests install one that records and answers.
class MessageBoxService {
public:
  virtual ~MessageBoxService() = default;
  virtual int show(const QString& text, unsigned type) = 0;
};

// Installs the service (not owned); null restores the default, which writes the
// text to standard error and gives the box's first answer (OK or Yes).
void SetMessageBoxService(MessageBoxService* service);

// Shows a message box through the installed service and returns the answer.
int ShowMessageBox(const QString& text, unsigned type = MB_OK | MB_ICONERROR);

}  // namespace platform
