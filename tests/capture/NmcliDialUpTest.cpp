#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "capture/NmcliDialUp.h"
#include "support/TestSupport.h"

namespace {

// A stand-in nmcli: a shell script that logs its arguments and answers as a
// NetworkManager with a dial-up profile "QX-7700-U" and networks of every kind would.
class FakeNmcli {
public:
  FakeNmcli() {
    const QString script = QStringLiteral(R"(#!/bin/sh
echo "$*" >> "%1"
case "$*" in
  "-t -f NAME,UUID,TYPE connection show --active")
    printf 'Wired connection 1:0b7a-11:802-3-ethernet\nQX-7700 Wi-Fi:1a-44:802-11-wireless\n'
    [ -f "%2" ] && printf 'QX-7700-U:5f3e-22:gsm\n'
    printf 'odd\\:name:9c-33:vpn\nPhone:bt-1:bluetooth\nPAN:bt-2:bluetooth\n'
    exit 0 ;;
  "-t -g bluetooth.type connection show bt-1") echo dun; exit 0 ;;
  "-t -g bluetooth.type connection show bt-2") echo panu; exit 0 ;;
  *"connection up id QX-7700-U") touch "%2"; exit 0 ;;
  *"connection up id"*) echo "Error: unknown connection" >&2; exit 10 ;;
  "connection down 5f3e-22") rm -f "%2"; exit 0 ;;
  *) exit 4 ;;
esac
)")
                               .arg(log(), m_dir.filePath("up"));
    testsupport::writeWholeFile(path(), script.toUtf8());
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  QString path() const { return m_dir.filePath("nmcli"); }
  QString log() const { return m_dir.filePath("calls.log"); }
  QString calls() const { return QString::fromUtf8(testsupport::readWholeFile(log())); }

private:
  QTemporaryDir m_dir;
};

}  // namespace

TEST(NmcliDialUp, ParsesTerseListsAndDialsListsAndHangsUpThroughTheClient) {
  const auto list = NmcliDialUp::ParseActive("QX-7700:ab-1:gsm\nback\\\\slash\\:x:cd-2\r\n\n:no-name\nlonely\n");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name + ' ' + list[0].handle + ' ' + list[0].type, "QX-7700 ab-1 gsm");
  EXPECT_EQ(list[1].name + ' ' + list[1].handle, "back\\slash:x cd-2");
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  FakeNmcli nmcli;
  NmcliDialUp dialUp(nmcli.path());
  std::vector<DialUp::Connection> active;
  uint32_t error = 99;
  // Only the dial-up kinds and VPNs: no wired or Wi-Fi network, no Bluetooth PAN.
  ASSERT_TRUE(dialUp.EnumConnections(active, error) && error == 0u);
  ASSERT_EQ(active.size(), 2u);
  EXPECT_EQ(QStringList({active[0].name, active[1].name}), QStringList({"odd:name", "Phone"}));

  QString handle;
  ASSERT_TRUE(dialUp.Dial("QX-7700-U", handle, error));
  EXPECT_EQ(handle, "5f3e-22");
  EXPECT_TRUE(nmcli.calls().contains("--wait 90 connection up id QX-7700-U"));
  ASSERT_TRUE(dialUp.HangUp(handle, error));
  EXPECT_TRUE(nmcli.calls().contains("connection down 5f3e-22"));

  EXPECT_TRUE(!dialUp.Dial("Nowhere", handle, error) && error == 10u);
  EXPECT_TRUE(!dialUp.HangUp("not-up", error) && error == 4u);

  // Without NetworkManager nothing can be up: an empty list, no error to show; a dial still fails with errno.
  NmcliDialUp missing("/nonexistent/nmcli");
  EXPECT_TRUE(missing.EnumConnections(active, error) && active.empty() && error == 0u);
  EXPECT_TRUE(!missing.Dial("QX-7700-U", handle, error) && error == uint32_t(ENOENT)) << "errno of a client not started";
}
