// A small station with a switch, two tracks and a peregon end, for the interlocking tests.
#pragma once

#include <gtest/gtest.h>

#include "interlocking_fixture.h"

namespace traklin::fixtures {

// Station of code 1 (LP 0); the odd direction runs to the right.
//
//              S0>                        S1>                 S2>
//  [1]-------[2]-------[3]=sw1==========[4]-------[5]-------[6]----> peregon 1
//  <S7 (peregon end)      \             track 0
//                          `------------[7]-------[8]
//                                       S3>       <S6
//                                       track 1
//
// Routes of LP 0:
//   R0  2-3-4   sw1 plus   (throat -> track 0, odd)
//   R1  2-3-7   sw1 minus  (throat -> track 1, odd)
//   R2  4-5-6              (track 0 -> throat, odd)
//   R3  4-5                (track 0 -> section 5 without a signal of its own, odd)
//   R4  6-5-4              (throat -> track 0, even)
// Lamps: S0 10, S1 20 (second lamp 21), S3 12, S2 14, S6 15, S7 16; sw1 own 30, plus 31,
// minus 32; sections 2: 40, 5: 42, 6: 43; track 0: 50..52, track 1: 55; name lamp 1;
// departure-commit lamps 60 (even) and 61 (odd).
class StationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TAreaData& a = sim.AreaData;
    DistrictBuilder b(a, 9, 64);
    b.Line({1, 2, 3, 4, 5, 6}).Line({7, 8}).OddSwitch(1, 3, 7);
    a.SwitchLampsA = a.SwitchLampsPlus = a.SwitchLampsMinus = 1;
    a.Strels[1].LampsA[0] = 30;
    a.Strels[1].PlusLamps[0] = 31;
    a.Strels[1].MinusLamps[0] = 32;
    a.SlSects[3].SideLength = 100;
    a.Sekzs[2] = 40;
    a.Sekzs[5] = 42;
    a.Sekzs[6] = 43;
    b.Station(1, {{4, 50, 3}, {7, 55, 1}});
    a.GraphFragms[0].DepartCommitLamp[0] = 60;
    a.GraphFragms[0].DepartCommitLamp[1] = 61;
    a.GraphLamps[1].Station = 0;

    S0 = b.Signal(2, kOdd, 10, 1, 0);
    S1 = b.Signal(4, kOdd, 20, 3, 0);
    S2 = b.Signal(6, kOdd, 14, 1, 0, 1);
    S3 = b.Signal(7, kOdd, 12, 3, 0);
    S6 = b.Signal(8, kEven, 15, 1, 0);
    S7 = b.Signal(1, kEven, 16, 0, -1, 1);

    R0 = b.Route(0, {2, 3, 4}, {{1, false}}, 1, 3);
    R1 = b.Route(0, {2, 3, 7}, {{1, true}}, 1, 3);
    R2 = b.Route(0, {4, 5, 6}, {}, 3, 4);
    R3 = b.Route(0, {4, 5}, {}, 3, 4);
    R4 = b.Route(0, {6, 5, 4}, {}, 4, 2);

    sim.Console = &console;
    sim.Random.Seed(1);
    Init();
  }

  void Init() {
    StateInit(sim, DateParts{2026, 3, 15});
    sim.LastSaveTime = sim.State.ClockTime;
  }

  const TRouteControlData& Ctl(int r) const { return sim.State.Routes[0][r]; }
  const TSemaphoreLightData& Light(int i) const { return sim.State.Semaphores[i]; }
  const TLampControlData& Lamp(int i) const { return sim.State.Lamps[i]; }

  /// Number of section halves locked by route r of LP 0.
  int LockedHalves(int r) const {
    int n = 0;
    for (const TSectionSchuntData& x : sim.State.Sects)
      n += (x.ROUTE_EVEN == r && x.LP_EVEN == 0) + (x.ROUTE_ODD == r && x.LP_ODD == 0);
    return n;
  }
  bool Locked(int s, int half, int r) const {
    const TSectionSchuntData& x = sim.State.Sects[s];
    return half == kEven ? x.ROUTE_EVEN == r : x.ROUTE_ODD == r;
  }

  /// Puts train 0 (created when missing) on the odd half of section s.
  void Occupy(int s) {
    if (sim.State.Trains.empty()) sim.State.Trains.emplace_back();
    sim.State.Sects[s].TRN_ODD = 0;
  }
  void Vacate(int s) { sim.State.Sects[s].TRN_ODD = sim.State.Sects[s].TRN_EVEN = -1; }

  /// Orders route r and runs steps until it is set (at most `limit`); returns the steps.
  int SetRoute(int r, int limit = 50) {
    EXPECT_TRUE(OrderRoute(sim, 0, r));
    for (int n = 1; n <= limit; ++n) {
      Steps(sim, 1);
      if (RouteIsSet(sim, 0, r)) return n;
    }
    return -1;
  }
  int ReleaseRoute(int r, int limit = 50) {
    EXPECT_TRUE(CancelRoute(sim, 0, r));
    for (int n = 1; n <= limit; ++n) {
      Steps(sim, 1);
      if (!RouteIsPending(sim, 0, r)) return n;
    }
    return -1;
  }

  Simulation sim;
  RecordingConsole console;
  int S0 = -1, S1 = -1, S2 = -1, S3 = -1, S6 = -1, S7 = -1;
  int R0 = -1, R1 = -1, R2 = -1, R3 = -1, R4 = -1;
};

}  // namespace traklin::fixtures
