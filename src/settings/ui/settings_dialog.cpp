// The settings dialog "Настройки": preferences, difficulty and colours, written to Traklin.ini.
#include "settings/ui/settings_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>

#include "area/area_queries.h"
#include "settings/dialog_items.h"

namespace traklin {
namespace {

QColor ToQColor(TColor c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

TColor FromQColor(const QColor& c) {
  return static_cast<TColor>(c.red()) | static_cast<TColor>(c.green()) << 8 |
         static_cast<TColor>(c.blue()) << 16;
}

template <std::size_t N>
QComboBox* ItemBox(const char* name, const std::array<std::string_view, N>& items,
                   QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  for (std::string_view item : items)
    box->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
  return box;
}

QCheckBox* CheckBox(const char* name, const char* caption, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

}  // namespace

ColorBox::ColorBox(const QString& caption, QWidget* parent) : QPushButton(parent) {
  setMinimumWidth(48);
  setToolTip(caption);
  connect(this, &QPushButton::clicked, this, [this, caption] {
    const QColor picked = QColorDialog::getColor(ToQColor(color_), this, caption);
    if (picked.isValid()) SetColor(FromQColor(picked));
  });
  SetColor(0);
}

void ColorBox::SetColor(TColor color) {
  color_ = color & 0xFFFFFF;
  setStyleSheet(QStringLiteral("background-color: %1").arg(ToQColor(color_).name()));
}

TfmSettings::TfmSettings(TSettings& settings, std::filesystem::path file, QWidget* parent)
    : QDialog(parent), settings_(settings), file_(std::move(file)) {
  setObjectName(QStringLiteral("fmSettings"));
  setWindowTitle(QStringLiteral("Настройки"));
  setFont(QFont(QStringLiteral("Tahoma"), 8));

  auto* tabs = new QTabWidget(this);

  // General page: view, graph, messages, rings and the reference.
  auto* general = new QWidget;
  auto* g = new QVBoxLayout(general);
  cbGidEnable = CheckBox("cbGidEnable", "ГИД", general);
  cbShowAllBlockSect = CheckBox("cbShowAllBlockSect", "Показывать все блок-участки", general);
  cbScaleKMOnly = CheckBox("cbScaleKMOnly", "Масштабировать только перегоны ГИД", general);
  cbRestoreTimeScaleAfterMsgRequest =
      CheckBox("cbRestoreTimeScaleAfterMsgRequest", "Сохранять ускорение времени после запроса ДСП",
               general);
  cbRestoreTimeScaleAfterRingRequest =
      CheckBox("cbRestoreTimeScaleAfterRingRequest",
               "Сохранять ускорение времени после звонка без запросов", general);
  cbReqRings = CheckBox("cbReqRings", "Звонки запросов дежурных", general);
  cbMsgRings = CheckBox("cbMsgRings", "Звонки сообщений", general);
  cbTrainReferenceWithLog = CheckBox(
      "cbTrainReferenceWithLog", "Данные об исполненном движении в справке о составах", general);
  cbNotifiesFromControlled =
      CheckBox("cbNotifiesFromControlled", "Сообщения от управляемых разъездов", general);
  cbNotifiesFromPosts = CheckBox("cbNotifiesFromPosts", "Сообщения от постов", general);
  cbNotifiesOfUnplannedStops =
      CheckBox("cbNotifiesOfUnplannedStops", "Сообщения о внеплановых остановках", general);
  for (QCheckBox* box :
       {cbGidEnable, cbShowAllBlockSect, cbScaleKMOnly, cbRestoreTimeScaleAfterMsgRequest,
        cbRestoreTimeScaleAfterRingRequest, cbReqRings, cbMsgRings, cbTrainReferenceWithLog,
        cbNotifiesFromControlled, cbNotifiesFromPosts, cbNotifiesOfUnplannedStops})
    g->addWidget(box);

  auto* form = new QFormLayout;
  cbResolution = new QComboBox(general);
  cbResolution->setObjectName(QStringLiteral("cbResolution"));
  lbResolution = new QLabel(QStringLiteral("1x1"), general);
  lbResolution->setObjectName(QStringLiteral("lbResolution"));
  auto* resolution = new QHBoxLayout;
  resolution->addWidget(cbResolution);
  resolution->addWidget(lbResolution);
  resolution->addStretch();
  form->addRow(QStringLiteral("Вид"), resolution);
  cbGIDScale = ItemBox("cbGIDScale", kGidScaleItems, general);
  form->addRow(QStringLiteral("Масштаб ГИД/НГДП"), cbGIDScale);
  cbReapplyPutRequestPauseMin = ItemBox("cbReapplyPutRequestPauseMin", kPauseItems, general);
  form->addRow(QStringLiteral("На выставление"), cbReapplyPutRequestPauseMin);
  cbReapplySameRequestPauseMin = ItemBox("cbReapplySameRequestPauseMin", kPauseItems, general);
  form->addRow(QStringLiteral("Другие"), cbReapplySameRequestPauseMin);
  g->addLayout(form);
  g->addStretch();
  tabs->addTab(general, QStringLiteral("Общие"));

  // Difficulty page: dependant trains and the random freights.
  auto* level = new QWidget;
  auto* l = new QVBoxLayout(level);
  cbCreateDependantTrains = CheckBox(
      "cbCreateDependantTrains", "Создавать зависисмые поезда при отсутствии предыдущих", level);
  l->addWidget(cbCreateDependantTrains);
  auto* deviation = new QFormLayout;
  cbRandomFreightTrainsNumberDeviation =
      ItemBox("cbRandomFreightTrainsNumberDeviation", kDeviationItems, level);
  deviation->addRow(QStringLiteral("Разброс случайных грузовых за сутки"),
                    cbRandomFreightTrainsNumberDeviation);
  l->addLayout(deviation);
  sbFreights = new QScrollArea(level);
  sbFreights->setObjectName(QStringLiteral("sbFreights"));
  freightRows_ = new QWidget;
  freightRows_->resize(320, 10);
  sbFreights->setWidget(freightRows_);
  l->addWidget(sbFreights, 1);
  tabs->addTab(level, QStringLiteral("Сложность"));

  // Colours of the LP lamps.
  auto* colours = new QWidget;
  auto* c = new QFormLayout(colours);
  const auto colourRow = [&](const char* name, const char* caption) {
    auto* box = new ColorBox(QString::fromUtf8(caption), colours);
    box->setObjectName(QString::fromLatin1(name));
    c->addRow(QString::fromUtf8(caption), box);
    return box;
  };
  cbLampLPOff = colourRow("cbLampLPOff", "Цвет лампы ЛП \"откл.\"");
  cbLampLPLit = colourRow("cbLampLPLit", "Цвет лампы ЛП \"вкл.\"");
  cbLampLPOffText = colourRow("cbLampLPOffText", "Цвет текста лампы ЛП \"откл.\"");
  cbLampLPLitText = colourRow("cbLampLPLitText", "Цвет текста лампы ЛП \"вкл.\"");
  tabs->addTab(colours, QStringLiteral("Цвета"));

  btOK = new QPushButton(QStringLiteral("OK"), this);
  btOK->setObjectName(QStringLiteral("btOK"));
  btOK->setDefault(true);
  btCancel = new QPushButton(QStringLiteral("Отмена"), this);
  btCancel->setObjectName(QStringLiteral("btCancel"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btOK);
  buttons->addWidget(btCancel);
  auto* top = new QVBoxLayout(this);
  top->addWidget(tabs);
  top->addLayout(buttons);

  connect(btOK, &QPushButton::clicked, this, &TfmSettings::btOKClick);
  connect(btCancel, &QPushButton::clicked, this, &TfmSettings::btCancelClick);
  connect(cbResolution, &QComboBox::currentIndexChanged, this, &TfmSettings::cbResolutionChange);
  ShowWriteError = [this](const QString& text) {
    QMessageBox::critical(this, windowTitle(), text);
  };
  ControlsFromRecord();
}

void TfmSettings::SetDistrict(const TAreaData& area) {
  views_.clear();
  for (const TGraphVidData& v : area.GraphVids) views_.push_back({v.Values[0], v.Values[1]});
  cbResolution->blockSignals(true);
  cbResolution->clear();
  for (std::size_t i = 0; i < views_.size(); ++i) cbResolution->addItem(QString::number(i));
  cbResolution->blockSignals(false);

  for (QObject* child : freightRows_->children()) delete child;
  int row = 0;
  for (const TRandomFreightData& f : settings_.RandomFreights) {
    auto* label = new QLabel(QString::fromStdString(StationNamePart(area, f.From, 2) + " - " +
                                                    StationNamePart(area, f.To, 2)),
                             freightRows_);
    label->setObjectName(QString::fromStdString(FreightLabelName(f)));
    label->move(24, 14 + 32 * row);
    label->resize(215, 17);
    auto* box = ItemBox("", kFreightCountItems, freightRows_);
    box->setObjectName(QString::fromStdString(FreightComboName(f)));
    box->setGeometry(247, 11 + 32 * row, 50, 21);
    ++row;
  }
  freightRows_->resize(320, 14 + 32 * row);
  ControlsFromRecord();
}

QComboBox* TfmSettings::FreightCombo(const TRandomFreightData& freight) const {
  return freightRows_->findChild<QComboBox*>(QString::fromStdString(FreightComboName(freight)),
                                             Qt::FindDirectChildrenOnly);
}

void TfmSettings::ControlsFromRecord() {
  const TSettings& s = settings_;
  cbGidEnable->setChecked(s.GidEnabled);
  cbShowAllBlockSect->setChecked(s.ShowAllBlockSect);
  cbRestoreTimeScaleAfterMsgRequest->setChecked(s.RestoreTimeScaleAtMsg);
  cbRestoreTimeScaleAfterRingRequest->setChecked(s.RestoreTimeScaleAtRings);
  cbScaleKMOnly->setChecked(s.ScaleKmOnly);
  cbCreateDependantTrains->setChecked(s.CreateDependantTrains);
  cbReqRings->setChecked(s.RequestRings);
  cbMsgRings->setChecked(s.MessageRings);
  cbTrainReferenceWithLog->setChecked(s.TrainRefWithLog);
  cbNotifiesFromControlled->setChecked(s.NotifiesFromControlled);
  cbNotifiesFromPosts->setChecked(s.NotifiesFromPosts);
  cbNotifiesOfUnplannedStops->setChecked(s.NotifiesOfUnplannedStops);
  // An index outside the views shows no choice, and OK then keeps the stored index.
  cbResolution->setCurrentIndex(
      s.Resolution >= 0 && s.Resolution < cbResolution->count() ? s.Resolution : -1);
  cbResolutionChange();
  cbRandomFreightTrainsNumberDeviation->setCurrentIndex(
      DeviationIndex(s.RandomFreightsNumberDeviation));
  cbGIDScale->setCurrentIndex(GidScaleIndex(s.ScalePercents));
  for (const TRandomFreightData& f : s.RandomFreights) {
    if (QComboBox* box = FreightCombo(f)) box->setCurrentIndex(FreightCountIndex(f.Count));
  }
  cbReapplyPutRequestPauseMin->setCurrentIndex(PauseIndex(s.ReapplyPutRequestPauseMin));
  cbReapplySameRequestPauseMin->setCurrentIndex(PauseIndex(s.ReapplySameRequestPauseMin));
  cbLampLPOff->SetColor(s.ColorLampLPOff);
  cbLampLPLit->SetColor(s.ColorLampLPLit);
  cbLampLPOffText->SetColor(s.ColorLampLPOffText);
  cbLampLPLitText->SetColor(s.ColorLampLPLitText);
}

TSettings TfmSettings::RecordFromControls() const {
  TSettings s = settings_;
  s.GidEnabled = cbGidEnable->isChecked();
  s.ShowAllBlockSect = cbShowAllBlockSect->isChecked();
  s.RestoreTimeScaleAtMsg = cbRestoreTimeScaleAfterMsgRequest->isChecked();
  s.RestoreTimeScaleAtRings = cbRestoreTimeScaleAfterRingRequest->isChecked();
  s.ScaleKmOnly = cbScaleKMOnly->isChecked();
  s.CreateDependantTrains = cbCreateDependantTrains->isChecked();
  s.RequestRings = cbReqRings->isChecked();
  s.MessageRings = cbMsgRings->isChecked();
  s.TrainRefWithLog = cbTrainReferenceWithLog->isChecked();
  s.NotifiesFromControlled = cbNotifiesFromControlled->isChecked();
  s.NotifiesFromPosts = cbNotifiesFromPosts->isChecked();
  s.NotifiesOfUnplannedStops = cbNotifiesOfUnplannedStops->isChecked();
  if (cbResolution->currentIndex() >= 0) s.Resolution = cbResolution->currentIndex();
  s.ScalePercents = GidScalePercentAt(cbGIDScale->currentIndex()).value_or(s.ScalePercents);
  s.RandomFreightsNumberDeviation =
      DeviationAt(cbRandomFreightTrainsNumberDeviation->currentIndex())
          .value_or(s.RandomFreightsNumberDeviation);
  s.ReapplyPutRequestPauseMin = PauseMinutesAt(cbReapplyPutRequestPauseMin->currentIndex())
                                    .value_or(s.ReapplyPutRequestPauseMin);
  s.ReapplySameRequestPauseMin = PauseMinutesAt(cbReapplySameRequestPauseMin->currentIndex())
                                     .value_or(s.ReapplySameRequestPauseMin);
  s.RandomFreightsTotal = 0;
  for (TRandomFreightData& f : s.RandomFreights) {
    if (const QComboBox* box = FreightCombo(f))
      f.Count = FreightCountAt(box->currentIndex()).value_or(f.Count);
    s.RandomFreightsTotal += f.Count;
  }
  s.ColorLampLPOff = cbLampLPOff->Color();
  s.ColorLampLPLit = cbLampLPLit->Color();
  s.ColorLampLPOffText = cbLampLPOffText->Color();
  s.ColorLampLPLitText = cbLampLPLitText->Color();
  return s;
}

void TfmSettings::btOKClick() {
  const TSettings changed = RecordFromControls();
  try {
    WriteSettings(file_, changed);
  } catch (const std::exception& e) {
    // The record stays as it was and the dialog open, so that nothing looks saved.
    ShowWriteError(QStringLiteral("Настройки не сохранены:\n") + QString::fromUtf8(e.what()));
    return;
  }
  settings_ = changed;
  accept();
}

void TfmSettings::btCancelClick() {
  ControlsFromRecord();
  reject();
}

void TfmSettings::cbResolutionChange() {
  const int i = cbResolution->currentIndex();
  if (i >= 0 && i < static_cast<int>(views_.size()))
    lbResolution->setText(QStringLiteral("%1x%2").arg(views_[i][0]).arg(views_[i][1]));
}

int TfmSettings::Execute() {
  ControlsFromRecord();
  return exec();
}

}  // namespace traklin
