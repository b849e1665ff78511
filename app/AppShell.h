#pragma once

#include <QPrinter>
#include <memory>

#include "app/CCmdLineInfo.h"
#include "app/CMainFrame.h"
#include "app/CShellOpen.h"
#include "app/CVRIMApp.h"
#include "app/CVRIMDoc.h"
#include "app/ViewRecordingAdapter.h"
#include "capture/CRecordingControl.h"
#include "platform/CommandRouter.h"
#include "platform/CommandTarget.h"

class CVRIMView;

// What InitInstance makes of the application: the document, the frame with its
// view, the command layer and the desktop's open requests. The frame owns the view.
struct CVRIMApp::Shell {
  CCmdLineInfo cmdInfo;
  platform::CommandRouter router;
  platform::CommandTarget appCommands;
  platform::CommandTarget viewCommands;
  std::unique_ptr<CVRIMDoc> doc;
  std::unique_ptr<CMainFrame> frame;
  CVRIMView* view = nullptr;
  std::unique_ptr<ViewRecordingAdapter> viewAdapter;
  std::unique_ptr<CRecordingControl> recording;
  std::unique_ptr<CShellOpen> shellOpen;
  QPrinter printer{QPrinter::HighResolution};  // chosen by Print Setup, used by printing
};
