// Mapping record values onto the settings dialog's items and back.
#include "settings/dialog_items.h"

#include <gtest/gtest.h>

namespace traklin {
namespace {

TEST(DialogItemsTest, DefaultRecordSelectsTheExpectedItems) {
  const TSettings defaults;
  EXPECT_EQ(kGidScaleItems[GidScaleIndex(defaults.ScalePercents)], "1:2");
  EXPECT_EQ(kPauseItems[PauseIndex(defaults.ReapplyPutRequestPauseMin)], "6 мин");
  EXPECT_EQ(kPauseItems[PauseIndex(defaults.ReapplySameRequestPauseMin)], "6 мин");
  EXPECT_EQ(kDeviationItems[DeviationIndex(defaults.RandomFreightsNumberDeviation)], " 0 %");
}

struct IndexRow {
  int stored;
  std::string_view item;
};

TEST(DialogItemsTest, ScaleSelectsFirstItemReachingThePercentElseTheLast) {
  const IndexRow rows[] = {{-3, "1:20"}, {5, "1:20"}, {6, "1:10"},  {40, "1:2"},
                           {50, "1:2"},  {51, "1:1"}, {500, "5:1"}, {501, "5:1"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.stored);
    EXPECT_EQ(kGidScaleItems[GidScaleIndex(r.stored)], r.item);
  }
}

TEST(DialogItemsTest, PauseSelectsFirstItemReachingTheMinutesElseTheLast) {
  const IndexRow rows[] = {{0, "2 мин"},   {2, "2 мин"},   {6, "6 мин"},   {7, "8 мин"},
                           {46, "60 мин"}, {60, "60 мин"}, {61, "60 мин"}, {1000, "60 мин"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.stored);
    EXPECT_EQ(kPauseItems[PauseIndex(r.stored)], r.item);
  }
}

TEST(DialogItemsTest, DeviationIndexIsTenthsKeptInsideTheList) {
  const IndexRow rows[] = {{-5, " 0 %"},  {0, " 0 %"},     {2, " 0 %"},    {10, " 10 %"},
                           {99, " 90 %"}, {100, " 100 %"}, {150, " 100 %"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.stored);
    EXPECT_EQ(kDeviationItems[DeviationIndex(r.stored)], r.item);
  }
}

TEST(DialogItemsTest, FreightCountAboveTenSelectsTen) {
  const IndexRow rows[] = {{-1, "0"}, {0, "0"}, {3, "3"}, {10, "10"}, {11, "10"}, {250, "10"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.stored);
    EXPECT_EQ(kFreightCountItems[FreightCountIndex(r.stored)], r.item);
  }
}

TEST(DialogItemsTest, ScaleItemsStandForTheirPercents) {
  const int percents[] = {5, 10, 20, 25, 50, 100, 200, 400, 500};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(GidScalePercentAt(i), percents[i]) << kGidScaleItems[i];
}

// Choosing an item and storing its value must select the same item again, so that OK
// without changes is stable.
TEST(DialogItemsTest, EveryItemSurvivesStoreAndReload) {
  for (int i = 0; i < static_cast<int>(kGidScaleItems.size()); ++i) {
    EXPECT_EQ(GidScaleIndex(*GidScalePercentAt(i)), i);
  }
  for (int i = 0; i < static_cast<int>(kPauseItems.size()); ++i) {
    EXPECT_EQ(PauseIndex(*PauseMinutesAt(i)), i);
  }
  for (int i = 0; i < static_cast<int>(kDeviationItems.size()); ++i) {
    EXPECT_EQ(DeviationIndex(*DeviationAt(i)), i);
  }
  for (int i = 0; i < static_cast<int>(kFreightCountItems.size()); ++i) {
    EXPECT_EQ(FreightCountIndex(*FreightCountAt(i)), i);
  }
}

TEST(DialogItemsTest, IndexOutsideTheListGivesNoValue) {
  for (int index : {-1, 100}) {
    EXPECT_EQ(GidScalePercentAt(index), std::nullopt);
    EXPECT_EQ(PauseMinutesAt(index), std::nullopt);
    EXPECT_EQ(DeviationAt(index), std::nullopt);
    EXPECT_EQ(FreightCountAt(index), std::nullopt);
  }
}

TEST(DialogItemsTest, ItemTextsAreParsedSafely) {
  EXPECT_EQ(GidScaleItemPercent("3:4"), 75);
  EXPECT_EQ(GidScaleItemPercent("1:0"), std::nullopt);
  EXPECT_EQ(GidScaleItemPercent("1:"), std::nullopt);
  EXPECT_EQ(GidScaleItemPercent("abc"), std::nullopt);
  EXPECT_EQ(ItemLeadingNumber("45 мин"), 45);
  EXPECT_EQ(ItemLeadingNumber(" 100 %"), 100);
  EXPECT_EQ(ItemLeadingNumber("мин"), std::nullopt);
  EXPECT_EQ(ItemLeadingNumber(""), std::nullopt);
}

TEST(DialogItemsTest, FreightRowControlNamesJoinThePoints) {
  const TRandomFreightData f{12, 3, 0};
  EXPECT_EQ(FreightLabelName(f), "lbFrom12To3");
  EXPECT_EQ(FreightComboName(f), "cbRndFFrom12To3");
}

}  // namespace
}  // namespace traklin
