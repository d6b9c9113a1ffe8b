// Mapping record values onto the settings dialog's items and back.
#include "settings/dialog_items.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace traklin {
namespace {

/// Each stored value selects the given item of the list.
template <std::size_t N>
void ExpectSelected(const std::array<std::string_view, N>& items, int (*index)(int),
                    std::vector<std::pair<int, std::string_view>> rows) {
  for (const auto& [stored, item] : rows) EXPECT_EQ(items[index(stored)], item) << stored;
}

/// Storing the value of every item selects that item again (OK without changes is stable);
/// an index outside the list gives no value.
template <std::size_t N>
void ExpectStable(const std::array<std::string_view, N>& items, int (*index)(int),
                  std::optional<int> (*valueAt)(int)) {
  for (int i = 0; i < static_cast<int>(N); ++i) EXPECT_EQ(index(*valueAt(i)), i) << items[i];
  EXPECT_EQ(valueAt(-1), std::nullopt);
  EXPECT_EQ(valueAt(static_cast<int>(N)), std::nullopt);
}

TEST(DialogItemsTest, StoredValueSelectsTheFirstItemReachingItElseTheLast) {
  // clang-format off
  ExpectSelected(kGidScaleItems, GidScaleIndex, {{-3, "1:20"}, {5, "1:20"}, {6, "1:10"},
                 {40, "1:2"}, {50, "1:2"}, {51, "1:1"}, {500, "5:1"}, {501, "5:1"}});
  ExpectSelected(kPauseItems, PauseIndex, {{0, "2 мин"}, {2, "2 мин"}, {6, "6 мин"},
                 {7, "8 мин"}, {46, "60 мин"}, {60, "60 мин"}, {1000, "60 мин"}});
  // The deviation selects its tenth, kept inside the list.
  ExpectSelected(kDeviationItems, DeviationIndex, {{-5, " 0 %"}, {2, " 0 %"}, {10, " 10 %"},
                 {99, " 90 %"}, {100, " 100 %"}, {150, " 100 %"}});
  ExpectSelected(kFreightCountItems, FreightCountIndex, {{-1, "0"}, {0, "0"}, {3, "3"},
                 {10, "10"}, {11, "10"}, {250, "10"}});
  // clang-format on
}

TEST(DialogItemsTest, EveryItemSurvivesStoreAndReload) {
  std::vector<int> percents;
  for (int i = 0; i < static_cast<int>(kGidScaleItems.size()); ++i)
    percents.push_back(*GidScalePercentAt(i));
  EXPECT_EQ(percents, (std::vector<int>{5, 10, 20, 25, 50, 100, 200, 400, 500}));
  ExpectStable(kGidScaleItems, GidScaleIndex, GidScalePercentAt);
  ExpectStable(kPauseItems, PauseIndex, PauseMinutesAt);
  ExpectStable(kDeviationItems, DeviationIndex, DeviationAt);
  ExpectStable(kFreightCountItems, FreightCountIndex, FreightCountAt);
}

TEST(DialogItemsTest, FreightRowControlNamesJoinThePoints) {
  const TRandomFreightData f{12, 3, 0};
  EXPECT_EQ(FreightLabelName(f), "lbFrom12To3");
  EXPECT_EQ(FreightComboName(f), "cbRndFFrom12To3");
}

}  // namespace
}  // namespace traklin
