#pragma once

#include "platform/MessageBoxService.h"

namespace platform {

// Shows a real modal QMessageBox, titled with the application title.
class QtMessageBoxService final : public MessageBoxService {
public:
  int show(const QString& text, unsigned type) override;
};

}  // namespace platform
