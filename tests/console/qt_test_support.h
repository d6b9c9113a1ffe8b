// Helpers of the console tests: the application object and answers to modal windows.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace traklin::testing_support {

/// The one QApplication of the test program (offscreen under CTest). It is never destroyed:
/// tearing it down among the static destructors at exit crashes.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_console";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

/// Calls answer with the next modal window once it is shown (polling for up to five seconds).
/// Polling stops when the returned timer is destroyed.
[[nodiscard]] inline std::unique_ptr<QTimer> WhenModal(std::function<void(QWidget*)> answer) {
  auto timer = std::make_unique<QTimer>();
  auto tries = std::make_shared<int>(0);
  timer->setInterval(5);
  QTimer* t = timer.get();
  QObject::connect(t, &QTimer::timeout, [t, tries, answer] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr && ++*tries < 1000) return;
    t->stop();
    if (modal != nullptr) answer(modal);
  });
  timer->start();
  return timer;
}

/// Sends a key press to the widget.
inline void PressKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = {}) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(&widget, &press);
}

}  // namespace traklin::testing_support
