#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/gui/QtMessageBoxService.h"

namespace {

// Answers the modal box that the service is about to run, as a user would: by
// clicking one of its buttons.
void clickWhenShown(QMessageBox::StandardButton which, QString* seenText, QMessageBox::Icon* seenIcon) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return clickWhenShown(which, seenText, seenIcon);
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
