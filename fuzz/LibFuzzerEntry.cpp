// The libFuzzer entry of one target; VRIM_FUZZ_ENTRY names the function.
#include <QCoreApplication>

#include "fuzz/FuzzTargets.h"
#include "platform/MessageBoxService.h"

namespace {
class SilentBoxes final : public platform::MessageBoxService {
public:
  int show(const QString&, unsigned) override { return platform::IDOK; }
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  static SilentBoxes boxes;
  platform::SetMessageBoxService(&boxes);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzz::VRIM_FUZZ_ENTRY(data, size); }
