#include "platform/AppWindows.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<WindowHandle> g_mainFrame{NULL_WINDOW};
std::atomic<WindowHandle> g_activeView{NULL_WINDOW};
}  // namespace

WindowHandle MainFrameWindow() { return g_mainFrame.load(); }
void SetMainFrameWindow(WindowHandle handle) { g_mainFrame.store(handle); }
WindowHandle ActiveViewWindow() { return g_activeView.load(); }
void SetActiveViewWindow(WindowHandle handle) { g_activeView.store(handle); }

}  // namespace platform
