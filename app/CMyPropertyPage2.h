#pragma once

#include "app/SettingsPage.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

// "Connection settings...": how the QX-7700 is reached (LAN with an optional
// dial-up entry, or the serial link on a COM port), its address and ports, and the
// connect and recording at start-up, in "PropertyPage2". The port list holds the
// COM ports that can be opened now, in text order.
class CMyPropertyPage2 : public SettingsPage {
  Q_OBJECT
public:
  explicit CMyPropertyPage2(QWidget* parent = nullptr);

  bool UpdateData() override;
  void SaveSettings() override;

  static constexpr uint32_t LAST_PROBED_PORT = 255;

protected:
  void OnInitDialog() override;
  void UpdateControls() override;

private:
  void fillPortList(bool portStored);

  QString m_connectionName;
  QString m_deviceAddress;
  uint32_t m_acquisitionPort = 0;
  uint32_t m_controlPort = 0;
  bool m_startupConnect = false;
  bool m_lan = false;
  bool m_startupAquire = false;
  bool m_hdlc = false;
  QString m_storedPort;

  QLineEdit* m_nameEdit;
  QLineEdit* m_addressEdit;
  QLineEdit* m_acquisitionEdit;
  QLineEdit* m_controlEdit;
  QCheckBox* m_startupConnectBox;
  QCheckBox* m_lanBox;
  QCheckBox* m_startupAquireBox;
  QCheckBox* m_hdlcBox;
  QComboBox* m_portList;
};
