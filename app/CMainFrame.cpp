#include "app/CMainFrame.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include "app/AppIcon.h"
#include "app/CommandTable.h"
#include "app/SerialSettingsText.h"
#include "common/CommandIds.h"
#include "common/StatusCodes.h"
#include "common/WindowMessages.h"
#include "platform/CommandRouter.h"
#include "platform/ProfileStore.h"
#include "platform/RecentFileList.h"

namespace {

constexpr int PANE1_WIDTH = 120;
constexpr int PANE2_WIDTH = 80;
constexpr int IDLE_UPDATE_MS = 100;

// Menu entries show a long path shortened to 30 characters, keeping its end; a file
// name that is longer on its own is shown whole, so two entries never look alike.
QString shortenedPath(const QString& path) {
  constexpr int MAX_SHOWN = 30;
  if (path.size() <= MAX_SHOWN) return path;
  const QString name = QFileInfo(path).fileName();
  if (name.size() + 4 >= MAX_SHOWN) return name;
  return path.left(MAX_SHOWN - name.size() - 4) + QStringLiteral(".../") + name;
}

// The menu text of recent entry `number` (1 to 10): its mnemonic digit, then the
// path with every "&" doubled so that a folder such as "R&D" is shown as it is named.
QString recentEntryText(int number, const QString& path) {
  QString shown = shortenedPath(path);
  shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
  const QString mnemonic = number == 10 ? QStringLiteral("1&0") : QStringLiteral("&%1").arg(number);
  return mnemonic + QLatin1Char(' ') + shown;
}

}  // namespace

CMainFrame::CMainFrame(platform::CommandRouter& router, QWidget* parent)
    : QMainWindow(parent), m_router(router) {
  m_messages.on(WM_STATUS_TEXT, [this](platform::Message& m) { return OnStatusText(m); });
  m_messages.on(WM_IDLEUPDATECMDUI, [this](platform::Message&) {
    UpdateCommandUi();
    return intptr_t{0};
  });
  m_messages.on(WM_COMMAND, [this](platform::Message& m) {
    m_router.route(static_cast<uint32_t>(m.wParam));
    return intptr_t{0};
  });
  m_commands.onCommand(ID_SETTINGS, [this] { OnSettings(); }, [this] { return bool(runSettings); });
  m_commands.onCommand(ID_UPDATE_FIRMWARE, [this] { OnUpdateFirmware(); },
                       [this] { return bool(runUpdateFirmware); });
  m_commands.onCommand(ID_APP_EXIT, [this] { close(); });
  m_commands.onCommand(ID_VIEW_TOOLBAR, [this] { m_toolBar->setVisible(!m_toolBar->isVisible()); });
  m_commands.onChecked(ID_VIEW_TOOLBAR, [this] { return !m_toolBar->isHidden(); });
  m_commands.onCommand(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
  m_commands.onChecked(ID_VIEW_STATUS_BAR, [this] { return !statusBar()->isHidden(); });
  PreCreateWindow();
  OnCreate();
}

CMainFrame::~CMainFrame() = default;

QRect CMainFrame::InitialGeometry(uint32_t screenSizeChoice, const QSize& screen) {
  QSize size;
  switch (screenSizeChoice) {
    case 0: size = QSize(640, 480); break;
    case 1: size = QSize(800, 600); break;
    case 3: size = QSize(1280, 1024); break;
    default: size = QSize(1024, 768); break;
  }
  const int x = (screen.width() - size.width()) / 2;
  const int y = (screen.height() - size.height()) / 2;
  return QRect(QPoint(x, y), size);
}

QRect CMainFrame::InsideGeometry(const QRect& whole, const QMargins& frame) {
  return whole.marginsRemoved(frame);
}

void CMainFrame::PreCreateWindow() {
  QSize screen(1024, 768);
  if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
  const QRect g = InitialGeometry(platform::Profile().GetProfileInt("PropertyPage3", "ScreenSize", 0), screen);
  // Without a window manager the inside is the whole window. A frame's extents are
  // known only once the window manager has framed the shown window; then the inside
  // shrinks so that the whole keeps this size and place. The offscreen platform has no
  // window manager: the frame it reports around a window is made up.
  resize(g.size());
  move(g.topLeft());
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) m_wholeToFit = g;
}

bool CMainFrame::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::Show:
      // A frame that leaves the inside where it was moves nothing; its window is
      // exposed all the same.
      if (QWindow* w = windowHandle(); w && m_wholeToFit) w->installEventFilter(this);
      fitToFrame();
      break;
    case QEvent::Move:
    case QEvent::Resize:
      fitToFrame();
      break;
    default:
      break;
  }
  return QMainWindow::event(event);
}

void CMainFrame::fitToFrame() {
  if (!m_wholeToFit || !isVisible() || !windowHandle()) return;
  const QMargins frame = windowHandle()->frameMargins();
  if (frame.isNull()) return;
  const QRect inside = InsideGeometry(*m_wholeToFit, frame);
  m_wholeToFit.reset();  // once: from here on the user sizes and places the window
  windowHandle()->removeEventFilter(this);
  setGeometry(inside);
}

void CMainFrame::OnCreate() {
  setWindowIcon(AppIcon());
  setAcceptDrops(true);
  buildMenus();
  buildToolBar();
  buildStatusBar();
  SetDocumentTitle(QString());
  // Menus and buttons follow the enable rules whenever the event loop runs dry, so
  // nothing wakes the program while it is idle. Under a stream of events the update
  // runs at most every IDLE_UPDATE_MS, the last one trailing.
  m_idle = new QTimer(this);
  m_idle->setSingleShot(true);
  m_idle->setInterval(IDLE_UPDATE_MS);
  connect(m_idle, &QTimer::timeout, this, &CMainFrame::OnIdle);
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance(thread()))
    connect(d, &QAbstractEventDispatcher::aboutToBlock, this, &CMainFrame::OnIdle);
  m_lastIdleUpdate.start();
}

void CMainFrame::buildMenus() {
  std::map<QString, QMenu*> menus;
  for (const char* title : MenuTitles()) {
    QMenu* m = menuBar()->addMenu(QString::fromLatin1(title));
    menus[QString::fromLatin1(title)] = m;
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
  }
  m_fileMenu = menus[QStringLiteral("&File")];
  for (const CommandEntry& e : MenuCommands()) {
    QMenu* menu = menus[QString::fromLatin1(e.menu)];
    if (e.id == 0) {
      menu->addSeparator();
      continue;
    }
    auto* a = new QAction(QString::fromLatin1(e.caption), this);  // the key text after the tab shows in the menu
    if (e.prompt) a->setStatusTip(QString::fromLatin1(e.prompt));
    const uint32_t id = e.id;
    connect(a, &QAction::triggered, this, [this, id] { RunCommand(id); });
    // Keys stay live whatever the entry shows: a disabled action would swallow a key
    // pressed before the menus caught up with a change, and the rule is tested when
    // the command runs anyway. They work while the menu bar is hidden too.
    if (!e.key.isEmpty()) {
      auto* key = new QShortcut(e.key, this, nullptr, nullptr, Qt::WindowShortcut);
      connect(key, &QShortcut::activated, this, [this, id] { RunCommand(id); });
    }
    menu->addAction(a);
    m_actions[id] = a;
    if (id == ID_FILE_MRU_FILE1) {
      m_recentAnchor = a;
      a->setEnabled(false);
    }
  }
}

void CMainFrame::buildToolBar() {
  m_toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
  m_toolBar->setObjectName(QStringLiteral("toolbar59392"));
  m_toolBar->setIconSize(QSize(16, 15));
  m_toolBar->setMovable(true);
  m_toolBar->setFloatable(true);
  m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
  for (uint32_t id : ToolbarCommands()) {
    if (id == 0) {
      m_toolBar->addSeparator();
      continue;
    }
    QAction* a = m_actions.at(id);
    a->setIcon(ToolbarIcon(id));
    m_toolBar->addAction(a);
    // Buttons show their prompt in the status bar and no tooltip.
    if (QWidget* button = m_toolBar->widgetForAction(a)) button->installEventFilter(this);
  }
  addToolBar(Qt::TopToolBarArea, m_toolBar);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTip) return true;
  if (event->type() == QEvent::Expose && watched == windowHandle()) fitToFrame();
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::buildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("statusbar59393"));
  // Pane 0: the prompts, and "Ready" while no prompt is shown.
  m_ready = new QLabel(QStringLiteral("Ready"), bar);
  bar->addWidget(m_ready, 1);
  m_pane1 = new QLabel(QStringLiteral("---"), bar);
  m_pane1->setFixedWidth(PANE1_WIDTH);
  m_pane2 = new QLabel(QStringLiteral("---"), bar);
  m_pane2->setFixedWidth(PANE2_WIDTH);
  bar->addPermanentWidget(m_pane1);
  bar->addPermanentWidget(m_pane2);
}

void CMainFrame::RunCommand(uint32_t id) {
  m_router.route(id);
  UpdateCommandUi();
}

QLabel* CMainFrame::pane(int index) const {
  switch (index) {
    case 1: return m_pane1;
    case 2: return m_pane2;
    default: return m_ready;
  }
}

QString CMainFrame::promptText() const {
  const QString temp = statusBar()->currentMessage();
  return temp.isEmpty() ? m_ready->text() : temp;
}

QAction* CMainFrame::action(uint32_t id) const {
  auto it = m_actions.find(id);
  return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::SetDocumentTitle(const QString& title) {
  setWindowTitle(title.isEmpty() ? QStringLiteral("VRIM") : title + QStringLiteral(" - VRIM"));
}

void CMainFrame::SetRecentFiles(const QStringList& paths) {
  for (QAction* a : m_recentActions) {
    m_fileMenu->removeAction(a);
    delete a;
  }
  m_recentActions.clear();
  if (paths.isEmpty()) {
    m_recentAnchor->setVisible(true);
    return;
  }
  m_recentAnchor->setVisible(false);
  for (int i = 0; i < paths.size() && i < platform::RecentFileList::MAX_ENTRIES; ++i) {
    const QString path = paths[i];
    auto* a = new QAction(recentEntryText(i + 1, path), this);
    a->setStatusTip(QStringLiteral("Open this document"));
    connect(a, &QAction::triggered, this, [this, path] {
      if (openRecentFile) openRecentFile(path);
      UpdateCommandUi();
    });
    m_fileMenu->insertAction(m_recentAnchor, a);
    m_recentActions.push_back(a);
  }
}

void CMainFrame::OnIdle() {
  if (m_closed) return;
  if (m_lastIdleUpdate.isValid() && m_lastIdleUpdate.elapsed() < IDLE_UPDATE_MS) {
    if (!m_idle->isActive()) m_idle->start();
    return;
  }
  m_lastIdleUpdate.restart();
  UpdateCommandUi();
}

void CMainFrame::UpdateCommandUi() {
  for (auto& [id, a] : m_actions) {
    if (id == ID_FILE_MRU_FILE1) continue;
    a->setEnabled(m_router.isEnabled(id));
    if (m_router.hasCheck(id)) {
      a->setCheckable(true);
      a->setChecked(m_router.isChecked(id));
    }
  }
}

intptr_t CMainFrame::OnStatusText(platform::Message& msg) {
  switch (msg.wParam) {
    case STATUSTEXT_FILENAME:
      if (const QString* text = msg.payloadAs<QString>()) {
        m_pane1->setText(text->left(260));
        m_pane1->repaint();
      }
      break;  // the payload is freed with the message
    case STATUSTEXT_LINE: {
      const QString line = SerialSettingsText();
      if (!line.isEmpty()) {
        m_pane2->setText(line);
        m_pane2->repaint();
      }
      break;
    }
    default:
      break;
  }
  return 0;
}

void CMainFrame::OnSettings() {
  if (runSettings) runSettings();
}

void CMainFrame::OnUpdateFirmware() {
  if (runUpdateFirmware) runUpdateFirmware();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (canCloseFrame && !canCloseFrame()) {
    event->ignore();
    return;
  }
  m_closed = true;
  m_idle->stop();
  event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  // The paths are taken out before anything opens: an open may show a box, and the
  // drop is done with by then. A place that is no local file (a web link, a remote
  // share) names no file here: it fails as a missing file does, with its message.
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) paths << (url.isLocalFile() ? url.toLocalFile() : QString());
  event->acceptProposedAction();
  // Each in turn: all reach the recent list, the last one stays shown.
  for (const QString& path : paths)
    if (openDocument) openDocument(path);
  UpdateCommandUi();
}
