// The dispatcher's operations, each done in one place that both the console and the scenario
// player call, and that tells the run's OnOperation hook (a shift's recorder) what was done.
#include "dispatch/operations.h"

#include <fmt/format.h>

#include <algorithm>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "dispatch/shift_file.h"
#include "state/interlocking.h"
#include "trains/op_task.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

constexpr const char* kNotInState = "the route is not in a state to do that";

int LpCode(const TAreaData& area, int lp) {
  return lp >= 0 && lp < static_cast<int>(area.Puts.size()) ? area.Puts[lp].Code : 0;
}

std::string TrackWord(const TAreaData& area, int lp, int track) {
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size()) || track < 0 ||
      track >= static_cast<int>(area.Puts[lp].Tracks.size()))
    return "?";
  return FormatTrackName(area.Puts[lp].Tracks[track].Number);
}

const char* SideWord(int side) {
  return side == 0 ? "even" : "odd";
}

/// Tells the hook, the refusal as a note.
std::string Told(DispatchData& sim, const std::string& line, std::string reason) {
  if (sim.OnOperation) sim.OnOperation(line, reason.empty() ? "" : "not done: " + reason);
  return reason;
}

bool HasRouteRecord(const SimulationData& sim, int lp, int r) {
  return lp >= 0 && lp < static_cast<int>(sim.State.Routes.size()) && r >= 0 &&
         r < static_cast<int>(sim.State.Routes[lp].size()) &&
         lp < static_cast<int>(sim.AreaData.TrainRoutes.size()) &&
         r < static_cast<int>(sim.AreaData.TrainRoutes[lp].Routes.size());
}

/// Whether route r of LP lp holds a half of one of its sections.
bool HoldsAnyHalf(const SimulationData& sim, int lp, int r) {
  const TTrainRouteData& route = sim.AreaData.TrainRoutes[lp].Routes[r];
  for (int i = 0; i < kMaxRouteSections && route.Sections[i] != 0; ++i) {
    const int s = route.Sections[i];
    if (s < 0 || s >= static_cast<int>(sim.State.Sects.size())) continue;
    const TSectionSchuntData& x = sim.State.Sects[s];
    if ((x.ROUTE_EVEN == r && x.LP_EVEN == lp) || (x.ROUTE_ODD == r && x.LP_ODD == lp)) return true;
  }
  return false;
}

/// Turns a pending operation round. An order that has locked nothing yet is withdrawn at once:
/// as a release it would wait behind the very conflict that held it up, and since releases go
/// first it would hold up the station's other routes with it.
bool Invert(SimulationData& sim, int lp, int r) {
  if (!ReverseRoute(sim, lp, r)) return false;
  TRouteControlData& ctl = sim.State.Routes[lp][r];
  if (ctl.SCHUNTED && !HoldsAnyHalf(sim, lp, r)) {
    ctl.SCHUNTED = false;
    ctl.TASKED = 0;
    ++sim.Changes.Interlocking;
    SetRouteLamps(sim, lp, r, 2);
  }
  return true;
}

const char* ModeWord(RouteMode mode, bool through) {
  switch (mode) {
    case RouteMode::Order:
      return through ? "through" : "route";
    case RouteMode::Cancel:
      return through ? "cancelthrough" : "cancel";
    case RouteMode::Invert:
      break;
  }
  return through ? "invertthrough" : "invert";
}

std::string Buttons(const TAreaData& area, int lp, int first, int last) {
  const TTrainRouteData& a = area.TrainRoutes[lp].Routes[first];
  const TTrainRouteData& b = area.TrainRoutes[lp].Routes[last];
  return fmt::format("{} {} {} {}", a.StartKind, a.StartPosition, b.EndKind, b.EndPosition);
}

}  // namespace

std::optional<std::pair<int, int>> ThroughRoutes(const TAreaData& area, int lp, int c1, int r1,
                                                 int c2, int r2, int routeRecords) {
  if (r1 != r2 || r1 < 1 || r1 > area.ThroatLayout) return std::nullopt;
  if (!((c1 == 1 && c2 == 4) || (c1 == 4 && c2 == 1))) return std::nullopt;
  const auto find = [&](int a, int b) {
    const int r = FindRoute(area, lp, a, r1, b, r1);
    return routeRecords >= 0 && r >= routeRecords ? -1 : r;
  };
  const bool fromLeft = c1 == 1;
  const int first = fromLeft ? find(1, 2) : find(4, 3);
  const int second = fromLeft ? find(3, 4) : find(2, 1);
  if (first < 0 || second < 0) return std::nullopt;
  return std::make_pair(first, second);
}

std::string OperateRoute(DispatchData& sim, int lp, int r, RouteMode mode) {
  if (lp < 0 || lp >= static_cast<int>(sim.AreaData.TrainRoutes.size()) || r < 0 ||
      r >= static_cast<int>(sim.AreaData.TrainRoutes[lp].Routes.size()))
    return "no such route";
  const std::string line = fmt::format("{} {} {}", ModeWord(mode, false), LpCode(sim.AreaData, lp),
                                       Buttons(sim.AreaData, lp, r, r));
  if (!HasRouteRecord(sim, lp, r)) return Told(sim, line, "the route has no state");
  bool done = false;
  switch (mode) {
    case RouteMode::Order:
      done = OrderRoute(sim, lp, r);
      break;
    case RouteMode::Cancel:
      done = CancelRoute(sim, lp, r);
      break;
    case RouteMode::Invert:
      // Only a pending operation is turned round; inverting a settled route would leave it
      // waiting for ever behind a conflict and hold up the station's other routes.
      done = Invert(sim, lp, r);
      break;
  }
  return Told(sim, line, done ? "" : kNotInState);
}

std::string OperateThrough(DispatchData& sim, int lp, int first, int second, RouteMode mode) {
  const int routes = lp >= 0 && lp < static_cast<int>(sim.AreaData.TrainRoutes.size())
                         ? static_cast<int>(sim.AreaData.TrainRoutes[lp].Routes.size())
                         : 0;
  if (first < 0 || first >= routes || second < 0 || second >= routes) return "no such route";
  const std::string line = fmt::format("{} {} {}", ModeWord(mode, true), LpCode(sim.AreaData, lp),
                                       Buttons(sim.AreaData, lp, first, second));
  if (!HasRouteRecord(sim, lp, first) || !HasRouteRecord(sim, lp, second))
    return Told(sim, line, "the route has no state");
  const TRouteControlData& a = sim.State.Routes[lp][first];
  const TRouteControlData& b = sim.State.Routes[lp][second];
  switch (mode) {
    case RouteMode::Order:
      if (a.SCHUNTED || a.TASKED != 0 || b.SCHUNTED || b.TASKED != 0)
        return Told(sim, line, kNotInState);
      OrderRoute(sim, lp, first);
      OrderRoute(sim, lp, second);
      break;
    case RouteMode::Cancel:
      if (!a.SCHUNTED || a.TASKED != 0 || !b.SCHUNTED || b.TASKED != 0)
        return Told(sim, line, kNotInState);
      CancelRoute(sim, lp, first);
      CancelRoute(sim, lp, second);
      break;
    case RouteMode::Invert:
      if (a.SCHUNTED != b.SCHUNTED || a.TASKED == 0 || b.TASKED == 0)
        return Told(sim, line, kNotInState);
      Invert(sim, lp, first);
      Invert(sim, lp, second);
      break;
  }
  return Told(sim, line, "");
}

std::string OperateCommit(DispatchData& sim, int lp, int dir, int give) {
  const TAreaData& area = sim.AreaData;
  if (lp < 0 || lp >= static_cast<int>(area.GraphFragms.size()) || (dir != 0 && dir != 1) ||
      area.GraphFragms[lp].DepartCommitLamp[dir] <= 0)
    return "the station has no departure commit for the direction";
  const bool given = DepartCommitGiven(sim, lp, dir);
  const bool gives = give < 0 ? !given : give == 1;
  const std::string line =
      fmt::format("commit {} {} {}", LpCode(area, lp), SideWord(dir), gives ? "give" : "take");
  if (give >= 0 && given == gives)
    return Told(sim, line, gives ? "the commit is already given" : "there is no commit to take");
  ToggleDepartCommit(sim, lp, dir);
  return Told(sim, line, "");
}

std::string OperateTask(DispatchData& sim, int lp, int deed, int track, int inlet, bool dialog) {
  const TAreaData& area = sim.AreaData;
  if (deed < 0 || deed >= static_cast<int>(kTaskDeeds.size()) || lp < 0 ||
      lp >= static_cast<int>(area.Puts.size()) || track < 0 ||
      track >= static_cast<int>(area.Puts[lp].Tracks.size()))
    return "no such task";
  const TaskDeed& d = kTaskDeeds[deed];
  const TaskThroatSlots slots = ThroatSlotsOf(area, lp);
  const std::vector<std::string> inlets = TaskDeedInlets(area, slots, d);
  TaskChoice choice;
  choice.Deed = deed;
  choice.Track = track;
  if (!inlets.empty()) {
    choice.Inlet = std::clamp(inlet, 0, static_cast<int>(inlets.size()) - 1);
    choice.InletCaption = inlets[choice.Inlet];
    choice.FourInlets = inlets.size() >= 4;
  }
  // The throat word: the inlet for a transit, else the number of the deed's throat.
  int number = choice.Inlet;
  if (!d.Transit() && number < 0) {
    const int kind = d.Sends ? 1 : 0;
    number = slots.At(d.Side, kind, 0) >= 0 || slots.At(d.Side, kind, 1) < 0 ? 0 : 1;
  }
  std::string throat = SideWord(d.Side);
  if (number > 0 || (d.Transit() && number == 0)) throat += fmt::format(":{}", number);
  const char* kind = d.Transit() ? "transit" : d.Sends ? "send" : "receive";
  const std::string line = fmt::format("task {} {} {} {}{}", LpCode(area, lp), kind, throat,
                                       TrackWord(area, lp, track), dialog ? " dialog" : "");
  bool written = false;
  const std::string reason = OrderThroatTask(sim, slots, choice, &written);
  if (!reason.empty()) {
    // Told first: the console's clock goes on while the station's box is open, and the
    // operation took effect before that.
    Told(sim, line, reason);
    // The station answers the task dialog; a scenario's refusal is only noted.
    if (dialog && sim.Console)
      sim.Console->InformDispatcher(TaskDialogCaption(area, lp), TaskRefusalText(reason),
                                    area.Puts[lp].Ring);
    return reason;
  }
  return Told(sim, line, written ? "" : "the task was not written");
}

std::string OperateCancelTask(DispatchData& sim, int lp, int side, int number) {
  const TAreaData& area = sim.AreaData;
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return "no such station";
  const TaskThroatSlots slots = ThroatSlotsOf(area, lp);
  std::string line = fmt::format("canceltask {}", LpCode(area, lp));
  if (side >= 0) line += fmt::format(" {}{}", SideWord(side), number > 0 ? ":1" : "");
  bool any = false;
  for (int s = 0; s < 2; ++s) {
    for (int kind = 0; kind < 2; ++kind) {
      for (int n = 0; n < 2; ++n) {
        if (side >= 0 && (s != side || n != number)) continue;
        const int g = slots.At(s, kind, n);
        if (g >= 0 && g < static_cast<int>(sim.State.Gorls.size()) &&
            sim.State.Gorls[g].TASKED != 0) {
          CancelTask(sim, g);
          any = true;
        }
      }
    }
  }
  return Told(sim, line,
              any         ? ""
              : side >= 0 ? "the throat has no task"
                          : "the station has no task");
}

std::string OperatePut(DispatchData& sim, int number, int lp, int track) {
  const TAreaData& area = sim.AreaData;
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size()) || track < 0 ||
      track >= static_cast<int>(area.Puts[lp].Tracks.size()))
    return "no such track";
  const std::string line =
      fmt::format("put {} {} {}", number, LpCode(area, lp), TrackWord(area, lp, track));
  const int s = area.Puts[lp].Tracks[track].Section;
  if (ValidSection(area, s) && (TrainOnHalf(sim, s, 0) >= 0 || TrainOnHalf(sim, s, 1) >= 0))
    return Told(sim, line, "the track is occupied");
  for (int i = 0; i < static_cast<int>(sim.State.Trains.size()); ++i) {
    const TTrainData& t = sim.State.Trains[i];
    if (t.NUMBER != number || t.HEAD.SECT_IDX != 0) continue;
    if (!PutOnTrack(sim, i, lp, track)) return Told(sim, line, "the track is too short");
    ReleaseMadeUp(sim, i);
    TrainListChanged(sim);
    return Told(sim, line, "");
  }
  return Told(sim, line, "no train " + std::to_string(number) + " is waiting");
}

std::string OperateAuto(DispatchData& sim, int lp, bool on) {
  const std::size_t count = sim.AreaData.Puts.size();
  if (lp >= static_cast<int>(count) || lp < -1) return "no such station";
  if (sim.State.AutoLPs.size() < count) sim.State.AutoLPs.resize(count, false);
  for (std::size_t k = 0; k < count; ++k)
    if (lp < 0 || static_cast<int>(k) == lp) sim.State.AutoLPs[k] = on;
  const std::string who = lp < 0 ? std::string("all") : std::to_string(LpCode(sim.AreaData, lp));
  return Told(sim, "auto " + who + (on ? " on" : " off"), "");
}

std::string OperateHold(DispatchData& sim, int number, const std::string& span,
                        std::optional<TDateTime> from) {
  const std::optional<TDateTime> length = ParseSpan(span);
  if (number <= 0 || !length || *length <= 0) return "no such hold";
  const TDateTime start = from ? *from : DueAfter(sim.State.ClockTime);
  // A later hold of the same train replaces the earlier one.
  std::erase_if(sim.AutoHolds, [&](const AutoHold& h) {
    return h.Number == number || !(sim.State.ClockTime < h.Until);
  });
  sim.AutoHolds.push_back({number, start + *length});
  return Told(sim, fmt::format("hold {} {}", number, span), "");
}

std::string OperateSetting(DispatchData& sim, const std::string& name, const std::string& value) {
  const std::string reason = ApplySetting(sim.Settings, sim.AreaData, name, value);
  if (!reason.empty()) return reason;
  return Told(sim, "set " + name + "=" + value, "");
}

void OperateSettings(DispatchData& sim, const TSettings& changed) {
  const auto now = SettingsAssignments(sim.Settings);
  for (const auto& wanted : SettingsAssignments(changed)) {
    const auto same = std::find_if(now.begin(), now.end(),
                                   [&wanted](const auto& a) { return a.first == wanted.first; });
    if (same == now.end() || same->second != wanted.second)
      OperateSetting(sim, wanted.first, wanted.second);
  }
}

void NoteReply(DispatchData& sim, bool answer, const std::string& question, AnswerSource by) {
  if (!sim.OnOperation) return;
  std::string line = answer ? "reply yes" : "reply no";
  if (by == AnswerSource::Dispatcher) line += " dispatcher";
  if (by == AnswerSource::Scenario) line += " scenario";
  sim.OnOperation(line, question);
}

void NoteOperation(DispatchData& sim, const std::string& line, const std::string& note) {
  if (sim.OnOperation) sim.OnOperation(line, note);
}

}  // namespace traklin
