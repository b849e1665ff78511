// The print commands in the program: enabled by the shown file, and with no printer
// installed, direct print writes a PDF file beside the shown file and says so.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPrinterInfo>

#include "app/CMainFrame.h"
#include "app/CVRIMApp.h"
#include "app/CVRIMDoc.h"
#include "capture/DialUp.h"
#include "common/CommandIds.h"
#include "platform/CommandRouter.h"
#include "support/AcquisitionFile.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

TEST(PrintCommands, FollowTheShownFileAndDirectPrintWritesAPdfBesideIt) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();  // registers the document type with the desktop's tools
  if (!QPrinterInfo::availablePrinterNames().isEmpty()) GTEST_SKIP() << "a printer is installed";
  testsupport::TempProfile tmp;
  testsupport::RecordingMessageBox boxes;
  const QString path = tmp.file("SHOWN.ANL");
  testsupport::writeWholeFile(path, testsupport::anlHeader() + QByteArray(6 * 100, '\0'));
  CVRIMApp app;
  ASSERT_TRUE(app.InitInstance({"Profile=61"}));
  const platform::CommandRouter& router = *app.GetCommandRouter();
  const auto enabled = [&] {
    return router.isEnabled(ID_FILE_PRINT) + router.isEnabled(ID_FILE_PRINT_DIRECT) +
           router.isEnabled(ID_FILE_PRINT_PREVIEW);
  };
  EXPECT_EQ(enabled(), 0);
  ASSERT_TRUE(app.GetDocument()->OnOpenDocument(path));
  EXPECT_EQ(enabled(), 3);
  router.route(ID_FILE_PRINT_DIRECT);
  EXPECT_TRUE(QFileInfo(tmp.file("SHOWN.pdf")).size() > 0);
  EXPECT_TRUE(app.GetMainWnd()->promptText().endsWith("SHOWN.pdf"));
  EXPECT_TRUE(boxes.texts().empty());
  app.ExitInstance();
}
