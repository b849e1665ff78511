// The program in list mode on a running MDB recording from the simulator: the names
// stand beside the bytes while new items keep arriving, not only once they stop.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/CVRIMApp.h"
#include "capture/DialUp.h"
#include "display/CItem.h"
#include "display/CVRIMView.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"

TEST(ListNamesWhileRecording, NamesStayBesideTheBytesOfARunningRecording) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  if (!testsupport::SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  testsupport::TempProfile tmp;
  testsupport::SimProcess sim({"--com", "58", "--scenario", "mdb", "--rate", "300", "--count", "0"});
  ASSERT_TRUE(sim.started());
  platform::ProfileStore p(platform::ProfileStore::pathForKey("Quellfeld_58"));
  for (auto [section, key, value] : {std::tuple{"PropertyPage1", "Protocol", 1}, {"PropertyPage2", "HDLCConnect", 1},
                                     {"PropertyPage2", "StartupConnect", 1}, {"PropertyPage2", "StartupAquire", 1},
                                     {"General", "DisplayAttribute", 8}})
    p.WriteProfileInt(section, key, value);
  p.WriteProfileString("PropertyPage2", "SerialPort", "COM58:");
  p.WriteProfileString("PropertyPage3", "FilePath", tmp.dir() + "/");

  testsupport::RecordingMessageBox boxes;
  CVRIMApp app;
  ASSERT_TRUE(app.InitInstance({"Profile=58"}));
  CVRIMView* view = app.GetActiveView();
  ASSERT_TRUE(testsupport::waitFor([&] { return view->IsRecording() && view->GetFirstItem() > 0; }, 10000));

  // While the screen keeps moving, names come back beside the new bytes each time;
  // each step waits for its condition, however slowly a loaded machine gets there.
  auto named = [&] {
    for (uint32_t i = 0; i < view->GetCellCount(); ++i)
      if (view->cell(i) && !view->cell(i)->text().isEmpty()) return true;
    return false;
  };
  for (int k = 0; k < 10; ++k) {
    const uint32_t before = view->GetItemCount();
    ASSERT_TRUE(testsupport::waitFor([&] { return view->GetItemCount() > before; }, 20000)) << "still recording";
    EXPECT_TRUE(testsupport::waitFor(named, 20000)) << "names beside the bytes of step " << k;
  }
  EXPECT_TRUE(boxes.texts().empty());
  app.ExitInstance();
}
