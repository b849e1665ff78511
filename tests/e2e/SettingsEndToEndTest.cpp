// Settings made through the settings sheet and the trigger setup dialog, driven with
// keys and clicks, reach the simulated QX-7700 and the recording.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "support/ProgramHost.h"

using namespace testsupport;

namespace {

// The items the trigger keeps: from `leading` items (since it was armed) before each
// start pattern to the end of the next stop pattern (or of the start pattern without
// one), then `trailing` items.
QByteArray triggerWindows(const QByteArray& items, const QByteArray& start, const QByteArray& stop,
                          int leading, int trailing) {
  QByteArray data;
  for (qsizetype at = 1; at < items.size(); at += 6) data += items[at];
  QByteArray out;
  for (qsizetype armed = 0, s; (s = data.indexOf(start, armed)) >= 0;) {
    qsizetype end = s + start.size();
    if (!stop.isEmpty())
      end = data.indexOf(stop, end) < 0 ? data.size() : data.indexOf(stop, end) + stop.size();
    end = std::min(end + trailing, data.size());
    const qsizetype from = std::max(armed, s - leading);
    out += items.mid(from * 6, (end - from) * 6);
    armed = end;
  }
  return out;
}

using SettingsEndToEnd = ProgramHost;

}  // namespace

// New baud rate, data bits and parity chosen on the communication page go out with the next Start; the bus
// load frame and the rest of the line settings stay as they were. A trigger from its dialog: the file holds
// exactly the trigger's windows; with the stop box clear they run past the stop pattern.
TEST_F(SettingsEndToEnd, LineSettingsReachTheDeviceAtTheNextStartAndTheTriggerRecordsItsWindows) {
  start({"--count", "1500", "--rate", "6000", "--scenario", "rs232", "--seed", "5"}, 70, 130);
  const auto all = [](const QByteArray& items) { return items; };
  record(1500, all);
  const QString busLoad = "bus-load load=3 master=16 slave=16";
  ASSERT_EQ(commands(), QStringList({busLoad, "line-settings baud=9600 stop=0 parity=0 data=6", "acquire 1",
                                     "acquire 0"}));

  post(ID_SETTINGS, [](QWidget* sheet) {
    QTest::keyClick(child<QComboBox>(sheet, "baudrate"), Qt::Key_End);
    for (const char* list : {"databits", "databits", "parity", "parity"})
      QTest::keyClick(child<QComboBox>(sheet, list), Qt::Key_Down);
    testsupport::press(sheet, QDialogButtonBox::Ok);
  });
  record(1500, all);
  EXPECT_EQ(commands().mid(4), QStringList({busLoad, "line-settings baud=115200 stop=0 parity=2 data=8",
                                            "acquire 1", "acquire 0"}));
  EXPECT_EQ(frame()->pane(2)->text(), "115200-8-1-O");

  const QByteArray startPattern = "CREDIT", stopPattern = "OK\r\n";
  for (const bool stopBox : {true, false}) {
    post(ID_TRIGGER_SETUP, [&](QWidget* dialog) {
      for (auto [name, on] : {std::pair{"triggerstate", true}, {"stoprecording", stopBox}})
        if (child<QCheckBox>(dialog, name)->isChecked() != on) click(child<QCheckBox>(dialog, name));
      type(child<QComboBox>(dialog, "startpattern")->lineEdit(), startPattern.toHex(' '));
      type(child<QComboBox>(dialog, "stoppattern")->lineEdit(), stopPattern.toHex(' '));
      type(child<QLineEdit>(dialog, "leading"), "5");
      type(child<QLineEdit>(dialog, "trailing"), "5");
      testsupport::press(dialog, QDialogButtonBox::Ok);
    });
    const QByteArray stop = stopBox ? stopPattern : QByteArray();
    const QByteArray sent = record(
        1500, [&](const QByteArray& items) { return triggerWindows(items, startPattern, stop, 5, 5); });
    // The recording holds windows, and the two settings give different ones.
    EXPECT_GT(triggerWindows(sent, startPattern, stop, 5, 5).size(), 6 * 20);
    EXPECT_NE(triggerWindows(sent, startPattern, stopPattern, 5, 5),
              triggerWindows(sent, startPattern, {}, 5, 5));
  }
  EXPECT_EQ(m_box.count(), 0u);
}
