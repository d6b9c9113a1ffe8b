// The main window "Траклин": clock, time control, menu, keys, rings and message boxes.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "area/district_catalogue.h"
#include "settings/settings.h"
#include "simulation/save_state.h"
#include "simulation/simulation.h"
#include "state/console_services.h"

class QAction;
class QLabel;
class QMenu;
class QScrollArea;
class QTimer;

namespace traklin {

class RingPlayer;
class TfmDistrict;
class TfmSetTime;

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
  void FormKeyDown(QKeyEvent* event);

  /// Redraws the clock picture: the segment clock, or the calendar face while hovered.
  void DrawClock();
  void DrawDate();

  // Console services.
  void NotifyDispatcher(const std::string& text) override;
  void InformDispatcher(const std::string& caption, const std::string& text, int ring) override;
  bool AskDispatcher(const std::string& caption, const std::string& text, int ring) override;
  bool SaveLastState(bool reportFailure) override;

  /// Saving and loading last.sav; until they are set, saving fails and loading is unavailable.
  /// The start-up sets both to the district's last.sav unless they were set before. A load
  /// that fails leaves the state as it was and gives the reason.
  std::function<bool()> SaveState;
  std::function<SaveOutcome()> LoadState;

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
  QScrollArea* sbPult;
  QLabel* imPult;
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
  QAction* miTime0;
  QAction* miTime1;
  QAction* miTimeDouble;
  QAction* miConfiguration;
  QTimer* Timer;
  RingPlayer* mpSound;
  TfmDistrict* fmDistrict;
  TfmSetTime* fmSetTime;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  /// The steps of one tick: StepsPerTick simulation steps, redrawing the clock and letting
  /// pending events run after each.
  virtual void RunSteps();
  /// Plays ring n, or the default ring when n is negative (nothing when there is none or its
  /// file is missing).
  virtual void PlayRing(int n);

 private:
  void BuildMenu();
  void PlaceClock();
  void ShowMessage(const std::string& caption, const std::string& text);
  bool Pause();
  void SaveClick();
  void LoadLastClick();
  void TimeDoubleClick();
  void FailStart(const std::string& message);
  void RestoreState();

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
};

}  // namespace traklin
