// The settings dialog: defaults without a file, what OK and Cancel write, a failed write.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <filesystem>
#include <fstream>

#include "console/qt_test_support.h"
#include "settings/ui/settings_dialog.h"

namespace traklin {
namespace {

using testing_support::App;

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    // CTest runs the cases in parallel: each has a directory of its own.
    dir = std::filesystem::path(::testing::TempDir()) /
          (std::string("settings_dialog_") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    file = dir / "config" / "Traklin.ini";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  TSettings ReadBack() const {
    TSettings read;
    ReadGeneralSettings(file, read, TSettingsReadMode::Strict);
    return read;
  }

  std::filesystem::path dir, file;
  TSettings settings;
};

TEST_F(SettingsDialogTest, WithoutAFileTheControlsShowTheDefaults) {
  ReadGeneralSettings(file, settings);
  TfmSettings dialog(settings, file);
  EXPECT_EQ(dialog.windowTitle(), "Настройки");
  EXPECT_EQ(dialog.cbGIDScale->currentText(), "1:2");
  EXPECT_EQ(dialog.cbReapplyPutRequestPauseMin->currentText(), "6 мин");
  EXPECT_EQ(dialog.cbReapplySameRequestPauseMin->currentText(), "6 мин");
  EXPECT_EQ(dialog.cbRandomFreightTrainsNumberDeviation->currentText(), " 0 %");
  const struct {
    QCheckBox* box;
    const char* caption;
    bool checked;
  } boxes[] = {
      {dialog.cbGidEnable, "ГИД", false},
      {dialog.cbShowAllBlockSect, "Показывать все блок-участки", false},
      {dialog.cbRestoreTimeScaleAfterMsgRequest, "Сохранять ускорение времени после запроса ДСП",
       false},
      {dialog.cbRestoreTimeScaleAfterRingRequest,
       "Сохранять ускорение времени после звонка без запросов", false},
      {dialog.cbScaleKMOnly, "Масштабировать только перегоны ГИД", true},
      {dialog.cbCreateDependantTrains, "Создавать зависисмые поезда при отсутствии предыдущих",
       false},
      {dialog.cbReqRings, "Звонки запросов дежурных", true},
      {dialog.cbMsgRings, "Звонки сообщений", true},
      {dialog.cbTrainReferenceWithLog, "Данные об исполненном движении в справке о составах",
       false},
      {dialog.cbNotifiesFromControlled, "Сообщения от управляемых разъездов", false},
      {dialog.cbNotifiesFromPosts, "Сообщения от постов", false},
      {dialog.cbNotifiesOfUnplannedStops, "Сообщения о внеплановых остановках", true},
  };
  for (const auto& b : boxes) {
    EXPECT_EQ(b.box->text(), QString::fromUtf8(b.caption));
    EXPECT_EQ(b.box->isChecked(), b.checked) << b.caption;
  }
  EXPECT_EQ(dialog.cbLampLPOff->Color(), 0x707070u);
  EXPECT_EQ(dialog.cbLampLPLit->Color(), 0x00FFFFu);
  EXPECT_EQ(dialog.cbLampLPOffText->Color(), 0u);
  EXPECT_EQ(dialog.lbResolution->text(), "1x1");
}

TEST_F(SettingsDialogTest, OkWritesTheChangedValuesAndTheRecordTakesThemAtOnce) {
  TfmSettings dialog(settings, file);
  dialog.cbGidEnable->setChecked(true);
  dialog.cbMsgRings->setChecked(false);
  dialog.cbReapplyPutRequestPauseMin->setCurrentText("12 мин");
  dialog.cbGIDScale->setCurrentText("4:1");
  dialog.cbRandomFreightTrainsNumberDeviation->setCurrentIndex(3);
  dialog.cbLampLPLitText->SetColor(0x123456);
  dialog.show();
  dialog.btOK->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  TSettings expected;
  expected.GidEnabled = true;
  expected.MessageRings = false;
  expected.ReapplyPutRequestPauseMin = 12;
  expected.ReapplySameRequestPauseMin = 6;
  expected.ScalePercents = 400;
  expected.RandomFreightsNumberDeviation = 30;
  expected.ColorLampLPLitText = 0x123456;
  const TSettings read = ReadBack();
  for (const TSettings* s : {&read, static_cast<const TSettings*>(&settings)}) {
    EXPECT_EQ(s->GidEnabled, expected.GidEnabled);
    EXPECT_EQ(s->MessageRings, expected.MessageRings);
    EXPECT_EQ(s->RequestRings, expected.RequestRings);
    EXPECT_EQ(s->ReapplyPutRequestPauseMin, expected.ReapplyPutRequestPauseMin);
    EXPECT_EQ(s->ReapplySameRequestPauseMin, expected.ReapplySameRequestPauseMin);
    EXPECT_EQ(s->ScalePercents, expected.ScalePercents);
    EXPECT_EQ(s->RandomFreightsNumberDeviation, expected.RandomFreightsNumberDeviation);
    EXPECT_EQ(s->ColorLampLPLitText, expected.ColorLampLPLitText);
    EXPECT_EQ(s->ColorLampLPOff, expected.ColorLampLPOff);
    EXPECT_EQ(s->ScaleKmOnly, expected.ScaleKmOnly);
  }
}

TEST_F(SettingsDialogTest, CancelWritesNothingAndForgetsTheEdits) {
  TfmSettings dialog(settings, file);
  dialog.cbGidEnable->setChecked(true);
  dialog.cbReapplySameRequestPauseMin->setCurrentText("60 мин");
  dialog.show();
  dialog.btCancel->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(settings.GidEnabled);
  EXPECT_FALSE(dialog.cbGidEnable->isChecked());
  EXPECT_EQ(dialog.cbReapplySameRequestPauseMin->currentText(), "6 мин");
}

TEST_F(SettingsDialogTest, AFailedWriteIsShownAndNeitherRecordNorDialogChange) {
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "config") << "a file where the directory should be";
  TfmSettings dialog(settings, file);
  QString shown;
  dialog.ShowWriteError = [&](const QString& text) { shown = text; };
  dialog.cbGidEnable->setChecked(true);
  dialog.show();
  dialog.btOK->click();
  EXPECT_TRUE(shown.startsWith("Настройки не сохранены:\n")) << shown.toStdString();
  EXPECT_FALSE(settings.GidEnabled);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(dialog.cbGidEnable->isChecked());
}

TEST_F(SettingsDialogTest, FreightRowsAndViewsComeFromTheDistrict) {
  TAreaData area;
  area.Stations = {{"-", 0}, {"Ясная", 1}, {"Кална", 2}};
  area.GraphVids.resize(2);
  area.GraphVids[1].Values[0] = 1280;
  area.GraphVids[1].Values[1] = 1024;
  settings.RandomFreights = {{1, 2, 12}, {2, 3, 4}};
  settings.Resolution = 1;
  TfmSettings dialog(settings, file);
  dialog.SetDistrict(area);
  EXPECT_EQ(dialog.cbResolution->count(), 2);
  EXPECT_EQ(dialog.lbResolution->text(), "1280x1024");
  auto* label = dialog.findChild<QLabel*>("lbFrom1To2");
  auto* count = dialog.findChild<QComboBox*>("cbRndFFrom1To2");
  ASSERT_NE(label, nullptr);
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(label->text(), "Ясная - Кална");
  EXPECT_EQ(label->pos(), QPoint(24, 14));
  EXPECT_EQ(count->currentText(), "10");  // a stored 12 shows the last item
  auto* second = dialog.findChild<QComboBox*>("cbRndFFrom2To3");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->geometry(), QRect(247, 43, 50, 21));
  second->setCurrentText("7");
  dialog.show();
  dialog.btOK->click();
  EXPECT_EQ(settings.RandomFreights[0].Count, 10);
  EXPECT_EQ(settings.RandomFreights[1].Count, 7);
  EXPECT_EQ(settings.RandomFreightsTotal, 17);
  EXPECT_EQ(ReadBack().Resolution, 1);
}

TEST_F(SettingsDialogTest, WithNoViewsTheStoredViewIndexIsKept) {
  settings.Resolution = 3;
  TfmSettings dialog(settings, file);
  dialog.SetDistrict(TAreaData{});
  dialog.show();
  dialog.btOK->click();
  EXPECT_EQ(settings.Resolution, 3);
  EXPECT_EQ(ReadBack().Resolution, 3);
}

}  // namespace
}  // namespace traklin
