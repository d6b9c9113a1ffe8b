// A timetable passenger train on the shipped demo district, from its forming station to its
// destination, under the interlocking and the whole simulation step. The duty officers and
// the dispatcher set its routes the way they would.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "state/interlocking.h"
#include "trains/shipped_district.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

/// One stop as the test saw it.
struct Stop {
  int LP = -1;
  int Section = 0;
  TDateTime Arrived = 0;
  TDateTime Departed = 0;
  double Short = 0;  ///< metres the head stopped short of the centred position
};

int StationOfTrack(const TAreaData& area, int s) {
  int lp = -1;
  return s > 0 && FindTrackOfSection(area, lp, s, false) >= 0 ? lp : -1;
}

/// The report time as the station gives it: the minute, a space before one digit, " мин.".
std::string Minutes(TDateTime t) {
  const int m = DecodeTime(t).Minute;
  return (m < 10 ? " " : "") + std::to_string(m) + " мин.";
}

class DemoTrip : public ::testing::Test {
 protected:
  DemoTrip() : demo(1, 5) {}

  /// The dispatcher presses the start and the end button of route r of controlled LP lp.
  void PressRoute(int lp, int r) {
    const TTrainRouteData& route = sim().AreaData.TrainRoutes[lp].Routes[r];
    const int found = FindRoute(sim().AreaData, lp, route.StartKind, route.StartPosition,
                                route.EndKind, route.EndPosition);
    ASSERT_EQ(found, r);
    ASSERT_TRUE(OrderRoute(sim(), lp, found));
  }

  /// Route of controlled LP lp from section `from` in direction dir whose end satisfies `end`.
  template <class End>
  int ControlledRoute(int lp, int from, int dir, End end) {
    const auto& routes = sim().AreaData.TrainRoutes[lp].Routes;
    for (int r = 0; r < static_cast<int>(routes.size()); ++r)
      if (routes[r].FirstSection == from && RouteDirection(routes[r]) == dir &&
          end(routes[r].LastSection))
        return r;
    return -1;
  }

  /// Sets the train's way on from the station it stands at to a track of the next one.
  void OrderOnwards(int i, int lp) {
    Simulation& s = sim();
    const TAreaData& area = s.AreaData;
    const TTrainData& t = s.State.Trains[i];
    const int dir = t.HEAD.DIR;
    const int head = t.HEAD.SECT_IDX;
    int peregon = -1;
    if (LPIsControlled(area, lp)) {
      const int r = ControlledRoute(
          lp, head, dir, [&](int last) { return FindGraphPeregonByEnd(area, last, dir ^ 1) >= 0; });
      ASSERT_GE(r, 0) << "no exit route at LP " << lp;
      PressRoute(lp, r);
      peregon = FindGraphPeregonByEnd(area, area.TrainRoutes[lp].Routes[r].LastSection, dir ^ 1);
    } else {
      const int throat = DepartureThroat(s, i, lp);
      ASSERT_GE(throat, 0) << "no throat towards the next stop at LP " << lp;
      ASSERT_GE(OrderBestChain(s, lp, head, area.GorlStanzs[throat].EntrySection), 0);
      peregon = area.GorlStanzs[throat].Peregon - 1;
    }
    ASSERT_GE(peregon, 0);
    const int next = FindLPIndex(area, s.State.Trains[i].NEXT_LP_CODE);
    ASSERT_GE(next, 0);
    const int entry = area.GraphPeregons[peregon].EndSection[dir];
    if (LPIsControlled(area, next)) {
      const int r = ControlledRoute(next, entry, dir, [&](int last) {
        int l = next;
        const int k = FindTrackOfSection(area, l, last, true);
        return k >= 0 && TrackSuits(s, next, k, i);
      });
      ASSERT_GE(r, 0) << "no entry route at LP " << next;
      PressRoute(next, r);
    } else {
      const int throat = ThroatOnPeregon(s, next, peregon + 1);
      ASSERT_GE(throat, 0);
      ASSERT_EQ(area.GorlStanzs[throat].EntrySection, entry);
      const int k = BestArrivalTrack(s, i, next, entry);
      ASSERT_GE(k, 0) << "no track for the train at LP " << next;
      ASSERT_GE(OrderBestChain(s, next, entry, area.Puts[next].Tracks[k].Section), 0);
    }
  }

  /// Runs until the train is gone (at most `limit` steps), setting its routes at each stop.
  void Run(int i, int limit) {
    const TAreaData& area = sim().AreaData;
    std::set<int> ordered;
    for (int n = 0; n < limit && !sim().State.Trains.empty(); ++n) {
      const TTrainData& t = sim().State.Trains[i];
      const int lp = StationOfTrack(area, t.HEAD.SECT_IDX);
      const bool standing = t.SPEED == 0 && t.DEPARTURE_TIME != 0;
      if (standing && lp >= 0 && (stops.empty() || stops.back().LP != lp)) {
        Stop stop;
        stop.LP = lp;
        stop.Section = t.HEAD.SECT_IDX;
        stop.Arrived = sim().State.ClockTime;
        const int length = area.SlSects[stop.Section].Length;
        const int room = RoomToSectionEnd(sim(), stop.Section, t.HEAD.SECT_POS, t.HEAD.DIR);
        stop.Short = room - (length - t.LEN) / 2.0;
        stops.push_back(stop);
      }
      if (!stops.empty() && stops.back().Departed == 0 && t.SPEED > 0)
        stops.back().Departed = sim().State.ClockTime;
      if (standing && lp >= 0 && t.NEXT_LP_CODE != 0 && t.HEAD.LP_CODE != t.ARRIVAL_LP_CODE &&
          ordered.insert(lp).second) {
        OrderOnwards(i, lp);
        if (HasFatalFailure()) return;
      }
      demo.Steps(1);
    }
  }

  Simulation& sim() { return demo.Sim; }

  ShippedDistrict demo;
  std::vector<Stop> stops;
};

TEST_F(DemoTrip, PassengerTrainRunsStopsCentredDwellsAndIsDisbandedAtItsDestination) {
  Simulation& s = sim();
  const TAreaData& area = s.AreaData;
  s.Settings.NotifiesFromControlled = true;
  s.Settings.NotifiesFromPosts = true;

  // Train 803 is formed at Заречье at 11:55 and made up by 12:00; it leaves at 12:15.
  demo.SetClock(1155);
  const int i = CreateTimetableTrain(s, 803);
  const int zar = demo.LP("Заречье");
  ASSERT_EQ(s.State.Trains[i].CREATION_LP_CODE, area.Puts[zar].Code);
  ASSERT_EQ(s.State.Trains[i].HEAD.DIR, 1);
  int track = -1;
  for (int k = 0; k < area.Puts[zar].TrackCount && track < 0; ++k)
    if (TrackSuits(s, zar, k, i)) track = k;
  ASSERT_GE(track, 0);
  demo.SetClock(1200);
  PutOut(s, i, zar, track);
  Run(i, 8000);

  ASSERT_TRUE(s.State.Trains.empty()) << "the train is still in the district";
  EXPECT_EQ(demo.Faults(), std::vector<std::string>{});

  // It stopped at every station of its timetable, centred on the track, and never left
  // before its time.
  const std::vector<std::string> names = {"Заречье", "Берёзовка", "Сосновка", "Озёрная", "Дубки"};
  const std::vector<int> departures = {1215, 1222, 1228, 1237};
  ASSERT_EQ(stops.size(), names.size());
  for (std::size_t k = 0; k < names.size(); ++k) {
    SCOPED_TRACE(names[k]);
    EXPECT_EQ(stops[k].LP, demo.LP(names[k]));
    if (k > 0) {
      // Centred, less the 20 m margin every stopping restriction of the braking curve keeps.
      EXPECT_NEAR(stops[k].Short, 20.0, 3.0) << "not centred";
    }
    if (k < departures.size()) {
      const TDateTime planned = std::floor(stops[k].Arrived) + TimeFromHHMM(departures[k]);
      EXPECT_GE(stops[k].Departed, planned);
      EXPECT_GE(stops[k].Departed - stops[k].Arrived, 1.0 / 1440) << "dwelt less than a minute";
      EXPECT_LT(stops[k].Departed - planned, 2.0 / 1440) << "left more than 2 minutes late";
    }
  }

  // The duty officers' reports, in order.
  std::vector<std::string> expected;
  std::vector<std::string> captions;
  for (std::size_t k = 0; k < stops.size(); ++k) {
    const std::string caption = "ДСП " + area.LPMnemNames[stops[k].LP];
    if (k > 0) {
      expected.push_back("Поезд № 803 прибыл в " + Minutes(stops[k].Arrived));
      captions.push_back(caption);
    }
    if (k + 1 < stops.size()) {
      expected.push_back("Поезд № 803 отправился в " + Minutes(stops[k].Departed));
      captions.push_back(caption);
    }
  }
  std::vector<std::string> texts;
  std::vector<std::string> shownCaptions;
  for (const auto& box : demo.Console.Infos) {
    texts.push_back(box.Text);
    shownCaptions.push_back(box.Caption);
  }
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(shownCaptions, captions);
  EXPECT_TRUE(demo.Console.Questions.empty());
  EXPECT_EQ(demo.Console.Notes, std::vector<std::string>{});

  // The position log marks the train at every station it stood at, in time order, and ends
  // where it was disbanded.
  std::vector<const TTrainPosLogEntry*> log;
  for (const TTrainPosLogEntry& e : s.State.PosLog)
    if (e.NUMBER == 803) log.push_back(&e);
  ASSERT_FALSE(log.empty());
  for (std::size_t k = 1; k < log.size(); ++k) EXPECT_LE(log[k - 1]->TS, log[k]->TS);
  for (const Stop& stop : stops) {
    int keyPoints = 0;
    for (const TTrainPosLogEntry* e : log) keyPoints += e->KEY_POINT && e->SECT_IDX == stop.Section;
    EXPECT_GE(keyPoints, 2) << "LP " << stop.LP;  // arrival and departure (or disbanding)
  }
  EXPECT_EQ(log.back()->SECT_IDX, stops.back().Section);
  EXPECT_TRUE(log.back()->KEY_POINT);

  // Nothing stays occupied or locked behind it.
  for (const TSectionSchuntData& x : s.State.Sects) {
    EXPECT_EQ(x.TRN_EVEN, -1);
    EXPECT_EQ(x.TRN_ODD, -1);
    EXPECT_EQ(x.ROUTE_EVEN, -1);
    EXPECT_EQ(x.ROUTE_ODD, -1);
  }
}

TEST_F(DemoTrip, FreightTrainIntoTheFlipStationFreesEveryHalfOfItsRoutes) {
  // Train 2001 runs the whole line, changes its locomotive at Озёрная and ends at Кедровая,
  // whose entry crosses the parity flip.
  Simulation& s = sim();
  const TAreaData& area = s.AreaData;
  demo.SetClock(510);
  const int i = CreateTimetableTrain(s, 2001);
  const int zar = demo.LP("Заречье");
  int track = -1;
  for (int k = 0; k < area.Puts[zar].TrackCount && track < 0; ++k)
    if (TrackSuits(s, zar, k, i)) track = k;
  ASSERT_GE(track, 0);
  PutOut(s, i, zar, track);
  Run(i, 20000);

  ASSERT_TRUE(s.State.Trains.empty()) << "the train is still in the district";
  ASSERT_FALSE(stops.empty());
  EXPECT_EQ(stops.back().LP, demo.LP("Кедровая"));
  EXPECT_EQ(demo.Faults(), std::vector<std::string>{});
  for (int x = 1; x < static_cast<int>(s.State.Sects.size()); ++x) {
    EXPECT_EQ(s.State.Sects[x].ROUTE_EVEN, -1) << "section " << x;
    EXPECT_EQ(s.State.Sects[x].ROUTE_ODD, -1) << "section " << x;
  }
  for (const auto& routes : s.State.Routes)
    for (const TRouteControlData& ctl : routes) {
      EXPECT_FALSE(ctl.SCHUNTED);
      EXPECT_EQ(ctl.TASKED, 0);
    }
}

}  // namespace
}  // namespace traklin::test
