// The operational task dialog: tasks to a station's duty officer for one throat.
#include "console/op_task_dialog.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "area/area_queries.h"
#include "dispatch/operations.h"

namespace traklin {

TfmOpTask::TfmOpTask(DispatchData& sim, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), sim_(sim) {
  setObjectName(QStringLiteral("fmOpTask"));
  setFont(QFont(QStringLiteral("Tahoma"), 8));
  setFixedSize(730, 475);
  setModal(false);

  auto* deeds = new QGroupBox(QStringLiteral("Следует "), this);
  deeds->setGeometry(8, 8, 230, 230);
  for (std::size_t k = 0; k < kTaskDeeds.size(); ++k) {
    rbDeeds[k] = new QRadioButton(QString::fromUtf8(kTaskDeeds[k].Caption), deeds);
    rbDeeds[k]->setObjectName(QString::fromLatin1(kTaskDeeds[k].Name));
    rbDeeds[k]->setGeometry(16, 28 + 32 * static_cast<int>(k), 200, 21);
    connect(rbDeeds[k], &QRadioButton::clicked, this, &TfmOpTask::rbSelectDeedClick);
  }

  auto* tracks = new QGroupBox(QStringLiteral("Путь "), this);
  tracks->setGeometry(246, 8, 180, 459);
  for (int k = 0; k < 26; ++k) {
    const int column = k / 13, row = k % 13;
    rbTracks[k] = new QRadioButton(QString::number(row + 1), tracks);
    rbTracks[k]->setObjectName(QStringLiteral("rbTrack%1").arg(column * 100 + row));
    rbTracks[k]->setGeometry(column ? 100 : 32, 20 + 32 * row, 64, 21);
  }

  auto* inlets = new QGroupBox(QStringLiteral("Горловина "), this);
  inlets->setGeometry(434, 8, 288, 150);
  for (int k = 0; k < 4; ++k) {
    rbInlets[k] = new QRadioButton(inlets);
    rbInlets[k]->setObjectName(QStringLiteral("rbInlets%1").arg(k));
    rbInlets[k]->setGeometry(16, 24 + 30 * k, 260, 21);
    rbInlets[k]->hide();
  }

  auto* current = new QGroupBox(QStringLiteral("Текущее задание "), this);
  current->setGeometry(434, 166, 288, 250);
  lbTask = new QLabel(current);
  lbTask->setObjectName(QStringLiteral("lbTask"));
  lbTask->setGeometry(12, 20, 264, 222);
  lbTask->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lbTask->setWordWrap(true);

  btDo = new QPushButton(QStringLiteral("Выполнить"), this);
  btDo->setObjectName(QStringLiteral("btDo"));
  btDo->setGeometry(434, 432, 90, 27);
  btCancel = new QPushButton(QStringLiteral("Отменить текущее"), this);
  btCancel->setObjectName(QStringLiteral("btCancel"));
  btCancel->setGeometry(530, 432, 110, 27);
  btClose = new QPushButton(QStringLiteral("Закрыть"), this);
  btClose->setObjectName(QStringLiteral("btClose"));
  btClose->setGeometry(646, 432, 76, 27);
  connect(btDo, &QPushButton::clicked, this, &TfmOpTask::btDoClick);
  connect(btCancel, &QPushButton::clicked, this, &TfmOpTask::btCancelClick);
  connect(btClose, &QPushButton::clicked, this, &TfmOpTask::btCloseClick);
  slotTracks_.fill(-1);
}

void TfmOpTask::Open(int lp) {
  const TAreaData& area = sim_.AreaData;
  setWindowTitle(QString::fromStdString(TaskDialogCaption(area, lp)));
  const bool takes = StationTakesTasks(area, lp);
  btDo->setEnabled(takes);
  btCancel->setEnabled(takes);
  show();
  raise();
  slots_ = ThroatSlotsOf(area, lp);
  RefreshTasks();
  for (std::size_t k = 0; k < kTaskDeeds.size(); ++k)
    rbDeeds[k]->setEnabled(TaskDeedEnabled(slots_, kTaskDeeds[k]));
  for (const char* name : {"rbReceiveEven", "rbReceiveOdd", "rbSendEven", "rbSendOdd",
                           "rbTransitEven", "rbTransitOdd"}) {
    QRadioButton* deed = rbDeeds[TaskDeedIndex(name)];
    if (!deed->isEnabled()) continue;
    deed->setChecked(true);
    rbSelectDeedClick();
    return;
  }
  // No deed: nothing to choose, nothing to order.
  for (QRadioButton* slot : rbTracks) slot->hide();
  for (QRadioButton* inlet : rbInlets) inlet->hide();
  slotTracks_.fill(-1);
}

void TfmOpTask::rbSelectDeedClick() {
  int deedIndex = -1;
  for (std::size_t k = 0; k < rbDeeds.size(); ++k)
    if (rbDeeds[k]->isChecked()) deedIndex = static_cast<int>(k);
  if (deedIndex < 0) return;
  const TAreaData& area = sim_.AreaData;
  const TaskDeed& deed = kTaskDeeds[deedIndex];
  const std::vector<int> tracks = TaskDeedTracks(area, slots_.Lp, deed);
  const int preselected = PreselectedTaskTrack(area, slots_.Lp, deed, tracks);
  for (int k = 0; k < 26; ++k) {
    const int at = TaskTrackOfSlot(k, static_cast<int>(tracks.size()));
    slotTracks_[k] = at >= 0 ? tracks[at] : -1;
    rbTracks[k]->setVisible(at >= 0);
    rbTracks[k]->setText(at >= 0 ? QString::fromStdString(FormatTrackName(
                                       area.Puts[slots_.Lp].Tracks[tracks[at]].Number))
                                 : QString());
    if (at >= 0 && at == preselected) rbTracks[k]->setChecked(true);
  }
  const std::vector<std::string> captions = TaskDeedInlets(area, slots_, deed);
  for (int k = 0; k < 4; ++k) {
    const bool shown = k < static_cast<int>(captions.size());
    rbInlets[k]->setVisible(shown);
    rbInlets[k]->setText(shown ? QString::fromStdString(captions[k]) : QString());
  }
  if (!captions.empty()) rbInlets[0]->setChecked(true);
}

void TfmOpTask::btDoClick() {
  TaskChoice choice;
  for (const char* name : {"rbReceiveOdd", "rbReceiveEven", "rbSendEven", "rbSendOdd",
                           "rbTransitEven", "rbTransitOdd"}) {
    const int k = TaskDeedIndex(name);
    if (rbDeeds[k]->isEnabled() && rbDeeds[k]->isChecked()) {
      choice.Deed = k;
      break;
    }
  }
  if (choice.Deed < 0) return;
  for (int k = 25; k >= 0; --k) {
    if (rbTracks[k]->isVisibleTo(this) && rbTracks[k]->isChecked()) {
      choice.Track = slotTracks_[k];
      break;
    }
  }
  if (choice.Track < 0) return;
  for (int k = 3; k >= 0; --k) {
    if (rbInlets[k]->isVisibleTo(this) && rbInlets[k]->isEnabled() && rbInlets[k]->isChecked()) {
      choice.Inlet = k;
      break;
    }
  }
  // Through the operation, so that a shift records it; a refusal is told by the station there.
  if (!OperateTask(sim_, slots_.Lp, choice.Deed, choice.Track, choice.Inlet, true).empty()) return;
  RefreshTasks();
  hide();
}

void TfmOpTask::btCancelClick() {
  OperateCancelTask(sim_, slots_.Lp, -1, 0);
  RefreshTasks();
}

void TfmOpTask::btCloseClick() {
  hide();
}

void TfmOpTask::RefreshTasks() {
  lbTask->setText(QString::fromStdString(TaskListText(sim_, slots_)).replace("\r\n", "\n"));
}

void TfmOpTask::keyPressEvent(QKeyEvent* event) {
  if (ForwardKey) {
    ForwardKey(event);
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace traklin
