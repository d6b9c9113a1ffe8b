// The main window "Траклин": construction, menu, header clock, time scale, the tick and the panel.
#include "console/main_window.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "area/panel_geometry.h"
#include "console/clock_face.h"
#include "console/controller_window.h"
#include "console/district_window.h"
#include "console/fault_dialogs.h"
#include "console/graph_windows.h"
#include "console/journal_window.h"
#include "console/op_task_dialog.h"
#include "console/panel_picture.h"
#include "console/reference_window.h"
#include "console/ring_player.h"
#include "console/set_time_dialog.h"
#include "console/shift_session.h"
#include "dispatch/operations.h"
#include "settings/ui/settings_dialog.h"
#include "state/clock.h"
#include "trains/ui/picture_view.h"
#include "trains/ui/trains_window.h"
#include "views/reports.h"

namespace traklin {
namespace {

constexpr int kHeaderHeight = 50;
constexpr int kClockTop = 4;
constexpr int kDefaultClockLeft = 8;
constexpr int kLabelWidth = 120;
constexpr int kLabelGap = 12;

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
  setFont(PixelFont(QStringLiteral("Tahoma"), 11));
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

  // A press on the clock selects nothing: the panel's hit tests work in panel coordinates, and
  // the clock's own would pick stations near the panel's top-left corner.
  imClock = new ClockImage(pnHeader);
  connect(imClock, &ClockImage::hoverChanged, this,
          [this](bool hovered) { clockHover_ = hovered; });

  lbMultiplier = new QLabel(pnHeader);
  lbMultiplier->setObjectName(QStringLiteral("lbMultiplier"));
  lbMultiplier->setFont(PixelFont(QStringLiteral("Tahoma"), 12));

  lbMsg = new QLabel(pnHeader);
  lbMsg->setObjectName(QStringLiteral("lbMsg"));
  QPalette white = lbMsg->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  lbMsg->setPalette(white);

  sbPult = new PictureView(central);
  sbPult->setObjectName(QStringLiteral("sbPult"));
  sbPult->setFrameShape(QFrame::NoFrame);
  sbPult->Background = kWindowGreen;
  sbPult->viewport()->installEventFilter(this);
  connect(sbPult, &PictureView::pressed, this, &TfmControlPanel::PanelClick);
  layout->addWidget(sbPult, 1);
  setCentralWidget(central);

  BuildMenu();

  mpSound = new RingPlayer(this);
  mpSound->setObjectName(QStringLiteral("mpSound"));
  fmDistrict = new TfmDistrict(this);
  fmSetTime = new TfmSetTime(this);
  fmGID = new TfmGID(sim_, this);
  fmGID->setObjectName(QStringLiteral("fmGID"));
  fmGID->hide();
  fmController = new TfmController(sim_, this);
  fmController->setObjectName(QStringLiteral("fmController"));
  if (!fmController->isWindow()) fmController->setWindowFlag(Qt::Window, true);
  fmController->hide();
  fmNGDP = new TfmNGDP(sim_, this);
  fmNGDP->setObjectName(QStringLiteral("fmNGDP"));
  fmNGDP->hide();
  fmTrains = new TfmTrains(sim_, "../image", this);
  fmTrains->setObjectName(QStringLiteral("fmTrains"));
  if (!fmTrains->isWindow()) fmTrains->setWindowFlag(Qt::Window, true);
  fmTrains->hide();
  fmOpTask = new TfmOpTask(sim_, this);
  fmOpTask->setObjectName(QStringLiteral("fmOpTask"));
  fmOpTask->hide();
  fmOpTask->ForwardKey = [this](QKeyEvent* e) { FormKeyDown(e); };
  fmController->OpenTaskDialog = [this](int lp) { fmOpTask->Open(lp); };
  // The desk's commands show on the panel at once, also while the clock is paused; the
  // simulation itself waits for the next step.
  fmController->Acted = [this] { RefreshLamps(); };
  fmController->HideTaskDialog = [this] { fmOpTask->hide(); };
  fmController->TaskDialogVisible = [this] { return fmOpTask->isVisible(); };
  fmSettings = new TfmSettings(sim_.Settings, paths_.SettingsFile, this);
  fmReference = new TfmReference(sim_, this);
  fmReference->setObjectName(QStringLiteral("fmReference"));
  if (!fmReference->isWindow()) fmReference->setWindowFlag(Qt::Window, true);
  fmReference->hide();
  // Not among the windows whose keys are routed: it keeps its own, as the reference window.
  fmJournal = new TfmJournal(journal_, this);
  fmJournal->hide();
  fmFaults = new TfmFaults(sim_, this);
  fmFaults->Changed = [this] { RefreshLamps(); };
  fmPermits = new TfmPermits(sim_, this);
  fmPermits->Changed = [this] { RefreshLamps(); };
  fmPermits->Refused = [this](const std::string& text) { ShowMessage(kApplicationTitle, text); };
  sim_.OnTasksChanged = [this] { fmOpTask->RefreshTasks(); };
  {
    // The report of the trains follows the train list; whoever set the hook before keeps it.
    auto previous = sim_.OnTrainListChanged;
    sim_.OnTrainListChanged = [this, previous] {
      if (previous) previous();
      fmReference->TrainListChanged();
    };
  }

  // One filter for the whole application gives the console windows this window's keys. The
  // task dialog forwards its own; the reference window keeps its keys (Ctrl+C copies there).
  qApp->installEventFilter(this);
  RouteKeysOf(this);
  RouteKeysOf(fmController);
  RouteKeysOf(fmGID);
  RouteKeysOf(fmNGDP);
  RouteKeysOf(fmTrains);

  Timer = new QTimer(this);
  Timer->setInterval(kBaseTimerInterval);
  // A coarse timer may fire up to 5 % late, and at 62 ms that costs the fast levels their rate.
  Timer->setTimerType(Qt::PreciseTimer);
  connect(Timer, &QTimer::timeout, this, &TfmControlPanel::TimerTick);

  PlaceClock();
  lbMultiplier->setText(QString());
  QPalette multiplier = lbMultiplier->palette();
  multiplier.setColor(QPalette::WindowText, kMultiplierQColor);
  lbMultiplier->setPalette(multiplier);

  msgScenario = new QMessageBox(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle),
                                QString(), QMessageBox::Ok, this);
  msgScenario->setObjectName(QStringLiteral("msgScenario"));
  // The clock goes on while the note is shown.
  msgScenario->setWindowModality(Qt::NonModal);

  punctuality_ = std::make_unique<PunctualityRecorder>(sim_);
  SetUpShift();
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
  miRefPunctuality = item(references, "miRefPunctuality", QStringLiteral("по пунктуальности..."));
  miShiftScore = item(references, "miShiftScore", QStringLiteral("Итоги смены"));
  miRefJournal = item(references, "miRefJournal", QStringLiteral("Журнал станций"));
  QMenu* time = mmOptions->addMenu(QStringLiteral("Время"));
  miTime0 = item(time, "miTime0", QStringLiteral("Пауза"));
  miTime1 = item(time, "miTime1", QStringLiteral("Норма"));
  miTimeDouble = item(time, "miTimeDouble", QStringLiteral("Ускорить "));
  miDispatcher = mmOptions->addMenu(QStringLiteral("Диспетчер"));
  miDispatcher->setObjectName(QStringLiteral("miDispatcher"));
  miAutoDistrict =
      item(miDispatcher, "miAutoDistrict", QStringLiteral("Автоматическое управление участком"));
  miAutoDistrict->setCheckable(true);
  miScenario = item(miDispatcher, "miScenario", QStringLiteral("Сценарий..."));
  miFaults = item(miDispatcher, "miFaults", QStringLiteral("Неисправности..."));
  miPermits = item(miDispatcher, "miPermits", QStringLiteral("Разрешение на проследование..."));
  miConfiguration = item(nullptr, "miConfiguration", QStringLiteral("Настройки..."));
  miTakeControl = item(nullptr, "miTakeControl", QStringLiteral("Взять управление"));
  miTakeControl->setVisible(false);

  // Items the console has never had a command for.
  N1->setEnabled(false);
  N3->setEnabled(false);
  miLoadLast->setEnabled(false);  // enabled once a loader is set

  connect(miSave, &QAction::triggered, this, &TfmControlPanel::SaveClick);
  connect(miLoadLast, &QAction::triggered, this, &TfmControlPanel::LoadLastClick);
  connect(miTime0, &QAction::triggered, this, [this] { SetTimeScale(0); });
  connect(miTime1, &QAction::triggered, this, [this] { SetTimeScale(1); });
  connect(miTimeDouble, &QAction::triggered, this, &TfmControlPanel::TimeDoubleClick);
  connect(miGID, &QAction::triggered, this, &TfmControlPanel::GIDClick);
  connect(miNGDP, &QAction::triggered, this, &TfmControlPanel::NGDPClick);
  connect(miConfiguration, &QAction::triggered, this, &TfmControlPanel::ConfigurationClick);
  connect(miRefTrains, &QAction::triggered, this,
          [this] { ShowReport(static_cast<int>(ReportKind::Trains)); });
  connect(miRefApproaches, &QAction::triggered, this,
          [this] { ShowReport(static_cast<int>(ReportKind::Approaches)); });
  connect(miRefPassengerSchedule, &QAction::triggered, this,
          [this] { ShowReport(static_cast<int>(ReportKind::Timetable)); });
  connect(miRefTracks, &QAction::triggered, this,
          [this] { ShowReport(static_cast<int>(ReportKind::Tracks)); });
  connect(miRefPunctuality, &QAction::triggered, this, &TfmControlPanel::ShowPunctualityReport);
  connect(miRefJournal, &QAction::triggered, this, &TfmControlPanel::ShowJournal);
  // The item's check has already turned: checked means every station.
  connect(miAutoDistrict, &QAction::triggered, this, [this](bool on) { SetAutomatic(-1, on); });
  connect(miScenario, &QAction::triggered, this, &TfmControlPanel::ScenarioClick);
  connect(miFaults, &QAction::triggered, this, &TfmControlPanel::ShowFaults);
  connect(miPermits, &QAction::triggered, this, &TfmControlPanel::ShowPermits);
  connect(miShiftScore, &QAction::triggered, this, &TfmControlPanel::ShowShiftScore);
  connect(miTakeControl, &QAction::triggered, this, &TfmControlPanel::TakeControl);
  // The state lives in the last save: leaving writes nothing.
  connect(miExit, &QAction::triggered, this, &QWidget::close);

  pmStation = new QMenu(this);
  pmStation->setObjectName(QStringLiteral("pmStation"));
  miAutoStation = item(pmStation, "miAutoStation", QStringLiteral("Автоматическое управление"));
  miAutoStation->setCheckable(true);
  connect(miAutoStation, &QAction::triggered, this,
          [this](bool on) { SetAutomatic(stationMenuLP_, on); });
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

void TfmControlPanel::GIDClick() {
  if (sim_.Settings.GidEnabled) fmGID->ShowGraph();
}

void TfmControlPanel::NGDPClick() {
  fmNGDP->ShowGraph();
}

void TfmControlPanel::ConfigurationClick() {
  // Its key as well as its item: settings are not changed in a replay.
  if (Replaying()) return;
  const int level = sim_.TimeScaleLevel;
  SetTimeScale(0);
  const TSettings before = sim_.Settings;
  fmSettings->Execute();
  // Set again through the operation, so that a shift records every key that changed.
  const TSettings after = sim_.Settings;
  sim_.Settings = before;
  OperateSettings(sim_, after);
  if (after.ColorLampLPOff != before.ColorLampLPOff ||
      after.ColorLampLPLit != before.ColorLampLPLit ||
      after.ColorLampLPOffText != before.ColorLampLPOffText ||
      after.ColorLampLPLitText != before.ColorLampLPLitText)
    LampColoursChanged();
  SetTimeScale(level);
}

void TfmControlPanel::ShowReport(int kind) {
  fmReference->ShowReport(static_cast<ReportKind>(kind));
}

void TfmControlPanel::ToggleTrains() {
  if (fmTrains->isVisible()) {
    fmTrains->hide();
  } else {
    fmTrains->show();
    fmTrains->raise();
  }
}

void TfmControlPanel::DrawClock() {
  DrawClockFace(true);
}

void TfmControlPanel::DrawClockFace(bool show) {
  QPainter painter(&imClock->Image);
  DrawSegmentClock(painter, sim_.State.ClockTime, imClock->Image.size());
  painter.end();
  if (show) imClock->update();
}

void TfmControlPanel::DrawDate() {
  const bool monthAsDigits = calendarRandom_.Draw(100) < 99;
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
    RefreshLamps();
    if (sim_.Settings.GidEnabled) fmGID->Refresh();
    if (fmTrains->isVisible()) fmTrains->RefreshTrains();
    if (fmFaults->isVisible()) fmFaults->Refresh();
    if (fmPermits->isVisible()) fmPermits->Refresh();
    // The tick stands for its interval of real time: the desk's selection lasts as long at
    // every time scale.
    fmController->Tick(Timer->interval());
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "Unknown error";
  }
  if (failure) shift_->StepFailed(*failure);
  tickAttached_ = true;
  if (failure) {
    // Stop the clock first so that the box is shown once, not at every tick.
    SetTimeScale(0);
    ShowMessage(kApplicationTitle, *failure);
  }
}

void TfmControlPanel::RunSteps() {
  // The face is drawn after every step, but shown once a tick: at the fast levels the steps
  // of a tick follow each other within milliseconds, and each repaint of a window waits for
  // the display server.
  int step = 0;
  sim_.RunTick(
      [this, &step] {
        punctuality_->Observe();
        shift_->AfterStep();
        CheckReplayEnd();
        // A scenario's scale line may change the steps of this very tick.
        if (!clockHover_) DrawClockFace(++step >= sim_.StepsPerTick);
        QCoreApplication::processEvents();
      },
      [this] {
        PlayScenario();
        shift_->BeforeStep();
      });
}

void TfmControlPanel::wheelEvent(QWheelEvent* event) {
  ScrollPanel(event);
}

void TfmControlPanel::ScrollPanel(QWheelEvent* event) {
  QPoint delta = event->angleDelta();
  // Shift turns a plain wheel sideways: district panels are often wider than the screen.
  if ((event->modifiers() & Qt::ShiftModifier) && delta.x() == 0) delta = QPoint(delta.y(), 0);
  QScrollBar* vertical = sbPult->verticalScrollBar();
  if (delta.y() != 0 && vertical->isVisible()) vertical->setValue(vertical->value() - delta.y());
  QScrollBar* horizontal = sbPult->horizontalScrollBar();
  if (delta.x() != 0 && horizontal->isVisible())
    horizontal->setValue(horizontal->value() - delta.x());
  event->accept();
}

void TfmControlPanel::BuildPanel(const QImage& pult) {
  panel_ = std::make_unique<PanelPicture>(sim_.AreaData, sim_.Settings, panelView_);
  panel_->Build(pult, kWindowGreen);
  // The view keeps the picture; the panel paints into it only while refreshing.
  sbPult->Picture = QImage();
  sbPult->Picture.swap(panel_->Image);
  sbPult->Background = panel_->Background;
  sbPult->PictureChanged();
  QWidget* central = centralWidget();
  QPalette palette = central->palette();
  palette.setColor(QPalette::Window, panel_->Background);
  central->setPalette(palette);

  const QSize size = panel_->PanelSize();
  const QScreen* screen = this->screen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
  const PanelWindowSize s =
      PanelWindowSizeFor(size.width(), size.height(), available.width(), available.height());
  // The rule sizes the panel's part of the window; the header strip and the menu come on top,
  // so that the whole panel shows.
  const int extra = kHeaderHeight + menuBar()->sizeHint().height();
  setMinimumSize(s.MinWidth, s.MinHeight + extra);
  setMaximumSize(s.MaxWidth, s.MaxHeight + extra);
  resize(s.ClientWidth, s.ClientHeight + extra);
  PlaceClock();
  RefreshLamps();
}

bool TfmControlPanel::AttachRun(const std::filesystem::path& districtDir) {
  districtDir_ = districtDir;
  panelView_ = sim_.Settings.Resolution;
  fmController->Setup();
  const QImage pult(QString::fromStdString((districtDir_ / "Pult.bmp").string()));
  BuildPanel(pult);
  DrawClock();
  fmController->Tick(0);
  AutoLPsChanged();
  return !pult.isNull();
}

void TfmControlPanel::RefreshLamps() {
  if (!panel_ || sbPult->Picture.isNull()) return;
  // Swapped, not copied: a shared picture would be copied whole at the first lamp drawn.
  panel_->Image.swap(sbPult->Picture);
  // The faults' lamps are looked up only while some fault is in force; without, the marks go.
  std::optional<FaultLamps> faults;
  if (AnyFaults(sim_)) faults = FaultLampsOf(sim_);
  const std::vector<QRect> changed = panel_->RefreshLamps(
      sim_.State.Lamps, sim_.State.ClockTime, sim_.State.AutoLPs, faults ? &*faults : nullptr);
  panel_->Image.swap(sbPult->Picture);
  for (const QRect& r : changed) sbPult->Refresh(r);
}

void TfmControlPanel::LampColoursChanged() {
  PanelPicture::RepaintAllLamps(sim_.State.Lamps);
  RefreshLamps();
  fmController->RedrawLamps();
}

void TfmControlPanel::PanelClick(QPoint at, Qt::MouseButton button,
                                 Qt::KeyboardModifiers modifiers) {
  if (!panel_) return;
  const PanelPoint point{at.x(), at.y()};
  if (inspectionMode_) {
    const int lamp = FindLampAt(sim_.AreaData, panel_->View(), point);
    if (lamp > 0)
      setWindowTitle(savedCaption_ + QStringLiteral(" - debug: lamp № ") + QString::number(lamp));
  }
  if (button == Qt::RightButton) {
    const int lamp = FindLampAt(sim_.AreaData, panel_->View(), point);
    const int lp = lamp - 1;
    if (lamp > 0 && lp < static_cast<int>(sim_.AreaData.GraphFragms.size()) &&
        IsNameLamp(sim_.AreaData.GraphLamps[lamp], lamp)) {
      ShowStationMenu(lp, sbPult->viewport()->mapToGlobal(at - sbPult->Offset()));
      return;
    }
  }
  const int fragment = FindFragmentAt(sim_.AreaData, panel_->View(), point);
  if (fragment >= 0)
    fmController->SelectStation(fragment,
                                button == Qt::RightButton || (modifiers & Qt::ShiftModifier));
}

}  // namespace traklin
