#include "capture/DataWrittenNotifier.h"

#include "common/CommandIds.h"
#include "common/StatusCodes.h"
#include "common/WindowMessages.h"
#include "platform/AppWindows.h"

namespace {

class PostingNotifier final : public DataWrittenNotifier {
public:
  void DataWritten(uint64_t fileLength) override {
    if (platform::MainFrameWindow() == platform::NULL_WINDOW) return;
    const platform::WindowHandle view = platform::ActiveViewWindow();
    // The count includes the 24-byte header: the view compares count * 6 with the
    // configured size limit.
    platform::PostMessage(view, WM_DATA_WRITTEN, 0, 0);
    platform::PostMessage(view, WM_VIEW_STATUS, STATUS_RUNNING, static_cast<intptr_t>(fileLength / 6));
  }
  void WriteFailed() override {
    if (platform::MainFrameWindow() == platform::NULL_WINDOW) return;
    platform::PostMessage(platform::ActiveViewWindow(), WM_COMMAND, ID_STOP_RECORDING, 0);
  }
};

}  // namespace

DataWrittenNotifier& DataWrittenNotifier::Default() {
  static PostingNotifier notifier;
  return notifier;
}
