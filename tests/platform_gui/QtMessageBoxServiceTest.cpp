#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/gui/QtMessageBoxService.h"
#include "support/RecordingMessageBox.h"

namespace {

// Answers the modal box that the service is about to run, as a user would: by
// clicking one of its buttons.
void clickWhenShown(QMessageBox::StandardButton which, QString* seenText, QMessageBox::Icon* seenIcon) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      clickWhenShown(which, seenText, seenIcon);
      return;
    }
    *seenText = box->text();
    *seenIcon = box->icon();
    box->button(which)->click();
  });
}

}  // namespace

TEST(QtMessageBoxService, ShowsTheTextWithItsIconAndReturnsTheClickedAnswer) {
  platform::QtMessageBoxService service;
  QString text;
  QMessageBox::Icon icon{};
  clickWhenShown(QMessageBox::No, &text, &icon);
  EXPECT_EQ(service.show("You really want to close this application?",
                         platform::MB_YESNO | platform::MB_ICONQUESTION),
            platform::IDNO);
  EXPECT_EQ(text, QStringLiteral("You really want to close this application?"));
  EXPECT_EQ(icon, QMessageBox::Question);

  clickWhenShown(QMessageBox::Ok, &text, &icon);
  EXPECT_EQ(service.show("Failed to open serial port COM7:\r\nError: 2", platform::MB_OK | platform::MB_ICONERROR),
            platform::IDOK);
  EXPECT_EQ(text, QStringLiteral("Failed to open serial port COM7:\nError: 2"));
  EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(MessageBoxService, TheInstalledServiceSeesEveryBox) {
  testsupport::RecordingMessageBox boxes;
  boxes.queueAnswer(platform::IDCANCEL);
  EXPECT_EQ(platform::ShowMessageBox("first", platform::MB_OKCANCEL), platform::IDCANCEL);
  EXPECT_EQ(platform::ShowMessageBox("second", platform::MB_YESNO), platform::IDYES);
  ASSERT_EQ(boxes.count(), 2u);
  EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("first"));
  EXPECT_EQ(boxes.shown()[1].type, unsigned(platform::MB_YESNO));
}
