// Train graph geometry: scales, axes, layout and fitting, colours, the midnight rule, the
// pairing of the position log and the lines of the timetable.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <tuple>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "views/graph_geometry.h"
#include "views/graph_line.h"

namespace traklin {
namespace {

using graph_test::GraphLine;

constexpr TDateTime kDay = 45000.0;  // a midnight

TEST(GraphScaleTest, PixelsAndKilometresRoundHalfUpIn64Bits) {
  // time %, km %, value, px, km
  const std::tuple<int, int, std::int64_t, std::int64_t, std::int64_t> rows[] = {
      {100, 100, 3480, 3480, 3480}, {40, 100, 1, 0, 1},
      {40, 100, 2, 1, 2},           {40, 100, 3, 1, 3},
      {40, 100, 5, 2, 5},           {40, 100, 3480, 1392, 3480},
      {95, 250, 1, 1, 3},           {95, 250, 1000, 950, 2500},
      {95, 40, 3480, 3306, 1392},   {95, 1, 5'000'000'000, 4'750'000'000, 50'000'000},
  };
  for (const auto& [time, km, v, px, kmv] : rows) {
    const GraphScales s{time, km};
    EXPECT_EQ(s.TryPx(v), px) << time << "% of " << v;
    EXPECT_EQ(s.TryKm(v), kmv) << km << "% of " << v;
  }
  const GraphScales huge{95, std::numeric_limits<int>::max()};
  EXPECT_FALSE(huge.TryKm(std::numeric_limits<std::int64_t>::max() / 4));
  EXPECT_FALSE(huge.TryPx(std::numeric_limits<std::int64_t>::max() / 2));
}

TEST(GraphScaleTest, SettingsChooseWhichAxisFollowsThePercentage) {
  const GraphScales kmOnly = GraphScales::FromSettings(60, true);
  const GraphScales all = GraphScales::FromSettings(60, false);
  EXPECT_EQ(std::tie(kmOnly.Time, kmOnly.Km), std::tuple(95, 60));
  EXPECT_EQ(std::tie(all.Time, all.Km), std::tuple(60, 100));
}

TEST(GraphTimeTest, TimesMapToTheDayFromMidnightToMidnight) {
  const std::pair<TDateTime, int> rows[] = {
      {kDay, 300},
      {kDay + 20 * kSecond, 301},
      {kDay + 0.5, 1740},
      {kDay + 23 * 60 * kMinute + 59 * kMinute + 30 * kSecond, 3179},
      {kDay + 1 - 10 * kSecond, 3180},
      {kDay + 1, 300},
      {kDay - 10 * kMinute, 3160},
  };
  for (const auto& [t, x] : rows) EXPECT_EQ(GraphTimeX(t), x) << t;
  const std::pair<int, int> hhmm[] = {{0, 300}, {1230, 1800}, {2359, 3178}, {2400, 300}};
  for (const auto& [t, x] : hhmm) EXPECT_EQ(GraphHHMMX(t), x) << t;
}

TEST(GraphLayoutTest, ContinuingPeregonsShareARowAndBandsTakeTheirTracks) {
  GraphLine line;
  // A repeated pair right after its first record adds nothing; a peregon to an LP that did
  // not take its code from a station, or leaving the district, is not drawn.
  line.Area.GraphPeregons.insert(line.Area.GraphPeregons.begin() + 1, line.Area.GraphPeregons[0]);
  const int outside = line.Station("Пост", 1);
  line.Area.Puts[outside].CodeFromStation = 0;
  line.Peregon(2, outside, 700);
  line.Area.GraphPeregons.emplace_back().LP[0] = 1;
  const GraphBuild build = BuildGraphLayout(line.Area, {100, 100}, false);
  ASSERT_TRUE(build.Fits);
  const GraphLayout& l = build.Layout;
  ASSERT_EQ(l.Rows.size(), 2u);
  // peregon, A, B, top, bottom, length
  using Row = std::tuple<int, int, int, std::int64_t, std::int64_t, int>;
  const auto row = [](const GraphEntry& e) {
    return Row{e.Peregon, e.A, e.B, e.Top, e.Bottom, e.Length};
  };
  ASSERT_EQ(l.Rows[0].size(), 2u);
  EXPECT_EQ(row(l.Rows[0][0]), (Row{0, 0, 1, 433, 1433, 1000}));
  EXPECT_EQ(row(l.Rows[0][1]), (Row{2, 1, 2, 1450, 1950, 500}));
  ASSERT_EQ(l.Rows[1].size(), 1u);
  EXPECT_EQ(row(l.Rows[1][0]), (Row{3, 3, 0, 2299, 3099, 800}));
  EXPECT_EQ(std::tuple(l.RowTop(line.Area, l.Rows[0]), l.RowBottom(line.Area, l.Rows[0]),
                       l.RowTop(line.Area, l.Rows[1]), l.RowBottom(line.Area, l.Rows[1])),
            std::tuple(400, 1999, 2282, 3132));
  EXPECT_EQ(std::tuple(l.Height, l.PixelWidth, l.PixelHeight), std::tuple(3399, 3480, 3399));

  // The normative graph draws every station as one line.
  const GraphLayout single = BuildGraphLayout(line.Area, {100, 100}, true).Layout;
  EXPECT_EQ(std::tuple(single.Rows[0][0].Top, single.Rows[0][1].Top, single.Rows[1][0].Top),
            std::tuple(401, 1402, 2203));
}

TEST(GraphLayoutTest, GraphScaleAndKmScaleStretchOnlyThePeregons) {
  GraphLine line;
  line.Area.GraphScale = 500;  // per mille: 1000 m draw as 500 units at 100 %
  const GraphLayout l = BuildGraphLayout(line.Area, {95, 200}, false).Layout;
  EXPECT_EQ(l.Rows[0][0].Bottom - l.Rows[0][0].Top, 1000);
  EXPECT_EQ(l.Rows[0][1].Bottom - l.Rows[0][1].Top, 500);
  EXPECT_EQ(l.PixelWidth, 3306);
}

TEST(GraphLayoutTest, FittingShrinksTheScaleOnceOrFails) {
  // A long peregon fits by shrinking it; a station band too high for any scale of the
  // peregons does not.
  GraphLine longLine(false);
  longLine.Station("Аист", 1);
  longLine.Station("Бор", 1);
  longLine.Peregon(0, 1, 100'000);
  GraphLine tallBand(false);
  tallBand.Station("Аист", 2200);
  tallBand.Station("Бор", 1);
  tallBand.Peregon(0, 1, 1000);
  GraphLine overflow(false);
  overflow.Station("Аист", 1);
  overflow.Station("Бор", 1);
  overflow.Peregon(0, 1, 2'000'000'000);
  overflow.Area.GraphScale = 65535;

  // line, percents, km only, shrink, fits, time % and km % afterwards
  struct Row {
    const GraphLine* Line;
    int Percents;
    bool KmOnly;
    double Shrink;
    bool Fits;
    int Time, Km;
  };
  const Row rows[] = {
      {&longLine, 40, true, 0.75, true, 95, 25},  // 40 km at 95 %: 1.18 times too high
      {&longLine, 100, true, 0.75, true, 95, 26},
      {&longLine, 100, true, 0.9, true, 95, 31},
      {&longLine, 100, false, 0.75, true, 32, 100},
      {&tallBand, 40, true, 0.75, false, 95, 29},
      {&tallBand, 40, false, 0.75, true, 40, 100},
      {&tallBand, 100, false, 0.75, true, 88, 100},
      {&overflow, 40, true, 0.75, false, 95, 0},
      {&overflow, std::numeric_limits<int>::max(), false, 0.75, false, 0, 100},
  };
  for (const Row& r : rows) {
    GraphScales s = GraphScales::FromSettings(r.Percents, r.KmOnly);
    const std::optional<GraphLayout> l = FitGraphLayout(r.Line->Area, s, r.KmOnly, false, r.Shrink);
    EXPECT_EQ(l.has_value(), r.Fits) << r.Percents << " " << r.KmOnly;
    EXPECT_EQ(std::tie(s.Time, s.Km), std::tie(r.Time, r.Km)) << r.Percents << " " << r.KmOnly;
    if (l) {
      EXPECT_LE(std::max(l->PixelWidth, l->PixelHeight), kGraphMaxPixels);
    }
  }
}

TEST(GraphColourTest, NumbersPickTheColourOfTheirGroup) {
  constexpr TColor red = 0x0000FF, magenta = 0xFF00FF, yellow = 0x00FFFF, black = 0;
  const std::pair<int, TColor> rows[] = {
      {0, black},      {1, red},        {998, red},     {999, black},  {1000, black},
      {1001, black},   {1999, black},   {2000, black},  {3999, black}, {4000, black},
      {4001, magenta}, {4998, magenta}, {4999, black},  {5000, black}, {5999, black},
      {6000, black},   {6001, yellow},  {6998, yellow}, {6999, black}, {7000, black},
      {7001, yellow},  {7628, yellow},  {7629, black},  {9998, black}, {-2, black},
  };
  for (const auto& [n, c] : rows) EXPECT_EQ(GraphTrainColor(n), c) << n;
  EXPECT_TRUE(IsGraphTrainNumber(9998));
  EXPECT_FALSE(IsGraphTrainNumber(9999));
  EXPECT_FALSE(IsGraphTrainNumber(0));
}

TEST(GraphMidnightTest, ARunPastMidnightLeavesAtTheRightEdgeAndComesBackAtTheLeft) {
  using Part = std::tuple<int, std::int64_t, int, std::int64_t>;
  const auto parts = [](int px, std::int64_t py, int qx, std::int64_t qy) {
    std::vector<Part> out;
    for (const GraphPart& p : GraphSegmentParts(px, py, qx, qy))
      out.emplace_back(p.X1, p.Y1, p.X2, p.Y2);
    return out;
  };
  EXPECT_EQ(parts(1000, 100, 1200, 300), (std::vector<Part>{{1000, 100, 1200, 300}}));
  // 80 of 120 units before midnight: two thirds of the way down at the edge.
  EXPECT_EQ(parts(3100, 100, 340, 300),
            (std::vector<Part>{{3100, 100, 3180, 233}, {300, 233, 340, 300}}));
  EXPECT_EQ(parts(3100, 300, 340, 100),
            (std::vector<Part>{{3100, 300, 3180, 167}, {300, 167, 340, 100}}));
  // The same place on the axis a day apart: the edge height is the first point's, and
  // nothing is long enough to draw.
  EXPECT_TRUE(parts(3180, 100, 300, 500).empty());
  // The same time: no line.
  EXPECT_TRUE(parts(1500, 100, 1500, 900).empty());
}

TTrainPosLogEntry Key(TDateTime t, int number, int section, bool key = true) {
  TTrainPosLogEntry e;
  e.TS = t;
  e.NUMBER = number;
  e.SECT_IDX = section;
  e.KEY_POINT = key;
  return e;
}

/// (number, P time, Q time, start digit) of every segment the feed gives.
using Seg = std::tuple<int, TDateTime, TDateTime, bool>;
std::vector<Seg> Drain(GraphLogFeed& feed, TTrainPosLogData& log) {
  std::vector<Seg> out;
  while (std::optional<GraphLogSegment> s = feed.Next(log, 3)) {
    out.emplace_back(s->P.NUMBER, s->P.TS, s->Q.TS, s->StartDigit);
  }
  // The limit stops a call early; what is left comes with the next ones.
  while (feed.Pending(log))
    if (std::optional<GraphLogSegment> s = feed.Next(log, 3))
      out.emplace_back(s->P.NUMBER, s->P.TS, s->Q.TS, s->StartDigit);
  return out;
}

TEST(GraphLogFeedTest, ConsecutiveKeyPointsOfANumberMakeSegmentsInLogOrder) {
  const TDateTime t = kDay + 0.5;
  TTrainPosLogData log = {Key(t, 2, 1),
                          Key(t + kMinute, 3, 7),
                          Key(t + 2 * kMinute, 2, 8, false),
                          Key(t + 5 * kMinute, 2, 3),
                          Key(t + 6 * kMinute, 3, 1),
                          Key(t + 9 * kMinute, 9999, 1),
                          Key(t + 9 * kMinute, 9999, 3),
                          Key(t + 9 * kMinute, 0, 3),
                          Key(t + 10 * kMinute, 2, 4)};
  GraphLogFeed feed;
  EXPECT_EQ(Drain(feed, log), (std::vector<Seg>{{2, t, t + 5 * kMinute, true},
                                                {3, t + kMinute, t + 6 * kMinute, true},
                                                {2, t + 5 * kMinute, t + 10 * kMinute, false}}));
  EXPECT_FALSE(feed.Pending(log));
  // New entries are read as they come.
  log.push_back(Key(t + 20 * kMinute, 3, 4));
  EXPECT_EQ(Drain(feed, log), (std::vector<Seg>{{3, t + 6 * kMinute, t + 20 * kMinute, false}}));
}

TEST(GraphLogFeedTest, RunsOfOneNumberAreNeverJoined) {
  const TDateTime t = kDay + 0.5, step = 1.0 / 16;  // exact in binary
  TTrainPosLogData log = {Key(t, 2, 1), Key(t + step, 2, 3)};
  // Taken off the district on a peregon: the end of the run is no key point.
  log.push_back(Key(t + 2 * step, 2, 9, false));
  log.back().RunEnd = true;
  log.push_back(Key(t + 3 * step, 2, 3));  // the next train of the number
  log.push_back(Key(t + 4 * step, 2, 4));
  // Disbanded at a station: the end is a key point and ends a segment.
  log.back().RunEnd = true;
  log.push_back(Key(t + 5 * step, 2, 1));
  // A day between two points of a number: no line; a little less: a line.
  log.push_back(Key(t + 5 * step + 1, 2, 3));
  log.push_back(Key(t + 20 * step + 1, 2, 4));
  GraphLogFeed feed;
  EXPECT_EQ(Drain(feed, log), (std::vector<Seg>{{2, t, t + step, true},
                                                {2, t + 3 * step, t + 4 * step, true},
                                                {2, t + 5 * step + 1, t + 20 * step + 1, true}}));
}

TEST(GraphLogFeedTest, FollowsTheLogWhenItDropsItsOldestEntriesOrIsReplaced) {
  const TDateTime t = kDay;
  TTrainPosLogData log = {Key(t, 5, 1), Key(t + kMinute, 6, 1), Key(t + 2 * kMinute, 6, 3)};
  GraphLogFeed feed;
  EXPECT_EQ(Drain(feed, log).size(), 1u);
  // Two days on, the log drops its oldest entries as it grows; train 5's point is gone from
  // the log but still starts its next segment.
  log.erase(log.begin(), log.begin() + 2);
  log.push_back(Key(t + 4 * kMinute, 5, 3));
  EXPECT_EQ(Drain(feed, log), (std::vector<Seg>{{5, t, t + 4 * kMinute, true}}));
  // A restored log has no marks: read again from its start once the feed is reset.
  TTrainPosLogData restored = {Key(t, 6, 1), Key(t + kMinute, 6, 4)};
  feed.Reset();
  EXPECT_EQ(Drain(feed, restored), (std::vector<Seg>{{6, t, t + kMinute, true}}));
}

TEST(GraphJoinTest, StationsMeetInTheEntriesOfTheirPeregons) {
  GraphLine line;
  const GraphLayout l = BuildGraphLayout(line.Area, {100, 100}, false).Layout;
  using J = std::tuple<int, std::int64_t, std::int64_t>;
  const auto joins = [&](int a, int b, bool stops) {
    std::vector<J> out;
    for (const GraphJoin& j : FindGraphJoins(line.Area, l, a, b, stops))
      out.emplace_back(j.Entry->Peregon, j.Y1, j.Y2);
    return out;
  };
  EXPECT_EQ(joins(0, 1, false), (std::vector<J>{{0, 400, 1433}}));
  EXPECT_EQ(joins(1, 0, false), (std::vector<J>{{0, 1433, 400}}));
  EXPECT_EQ(joins(0, 3, false), (std::vector<J>{{2, 3099, 2282}}));
  EXPECT_TRUE(joins(0, 2, false).empty());  // no peregon between them
  EXPECT_TRUE(joins(1, 1, false).empty());
  EXPECT_EQ(joins(1, 1, true), (std::vector<J>{{0, 1433, 1433}, {1, 1433, 1433}}));
  EXPECT_TRUE(joins(-1, 1, true).empty());
}

TEST(GraphPointTest, KeyPointsLieOnTracksOfStations) {
  GraphLine line;
  TTrainPosLogEntry e = Key(kDay, 2, line.TrackSection(2, 1));
  const std::optional<GraphPoint> p = LocateLogPoint(line.Area, e);
  ASSERT_TRUE(p);
  EXPECT_EQ(std::tie(p->LP, p->Track), std::tuple(2, 1));
  // A train passing a station is logged where its head leaves or enters the peregon: at the
  // peregon's end the point lies on the edge of the station's band.
  e.SECT_IDX = 8;
  const SectionPosition edge = LocateSectionPosition(line.Area, 8, 0);
  ASSERT_GE(edge.EdgeTrack, -1);
  const std::optional<GraphPoint> q = LocateLogPoint(line.Area, e);
  ASSERT_TRUE(q);
  EXPECT_EQ(std::tie(q->LP, q->Track), std::tie(edge.LP, edge.EdgeTrack));
  e.LOCO_POS = line.Area.SlSects[8].Length / 2.0;  // inside the peregon: no station
  EXPECT_FALSE(LocateLogPoint(line.Area, e));
  e.SECT_IDX = 999;
  EXPECT_FALSE(LocateLogPoint(line.Area, e));
}

TEST(TimetableSegmentTest, TrainsRunFromTheirPlanThroughTheirStops) {
  GraphLine line;
  TAreaData& a = line.Area;
  const auto plan = [&](int number, int time, int from) {
    TCreationPlanData& p = a.CreationPlans.emplace_back();
    p.Number = number;
    p.Time = time;
    p.CreationPoint = from;
  };
  const auto train = [&](bool freight, int number, std::vector<TStopData> stops) {
    TGraphTrainData& t = (freight ? a.GruzTrains : a.PassTrains)[number % 2].emplace_back();
    t.Numbers[0] = number;
    t.Stops = std::move(stops);
  };
  // Odd passenger 1 leaves Вяз; even 2 starts at Аист; freight 2002 has its first stop five
  // minutes before its plan, so it starts there; 4 has no plan.
  train(false, 1, {{0, 3, 0, 1000, 2}, {0, 2, 1030, 1032, 0}, {5, 0, 1040, 1041, 0}});
  train(false, 2, {{0, 1, 0, 1200, 2}, {0, 2, 0, 1215, 0}});
  train(true, 2002, {{0, 4, 2355, 2359, 2}, {0, 1, 15, 20, 0}});
  train(false, 4, {{0, 1, 0, 1200, 2}});
  plan(1, 955, 3);
  plan(2, 1150, 1);
  plan(2002, 2358, 4);
  using S = std::tuple<int, int, int, int, int>;
  std::vector<S> got;
  for (const TimetableSegment& s : TimetableSegments(a))
    got.emplace_back(s.Number, s.T1, s.LP1, s.T2, s.LP2);
  EXPECT_EQ(got, (std::vector<S>{{2, 1150, 0, 1200, 0},
                                 {2, 1200, 0, 1215, 1},
                                 {2002, 2355, 3, 2355, 3},
                                 {2002, 2355, 3, 2359, 3},
                                 {2002, 2359, 3, 15, 0},
                                 {2002, 15, 0, 20, 0},
                                 {1, 955, 2, 1000, 2},
                                 {1, 1000, 2, 1030, 1},
                                 {1, 1030, 1, 1032, 1}}));
}

}  // namespace
}  // namespace traklin
