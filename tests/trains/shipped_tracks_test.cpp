// Every timetable train of the shipped districts has a track to be formed on at its first
// station and a track to end on at its last, with routes to and from them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "area/area_queries.h"
#include "trains/shipped_district.h"
#include "trains/stops.h"

namespace traklin::test {
namespace {

bool HasThroats(const TAreaData& area, int lp) {
  for (const TGorlStanzData& g : area.GorlStanzs)
    if (g.Code == area.Puts[lp].Code && g.EntrySection > 0) return true;
  return false;
}

/// Track k of LP lp joins a throat of the LP by a chain of routes: leaving from it, or
/// arriving on it. An LP without throats is run from the desk and needs none.
bool JoinedToAThroat(const TAreaData& area, int lp, int k, bool leaving) {
  if (!HasThroats(area, lp)) return true;
  const int s = area.Puts[lp].Tracks[k].Section;
  for (const TGorlStanzData& g : area.GorlStanzs) {
    if (g.Code != area.Puts[lp].Code || g.EntrySection <= 0) continue;
    const int chain = leaving ? FindBestRoute(area, lp, s, g.EntrySection)
                              : FindBestRoute(area, lp, g.EntrySection, s);
    if (chain >= 0) return true;
  }
  return false;
}

/// Faults of train i: no track to be formed on, or none to end on.
std::vector<std::string> TrackFaults(Simulation& sim, int i) {
  const TAreaData& area = sim.AreaData;
  const TTrainData& t = sim.State.Trains[i];
  std::vector<std::string> faults;
  const std::string who = "train " + std::to_string(t.NUMBER);
  const int first = FindLPIndex(area, t.CREATION_LP_CODE);
  const int last = FindLPIndex(area, t.ARRIVAL_LP_CODE);
  if (first < 0 || last < 0) return {who + ": unknown first or last LP"};
  bool formed = false;
  for (int k = 0; k < area.Puts[first].TrackCount && !formed; ++k) {
    const int s = area.Puts[first].Tracks[k].Section;
    formed = TrackSuits(sim, first, k, i) && area.SlSects[s].Length >= t.LEN + 2 &&
             JoinedToAThroat(area, first, k, true);
  }
  if (!formed) faults.push_back(who + ": no track to be formed on at LP " + std::to_string(first));
  bool ends = false;
  for (int k = 0; k < area.Puts[last].TrackCount && !ends; ++k)
    ends = TrackSuits(sim, last, k, i) && JoinedToAThroat(area, last, k, false);
  if (!ends) faults.push_back(who + ": no track to end on at LP " + std::to_string(last));
  return faults;
}

class ShippedTimetables : public ::testing::TestWithParam<int> {};

TEST_P(ShippedTimetables, EveryTrainHasATrackToBeFormedOnAndOneToEndOn) {
  ShippedDistrict district(GetParam());
  Simulation& sim = district.Sim;
  const TAreaData& area = sim.AreaData;
  std::vector<std::string> faults;
  int checked = 0;
  for (const TCreationPlanData& plan : area.CreationPlans) {
    if (plan.Parent != 0) continue;  // formed from its parent, on the parent's track
    const int i = CreateTimetableTrain(sim, plan.Number);
    for (const std::string& f : TrackFaults(sim, i)) faults.push_back(f);
    sim.State.Trains.pop_back();
    ++checked;
  }
  EXPECT_GT(checked, 10);
  EXPECT_EQ(faults, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Districts, ShippedTimetables, ::testing::Values(1, 2));

}  // namespace
}  // namespace traklin::test
