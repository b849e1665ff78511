#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

class CComm;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class UpdateLink;

// The modal dialog that replaces the QX-7700's firmware from an Intel HEX file: it
// sends the device into its boot loader over the application's link, reaches the
// boot loader on its own COM port, sends the file line by line, shows the checksum
// the boot loader computed and restarts the firmware. Everything runs on the UI
// thread; every wait keeps the message queue flowing, so the window paints and
// Cancel can be pressed throughout.
class CUpdate : public QDialog {
  Q_OBJECT
public:
  explicit CUpdate(UpdateLink& link, QWidget* parent = nullptr);
  // Stores "UpdateDialog" "FirmwareFile" and "FirmwarePort" and releases the port.
  ~CUpdate() override;

  // Waits of a second and more last their time divided by this (1 in the program;
  // tests shorten them). The boot loader's reply deadline is never shortened.
  static void SetLongWaitDivisor(uint32_t divisor);
  // Every wait of the update: `ms` (a long one divided as set), never less, while the
  // message queue is served.
  static void Wait(uint32_t ms);

  // Step line 1 to 6; 0 is the progress line.
  QLabel* stepLine(int step) const { return m_lines[static_cast<size_t>(step)]; }
  QPushButton* startButton() const { return m_start; }
  QPushButton* cancelButton() const { return m_cancel; }
  QPushButton* browseButton() const { return m_browse; }
  QPushButton* bootMarkButton() const { return m_bootMark; }
  QComboBox* portList() const { return m_portList; }
  QLineEdit* pathEdit() const { return m_pathEdit; }

private:
  void OnInitDialog();
  void OnOK();
  void OnDestroy();
  void OnBrowseFirmware();
  void OnSetBootMark();

  void FillPortList();
  bool IsInBootMode();
  bool EnterBootMode();
  bool DisconnectDevice();
  bool OpenBootPort();
  bool DownloadFirmware();
  bool RequestChecksum();
  bool RestartFirmware();

  // CMD_BOOT over the application's link; false with errno set.
  bool sendBootMark();
  // The number of the selected port list entry; false when none is selected.
  bool selectedPort(uint32_t& number) const;
  // A new boot port opened on `number`; false (after the port's message) when it
  // does not open, errno kept.
  bool openBootPort(uint32_t number);
  void releaseBootPort();
  void showStep(int step);
  void setLine(int step, const QString& text);
  static uint32_t scaled(uint32_t ms);

  UpdateLink& m_link;
  std::array<QLabel*, 7> m_lines{};
  QComboBox* m_portList = nullptr;
  QLineEdit* m_pathEdit = nullptr;
  QPushButton* m_start = nullptr;
  QPushButton* m_cancel = nullptr;
  QPushButton* m_browse = nullptr;
  QPushButton* m_bootMark = nullptr;

  QString m_firmwarePath;
  std::unique_ptr<CComm> m_bootPort;
  bool m_inBootMode = false;
  bool m_finished = false;

  static inline uint32_t s_longWaitDivisor = 1;
};
