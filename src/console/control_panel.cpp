// The main window "Траклин": clock, time control, menu, keys, rings and message boxes.
#include "console/control_panel.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScrollArea>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <iostream>
#include <system_error>

#include "area/area_reader.h"
#include "area/area_report.h"
#include "area/date_time.h"
#include "area/district_catalogue.h"
#include "area/district_setup.h"
#include "console/clock_face.h"
#include "console/district_window.h"
#include "console/ring_player.h"
#include "console/set_time_dialog.h"
#include "state/clock.h"
#include "state/interlocking.h"

namespace traklin {
namespace {

constexpr int kHeaderHeight = 50;
constexpr int kClockTop = 4;
constexpr int kDefaultClockLeft = 8;
constexpr int kLabelWidth = 120;
constexpr int kLabelGap = 12;
const char* const kApplicationTitle = "Traklin";

QString Text(const std::string& utf8) {
  return QString::fromStdString(ToPlainLineBreaks(utf8));
}

// Settings problems do not stop the start: the value keeps its default.
void ReportSettingsProblems(const std::filesystem::path& file, const TSettingsProblems& problems) {
  for (const std::string& problem : problems)
    std::cerr << "traklin: " << file.string() << ": " << problem << " (the default is used)\n";
}

}  // namespace

ClockImage::ClockImage(QWidget* parent)
    : QWidget(parent), Image(kClockWidth, kClockHeight, QImage::Format_RGB32) {
  setObjectName(QStringLiteral("imClock"));
  Image.fill(Qt::black);
  setFixedSize(kClockWidth, kClockHeight);
}

void ClockImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, Image);
}

void ClockImage::enterEvent(QEnterEvent*) {
  emit hoverChanged(true);
}
void ClockImage::leaveEvent(QEvent*) {
  emit hoverChanged(false);
}

TfmControlPanel::TfmControlPanel(Simulation& sim, std::optional<std::string> districtArgument,
                                 QWidget* parent)
    : TfmControlPanel(sim, std::move(districtArgument), ConsolePaths{}, parent) {}

TfmControlPanel::TfmControlPanel(Simulation& sim, std::optional<std::string> districtArgument,
                                 ConsolePaths paths, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      sim_(sim),
      districtArgument_(std::move(districtArgument)),
      paths_(std::move(paths)) {
  // The general preferences come first, before any district is known.
  ReportSettingsProblems(paths_.SettingsFile,
                         ReadGeneralSettings(paths_.SettingsFile, sim_.Settings));

  setObjectName(QStringLiteral("fmControlPanel"));
  setWindowTitle(QStringLiteral("Траклин"));
  setFont(QFont(QStringLiteral("Tahoma"), 8));
  resize(651, 418);
  move(0, 0);

  // Green behind the header and the panel; the menu and the dialogs keep the usual colours.
  auto* central = new QWidget(this);
  QPalette green = central->palette();
  green.setColor(QPalette::Window, kWindowGreen);
  central->setPalette(green);
  central->setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  pnHeader = new QWidget(central);
  pnHeader->setObjectName(QStringLiteral("pnHeader"));
  pnHeader->setFixedHeight(kHeaderHeight);
  layout->addWidget(pnHeader);

  imClock = new ClockImage(pnHeader);
  connect(imClock, &ClockImage::hoverChanged, this,
          [this](bool hovered) { clockHover_ = hovered; });

  lbMultiplier = new QLabel(pnHeader);
  lbMultiplier->setObjectName(QStringLiteral("lbMultiplier"));
  QFont multiplierFont(QStringLiteral("Tahoma"));
  multiplierFont.setPixelSize(12);  // 9 pt
  lbMultiplier->setFont(multiplierFont);

  lbMsg = new QLabel(pnHeader);
  lbMsg->setObjectName(QStringLiteral("lbMsg"));
  QPalette white = lbMsg->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  lbMsg->setPalette(white);

  sbPult = new QScrollArea(central);
  sbPult->setObjectName(QStringLiteral("sbPult"));
  sbPult->setFrameShape(QFrame::NoFrame);
  sbPult->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  imPult = new QLabel;
  imPult->setObjectName(QStringLiteral("imPult"));
  sbPult->setWidget(imPult);
  layout->addWidget(sbPult, 1);
  setCentralWidget(central);

  BuildMenu();

  mpSound = new RingPlayer(this);
  mpSound->setObjectName(QStringLiteral("mpSound"));
  fmDistrict = new TfmDistrict(this);
  fmSetTime = new TfmSetTime(this);

  Timer = new QTimer(this);
  Timer->setInterval(kBaseTimerInterval);
  connect(Timer, &QTimer::timeout, this, &TfmControlPanel::TimerTick);

  PlaceClock();
  lbMultiplier->setText(QString());
  QPalette multiplier = lbMultiplier->palette();
  multiplier.setColor(QPalette::WindowText, kMultiplierQColor);
  lbMultiplier->setPalette(multiplier);
}

TfmControlPanel::~TfmControlPanel() {
  if (sim_.Console == this) sim_.Console = nullptr;
}

void TfmControlPanel::BuildMenu() {
  mmOptions = menuBar();
  mmOptions->setObjectName(QStringLiteral("mmOptions"));
  auto item = [this](QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu != nullptr ? menu->addAction(caption) : mmOptions->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };

  QMenu* file = mmOptions->addMenu(QStringLiteral("Файл"));
  miLoadLast = item(file, "miLoadLast", QStringLiteral("Загрузить пред. (last.sav)"));
  miSave = item(file, "miSave", QStringLiteral("Сохранить"));
  file->addSeparator()->setObjectName(QStringLiteral("miSepExit"));
  miExit = item(file, "miExit", QStringLiteral("Выход"));
  miGID = item(nullptr, "miGID", QStringLiteral("ГИД"));
  N1 = item(nullptr, "N1", QStringLiteral("ГИД (доп)"));
  miNGDP = item(nullptr, "miNGDP", QStringLiteral("НГДП"));
  QMenu* references = mmOptions->addMenu(QStringLiteral("Справки"));
  references->setObjectName(QStringLiteral("miReferences"));
  miRefTrains = item(references, "miRefTrains", QStringLiteral("по составам..."));
  miRefPassengerSchedule =
      item(references, "miRefPassengerSchedule", QStringLiteral("по расписанию (пасс.)"));
  miRefApproaches = item(references, "miRefApproaches", QStringLiteral("по подходам..."));
  N3 = item(references, "N3", QStringLiteral("по графикам курсирования..."));
  miRefTracks = item(references, "miRefTracks", QStringLiteral("по путям..."));
  QMenu* time = mmOptions->addMenu(QStringLiteral("Время"));
  miTime0 = item(time, "miTime0", QStringLiteral("Пауза"));
  miTime1 = item(time, "miTime1", QStringLiteral("Норма"));
  miTimeDouble = item(time, "miTimeDouble", QStringLiteral("Ускорить "));
  miConfiguration = item(nullptr, "miConfiguration", QStringLiteral("Настройки..."));

  N1->setEnabled(false);
  N3->setEnabled(false);
  // The graphs, the reports and the settings dialog are not part of this console yet.
  for (QAction* pending : {miGID, miNGDP, miRefTrains, miRefPassengerSchedule, miRefApproaches,
                           miRefTracks, miConfiguration})
    pending->setEnabled(false);
  miLoadLast->setEnabled(false);  // enabled once a loader is set

  connect(miSave, &QAction::triggered, this, &TfmControlPanel::SaveClick);
  connect(miLoadLast, &QAction::triggered, this, &TfmControlPanel::LoadLastClick);
  connect(miTime0, &QAction::triggered, this, [this] { SetTimeScale(0); });
  connect(miTime1, &QAction::triggered, this, [this] { SetTimeScale(1); });
  connect(miTimeDouble, &QAction::triggered, this, &TfmControlPanel::TimeDoubleClick);
}

void TfmControlPanel::PlaceClock() {
  int clockLeft = kDefaultClockLeft;
  int viewWidth = width();
  const auto& views = sim_.AreaData.GraphVids;
  if (!views.empty()) {
    // A view index the district does not have falls back to its first view, as the panel does.
    const bool known = panelView_ >= 0 && panelView_ < static_cast<int>(views.size());
    const TGraphVidData& view = views[known ? panelView_ : 0];
    clockLeft = view.Values[2];
    viewWidth = view.Values[0];
  }
  imClock->move(clockLeft, kClockTop);
  const int clockRight = clockLeft + kClockWidth;
  const int height = lbMultiplier->sizeHint().height();
  if (clockRight + 200 >= viewWidth) {
    // No room on the right: the labels end 12 pixels left of the clock.
    const int left = clockLeft - kLabelGap - kLabelWidth;
    lbMultiplier->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lbMsg->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lbMultiplier->setGeometry(left, 8, kLabelWidth, height);
    lbMsg->setGeometry(left, 24, kLabelWidth, height);
  } else {
    lbMultiplier->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbMultiplier->setGeometry(clockRight + kLabelGap, 8, kLabelWidth, height);
    lbMsg->setGeometry(clockRight + kLabelGap, 24, kLabelWidth, height);
  }
}

void TfmControlPanel::SetTimeScale(int level) {
  const TimeScale s = sim_.SetTimeScale(level);
  Timer->setInterval(s.IntervalMs);
  if (s.TimerEnabled && started_) {
    if (!Timer->isActive()) Timer->start();
  } else {
    Timer->stop();
  }
  QPalette palette = lbMultiplier->palette();
  palette.setColor(QPalette::WindowText, kMultiplierQColor);
  lbMultiplier->setPalette(palette);
  lbMultiplier->setText(QString::fromStdString(s.Label));
}

void TfmControlPanel::TimeDoubleClick() {
  if (sim_.TimeScaleLevel < kMaxTimeScale) SetTimeScale(sim_.TimeScaleLevel + 1);
}

void TfmControlPanel::DrawClock() {
  QPainter painter(&imClock->Image);
  DrawSegmentClock(painter, sim_.State.ClockTime, imClock->Image.size());
  painter.end();
  imClock->update();
}

void TfmControlPanel::DrawDate() {
  const bool monthAsDigits = sim_.Random.Draw(100) < 99;
  QPainter painter(&imClock->Image);
  DrawCalendarFace(painter, sim_.State.ClockTime, imClock->Image.size(), monthAsDigits);
  painter.end();
  imClock->update();
}

void TfmControlPanel::TimerTick() {
  // Detached while the tick runs: pending events (and boxes opened inside a step) must not
  // start another tick.
  if (!tickAttached_ || busy_) return;
  tickAttached_ = false;
  std::optional<std::string> failure;
  try {
    RunSteps();
    if (clockHover_) DrawDate();
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "Unknown error";
  }
  tickAttached_ = true;
  if (failure) {
    // Stop the clock first so that the box is shown once, not at every tick.
    SetTimeScale(0);
    ShowMessage(kApplicationTitle, *failure);
  }
}

void TfmControlPanel::RunSteps() {
  sim_.RunTick([this] {
    if (!clockHover_) DrawClock();
    QCoreApplication::processEvents();
  });
}

void TfmControlPanel::ShowMessage(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), Text(text), QMessageBox::Ok,
                  isVisible() ? this : nullptr);
  box.exec();
}

void TfmControlPanel::PlayRing(int n) {
  mpSound->Play(n);
}

void TfmControlPanel::NotifyDispatcher(const std::string& text) {
  const int remembered = sim_.TimeScaleLevel;
  if (!text.empty() || !sim_.Settings.RestoreTimeScaleAtRings) SetTimeScale(1);
  if (sim_.Settings.MessageRings || text.empty()) PlayRing(-1);
  if (!text.empty()) {
    ShowMessage(kApplicationTitle, text);
    if (sim_.Settings.RestoreTimeScaleAtMsg) SetTimeScale(remembered);
  }
}

void TfmControlPanel::InformDispatcher(const std::string& caption, const std::string& text,
                                       int ring) {
  const int remembered = sim_.TimeScaleLevel;
  if (!text.empty() || !sim_.Settings.RestoreTimeScaleAtRings) SetTimeScale(1);
  if (sim_.Settings.MessageRings || text.empty()) PlayRing(ring);
  ShowMessage(caption, text);
  if (!text.empty() && sim_.Settings.RestoreTimeScaleAtMsg) SetTimeScale(remembered);
}

bool TfmControlPanel::AskDispatcher(const std::string& caption, const std::string& text, int ring) {
  const int remembered = sim_.TimeScaleLevel;
  if (!text.empty() || !sim_.Settings.RestoreTimeScaleAtRings) SetTimeScale(1);
  if (sim_.Settings.RequestRings || text.empty()) PlayRing(ring);
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), Text(text),
                  QMessageBox::Ok | QMessageBox::Cancel, isVisible() ? this : nullptr);
  const bool yes = box.exec() == QMessageBox::Ok;
  if (!text.empty() && sim_.Settings.RestoreTimeScaleAtMsg) SetTimeScale(remembered);
  return yes;
}

bool TfmControlPanel::Pause() {
  // Lets a running tick finish before the state is touched.
  for (int i = 0; i < 30; ++i) {
    QThread::msleep(10);
    QCoreApplication::processEvents();
  }
  return true;
}

bool TfmControlPanel::SaveLastState(bool reportFailure) {
  // A key pressed while the pause lets events run must not start a second save or a load.
  if (busy_) return false;
  busy_ = true;
  Timer->stop();
  Pause();
  bool saved = false;
  try {
    saved = SaveState && SaveState();
  } catch (...) {
    saved = false;
  }
  if (!saved && reportFailure) ShowMessage(kApplicationTitle, "Сохранение не удалось.");
  busy_ = false;
  // The level may have changed during the pause (the dispatcher paused): it decides the timer.
  SetTimeScale(sim_.TimeScaleLevel);
  return saved;
}

void TfmControlPanel::SaveClick() {
  if (!started_ || busy_) return;
  sim_.ManualSave();
}

void TfmControlPanel::LoadLastClick() {
  if (!started_ || !LoadState || busy_) return;
  busy_ = true;
  SetTimeScale(1);
  Timer->stop();
  Pause();
  SaveOutcome loaded;
  try {
    loaded = LoadState();
  } catch (const std::exception& e) {
    loaded.Reason = e.what();
  }
  busy_ = false;
  if (loaded.Ok) {
    sim_.LastSaveTime = sim_.State.ClockTime;
    if (sim_.OnTrainListChanged) sim_.OnTrainListChanged();
    DrawClock();
  } else {
    // The state is as it was: say why and go on.
    ShowMessage(kApplicationTitle, "Загрузка не удалась.\r\n\r\n" + loaded.Describe());
  }
  SetTimeScale(1);
}

void TfmControlPanel::keyPressEvent(QKeyEvent* event) {
  FormKeyDown(event);
  if (!event->isAccepted()) QMainWindow::keyPressEvent(event);
}

void TfmControlPanel::FormKeyDown(QKeyEvent* event) {
  const int key = event->key();
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  bool handled = false;
  if (key == Qt::Key_D && ctrl) {
    if (inspectionMode_) {
      inspectionMode_ = false;
      setWindowTitle(savedCaption_);
    } else {
      savedCaption_ = windowTitle();
      setWindowTitle(savedCaption_ + QStringLiteral(" - debug"));
      inspectionMode_ = true;
    }
    handled = true;
  }
  if (key == Qt::Key_S && ctrl) {
    SaveClick();
    handled = true;
  }
  if (key == Qt::Key_L) {
    LoadLastClick();
    handled = true;
  }
  if (key == Qt::Key_Minus) {
    SetTimeScale(sim_.TimeScaleLevel <= 1 ? 0 : 1);
    handled = true;
  }
  if (key == Qt::Key_Equal || key == Qt::Key_Plus) {
    TimeDoubleClick();
    handled = true;
  }
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    SetTimeScale(key - Qt::Key_0);
    handled = true;
  }
  event->setAccepted(handled);
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

  inspectionMode_ = true;
  savedCaption_.clear();
  sim_.Console = this;

  try {
    LoadAreaData(DistrictDataFile(districtDir_), sim_.AreaData, sim_.MaxSpeedLimit,
                 sim_.ReadDataError);
  } catch (const std::exception& e) {
    FailStart(FormatReadDataError(sim_.ReadDataError, e.what()));
    return;
  }

  InitializeData();
  // The panel picture comes with the control panel.
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
    const QFontMetrics tahoma(QFont(QStringLiteral("Tahoma"), 8));
    options.TextWidth = [tahoma](const std::string& text) {
      return tahoma.horizontalAdvance(QString::fromStdString(text));
    };
    options.RingExists = [](int n) {
      std::error_code ec;
      return std::filesystem::is_regular_file(RingFile(n), ec);
    };
    mpSound->DefaultRing = PrepareDistrict(sim_.AreaData, options);
    StateInit(sim_);

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
  SetTimeScale(1);
  StartClock();
}

void TfmControlPanel::StartClock() {
  sim_.Console = this;
  sim_.LastSaveTime = sim_.State.ClockTime;
  miLoadLast->setEnabled(static_cast<bool>(LoadState));
  started_ = true;
  SetTimeScale(sim_.TimeScaleLevel);
  DrawClock();
}

}  // namespace traklin
