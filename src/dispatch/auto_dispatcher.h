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

/// One look at the line for the stations switched to automatic (autoLPs[lp] true for LP
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
///    minutes, never towards a train coming the other way on the line ahead;
///  - for a question it refused ("Принять поезд …", "Выставляю поезд …", "Разрешается
///    отправление поезда …?"), which the station asks again only some minutes later, a prompt
///    repeat once the move would pass (as AutoAnswer judges it, on any track the station could
///    offer): the train's request record loses its time, and the station asks on its next look;
///    the same for a train a station could not put out or take in for want of a track ("Жду
///    освобождения пути …"), once the station would find one and the move would pass.
///
/// No gridlock: before every commitment (a departure commit, a route out of a station, a send
/// task or transit, a reception track, a yes to a station's question about a departure, a
/// put-out or a train taken in from outside the district) the move is applied to a copy of the
/// line's occupancy, and the safety check (safety_check.h) finds whether every train in the
/// district can still reach the LP where it ends, in some order, moving one train at a time
/// through stations where a track is free (counting the tracks that trains gone before it
/// free). The move is refused when fewer trains could finish after it than before, or when a
/// train sent onto a single line would find no track of its own at the far end. Among the
/// moves that pass, the priorities below hold, and a train the check refuses gives way to the
/// next in that order. A train the station chose that may not leave keeps its send task, and
/// gets its commit at the first look at which it may, while no other train there could leave
/// through that throat now; where one could, the task is taken back, so that the station may
/// choose again (a station asks again only some minutes after a refusal, so a task taken back
/// costs that wait). A task whose line the far end means to take, while nothing runs on it, is
/// kept only while the far end's own task does not wait for a commit too (or both ends would
/// wait for each other for good); a send task gives its throat back to a train coming in.
///
/// Priority at a controlled station, where at most one new order is given per look and only
/// while none of its routes is being set: passenger trains before freight, then the earlier
/// timetable time at the station (now for a train without one), then the lower train number,
/// then the lower throat index; a departure the safety check refuses gives way to the next.
/// A train held by `holds` gets no departure route, send task or commit until its hold ends;
/// it is still taken in.
///
/// The simulation's step calls it on the steps where AutoDispatcherLooks.
void AutoDispatch(SimulationData& sim, const std::vector<bool>& autoLPs,
                  const std::vector<AutoHold>& holds = {});
/// The same look with what an earlier look derived (the simulation keeps one memo).
void AutoDispatch(SimulationData& sim, const std::vector<bool>& autoLPs,
                  const std::vector<AutoHold>& holds, AutoDispatchMemo& memo);

/// Whether the step that ends at `now` is one in which the automatic dispatcher looks at the line
/// (AutoDispatch): once a simulated second, on the whole seconds, so every other step. Nothing
/// it orders wants half a second, and its look is among the dearest passes of a step. The time
/// alone decides, so a run from a save or a replay looks on the same steps.
bool AutoDispatcherLooks(TDateTime now);

/// The automatic dispatcher's answer to a question that a station puts about train `train`
/// (index) at LP index `lp` (`track` the track named, -1 none; `kind` a request kind), for
/// the stations it works: it answers for them, and the console is only told (no box). Yes
/// when the move passes the safety check, no otherwise:
///  - "Разрешается отправление поезда …?" (a station that acts by itself, before it sends a
///    train) also needs the line safe, as for a departure commit (the far end's send tasks for
///    trains that come later are then cancelled); a station that would send without asking
///    (it sends without asking, or its line ahead is free) is judged the same, silently, so
///    that none of its stations lets a train go without the dispatcher's leave;
///  - "Поезд … к отправлению готов. Отправить …?": where the throat needs a commit, yes (the
///    commit is judged at every look once the send task stands); elsewhere the departure and
///    the line safe as above; a train with no way out is refused;
///  - "Выставляю поезд …" and "Принять поезд …": the train put on that track, which must be
///    free and not given to a train on its way;
///  - "Путь … не подходит для поезда …": no, the train gets a track that suits it;
///  - any departure of a held train: no.
/// Other questions, and the stations it does not work, are left to the console (nullopt).
std::optional<bool> AutoAnswer(SimulationData& sim, const std::vector<bool>& autoLPs,
                               const std::vector<AutoHold>& holds, AutoDispatchMemo& memo, int lp,
                               int train, int track, int kind);

}  // namespace traklin
