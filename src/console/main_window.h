// The main window "Траклин": clock, time control, menu, keys, rings and message boxes. Its members
// live in main_window.cpp, main_window_start.cpp, key_table.cpp, dispatcher_services.cpp and
// instructor_tools.cpp and main_window_shift.cpp.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "area/district_catalogue.h"
#include "dispatch/gridlock.h"
#include "dispatch/punctuality.h"
#include "dispatch/scenario.h"
#include "settings/settings.h"
#include "simulation/save_state.h"
#include "simulation/simulation.h"
#include "state/console_services.h"
#include "views/station_journal.h"

class QAction;
class QLabel;
class QMenu;
class QMessageBox;
class QTimer;

namespace traklin {

class PanelPicture;
class PictureView;
class RingPlayer;
class TfmController;
class TfmGID;
class TfmNGDP;
class TfmDistrict;
class TfmSetTime;
class TfmSettings;
class TfmReference;
class TfmJournal;
class TfmTrains;
class TfmOpTask;
class TfmShiftScore;
class TfmFaults;
class TfmPermits;
class ShiftSession;

/// The clock picture: shows its image and tells when the mouse enters or leaves it.
class ClockImage : public QWidget {
  Q_OBJECT

 public:
  explicit ClockImage(QWidget* parent = nullptr);
  QImage Image;

 signals:
  void hoverChanged(bool hovered);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
};

/// The caption of the main window's own message boxes.
inline constexpr char kApplicationTitle[] = "Traklin";

/// The multiplier colour 0xE0C0D0 (red in the low byte).
inline const QColor kMultiplierQColor{0xD0, 0xC0, 0xE0};
inline const QColor kWindowGreen{0x00, 0x80, 0x00};

/// Where the main window finds the districts and the configuration file, relative to the
/// working directory unless absolute.
struct ConsolePaths {
  std::filesystem::path DistrictRoot = kDistrictRoot;
  std::filesystem::path SettingsFile = DefaultSettingsPath();
};

class TfmControlPanel : public QMainWindow, public ConsoleServices {
  Q_OBJECT

 public:
  /// districtArgument: the first command-line argument, if any. Reads the general settings
  /// into sim.Settings; a value that is not a number keeps its default and is reported on
  /// stderr.
  TfmControlPanel(Simulation& sim, std::optional<std::string> districtArgument,
                  QWidget* parent = nullptr);
  TfmControlPanel(Simulation& sim, std::optional<std::string> districtArgument, ConsolePaths paths,
                  QWidget* parent = nullptr);
  ~TfmControlPanel() override;

  /// The one-time start-up: district, district file, district set-up and state, the start
  /// time, clock and timer. Runs once the window is shown and the event loop runs; closes the
  /// window when no district can be opened or its file cannot be read. A failing set-up is
  /// reported ("Error initializing data+") and the start goes on.
  void StartSimulation();

  /// The district's settings, the panel view, the district set-up, the state and the step
  /// timer, in one protected block; an error is shown in a box and the start goes on.
  /// Returns whether everything succeeded.
  bool InitializeData();

  /// The last start-up step: the last-save time becomes the clock time and the step timer runs
  /// at the current level (1 after start).
  void StartClock();

  /// Sets the time scale level 0..9: timer interval and enabled state, steps per tick and the
  /// multiplier label. The timer runs only once the start-up has finished.
  void SetTimeScale(int level);

  /// The step timer's handler: StepsPerTick steps, redrawing the clock after each.
  void TimerTick();

  /// The key handler of the whole program; the other console windows route their keys here.
  /// Keys are taken by their physical position (see PhysicalKey). Accepts the event when a
  /// command ran.
  void FormKeyDown(QKeyEvent* event);

  /// Key presses inside window go to FormKeyDown first (the application-wide filter).
  void RouteKeysOf(QWidget* window);

  /// Step 6 of the start-up: loads Pult.bmp from the district and builds the panel picture;
  /// without it the panel is drawn on the window colour after "Error reading Pult.bmp".
  void LoadPanelPicture();
  /// Builds the panel picture from pult (null: the file could not be read) and sizes the window.
  void BuildPanel(const QImage& pult);

  /// Shows a run prepared elsewhere (the headless runner): the district directory, the panel
  /// view of the settings, the desk, the panel from Pult.bmp and the clock, without starting
  /// the timer. Returns false when Pult.bmp could not be read (the panel is drawn without it).
  bool AttachRun(const std::filesystem::path& districtDir);

  /// Redraws the lamps whose colour changed (a tick's refresh).
  void RefreshLamps();
  /// The colour settings changed: every lamp is redrawn at the next refresh.
  void LampColoursChanged();

  /// A press on the panel picture (picture coordinates): the inspection caption; the right
  /// button on a station's name lamp opens the station's menu; otherwise the station under the
  /// point is selected on the desk (task: right button or Shift).
  void PanelClick(QPoint at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

  /// Opens the menu of station lp (an LP index with a name lamp) at a screen point.
  void ShowStationMenu(int lp, QPoint globalAt);
  /// Switches the automatic dispatcher for LP index lp, or for every LP when lp is -1.
  void SetAutomatic(int lp, bool on);
  /// Whether the automatic dispatcher works LP index lp.
  bool Automatic(int lp) const;
  /// The automated stations changed (the menus, a scenario, a reload): the name lamps and the
  /// district item's check follow them.
  void AutoLPsChanged();

  /// Reads a scenario and plays it from now, in place of the one playing. A file that cannot
  /// be read or has a bad line is shown ("Сценарий не загружен:") and changes nothing.
  bool LoadScenario(const std::filesystem::path& file);
  /// The scenario playing; nullptr when none.
  const ScenarioPlayer* Scenario() const { return scenario_.get(); }
  /// The answer a scenario gives to the stations' questions; none: the dispatcher is asked.
  std::optional<bool> ScriptedAnswer() const { return scriptedAnswer_; }
  /// A scenario to play from the start (the command line's --script); empty: none.
  std::filesystem::path ScriptFile;

  /// "по пунктуальности...": the punctuality report of the trains seen since the start (or the
  /// last reload), built anew.
  void ShowPunctualityReport();
  /// "Неисправности...": shows the faults dialog; the clock goes on.
  void ShowFaults();
  /// "Разрешение на проследование...": shows the list of trains before closed signals; the
  /// clock goes on. A refusal is shown in a box with its reason.
  void ShowPermits();

  /// "Журнал станций": the stations' journal, shown in front without taking the focus.
  void ShowJournal();
  /// What the stations have said since the start (or the last load).
  const StationJournal& Journal() const { return journal_; }
  /// A gridlock the detector found: written in the journal, which comes to the front without
  /// taking the focus, after the default ring; no box, and the clock goes on. When a station
  /// of the gridlock is the dispatcher's own (not automated), the time scale drops to normal
  /// as at a report; an automated district keeps its pace.
  void ReportGridlock(const Gridlock& gridlock);

  /// The panel picture; empty until the start-up has built it.
  const PanelPicture* Panel() const { return panel_.get(); }

  /// Redraws the clock picture: the segment clock, or the calendar face while hovered.
  void DrawClock();
  void DrawDate();

  // Console services. What the stations say goes to the journal as well. A station that the
  // automatic dispatcher works opens no box: its reports go to the journal only, and its
  // questions are answered yes there, the dispatcher having refused what is unsafe (a
  // scenario's standing answer comes first). A ring alone (an empty notice) is not given
  // while every station is automated. The dispatcher's own stations report and ask in boxes
  // as always.
  void NotifyDispatcher(const std::string& text) override;
  void InformDispatcher(const std::string& caption, const std::string& text, int ring) override;
  bool AskDispatcher(const std::string& caption, const std::string& text, int ring) override;
  bool SaveLastState(bool reportFailure) override;
  /// An automated station's question answered by the automatic dispatcher: into the journal
  /// only, without a box, a ring or a change of the time scale.
  void StationAnswered(const std::string& caption, const std::string& text, int ring,
                       bool answer) override;

  /// Saving and loading last.sav; until they are set, saving fails and loading is unavailable.
  /// The start-up sets both to the district's last.sav unless they were set before. A load
  /// that fails leaves the state as it was and gives the reason.
  std::function<bool()> SaveState;
  std::function<SaveOutcome()> LoadState;

  // The shift (main_window_shift.cpp).

  /// The seed of the first shift (the command line's --seed; the next shift takes the seed
  /// after it); none: each shift draws one from the clock.
  std::optional<std::uint64_t> Seed;
  /// A recorded shift to replay instead of a session on a district (the command line's
  /// --replay); empty: none.
  std::filesystem::path ReplayFolder;
  /// Where the shifts are recorded; empty: the district's shifts/ folder.
  std::filesystem::path ShiftsRoot;
  /// The shift the console records or replays: the console services of the run, in front of
  /// this window.
  ShiftSession* Shift() const { return shift_.get(); }
  /// Ends the shift recording and records the next from the state as it is (the start, a
  /// reload or a load, taking control of a replay). A shift that cannot be recorded is said on
  /// stderr and the console goes on unrecorded.
  void BeginShift();
  /// "Взять управление": the replay stops where it is and the dispatcher goes on from there in
  /// a new shift.
  void TakeControl();
  /// "Итоги смены": the score of the shift so far.
  void ShowShiftScore();

  /// The program's exit status: 1 when the start-up could not open a district.
  int ExitCode() const { return exitCode_; }
  bool Started() const { return started_; }
  bool InspectionMode() const { return inspectionMode_; }
  const std::filesystem::path& DistrictDir() const { return districtDir_; }
  /// The panel view index, copied from the settings at start.
  int PanelView() const { return panelView_; }

  QWidget* pnHeader;
  ClockImage* imClock;
  QLabel* lbMultiplier;
  QLabel* lbMsg;
  /// The panel picture in its scroll box: only the exposed part is painted.
  PictureView* sbPult;
  QMenuBar* mmOptions;
  QAction* miLoadLast;
  QAction* miSave;
  QAction* miExit;
  QAction* miGID;
  QAction* N1;
  QAction* miNGDP;
  QAction* miRefTrains;
  QAction* miRefPassengerSchedule;
  QAction* miRefApproaches;
  QAction* N3;
  QAction* miRefTracks;
  QAction* miRefPunctuality;
  QAction* miRefJournal;
  QAction* miTime0;
  QAction* miTime1;
  QAction* miTimeDouble;
  QAction* miConfiguration;
  QMenu* miDispatcher;
  QAction* miAutoDistrict;
  QAction* miScenario;
  /// "Неисправности...": the instructor's faults (not modal).
  QAction* miFaults;
  /// "Разрешение на проследование...": the trains before closed signals (not modal).
  QAction* miPermits;
  QAction* miShiftScore;
  /// Shown while a shift is replayed.
  QAction* miTakeControl;
  /// The context menu of a station's name lamp.
  QMenu* pmStation;
  QAction* miAutoStation;
  /// The non-modal note of scenario lines that could not be done.
  QMessageBox* msgScenario;
  QTimer* Timer;
  RingPlayer* mpSound;
  TfmDistrict* fmDistrict;
  TfmSetTime* fmSetTime;
  TfmController* fmController;
  TfmGID* fmGID;
  TfmNGDP* fmNGDP;
  TfmTrains* fmTrains;
  TfmOpTask* fmOpTask;
  TfmSettings* fmSettings;
  TfmReference* fmReference;
  TfmShiftScore* fmShiftScore;
  TfmFaults* fmFaults;
  TfmPermits* fmPermits;
  /// The non-modal note at the end of a replay.
  QMessageBox* msgReplay;
  TfmJournal* fmJournal;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  /// The steps of one tick: StepsPerTick simulation steps, redrawing the clock and letting
  /// pending events run after each.
  virtual void RunSteps();
  /// Plays ring n, or the default ring when n is negative (nothing when there is none or its
  /// file is missing).
  virtual void PlayRing(int n);

 private:
  void BuildMenu();
  void PlaceClock();
  /// Draws the segment clock into the clock picture; repaints the clock when show.
  void DrawClockFace(bool show);
  void ShowMessage(const std::string& caption, const std::string& text);
  bool Pause();
  void SaveClick();
  void LoadLastClick();
  void TimeDoubleClick();
  /// "ГИД" and the G key: the executed graph, while the graph is enabled.
  void GIDClick();
  /// "НГДП" and the N key: the normative graph.
  void NGDPClick();
  /// "Настройки...": the clock pauses while the dialog is open; colours take effect at once.
  void ConfigurationClick();
  void ShowReport(int kind);
  /// "Сценарий...": the clock pauses while the file is chosen.
  void ScenarioClick();
  /// A scenario line could not be done: told in the note without stopping the clock.
  void ScenarioRefused(int line, const std::string& reason);
  /// Before each step: the scenario's lines due by the clock the step reaches.
  void PlayScenario();
  /// Where station lp's name lamp lies on the screen (its middle).
  QPoint NameLampOnScreen(int lp) const;
  void ToggleTrains();
  void FailStart(const std::string& message);
  /// Sets level 1 while the dispatcher is told or asked something, unless the clock is paused.
  void DropToNormal();
  /// The wheel scrolls the panel by the wheel's delta, each way where it can scroll: vertically,
  /// sideways with a horizontal wheel or with Shift held.
  void ScrollPanel(QWheelEvent* event);
  void RestoreState();
  /// The windows follow the prepared district (part of InitializeData, and of a replay's
  /// start, whose district and settings the shift gives).
  void SetUpWindows();
  /// The shift's session, its window and note (the end of the constructor).
  void SetUpShift();
  /// The start-up of a replay: the shift prepares the district and the state.
  void StartReplay();
  /// A shift is replayed: the dispatcher's operations (their keys as well) are not taken.
  bool Replaying() const;
  /// The menu items and the desk that operate are disabled while a shift is replayed.
  void ReplayModeChanged();
  /// After a step of a replay: at the shift's end the clock stops and the note tells whether
  /// the replay kept to the recorded log.
  void CheckReplayEnd();
  /// The windows follow a state loaded in place of the one shown.
  void AfterStateLoaded();
  /// The district as a shift's header names it: its number when it is one of the districts
  /// under the default root, otherwise its absolute directory.
  std::string ShiftDistrict() const;
  /// The journal's side of the console services and of a load.
  void JournalReport(const std::string& caption, const std::string& text);
  void JournalQuestion(const std::string& caption, const std::string& text, bool answer,
                       AnswerSource by);
  /// A load starts another timeline: the journal and the gridlocks seen start anew.
  void JournalRestart();
  /// Whether the caption is the duty officer of a station (or of several of the same name)
  /// that the automatic dispatcher works.
  bool FromAutomatedStation(const std::string& caption) const;
  /// Settings problems do not stop the start: each goes to stderr and the value keeps its
  /// default.
  static void ReportSettingsProblems(const std::filesystem::path& file,
                                     const TSettingsProblems& problems);

  Simulation& sim_;
  std::optional<std::string> districtArgument_;
  ConsolePaths paths_;
  std::filesystem::path districtDir_;
  bool startRan_ = false;
  bool started_ = false;
  bool tickAttached_ = true;
  bool busy_ = false;  ///< a save or a load runs (and lets pending events run meanwhile)
  bool clockHover_ = false;
  bool inspectionMode_ = false;
  QString savedCaption_;
  int panelView_ = 0;
  int exitCode_ = 0;
  std::unique_ptr<PanelPicture> panel_;
  std::vector<QPointer<QWidget>> keyWindows_;
  /// The calendar face's own draws: hovering over the clock must not change a seeded run.
  RandomGenerator calendarRandom_;
  std::unique_ptr<ScenarioPlayer> scenario_;
  std::optional<bool> scriptedAnswer_;
  int stationMenuLP_ = -1;
  StationJournal journal_;
  /// Made last in the constructor: it chains the train hooks the windows set before it.
  std::unique_ptr<PunctualityRecorder> punctuality_;
  /// Made after the punctuality recorder, whose train hooks it chains.
  std::unique_ptr<ShiftSession> shift_;
  int shifts_ = 0;  ///< shifts begun
};

}  // namespace traklin
