// The instructor's faults dialog and the dispatcher's permissions dialog.
#include "console/fault_dialogs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "area/area_queries.h"
#include "area/object_names.h"
#include "dispatch/fault_operations.h"
#include "state/faults.h"
#include "trains/fault_trains.h"

namespace traklin {
namespace {

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

/// Puts the texts into the list when they differ from what it shows, keeping the selected row
/// on the same text where it still is.
void ShowItems(QListWidget* list, const QStringList& texts) {
  QStringList shown;
  for (int r = 0; r < list->count(); ++r) shown << list->item(r)->text();
  if (shown == texts) return;
  const QString selected = list->currentItem() != nullptr ? list->currentItem()->text() : QString();
  list->clear();
  list->addItems(texts);
  const int row = texts.indexOf(selected);
  if (row >= 0) list->setCurrentRow(row);
}

TFaultData Object(FaultKind kind, int object, int lp) {
  TFaultData f;
  f.KIND = static_cast<std::uint8_t>(kind);
  f.OBJECT = object;
  f.LP = lp;
  return f;
}

const char* const kKindCaptions[kFaultKinds] = {"Неисправность локомотива",
                                                "Стрелка не переводится", "Ложная занятость",
                                                "Светофор не открывается", "Ограничение скорости"};

}  // namespace

std::vector<FaultChoice> FaultChoices(const SimulationData& sim, FaultKind kind) {
  const TAreaData& area = sim.AreaData;
  std::vector<FaultChoice> list;
  const int stations = static_cast<int>(area.Puts.size());
  const int peregons = static_cast<int>(area.GraphPeregons.size());
  switch (kind) {
    case FaultKind::Train:
      for (const TTrainData& t : sim.State.Trains)
        if (t.NUMBER > 0)
          list.push_back({Object(kind, t.NUMBER, -1), "Поезд № " + std::to_string(t.NUMBER)});
      break;
    case FaultKind::Switch:
      for (int lp = 0; lp < stations; ++lp)
        for (int w : StationSwitches(area, lp))
          list.push_back(
              {Object(kind, w, lp), StationTitle(area, lp) + ": стрелка № " + std::to_string(w)});
      break;
    case FaultKind::Section:
      for (int lp = 0; lp < stations; ++lp)
        for (int s : StationSections(area, lp))
          list.push_back(
              {Object(kind, s, lp), StationTitle(area, lp) + ": " + SectionName(area, s)});
      for (int p = 0; p < peregons; ++p)
        for (int s : PeregonSections(area, p))
          list.push_back({Object(kind, s, -1),
                          "Перегон " + PeregonTitle(area, p) + ": " + SectionName(area, s)});
      break;
    case FaultKind::Signal:
      for (int lp = 0; lp < stations; ++lp)
        for (int g : StationSignals(area, lp))
          list.push_back(
              {Object(kind, g, lp), StationTitle(area, lp) + ": светофор " + SignalName(area, g)});
      break;
    case FaultKind::Limit:
      for (int p = 0; p < peregons; ++p)
        list.push_back({Object(kind, p, -1),
                        "Перегон " + std::to_string(p + 1) + " " + PeregonTitle(area, p)});
      for (int lp = 0; lp < stations; ++lp)
        for (int k = 0; k < static_cast<int>(area.Puts[lp].Tracks.size()); ++k)
          list.push_back(
              {Object(kind, k, lp), StationTitle(area, lp) + ": путь " +
                                        FormatTrackName(area.Puts[lp].Tracks[k].Number)});
      break;
  }
  // An object the fault readers would not take (a stray track record) is not offered.
  std::erase_if(list, [&area](const FaultChoice& c) { return !FaultFitsDistrict(area, c.Object); });
  return list;
}

// ---------------------------------------------------------------------------

TfmFaults::TfmFaults(DispatchData& sim, QWidget* parent) : QDialog(parent), sim_(sim) {
  setObjectName(QStringLiteral("fmFaults"));
  setWindowTitle(QStringLiteral("Неисправности"));
  setModal(false);
  cbKind = new QComboBox(this);
  cbKind->setObjectName(QStringLiteral("cbKind"));
  for (const char* caption : kKindCaptions) cbKind->addItem(Utf8(caption));
  cbObject = new QComboBox(this);
  cbObject->setObjectName(QStringLiteral("cbObject"));
  cbObject->setMinimumContentsLength(32);
  edSpan = new QLineEdit(QStringLiteral("-"), this);
  edSpan->setObjectName(QStringLiteral("edSpan"));
  edSpan->setToolTip(QStringLiteral("30m, 2h, 1d; «-» до устранения"));
  seKmh = new QSpinBox(this);
  seKmh->setObjectName(QStringLiteral("seKmh"));
  seKmh->setRange(1, 500);
  seKmh->setValue(40);
  seKmh->setSuffix(QStringLiteral(" км/ч"));
  btSet = new QPushButton(QStringLiteral("Установить"), this);
  btSet->setObjectName(QStringLiteral("btSet"));
  lbResult = new QLabel(this);
  lbResult->setObjectName(QStringLiteral("lbResult"));
  lbActive = new QListWidget(this);
  lbActive->setObjectName(QStringLiteral("lbActive"));
  btClear = new QPushButton(QStringLiteral("Устранить"), this);
  btClear->setObjectName(QStringLiteral("btClear"));

  auto* form = new QGridLayout;
  form->addWidget(new QLabel(QStringLiteral("Вид:"), this), 0, 0);
  form->addWidget(cbKind, 0, 1, 1, 3);
  form->addWidget(new QLabel(QStringLiteral("Объект:"), this), 1, 0);
  form->addWidget(cbObject, 1, 1, 1, 3);
  form->addWidget(new QLabel(QStringLiteral("Срок:"), this), 2, 0);
  form->addWidget(edSpan, 2, 1);
  form->addWidget(seKmh, 2, 2);
  form->addWidget(btSet, 2, 3);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(lbResult);
  layout->addWidget(new QLabel(QStringLiteral("Действующие неисправности:"), this));
  layout->addWidget(lbActive);
  layout->addWidget(btClear, 0, Qt::AlignRight);

  connect(cbKind, &QComboBox::currentIndexChanged, this, [this] { KindChanged(); });
  connect(btSet, &QPushButton::clicked, this, &TfmFaults::SetClicked);
  connect(btClear, &QPushButton::clicked, this, &TfmFaults::ClearClicked);
  KindChanged();
}

void TfmFaults::KindChanged() {
  const auto kind = static_cast<FaultKind>(std::max(0, cbKind->currentIndex()));
  seKmh->setEnabled(kind == FaultKind::Limit);
  cbObject->clear();
  Refresh();
}

void TfmFaults::Refresh() {
  const auto kind = static_cast<FaultKind>(std::max(0, cbKind->currentIndex()));
  // Built anew each time (trains come and go, a replay brings its own district); the box is
  // refilled only when its texts change, so that the choice stays.
  std::vector<FaultChoice> choices = FaultChoices(sim_, kind);
  QStringList captions;
  for (const FaultChoice& c : choices) captions << Utf8(c.Caption);
  QStringList shown;
  for (int i = 0; i < cbObject->count(); ++i) shown << cbObject->itemText(i);
  if (captions != shown) {
    const QString selected = cbObject->currentText();
    cbObject->clear();
    cbObject->addItems(captions);
    cbObject->setCurrentIndex(std::max(0, static_cast<int>(captions.indexOf(selected))));
  }
  choices_ = std::move(choices);
  active_.clear();
  QStringList lines;
  for (const ActiveFault& a : ActiveFaults(sim_)) {
    active_.push_back(a.Fault);
    // The clock's text is padded to its width (" 9:50").
    const QString until = a.Fault.UNTIL > 0 ? QStringLiteral("до ") +
                                                  Utf8(FormatClock(false, a.Fault.UNTIL)).trimmed()
                                            : QStringLiteral("до устранения");
    lines << Utf8(a.Description) + QStringLiteral(" (") + until + QStringLiteral(")");
  }
  ShowItems(lbActive, lines);
  btClear->setEnabled(!active_.empty());
}

void TfmFaults::SetClicked() {
  const int i = cbObject->currentIndex();
  if (i < 0 || i >= static_cast<int>(choices_.size())) return;
  TFaultData fault = choices_[static_cast<std::size_t>(i)].Object;
  if (static_cast<FaultKind>(fault.KIND) == FaultKind::Limit) fault.KMH = seKmh->value();
  Done(OperateFault(sim_, fault, edSpan->text().trimmed().toStdString()));
}

void TfmFaults::ClearClicked() {
  const int row = lbActive->currentRow();
  if (row < 0 || row >= static_cast<int>(active_.size())) return;
  Done(OperateClearFault(sim_, active_[static_cast<std::size_t>(row)]));
}

void TfmFaults::Done(const std::string& refusal) {
  lbResult->setText(refusal.empty() ? QString() : QStringLiteral("Не выполнено: ") + Utf8(refusal));
  Refresh();
  if (refusal.empty() && Changed) Changed();
}

// ---------------------------------------------------------------------------

TfmPermits::TfmPermits(DispatchData& sim, QWidget* parent) : QDialog(parent), sim_(sim) {
  setObjectName(QStringLiteral("fmPermits"));
  setWindowTitle(QStringLiteral("Разрешение на проследование"));
  setModal(false);
  lbTrains = new QListWidget(this);
  lbTrains->setObjectName(QStringLiteral("lbTrains"));
  lbTrains->setMinimumWidth(420);
  btPermit = new QPushButton(QStringLiteral("Разрешить"), this);
  btPermit->setObjectName(QStringLiteral("btPermit"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Поезда у закрытых светофоров:"), this));
  layout->addWidget(lbTrains);
  layout->addWidget(btPermit, 0, Qt::AlignRight);
  connect(btPermit, &QPushButton::clicked, this, &TfmPermits::PermitClicked);
  Refresh();
}

void TfmPermits::Refresh() {
  numbers_.clear();
  QStringList lines;
  for (const HeldTrain& h : TrainsBeforeClosedSignals(sim_)) {
    numbers_.push_back(sim_.State.Trains[static_cast<std::size_t>(h.Train)].NUMBER);
    lines << Utf8(h.Place);
  }
  ShowItems(lbTrains, lines);
  btPermit->setEnabled(!numbers_.empty());
}

void TfmPermits::PermitClicked() {
  const int row = lbTrains->currentRow();
  if (row < 0 || row >= static_cast<int>(numbers_.size())) return;
  const int number = numbers_[static_cast<std::size_t>(row)];
  const std::string refusal = OperatePermit(sim_, number);
  Refresh();
  if (!refusal.empty()) {
    if (Refused)
      Refused("Поезду № " + std::to_string(number) + " не разрешено проследование: " + refusal);
  } else if (Changed) {
    Changed();
  }
}

}  // namespace traklin
