// Helpers of the console tests: the application object, answers to modal windows, keys, and a
// main window without a configuration file that records its rings.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <stdexcept>
#include <vector>

#include "console/main_window.h"

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

/// Answers the modal windows one after the other as they are shown; each answer must close its
/// window. Polling stops when the object is destroyed.
class ModalAnswers {
 public:
  explicit ModalAnswers(std::vector<std::function<void(QWidget*)>> answers)
      : answers_(std::move(answers)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || !modal->isVisible() || next_ >= answers_.size()) return;
      answers_[next_++](modal);
    });
    timer_.start();
  }
  std::size_t Answered() const { return next_; }

 private:
  std::vector<std::function<void(QWidget*)>> answers_;
  std::size_t next_ = 0;
  QTimer timer_;
};

/// An answer that clicks a message box's button and keeps its text and caption.
inline std::function<void(QWidget*)> ClickBox(
    QString* text, QString* title = nullptr, QMessageBox::StandardButton button = QMessageBox::Ok) {
  return [=](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "expected a message box";
    if (text) *text = box->text();
    if (title) *title = box->windowTitle();
    box->button(button)->click();
  };
}

inline void PressKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = {}) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(&widget, &press);
}

/// No configuration file: the settings keep their defaults whatever the build tree holds.
inline ConsolePaths NoConfig() {
  ConsolePaths paths;
  paths.SettingsFile = std::filesystem::path(testing::TempDir()) / "no_config" / "Traklin.ini";
  return paths;
}

/// A main window that records its rings instead of playing them, and whose steps can be made to
/// fail.
class TestWindow : public TfmControlPanel {
 public:
  using TfmControlPanel::TfmControlPanel;
  std::vector<int> rings;
  int failingRuns = 0, runs = 0;

 protected:
  void PlayRing(int n) override { rings.push_back(n); }
  void RunSteps() override {
    if (++runs <= failingRuns) throw std::runtime_error("Маршрут не найден");
    TfmControlPanel::RunSteps();
  }
};

}  // namespace traklin::testing_support
