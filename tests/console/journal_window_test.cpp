// The stations' journal in the console: who answered what and who got a box, the window
// "Журнал станций" (newest last, never takes the focus, its own keys), the gridlocks the ticks
// find, and district 2 run by the automatic dispatcher at ×256 without a box.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <filesystem>
#include <fstream>

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

/// The lines the journal window holds, and the one drawn at the bottom of its text.
Lines Shown(const TfmJournal& w) {
  Lines lines;
  for (const QString& line : w.mmJournal->toPlainText().split('\n'))
    lines.push_back(line.toStdString());
  return lines;
}
std::string BottomLine(const TfmJournal& w) {
  const QPoint bottomLeft(4, w.mmJournal->viewport()->rect().bottom() - 4);
  return w.mmJournal->cursorForPosition(bottomLeft).block().text().toStdString();
}
/// Lets the window system's events of the next `ms` milliseconds arrive.
void Settle(int ms = 50) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}
long Containing(const Lines& lines, const std::string& part) {
  return std::count_if(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

/// Every box shown while it lives is answered OK; its caption and text are kept.
struct Boxes {
  std::vector<std::pair<QString, QString>> Shown;
  ModalAnswers Answers{std::vector<std::function<void(QWidget*)>>(10000, [this](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    Shown.emplace_back(box->windowTitle(), box->text());
    box->button(QMessageBox::Ok)->click();
  })};
};

// clang-format off
/// Two stations joined by one single line of three block sections; 801 and 803 are due out
/// of Лесная at 10:00 and 10:02, 802 and 804 out of Горная:
///
///   ЛЕС  I ---.                                  .--- I  ГОР
///        2 ---+--- 8 km, single line, 3 blocks --+--- 2
// clang-format on
constexpr char kTwoStations[] = R"({"number": 42, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
    "outside_right": ["В1", "В2", "В3", "В4", "В5"],
    "stations": [
      {"name": "Лесная", "mnem": "ЛЕС", "km": 0, "tracks": [[1001, 3, 1], [2, 3, 1]]},
      {"name": "Горная", "mnem": "ГОР", "km": 8, "tracks": [[1001, 3, 1], [2, 3, 1]]}],
    "peregons": [{"length": 8000, "blocks": 3}],
    "trains": [
      {"number": 801, "freight": false, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 803, "freight": false, "from": "Лесная", "to": "Горная", "depart": "10:02"},
      {"number": 802, "freight": false, "from": "Горная", "to": "Лесная", "depart": "10:00"},
      {"number": 804, "freight": false, "from": "Горная", "to": "Лесная", "depart": "10:02"}]})";
/// District 2 as the build generates it (the console's start-up reads the same files).
const fs::path kDistrictTwo = "../district/2";

class JournalTest : public testing::Test {
 protected:
  JournalTest() : window((App(), sim), std::nullopt, NoConfig()) {
    fs::remove_all(dir);
    fs::create_directories(dir / "line");
    std::ofstream(dir / "line" / "Data.dat", std::ios::binary)
        << test::ShippedDistrict::Generate(kTwoStations);
  }
  ~JournalTest() override {
    window.fmJournal->hide();
    window.Timer->stop();
    fs::remove_all(dir);
  }
  /// Prepares a district as the console's start does, seeded as a headless run, and shows it
  /// in the started window at ×256, paused for the test to run the ticks.
  void Start(const fs::path& district, int hhmm) {
    RunOptions options;
    options.District = district;
    options.SettingsFile = dir / "none.ini";
    options.Start = kDay + TimeFromHHMM(hhmm);
    sim.Random.Seed(1);
    PrepareRun(sim, options, nullptr);
    window.AttachRun(district);
    window.StartClock();
    Scale(9);
  }
  void Scale(int level) {
    window.SetTimeScale(level);
    window.Timer->stop();
  }
  void TicksUntil(int hhmm) {
    while (sim.State.ClockTime < kDay + TimeFromHHMM(hhmm)) window.TimerTick();
  }
  int LP(const std::string& mnem) const {
    for (int lp = 0; lp < static_cast<int>(sim.AreaData.Puts.size()); ++lp)
      if (LPName(sim.AreaData, lp) == mnem) return lp;
    return -1;
  }
  Lines Untimed() const {
    Lines lines;
    for (const std::string& line : window.Journal().Lines()) lines.push_back(line.substr(10));
    return lines;
  }

  const TDateTime kDay = EncodeDate(2024, 3, 15);
  const fs::path dir =
      fs::path(testing::TempDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
  Simulation sim;
  TestWindow window;
};

TEST_F(JournalTest, AutomatedStationsAreAnsweredInTheJournalTheDispatchersAskInBoxes) {
  Start(dir / "line", 950);
  window.SetAutomatic(LP("ЛЕС"), true);
  Scale(8);
  QString asked, told;
  ModalAnswers answers(
      {ClickBox(&told), ClickBox(&asked, nullptr, QMessageBox::Cancel), ClickBox(nullptr)});
  // Лесная is automated: no box, no ring, the pace kept, whichever way its words come.
  window.StationAnswered("ДСП ЛЕС", "Поезд № 801 к отправлению готов. \r\nОтправить с I пути?", 1,
                         false);
  window.InformDispatcher("ДСП ЛЕС", "Поезд № 801 прибыл в  5 мин.", 1);
  EXPECT_TRUE(window.AskDispatcher("ДСП ЛЕС", "Принять поезд № 802 на I путь?", 1));
  window.InformDispatcher("ДСП ЛЕС", "", 1);  // a ring alone says nothing
  QApplication::processEvents();
  EXPECT_EQ(std::tuple(answers.Answered(), window.rings, sim.TimeScaleLevel),
            std::tuple(std::size_t{0}, std::vector<int>{}, 8));
  // Горная is the dispatcher's: a box each, at normal speed.
  window.InformDispatcher("ДСП ГОР", "Поезд № 802 отправился в  7 мин.", 2);
  EXPECT_FALSE(window.AskDispatcher("ДСП ГОР", "Принять поезд № 801 на I путь?", 2));
  window.NotifyDispatcher("Поезд № 802 проехал красный сигнал!");
  window.NotifyDispatcher("");  // a ring alone, for the dispatcher's station
  EXPECT_EQ(window.rings, (std::vector<int>{2, 2, -1, -1}));
  // With every station automated, a ring alone is the automatic dispatcher's call.
  window.SetAutomatic(-1, true);
  Scale(5);
  window.NotifyDispatcher("");
  EXPECT_EQ(std::pair(window.rings.size(), sim.TimeScaleLevel), std::pair(std::size_t{4}, 5));
  window.SetAutomatic(LP("ГОР"), false);
  Scale(1);
  EXPECT_EQ(std::pair(told, asked), std::pair(QStringLiteral("Поезд № 802 отправился в  7 мин."),
                                              QStringLiteral("Принять поезд № 801 на I путь?")));
  // While a scenario's answer holds, it answers for every station.
  std::ofstream(dir / "answer.txt") << "09:50 answer no\n";
  ASSERT_TRUE(window.LoadScenario(dir / "answer.txt"));
  window.TimerTick();
  EXPECT_FALSE(window.AskDispatcher("ДСП ГОР", "Выставляю поезд № 804 на 2 путь?", 2));
  EXPECT_EQ(answers.Answered(), 3u);
  EXPECT_EQ(Untimed(), (Lines{"ДСП ЛЕС: Поезд № 801 к отправлению готов. Отправить с I пути? — "
                              "нет (автомат)",
                              "ДСП ЛЕС: Поезд № 801 прибыл в  5 мин.",
                              "ДСП ЛЕС: Принять поезд № 802 на I путь? — да (автомат)",
                              "ДСП ГОР: Поезд № 802 отправился в  7 мин.",
                              "ДСП ГОР: Принять поезд № 801 на I путь? — нет (диспетчер)",
                              "Поезд № 802 проехал красный сигнал!",
                              "ДСП ГОР: Выставляю поезд № 804 на 2 путь? — нет (сценарий)"}));
  EXPECT_EQ(window.Journal().Lines()[0].substr(0, 10), "09:50:00  ");
}

TEST_F(JournalTest, TheWindowListsTheJournalNewestLastAndNeverTakesTheFocus) {
  window.show();
  window.activateWindow();
  Settle();
  ASSERT_EQ(QApplication::activeWindow(), &window);
  window.SetTimeScale(3);
  const auto say = [this](int k) {
    window.StationAnswered("ДСП А", "Принять поезд № " + std::to_string(k) + "?", 1, true);
  };
  for (int k = 1; k <= 40; ++k) say(k);
  window.miRefJournal->trigger();
  Settle();
  TfmJournal& journal = *window.fmJournal;
  ASSERT_TRUE(journal.isVisible());
  EXPECT_EQ(journal.windowTitle(), QStringLiteral("Журнал станций"));
  EXPECT_EQ(Shown(journal), window.Journal().Lines());
  EXPECT_EQ(BottomLine(journal).substr(10), "ДСП А: Принять поезд № 40? — да (автомат)");
  // New lines come at the end, the view follows them, and the focus stays where it was.
  say(41);
  Settle();
  EXPECT_EQ(Shown(journal), window.Journal().Lines());
  EXPECT_EQ(BottomLine(journal).substr(10), "ДСП А: Принять поезд № 41? — да (автомат)");
  EXPECT_EQ(QApplication::activeWindow(), &window);
  // Scrolled up to read an older line, the dispatcher keeps his place.
  QScrollBar* bar = journal.mmJournal->verticalScrollBar();
  bar->setValue(0);
  say(42);
  EXPECT_EQ(std::pair(bar->value(), Shown(journal).back()),
            std::pair(0, window.Journal().Lines().back()));
  // The window keeps its own keys: Ctrl+C copies, a digit and L do nothing.
  journal.mmJournal->selectAll();
  PressKey(*journal.mmJournal, Qt::Key_C, Qt::ControlModifier);
  PressKey(*journal.mmJournal, Qt::Key_7);
  PressKey(*journal.mmJournal, Qt::Key_L);
  EXPECT_EQ(sim.TimeScaleLevel, 3);
  EXPECT_EQ(QApplication::clipboard()->text(), journal.mmJournal->toPlainText());
  // Clicked into a while later, it is the dispatcher's to use.
  Settle(300);
  journal.activateWindow();
  Settle();
  EXPECT_EQ(QApplication::activeWindow(), &journal);
  window.hide();
}

TEST_F(JournalTest, AGridlockIsJournalledOnceWithoutABoxAndAgainAfterAReload) {
  Start(dir / "line", 950);
  window.SetAutomatic(-1, true);
  // Both tracks of each station hold a train for the other one: none can ever leave.
  for (const auto& [number, mnem, track] : std::initializer_list<std::tuple<int, const char*, int>>{
           {801, "ЛЕС", 0}, {803, "ЛЕС", 1}, {802, "ГОР", 0}, {804, "ГОР", 1}}) {
    const int i = test::CreateTimetableTrain(sim, number);
    ASSERT_TRUE(PutOnTrack(sim, i, LP(mnem), track));
    ReleaseMadeUp(sim, i);
  }
  Boxes boxes;
  TicksUntil(1130);
  const Lines lines = window.Journal().Lines();
  ASSERT_EQ(Containing(lines, "Затор"), 1) << testing::PrintToString(lines);
  EXPECT_EQ(*std::find_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("Затор") == 10; }),
            "10:02:00  Затор: Поезда № 801, 802, 803, 804 ждут друг друга и не могут "
            "двинуться: ЛЕС, ГОР");
  // The journal comes to the front with it after one ring; the automated line keeps its pace.
  EXPECT_TRUE(window.fmJournal->isVisible());
  EXPECT_EQ(BottomLine(*window.fmJournal), lines.back());
  EXPECT_EQ(std::tuple(boxes.Shown.size(), window.rings, sim.TimeScaleLevel),
            std::tuple(std::size_t{0}, std::vector<int>{-1}, 9));
  // The stations asked to send their trains, and the automatic dispatcher said yes itself: the
  // departure commit, which it never gives here, is what holds them.
  EXPECT_GT(Containing(lines, "к отправлению готов"), 0);
  EXPECT_GT(Containing(lines, "— да (автомат)"), 0);
  EXPECT_EQ(Containing(lines, "(диспетчер)"), 0);

  // A reload starts another timeline and a new journal, where the same gridlock is new.
  window.LoadState = [] {
    SaveOutcome loaded;
    loaded.Ok = true;
    return loaded;
  };
  PressKey(window, Qt::Key_L);
  Scale(9);
  EXPECT_TRUE(window.Journal().Entries().empty());
  EXPECT_EQ(Shown(*window.fmJournal), Lines{""});
  TicksUntil(1140);
  EXPECT_EQ(Containing(window.Journal().Lines(), "Затор"), 1);

  // At a station of the dispatcher's own, the clock drops to normal.
  window.SetAutomatic(LP("ГОР"), false);
  window.ReportGridlock({.Trains = {801, 802}, .Stations = {LPCode(sim.AreaData, LP("ГОР"))}});
  EXPECT_EQ(sim.TimeScaleLevel, 1);
}

TEST_F(JournalTest, DistrictTwoAutomatedRunsSixHoursAtX256WithoutABoxOrARing) {
  ASSERT_TRUE(fs::exists(kDistrictTwo / "Data.dat")) << "run from build/bin";
  Start(kDistrictTwo, 600);
  window.miAutoDistrict->trigger();
  Boxes boxes;
  TicksUntil(1200);
  EXPECT_EQ(boxes.Shown, (std::vector<std::pair<QString, QString>>{}));
  EXPECT_EQ(std::tuple(sim.TimeScaleLevel, window.rings), std::tuple(9, std::vector<int>{}));
  const Lines lines = window.Journal().Lines();
  EXPECT_GT(Containing(lines, "— да (автомат)"), 50);
  EXPECT_EQ(Containing(lines, "Затор") + Containing(lines, "(диспетчер)"), 0);
}

TEST_F(JournalTest, InDistrictTwoAStationLeftToTheDispatcherStillAsksInABox) {
  Start(kDistrictTwo, 600);
  window.SetAutomatic(-1, true);
  window.SetAutomatic(0, false);
  Boxes boxes;
  TicksUntil(800);
  ASSERT_FALSE(boxes.Shown.empty());
  const QString human = QString::fromStdString(DSPName(sim.AreaData, 0));
  for (const auto& [title, text] : boxes.Shown) EXPECT_EQ(title, human) << text.toStdString();
  EXPECT_GT(Containing(window.Journal().Lines(), "(диспетчер)"), 0);
}

}  // namespace
}  // namespace traklin
