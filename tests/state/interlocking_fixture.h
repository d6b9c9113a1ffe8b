// A district read from text and brought up as the start-up does (reader, set-up, StateInit),
// with a seeded generator and a console that records every message.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "area/area_queries.h"
#include "area/area_reader.h"
#include "area/district_setup.h"
#include "simulation/simulation.h"
#include "state/interlocking.h"
#include "state/text_districts.h"

namespace traklin::fixtures {

/// Records every message and counts the saves; questions are answered yes.
class RecordingConsole : public ConsoleServices {
 public:
  void NotifyDispatcher(const std::string& text) override { notes.push_back(text); }
  void InformDispatcher(const std::string&, const std::string& text, int) override {
    notes.push_back(text);
  }
  bool AskDispatcher(const std::string&, const std::string& text, int) override {
    notes.push_back(text);
    return true;
  }
  bool SaveLastState(bool) override {
    ++saves;
    return saveSucceeds;
  }
  std::vector<std::string> notes;
  int saves = 0;
  bool saveSucceeds = true;
};

/// Runs n simulation steps of half a second.
inline void Steps(Simulation& sim, int n) {
  for (int i = 0; i < n; ++i) sim.SimulationStep(kStepLength);
}

/// Starts on the controlled station; a test may start again on another district.
class InterlockingTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }
  /// Reads the text and runs the set-up and StateInit; a failure fails the test.
  void Start(const text_districts::TextDistrict& district = text_districts::ControlledStation()) {
    try {
      LoadAreaDataFromBytes(district.Bytes(), sim.AreaData, sim.MaxSpeedLimit, sim.ReadDataError);
      PrepareDistrict(sim.AreaData, SetupOptions{});
    } catch (const std::exception& e) {
      FAIL() << e.what();
    }
    sim.Console = &console;
    sim.Random.Seed(11);
    Restart();
  }
  /// StateInit again, after a test has changed the district.
  void Restart() {
    StateInit(sim, DateParts{2026, 3, 15});
    sim.LastSaveTime = sim.State.ClockTime;
  }

  TTrainRouteData& Route(int r, int lp = 0) { return sim.AreaData.TrainRoutes[lp].Routes[r]; }
  /// The signal standing on section s for direction d (-1 when none).
  int Signal(int s, int d) const { return sim.AreaData.SlSects[s].Semaphore[d]; }
  /// The signal at the start of a route: on its first section, for the direction of its first
  /// half.
  int StartSignal(int r, int lp = 0) {
    const TTrainRouteData& rt = Route(r, lp);
    return Signal(rt.FirstSection, RouteDirection(rt) ^ (rt.Flags[0] & 1));
  }
  TSemaphoreLightData& Light(int signal) { return sim.State.Semaphores[signal]; }
  TLampControlData& Lamp(int lamp) { return sim.State.Lamps[lamp]; }

  /// Section halves locked by route r of LP 0, or by any route when r < 0.
  int LockedHalves(int r = -1) const {
    auto by = [&](int route, int lp) { return r < 0 ? route != -1 : route == r && lp == 0; };
    int n = 0;
    for (const TSectionSchuntData& x : sim.State.Sects)
      n += by(x.ROUTE_EVEN, x.LP_EVEN) + by(x.ROUTE_ODD, x.LP_ODD);
    return n;
  }

  /// Runs steps until the predicate holds, at most `limit`; returns the steps or -1.
  template <typename Pred>
  int StepsUntil(Pred done, int limit = 100) {
    for (int n = 1; n <= limit; ++n) {
      Steps(sim, 1);
      if (done()) return n;
    }
    return -1;
  }
  /// Orders the route (or its release) and returns the steps until it is set (released).
  int SetRoute(int r, int lp = 0) {
    EXPECT_TRUE(OrderRoute(sim, lp, r));
    return StepsUntil([&] { return RouteIsSet(sim, lp, r); });
  }
  int ReleaseRoute(int r, int lp = 0) {
    EXPECT_TRUE(CancelRoute(sim, lp, r));
    return StepsUntil([&] { return !RouteIsPending(sim, lp, r); });
  }

  /// Puts train 0 (created when missing) on both halves of section s.
  void Occupy(int s) {
    if (sim.State.Trains.empty()) sim.State.Trains.emplace_back();
    sim.State.Sects[s].TRN_EVEN = sim.State.Sects[s].TRN_ODD = 0;
    MarkSectionChanged(sim, s);
  }
  void Vacate(int s) {
    sim.State.Sects[s].TRN_EVEN = sim.State.Sects[s].TRN_ODD = -1;
    MarkSectionChanged(sim, s);
  }

  Simulation sim;
  RecordingConsole console;
};

}  // namespace traklin::fixtures
