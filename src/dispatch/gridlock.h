// The gridlock detector: trains that wait for each other in a cycle, so that none can move.
#pragma once

#include <map>
#include <set>
#include <utility>
#include <vector>

#include "area/date_time.h"
#include "state/simulation_data.h"

namespace traklin {

/// One gridlock as it is reported.
struct Gridlock {
  std::vector<int> Trains;    ///< the numbers of the trains on the cycle, ascending
  std::vector<int> Stations;  ///< the LP codes where they stand or that they run into, ascending

  bool operator==(const Gridlock&) const = default;
};

/// Watches a run for gridlocks. It judges the state only: it draws no random numbers and
/// changes nothing, so a run with a detector is the run without one.
///
/// A train *waits* when it is in the district, released, not at the LP where it ends, due to
/// leave (no departure time still ahead), has not moved for `standing` (its head on the same
/// spot at every look) and its way on is held by other trains. Its way on:
///  - at a station, onto the peregons that leave the station towards the train's next LP
///    (NEXT_LP_CODE; without one, those on the side its head faces): the train may take any
///    of them, so it waits only when every one is held;
///  - on a peregon, onward to the station the peregon runs into.
/// A way onto a peregon is held by the trains on it that run towards the train (the single
/// line against it), else by a train in the peregon's section next to the station; a way into
/// a station (the next station for a train at a station, once the peregon is clear, or the
/// station ahead for a train on a peregon that has nobody ahead of it before the station) is
/// held when every track there that suits the train holds a train (every track when none
/// suits), by those trains; a train on a peregon with another train ahead of it on the
/// peregon is held by that one. A way that leads nowhere (no peregon that way, an LP without
/// tracks) is not held.
///
/// A train that waits can move once any train it waits for moves; a train that waits only
/// for trains that can never move can never move either. A *gridlock* is a group of such
/// trains, connected by their waits, with the trains that lie on a cycle of waits (A for B,
/// B for A; A for B, B for C, C for A; ...) reported: these, and the LPs where they stand
/// (on a peregon: the LP it runs into). Trains that merely queue behind a gridlock are part
/// of it but not reported.
///
/// A gridlock is reported once. It lasts while its trains stay where they stood (a train that
/// runs up to it and is still moving may make it look free for a while) or while a later look
/// finds a gridlock with one of its trains (it grew or shrank); once one of its trains has
/// moved or left and no gridlock shares a train with it, it is over, and a gridlock formed
/// later, of the same trains or not, is new.
class GridlockDetector {
 public:
  /// `interval`: simulated time between two looks; `standing`: how long a train must have
  /// stood before it counts as waiting.
  explicit GridlockDetector(TDateTime interval = kMinute, TDateTime standing = 10 * kMinute);

  /// The gridlocks that formed since the last look, when a look is due (at the first call,
  /// then once every interval of simulated time); empty otherwise. Cheap to call after every
  /// step: the console and the headless runner call it there.
  std::vector<Gridlock> Check(const SimulationData& sim);
  /// Looks now, due or not: the gridlocks in force (reported before or not), without
  /// remembering them as reported.
  std::vector<Gridlock> Look(const SimulationData& sim);
  /// Forgets every train and gridlock seen (the console's reload starts another timeline).
  void Reset();

 private:
  using TrainKey = std::pair<int, double>;  ///< number and creation time
  struct Spot {
    int Section = 0;
    double Pos = 0;
    TDateTime Since = 0;  ///< first look that found the train on this spot at rest
    long Look = 0;        ///< the last look that saw the train
  };

  /// Updates the spots, then finds the gridlocks with the keys of their reported trains.
  std::vector<std::pair<Gridlock, std::set<TrainKey>>> Find(const SimulationData& sim);

  TDateTime interval_;
  TDateTime standing_;
  TDateTime next_ = 0;
  bool looked_ = false;
  long looks_ = 0;
  std::map<TrainKey, Spot> spots_;
  /// The trains on the cycles of each gridlock reported and not over, and when a look last
  /// found it.
  std::vector<std::pair<std::set<TrainKey>, TDateTime>> reported_;
  /// Working lists of a look, per train index (kept to spare allocations at each look).
  std::vector<std::vector<int>> holders_, waiters_;
  std::vector<std::vector<std::pair<int, int>>> onPeregon_;
};

}  // namespace traklin
