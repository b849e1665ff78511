#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <algorithm>
#include <QLabel>
#include <QProcess>

#include "app/CAboutDlg.h"
#include "app/CShellOpen.h"
#include "app/CVRIMDoc.h"
#include "capture/CActiveFile.h"
#include "common/CommandIds.h"
#include "common/WindowMessages.h"
#include "platform/AppWindows.h"
#include "platform/File.h"
#include "platform/MessageWindow.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

namespace {

// Stands for the view: records what reaches it.
struct ViewProbe {
  platform::MessageWindow window;
  size_t loaded = 0;  // file-loaded notices
  ViewProbe() {
    window.on(WM_FILE_LOADED, [this](platform::Message&) {
      ++loaded;
      return intptr_t{0};
    });
    platform::SetActiveViewWindow(window.handle());
  }
  ~ViewProbe() { platform::SetActiveViewWindow(platform::NULL_WINDOW); }
};

struct Document : ::testing::Test {
  testsupport::TempProfile tmp;
  testsupport::RecordingMessageBox boxes;
  ViewProbe view;
  CActiveFile file;
  CVRIMDoc doc{file};
};

}  // namespace

TEST_F(Document, FileOpenOpensTheShownFileAndTellsTheViewEvenOnFailure) {
  QString answer;  // Cancel
  doc.chooseFile = [&] { return answer; };
  doc.commands().run(ID_FILE_OPEN);
  platform::PumpMessages();
  EXPECT_TRUE(view.loaded == 0);

  const QString path = tmp.file("LOG.ANL");
  testsupport::writeWholeFile(path, QByteArray(30, '\0'));
  answer = path;
  doc.commands().run(ID_FILE_OPEN);
  platform::PumpMessages();
  EXPECT_TRUE(file.IsOpen() && file.GetPath() == path);
  EXPECT_EQ(view.loaded, 1u);
  EXPECT_TRUE(doc.GetPathName().isEmpty());  // File Open leaves the document's path alone

  answer = tmp.file("missing.ANL");
  doc.OnFileOpen();
  platform::PumpMessages();
  EXPECT_TRUE(!file.IsOpen() && file.GetPath() == path);
  EXPECT_EQ(view.loaded, 2u);
  EXPECT_EQ(boxes.count(), 1u);
}

TEST_F(Document, OpenDocumentRefusesAFileBeingRecordedAndFeedsTheRecentList) {
  QStringList recent;
  doc.addToRecentFileList = [&](const QString& p) { recent << p; };
  const QString path = tmp.file("REC.ANL");
  {
    platform::File writer;
    ASSERT_TRUE(writer.open(path, platform::File::Mode::CreateWriteShared));
    EXPECT_FALSE(doc.OnOpenDocument(path));
    platform::PumpMessages();
    EXPECT_TRUE(boxes.count() == 1u && !file.IsOpen() && view.loaded == 0);
  }
  EXPECT_TRUE(doc.OnOpenDocument(path));
  platform::PumpMessages();
  EXPECT_TRUE(file.IsOpen() && view.loaded == 1u);
  EXPECT_EQ(doc.GetPathName(), path);
  EXPECT_EQ(recent, QStringList{path});
}

// The recent list, drops and vrim-open keep out a file that another program writes:
// the refusal loads nothing and the shown file stays. File Open reads it as it is.
TEST_F(Document, OpenDocumentRefusesAFileAnotherProgramWritesButNotOneItReads) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  QStringList recent;
  doc.addToRecentFileList = [&](const QString& p) { recent << p; };
  const QString shown = tmp.file("SHOWN.ANL"), other = tmp.file("OTHER.ANL");
  testsupport::writeWholeFile(shown, QByteArray(12, '\1'));
  testsupport::writeWholeFile(other, QByteArray(18, '\2'));
  ASSERT_TRUE(doc.OnOpenDocument(shown));
  QProcess writer, reader;
  ASSERT_TRUE(testsupport::holdInOtherProgram(writer, other, true));
  EXPECT_FALSE(doc.OnOpenDocument(other));
  platform::PumpMessages();
  EXPECT_EQ(boxes.texts(), std::vector<QString>{"Failed to open document."});
  EXPECT_TRUE(file.IsOpen() && file.GetPath() == shown && file.GetLength() == 12u);
  EXPECT_TRUE(view.loaded == 1u && doc.GetPathName() == shown && recent == QStringList{shown});

  doc.chooseFile = [&] { return other; };
  doc.OnFileOpen();
  EXPECT_TRUE(file.GetPath() == other && file.GetLength() == 18u && boxes.count() == 1u);

  ASSERT_TRUE(testsupport::releaseHold(writer));
  EXPECT_TRUE(doc.OnOpenDocument(other));
  ASSERT_TRUE(testsupport::holdInOtherProgram(reader, shown, false));
  EXPECT_TRUE(doc.OnOpenDocument(shown));
  EXPECT_TRUE(testsupport::releaseHold(reader));
  platform::PumpMessages();
  EXPECT_TRUE(file.GetPath() == shown && boxes.count() == 1u && view.loaded == 4u);
  EXPECT_EQ(recent, QStringList({shown, other, shown}));
}

TEST(AboutBox, ShowsProductInterfaceVersionAndMaker) {
  CAboutDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About VRIM"));
  EXPECT_TRUE(dlg.aboutText().startsWith('\n'));
  for (const char* line : {"\nVRIM - Vending Bus Analyzer\n", "\nfor the QX-7700-x acquisition interface\n",
                           "\nVersion 04.11 build 30.05.2016\n", "\nMade by the VRIM project\n"})
    EXPECT_TRUE(dlg.aboutText().contains(line)) << line;
  const auto labels = dlg.findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](QLabel* l) { return l->text() == dlg.aboutText(); }));
}

TEST(ShellOpen, RunningCopyTakesOpenRequestsOfItsProfileOnly) {
  testsupport::TempProfile tmp;
  CShellOpen shell;
  QStringList opened;
  ASSERT_TRUE(shell.EnableShellOpen("Quellfeld_42", [&](const QString& p) { opened << p; }));
  const QString a = tmp.file("A.ANL"), b = tmp.file("B.ANL");
  ASSERT_TRUE(CShellOpen::SendOpenRequest("Quellfeld_42", {a, b}));
  EXPECT_TRUE(testsupport::waitFor([&] { return opened == QStringList({a, b}); })) << opened.join(' ').toStdString();
  EXPECT_FALSE(CShellOpen::SendOpenRequest("Quellfeld_43", {a}, 200));

  // A second copy of the same profile leaves the requests with the first.
  CShellOpen second;
  QStringList openedBySecond;
  EXPECT_FALSE(second.EnableShellOpen("Quellfeld_42", [&](const QString& p) { openedBySecond << p; }));
  ASSERT_TRUE(CShellOpen::SendOpenRequest("Quellfeld_42", {b}));
  EXPECT_TRUE(testsupport::waitFor([&] { return opened.size() == 3; }) && openedBySecond.isEmpty());
}

// The running copy has a working folder of its own: a relative path reaches it
// resolved against the folder vrim-open was started in, "..", too.
TEST(ShellOpen, RelativePathsReachTheRunningCopyResolvedAgainstTheCallersFolder) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();  // runs vrim-open
  testsupport::TempProfile tmp;
  CShellOpen shell;
  QStringList opened;
  ASSERT_TRUE(shell.EnableShellOpen("Quellfeld_07", [&](const QString& p) { opened << p; }));
  // A stand-in for the program, should the request not get through.
  QDir(tmp.dir()).mkpath("bin/");
  QDir(tmp.dir()).mkpath("data/sub/");
  ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/vrim-open", tmp.file("bin/vrim-open")));
  testsupport::writeWholeFile(tmp.file("bin/vrim"), "#!/bin/sh\n");
  QFile::setPermissions(tmp.file("bin/vrim"), QFile::ReadOwner | QFile::ExeOwner);
  testsupport::writeWholeFile(tmp.file("data/A.ANL"), "");
  testsupport::writeWholeFile(tmp.file("data/sub/B.ANL"), "");
  testsupport::writeWholeFile(tmp.file("data/sub/ C\nD.ANL "), "");
  QProcess open;
  open.setWorkingDirectory(tmp.file("data/sub"));
  // Blanks and line breaks belong to a name.
  open.start(tmp.file("bin/vrim-open"), {"Profile=7", "../A.ANL", "B.ANL", "./../sub/../A.ANL", " C\nD.ANL "});
  const QString data = QFileInfo(tmp.file("data")).canonicalFilePath();
  const QStringList expected = {data + "/A.ANL", data + "/sub/B.ANL", data + "/A.ANL", data + "/sub/ C\nD.ANL "};
  EXPECT_TRUE(testsupport::waitFor([&] { return opened.size() >= 4; }, 10000));
  EXPECT_EQ(opened.join('|').toStdString(), expected.join('|').toStdString());
  // The wait above runs the event loop, which may already have seen it finish.
  EXPECT_TRUE(testsupport::waitFor([&] { return open.state() == QProcess::NotRunning; }, 10000));
  EXPECT_EQ(open.exitCode(), 0) << open.readAllStandardError().constData();
}

TEST(ShellOpen, TheSocketIsPrivateAndKeyedOnTheSettingsFolder) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();  // runs vrim-open
  testsupport::TempProfile tmp;
  const QByteArray config = qgetenv("XDG_CONFIG_HOME"), runtime = qgetenv("XDG_RUNTIME_DIR"), user = qgetenv("USER");
  const auto nameWith = [](const char* var, const QString& value) {
    qputenv(var, value.toLocal8Bit());
    return CShellOpen::ServerName("Quellfeld");
  };
  qunsetenv("USER");
  const QString fallback = nameWith("XDG_RUNTIME_DIR", "");
  struct stat st {};
  EXPECT_EQ(::stat(QFile::encodeName(QFileInfo(fallback).absolutePath()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u) << fallback.toStdString();
  EXPECT_EQ(nameWith("XDG_RUNTIME_DIR", tmp.dir()), tmp.dir() + "/" + QFileInfo(fallback).fileName());
  EXPECT_NE(nameWith("XDG_CONFIG_HOME", tmp.dir()), tmp.dir() + "/" + QFileInfo(fallback).fileName());
  EXPECT_NE(CShellOpen::ServerName("Quellfeld_01"), CShellOpen::ServerName("Quellfeld"));
  // A folder others may enter is refused: vrim-open says why at once and starts no copy (of a stand-in here).
  QDir(tmp.dir()).mkdir("open");
  EXPECT_EQ(nameWith("XDG_RUNTIME_DIR", tmp.file("open")), QString());
  EXPECT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/vrim-open", tmp.file("vrim-open")));
  testsupport::writeWholeFile(tmp.file("vrim"), "#!/bin/sh\ntouch \"$0.started\"\n");
  QFile::setPermissions(tmp.file("vrim"), QFile::ReadOwner | QFile::ExeOwner);
  QProcess refused;
  refused.start(tmp.file("vrim-open"), {"/x/A.ANL"});
  EXPECT_TRUE(refused.waitForFinished(5000) && refused.exitCode() != 0);
  EXPECT_TRUE(refused.readAllStandardError().contains(tmp.file("open").toUtf8()) && !QFile::exists(tmp.file("vrim.started")));
  qputenv("XDG_CONFIG_HOME", config), qputenv("XDG_RUNTIME_DIR", runtime), qputenv("USER", user);
}

TEST(ShellOpen, RegistersTheDocumentTypeWithoutAnExtension) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();  // registers the document type with the desktop's tools
  testsupport::TempProfile tmp;
  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  const auto desktopFileFor = [&](const char* launcher) {
    qputenv("XDG_DATA_HOME", tmp.dir().toLocal8Bit());
    EXPECT_TRUE(CShellOpen::RegisterShellFileTypes(launcher));
    qputenv("XDG_DATA_HOME", saved);
    return testsupport::readWholeFile(tmp.file("applications/vrim-document.desktop"));
  };
  const QByteArray desktop = desktopFileFor("/opt/vrim/vrim-open");
  const QByteArray mime = testsupport::readWholeFile(tmp.file("mime/packages/vrim-document.xml"));
  EXPECT_TRUE(desktop.contains("Exec=/opt/vrim/vrim-open %F\n"));
  EXPECT_TRUE(desktop.contains("MimeType=application/x-vrim-document;"));
  EXPECT_TRUE(mime.contains("<comment>VRIM Document</comment>") && !mime.contains("glob"));
  // A program folder with a blank or a shell character still starts the launcher.
  const QByteArray spaced = desktopFileFor("/opt/My Tools/vrim-open"), shelly = desktopFileFor("/opt/a$b%c/vrim-open");
  EXPECT_TRUE(spaced.contains("Exec=\"/opt/My Tools/vrim-open\" %F\n")) << spaced.constData();
  EXPECT_TRUE(shelly.contains("Exec=\"/opt/a\\\\$b%%c/vrim-open\" %F\n")) << shelly.constData();
}
