// The instructor's faults dialog and the permissions dialog on a small line: the objects
// offered, a fault set and ended through the operations a shift records, a train standing
// before a false occupancy listed and let past, a refusal shown with its reason.
#include "console/fault_dialogs.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <string>
#include <vector>

#include "area/object_names.h"
#include "dispatch/fault_operations.h"
#include "qt_test_support.h"
#include "trains/fault_line.h"
#include "trains/fault_trains.h"
#include "trains/shipped_district.h"

namespace traklin::test {
namespace {

using testing_support::App;

/// The faults' line (sketched in fault_line.h): passenger 801 leaves Лесная for Горная at
/// 10:00 without stopping at Разъезд.
const std::string kLine = test::FaultLineDescription(test::kPassenger801);

/// The line from 09:30, Лесная and Горная worked by the automatic dispatcher; the lines of the
/// operations told as a shift's recorder hears them.
struct FaultDialogLine {
  FaultDialogLine() {
    App();
    line.SetClock(930);
    sim.State.AutoLPs.assign(sim.AreaData.Puts.size(), true);
    sim.State.AutoLPs[static_cast<std::size_t>(line.LP("Разъезд"))] = false;
    sim.OnOperation = [this](const std::string& l, const std::string& note) {
      recorded.push_back(note.empty() ? l : l + " # " + note);
    };
  }
  /// Picks the item of the combo box with that text; false when there is none.
  static bool Pick(QComboBox* box, const QString& text) {
    const int i = box->findText(text);
    if (i >= 0) box->setCurrentIndex(i);
    return i >= 0;
  }
  static std::vector<std::string> Items(const QListWidget* list) {
    std::vector<std::string> texts;
    for (int r = 0; r < list->count(); ++r) texts.push_back(list->item(r)->text().toStdString());
    return texts;
  }
  int Train(int number) const {
    for (int i = 0; i < static_cast<int>(sim.State.Trains.size()); ++i)
      if (sim.State.Trains[i].NUMBER == number && sim.State.Trains[i].HEAD.SECT_IDX > 0) return i;
    return -1;
  }

  ShippedDistrict line{kLine, 1};
  Simulation& sim = line.Sim;
  std::vector<std::string> recorded;
};

using Texts = std::vector<std::string>;

TEST(FaultsDialogTest, EveryKindOffersTheDistrictsOwnObjects) {
  FaultDialogLine f;
  TfmFaults dialog(f.sim);
  const struct {
    int kind;
    const char* some;
  } cases[] = {
      {2, "Перегон Лесная – Разъезд: 1:2"}, {2, "Разъезд: I"},     {3, "Разъезд: светофор Н"},
      {4, "Перегон 1 Лесная – Разъезд"},    {4, "Горная: путь 6"},
  };
  for (const auto& c : cases) {
    dialog.cbKind->setCurrentIndex(c.kind);
    EXPECT_GE(dialog.cbObject->findText(QString::fromUtf8(c.some)), 0) << c.some;
    EXPECT_EQ(dialog.seKmh->isEnabled(), c.kind == 4) << c.kind;
  }
  // The switches are named by their stations; the trains are those in the district now.
  dialog.cbKind->setCurrentIndex(1);
  EXPECT_GE(dialog.cbObject->count(), 2);
  EXPECT_TRUE(dialog.cbObject->itemText(0).startsWith(QStringLiteral("Лесная: стрелка № ")));
  dialog.cbKind->setCurrentIndex(0);
  EXPECT_EQ(dialog.cbObject->count(), 0);
  f.line.Steps(60 * 2 * 31);  // 801 is made up for its 10:00 departure
  dialog.Refresh();
  EXPECT_GE(dialog.cbObject->findText(QStringLiteral("Поезд № 801")), 0);
}

TEST(FaultsDialogTest, SetsAndEndsFaultsThroughTheOperationsThatAShiftRecords) {
  FaultDialogLine f;
  TfmFaults dialog(f.sim);
  int changed = 0;
  dialog.Changed = [&] { ++changed; };

  dialog.cbKind->setCurrentIndex(2);
  ASSERT_TRUE(f.Pick(dialog.cbObject, QStringLiteral("Перегон Лесная – Разъезд: 1:2")));
  dialog.edSpan->setText(QStringLiteral("20m"));
  dialog.btSet->click();
  ASSERT_EQ(f.sim.State.Faults.size(), 1u);
  EXPECT_EQ(dialog.lbResult->text(), QString());
  EXPECT_EQ(f.Items(dialog.lbActive),
            Texts{"Ложная занятость блок-участка 1:2 перегона Лесная – Разъезд (до 9:50)"});

  // A restriction takes its speed; a span the readers do not take is refused and shown.
  dialog.cbKind->setCurrentIndex(4);
  ASSERT_TRUE(f.Pick(dialog.cbObject, QStringLiteral("Перегон 2 Разъезд – Горная")));
  dialog.seKmh->setValue(25);
  dialog.edSpan->setText(QStringLiteral("soon"));
  dialog.btSet->click();
  EXPECT_EQ(dialog.lbResult->text().toStdString(),
            "Не выполнено: not a span (a number with s, m, h or d, or -): soon");
  EXPECT_EQ(f.sim.State.Faults.size(), 1u);
  dialog.edSpan->setText(QStringLiteral("-"));
  dialog.btSet->click();
  EXPECT_EQ(dialog.lbResult->text(), QString());
  EXPECT_EQ(f.Items(dialog.lbActive),
            (Texts{"Ложная занятость блок-участка 1:2 перегона Лесная – Разъезд (до 9:50)",
                   "Ограничение скорости 25 км/ч на перегоне Разъезд – Горная (до устранения)"}));

  dialog.lbActive->setCurrentRow(0);
  dialog.btClear->click();
  EXPECT_EQ(f.Items(dialog.lbActive),
            Texts{"Ограничение скорости 25 км/ч на перегоне Разъезд – Горная (до устранения)"});
  EXPECT_EQ(f.sim.State.Faults.size(), 1u);
  EXPECT_EQ(changed, 3);
  EXPECT_EQ(f.recorded,
            (Texts{"fault section 1:2 20m", "limit 2 25 -", "clear fault section 1:2"}));

  // A fault that ends by itself leaves the list at the next refresh.
  dialog.cbKind->setCurrentIndex(2);
  ASSERT_TRUE(f.Pick(dialog.cbObject, QStringLiteral("Перегон Лесная – Разъезд: 1:1")));
  dialog.edSpan->setText(QStringLiteral("1m"));
  dialog.btSet->click();
  EXPECT_EQ(dialog.lbActive->count(), 2);
  f.line.Steps(2 * 62);
  dialog.Refresh();
  EXPECT_EQ(dialog.lbActive->count(), 1);
  EXPECT_TRUE(dialog.btClear->isEnabled());
}

TEST(PermitsDialogTest, TrainBeforeAFalseOccupancyIsListedLetPastAndARefusalShowsItsReason) {
  FaultDialogLine f;
  ASSERT_EQ(OperateFault(f.sim, {2, FindBlockSection(f.sim.AreaData, "1:2"), -1}, "-"), "");
  TfmPermits dialog(f.sim);
  EXPECT_EQ(dialog.lbTrains->count(), 0);
  EXPECT_FALSE(dialog.btPermit->isEnabled());
  std::vector<std::string> refusals;
  int changed = 0;
  dialog.Refused = [&](const std::string& text) { refusals.push_back(text); };
  dialog.Changed = [&] { ++changed; };

  // The odd block signal at the end of 1:1 guards the falsely occupied 1:2.
  const int guard = f.sim.AreaData.SlSects[FindBlockSection(f.sim.AreaData, "1:1")].Semaphore[1];
  bool standing = false;
  for (int n = 0; n < 60 * 2 * 50 && !standing; ++n) {
    f.line.Steps(1);
    const int i = f.Train(801);
    standing = i >= 0 && ClosedSignalAhead(f.sim, i) == guard && f.sim.State.Trains[i].SPEED == 0;
  }
  ASSERT_TRUE(standing) << "801 never stood before the block signal";
  dialog.Refresh();
  EXPECT_EQ(f.Items(dialog.lbTrains),
            Texts{"Поезд № 801 у светофора 1:1 Н перегона Лесная – Разъезд"});
  ASSERT_TRUE(dialog.btPermit->isEnabled());

  // Nothing selected: nothing is asked.
  dialog.lbTrains->setCurrentRow(-1);
  dialog.btPermit->click();
  EXPECT_TRUE(f.recorded.size() == 1 && f.sim.State.Permits.empty());

  dialog.lbTrains->setCurrentRow(0);
  dialog.btPermit->click();
  EXPECT_EQ(f.sim.State.Permits.size(), 1u);
  EXPECT_EQ(changed, 1);
  EXPECT_TRUE(refusals.empty());
  EXPECT_EQ(f.recorded, (Texts{"fault section 1:2 -", "permit 801"}));

  // Ended, the fault no longer holds the signal: the train still stands before it until the
  // next step opens it, and a permission is refused with the reason.
  ASSERT_EQ(OperateClearFault(f.sim, {2, FindBlockSection(f.sim.AreaData, "1:2"), -1}), "");
  f.sim.State.Permits.clear();
  dialog.Refresh();
  ASSERT_EQ(dialog.lbTrains->count(), 1);
  dialog.lbTrains->setCurrentRow(0);
  dialog.btPermit->click();
  EXPECT_EQ(refusals,
            Texts{"Поезду № 801 не разрешено проследование: the signal is not held by a fault"});
  EXPECT_EQ(f.recorded.back().rfind("permit 801 # not done", 0), 0u) << f.recorded.back();
}

}  // namespace
}  // namespace traklin::test
