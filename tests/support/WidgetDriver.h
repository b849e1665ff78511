#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

// Keys and clicks on real widgets, as the user gives them.
namespace testsupport {

template <class T>
T* child(const QWidget* parent, const char* name) {
  return parent->findChild<T*>(QString::fromLatin1(name));
}
inline void click(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
}
inline void press(const QWidget* dialog, QDialogButtonBox::StandardButton which) {
  click(dialog->findChild<QDialogButtonBox*>()->button(which));
}
// The texts of a list's entries, in order.
inline QStringList entries(const QComboBox* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->itemText(i);
  return out;
}
// Replaces what the edit holds by typing.
inline void type(QWidget* edit, const QString& text) {
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, text);
}

// Drags the places onto the window and drops them there, as a file manager does.
inline void drop(QWidget* window, const QList<QUrl>& places) {
  QMimeData data;
  data.setUrls(places);
  QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QDropEvent dropped(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);  // a drop reaches only a window that took the drag
  QApplication::sendEvent(window, &dropped);
}

// Runs act on the next modal window other than `except` once it is up, from inside
// the event loop that runs it, so a test can drive a dialog that a command runs
// modally. Gives up after timeoutMs.
inline void onNextModal(std::function<void(QWidget*)> act, QWidget* except = nullptr, int timeoutMs = 10000) {
  auto* timer = new QTimer;
  QElapsedTimer age;
  age.start();
  QObject::connect(timer, &QTimer::timeout, [timer, act, except, age, timeoutMs] {
    QWidget* modal = QApplication::activeModalWidget();
    const bool found = modal && modal != except && modal->isVisible();
    if (!found && age.elapsed() < timeoutMs) return;
    timer->stop();
    timer->deleteLater();
    if (found) act(modal);
  });
  timer->start(5);
}

}  // namespace testsupport
