#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace testsupport {

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
