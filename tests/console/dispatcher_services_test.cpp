// The main window's console services: which ring, the time scale while and after the dispatcher
// is told or asked, a report while paused, and Qt's own texts in Russian.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <tuple>
#include <vector>

#include "console/main_window.h"
#include "console/qt_translations.h"
#include "qt_test_support.h"

namespace traklin {
namespace {

using namespace testing_support;

enum class Service { Notify, Inform, Ask };

TEST(ConsoleServicesTest, TimeScaleRingAndAnswerFollowTheSettings) {
  App();
  // Every case starts at level 6. Columns: service, text, the LP's ring for Inform and Ask; the
  // settings restore at messages, restore at rings, message rings, request rings; box shown,
  // level while it is shown (or right after the call without one), level after; rings played
  // before the box (-1 the default ring).
  const std::tuple<Service, const char*, int, bool, bool, bool, bool, bool, int, int,
                   std::vector<int>>
      cases[] = {
          // clang-format off
      {Service::Notify, "Сход", 3, false, false, true, true, true, 1, 1, {-1}},  // box at normal speed after the default ring
      {Service::Notify, "Сход", 3, false, false, false, true, true, 1, 1, {}},   // without message rings: silent
      {Service::Notify, "Сход", 3, true, false, true, true, true, 1, 6, {-1}},   // restore at messages
      {Service::Notify, "Сход", 3, false, true, true, true, true, 1, 1, {-1}},   // restore at rings: a text still slows down
      {Service::Notify, "", 3, true, false, false, false, false, 1, 1, {-1}},    // empty: rings anyway and slows down
      {Service::Notify, "", 3, false, true, false, false, false, 6, 6, {-1}},    // empty, restore at rings: only rings
      {Service::Inform, "Поезд прибыл", 3, false, false, true, false, true, 1, 1, {3}},  // the LP's ring
      {Service::Inform, "Поезд прибыл", -1, false, false, true, true, true, 1, 1, {-1}}, // no ring of its own
      {Service::Inform, "Поезд прибыл", 3, false, false, false, true, true, 1, 1, {}},   // follows message rings
      {Service::Inform, "Поезд прибыл", 3, true, false, true, true, true, 1, 6, {3}},    // restore at messages
      {Service::Inform, "", 3, false, true, false, false, true, 6, 6, {3}},  // empty: a box, speed kept
      {Service::Inform, "", 3, true, false, false, false, true, 1, 1, {3}},  // empty without restore at rings
      {Service::Ask, "Принять поезд 2001?\r\nПуть 3", 4, false, false, false, true, true, 1, 1, {4}},  // the LP's ring
      {Service::Ask, "Принять поезд?", 4, false, false, true, false, true, 1, 1, {}},   // follows request rings
      {Service::Ask, "Принять поезд?", 4, true, false, true, true, true, 1, 6, {4}},    // restore at messages
      {Service::Ask, "", 4, false, true, false, false, true, 6, 6, {4}},  // empty, restore at rings: speed kept
      {Service::Ask, "", 4, true, false, false, false, true, 1, 1, {4}},  // empty, restore at messages only
          // clang-format on
      };
  int k = 0;
  for (const auto& [service, text, ring, atMsg, atRings, msgRings, reqRings, box, whileLevel, after,
                    rings] : cases)
    for (auto button : {QMessageBox::Ok, QMessageBox::Cancel}) {
      if (button == QMessageBox::Cancel && service != Service::Ask) continue;
      SCOPED_TRACE(testing::Message() << "case " << k++ << ", button " << button);
      Simulation sim;
      TestWindow window(sim, std::nullopt, NoConfig());
      std::tie(sim.Settings.RestoreTimeScaleAtMsg, sim.Settings.RestoreTimeScaleAtRings,
               sim.Settings.MessageRings, sim.Settings.RequestRings) =
          std::tie(atMsg, atRings, msgRings, reqRings);
      window.StartClock();
      window.SetTimeScale(6);
      QString shownText, title;
      std::pair<int, std::vector<int>> whileShown;  // level and rings played when the box shows
      ModalAnswers answers({[&](QWidget* modal) {
        whileShown = {sim.TimeScaleLevel, window.rings};
        ClickBox(&shownText, &title, button)(modal);
      }});
      bool answer = true;
      if (service == Service::Notify) window.NotifyDispatcher(text);
      if (service == Service::Inform) window.InformDispatcher("ДСП", text, ring);
      if (service == Service::Ask) answer = window.AskDispatcher("ДСП", text, ring);
      QApplication::processEvents();
      if (answers.Answered() == 0) whileShown = {sim.TimeScaleLevel, window.rings};
      EXPECT_EQ(std::pair(answers.Answered(), answer),
                std::pair(std::size_t{box}, button == QMessageBox::Ok));
      EXPECT_TRUE(!box || service == Service::Notify ||  // line breaks as the box shows them
                  std::pair(title, shownText) ==
                      std::pair(QStringLiteral("ДСП"), QString(text).replace("\r\n", "\n")));
      EXPECT_EQ(whileShown, std::pair(whileLevel, rings));  // the ring comes before the box
      EXPECT_EQ(std::tuple(sim.TimeScaleLevel, window.Timer->isActive(), window.rings),
                std::tuple(after, after != 0, rings));
    }
}

TEST(ConsoleServicesTest, AReportWhilePausedDoesNotStartTheClock) {
  App();
  Simulation sim;
  TestWindow window(sim, std::nullopt, NoConfig());
  window.StartClock();
  window.SetTimeScale(0);
  QString text;
  ModalAnswers answers({ClickBox(&text), ClickBox(nullptr), ClickBox(nullptr)});
  window.NotifyDispatcher("Поезд прибыл");
  window.InformDispatcher("ДСП", "Поезд прибыл", 1);
  window.AskDispatcher("ДСП", "Принять?", 1);
  EXPECT_EQ(answers.Answered(), 3u);
  EXPECT_EQ(sim.TimeScaleLevel, 0);
  EXPECT_FALSE(window.Timer->isActive());
}

TEST(ConsoleServicesTest, WithQtsRussianTextsAQuestionsButtonsAndTheFileDialogReadInRussian) {
  App();
  QTranslator* russian = InstallQtTranslations(*QCoreApplication::instance());
  if (russian == nullptr)
    GTEST_SKIP() << QtTranslationFile().toStdString()
                 << " is missing (Debian: qt6-translations-l10n): Qt's texts stay English";
  Simulation sim;
  TestWindow window(sim, std::nullopt, NoConfig());
  window.StartClock();
  QString ok, cancel;
  ModalAnswers answers({[&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    ok = box->button(QMessageBox::Ok)->text();
    cancel = box->button(QMessageBox::Cancel)->text();
    box->button(QMessageBox::Cancel)->click();
  }});
  EXPECT_FALSE(window.AskDispatcher("ДСП", "Принять поезд 2001?", 1));
  // The scenario item's dialog, as Qt draws it itself.
  QFileDialog dialog(&window, QStringLiteral("Сценарий"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  const auto* buttons = dialog.findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr);
  QString open = buttons->button(QDialogButtonBox::Open)->text();
  QCoreApplication::removeTranslator(russian);
  delete russian;
  EXPECT_EQ(std::pair(ok, cancel), std::pair(QStringLiteral("OK"), QStringLiteral("Отмена")));
  EXPECT_EQ(open.remove('&'), QStringLiteral("Открыть"));
}

}  // namespace
}  // namespace traklin
