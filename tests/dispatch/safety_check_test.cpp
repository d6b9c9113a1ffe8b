// The automatic dispatcher's safety check on small lines: the moves that would lock the line
// are refused, those that keep it moving are let pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "dispatch/auto_line.h"
#include "dispatch/safety_check.h"
#include "dispatch/safety_check_impl.h"
#include "state/interlocking.h"
#include "trains/throat_automation.h"
#include "trains/train_motion.h"

namespace traklin::test {
namespace {

using Ops = std::vector<std::string>;

// clang-format off
/// Three stations on a single line, odd trains to the right, every station automated:
///
///   ЛЕС (asks, km 0)        РАЗ (no duty officer, km 7)        ГОР (asks, km 14)
///       I ---.                                                  .--- I
///       3 ---+--- 6 km, 2 blocks ---[middle]--- 6 km, 2 blocks ---+--- 2
///       2 ---+                                                  +--- 4
///       4 ---'                                                  `--- 6
///
/// `middle` lists РАЗ's tracks: "I and 3" is a loop, "I" a station of a single track; `kind`
/// what runs it, besides the default of no duty officer; `peregon` both peregons (`beyond`, when
/// given, the one from РАЗ to ГОР). Tracks I and 3 of ЛЕС and I of ГОР take the trains formed
/// there, 2 and 4 those that end there, 6 of ГОР any other.
// clang-format on
std::string Line(const std::string& middle, const std::string& trains,
                 const std::string& kind = R"("controlled": true)",
                 const std::string& peregon = R"({"length": 6000, "blocks": 2})",
                 const std::string& beyond = "") {
  return R"({"number": 42, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
    "outside_right": ["В1", "В2", "В3", "В4", "В5"],
    "stations": [
      {"name": "Лесная", "mnem": "ЛЕС", "km": 0,
       "tracks": [[1001, 3, 2], [3, 3, 2], [2, 3, 3], [4, 3, 3]]},
      {"name": "Разъезд", "mnem": "РАЗ", )" +
         kind + R"(, "km": 7, "tracks": [)" + middle + R"(]},
      {"name": "Горная", "mnem": "ГОР", "km": 14,
       "tracks": [[1001, 3, 2], [2, 3, 3], [4, 3, 3], [6, 3, 1]]}
    ],
    "peregons": [)" +
         peregon + ", " + (beyond.empty() ? peregon : beyond) + R"(],
    "trains": [)" +
         trains + "]}";
}

const std::string kLoop = "[1001, 3, 1], [3, 3, 1]";
const std::string kSingleTrack = "[1001, 3, 1]";
/// The kinds of station the middle one may be: without a duty officer, asking the
/// dispatcher, acting by itself, and acting by itself sending without asking.
const std::string kKinds[] = {R"("controlled": true)", R"("manip": "Разъезд")",
                              R"("self_acting": true)",
                              R"("self_acting": true, "send_without_asking": 1)"};

/// Timetable trains for Line(): odd numbers run from ЛЕС to ГОР, even ones back; the first
/// leaves at 10:00, the others at 12:00.
std::string Trains(std::initializer_list<int> numbers) {
  std::string out;
  for (const int n : numbers)
    out += std::string(out.empty() ? "" : ",") + R"({"number": )" + std::to_string(n) +
           (n % 2 ? R"(, "from": "Лесная", "to": "Горная")"
                  : R"(, "from": "Горная", "to": "Лесная")") +
           R"(, "depart": ")" + (out.empty() ? "10:00" : "12:00") + R"("})";
  return out;
}

/// The graph peregon between two stations.
int PeregonBetween(const AutoLine& line, const std::string& a, const std::string& b) {
  const TGraphPeregonsData& peregons = line.Sim.AreaData.GraphPeregons;
  const int x = line.LP(a) + 1, y = line.LP(b) + 1;
  for (int p = 0; p < static_cast<int>(peregons.size()); ++p)
    if ((peregons[p].LP[0] == x && peregons[p].LP[1] == y) ||
        (peregons[p].LP[0] == y && peregons[p].LP[1] == x))
      return p;
  return -1;
}

/// Train `number` leaving station `from` towards `to`.
SafetyMove Departure(const AutoLine& line, int number, const std::string& from,
                     const std::string& to) {
  SafetyMove move;
  move.What = SafetyMove::Depart;
  move.Train = line.Train(number);
  move.LP = line.LP(from);
  move.Peregon = PeregonBetween(line, from, to);
  return move;
}

/// Whether a fresh check lets train `number` leave station `from` towards `to`.
bool MaySend(AutoLine& line, int number, const std::string& from, const std::string& to) {
  SafetyCheck check;
  return check.Allows(line.Sim, Departure(line, number, from, to));
}

/// Whether a fresh check lets train `number`, still outside, in at `at` on track index k.
bool MayAdmit(AutoLine& line, int number, const std::string& at, int k) {
  SafetyCheck check;
  SafetyMove move;
  move.What = SafetyMove::Admit;
  move.Train = line.Train(number);
  move.LP = line.LP(at);
  move.Track = k;
  return check.Allows(line.Sim, move);
}

bool OnLine(const AutoLine& line, int number) {
  const int i = line.Train(number);
  return i >= 0 && line.Sim.State.Trains[i].HEAD.PEREGON_IDX >= 0;
}

void ExpectNoFault(const AutoLine& line) {
  EXPECT_EQ(line.Line.Faults(), Texts{});
  EXPECT_EQ(line.Against, Ops{});
}

TEST(SafetyCheckTest, LoopKeepsItsTwoTracksForTheCrossingAndRefusesAThirdTrain) {
  // 801 and 803 at ЛЕС for ГОР, 802 and 804 at ГОР for ЛЕС; the first of each way leaves at
  // 10:00, the second at 10:05.
  for (const std::string& kind : kKinds) {
    SCOPED_TRACE(kind);
    AutoLine line(Line(kLoop, R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 803, "from": "Лесная", "to": "Горная", "depart": "10:05"},
      {"number": 802, "from": "Горная", "to": "Лесная", "depart": "10:00"},
      {"number": 804, "from": "Горная", "to": "Лесная", "depart": "10:05"})",
                       kind),
                  950);
    line.PutOut(801, "ЛЕС", 0);
    line.PutOut(803, "ЛЕС", 1);
    line.PutOut(802, "ГОР", 0);
    line.PutOut(804, "ГОР", 3);
    // Both first trains are let go: they cross in the loop.
    ASSERT_TRUE(line.RunUntil(30, [&] { return OnLine(line, 801) && OnLine(line, 802); }));
    // A second train either way would find both tracks of РАЗ taken, and the single line
    // beyond held by the train coming the other way.
    EXPECT_FALSE(MaySend(line, 803, "ЛЕС", "РАЗ"));
    EXPECT_FALSE(MaySend(line, 804, "ГОР", "РАЗ"));
    // Once 801 has arrived at ГОР the line behind it is clear for the next train its way.
    ASSERT_TRUE(line.RunUntil(40, [&] { return line.Where(801) == "ГОР"; }));
    EXPECT_TRUE(MaySend(line, 803, "ЛЕС", "РАЗ") || OnLine(line, 803) || line.Where(803) == "РАЗ");
    line.RunFor(90);
    ExpectNoFault(line);
    Ops removed = line.Removed;
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (Ops{"801 ГОР", "802 ЛЕС", "803 ГОР", "804 ЛЕС"}));
  }
}

TEST(SafetyCheckTest, StationOfASingleTrackTakesOneTrainAtATime) {
  for (const std::string& kind : kKinds) {
    SCOPED_TRACE(kind);
    AutoLine line(Line(kSingleTrack, R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 802, "from": "Горная", "to": "Лесная", "depart": "10:01"})",
                       kind),
                  950);
    line.PutOut(801, "ЛЕС", 0);
    line.PutOut(802, "ГОР", 0);
    ASSERT_TRUE(line.RunUntil(30, [&] { return OnLine(line, 801); }));
    // РАЗ's only track is 801's: 802 sent now would meet it with nowhere to pass; as it is,
    // both can still finish.
    EXPECT_FALSE(MaySend(line, 802, "ГОР", "РАЗ"));
    SafetyCheck check;
    EXPECT_EQ(check.TrainsLeft(line.Sim), 0);
    line.RunFor(90);
    ExpectNoFault(line);
    EXPECT_EQ(line.Visits, (Ops{"801 ЛЕС", "802 ГОР", "801 РАЗ", "801 ГОР", "802 РАЗ", "802 ЛЕС"}))
        << ::testing::PrintToString(line.Visits);
    EXPECT_EQ(line.Removed, (Ops{"801 ГОР", "802 ЛЕС"}));
  }
}

TEST(SafetyCheckTest, OneCheckFindsTheNewWayOfATrainSentElsewhereAfterItsWayWasFound) {
  AutoLine line(Line(kLoop, R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 802, "from": "Горная", "to": "Лесная", "depart": "10:00"})"),
                950);
  line.PutOut(801, "ЛЕС", 0);
  line.PutOut(802, "ГОР", 0);
  SafetyCheck check;
  ASSERT_EQ(check.TrainsLeft(line.Sim), 0);
  TTrainData& train = line.Sim.State.Trains[line.Train(801)];
  const int arrival = train.ARRIVAL_LP_CODE;
  // Sent to an LP the district does not have, it cannot finish; sent back, it can again.
  train.ARRIVAL_LP_CODE = 99999;
  EXPECT_EQ(check.TrainsLeft(line.Sim), 1);
  train.ARRIVAL_LP_CODE = arrival;
  EXPECT_EQ(check.TrainsLeft(line.Sim), 0);
}

TEST(SafetyCheckTest, HopListKeepsItsLinksInOrderBeyondThoseItHoldsInPlace) {
  // A way through many LPs without tracks passes more links between two steps than the list
  // keeps in place; a copy and a list cleared and used again keep theirs.
  safety::HopList hops;
  EXPECT_TRUE(hops.empty());
  const auto links = [](const safety::HopList& list) {
    std::vector<int> out;
    for (const safety::Hop& h : list) out.push_back(h.Link * 10 + h.End);
    return out;
  };
  for (int k = 1; k <= 7; ++k) {
    hops.push_back({k, k & 1});
    ASSERT_EQ(hops.size(), static_cast<std::size_t>(k));
    EXPECT_EQ(hops.back().Link, k);
  }
  EXPECT_EQ(links(hops), (std::vector<int>{11, 20, 31, 40, 51, 60, 71}));
  EXPECT_EQ(hops.front().Link, 1);
  const safety::HopList copy = hops;
  hops.clear();
  EXPECT_TRUE(hops.empty());
  hops.push_back({9, 0});
  EXPECT_EQ(links(hops), (std::vector<int>{90}));
  EXPECT_EQ(links(copy), (std::vector<int>{11, 20, 31, 40, 51, 60, 71}));
}

TEST(SafetyCheckTest, TrainFromOutsideWaitsForTheTrackATrainOnItsWayNeedsThenComesIn) {
  // 801 runs to ГОР through the single-track РАЗ; ГОР's tracks I, 2 and 4 hold trains that
  // wait to leave for ЛЕС later. 806 waits outside to come in at ГОР for ЛЕС.
  AutoLine line(Line(kSingleTrack, Trains({801, 802, 804, 806, 808})), 950);
  line.PutOut(801, "ЛЕС", 0);
  line.PutOut(802, "ГОР", 1);
  line.PutOut(804, "ГОР", 2);
  line.PutOut(808, "ГОР", 0);
  CreateTimetableTrain(line.Sim, 806);
  ASSERT_TRUE(line.RunUntil(30, [&] { return OnLine(line, 801); }));
  // On track 6, the last free one, 806 could not leave before 801 comes, nor 801 come in: it
  // is held back.
  EXPECT_FALSE(MayAdmit(line, 806, "ГОР", 3));
  ASSERT_TRUE(line.RunUntil(40, [&] { return line.Removed == Ops{"801 ГОР"}; }));
  EXPECT_TRUE(MayAdmit(line, 806, "ГОР", 3));
  ExpectNoFault(line);
}

TEST(SafetyCheckTest, SingleLineHoldingAsManyTrainsAsItHasRoomAdmitsNoMoreUntilOneIsGone) {
  // The loop keeps both of its two tracks for trains to cross at; ЛЕС and ГОР, the ends of the
  // line, are reached from it by one side only and keep one of their four each: the line has
  // room for six trains that have to run on it. 801, 803 and 805 wait at ЛЕС for ГОР, 802, 804
  // and 808 at ГОР for ЛЕС; 806 waits outside to come in at ГОР.
  for (const std::string& kind : {kKinds[0], kKinds[2]}) {
    SCOPED_TRACE(kind);
    AutoLine line(Line(kLoop, Trains({801, 803, 805, 802, 804, 808, 806}), kind), 950);
    line.PutOut(801, "ЛЕС", 0);
    line.PutOut(803, "ЛЕС", 1);
    line.PutOut(805, "ЛЕС", 2);
    line.PutOut(802, "ГОР", 0);
    line.PutOut(804, "ГОР", 1);
    line.PutOut(808, "ГОР", 2);
    CreateTimetableTrain(line.Sim, 806);
    // Track 6 of ГОР is free and suits 806, and every train could still finish with it in,
    // one at a time; but a seventh train would leave the line no track to cross at.
    EXPECT_FALSE(MayAdmit(line, 806, "ГОР", 3));
    const auto gone = [&] {
      return std::find(line.Removed.begin(), line.Removed.end(), "801 ГОР") != line.Removed.end();
    };
    ASSERT_TRUE(line.RunUntil(60, gone)) << ::testing::PrintToString(line.Operations);
    EXPECT_EQ(line.Where(806), "");
    EXPECT_TRUE(MayAdmit(line, 806, "ГОР", 3)) << ::testing::PrintToString(line.Removed);
    ExpectNoFault(line);
  }
}

TEST(SafetyCheckTest, StationWhereADoubleLineGoesOnKeepsOneTrackForTheSingleLine) {
  // The single line runs from ЛЕС to РАЗ; a double line goes on to ГОР. Both ЛЕС, the end of
  // the line, and РАЗ, where the double line begins, are reached from the single line by one
  // side only and keep one track each: the single line has room for three trains of ЛЕС's four
  // tracks and one of РАЗ's two, four in all. 801, 803 and 805 wait at ЛЕС for ГОР; 806 waits
  // outside to come in at ГОР for ЛЕС. (A station without a duty officer meets no double line.)
  for (const std::string& kind : {kKinds[1], kKinds[2], kKinds[3]}) {
    SCOPED_TRACE(kind);
    AutoLine line(
        Line(kLoop, Trains({801, 803, 805, 807, 806}), kind, R"({"length": 6000, "blocks": 2})",
             R"({"length": 6000, "blocks": 2, "double": true})"),
        950);
    line.PutOut(801, "ЛЕС", 0);
    line.PutOut(803, "ЛЕС", 1);
    line.PutOut(805, "ЛЕС", 2);
    CreateTimetableTrain(line.Sim, 806);
    EXPECT_TRUE(MayAdmit(line, 806, "ГОР", 3));
    // A fourth train that has to run on the single line fills it: 806 would be the fifth.
    line.PutOut(807, "ЛЕС", 3);
    EXPECT_FALSE(MayAdmit(line, 806, "ГОР", 3));
    ExpectNoFault(line);
  }
}

// clang-format off
/// Five stations, double and single lines by turns or as `doubles` says, odd trains to the
/// right, every station automated:
///
///   ЛЕС ====== РАЗ ------ ГОР ====== ДАЛ ------ КОН      (doubles "1010")
///   3 tracks   4 tracks   3 tracks   2 tracks   4 tracks
///
/// Each peregon is 6 km of two blocks. ЛЕС, ДАЛ and КОН form trains, ЛЕС and КОН on all
/// tracks but one, which takes the trains that end there; РАЗ, ГОР and track I of ДАЛ take
/// trains that pass.
// clang-format on
std::string FiveStations(const std::string& doubles, const std::string& trains) {
  std::string peregons;
  for (const char c : doubles)
    peregons += std::string(peregons.empty() ? "" : ", ") + R"({"length": 6000, "blocks": 2)" +
                (c == '1' ? R"(, "double": true})" : "}");
  return R"({"number": 45, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
    "outside_right": ["В1", "В2", "В3", "В4", "В5"],
    "stations": [
      {"name": "Лесная", "mnem": "ЛЕС", "manip": "Лесная", "km": 0,
       "tracks": [[1001, 3, 2], [3, 3, 2], [2, 3, 3]]},
      {"name": "Разъезд", "mnem": "РАЗ", "manip": "Разъезд", "km": 7,
       "tracks": [[1001, 3, 1], [1002, 3, 1], [3, 3, 1], [4, 3, 1]]},
      {"name": "Горная", "mnem": "ГОР", "manip": "Горная", "km": 14,
       "tracks": [[1001, 3, 1], [1002, 3, 1], [3, 3, 1]]},
      {"name": "Дальняя", "mnem": "ДАЛ", "manip": "Дальняя", "km": 21,
       "tracks": [[1001, 3, 1], [3, 3, 2]]},
      {"name": "Конечная", "mnem": "КОН", "manip": "Конечная", "km": 28,
       "tracks": [[1001, 3, 2], [2, 3, 2], [4, 3, 2], [6, 3, 3]]}
    ],
    "peregons": [)" +
         peregons + R"(],
    "trains": [)" +
         trains + "]}";
}

TEST(SafetyCheckTest, TrainsThatWillHaveLeftAStretchBeforeATrainComingInReachesItDoNotCrowdIt) {
  // ДАЛ–КОН has room for four trains: ДАЛ and КОН, its ends, keep one track of their two
  // and four. 802, 804, 806 and 808 fill КОН, all bound for ЛЕС. 801 from ЛЕС would come to
  // ДАЛ–КОН three links on, when they have run through it; 803 from ДАЛ would come to it
  // at once and find it full. РАЗ–ГОР, which all of them still have to run on, has room for
  // five.
  const std::string trains = R"(
      {"number": 801, "from": "Лесная", "to": "Конечная", "depart": "10:00"},
      {"number": 803, "from": "Дальняя", "to": "Конечная", "depart": "10:00"},
      {"number": 802, "from": "Конечная", "to": "Лесная", "depart": "12:00"},
      {"number": 804, "from": "Конечная", "to": "Лесная", "depart": "12:00"},
      {"number": 806, "from": "Конечная", "to": "Лесная", "depart": "12:00"},
      {"number": 808, "from": "Конечная", "to": "Лесная", "depart": "12:00"})";
  for (const int standing : {3, 4}) {
    SCOPED_TRACE(standing);
    AutoLine line(FiveStations("1010", trains), 950);
    for (int k = 0; k < standing; ++k) line.PutOut(802 + 2 * k, "КОН", k);
    CreateTimetableTrain(line.Sim, 801);
    CreateTimetableTrain(line.Sim, 803);
    EXPECT_TRUE(MayAdmit(line, 801, "ЛЕС", 0));
    EXPECT_EQ(MayAdmit(line, 803, "ДАЛ", 1), standing < 4);
    ExpectNoFault(line);
  }
}

TEST(SafetyCheckTest,
     TrainComingInThatCanWaitWhereOnlyDoubleLinesMeetIsNotHeldBackByAStretchBeyond) {
  // Double links up to ГОР: ГОР–ДАЛ–КОН is one stretch of two links, with room for five
  // trains (two of ГОР's three tracks, none of ДАЛ's two, which it keeps for crossings, three
  // of КОН's four). 802 to 808 fill КОН and 810 stands at ДАЛ, all bound for ЛЕС: the stretch
  // is full, and all five would come to it with 801 from ЛЕС, two links on. But 801 may wait
  // at РАЗ, where only double lines meet, outside the stretch.
  AutoLine line(FiveStations("1100", R"(
      {"number": 801, "from": "Лесная", "to": "Конечная", "depart": "10:00"},
      {"number": 802, "from": "Конечная", "to": "Лесная", "depart": "12:00"},
      {"number": 804, "from": "Конечная", "to": "Лесная", "depart": "12:00"},
      {"number": 806, "from": "Конечная", "to": "Лесная", "depart": "12:00"},
      {"number": 808, "from": "Конечная", "to": "Лесная", "depart": "12:00"},
      {"number": 810, "from": "Дальняя", "to": "Лесная", "depart": "12:00"})"),
                950);
  for (int k = 0; k < 4; ++k) line.PutOut(802 + 2 * k, "КОН", k);
  line.PutOut(810, "ДАЛ", 1);
  CreateTimetableTrain(line.Sim, 801);
  EXPECT_TRUE(MayAdmit(line, 801, "ЛЕС", 0));
  ExpectNoFault(line);
}

TEST(SafetyCheckTest, TrainRollingInWhereItEndsLeavesItsRoomOnTheLineToATrainFromOutside) {
  // As above, the line has room for six trains. 801 runs to ГОР, where it ends; 803, 805 and
  // 807 wait at ЛЕС, 804 and 808 at ГОР on tracks I and 2. 806 waits outside for ГОР, where
  // tracks 4 and 6 are free, one of them for 801.
  AutoLine line(Line(kLoop, Trains({801, 803, 805, 807, 804, 808, 806})), 950);
  line.PutOut(801, "ЛЕС", 0);
  line.PutOut(803, "ЛЕС", 1);
  line.PutOut(805, "ЛЕС", 2);
  line.PutOut(804, "ГОР", 0);
  line.PutOut(808, "ГОР", 1);
  ASSERT_TRUE(line.RunUntil(30, [&] { return OnLine(line, 801); }));
  line.PutOut(807, "ЛЕС", 3);
  CreateTimetableTrain(line.Sim, 806);
  const auto admitted = [&] {
    return MayAdmit(line, 806, "ГОР", 2) || MayAdmit(line, 806, "ГОР", 3);
  };
  EXPECT_FALSE(admitted());
  // Its head in ГОР's throat, 801 has no more to run on the line: its room is 806's.
  ASSERT_TRUE(line.RunUntil(30, [&] { return line.Where(801) == "ГОР"; }));
  EXPECT_TRUE(admitted()) << ::testing::PrintToString(line.Operations);
  ExpectNoFault(line);
}

TEST(SafetyCheckTest, PassengerTrainThatMayNotLeaveLetsTheFreightTrainBehindItGo) {
  // РАЗ takes freight trains only, so passenger train 801 at ЛЕС has nowhere to stop on its
  // way to ГОР and may not leave; freight train 2001, after it in the order of service, may.
  // ЛЕС asks: a send task it gives 801 is taken back, until it chooses 2001.
  AutoLine line(Line("[1001, 1, 1], [3, 1, 1]", R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2001, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:05"})"),
                950);
  line.PutOut(801, "ЛЕС", 0);
  line.PutOut(2001, "ЛЕС", 1);
  EXPECT_FALSE(MaySend(line, 801, "ЛЕС", "РАЗ"));
  EXPECT_TRUE(MaySend(line, 2001, "ЛЕС", "РАЗ"));
  ASSERT_TRUE(line.RunUntil(60, [&] { return line.Where(2001) == "ГОР"; }))
      << ::testing::PrintToString(line.Operations);
  EXPECT_EQ(line.Where(801), "ЛЕС");
  ExpectNoFault(line);
}

TEST(SafetyCheckTest, TrainAStationHasLetGoOnBeforeItArrivesRunsTowardsTheNextStation) {
  // РАЗ acts by itself, and has let 801, just gone from ЛЕС, go on to ГОР once it has
  // stopped: a receive task and a send task on the same track. 802 at ГОР would meet 801
  // between РАЗ and ГОР; without РАЗ's tasks it could go and cross 801 in the loop.
  AutoLine line(Line(kLoop, R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 802, "from": "Горная", "to": "Лесная", "depart": "12:00"})",
                     kKinds[2]),
                950);
  line.PutOut(801, "ЛЕС", 0);
  line.PutOut(802, "ГОР", 0);
  ASSERT_TRUE(line.RunUntil(30, [&] { return OnLine(line, 801); }));
  EXPECT_TRUE(MaySend(line, 802, "ГОР", "РАЗ"));
  const int raz = line.LP("РАЗ");
  const int fromLes = PeregonBetween(line, "ЛЕС", "РАЗ");
  const int toGor = PeregonBetween(line, "РАЗ", "ГОР");
  int in = -1, out = -1;
  for (int g = 0; g < static_cast<int>(line.Sim.AreaData.GorlStanzs.size()); ++g) {
    const ThroatView v = ThroatViewOf(line.Sim, g);
    if (v.Valid && v.LP == raz && v.Peregon == fromLes) in = g;
    if (v.Valid && v.LP == raz && v.Peregon == toGor) out = g;
  }
  ASSERT_GE(in, 0);
  ASSERT_GE(out, 0);
  for (const int g : {in, out}) {
    TGorlTaskData& task = line.Sim.State.Gorls[g];
    task.TASKED = line.Sim.State.ClockTime;
    task.SEND = g == out;
    task.TRANSIT = false;
    task.TRACK = 0;
  }
  EXPECT_FALSE(MaySend(line, 802, "ГОР", "РАЗ"));
}

/// Orders route r of LP lp and assembles it (a half a step).
void SetRoute(AutoLine& line, int lp, int r) {
  ASSERT_TRUE(OrderRoute(line.Sim, lp, r));
  for (int n = 0; n < 40 && !line.Sim.State.Routes[lp][r].SCHUNTED; ++n) UpdateRoutes(line.Sim);
  ASSERT_TRUE(line.Sim.State.Routes[lp][r].SCHUNTED);
}

/// The route of LP lp in direction d that begins at section `from` or ends at section `to`
/// (the other one 0).
int RouteThrough(const AutoLine& line, int lp, int d, int from, int to) {
  const std::vector<TTrainRouteData>& routes = line.Sim.AreaData.TrainRoutes[lp].Routes;
  for (int r = 0; r < static_cast<int>(routes.size()); ++r)
    if (RouteDirection(routes[r]) == d &&
        ((from != 0 && routes[r].FirstSection == from) || (to != 0 && routes[r].LastSection == to)))
      return r;
  return -1;
}

/// The entry section of LP lp's throat onto graph peregon p.
int EntryOnto(const AutoLine& line, int lp, int p) {
  const TAreaData& area = line.Sim.AreaData;
  for (const TGorlStanzData& g : area.GorlStanzs)
    if (g.Peregon - 1 == p && FindLPIndex(area, g.Code) == lp) return g.EntrySection;
  return -1;
}

// clang-format off
/// Four stations, a double line of two blocks between the two in the middle, which ask the
/// dispatcher, odd trains to the right:
///
///   ЛЕС (km 0)           ЛУГ (km 7)               КЛЮ (km 14)               ГОР (km 21)
///       I ---.             .--- I ---.   =======   .--- I ---.                .--- I
///       3 ---+--- 6 km, ---+         +--- 6 km, ---+         +--- 6 km, ------+--- 2
///       2 ---+    2 blocks `--- 3 ---'  2 blocks   `--- 3 ---'    2 blocks    +--- 4
///       4 ---'                          (double)                              `--- 6
// clang-format on
/// `klu` gives КЛЮ's members after its name and mnemonic.
std::string DoubleLine(const std::string& trains,
                       const std::string& klu = R"("manip": "Ключевая", "km": 14,
       "tracks": [[1001, 3, 1], [3, 3, 1]])") {
  const std::string single = R"({"length": 6000, "blocks": 2})";
  return R"({"number": 44, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
    "outside_right": ["В1", "В2", "В3", "В4", "В5"],
    "stations": [
      {"name": "Лесная", "mnem": "ЛЕС", "km": 0,
       "tracks": [[1001, 3, 2], [3, 3, 2], [2, 3, 3], [4, 3, 3]]},
      {"name": "Луговая", "mnem": "ЛУГ", "manip": "Луговая", "km": 7,
       "tracks": [[1001, 3, 1], [3, 3, 1]]},
      {"name": "Ключевая", "mnem": "КЛЮ", )" +
         klu + R"(},
      {"name": "Горная", "mnem": "ГОР", "km": 21,
       "tracks": [[1001, 3, 2], [2, 3, 3], [4, 3, 3], [6, 3, 1]]}
    ],
    "peregons": [)" +
         single + R"(, {"length": 6000, "blocks": 2, "double": true}, )" + single + R"(],
    "trains": [)" +
         trains + "]}";
}

/// Sets train i on block `block` (0 or 1) of graph peregon p, running to the peregon's end
/// `to`, standing (as at a red signal).
void StandOnBlock(AutoLine& line, int i, int p, int block, int to) {
  const TGraphPeregonData& per = line.Sim.AreaData.GraphPeregons[p];
  TTrainData& t = line.Sim.State.Trains[i];
  const int s = per.EndSection[block];
  for (TTrainEndPosData* end : {&t.HEAD, &t.TAIL}) {
    end->SECT_IDX = s;
    end->PEREGON_IDX = p;
    end->LP_CODE = 0;
    end->DIR = static_cast<std::uint8_t>(to);
  }
  // Ahead on the line, the nearer block to the end it runs to.
  t.LOCO_POS = (to == 1 ? 1 : -1) * 1000.0 * (block == to ? 2 : 1);
  MarkOccupied(line.Sim, i);
}

/// Train `number`, created now, runs from station `from` towards `to` on the block of the
/// peregon between them nearest to `to`, or on the one before it.
void Coming(AutoLine& line, int number, const std::string& from, const std::string& to,
            bool nearest = true) {
  const int p = PeregonBetween(line, from, to);
  ASSERT_GE(p, 0);
  const int end = line.Sim.AreaData.GraphPeregons[p].LP[1] - 1 == line.LP(to) ? 1 : 0;
  StandOnBlock(line, CreateTimetableTrain(line.Sim, number), p, nearest ? end : 1 - end, end);
}

/// Puts train `number` out at station `at` on track index k as if it had not been formed
/// there: the station it stands at is that one.
int StandAt(AutoLine& line, int number, std::string_view at, int k) {
  const int i = line.PutOut(number, at, k);
  TTrainData& t = line.Sim.State.Trains[i];
  t.HEAD.LP_CODE = t.TAIL.LP_CODE = line.Sim.AreaData.Puts[line.LP(at)].Code;
  return i;
}

/// The route of LP lp from section `from` to the throat onto graph peregon p, or from p's
/// throat to section `to` (the other one 0); -1 when none.
int ThroatRoute(const AutoLine& line, int lp, int from, int p, int to) {
  const int entry = EntryOnto(line, lp, p);
  const std::vector<TTrainRouteData>& routes = line.Sim.AreaData.TrainRoutes[lp].Routes;
  for (int r = 0; r < static_cast<int>(routes.size()); ++r)
    if ((from != 0 && routes[r].FirstSection == from && routes[r].LastSection == entry) ||
        (to != 0 && routes[r].FirstSection == entry && routes[r].LastSection == to))
      return r;
  return -1;
}

/// The double line of DoubleLine full towards КЛЮ: 2001 and 2003 stand on both its blocks,
/// КЛЮ's tracks hold 2002 and 2004 for ЛЕС, 2006 for ЛЕС stands on track 3 of ЛУГ and 2007
/// at ЛЕС is for ГОР; 2005, for ГОР too, is left to the test. Returns the index of 2003.
struct FullDoubleLine {
  AutoLine Line{DoubleLine(R"(
      {"number": 2001, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2003, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2005, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2007, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2002, "freight": true, "from": "Горная", "to": "Лесная", "depart": "10:00"},
      {"number": 2004, "freight": true, "from": "Горная", "to": "Лесная", "depart": "10:00"},
      {"number": 2006, "freight": true, "from": "Горная", "to": "Лесная", "depart": "10:00"})"),
                955};
  int Lug = Line.LP("ЛУГ");
  int Second = -1;  ///< 2003

  FullDoubleLine() {
    StandAt(2002, "КЛЮ", 0);
    StandAt(2004, "КЛЮ", 1);
    StandAt(2006, "ЛУГ", 1);
    Line.PutOut(2007, "ЛЕС", 0);
    const int klu = Line.LP("КЛЮ");
    // The line of the double peregon that runs to КЛЮ, and its end at ЛУГ.
    const TGraphPeregonsData& peregons = Line.Sim.AreaData.GraphPeregons;
    int p = -1, to = -1;
    for (int q = 0; q < static_cast<int>(peregons.size()) && p < 0; ++q)
      for (int e = 0; e < 2; ++e)
        if (peregons[q].LP[e] - 1 == klu && peregons[q].LP[e ^ 1] - 1 == Lug) {
          p = q;
          to = e;
        }
    if (p < 0) throw std::runtime_error("no double line");
    StandOnBlock(Line, CreateTimetableTrain(Line.Sim, 2001), p, to, to);
    Second = CreateTimetableTrain(Line.Sim, 2003);
    StandOnBlock(Line, Second, p, to ^ 1, to);
    Double = p;
  }

  /// Puts the train out where it was not formed: the station it stands at is this one.
  int StandAt(int number, std::string_view at, int k) {
    return traklin::test::StandAt(Line, number, at, k);
  }

  /// The route of ЛУГ from section `from` to the throat onto graph peregon p, or from p's
  /// throat to section `to` (the other one 0).
  int Route(int from, int p, int to) const { return ThroatRoute(Line, Lug, from, p, to); }

  int Double = -1;  ///< the graph peregon of the double line
};

TEST(SafetyCheckTest, TrainLetGoOntoADoubleLineFullItsWayStillHoldsItsTrack) {
  // At ЛУГ, 2005 for ГОР stands on track I with its way out set onto the full double line.
  FullDoubleLine full;
  AutoLine& line = full.Line;
  full.StandAt(2005, "ЛУГ", 0);
  const int out = full.Route(TrackSection(line.Sim.AreaData, full.Lug, 0), full.Double, 0);
  ASSERT_GE(out, 0);
  ASSERT_TRUE(OrderRoute(line.Sim, full.Lug, out));
  // 2005 cannot set out before 2001 and 2003 are in at КЛЮ, which waits for ЛУГ to take 2002
  // or 2004, and 2006 for ЛЕС to be let out. Sent now, 2007 would have no track at ЛУГ and
  // shut 2006 in: refused.
  EXPECT_FALSE(MaySend(line, 2007, "ЛЕС", "ЛУГ"));
  SafetyCheck check;
  EXPECT_EQ(check.TrainsLeft(line.Sim), 0);
  // With one block free the way 2005 goes, it is gone from its track as far as the check
  // sees, and 2007 may take that track.
  line.Sim.State.Trains.erase(line.Sim.State.Trains.begin() + full.Second);
  EXPECT_TRUE(MaySend(line, 2007, "ЛЕС", "ЛУГ"));
}

TEST(SafetyCheckTest,
     TrainLetGoOntoAFullDoubleLineHoldsATrackBeyondWhereTheStationTakesItInItself) {
  // КЛЮ acts by itself and has three tracks. 2001 and 2003 for ГОР fill the double line from
  // ЛУГ; 2005 for ГОР stands on track I of ЛУГ, its way out set onto that line. КЛЮ takes
  // each in as it comes, 2005 as soon as the line ahead of it clears: 2002 sent from ГОР now
  // would find no track at КЛЮ and shut 2001 and 2003 in there, so it is refused.
  AutoLine line(DoubleLine(R"(
      {"number": 2001, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2003, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2005, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2002, "freight": true, "from": "Горная", "to": "Лесная", "depart": "10:00"})",
                           R"("km": 14, "self_acting": true,
       "tracks": [[1001, 3, 1], [3, 3, 1], [5, 3, 1]])"),
                955);
  const TAreaData& area = line.Sim.AreaData;
  const int lug = line.LP("ЛУГ");
  const int p = PeregonBetween(line, "ЛУГ", "КЛЮ");
  ASSERT_GE(p, 0);
  Coming(line, 2001, "ЛУГ", "КЛЮ");
  Coming(line, 2003, "ЛУГ", "КЛЮ", false);
  StandAt(line, 2005, "ЛУГ", 0);
  line.PutOut(2002, "ГОР", 0);
  SafetyCheck check;
  EXPECT_EQ(check.TrainsLeft(line.Sim), 0);
  EXPECT_TRUE(MaySend(line, 2002, "ГОР", "КЛЮ"));

  // 2005's way out of track I onto the double line, ordered.
  const int way = ThroatRoute(line, lug, TrackSection(area, lug, 0), p, 0);
  ASSERT_GE(way, 0);
  ASSERT_TRUE(OrderRoute(line.Sim, lug, way));
  EXPECT_FALSE(MaySend(line, 2002, "ГОР", "КЛЮ"));
  SafetyCheck again;
  EXPECT_EQ(again.TrainsLeft(line.Sim), 0);
}

//   ЛЕС ---- ЛУГ ==== КЛЮ ---- ГОР ---- ДАЛ
//                    acts by itself
// Two tracks at ЛУГ, КЛЮ and ГОР, single lines but for ЛУГ–КЛЮ (`blocks` block sections);
// `third`, a third track at КЛЮ.
std::string BeyondTheDoubleLine(const std::string& trains, int blocks = 2,
                                const std::string& third = "") {
  const std::string single = R"({"length": 6000, "blocks": 2})";
  const std::string two = R"("tracks": [[1001, 3, 1], [3, 3, 1]])";
  const std::string klu =
      third.empty() ? two : R"("tracks": [[1001, 3, 1], [3, 3, 1], )" + third + "]";
  return R"({"number": 45, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
    "outside_right": ["В1", "В2", "В3", "В4", "В5"],
    "stations": [
      {"name": "Лесная", "mnem": "ЛЕС", "km": 0,
       "tracks": [[1001, 3, 2], [3, 3, 2], [2, 3, 3], [4, 3, 3]]},
      {"name": "Луговая", "mnem": "ЛУГ", "km": 7, )" +
         two + R"(},
      {"name": "Ключевая", "mnem": "КЛЮ", "km": 14, "self_acting": true, )" +
         klu + R"(},
      {"name": "Горная", "mnem": "ГОР", "km": 21, )" +
         two + R"(},
      {"name": "Дальняя", "mnem": "ДАЛ", "km": 28,
       "tracks": [[1001, 3, 2], [2, 3, 3], [4, 3, 3], [6, 3, 1]]}
    ],
    "peregons": [)" +
         single + R"(, {"length": 6000, "blocks": )" + std::to_string(blocks) +
         R"(, "double": true}, )" + single + ", " + single +
         R"(],
    "trains": [)" +
         trains + "]}";
}

TEST(SafetyCheckTest, StationTakingTrainsInByItselfGivesATrackFreedToTheTrainThatComesFirst) {
  // In every case 2004 for ЛЕС stands at ГОР, whose other track is free, and 2006 for ЛЕС, at
  // ДАЛ, would take that track: it is refused where that shuts two trains for ДАЛ in at КЛЮ.
  // - At КЛЮ 2001 stands for ДАЛ and 2002 for ЛЕС; 2003 for ДАЛ waits on the double line from
  //   ЛУГ. Once 2002 has gone, КЛЮ takes 2003 in on its track at once, and 2004 can get past
  //   only after 2001 has gone on to ГОР's free track.
  // - The double line has one block, and 2003 fills it; КЛЮ will take it in on its free track.
  //   2011 ends at КЛЮ on the other. 2005 for ДАЛ, at ЛУГ, let go onto the full line, sets out
  //   as soon as 2003 is in, and КЛЮ takes it in on 2011's track once that is gone. Not let go,
  //   it waits at ЛУГ, and 2004 and 2006 can get past it there.
  const std::string trains = R"(
      {"number": 2001, "freight": true, "from": "Лесная", "to": "Дальняя", "depart": "10:00"},
      {"number": 2003, "freight": true, "from": "Лесная", "to": "Дальняя", "depart": "10:00"},
      {"number": 2005, "freight": true, "from": "Лесная", "to": "Дальняя", "depart": "10:00"},
      {"number": 2011, "freight": true, "from": "Лесная", "to": "Ключевая", "depart": "10:00"},
      {"number": 2002, "freight": true, "from": "Дальняя", "to": "Лесная", "depart": "10:00"},
      {"number": 2004, "freight": true, "from": "Дальняя", "to": "Лесная", "depart": "10:00"},
      {"number": 2006, "freight": true, "from": "Дальняя", "to": "Лесная", "depart": "10:00"})";
  enum Case { Waits, NotThere, LetGo, NotLetGo };
  const struct {
    Case what;
    const char* name;
    bool allowed;
  } cases[] = {
      {Waits, "2003 waits at КЛЮ's signal", false},
      {NotThere, "2003 not there", true},
      {LetGo, "2005 let go behind 2003", false},
      {NotLetGo, "2005 not let go", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool behind = c.what == LetGo || c.what == NotLetGo;
    AutoLine line(BeyondTheDoubleLine(trains, behind ? 1 : 2), 955);
    if (behind) {
      StandAt(line, 2011, "КЛЮ", 0);
      StandAt(line, 2005, "ЛУГ", 0);
    } else {
      StandAt(line, 2001, "КЛЮ", 0);
      StandAt(line, 2002, "КЛЮ", 1);
    }
    StandAt(line, 2004, "ГОР", 0);
    if (c.what != NotThere) Coming(line, 2003, "ЛУГ", "КЛЮ");
    line.PutOut(2006, "ДАЛ", 0);
    if (c.what == LetGo) {
      // 2005's way out of track I of ЛУГ onto the double line, ordered.
      const int lug = line.LP("ЛУГ");
      const int p = PeregonBetween(line, "ЛУГ", "КЛЮ");
      ASSERT_GE(p, 0);
      const int way = ThroatRoute(line, lug, TrackSection(line.Sim.AreaData, lug, 0), p, 0);
      ASSERT_GE(way, 0);
      ASSERT_TRUE(OrderRoute(line.Sim, lug, way));
    }
    SafetyCheck check;
    EXPECT_EQ(check.TrainsLeft(line.Sim), 0);
    EXPECT_EQ(MaySend(line, 2006, "ДАЛ", "ГОР"), c.allowed);
  }
}

TEST(SafetyCheckTest, TrackTrainsFromBothSidesContendForAtAStationTakingThemInItselfMayGoToEither) {
  // 2001 for ДАЛ stands on one track of КЛЮ; 2003 for ДАЛ comes on the double line from ЛУГ,
  // 2002 for ЛЕС on the single line from ГОР, and КЛЮ gives its other track to the one that
  // comes first. 2003 first: 2002 waits on the single line, and 2001 and 2003 can never leave
  // for ГОР. The check sees trains left over; without 2001 or 2003, none.
  const std::string trains = R"(
      {"number": 2001, "freight": true, "from": "Лесная", "to": "Дальняя", "depart": "10:00"},
      {"number": 2003, "freight": true, "from": "Лесная", "to": "Дальняя", "depart": "10:00"},
      {"number": 2002, "freight": true, "from": "Дальняя", "to": "Лесная", "depart": "10:00"})";
  for (const char* absent : {"", "2001", "2003"}) {
    SCOPED_TRACE(*absent ? std::string("without ") + absent : "all three");
    AutoLine line(BeyondTheDoubleLine(trains), 955);
    if (std::string(absent) != "2001") StandAt(line, 2001, "КЛЮ", 0);
    if (std::string(absent) != "2003") Coming(line, 2003, "ЛУГ", "КЛЮ");
    Coming(line, 2002, "ГОР", "КЛЮ");
    SafetyCheck check;
    EXPECT_EQ(check.TrainsLeft(line.Sim) > 0, *absent == 0);
  }
}

TEST(SafetyCheckTest, TrackFreedWhereTrainsWaitOnBothSidesMayGoToEitherOfThem) {
  // 2001 for ДАЛ stands on КЛЮ's track 3, 2011 ends on its track I. 2003 for ДАЛ waits on the
  // double line from ЛУГ, 2002 for ЛЕС on the single line from ГОР. When 2011 is gone, КЛЮ
  // takes one of them in: 2002, and the line moves on; 2003, and 2001 and 2003 can never leave
  // past 2002. The check sees trains left over, whichever of 2002 and 2003 it finds first;
  // without 2001, none.
  const std::string trains = R"(
      {"number": 2001, "freight": true, "from": "Лесная", "to": "Дальняя", "depart": "10:00"},
      {"number": 2003, "freight": true, "from": "Лесная", "to": "Дальняя", "depart": "10:00"},
      {"number": 2011, "freight": true, "from": "Лесная", "to": "Ключевая", "depart": "10:00"},
      {"number": 2002, "freight": true, "from": "Дальняя", "to": "Лесная", "depart": "10:00"})";
  const struct {
    const char* name;
    bool eastFirst, with2001;
  } cases[] = {
      {"2003 found first", true, true},
      {"2002 found first", false, true},
      {"without 2001", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AutoLine line(BeyondTheDoubleLine(trains), 955);
    StandAt(line, 2011, "КЛЮ", 0);
    if (c.with2001) StandAt(line, 2001, "КЛЮ", 1);
    if (c.eastFirst) Coming(line, 2003, "ЛУГ", "КЛЮ");
    Coming(line, 2002, "ГОР", "КЛЮ");
    if (!c.eastFirst) Coming(line, 2003, "ЛУГ", "КЛЮ");
    SafetyCheck check;
    EXPECT_EQ(check.TrainsLeft(line.Sim) > 0, c.with2001);
  }
}

TEST(SafetyCheckTest, TrainComingInThatHoldsATrackMayBeGivenTheOneAnotherNeedsInstead) {
  // КЛЮ has a third track, 5, for passenger trains only; 2011 ends on track 3. Passenger 801
  // and freight 2003 for ДАЛ come in on the double line from ЛУГ, 801 ahead: 2003 can only have
  // track I, and 801 can have I or 5. КЛЮ may give 801 track I: then 2003 waits for track 3,
  // takes it once 2011 is gone, and with 2002 and 2004 for ЛЕС on both tracks of ГОР nothing
  // can move again. With one of them at ГОР, it can.
  const std::string trains = R"(
      {"number": 801, "from": "Лесная", "to": "Дальняя", "depart": "10:00"},
      {"number": 2003, "freight": true, "from": "Лесная", "to": "Дальняя", "depart": "10:00"},
      {"number": 2011, "freight": true, "from": "Лесная", "to": "Ключевая", "depart": "10:00"},
      {"number": 2002, "freight": true, "from": "Дальняя", "to": "Лесная", "depart": "10:00"},
      {"number": 2004, "freight": true, "from": "Дальняя", "to": "Лесная", "depart": "10:00"})";
  for (const bool full : {true, false}) {
    SCOPED_TRACE(full ? "ГОР full" : "a track free at ГОР");
    AutoLine line(BeyondTheDoubleLine(trains, 2, "[5, 2, 1]"), 955);
    StandAt(line, 2011, "КЛЮ", 1);
    StandAt(line, 2002, "ГОР", 0);
    if (full) StandAt(line, 2004, "ГОР", 1);
    Coming(line, 801, "ЛУГ", "КЛЮ");
    Coming(line, 2003, "ЛУГ", "КЛЮ", false);
    SafetyCheck check;
    EXPECT_EQ(check.TrainsLeft(line.Sim) > 0, full);
  }
}

TEST(SafetyCheckTest, TrainComingInToGoOnOntoADoubleLineFullHoldsTheTrackItComesInOn) {
  // 2005 for ГОР is coming in at ЛУГ from ЛЕС, its head in the throat and its tail still on
  // the line, on its way in to track I; its way out of I onto the full double line is
  // ordered. It will have to stop on I: 2007 sent from ЛЕС now would find no track there.
  FullDoubleLine full;
  AutoLine& line = full.Line;
  const TAreaData& area = line.Sim.AreaData;
  const int fromLes = PeregonBetween(line, "ЛЕС", "ЛУГ");
  const int track = TrackSection(area, full.Lug, 0);
  const int in = full.Route(0, fromLes, track);
  ASSERT_GE(in, 0);
  ASSERT_TRUE(OrderRoute(line.Sim, full.Lug, in));
  for (int n = 0; n < 20 && !line.Sim.State.Routes[full.Lug][in].SCHUNTED; ++n)
    UpdateRoutes(line.Sim);
  ASSERT_TRUE(line.Sim.State.Routes[full.Lug][in].SCHUNTED);

  const TTrainRouteData& route = area.TrainRoutes[full.Lug].Routes[in];
  int sections = 0;
  while (sections < kMaxRouteSections && route.Sections[sections] != 0) ++sections;
  ASSERT_GE(sections, 2);
  const int i = CreateTimetableTrain(line.Sim, 2005);
  TTrainData& t = line.Sim.State.Trains[i];
  const TGraphPeregonData& per = area.GraphPeregons[fromLes];
  const int end = per.LP[1] - 1 == full.Lug ? 1 : 0;
  t.HEAD.SECT_IDX = route.Sections[sections - 2];
  t.HEAD.LP_CODE = area.Puts[full.Lug].Code;
  t.HEAD.PEREGON_IDX = -1;
  t.HEAD.DIR = static_cast<std::uint8_t>(RouteDirection(route));
  t.HEAD.ROUTE_IDX = in;
  t.TAIL.SECT_IDX = per.EndSection[end];
  t.TAIL.LP_CODE = 0;
  t.TAIL.PEREGON_IDX = fromLes;
  t.TAIL.DIR = static_cast<std::uint8_t>(end);
  t.SPEED = 5;
  MarkOccupied(line.Sim, i);

  // ЛУГ means to send it on from track I: a send task through the throat onto the double line.
  int send = -1;
  for (int g = 0; g < static_cast<int>(area.GorlStanzs.size()); ++g) {
    const ThroatView v = ThroatViewOf(line.Sim, g);
    if (v.Valid && v.LP == full.Lug && v.Peregon == full.Double) send = g;
  }
  ASSERT_GE(send, 0);
  TGorlTaskData& task = line.Sim.State.Gorls[send];
  task.TASKED = line.Sim.State.ClockTime;
  task.SEND = true;
  task.TRANSIT = false;
  task.TRACK = 0;
  EXPECT_FALSE(MaySend(line, 2007, "ЛЕС", "ЛУГ"));
  SafetyCheck check;
  EXPECT_EQ(check.TrainsLeft(line.Sim), 0);
  // With a block free, it runs on through ЛУГ, and track I is 2007's. (2005 comes after 2003
  // in the list: its section names it by its new place.)
  line.Sim.State.Trains.erase(line.Sim.State.Trains.begin() + full.Second);
  MarkOccupied(line.Sim, line.Train(2005));
  EXPECT_TRUE(MaySend(line, 2007, "ЛЕС", "ЛУГ"));
}

TEST(SafetyCheckTest, StationChoosingItsOwnTracksKeepsNoPromiseATrainComingTheOtherWayCouldTake) {
  // РАЗ acts by itself and takes trains in on the track it chooses: I, for any train, or 3,
  // for freight trains only. Passenger train 801 runs towards it from ЛЕС, promised I.
  // Freight train 2002 sent from ГОР now could be given I, and 801 would find no track.
  // With a second track for any train, either could take either.
  for (const bool freightLoop : {true, false}) {
    SCOPED_TRACE(freightLoop);
    AutoLine line(Line(freightLoop ? "[1001, 3, 1], [3, 1, 1]" : kLoop, R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2002, "freight": true, "from": "Горная", "to": "Лесная", "depart": "10:30"})",
                       R"("self_acting": true)"),
                  950);
    line.PutOut(801, "ЛЕС", 0);
    line.PutOut(2002, "ГОР", 0);
    ASSERT_TRUE(line.RunUntil(30, [&] { return OnLine(line, 801); }));
    EXPECT_EQ(MaySend(line, 2002, "ГОР", "РАЗ"), !freightLoop);
    line.RunFor(120);
    ExpectNoFault(line);
    Ops removed = line.Removed;
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (Ops{"2002 ЛЕС", "801 ГОР"}));
  }
}

TEST(SafetyCheckTest,
     TrainOnItsWayInGivesUpTheOnlyTrackAFreightTrainCanPassOnForAnotherThatSuitsIt) {
  // РАЗ has track I for any train and 3 for passenger trains only. Passenger train 801 runs
  // towards it from ЛЕС for ГОР, no track given to it yet; ГОР's four tracks hold freight
  // trains for ЛЕС, each of which can pass РАЗ on I only. 801 can finish only once one of
  // them has left ГОР, and that one only if 801 takes 3: then every train finishes.
  for (const std::string& kind : {kKinds[0], kKinds[1]}) {
    SCOPED_TRACE(kind);
    AutoLine line(Line("[1001, 3, 1], [3, 2, 1]", R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2002, "freight": true, "from": "Горная", "to": "Лесная", "depart": "12:00"},
      {"number": 2004, "freight": true, "from": "Горная", "to": "Лесная", "depart": "12:00"},
      {"number": 2006, "freight": true, "from": "Горная", "to": "Лесная", "depart": "12:00"},
      {"number": 2008, "freight": true, "from": "Горная", "to": "Лесная", "depart": "12:00"})",
                       kind),
                  950);
    for (int k = 0; k < 4; ++k) line.PutOut(2002 + 2 * k, "ГОР", k);
    Coming(line, 801, "ЛЕС", "РАЗ");
    SafetyCheck check;
    EXPECT_EQ(check.TrainsLeft(line.Sim), 0);
  }
}

/// Freight trains for Line(): odd numbers run from ЛЕС to ГОР, even ones back.
std::string FreightTrains(std::initializer_list<int> numbers) {
  std::string out;
  for (const int n : numbers)
    out += std::string(out.empty() ? "" : ", ") + R"({"number": )" + std::to_string(n) +
           (n % 2 ? R"(, "freight": true, "from": "Лесная", "to": "Горная")"
                  : R"(, "freight": true, "from": "Горная", "to": "Лесная")") +
           R"(, "depart": "10:00"})";
  return out;
}

/// Train `number` stands on РАЗ's track I as a train that has come in there.
void StandingInTheMiddle(AutoLine& line, int number) {
  TTrainData& standing = line.Sim.State.Trains[line.PutOut(number, "РАЗ", 0)];
  standing.HEAD.LP_CODE = standing.TAIL.LP_CODE = line.Sim.AreaData.Puts[line.LP("РАЗ")].Code;
}

/// Whether a fresh check brings every train of the line to its end.
bool AllFinish(AutoLine& line) {
  SafetyCheck check;
  return check.TrainsLeft(line.Sim) == 0;
}

TEST(SafetyCheckTest,
     StationChoosingItsOwnTracksKeepsTheTrackTwoTrainsComingInContendForFromOthers) {
  // Double lines on both sides of РАЗ, which acts by itself. Freight train 2001 for ГОР stands
  // on its track I; ГОР's four tracks hold 2002 to 2008 for ЛЕС. 2003 runs towards РАЗ from ЛЕС
  // for ГОР, 2010 from ГОР for ЛЕС, and РАЗ takes whichever it chooses onto its free track 3.
  // If it takes 2003, both of its tracks hold trains for ГОР, which has no track until a train
  // for ЛЕС has passed РАЗ: nothing can move again. So the check must not count on track 3 for
  // 2010 or the trains at ГОР. With a third track at РАЗ, either choice leaves one free.
  const std::string twoDouble = R"({"length": 6000, "blocks": 2, "double": true})";
  const std::string trains = FreightTrains({2001, 2003, 2002, 2004, 2006, 2008, 2010});
  for (const bool third : {false, true}) {
    SCOPED_TRACE(third);
    AutoLine line(
        Line(third ? kLoop + ", [5, 3, 1]" : kLoop, trains, R"("self_acting": true)", twoDouble),
        950);
    StandingInTheMiddle(line, 2001);
    for (int k = 0; k < 4; ++k) line.PutOut(2002 + 2 * k, "ГОР", k);
    Coming(line, 2003, "ЛЕС", "РАЗ", true);
    Coming(line, 2010, "ГОР", "РАЗ", true);
    EXPECT_EQ(AllFinish(line), third);
  }
}

TEST(SafetyCheckTest, StationChoosingItsOwnTracksMayLeaveFreeTheOneNoTrainWaitingCanUse) {
  // A double line from ЛЕС to РАЗ, which acts by itself, and a single line on to ГОР, whose four
  // tracks hold freight trains 2002 to 2008 for ЛЕС. Freight train 2001 and passenger train
  // 801 run towards РАЗ for ГОР. Of РАЗ's three free tracks, I takes any train,
  // 3 freight trains only and 5 passenger trains only. Given I and 5, the two leave 3 free for
  // the freight trains from ГОР; but РАЗ may give I to 801 and 3 to 2001: then nothing can move
  // again. Where all three take any train, it does not matter which one is left free.
  const std::string trains =
      R"({"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"}, )" +
      FreightTrains({2001, 2002, 2004, 2006, 2008});
  for (const bool alike : {false, true}) {
    SCOPED_TRACE(alike);
    AutoLine line(
        Line(alike ? "[1001, 3, 1], [3, 3, 1], [5, 3, 1]" : "[1001, 3, 1], [3, 1, 1], [5, 2, 1]",
             trains, R"("self_acting": true)", R"({"length": 6000, "blocks": 2, "double": true})",
             R"({"length": 6000, "blocks": 2})"),
        950);
    for (int k = 0; k < 4; ++k) line.PutOut(2002 + 2 * k, "ГОР", k);
    Coming(line, 2001, "ЛЕС", "РАЗ", false);
    Coming(line, 801, "ЛЕС", "РАЗ", true);
    EXPECT_EQ(AllFinish(line), alike);
  }
}

TEST(SafetyCheckTest, TrackTwoTrainsComingInContendForIsCountedAsGivenToEitherOfThem) {
  // A double line from ЛЕС to РАЗ, which acts by itself, and a single line on to ГОР. Freight
  // train 2001 for ГОР stands on РАЗ's track I; passenger trains 801 and 803 for ГОР run towards
  // РАЗ, whose track 3 either may be given. 802 and 804 for ЛЕС stand at ГОР, whose free track
  // 4 takes freight trains only, or (`any`) any train. Whichever of 801 and 803 stands on track
  // 3, РАЗ sends it before 2001, and it finds no track at ГОР; nor can 802 or 804 come to РАЗ:
  // nothing can move again. Where ГОР's track 4 takes any train, the passenger train ends there
  // and the line moves on.
  for (const bool any : {false, true}) {
    SCOPED_TRACE(any);
    AutoLine line(std::string(R"({"number": 46, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
          "outside_right": ["В1", "В2", "В3", "В4", "В5"],
          "stations": [
            {"name": "Лесная", "mnem": "ЛЕС", "km": 0,
             "tracks": [[1001, 3, 2], [3, 3, 2], [2, 3, 3], [4, 3, 3]]},
            {"name": "Разъезд", "mnem": "РАЗ", "self_acting": true, "km": 7,
             "tracks": [[1001, 3, 1], [3, 3, 1]]},
            {"name": "Горная", "mnem": "ГОР", "km": 14,
             "tracks": [[1001, 3, 2], [2, 3, 3], [4, )") +
                      (any ? "3" : "1") + R"(, 3]]}
          ],
          "peregons": [{"length": 6000, "blocks": 2, "double": true},
                       {"length": 6000, "blocks": 2}],
          "trains": [
            {"number": 2001, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00"},
            {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
            {"number": 803, "from": "Лесная", "to": "Горная", "depart": "10:00"},
            {"number": 802, "from": "Горная", "to": "Лесная", "depart": "10:00"},
            {"number": 804, "from": "Горная", "to": "Лесная", "depart": "10:00"}]})",
                  950);
    StandingInTheMiddle(line, 2001);
    line.PutOut(802, "ГОР", 0);
    line.PutOut(804, "ГОР", 1);
    Coming(line, 801, "ЛЕС", "РАЗ", true);
    Coming(line, 803, "ЛЕС", "РАЗ", false);
    EXPECT_EQ(AllFinish(line), any);
  }
}

TEST(SafetyCheckTest, TrainLeavingOneStationWithItsWayThroughTheNextSetRunsBeyondBoth) {
  // Peregons of 3 km, one block each. 801 sets out from ЛЕС, its head on the line and its tail
  // still on track I; РАЗ has set its way through for it, in onto I and out towards ГОР. 802 at
  // ГОР would meet 801 on the line between РАЗ and ГОР: refused. (Seen as stopping at РАЗ,
  // 801 would have left 802 the loop's other track.)
  AutoLine line(Line(kLoop, R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 802, "from": "Горная", "to": "Лесная", "depart": "10:00"})",
                     kKinds[0], R"({"length": 3000, "blocks": 1})"),
                955);
  const TAreaData& area = line.Sim.AreaData;
  const int les = line.LP("ЛЕС"), raz = line.LP("РАЗ");
  const int first = PeregonBetween(line, "ЛЕС", "РАЗ");
  const int i = line.PutOut(801, "ЛЕС", 0);
  line.PutOut(802, "ГОР", 0);
  EXPECT_TRUE(MaySend(line, 802, "ГОР", "РАЗ"));

  const TGraphPeregonData& per = area.GraphPeregons[first];
  const int to = per.LP[1] - 1 == raz ? 1 : 0;
  const int out = RouteThrough(line, les, to, TrackSection(area, les, 0), 0);
  const int trackI = TrackSection(area, raz, 0);
  const int in = RouteThrough(line, raz, to, 0, trackI);
  const int on = RouteThrough(line, raz, to, trackI, 0);
  ASSERT_GE(out, 0);
  ASSERT_GE(in, 0);
  ASSERT_GE(on, 0);
  SetRoute(line, les, out);
  SetRoute(line, raz, in);
  SetRoute(line, raz, on);
  // Its head on the block, running to РАЗ; its tail where it stood.
  TTrainData& t = line.Sim.State.Trains[i];
  t.HEAD.SECT_IDX = per.EndSection[to ^ 1];
  t.HEAD.LP_CODE = 0;
  t.HEAD.PEREGON_IDX = first;
  t.HEAD.DIR = static_cast<std::uint8_t>(to);
  t.HEAD.SECT_POS = to == 1 ? 100 : SectionLength(line.Sim, t.HEAD.SECT_IDX) - 100;
  t.SPEED = 5;
  MarkOccupied(line.Sim, i);
  EXPECT_FALSE(MaySend(line, 802, "ГОР", "РАЗ"));
  SafetyCheck check;
  EXPECT_EQ(check.TrainsLeft(line.Sim), 0);
}

TEST(SafetyCheckTest, TrainComingInThroughTheThroatOfAWayOutOrderedTheOtherWayStillComesIn) {
  // A double line from ЛЕС to РАЗ, a single one on to ГОР; РАЗ's track 3 takes freight trains
  // only. A way out from 3 towards ЛЕС is ordered, waiting for the throat that 801, coming in
  // from ЛЕС onto track I on its way to ГОР, is passing. 801 is no train of that way out: it
  // holds I, and passenger train 802 sent from ГОР now would find no track at РАЗ and stand on
  // the single line in front of 801. (Taken for the train of the way out, 801 was seen running
  // back to ЛЕС, leaving I to 802.)
  AutoLine line(Line("[1001, 3, 1], [3, 1, 1]", R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 802, "from": "Горная", "to": "Лесная", "depart": "10:00"})",
                     kKinds[1], R"({"length": 6000, "blocks": 2, "double": true})",
                     R"({"length": 6000, "blocks": 2})"),
                955);
  const TAreaData& area = line.Sim.AreaData;
  const int raz = line.LP("РАЗ");
  const int first = PeregonBetween(line, "ЛЕС", "РАЗ");
  ASSERT_GE(first, 0);
  const int east = area.GraphPeregons[first].LP[1] - 1 == raz ? 1 : 0;
  const int in = RouteThrough(line, raz, east, 0, TrackSection(area, raz, 0));
  const int out = RouteThrough(line, raz, east ^ 1, TrackSection(area, raz, 1), 0);
  ASSERT_GE(in, 0);
  ASSERT_GE(out, 0);
  // A section of the throat that both ways pass.
  const TTrainRouteData& a = area.TrainRoutes[raz].Routes[in];
  const TTrainRouteData& b = area.TrainRoutes[raz].Routes[out];
  int shared = 0;
  for (int n = 0; n < kMaxRouteSections && a.Sections[n] != 0 && shared == 0; ++n)
    for (int m = 1; m < kMaxRouteSections && b.Sections[m] != 0; ++m)
      if (a.Sections[n] == b.Sections[m]) shared = a.Sections[n];
  ASSERT_NE(shared, 0);
  line.PutOut(802, "ГОР", 0);
  SetRoute(line, raz, in);
  line.Sim.State.Routes[raz][out].TASKED = 1;
  // 801: its tail on the double line's block at РАЗ, its head in the throat on its way in.
  const int i = CreateTimetableTrain(line.Sim, 801);
  StandOnBlock(line, i, first, east, east);
  TTrainData& t = line.Sim.State.Trains[i];
  t.HEAD.SECT_IDX = shared;
  t.HEAD.PEREGON_IDX = -1;
  t.HEAD.LP_CODE = area.Puts[raz].Code;
  t.HEAD.ROUTE_IDX = in;
  t.HEAD.SECT_POS = 10;
  t.SPEED = 5;
  MarkOccupied(line.Sim, i);
  EXPECT_FALSE(MaySend(line, 802, "ГОР", "РАЗ"));
}

TEST(SafetyCheckTest, TrainStillRollingInOnTheTrackOfASendTaskCountsAsLetGo) {
  // РАЗ acts by itself and has a send task towards ГОР for track I, where 801 for ГОР has come
  // in: standing, or still rolling to its stop with its way in released behind it. Either way
  // it is let go, and 802 at ГОР may not leave towards it. Without the task 802 may, to cross
  // 801 on track 3.
  for (const double speed : {0.0, 15.0}) {
    for (const bool task : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "speed " << speed << ", task " << task);
      AutoLine line(Line(kLoop, R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 802, "from": "Горная", "to": "Лесная", "depart": "10:00"})",
                         kKinds[2]),
                    950);
      const int raz = line.LP("РАЗ");
      TTrainData& t = line.Sim.State.Trains[line.PutOut(801, "РАЗ", 0)];
      t.HEAD.LP_CODE = t.TAIL.LP_CODE = line.Sim.AreaData.Puts[raz].Code;
      t.SPEED = speed;
      line.PutOut(802, "ГОР", 0);
      const int toGor = PeregonBetween(line, "РАЗ", "ГОР");
      for (int g = 0; task && g < static_cast<int>(line.Sim.AreaData.GorlStanzs.size()); ++g) {
        const ThroatView v = ThroatViewOf(line.Sim, g);
        if (!v.Valid || v.LP != raz || v.Peregon != toGor) continue;
        TGorlTaskData& out = line.Sim.State.Gorls[g];
        out.TASKED = line.Sim.State.ClockTime;
        out.SEND = true;
        out.TRANSIT = false;
        out.TRACK = 0;
      }
      EXPECT_EQ(MaySend(line, 802, "ГОР", "РАЗ"), !task);
    }
  }
}

/// Line() with its two end stations acting by themselves and sending without asking.
std::string LineOfEndsSendingWithoutAsking(const std::string& middle, const std::string& trains) {
  std::string text = Line(middle, trains);
  for (const std::string mnem : {R"("mnem": "ЛЕС",)", R"("mnem": "ГОР",)"})
    text.replace(text.find(mnem), mnem.size(),
                 mnem + R"( "self_acting": true, "send_without_asking": 1,)");
  return text;
}

TEST(SafetyCheckTest,
     TrainsAtStationsThatSendWithoutAskingHoldNoTrackBeyondOnceTheDispatcherWorksThem) {
  // ЛЕС and ГОР send without asking, and РАЗ between them has a single track. Left to
  // themselves they let 2001 go towards РАЗ, and 2002 the other way, as soon as they are due,
  // so each counts as holding РАЗ's track or waiting for it on the line: the check finds the
  // line locked. Worked by the automatic dispatcher, they let nothing go without its leave:
  // both can finish, either may go first, and the line runs them both.
  const std::string trains = R"(
      {"number": 2001, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2002, "freight": true, "from": "Горная", "to": "Лесная", "depart": "10:00"})";
  for (const bool worked : {false, true}) {
    SCOPED_TRACE(worked ? "worked" : "left to themselves");
    AutoLine line(LineOfEndsSendingWithoutAsking(kSingleTrack, trains), 950);
    line.PutOut(2001, "ЛЕС", 0);
    line.PutOut(2002, "ГОР", 0);
    SafetyCheck check;
    if (worked) check.Works(line.Sim.State.AutoLPs);
    EXPECT_EQ(check.TrainsLeft(line.Sim), worked ? 0 : 2);
    if (!worked) continue;
    SafetyMove move;
    move.What = SafetyMove::Depart;
    move.Train = line.Train(2002);
    move.LP = line.LP("ГОР");
    move.Peregon = PeregonBetween(line, "ГОР", "РАЗ");
    EXPECT_TRUE(check.Allows(line.Sim, move));
    line.RunFor(120);
    ExpectNoFault(line);
    EXPECT_EQ(line.Removed.size(), 2u) << ::testing::PrintToString(line.Visits);
  }
}

/// A check kept from look to look, as the automatic dispatcher keeps its own: each question
/// comes after the step's refresh.
struct KeptCheck {
  SafetyCheck Check;
  bool MaySend(AutoLine& line, int number, const std::string& from, const std::string& to) {
    Check.Refresh();
    return Check.Allows(line.Sim, Departure(line, number, from, to));
  }
};

/// РАЗ with a single track; 801 stands on ЛЕС's track I for ГОР, 802 on ГОР's for ЛЕС.
struct SingleTrackMeeting {
  AutoLine Line{::traklin::test::Line(kSingleTrack, Trains({801, 802})), 950};
  int Les = Line.LP("ЛЕС");
  /// ЛЕС's way out from track I towards РАЗ.
  int WayOut = -1;
  SingleTrackMeeting() {
    Line.PutOut(801, "ЛЕС", 0);
    Line.PutOut(802, "ГОР", 0);
    const TAreaData& area = Line.Sim.AreaData;
    const TGraphPeregonData& per = area.GraphPeregons[PeregonBetween(Line, "ЛЕС", "РАЗ")];
    const int to = per.LP[1] - 1 == Line.LP("РАЗ") ? 1 : 0;
    WayOut = RouteThrough(Line, Les, to, TrackSection(area, Les, 0), 0);
  }
};

TEST(SafetyCheckTest, KeptCheckSeesAWayOutOrderedSinceItsLastLookAtTheLine) {
  // Until ЛЕС orders 801's way out, 802 may leave ГОР for РАЗ's only track, on every look
  // (the second finds nothing changed). Once the way is ordered, 801 counts as on its way
  // there too, and 802 is held.
  SingleTrackMeeting m;
  ASSERT_GE(m.WayOut, 0);
  KeptCheck kept;
  EXPECT_TRUE(kept.MaySend(m.Line, 802, "ГОР", "РАЗ"));
  EXPECT_TRUE(kept.MaySend(m.Line, 802, "ГОР", "РАЗ"));
  ASSERT_TRUE(OrderRoute(m.Line.Sim, m.Les, m.WayOut));
  EXPECT_FALSE(kept.MaySend(m.Line, 802, "ГОР", "РАЗ"));
}

TEST(SafetyCheckTest, WayOutOrderedBehindTheInterlockingsBackIsNamedInCheckMode) {
  SingleTrackMeeting m;
  ASSERT_GE(m.WayOut, 0);
  m.Line.Sim.Changes.Check = true;
  KeptCheck kept;
  EXPECT_TRUE(kept.MaySend(m.Line, 802, "ГОР", "РАЗ"));
  // The route's record changed in place: the interlocking's count of changes does not see it.
  m.Line.Sim.State.Routes[m.Les][m.WayOut].TASKED = m.Line.Sim.State.ClockTime;
  try {
    kept.MaySend(m.Line, 802, "ГОР", "РАЗ");
    FAIL() << "the change was not found";
  } catch (const CheckMismatch& e) {
    EXPECT_STREQ(e.what(),
                 "incremental check: the safety check's look at the line differs from the last "
                 "one, though nothing it reads has changed");
  }
  // Told of it, the check looks again and holds 802.
  ForgetStepChanges(m.Line.Sim);
  EXPECT_FALSE(kept.MaySend(m.Line, 802, "ГОР", "РАЗ"));
}

TEST(SafetyCheckTest, KeptCheckSeesATrainRunUpToTheApproachLimitOfAStationWithATaskForIt) {
  // РАЗ, asking the dispatcher, has a task to take in a train from ЛЕС, and 801 runs on the block
  // before РАЗ's entry. As its head passes the approach limit, nothing the interlocking counts
  // changes, yet the task is for 801 from then on. Check mode compares each look with a fresh one.
  AutoLine line(Line(kSingleTrack, Trains({801, 802}), kKinds[1]), 950);
  Simulation& sim = line.Sim;
  const TAreaData& area = sim.AreaData;
  const int les = line.LP("ЛЕС"), raz = line.LP("РАЗ");
  const int i = line.PutOut(801, "ЛЕС", 0);
  line.PutOut(802, "ГОР", 0);
  const int p = PeregonBetween(line, "ЛЕС", "РАЗ");
  int g = 0;
  while (g < static_cast<int>(area.GorlStanzs.size()) &&
         (ThroatViewOf(sim, g).LP != raz || ThroatViewOf(sim, g).Peregon != p))
    ++g;
  ASSERT_LT(g, static_cast<int>(area.GorlStanzs.size()));
  const ThroatView v = ThroatViewOf(sim, g);
  int half = 0;
  const int outer = ApproachOuterSection(area, v.Entry, v.Arrival, half);
  ASSERT_GT(outer, 0);
  ReleaseSectionAt(sim, TrackSection(area, les, 0));
  TTrainData& t = sim.State.Trains[i];
  for (TTrainEndPosData* end : {&t.HEAD, &t.TAIL}) {
    end->SECT_IDX = outer;
    end->PEREGON_IDX = p;
    end->LP_CODE = 0;
    end->DIR = static_cast<std::uint8_t>(half);
  }
  t.SPEED = 10;
  MarkOccupied(sim, i);
  TGorlTaskData& task = sim.State.Gorls[g];
  task.TASKED = sim.State.ClockTime;
  task.SEND = false;
  task.TRACK = 0;
  sim.Changes.Check = true;
  const int length = SectionLength(sim, outer);
  const int room = kApproachLimit - SectionLength(sim, v.Entry);
  ASSERT_GT(room, 1);
  ASSERT_LT(room, length - 1);
  KeptCheck kept;
  for (const int beyond : {1, -1}) {
    SCOPED_TRACE(beyond > 0 ? "beyond the limit" : "within it");
    t.HEAD.SECT_POS = half == 1 ? room + beyond : length - room - beyond;
    EXPECT_EQ(ApproachingTrain(sim, v.Entry, v.Arrival), beyond > 0 ? -1 : i);
    EXPECT_NO_THROW(kept.MaySend(line, 802, "ГОР", "РАЗ"));
  }
}

}  // namespace
}  // namespace traklin::test
