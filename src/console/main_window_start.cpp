// The main window's start-up: the district, its file, the set-up, the panel picture, the state
// restored or the start time asked, and the clock.
#include <QFontMetrics>
#include <QTimer>
#include <iostream>
#include <system_error>

#include "area/area_reader.h"
#include "area/area_report.h"
#include "area/district_catalogue.h"
#include "area/district_setup.h"
#include "console/clock_face.h"
#include "console/console_fonts.h"
#include "console/controller_window.h"
#include "console/district_window.h"
#include "console/graph_windows.h"
#include "console/main_window.h"
#include "console/ring_player.h"
#include "console/set_time_dialog.h"
#include "settings/ui/settings_dialog.h"
#include "state/interlocking.h"

namespace traklin {

void TfmControlPanel::ReportSettingsProblems(const std::filesystem::path& file,
                                             const TSettingsProblems& problems) {
  for (const std::string& problem : problems)
    std::cerr << "traklin: " << file.string() << ": " << problem << " (the default is used)\n";
}

void TfmControlPanel::LoadPanelPicture() {
  const QString file = QString::fromStdString((districtDir_ / "Pult.bmp").string());
  const QImage pult(file);
  if (pult.isNull()) ShowMessage(kApplicationTitle, "Error reading Pult.bmp\r\n");
  BuildPanel(pult);
}

void TfmControlPanel::FailStart(const std::string& message) {
  if (!message.empty()) ShowMessage(kApplicationTitle, message);
  exitCode_ = 1;
  close();
}

void TfmControlPanel::StartSimulation() {
  if (startRan_) return;
  startRan_ = true;

  // The district: the first argument is its number; without one the catalogue decides.
  DistrictSelection selection;
  std::optional<int> requested = -1;
  if (districtArgument_) requested = ParseDistrictArgument(*districtArgument_);
  if (requested)
    selection = SelectDistrict(*fmDistrict, ScanDistricts(paths_.DistrictRoot), *requested,
                               paths_.DistrictRoot);
  if (selection.DistrictDir.empty()) {
    if (selection.Cancelled) {
      close();
      return;
    }
    FailStart("Неизвестен участок симулятора\r\n");
    return;
  }
  districtDir_ = selection.DistrictDir;
  if (!SaveState) {
    SaveState = [this] {
      const SaveOutcome saved = traklin::SaveLastState(sim_, districtDir_);
      if (!saved.Ok) std::cerr << "traklin: save failed: " << saved.Reason << "\n";
      return saved.Ok;
    };
  }
  if (!LoadState) LoadState = [this] { return LoadLastState(sim_, districtDir_); };

  // The first Ctrl+D leaves the inspection mode with the window's own caption.
  inspectionMode_ = true;
  savedCaption_ = QStringLiteral("Траклин");
  sim_.Console = this;

  try {
    LoadAreaData(DistrictDataFile(districtDir_), sim_.AreaData, sim_.MaxSpeedLimit,
                 sim_.ReadDataError);
  } catch (const std::exception& e) {
    FailStart(FormatReadDataError(sim_.ReadDataError, e.what()));
    return;
  }

  InitializeData();
  LoadPanelPicture();
  RestoreState();
}

bool TfmControlPanel::InitializeData() {
  try {
    ReportSettingsProblems(paths_.SettingsFile,
                           ReadDistrictSettings(paths_.SettingsFile, sim_.AreaData, sim_.Settings));
    panelView_ = sim_.Settings.Resolution;
    imClock->setFixedSize(kClockWidth, kClockHeight);
    imClock->Image = QImage(kClockWidth, kClockHeight, QImage::Format_RGB32);
    imClock->Image.fill(Qt::black);
    PlaceClock();

    SetupOptions options;
    options.ShowAllBlockSect = sim_.Settings.ShowAllBlockSect;
    options.ViewIndex = panelView_;
    // Measured with exactly the font the name lamps are drawn with.
    const QFontMetrics tahoma(PanelNameFont());
    options.TextWidth = [tahoma](const std::string& text) {
      return tahoma.horizontalAdvance(QString::fromStdString(text));
    };
    options.RingExists = [](int n) {
      std::error_code ec;
      return std::filesystem::is_regular_file(RingFile(n), ec);
    };
    mpSound->DefaultRing = PrepareDistrict(sim_.AreaData, options);
    fmSettings->SetDistrict(sim_.AreaData);
    fmGID->SetScales(sim_.Settings.ScalePercents, sim_.Settings.ScaleKmOnly);
    fmNGDP->SetScales(sim_.Settings.ScalePercents, sim_.Settings.ScaleKmOnly);
    StateInit(sim_);
    fmNGDP->SetPicturePath(districtDir_ / "NGDP.bmp");
    if (const auto failure = fmNGDP->EnsurePictureFile(&fmGID->Graph()))
      ShowMessage(kApplicationTitle, *failure);
    fmController->Setup();
    if (!fmController->PictureError().isEmpty())
      ShowMessage(kApplicationTitle, fmController->PictureError().toStdString());

    // The step timer waits, disabled, for the end of the start.
    Timer->stop();
    Timer->setInterval(kBaseTimerInterval);
    return true;
  } catch (const std::exception& e) {
    ShowMessage(kApplicationTitle, std::string("Error initializing data+\r\n\r\n") + e.what());
  } catch (...) {
    ShowMessage(kApplicationTitle, "Error initializing data+\r\n\r\nUnknown error");
  }
  return false;
}

void TfmControlPanel::RestoreState() {
  bool restored = false;
  if (LoadState) {
    try {
      restored = LoadState().Ok;
    } catch (...) {
      restored = false;
    }
    if (!restored) {
      // A failed load may have left part of the state behind.
      try {
        StateInit(sim_);
      } catch (const std::exception& e) {
        ShowMessage(kApplicationTitle, std::string("Error initializing data+\r\n\r\n") + e.what());
      }
    }
  }
  if (!restored) {
    try {
      sim_.State.ClockTime = fmSetTime->Execute(sim_.State.ClockTime);
    } catch (const std::exception& e) {
      ShowMessage(kApplicationTitle, e.what());
    }
  }
  // The command line's scenario plays from the clock the start has just set.
  if (!ScriptFile.empty()) LoadScenario(ScriptFile);
  SetTimeScale(1);
  StartClock();
}

void TfmControlPanel::StartClock() {
  sim_.Console = this;
  sim_.LastSaveTime = sim_.State.ClockTime;
  miLoadLast->setEnabled(static_cast<bool>(LoadState));
  started_ = true;
  AutoLPsChanged();
  SetTimeScale(sim_.TimeScaleLevel);
  DrawClock();
}

}  // namespace traklin
