// A district read from text and brought up as the program's start-up does: reader, set-up,
// state initialisation, with a seeded generator and a console that records every message.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "area/area_reader.h"
#include "area/district_setup.h"
#include "interlocking_fixture.h"
#include "state/interlocking.h"
#include "text_districts.h"

namespace traklin::fixtures {

class TextDistrictTest : public ::testing::Test {
 protected:
  /// Reads the text and runs the set-up and StateInit; a failure fails the test.
  void Start(const text_districts::TextDistrict& district) {
    try {
      LoadAreaDataFromBytes(district.Bytes(), sim.AreaData, sim.MaxSpeedLimit, sim.ReadDataError);
    } catch (const ReadError& e) {
      FAIL() << "line " << e.line() << ": " << e.what();
    }
    try {
      PrepareDistrict(sim.AreaData, SetupOptions{});
    } catch (const std::exception& e) {
      FAIL() << "Error initializing data+ " << e.what();
    }
    sim.Console = &console;
    sim.Random.Seed(11);
    StateInit(sim, DateParts{2026, 3, 15});
    sim.LastSaveTime = sim.State.ClockTime;
  }

  const TTrainRouteData& Route(int lp, int r) const {
    return sim.AreaData.TrainRoutes[lp].Routes[r];
  }
  int RouteCount(int lp) const {
    return static_cast<int>(sim.AreaData.TrainRoutes[lp].Routes.size());
  }
  /// The signal standing on section s for direction d (-1 when none).
  int Signal(int s, int d) const { return sim.AreaData.SlSects[s].Semaphore[d]; }
  const TSemaphoreLightData& Light(int signal) const { return sim.State.Semaphores[signal]; }

  /// Number of section halves the route needs: both halves of every inner section, one at
  /// each end (none for a single section).
  int HalvesNeeded(int lp, int r) const {
    int n = 0;
    while (n < kMaxRouteSections && Route(lp, r).Sections[n] != 0) ++n;
    return n <= 1 ? 0 : 2 * n - 2;
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

  /// Puts train 0 (created when missing) on both halves of section s.
  void Occupy(int s) {
    if (sim.State.Trains.empty()) sim.State.Trains.emplace_back();
    sim.State.Sects[s].TRN_EVEN = sim.State.Sects[s].TRN_ODD = 0;
  }
  void Vacate(int s) { sim.State.Sects[s].TRN_EVEN = sim.State.Sects[s].TRN_ODD = -1; }

  /// Messages about an inconsistent occupancy or route, which must never appear.
  std::vector<std::string> InconsistencyNotes() const {
    std::vector<std::string> bad;
    for (const std::string& note : console.notes) {
      if (note.find("Неверный порядок секций маршрута") != std::string::npos ||
          note.find("Стрелка ") == 0 || note.find(" занята ") != std::string::npos ||
          note.find("Светофор на секции со стрелкой") == 0)
        bad.push_back(note);
    }
    return bad;
  }

  Simulation sim;
  RecordingConsole console;
};

}  // namespace traklin::fixtures
