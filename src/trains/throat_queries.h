// Throat queries: the throat towards the next stop, approaching trains, routes and tasks.
#pragma once

#include "state/faults.h"
#include "state/simulation_data.h"

namespace traklin {

// LP = LP index (position in Puts) unless a parameter says code; g = throat index
// (position in GorlStanzs and in the task records); r = route index within the LP; a chain is
// an index into the LP's chains. None of these queries shows anything to the dispatcher: the
// automation asks them for every throat on every step.

/// The throat of LP index lp through which train i leaves towards the next LP of its
/// timetable. With throat >= 0 only that throat is tried; otherwise every throat once, from a
/// random one backwards. A found throat is returned in throat; whenever the throat is valid,
/// dir becomes its parity. Returns whether a throat qualified.
bool ThroatOfNextStop(SimulationData& sim, int& throat, int& dir, int lp, int i);
/// Whether train i leaves LP lp through throat g in direction dir towards its next stop
/// (ThroatOfNextStop with that throat, finding that direction): remembered per throat until
/// the question or the train's timetable fields change. In check mode a fresh answer that
/// differs throws CheckMismatch.
bool LeavesThroughThroat(SimulationData& sim, int g, int lp, int dir, int i);
/// The last throat of the LP whose active receive task names the track; -1 when none.
int ReceiveTaskOfTrack(const SimulationData& sim, int lp, int track);
/// Whether an active throat task of the train's LP (its head's LP, or on a peregon the LP it
/// runs into) names the section the head is in, as its track or as its entry section.
bool ThroatTaskCoversTrain(const SimulationData& sim, int i);

/// An LP that took its code from a station asks the dispatcher before it sends a train; one
/// with its own code acts by itself.
bool LPAsksDispatcher(const TAreaData& area, int lp);
/// The train on half d of section s, or -1. An occupancy that names a train beyond the train
/// list counts as no train (the occupancy queries of the interlocking report such data).
/// Inline: the automation asks it many times for every throat on every step.
inline int TrainOnHalf(const SimulationData& sim, int s, int d) {
  if (s < 1 || s >= static_cast<int>(sim.State.Sects.size())) return -1;
  const TSectionSchuntData& x = sim.State.Sects[s];
  const int t = (d & 1) ? x.TRN_ODD : x.TRN_EVEN;
  return t >= 0 && t < static_cast<int>(sim.State.Trains.size()) ? t : -1;
}
/// Some section of the LP's routes (given in their order, up to count or the first -1),
/// beyond the first section of the first one, holds a train.
bool RoutesHoldTrain(const SimulationData& sim, int lp, const int* routes, int count);
/// No train on either half of section s, and it does not read occupied falsely.
inline bool SectionFree(const SimulationData& sim, int s) {
  return TrainOnHalf(sim, s, 0) < 0 && TrainOnHalf(sim, s, 1) < 0 &&
         (sim.State.Faults.empty() || !SectionFalselyOccupied(sim, s));
}
/// Some route of the LP whose first or last section is s is pending or set.
bool ThroatRouteBusy(const SimulationData& sim, int lp, int s);
/// Whether route r of the LP would run into a half locked by another route: at its first
/// section half D(r) held by another route index or half 1 - D(r) by a route of the other
/// direction, at a middle section either half held by another route index, at its last
/// section half 1 - D(r) held by another route index or half D(r) by a route of the other
/// direction. Route indexes only are compared; the route update stays the safety check.
bool RouteConflicts(const SimulationData& sim, int lp, int r);
/// Whether any route of the chain conflicts (see RouteConflicts).
bool ChainConflicts(const SimulationData& sim, int lp, int chain);
/// How far from the far end of an entry section the head of a train approaching it may be, m.
constexpr int kApproachLimit = 4000;
/// The train approaching entry section e in arrival direction a: on half a of e, or, when
/// e has no side branch outwards, on the section beyond it; it counts only with its head
/// within kApproachLimit. -1 when none.
int ApproachingTrain(const SimulationData& sim, int e, int a);
/// Where ApproachingTrain looks beyond entry section e for a train coming in in direction a:
/// the section one further out, with the half there in `half`; 0 when e is no section, has a
/// side branch outwards or nothing lies beyond it.
int ApproachOuterSection(const TAreaData& area, int e, int a, int& half);
/// ApproachingTrain with the section beyond e already found by ApproachOuterSection (outer 0:
/// none) and e a valid section.
int ApproachingTrainVia(const SimulationData& sim, int e, int a, int outer, int outerHalf);
/// ApproachingTrainVia for throat g, whose entry is e: in check mode a fresh ApproachingTrain
/// that differs throws CheckMismatch naming the throat.
int ThroatApproachingTrainVia(const SimulationData& sim, int g, int e, int a, int outer,
                              int outerHalf);
/// The train for track section s of the LP that will leave in direction d: one standing on
/// half d of s, else one on the set routes leading into s (walked back at most as many routes
/// as the LP has), else the train approaching where that walk ends. -1 when none.
/// standing (when given) tells whether the train was the one standing on s.
int TrainForTrack(const SimulationData& sim, int lp, int s, int d, bool* standing = nullptr);
/// The train stops at LP lpCode: its timetable stop there has an arrival time, or the LP is
/// where it ends.
bool TrainStopsAt(const SimulationData& sim, int lpCode, int i);
/// Clears task g and, for a transit, its partner; tells the console that the tasks changed.
void CancelTask(SimulationData& sim, int g);
/// The line ahead of train i beyond throat g needs no leave from a dispatcher: false when the
/// train ends at an asking LP; otherwise no LP served through the throat (by its code range,
/// or when that is 0..0 by the train's remaining stops) is an asking LP.
bool LineAheadFree(const SimulationData& sim, int g, int i);
/// The track of the LP that suits train i and that throat g's entry section reaches by the
/// best chain; on a tie the higher track. A receive-only track is taken for a train with a
/// dependant only when no other will do (ReceiveOnlyTrackForParent). -1 when none.
int ChooseReceptionTrack(const SimulationData& sim, int lp, int g, int i);

}  // namespace traklin
