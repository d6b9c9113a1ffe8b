// Helpers of the console tests: the application object and answers to modal windows.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <functional>

namespace traklin::testing_support {

/// The one QApplication of the test program (offscreen under CTest).
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_console";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

/// Calls answer with the next modal window once it is shown (polling for up to five seconds).
inline void WhenModal(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, answer] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr && ++*tries < 1000) return;
    timer->stop();
    timer->deleteLater();
    if (modal != nullptr) answer(modal);
  });
  timer->start();
}

/// Sends a key press to the widget.
inline void PressKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = {}) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(&widget, &press);
}

}  // namespace traklin::testing_support
