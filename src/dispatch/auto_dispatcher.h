// The automatic dispatcher: works the stations switched to automatic through the desk's operations.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "state/simulation_data.h"

namespace traklin {

/// A train the automatic dispatcher does not send on before a time (an instructor's hold).
struct AutoHold {
  int Number = 0;       ///< the train's number
  TDateTime Until = 0;  ///< simulated time from which the train may leave again
};

/// What the automatic dispatcher keeps from step to step: the district's throats, peregon
/// ends, tracks and ways as it walks them, derived once (and again when another district is
/// loaded), and its tables of one step. Only a cache: a copy starts empty, and a run with
/// or without one gives the same orders.
class AutoDispatchMemo {
 public:
  AutoDispatchMemo();
  ~AutoDispatchMemo();
  AutoDispatchMemo(const AutoDispatchMemo&);
  AutoDispatchMemo& operator=(const AutoDispatchMemo&);
  AutoDispatchMemo(AutoDispatchMemo&&) noexcept;
  AutoDispatchMemo& operator=(AutoDispatchMemo&&) noexcept;

  struct Tables;
  Tables& Get();

 private:
  std::unique_ptr<Tables> tables_;
};

/// Whether train `number` is held at `now`.
bool IsHeld(const std::vector<AutoHold>& holds, int number, TDateTime now);

/// One pass of the step for the stations switched to automatic (autoLPs[lp] true for LP
/// index lp; a shorter or empty vector leaves the rest to the dispatcher). It acts only
/// through the operations a dispatcher has, never on the state directly:
///  - a departure commit for a station that asked for one ("Дайте разрешение на отправление
///    поезду …") while a send task stands, once the line is safe: no train on the peregon
///    comes the other way, no route is set towards the throat from the other side, and the
///    station at the far end holds no commit and no route at its end of the peregon;
///  - a receive task for a train approaching a station that asks its orders, onto a free
///    track that suits the train and that a chain reaches (the district's own track rules);
///  - at a station without a duty officer, the reception route for an approaching train and
///    the departure route for a train that stands or is being received and is due within five
///    minutes, never towards a train coming the other way on the line ahead.
/// Priority at a controlled station, where at most one new order is given per step and only
/// while none of its routes is being set: passenger trains before freight, then the earlier
/// timetable time at the station (now for a train without one), then the lower train number,
/// then the lower throat index.
/// A train held by `holds` gets no departure route, send task or commit until its hold ends;
/// it is still taken in.
void AutoDispatch(SimulationData& sim, const std::vector<bool>& autoLPs,
                  const std::vector<AutoHold>& holds = {});
/// The same pass with what an earlier step derived (the simulation's step keeps one memo).
void AutoDispatch(SimulationData& sim, const std::vector<bool>& autoLPs,
                  const std::vector<AutoHold>& holds, AutoDispatchMemo& memo);

/// The automatic dispatcher's say in a question that a station puts about train `train`
/// (index) at LP index `lp` (`track` the track named, -1 none; `kind` a request kind), for
/// the stations it works. It refuses (false):
///  - "Разрешается отправление поезда …?" (a station that acts by itself, before it sends a
///    train towards an asking station) unless the line is safe and the far end can take the
///    train, as for a departure commit (the far end's send tasks for trains that come later
///    are then cancelled);
///  - "Поезд … к отправлению готов. Отправить …?" unless the far end can take the train (and,
///    where the throat needs no commit, the line is safe as above);
///  - "Выставляю поезд …" and "Принять поезд …" when the track is one that the trains already
///    heading for the station need;
///  - any departure of a held train.
/// Whatever it does not refuse, and every other question, is left to the console (nullopt):
/// the console's answer, or an instructor's standing one, decides.
std::optional<bool> AutoAnswer(SimulationData& sim, const std::vector<bool>& autoLPs,
                               const std::vector<AutoHold>& holds, AutoDispatchMemo& memo, int lp,
                               int train, int track, int kind);

}  // namespace traklin
