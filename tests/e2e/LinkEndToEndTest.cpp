// The simulator's own limits; recordings over both links run in the program end-to-end tests.
#include <gtest/gtest.h>

#include "support/SimProcess.h"

using testsupport::SimProcess;

// A batch that no frame or datagram carries would make the program drop everything.
TEST(LinkEndToEnd, TheSimulatorRefusesABatchAboveWhatOneFrameOrDatagramCarries) {
  if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  EXPECT_EQ(QProcess::execute(SimProcess::program(), {"--com", "53", "--batch", "251"}), 2);
  EXPECT_EQ(QProcess::execute(SimProcess::program(), {"--lan", "--batch", "1025"}), 2);
}
