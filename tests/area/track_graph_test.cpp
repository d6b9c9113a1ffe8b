// Walks over the track graph, section lamps, positions and throats.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "area/area_queries.h"
#include "query_districts.h"

namespace traklin {
namespace {

using test::AddLP;
using test::AddSignal;
using test::AddSwitch;
using test::Line;
using test::LinkFlip;
using test::MakeArea;
using test::Track;

// even <-                                          -> odd
//   [1]----[2]----[3]==sw1==[4]----[5]
//   E sig          \                 O sig
//                   +--------[6]
// Switch 1 stands at the odd end of section 3 (facing for odd moves).
TAreaData FacingSwitchDistrict() {
  TAreaData area = MakeArea(6);
  Line(area, {1, 2, 3, 4, 5});
  AddSwitch(area, 1, 3, kOdd, 6);
  AddSignal(area, 5, kOdd);
  AddSignal(area, 1, kEven);
  return area;
}

TEST(FindSemaphoreAhead, StopsAtFacingSwitchEvenWithSignalBeyond) {
  const TAreaData area = FacingSwitchDistrict();
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 1), -1);
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 3), -1);
}

TEST(FindSemaphoreAhead, FindsSignalPastTheSwitchFromBeyondIt) {
  const TAreaData area = FacingSwitchDistrict();
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 4), 0);
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 5), 0);
}

TEST(FindSemaphoreAhead, PassesTrailingSwitch) {
  const TAreaData area = FacingSwitchDistrict();
  EXPECT_EQ(FindSemaphoreAhead(area, kEven, 5), 1);
  EXPECT_EQ(FindSemaphoreAhead(area, kEven, 6), 1);  // in over the side branch
}

TEST(FindSemaphoreAhead, EndOfTrackGivesNone) {
  TAreaData area = MakeArea(3);
  Line(area, {1, 2, 3});
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 1), -1);
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 0), -1);
}

// [1]--[2]--[3]--[4]--+
//  ^                  |
//  +------------------+   a ring with no signals
TEST(FindSemaphoreAhead, RingWithoutSignalsEnds) {
  TAreaData area = MakeArea(4);
  Line(area, {1, 2, 3, 4, 1});
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 1), -1);
  EXPECT_EQ(FindSemaphoreAhead(area, kEven, 3), -1);
}

TEST(FindSemaphoreAhead, NeighbourBeyondSectionTableEnds) {
  TAreaData area = MakeArea(2);
  area.SlSects[1].Straight[kOdd] = 77;
  area.SlSects[2].Semaphore[kOdd] = 5;  // no such signal
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 1), -1);
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 2), -1);
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 99), -1);
}

// even <-                         -> odd
//   [1]----[2]>< [3]----[4]
//   Sections 2 and 3 meet with their odd ends: moving odd from 2 continues even from 3.
TAreaData FlipDistrict() {
  TAreaData area = MakeArea(4);
  Line(area, {1, 2});
  LinkFlip(area, 2, 3, kOdd);
  area.SlSects[3].Straight[kEven] = 4;
  area.SlSects[4].Straight[kOdd] = 3;
  return area;
}

TEST(NextSection, StraightOverFlipInvertsDirection) {
  const TAreaData area = FlipDistrict();
  int dir = kOdd;
  EXPECT_EQ(NextSection(area, dir, 2, false), 3);
  EXPECT_EQ(dir, kEven);
  EXPECT_EQ(NextSection(area, dir, 3, false), 4);
  EXPECT_EQ(dir, kEven);
}

TEST(NextSection, RegularLinkKeepsDirection) {
  const TAreaData area = FlipDistrict();
  int dir = kOdd;
  EXPECT_EQ(NextSection(area, dir, 1, false), 2);
  EXPECT_EQ(dir, kOdd);
}

TEST(NextSection, SideAtFlipThrows) {
  const TAreaData area = FlipDistrict();
  int dir = kOdd;
  try {
    NextSection(area, dir, 2, true);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unexpected switch at parity flip");
  }
}

TEST(NextSection, SideBranchOfSwitch) {
  const TAreaData area = FacingSwitchDistrict();
  int dir = kOdd;
  EXPECT_EQ(NextSection(area, dir, 3, true), 6);
  EXPECT_EQ(NextSection(area, dir, 3, false), 4);
  EXPECT_EQ(NextSection(area, dir, 2, true), 0);
}

TEST(NextSection, NoneOrOutOfRangeGivesZero) {
  TAreaData area = FlipDistrict();
  area.SlSects[4].Straight[kEven] = 1000;
  int dir = kOdd;
  EXPECT_EQ(NextSection(area, dir, 0, false), 0);
  EXPECT_EQ(NextSection(area, dir, 50, false), 0);
  dir = kEven;
  EXPECT_EQ(NextSection(area, dir, 4, false), 0);
  EXPECT_EQ(NextSection(area, dir, 1, false), 0);
}

TEST(FindSemaphoreAhead, FollowsParityFlip) {
  TAreaData area = FlipDistrict();
  const int even = AddSignal(area, 4, kEven);
  EXPECT_EQ(FindSemaphoreAhead(area, kOdd, 1), even);
}

// end-1 section 4 ... end-0 section 1, walked in the even direction:
//   [1]100--[2]200--[3]300--[4]400
TEST(GraphPeregonLength, AddsBothEnds) {
  TAreaData area = MakeArea(4);
  Line(area, {1, 2, 3, 4});
  for (int s = 1; s <= 4; ++s) area.SlSects[s].Length = 100 * s;
  area.GraphPeregons.resize(1);
  area.GraphPeregons[0].EndSection[0] = 1;
  area.GraphPeregons[0].EndSection[1] = 4;
  EXPECT_EQ(GraphPeregonLength(area, 0), 1000);
  area.GraphPeregons[0].EndSection[1] = 1;
  EXPECT_EQ(GraphPeregonLength(area, 0), 100);
}

// end-0                                  end-1
//   [1]10----[2]20 >< [3]30----[4]40
// Sections 2 and 3 meet with their even ends, so the even walk from 4 goes on odd from 2.
TEST(GraphPeregonLength, FollowsFlipInsidePeregon) {
  TAreaData area = MakeArea(4);
  test::Link(area, 3, 4);
  LinkFlip(area, 2, 3, kEven);
  area.SlSects[2].Straight[kOdd] = 1;
  area.SlSects[1].Straight[kEven] = 2;
  for (int s = 1; s <= 4; ++s) area.SlSects[s].Length = 10 * s;
  area.GraphPeregons.resize(1);
  area.GraphPeregons[0].EndSection[0] = 1;
  area.GraphPeregons[0].EndSection[1] = 4;
  EXPECT_EQ(GraphPeregonLength(area, 0), 100);
}

TEST(GraphPeregonLength, UnreachedEndOrRingGivesZero) {
  TAreaData area = MakeArea(4);
  Line(area, {1, 2, 3, 4, 1});
  for (int s = 1; s <= 4; ++s) area.SlSects[s].Length = 100;
  area.GraphPeregons.resize(2);
  area.GraphPeregons[0].EndSection[0] = 5;  // not on the ring
  area.GraphPeregons[0].EndSection[1] = 4;
  EXPECT_EQ(GraphPeregonLength(area, 0), 0);
  EXPECT_EQ(GraphPeregonLength(area, 1), 0);  // end sections not set
  EXPECT_EQ(GraphPeregonLength(area, 2), 0);
  EXPECT_EQ(GraphPeregonLength(area, -1), 0);
}

// even <-                                                 -> odd
//   [3]-----sw2==[4]----[5 track, lamps 10..14]----[6]
//   [7]-----/          (switch 2 at the even end of 4: straight 3, side 7)
TAreaData TrackLampDistrict() {
  TAreaData area = MakeArea(7);
  Line(area, {3, 4, 5, 6});
  AddSwitch(area, 2, 4, kEven, 7);
  AddLP(area, 40, {Track(2), Track(5, 10, 5)});
  return area;
}

TEST(SectionLamp, TrackLampByEntrySide) {
  const TAreaData area = TrackLampDistrict();
  struct Case {
    int prev;
    int lamp;
  };
  for (const Case c : {Case{4, 10}, Case{6, 14}, Case{0, 12}, Case{7, 12}}) {
    EXPECT_EQ(SectionLamp(area, 5, c.prev), c.lamp) << "entered from " << c.prev;
  }
}

TEST(SectionLamp, OwnLampComesFirst) {
  TAreaData area = TrackLampDistrict();
  area.Sekzs[5] = 99;
  EXPECT_EQ(SectionLamp(area, 5, 4), 99);
}

TEST(SectionLamp, TrackWithoutLampCountShowsFirstLamp) {
  TAreaData area = TrackLampDistrict();
  area.Puts[0].Tracks[1].LampCount = 0;
  for (int prev : {0, 4, 6}) EXPECT_EQ(SectionLamp(area, 5, prev), 10) << prev;
}

TEST(SectionLamp, DeadEndTrackWithoutPreviousShowsMiddle) {
  TAreaData area = TrackLampDistrict();
  area.SlSects[6].Straight[kEven] = 0;  // 5 now ends the track at its odd end
  area.SlSects[5].Straight[kOdd] = 0;
  EXPECT_EQ(SectionLamp(area, 5, 0), 12);
}

TEST(SectionLamp, LaterTrackWithLampWhenFirstHolderHasNone) {
  TAreaData area = TrackLampDistrict();
  area.Puts[0].Tracks[1].FirstLamp = 0;
  AddLP(area, 41, {Track(5, 20, 3)});
  EXPECT_EQ(SectionLamp(area, 5, 0), 21);
}

struct SwitchLampCase {
  const char* name;
  int plus[3];
  int minus[3];
  int prev;
  int lamp;
};

TEST(SectionLamp, SwitchSectionLamps) {
  const SwitchLampCase cases[] = {
      {"straight entry: last non-zero plus", {20, 21, 0}, {30, 31, 0}, 3, 21},
      {"side entry: last non-zero minus", {20, 21, 0}, {30, 31, 32}, 7, 32},
      {"no previous: plus", {20, 0, 22}, {30, 0, 0}, 0, 22},
      {"no previous, no plus lamps: minus", {0, 0, 0}, {30, 0, 0}, 0, 30},
      {"entry from the far end: A lamp", {20, 0, 0}, {30, 0, 0}, 5, 40},
      {"straight entry without plus lamps: A lamp", {0, 0, 0}, {30, 0, 0}, 3, 40},
  };
  for (const SwitchLampCase& c : cases) {
    TAreaData area = TrackLampDistrict();
    TStrelData& sw = area.Strels[2];
    sw.LampsA[0] = 40;
    sw.LampsA[1] = 41;
    for (int i = 0; i < 3; ++i) {
      sw.PlusLamps[i] = c.plus[i];
      sw.MinusLamps[i] = c.minus[i];
    }
    EXPECT_EQ(SectionLamp(area, 4, c.prev), c.lamp) << c.name;
  }
}

TEST(SectionLamp, SwitchBeyondTableOrNothingGivesZero) {
  TAreaData area = TrackLampDistrict();
  area.SlSects[4].Switch[kEven] = 9;  // no such switch
  EXPECT_EQ(SectionLamp(area, 4, 0), 0);
  EXPECT_EQ(SectionLamp(area, 6, 0), 0);
  EXPECT_EQ(SectionLamp(area, 0, 0), 0);
  EXPECT_EQ(SectionLamp(area, 500, 0), 0);
}

TEST(FindTrackOfSection, SearchesAllLPsInOrder) {
  TAreaData area = TrackLampDistrict();
  AddLP(area, 41, {Track(6), Track(5)});
  int lp = 7;
  EXPECT_EQ(FindTrackOfSection(area, lp, 5, false), 1);
  EXPECT_EQ(lp, 0);
  EXPECT_EQ(FindTrackOfSection(area, lp, 6, false), 0);
  EXPECT_EQ(lp, 1);
  EXPECT_EQ(FindTrackOfSection(area, lp, 3, false), -1);
  EXPECT_EQ(lp, -1);
}

TEST(FindTrackOfSection, WithinLPSearchesOnlyThatLP) {
  TAreaData area = TrackLampDistrict();
  AddLP(area, 41, {Track(6), Track(5)});
  int lp = 1;
  EXPECT_EQ(FindTrackOfSection(area, lp, 5, true), 1);
  EXPECT_EQ(lp, 1);
  lp = 0;
  EXPECT_EQ(FindTrackOfSection(area, lp, 6, true), -1);
  lp = 5;
  EXPECT_EQ(FindTrackOfSection(area, lp, 6, true), -1);
  lp = -1;
  EXPECT_EQ(FindTrackOfSection(area, lp, 6, true), -1);
}

// even <-                                              -> odd
//   LP 0 "A" (code 10)      peregon 1          LP 1 "B" (code 20)
//   [1 track]-------[2 end 0]----[3 end 1]-------[4 track]
//   (A's second track is section 5, off the line)
TAreaData PeregonDistrict() {
  TAreaData area = MakeArea(5);
  Line(area, {1, 2, 3, 4});
  area.SlSects[2].Length = 700;
  area.SlSects[3].Length = 800;
  AddLP(area, 10, {Track(1), Track(5)});
  AddLP(area, 20, {Track(4)});
  TGraphPeregonData p;
  p.LP[0] = 1;  // LP index 0 at end 0
  p.LP[1] = 2;  // LP index 1 at end 1
  p.EndSection[0] = 2;
  p.EndSection[1] = 3;
  area.GraphPeregons.push_back(p);
  return area;
}

TEST(LocateSectionPosition, TrackSectionGivesTrackAndLP) {
  const TAreaData area = PeregonDistrict();
  const SectionPosition pos = LocateSectionPosition(area, 4, 123);
  EXPECT_EQ(pos.Track, 0);
  EXPECT_EQ(pos.LP, 1);
  EXPECT_EQ(pos.EdgeTrack, 0);
}

TEST(LocateSectionPosition, PeregonEnds) {
  const TAreaData area = PeregonDistrict();
  struct Case {
    int section, offset, lp, edge;
  };
  const Case cases[] = {
      {3, 0, 1, -1},     // end-1 section at offset 0: LP at end 1, before its first track
      {2, 700, 0, 1},    // end-0 section at its length: LP at end 0, its last track
      {3, 800, -1, -2},  // 3 is not an end-0 section
      {2, 0, -1, -2},    // 2 is not an end-1 section
      {2, 5, -1, -2},    // inside the section
      {99, 0, -1, -2},
  };
  for (const Case& c : cases) {
    const SectionPosition pos = LocateSectionPosition(area, c.section, c.offset);
    EXPECT_EQ(pos.Track, -2) << c.section << "/" << c.offset;
    EXPECT_EQ(pos.LP, c.lp) << c.section << "/" << c.offset;
    EXPECT_EQ(pos.EdgeTrack, c.edge) << c.section << "/" << c.offset;
  }
}

TEST(LocateSectionPosition, PeregonEndLPBeyondTableIsNone) {
  TAreaData area = PeregonDistrict();
  area.GraphPeregons[0].LP[1] = 9;
  const SectionPosition pos = LocateSectionPosition(area, 3, 0);
  EXPECT_EQ(pos.LP, -1);
  EXPECT_EQ(pos.EdgeTrack, -2);
}

TEST(FindGraphPeregonByEnd, LastMatchAndNone) {
  TAreaData area = PeregonDistrict();
  area.GraphPeregons.push_back(area.GraphPeregons[0]);
  EXPECT_EQ(FindGraphPeregonByEnd(area, 2, 0), 1);
  EXPECT_EQ(FindGraphPeregonByEnd(area, 2, 1), -1);
  EXPECT_EQ(FindGraphPeregonByEnd(area, 3, 1), 1);
  EXPECT_EQ(FindGraphPeregonByEnd(area, 0, 1), -1);
  EXPECT_EQ(FindGraphPeregonByEnd(area, 2, 2), -1);
}

// Throats: 0 = A's odd throat to peregon 1 (entry section 2, serves codes 15..25); 1 = A's
// even throat without peregon (serves every code); 2 = an odd throat of code 30 to peregon 1
// with a parity flip, so it looks at the peregon's end 0.
TAreaData ThroatDistrict() {
  TAreaData area = PeregonDistrict();
  AddSignal(area, 3, kOdd);
  TGorlStanzData t;
  t.Code = 10;
  t.Parity = 1;
  t.Peregon = 1;
  t.EntrySection = 2;
  t.CodeLow = 15;
  t.CodeHigh = 25;
  area.GorlStanzs.push_back(t);
  t.Parity = 0;
  t.Peregon = 0;
  t.CodeLow = t.CodeHigh = 0;
  area.GorlStanzs.push_back(t);
  t.Parity = 1;
  t.Flip = 1;
  t.Peregon = 1;
  t.Code = 30;
  area.GorlStanzs.push_back(t);
  return area;
}

TEST(Throats, FindThroatOfLP) {
  const TAreaData area = ThroatDistrict();
  EXPECT_EQ(FindThroatOfLP(area, 0, 0), 0);
  EXPECT_EQ(FindThroatOfLP(area, 0, 1), -1);
  EXPECT_EQ(FindThroatOfLP(area, 1, 0), -1);
  EXPECT_EQ(FindThroatOfLP(area, -1, 0), -1);
  EXPECT_EQ(FindThroatOfLP(area, 0, -1), -1);
  EXPECT_EQ(FindThroatOfLP(area, 8, 0), -1);
}

TEST(Throats, NeighbourLPAtParityXorFlipEnd) {
  const TAreaData area = ThroatDistrict();
  EXPECT_EQ(ThroatNeighbourLP(area, 0), 20);  // end 1 holds B
  EXPECT_EQ(ThroatNeighbourLP(area, 1), -1);  // no peregon
  EXPECT_EQ(ThroatNeighbourLP(area, 2), 10);  // flipped: end 0 holds A
  EXPECT_EQ(ThroatNeighbourLP(area, -1), -1);
  EXPECT_EQ(ThroatNeighbourLP(area, 3), -1);
}

TEST(Throats, NeighbourLPMissingOrBeyondTable) {
  TAreaData area = ThroatDistrict();
  area.GraphPeregons[0].LP[1] = 0;
  EXPECT_EQ(ThroatNeighbourLP(area, 0), -1);
  area.GraphPeregons[0].LP[1] = 12;
  EXPECT_EQ(ThroatNeighbourLP(area, 0), -1);
  area.GorlStanzs[0].Peregon = 4;
  EXPECT_EQ(ThroatNeighbourLP(area, 0), -1);
}

TEST(Throats, Serves) {
  const TAreaData area = ThroatDistrict();
  struct Case {
    int throat, code1, code2;
    bool serves;
  };
  const Case cases[] = {
      {0, 20, 0, true},  {0, 0, 20, true},   {0, 30, 20, false}, {0, 15, 0, true},
      {0, 25, 0, true},  {0, 14, 0, false},  {0, 10, 0, false},  {1, 99, 0, true},
      {1, 10, 0, false}, {1, -5, 10, false}, {-1, 20, 0, false}, {9, 20, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ThroatServes(area, c.throat, c.code1, c.code2), c.serves)
        << c.throat << " " << c.code1 << " " << c.code2;
  }
}

TEST(Throats, FindThroatBySignal) {
  const TAreaData area = ThroatDistrict();
  EXPECT_EQ(FindThroatBySignal(area, 10, 0), 0);   // odd from 2 meets the odd signal on 3
  EXPECT_EQ(FindThroatBySignal(area, 30, 0), -1);  // flipped: walks even from 2
  EXPECT_EQ(FindThroatBySignal(area, 10, -1), -1);
  EXPECT_EQ(FindThroatBySignal(area, 99, 0), -1);
}

TEST(SectionSemaphore, BoundsAndValue) {
  TAreaData area = FacingSwitchDistrict();
  EXPECT_EQ(SectionSemaphore(area, 5, kOdd), 0);
  EXPECT_EQ(SectionSemaphore(area, 5, kEven), -1);
  EXPECT_EQ(SectionSemaphore(area, 0, kOdd), -1);
  EXPECT_EQ(SectionSemaphore(area, 70, kOdd), -1);
  EXPECT_EQ(SectionSemaphore(area, 5, 2), -1);
  area.SlSects[2].Semaphore[kOdd] = 8;
  EXPECT_EQ(SectionSemaphore(area, 2, kOdd), -1);
}

}  // namespace
}  // namespace traklin
