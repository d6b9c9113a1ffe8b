// The stations' journal in the console: what the console services write there and who answered,
// the window "Журнал станций" (newest last, never takes the focus, keeps its own keys), the
// gridlocks the ticks find, and district 2 run by the automatic dispatcher without a box.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "area/date_time.h"
#include "console/journal_window.h"
#include "qt_test_support.h"
#include "simulation/headless_run.h"
#include "trains/shipped_district.h"
#include "trains/stops.h"
#include "trains/train_records.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using Lines = std::vector<std::string>;

/// The journal's lines without their time of day ("09:17:42  ").
Lines Untimed(const StationJournal& journal) {
  Lines lines;
  for (const std::string& line : journal.Lines()) lines.push_back(line.substr(10));
  return lines;
}

/// The lines the journal window holds.
Lines Shown(const TfmJournal& window) {
  Lines lines;
  for (const QString& line : window.mmJournal->toPlainText().split('\n'))
    lines.push_back(line.toStdString());
  return lines;
}

/// The line drawn at the bottom of the journal window's text.
std::string BottomLine(const TfmJournal& window) {
  const QPlainTextEdit* text = window.mmJournal;
  const QRect area = text->viewport()->rect();
  return text->cursorForPosition(QPoint(4, area.bottom() - 4)).block().text().toStdString();
}

/// Lets the window system's events of the last `ms` milliseconds arrive.
void Settle(int ms = 50) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

SaveOutcome Loaded(bool ok) {
  SaveOutcome outcome;
  outcome.Ok = ok;
  return outcome;
}

/// A count of the lines ending in `tail`.
long Ending(const Lines& lines, const std::string& tail) {
  long n = 0;
  for (const std::string& line : lines)
    n += line.size() >= tail.size() &&
         line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
  return n;
}

/// Every box shown while it lives is answered OK and its caption and text kept.
struct Boxes {
  std::vector<std::pair<QString, QString>> Shown;
  ModalAnswers Answers{std::vector<std::function<void(QWidget*)>>(10000, [this](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "expected a message box";
    Shown.emplace_back(box->windowTitle(), box->text());
    box->button(QMessageBox::Ok)->click();
  })};
};

// ---------------------------------------------------------------------------
// The services, in a window without a district.

class JournalServicesTest : public testing::Test {
 protected:
  JournalServicesTest() : window((App(), sim), std::nullopt, NoConfig()) {
    sim.State.ClockTime = EncodeDate(2024, 3, 15) + (9 * 3600 + 17 * 60 + 42) * kSecond;
    window.StartClock();
    window.SetTimeScale(9);
  }
  ~JournalServicesTest() override {
    window.fmJournal->hide();
    window.hide();
    window.Timer->stop();
  }
  Simulation sim;
  TestWindow window;
};

TEST_F(JournalServicesTest, EachAnswerAndReportIsJournalledWithWhoAnsweredOnlyTheDeskOpensBoxes) {
  QString asked, told;
  ModalAnswers answers(
      {ClickBox(&asked, nullptr, QMessageBox::Cancel), ClickBox(&told), ClickBox(nullptr)});
  // The automatic dispatcher's answers: no box, no ring, the pace kept.
  window.StationAnswered("ДСП Ключевая", "Принять поезд № 2003 на I путь?", 4, true);
  window.StationAnswered("ДСП Ключевая",
                         "Поезд № 2003 к отправлению готов. \r\nОтправить с I пути?", 4, false);
  QApplication::processEvents();
  EXPECT_EQ(std::tuple(answers.Answered(), window.rings, sim.TimeScaleLevel),
            std::tuple(std::size_t{0}, std::vector<int>{}, 9));
  // The dispatcher's own: a box each, as before.
  EXPECT_FALSE(window.AskDispatcher("ДСП Сосновка", "Разрешается отправление поезда № 3?", 5));
  window.InformDispatcher("ДСП Сосновка", "Жду освобождения пути,\r\nчтобы принять поезд № 2001",
                          5);
  window.NotifyDispatcher("Поезд № 6312 проехал красный сигнал (перед секцией 02Fh)!");
  window.NotifyDispatcher("");  // a ring, nothing said
  EXPECT_EQ(answers.Answered(), 3u);
  EXPECT_EQ(asked, QStringLiteral("Разрешается отправление поезда № 3?"));
  EXPECT_EQ(Untimed(window.Journal()),
            (Lines{"ДСП Ключевая: Принять поезд № 2003 на I путь? — да (автомат)",
                   "ДСП Ключевая: Поезд № 2003 к отправлению готов. Отправить с I пути? — нет "
                   "(автомат)",
                   "ДСП Сосновка: Разрешается отправление поезда № 3? — нет (диспетчер)",
                   "ДСП Сосновка: Жду освобождения пути, чтобы принять поезд № 2001",
                   "Поезд № 6312 проехал красный сигнал (перед секцией 02Fh)!"}));
  EXPECT_EQ(window.Journal().Lines().front().substr(0, 10), "09:17:42  ");
}

TEST_F(JournalServicesTest, ALoadStartsANewJournalAndAFailedOneKeepsIt) {
  bool loads = true;
  window.LoadState = [&loads] { return Loaded(loads); };
  window.StartClock();
  window.ShowJournal();
  window.StationAnswered("ДСП А", "Принять поезд № 1 на I путь?", 1, true);
  ASSERT_EQ(Shown(*window.fmJournal).size(), 1u);
  PressKey(window, Qt::Key_L);
  EXPECT_TRUE(window.Journal().Entries().empty());
  EXPECT_EQ(window.fmJournal->mmJournal->toPlainText(), QString());
  window.StationAnswered("ДСП А", "Принять поезд № 2 на I путь?", 1, true);
  EXPECT_EQ(Shown(*window.fmJournal).size(), 1u);
  loads = false;
  {
    ModalAnswers answers({ClickBox(nullptr)});  // "Загрузка не удалась."
    PressKey(window, Qt::Key_L);
  }
  EXPECT_EQ(Ending(window.Journal().Lines(), "№ 2 на I путь? — да (автомат)"), 1);
}

// ---------------------------------------------------------------------------
// The window.

TEST_F(JournalServicesTest, TheWindowListsTheJournalNewestLastFollowsItAndNeverTakesTheFocus) {
  window.show();
  window.activateWindow();
  QApplication::processEvents();
  ASSERT_EQ(QApplication::activeWindow(), &window);
  // Under "Справки", after the reports.
  auto* references = qobject_cast<QMenu*>(window.miRefJournal->parent());
  ASSERT_NE(references, nullptr);
  EXPECT_EQ(references->title(), QStringLiteral("Справки"));
  EXPECT_EQ(references->actions().back(), window.miRefJournal);
  EXPECT_EQ(window.miRefJournal->text(), QStringLiteral("Журнал станций"));

  // Lines said before the window opens are there when it does.
  for (int k = 1; k <= 40; ++k)
    window.StationAnswered("ДСП А", "Принять поезд № " + std::to_string(k) + " на I путь?", 1,
                           true);
  window.miRefJournal->trigger();
  Settle();
  TfmJournal& journal = *window.fmJournal;
  ASSERT_TRUE(journal.isVisible());
  EXPECT_EQ(journal.windowTitle(), QStringLiteral("Журнал станций"));
  EXPECT_EQ(QApplication::activeWindow(), &window);
  EXPECT_EQ(Shown(journal), window.Journal().Lines());
  EXPECT_EQ(BottomLine(journal).substr(10), "ДСП А: Принять поезд № 40 на I путь? — да (автомат)");

  // New lines come at the end and the view follows them, without activating the window.
  window.StationAnswered("ДСП А", "Принять поезд № 41 на I путь?", 1, false);
  Settle();
  EXPECT_EQ(Shown(journal), window.Journal().Lines());
  EXPECT_EQ(BottomLine(journal).substr(10), "ДСП А: Принять поезд № 41 на I путь? — нет (автомат)");
  EXPECT_EQ(QApplication::activeWindow(), &window);

  // Scrolled up to read an older line, the dispatcher keeps his place.
  QScrollBar* bar = journal.mmJournal->verticalScrollBar();
  bar->setValue(0);
  window.StationAnswered("ДСП А", "Принять поезд № 42 на I путь?", 1, true);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(Shown(journal).back(), window.Journal().Lines().back());
  // Back at the bottom, the view follows again.
  bar->setValue(bar->maximum());
  window.StationAnswered("ДСП А", "Принять поезд № 43 на I путь?", 1, true);
  EXPECT_EQ(BottomLine(journal).substr(10), "ДСП А: Принять поезд № 43 на I путь? — да (автомат)");

  // Clicked into a while later, it is the dispatcher's to use.
  Settle(300);
  journal.activateWindow();
  Settle();
  EXPECT_EQ(QApplication::activeWindow(), &journal);

  // The window drops its oldest lines with the journal.
  for (int k = 0; k < 1000; ++k) window.StationAnswered("ДСП Б", std::to_string(k), 2, true);
  EXPECT_EQ(journal.mmJournal->blockCount(), 1000);
  EXPECT_EQ(Shown(journal), window.Journal().Lines());
}

TEST_F(JournalServicesTest, TheWindowKeepsItsOwnKeysAndCtrlCCopiesItsText) {
  window.StationAnswered("ДСП А", "Принять поезд № 1 на I путь?", 1, true);
  window.ShowJournal();
  QPlainTextEdit* text = window.fmJournal->mmJournal;
  text->selectAll();
  QApplication::clipboard()->clear();
  window.SetTimeScale(3);
  int loads = 0;
  window.LoadState = [&loads] {
    ++loads;
    return SaveOutcome{};
  };
  PressKey(*text, Qt::Key_C, Qt::ControlModifier);
  PressKey(*text, Qt::Key_7);
  PressKey(*text, Qt::Key_L);
  EXPECT_EQ(std::pair(sim.TimeScaleLevel, loads), std::pair(3, 0));
  EXPECT_EQ(QApplication::clipboard()->text(),
            QStringLiteral("09:17:42  ДСП А: Принять поезд № 1 на I путь? — да (автомат)"));
}

// ---------------------------------------------------------------------------
// Gridlocks and automated stations on a district in a started window.

// clang-format off
/// Two stations joined by one single line of three block sections, odd trains to the right:
///
///   ЛЕС (km 0)                                  ГОР (km 8)
///       I ---.                                  .--- I
///       2 ---+--- 8 km, single line, 3 blocks --+--- 2
///
/// Four trains, two for each side, 801 and 803 due out of Лесная at 10:00 and 10:02, 802 and
/// 804 out of Горная.
// clang-format on
constexpr char kTwoStations[] = R"({"number": 42, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
    "outside_right": ["В1", "В2", "В3", "В4", "В5"],
    "stations": [
      {"name": "Лесная", "mnem": "ЛЕС", "km": 0, "tracks": [[1001, 3, 1], [2, 3, 1]]},
      {"name": "Горная", "mnem": "ГОР", "km": 8, "tracks": [[1001, 3, 1], [2, 3, 1]]}
    ],
    "peregons": [{"length": 8000, "blocks": 3}],
    "trains": [
      {"number": 801, "freight": false, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 803, "freight": false, "from": "Лесная", "to": "Горная", "depart": "10:02"},
      {"number": 802, "freight": false, "from": "Горная", "to": "Лесная", "depart": "10:00"},
      {"number": 804, "freight": false, "from": "Горная", "to": "Лесная", "depart": "10:02"}]})";

class DistrictJournalTest : public testing::Test {
 protected:
  DistrictJournalTest() : window((App(), sim), std::nullopt, NoConfig()) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~DistrictJournalTest() override {
    window.fmJournal->hide();
    window.Timer->stop();
    fs::remove_all(dir);
  }
  /// Prepares the district in `district` as the console's start does, at `start`, and shows it
  /// in the started window at ×256; the test runs the ticks itself.
  void Start(const fs::path& district, TDateTime start) {
    RunOptions options;
    options.District = district;
    options.SettingsFile = dir / "none.ini";
    options.Start = start;
    // Seeded as a headless run is: the same run each time.
    sim.Random.Seed(1);
    PrepareRun(sim, options, nullptr);
    window.AttachRun(district);
    window.StartClock();
    window.SetTimeScale(9);
    window.Timer->stop();
  }
  /// Writes a district description's Data.dat into the test's folder.
  fs::path Generated(const std::string& description) {
    fs::create_directories(dir / "district");
    std::ofstream(dir / "district" / "Data.dat", std::ios::binary)
        << test::ShippedDistrict::Generate(description);
    return dir / "district";
  }
  void TicksUntil(TDateTime end) {
    while (sim.State.ClockTime < end) window.TimerTick();
  }
  /// The LP index of a station by its short name.
  int LP(const std::string& mnem) const {
    for (int lp = 0; lp < static_cast<int>(sim.AreaData.Puts.size()); ++lp)
      if (LPName(sim.AreaData, lp) == mnem) return lp;
    throw std::runtime_error("no station " + mnem);
  }
  void PutOut(int number, const std::string& mnem, int track) {
    const int i = test::CreateTimetableTrain(sim, number);
    ASSERT_TRUE(PutOnTrack(sim, i, LP(mnem), track));
    ReleaseMadeUp(sim, i);
  }

  const fs::path dir =
      fs::path(testing::TempDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
  Simulation sim;
  TestWindow window;
};

TEST_F(DistrictJournalTest, AnAutomatedStationReportsAndAsksIntoTheJournalTheOthersInBoxes) {
  Start(Generated(kTwoStations), EncodeDate(2024, 3, 15) + TimeFromHHMM(950));
  window.SetAutomatic(LP("ЛЕС"), true);
  window.SetTimeScale(8);
  QString asked, told;
  ModalAnswers answers({ClickBox(&told), ClickBox(&asked, nullptr, QMessageBox::Cancel)});
  window.InformDispatcher("ДСП ЛЕС", "Поезд № 801 прибыл в  5 мин.", 1);
  EXPECT_TRUE(window.AskDispatcher("ДСП ЛЕС", "Принять поезд № 802 на I путь?", 1));
  window.InformDispatcher("ДСП ЛЕС", "", 1);  // a ring alone says nothing
  QApplication::processEvents();
  EXPECT_EQ(std::tuple(answers.Answered(), window.rings, sim.TimeScaleLevel),
            std::tuple(std::size_t{0}, std::vector<int>{}, 8));
  // Горная is the dispatcher's: a box each, at normal speed.
  window.InformDispatcher("ДСП ГОР", "Поезд № 802 отправился в  7 мин.", 2);
  EXPECT_FALSE(window.AskDispatcher("ДСП ГОР", "Принять поезд № 801 на I путь?", 2));
  window.Timer->stop();
  EXPECT_EQ(answers.Answered(), 2u);
  EXPECT_EQ(std::pair(told, asked), std::pair(QStringLiteral("Поезд № 802 отправился в  7 мин."),
                                              QStringLiteral("Принять поезд № 801 на I путь?")));
  EXPECT_EQ(sim.TimeScaleLevel, 1);
  EXPECT_EQ(Untimed(window.Journal()),
            (Lines{"ДСП ЛЕС: Поезд № 801 прибыл в  5 мин.",
                   "ДСП ЛЕС: Принять поезд № 802 на I путь? — да (автомат)",
                   "ДСП ГОР: Поезд № 802 отправился в  7 мин.",
                   "ДСП ГОР: Принять поезд № 801 на I путь? — нет (диспетчер)"}));
}

TEST_F(DistrictJournalTest, AGridlockIsJournalledOnceAndAnAutomatedLineKeepsItsPace) {
  const TDateTime day = EncodeDate(2024, 3, 15);
  Start(Generated(kTwoStations), day + TimeFromHHMM(950));
  window.SetAutomatic(-1, true);
  window.SetTimeScale(9);
  window.Timer->stop();
  // Both tracks of each station hold a train for the other one: none can ever leave.
  PutOut(801, "ЛЕС", 0);
  PutOut(803, "ЛЕС", 1);
  PutOut(802, "ГОР", 0);
  PutOut(804, "ГОР", 1);
  Boxes boxes;
  TicksUntil(day + TimeFromHHMM(1130));
  const Lines lines = window.Journal().Lines();
  Lines gridlocks;
  for (const std::string& line : lines)
    if (line.find("  Затор: ") != std::string::npos) gridlocks.push_back(line);
  ASSERT_EQ(gridlocks.size(), 1u) << ::testing::PrintToString(lines);
  EXPECT_EQ(gridlocks[0].substr(0, 5), "10:02");
  EXPECT_EQ(gridlocks[0].substr(10),
            "Затор: Поезда № 801, 802, 803, 804 ждут друг друга и не могут двинуться: ЛЕС, ГОР");
  // The journal comes to the front with it, without the focus; one ring, the pace kept.
  EXPECT_TRUE(window.fmJournal->isVisible());
  EXPECT_EQ(BottomLine(*window.fmJournal), lines.back());
  EXPECT_EQ(window.rings, std::vector<int>{-1});
  EXPECT_EQ(sim.TimeScaleLevel, 9);
  // The stations asked to send their trains, and the automatic dispatcher said no itself.
  EXPECT_GT(Ending(lines, "— нет (автомат)"), 0);
  EXPECT_EQ(Ending(lines, "(диспетчер)"), 0);

  // A load starts another timeline: the same gridlock found there is told again.
  window.LoadState = [] { return Loaded(true); };
  PressKey(window, Qt::Key_L);
  window.SetTimeScale(9);
  window.Timer->stop();
  EXPECT_TRUE(window.Journal().Entries().empty());
  TicksUntil(day + TimeFromHHMM(1140));
  EXPECT_EQ(Ending(window.Journal().Lines(), "не могут двинуться: ЛЕС, ГОР"), 1);
}

TEST_F(DistrictJournalTest, AGridlockAtTheDispatchersOwnStationSlowsTheClockToNormal) {
  Start(Generated(kTwoStations), EncodeDate(2024, 3, 15) + TimeFromHHMM(950));
  window.SetAutomatic(LP("ЛЕС"), true);
  window.SetTimeScale(7);
  window.Timer->stop();
  const int les = LPCode(sim.AreaData, LP("ЛЕС")), gor = LPCode(sim.AreaData, LP("ГОР"));
  window.ReportGridlock({.Trains = {2001}, .Stations = {les}});
  EXPECT_EQ(sim.TimeScaleLevel, 7);
  window.ReportGridlock({.Trains = {801, 802}, .Stations = {les, gor}});
  EXPECT_EQ(sim.TimeScaleLevel, 1);
  window.Timer->stop();
  EXPECT_EQ(Untimed(window.Journal()),
            (Lines{"Затор: Поезд № 2001 не может двинуться: ЛЕС",
                   "Затор: Поезда № 801, 802 ждут друг друга и не могут двинуться: ЛЕС, ГОР"}));
}

/// District 2 as the build generates it (the console's own start-up reads the same files).
const fs::path kDistrictTwo = "../district/2";

TEST_F(DistrictJournalTest, DistrictTwoAutomatedRunsSixHoursAtX256WithoutABoxOrARing) {
  ASSERT_TRUE(fs::exists(kDistrictTwo / "Data.dat")) << "run from build/bin";
  const TDateTime start = EncodeDate(2024, 3, 15) + TimeFromHHMM(600);
  Start(kDistrictTwo, start);
  window.miAutoDistrict->trigger();
  ASSERT_TRUE(window.miAutoDistrict->isChecked());
  Boxes boxes;
  // Six hours: the trains of the morning come in, cross and leave.
  TicksUntil(start + 6.0 / 24);
  EXPECT_EQ(boxes.Shown, (std::vector<std::pair<QString, QString>>{}));
  EXPECT_EQ(std::tuple(sim.TimeScaleLevel, window.rings), std::tuple(9, std::vector<int>{}));
  const Lines lines = window.Journal().Lines();
  EXPECT_GT(Ending(lines, "— да (автомат)"), 50);
  EXPECT_EQ(Ending(lines, "(диспетчер)"), 0);
  // The journal holds what the stations said; a gridlock would be there too.
  EXPECT_GT(lines.size(), 500u);
  for (const std::string& line : lines) EXPECT_EQ(line.find("  Затор: "), std::string::npos);
}

TEST_F(DistrictJournalTest, AStationLeftToTheDispatcherStillAsksInABox) {
  const TDateTime start = EncodeDate(2024, 3, 15) + TimeFromHHMM(600);
  Start(kDistrictTwo, start);
  window.SetAutomatic(-1, true);
  // The district's first station is given back to the dispatcher.
  const int human = 0;
  window.SetAutomatic(human, false);
  const QString caption = QString::fromStdString(DSPName(sim.AreaData, human));
  Boxes boxes;
  TicksUntil(start + 2.0 / 24);
  ASSERT_FALSE(boxes.Shown.empty());
  for (const auto& [title, text] : boxes.Shown) EXPECT_EQ(title, caption) << text.toStdString();
  const Lines lines = window.Journal().Lines();
  EXPECT_GT(Ending(lines, "(диспетчер)"), 0);
}

TEST_F(DistrictJournalTest, AScenariosStandingAnswerIsJournalledAsTheScenarios) {
  const TDateTime start = EncodeDate(2024, 3, 15) + TimeFromHHMM(600);
  Start(kDistrictTwo, start);
  std::ofstream(dir / "answer.txt") << "06:00 answer no\n";
  ASSERT_TRUE(window.LoadScenario(dir / "answer.txt"));
  Boxes boxes;
  TicksUntil(start + 1.0 / 24);
  for (const auto& [title, text] : boxes.Shown)
    EXPECT_FALSE(text.endsWith('?')) << "asked: " << text.toStdString();
  EXPECT_GT(Ending(window.Journal().Lines(), "— нет (сценарий)"), 0);
  EXPECT_EQ(Ending(window.Journal().Lines(), "(диспетчер)"), 0);
}

}  // namespace
}  // namespace traklin
