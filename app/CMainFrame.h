#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>

#include "platform/CommandTarget.h"
#include "platform/MessageWindow.h"

class QLabel;
class QMenu;
class QTimer;
class QToolBar;

namespace platform {
class CommandRouter;
}

// The main window: menu, toolbar, status bar with the file-name and line-settings
// panes, the window size rule, dropped files, and the Settings and Update Firmware
// commands. Every menu entry, key and toolbar button goes through the command
// router, which applies the enable rules.
class CMainFrame : public QMainWindow {
  Q_OBJECT
public:
  explicit CMainFrame(platform::CommandRouter& router, QWidget* parent = nullptr);
  ~CMainFrame() override;

  platform::WindowHandle handle() const { return m_messages.handle(); }
  platform::CommandTarget& commands() { return m_commands; }

  // Window size and place from the "ScreenSize" choice, centred on a screen of the
  // given size (a window larger than the screen starts left of or above it). Both are
  // of the whole window, frame and title bar included.
  static QRect InitialGeometry(uint32_t screenSizeChoice, const QSize& screen);
  // The inside of a window whose whole is `whole` under a frame of the given extents.
  static QRect InsideGeometry(const QRect& whole, const QMargins& frame);
  void PreCreateWindow();

  // The document title that the view's status text sets; shown ahead of "VRIM".
  void SetDocumentTitle(const QString& title);

  QAction* action(uint32_t id) const;
  QToolBar* toolBar() const { return m_toolBar; }
  QLabel* pane(int index) const;  // 1: file name, 2: line settings
  QString promptText() const;     // what pane 0 shows now

  // Recent files as the menu shows them (entry 1 first).
  void SetRecentFiles(const QStringList& paths);

  // Brings every action's enabled and checked state up to date with the rules.
  void UpdateCommandUi();
  // A menu entry, key or button: the command through its rule, then the menus.
  void RunCommand(uint32_t id);

  // Hooks of the document: the close test and the opening of dropped files.
  std::function<bool()> canCloseFrame;
  std::function<void(const QString&)> openDocument;
  // An entry of the recent-file list chosen from the menu.
  std::function<void(const QString&)> openRecentFile;
  // The Settings sheet and the firmware update dialog, run modally.
  std::function<void()> runSettings;
  std::function<void()> runUpdateFirmware;

protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void OnCreate();
  void fitToFrame();
  void OnIdle();
  void buildMenus();
  void buildToolBar();
  void buildStatusBar();
  intptr_t OnStatusText(platform::Message& msg);
  void OnSettings();
  void OnUpdateFirmware();

  platform::CommandRouter& m_router;
  platform::CommandTarget m_commands;
  platform::MessageWindow m_messages;
  std::map<uint32_t, QAction*> m_actions;
  QMenu* m_fileMenu = nullptr;
  QAction* m_recentAnchor = nullptr;
  std::vector<QAction*> m_recentActions;
  QToolBar* m_toolBar = nullptr;
  QLabel* m_ready = nullptr;
  QLabel* m_pane1 = nullptr;
  QLabel* m_pane2 = nullptr;
  QTimer* m_idle = nullptr;
  QElapsedTimer m_lastIdleUpdate;
  bool m_closed = false;
  // The whole window that PreCreateWindow chose, until the frame's extents are known.
  std::optional<QRect> m_wholeToFit;
};
