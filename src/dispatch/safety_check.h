// The automatic dispatcher's safety check: whether every train in the district can still finish.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "state/simulation_data.h"

namespace traklin {

/// A commitment the automatic dispatcher is about to make.
struct SafetyMove {
  enum Kind {
    /// Train `Train` leaves LP `LP` onto graph peregon `Peregon` (a departure commit, a way out,
    /// a send task, a transit, a yes to a station's question about a departure).
    Depart,
    /// Train `Train`, still outside the district, is put out or taken in at LP `LP`, on track
    /// `Track` (-1: on any track that suits it).
    Admit,
    /// Train `Train`, on its way to LP `LP`, is taken in there on track `Track`.
    Receive,
  };
  Kind What = Depart;
  int Train = -1;
  int LP = -1;
  int Peregon = -1;
  int Track = -1;
};

/// The line as the safety check sees it, and the check itself.
///
/// The district is a graph: LPs with tracks, joined by links (the graph peregons between two
/// LPs; the two lines of a double peregon make one link, which trains may use both ways at
/// once). Every train in the district stands on a track of an LP or runs on a link towards an
/// LP; a train that has been let go (a way out pending or set from its track, a send task that
/// needs no commit or has it, or a train that a station sending without asking will let go
/// by itself once due) already counts as running on its link; a train waiting outside at an
/// LP that puts trains out or takes them in without asking counts as waiting for a track
/// there. A double link holds, each way, as many trains as its line has block sections: a
/// train let go onto it while that many run on it its way still stands on its track (or
/// comes in onto it) until one of them is in; where the station at the far end takes trains in
/// by itself, it holds a track there too, since it sets out and is taken in as soon as the line
/// ahead clears. A train running on a link holds a track at the LP it runs to (a reservation,
/// given in the order: trains entering a station, trains on the line, trains waiting outside)
/// and counts as having arrived there (where the dispatcher gives the tracks, one not yet given
/// its track takes another that is free now when a train passing there needs the one it
/// holds); one that got none waits on the link, keeps trains coming the
/// other way off a single link, and keeps the trains behind it its way behind it. A station
/// that takes trains in by itself chooses their tracks: there a train coming in holds a track
/// only when it finds one whatever tracks the others coming in are given (each takes one of the
/// tracks that suit it at most), and a track that none of them holds for that reason is not
/// free for any other train either: the station gives it to one of the trains coming in that it
/// suits (one waiting, the first on its link, or one that holds another track there, which is
/// then free), and the check counts it as given to each of those in turn (a train standing at
/// the station acts otherwise than one waiting on the line) and keeps the worst, where a station
/// has one such track and the ways to give them are few (else the track is given to none). Where
/// the free tracks that suit those that do hold one do not suit the same trains (a track for
/// freight trains only, say), which of them the station leaves free is not known either: those
/// trains hold all of those tracks together, until all of them have gone on. A train that waits on
/// a link for a track at such a station, the first there on its link, takes a track that suits it
/// there the moment a train moved by the check frees one, before any train standing elsewhere could
/// come for it; so does the track held there for a train that is let go towards it but stands where
/// it is for now (that train passes on that track itself). Where more than one could take the
/// track, the line must finish its trains whether the first of them or the last in the check's
/// order does.
///
/// The check moves trains one at a time, each along the shortest way to the LP where it ends:
/// a train finishes when every LP on its way has a free track that suits it and leads on, no
/// train waits on a single link of its way coming the other way, and none waits its way on a
/// link of its way ahead of it (as it passes, it frees those tracks again; at the end it is
/// disbanded, and its own track is free). Finishing never
/// hurts another train, so every train that can finish does, in any order, until none is left
/// or none more can. The result is the number of trains left.
///
/// A train is put out or taken in only while each single-line stretch on its way (single
/// links joined at their LPs) has fewer trains near it than it has room for: the tracks of its
/// LPs less two at each, kept for two trains to cross at (less one at an end of the stretch,
/// which trains reach from the stretch by one side only: an end of the line, or an LP where a
/// double line goes on), and never less than one train per link. The trains near it are those
/// in the district that still have to run on it (one whose head is in the LP where it ends has
/// not) and will come to it within as many links as it has of when the train coming in would:
/// a train farther off than that will have left it by then, or come to it only after. A way is
/// followed only up to an LP where only double links meet: a train can wait there outside every
/// stretch, so neither the train coming in nor another is counted on the stretches beyond. A
/// line crowded beyond that could still finish its trains, but every crossing would wait for a
/// track: the trains wait outside instead.
///
/// A move passes when, after it, no more trains are left than before it (so on a line where
/// all can finish, all still can), and a departure onto a single link gets a track at the far
/// end that no other train holds. The check is cheap (trains by LPs on their way, per pass of
/// the trains), and refuses some moves that were safe: a train that could only get through by
/// stopping halfway, to let another pass, is not found to.
class SafetyCheck {
 public:
  SafetyCheck();
  ~SafetyCheck();
  SafetyCheck(const SafetyCheck&) = delete;
  SafetyCheck& operator=(const SafetyCheck&) = delete;

  /// Derives the district's links, ways and track links (again when `Derive` is called after
  /// another district was read).
  void Derive(const SimulationData& sim);
  /// Forgets what the line looked like: the next question observes it again. Called whenever
  /// the state may have changed (a new step, an order given).
  void Refresh();
  /// The LPs the automatic dispatcher works (lps[lp] true; a shorter vector leaves the rest
  /// out): their stations let no train go without its leave, even those that send without
  /// asking, so a train standing there holds no track beyond until it is let go.
  void Works(const std::vector<bool>& lps);
  /// The same from flags (lps[lp] non-zero).
  void Works(const std::vector<char>& lps);
  /// Whether the automatic dispatcher works LP lp, as last told by Works.
  bool Worked(int lp) const;
  /// Whether the move keeps the line as able to finish its trains as it is now.
  bool Allows(SimulationData& sim, const SafetyMove& move);
  /// The trains of the district as the check sees them now, and how many of them the check
  /// could not bring to their end (for tests and notes).
  int TrainsLeft(SimulationData& sim);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace traklin
