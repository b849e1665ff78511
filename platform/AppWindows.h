#pragma once

#include "platform/MessageWindow.h"

// The windows that engine code posts to: the main frame (status-bar texts) and its
// active view (data written, status). The UI registers them when it creates them and
// clears them when they close; engine threads read them at each post.
namespace platform {

WindowHandle MainFrameWindow();
void SetMainFrameWindow(WindowHandle handle);
WindowHandle ActiveViewWindow();
void SetActiveViewWindow(WindowHandle handle);

}  // namespace platform
