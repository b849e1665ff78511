#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include "app/CMainFrame.h"
#include "app/SerialSettingsText.h"
#include "common/CommandIds.h"
#include "common/StatusCodes.h"
#include "common/WindowMessages.h"
#include "platform/CommandRouter.h"
#include "platform/ProfileStore.h"
#include "support/TestSupport.h"

TEST(MainFrame, WindowSizeRule) {
  EXPECT_EQ(CMainFrame::InitialGeometry(0, {1920, 1080}), QRect(640, 300, 640, 480));
  EXPECT_EQ(CMainFrame::InitialGeometry(1, {1920, 1080}), QRect(560, 240, 800, 600));
  EXPECT_EQ(CMainFrame::InitialGeometry(3, {1024, 768}), QRect(-128, -128, 1280, 1024));
  EXPECT_EQ(CMainFrame::InitialGeometry(2, {1024, 768}).size(), QSize(1024, 768));
  EXPECT_EQ(CMainFrame::InitialGeometry(17, {1024, 768}).size(), QSize(1024, 768));
}

// The whole window keeps its size and place under any frame: the inside gives up the
// frame's extents on each side (left, top, right, bottom).
TEST(MainFrame, TheInsideLeavesRoomForTheFrame) {
  const struct { QRect whole; QMargins frame; QRect inside; } cases[] = {
      {{192, 144, 640, 480}, {}, {192, 144, 640, 480}},  // no window manager
      {{192, 144, 640, 480}, {1, 20, 1, 5}, {193, 164, 638, 455}},
      {{0, 0, 1024, 768}, {1, 20, 1, 5}, {1, 20, 1022, 743}},
      {{-128, -128, 1280, 1024}, {1, 20, 1, 5}, {-127, -108, 1278, 999}},
      {{112, 84, 800, 600}, {4, 30, 6, 2}, {116, 114, 790, 568}},  // uneven sides
      {{112, 84, 800, 600}, {0, 0, 0, 24}, {112, 84, 800, 576}},   // a bar below only
  };
  for (const auto& c : cases)
    EXPECT_EQ(CMainFrame::InsideGeometry(c.whole, c.frame), c.inside)
        << c.frame.left() << "," << c.frame.top() << "," << c.frame.right() << "," << c.frame.bottom();
}

// Line settings by their list indexes (an index the page never writes shows "?"); the
// fixed protocols show their own.
TEST(MainFrame, SerialSettingsTextFollowsTheProtocolAndLineSettings) {
  testsupport::TempProfile tmp;
  EXPECT_EQ(SerialSettingsText(), "9600-6-1-N");  // nothing stored
  const struct { const char* key; int value; const char* text; } steps[] = {
      {"Baudrate", 13, "115200-6-1-N"}, {"Databits", 3, "115200-8-1-N"}, {"Stopbits", 1, "115200-8-2-N"},
      {"Paritybits", 1, "115200-8-2-E"}, {"Baudrate", 40, "?-8-2-E"},     {"Protocol", 1, "9600-8-1-M"},
      {"Protocol", 2, "9600-8-1-E"},     {"Protocol", 3, "9600-8-1-E"},   {"Protocol", 4, ""}};
  for (const auto& s : steps) {
    platform::Profile().WriteProfileInt("PropertyPage1", s.key, s.value);
    EXPECT_EQ(SerialSettingsText(), s.text) << s.key << "=" << s.value;
  }
}

namespace {

struct FrameFixture {
  testsupport::TempProfile tmp;
  platform::CommandRouter router;
  platform::CommandTarget view;
  std::unique_ptr<CMainFrame> frame;
  std::vector<uint32_t> ran;
  bool recording = false;
  bool connected = false;

  FrameFixture() {
    for (uint32_t id : {ID_START_RECORDING, ID_STOP_RECORDING, ID_RESTART_RECORDING})
      view.onCommand(
          id, [this, id] { ran.push_back(id); },
          [this, id] { return connected && (id == ID_START_RECORDING ? !recording : recording); });
    for (uint32_t id : {ID_REFRESH, ID_DISPLAY_HEX, ID_DISPLAY_ASCII, ID_DISPLAY_LIST, ID_COMMENT_EDITOR,
                        ID_SEARCH_PATTERN, ID_CONTINUE_SEARCH, ID_DEBUG_INFORMATION})
      view.onCommand(id, [this, id] { ran.push_back(id); });
    frame = std::make_unique<CMainFrame>(router);
    router.setChain({&view, &frame->commands()});
    frame->show();
    frame->activateWindow();
    QApplication::setActiveWindow(frame.get());
    frame->UpdateCommandUi();
  }
};

}  // namespace

TEST(MainFrame, ToolbarHasItsButtonsInOrderInColourWhenEnabledGreyWhenNot) {
  FrameFixture f;
  const auto colour = [](QWidget* button) {
    const QImage img = button->grab().toImage();
    double sum = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) sum += img.pixelColor(x, y).hsvSaturationF();
    return sum / (img.width() * img.height());
  };
  QStringList order;
  for (QAction* a : f.frame->toolBar()->actions()) {
    order << (a->isSeparator() ? QString("|") : a->text().section('\t', 0, 0).remove('&'));
    if (a->isSeparator()) continue;
    QWidget* button = f.frame->toolBar()->widgetForAction(a);
    a->setEnabled(true);
    const double enabled = colour(button);
    a->setEnabled(false);
    const double disabled = colour(button);
    EXPECT_GT(enabled, 0.02) << order.last().toStdString();
    EXPECT_LT(disabled, enabled / 4) << order.last().toStdString();
  }
  EXPECT_EQ(order.join(','),
            QStringLiteral("Open...,Print...,|,Connect to Device,Disconnect Device,|,Start Recording,"
                           "Stop Recording,Restart Recording,|,Refresh,Display Hexadecimal,Display ASCII,"
                           "Display List,|,Search Pattern,Trigger Setup,Go to Item,|,Comment Editor,Settings,|,"
                           "About VRIM..."));
}

TEST(MainFrame, KeysReachTheirCommandsThroughTheEnableRules) {
  FrameFixture f;
  QTest::keyClick(f.frame.get(), Qt::Key_F5);
  EXPECT_TRUE(f.ran.empty());  // not connected: Start is disabled
  f.connected = true;
  f.frame->UpdateCommandUi();
  EXPECT_TRUE(f.frame->action(ID_START_RECORDING)->isEnabled());
  EXPECT_FALSE(f.frame->action(ID_STOP_RECORDING)->isEnabled());
  f.recording = true;  // the menus have not caught up: the key still works
  const std::vector<std::tuple<Qt::Key, Qt::KeyboardModifier, uint32_t>> keys = {
      {Qt::Key_F4, Qt::NoModifier, ID_RESTART_RECORDING},   {Qt::Key_F6, Qt::NoModifier, ID_STOP_RECORDING},
      {Qt::Key_F7, Qt::NoModifier, ID_REFRESH},             {Qt::Key_F8, Qt::NoModifier, ID_DISPLAY_HEX},
      {Qt::Key_F9, Qt::NoModifier, ID_DISPLAY_ASCII},       {Qt::Key_F10, Qt::NoModifier, ID_DISPLAY_LIST},
      {Qt::Key_F3, Qt::NoModifier, ID_CONTINUE_SEARCH},     {Qt::Key_E, Qt::ControlModifier, ID_COMMENT_EDITOR},
      {Qt::Key_F, Qt::ControlModifier, ID_SEARCH_PATTERN},  {Qt::Key_D, Qt::ControlModifier, ID_DEBUG_INFORMATION}};
  for (auto [key, modifier, id] : keys) {
    f.ran.clear();
    QTest::keyClick(f.frame.get(), key, modifier);
    EXPECT_EQ(f.ran, std::vector<uint32_t>{id}) << id;
  }
  // A command the program posts to itself is tested against the same rule.
  for (bool connected : {false, true}) {
    f.ran.clear();
    f.connected = connected;
    platform::PostMessage(f.frame->handle(), WM_COMMAND, ID_STOP_RECORDING);
    platform::PumpMessages();
    EXPECT_EQ(f.ran.size(), connected ? 1u : 0u);
  }
  // A state changed on another thread reaches the buttons when the frame is told.
  f.connected = false;
  platform::PostMessage(f.frame->handle(), WM_IDLEUPDATECMDUI);
  platform::PumpMessages();
  EXPECT_FALSE(f.frame->action(ID_STOP_RECORDING)->isEnabled());
  // Commands without a handler are disabled.
  EXPECT_FALSE(f.frame->action(ID_GO_TO_ITEM)->isEnabled());
}

TEST(MainFrame, StatusPanesShowFileNameLineSettingsAndPrompts) {
  FrameFixture f;
  EXPECT_EQ(f.frame->pane(1)->text() + f.frame->pane(2)->text() + f.frame->promptText(), "------Ready");
  EXPECT_EQ(QSize(f.frame->pane(1)->width(), f.frame->pane(2)->width()), QSize(120, 80));

  platform::PostMessage(f.frame->handle(), WM_STATUS_TEXT, STATUSTEXT_FILENAME,
                        platform::makePayload(QStringLiteral("ANALIZER.ANL")));
  platform::PostMessage(f.frame->handle(), WM_STATUS_TEXT, STATUSTEXT_LINE, 0);
  // An unknown protocol leaves pane 2 as it was; other codes do nothing.
  platform::PumpMessages();
  platform::Profile().WriteProfileInt("PropertyPage1", "Protocol", 9);
  platform::PostMessage(f.frame->handle(), WM_STATUS_TEXT, STATUSTEXT_LINE, 0);
  platform::PostMessage(f.frame->handle(), WM_STATUS_TEXT, 7, platform::makePayload(QStringLiteral("x")));
  platform::PumpMessages();
  EXPECT_EQ(f.frame->pane(1)->text() + " " + f.frame->pane(2)->text(), "ANALIZER.ANL 9600-6-1-N");

  // Hovering a toolbar button shows its prompt in pane 0.
  QStatusTipEvent tip(f.frame->action(ID_REFRESH)->statusTip());
  QApplication::sendEvent(f.frame.get(), &tip);
  EXPECT_EQ(f.frame->promptText(), QStringLiteral("Refresh current display."));
}

TEST(MainFrame, RecentEntriesShowTheirPathsAsNamed) {
  FrameFixture f;
  EXPECT_EQ(f.frame->windowTitle(), QStringLiteral("VRIM"));
  QStringList menus;
  for (QAction* a : f.frame->menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus.join(""), "&File&Analyze&Search&Calculate&Options&Edit&View&Help");
  QStringList opened;
  f.frame->openRecentFile = [&](const QString& p) { opened << p; };
  const QString longName = QStringLiteral("MORNING_SHIFT_MACHINE_0042_COINS.ANL");
  QStringList paths = {"/data/ANALIZER(1).ANL", "/a/very/long/folder/name/that/goes/on/LOG.ANL"};
  for (int i = 3; i <= 8; ++i) paths << QStringLiteral("/d/F%1.ANL").arg(i);
  paths << QStringLiteral("/data/") + longName << QStringLiteral("/lab/R&D/LAST.ANL");
  f.frame->SetRecentFiles(paths);
  QList<QAction*> entries;
  for (QAction* a : f.frame->menuBar()->actions().first()->menu()->actions())
    if (a->isVisible() && a->statusTip() == QStringLiteral("Open this document")) entries << a;
  ASSERT_EQ(entries.size(), 10);
  EXPECT_EQ(entries[0]->text(), QStringLiteral("&1 /data/ANALIZER(1).ANL"));
  EXPECT_LE(entries[1]->text().size(), 3 + 30);
  EXPECT_TRUE(entries[1]->text().endsWith("LOG.ANL"));
  EXPECT_EQ(entries[8]->text(), QStringLiteral("&9 ") + longName);          // whole, not cut
  EXPECT_EQ(entries[9]->text(), QStringLiteral("1&0 /lab/R&&D/LAST.ANL"));  // "&" shown, "0" the key
  entries[9]->trigger();
  EXPECT_EQ(opened, QStringList{QStringLiteral("/lab/R&D/LAST.ANL")});
}
