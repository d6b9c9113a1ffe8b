// The shipped districts loaded as the start-up loads them, with helpers that drive them the way
// the dispatcher and the duty officers do.
#pragma once

#include <string>
#include <vector>

#include "area/date_time.h"
#include "state/simulation.h"
#include "trains/test_line.h"

namespace traklin::test {

/// The day the runs start on (only its month and day count; the year is the district's).
inline constexpr DateParts kShippedStartDay{2024, 3, 15};

/// A shipped district (data/districts/<number>/line.json), generated once per test run into a
/// temporary directory, read from its Data.dat, prepared by the start-up set-up (all block
/// sections shown, view 0, six pixels per character, no ring files) and given a fresh state
/// on kShippedStartDay, a seeded generator and a recording console.
class ShippedDistrict {
 public:
  explicit ShippedDistrict(int number, unsigned seed = 1);
  ShippedDistrict(const ShippedDistrict&) = delete;
  ShippedDistrict& operator=(const ShippedDistrict&) = delete;

  Simulation Sim;
  RecordingConsole Console;

  /// LP index of the station of that name; throws when the district has none.
  int LP(const std::string& name) const;
  int Code(const std::string& name) const;
  /// Sets the clock to hh:mm of the start day.
  void SetClock(int hhmm);
  /// Runs n simulation steps of half a second.
  void Steps(int n);
  /// Every console text so far (notes, reports and questions) that tells of a crash, a
  /// collision, a derailment or inconsistent interlocking state.
  std::vector<std::string> Faults() const;
};

/// Whether a dispatcher message tells of a crash, a collision, a derailment, a signal passed
/// at danger or an inconsistent occupancy or route.
bool IsFaultMessage(const std::string& text);

/// Creates the timetable train of creation plan `number` waiting at its first LP the way the
/// plan does: a passenger train from the plan's cars (no extra cars drawn), a freight train
/// of `freightCars` cars with the locomotive of its timetable; head direction towards its
/// next stop, EnterLP at its first LP, created now. Returns its index; throws when the
/// district has no such plan or timetable train.
int CreateTimetableTrain(Simulation& sim, int number, int freightCars = 50);

/// Puts train i onto track `track` of LP lp and releases it at once (made up).
void PutOut(Simulation& sim, int i, int lp, int track);

/// Section halves a route needs: both halves of every inner section, one at each end.
int NeededHalves(const Simulation& sim, int lp, int r);

/// The throat through which train i leaves LP lp towards its next stop, or -1.
int DepartureThroat(Simulation& sim, int i, int lp);
/// The throat of LP lp on graph peregon number p (1-based), or -1.
int ThroatOnPeregon(const Simulation& sim, int lp, int p);
/// Orders the best chain of LP lp from section `from` to section `to`; returns it or -1.
int OrderBestChain(Simulation& sim, int lp, int from, int to);
/// The track of LP lp that suits train i and is reached from section `from` by the best chain
/// (ties go to the lower track index); -1 when none.
int BestArrivalTrack(Simulation& sim, int i, int lp, int from);

}  // namespace traklin::test
