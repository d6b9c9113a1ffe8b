// Tasks to a station's duty officer: throat slots, deeds, tracks, inlets, checks and the list.
#include "trains/op_task.h"

#include <algorithm>

#include "area/area_queries.h"
#include "state/interlocking.h"
#include "trains/throat_queries.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin {
namespace {

constexpr TDateTime kTaskLead = 1.0 / 24;  // a task is written an hour ahead

const TTrackData* TrackOf(const TAreaData& area, int lp, int track) {
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return nullptr;
  const TTracksData& tracks = area.Puts[lp].Tracks;
  if (track < 0 || track >= static_cast<int>(tracks.size())) return nullptr;
  return &tracks[track];
}

std::string TrackName(const TAreaData& area, int lp, int track) {
  const TTrackData* t = TrackOf(area, lp, track);
  return t ? FormatTrackName(t->Number) : std::string();
}

/// The name of the LP beyond the throat in the given form; empty when unknown.
std::string NeighbourName(const TAreaData& area, int g, int form) {
  const int code = ThroatNeighbourLP(area, g);
  return code >= 0 ? StationNamePart(area, code, form) : std::string();
}

/// The route-state reason for chain `chain` of the LP, empty when its routes are free.
std::string ChainStateReason(const SimulationData& sim, int lp, int chain) {
  const TChainData& c = sim.AreaData.TrainRoutes[lp].Chains[chain];
  bool allSet = true, any = false;
  for (int r : c.Routes) {
    if (r < 0) break;
    if (lp >= static_cast<int>(sim.State.Routes.size()) ||
        r >= static_cast<int>(sim.State.Routes[lp].size()))
      continue;
    any = true;
    const TRouteControlData& control = sim.State.Routes[lp][r];
    if (control.TASKED != 0)
      return control.SCHUNTED ? "Маршрут для задания сейчас разбирается"
                              : "Маршрут для задания уже собирается";
    allSet = allSet && control.SCHUNTED;
  }
  return any && allSet ? "Маршрут для задания уже готов" : "";
}

/// Whether half `half` of section s is locked by a route of LP lp ending at s that is set with
/// nothing pending.
bool SetRouteEndsAt(const SimulationData& sim, int lp, int s, int half) {
  const TSectionSchuntData& lock = sim.State.Sects[s];
  const int lockLp = half ? lock.LP_ODD : lock.LP_EVEN;
  const int r = half ? lock.ROUTE_ODD : lock.ROUTE_EVEN;
  if (lockLp != lp || r < 0 || lp >= static_cast<int>(sim.AreaData.TrainRoutes.size()))
    return false;
  const auto& routes = sim.AreaData.TrainRoutes[lp].Routes;
  if (r >= static_cast<int>(routes.size()) || routes[r].LastSection != s) return false;
  if (lp >= static_cast<int>(sim.State.Routes.size()) ||
      r >= static_cast<int>(sim.State.Routes[lp].size()))
    return false;
  const TRouteControlData& control = sim.State.Routes[lp][r];
  return control.SCHUNTED && control.TASKED == 0;
}

}  // namespace

const std::array<TaskDeed, 6> kTaskDeeds = {{
    {"rbReceiveOdd", "Принять чётный на", 1, false, true},
    {"rbSendEven", "Отправить чётный с", 0, true, false},
    {"rbTransitEven", "На проход чётный по", 0, true, true},
    {"rbReceiveEven", "Принять нечётный на", 0, false, true},
    {"rbSendOdd", "Отправить нечётный с", 1, true, false},
    {"rbTransitOdd", "На проход нечётный по", 1, true, true},
}};

int TaskDeedIndex(const std::string& name) {
  for (std::size_t k = 0; k < kTaskDeeds.size(); ++k)
    if (name == kTaskDeeds[k].Name) return static_cast<int>(k);
  return -1;
}

int TaskThroatSlots::Count(int side, int kind) const {
  return (At(side, kind, 0) >= 0 ? 1 : 0) + (At(side, kind, 1) >= 0 ? 1 : 0);
}

TaskThroatSlots ThroatSlotsOf(const TAreaData& area, int lp) {
  TaskThroatSlots slots;
  slots.Lp = lp;
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return slots;
  const int code = area.Puts[lp].Code;
  const auto place = [&](int side, int kind, int number, int g) {
    int& slot = slots.At(side, kind, number);
    int& other = slots.At(side, kind, 1 - number);
    if (slot < 0) {
      slot = g;
    } else if (other < 0) {
      other = g;
    }
  };
  for (int g = 0; g < static_cast<int>(area.GorlStanzs.size()); ++g) {
    const TGorlStanzData& throat = area.GorlStanzs[g];
    if (throat.Code != code) continue;
    // Slots exist for two sides and two numbers only.
    if (throat.Parity > 1 || throat.Number < 0 || throat.Number > 1) continue;
    if (throat.Side == 0) {
      place(throat.Parity, 0, throat.Number, g);
      place(throat.Parity, 1, throat.Number, g);
    } else {
      place(throat.Parity, (throat.Side + 1) / 2, throat.Number, g);
    }
  }
  return slots;
}

bool TaskDeedEnabled(const TaskThroatSlots& slots, const TaskDeed& deed) {
  const bool receives = slots.Count(deed.ReceiveSide(), 0) > 0;
  const bool sends = slots.Count(deed.Side, 1) > 0;
  if (deed.Transit()) return receives && sends;
  return deed.Sends ? sends : receives;
}

std::vector<int> TaskDeedTracks(const TAreaData& area, int lp, const TaskDeed& deed) {
  std::vector<int> kept;
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return kept;
  const TTracksData& tracks = area.Puts[lp].Tracks;
  for (int k = 0; k < static_cast<int>(tracks.size()) && kept.size() < 26; ++k) {
    if (deed.Sends && tracks[k].SignB < 0) continue;
    if (deed.Receives && tracks[k].SignA < 0) continue;
    kept.push_back(k);
  }
  return kept;
}

int PreselectedTaskTrack(const TAreaData& area, int lp, const TaskDeed& deed,
                         const std::vector<int>& tracks) {
  const bool lowest = (deed.Sends && deed.Side == 1) || (!deed.Sends && deed.Side == 0);
  int chosen = -1;
  for (int k = 0; k < static_cast<int>(tracks.size()); ++k) {
    const TTrackData* t = TrackOf(area, lp, tracks[k]);
    if (t == nullptr || t->Number < 1000) continue;
    if (chosen < 0) {
      chosen = k;
      if (!lowest) break;
    } else if (t->Number < TrackOf(area, lp, tracks[chosen])->Number) {
      chosen = k;
    }
  }
  return chosen;
}

int TaskTrackOfSlot(int slot, int count) {
  if (slot < 0 || slot >= 26) return -1;
  const int k = count > 10 ? (slot % 13) * 2 + slot / 13 : slot;
  return k < count ? k : -1;
}

std::vector<std::string> TaskDeedInlets(const TAreaData& area, const TaskThroatSlots& slots,
                                        const TaskDeed& deed) {
  const bool twoSend = deed.Sends && slots.Count(deed.Side, 1) == 2;
  const bool twoReceive = deed.Receives && slots.Count(deed.ReceiveSide(), 0) == 2;
  std::vector<std::string> captions;
  for (int r = 0; r < (twoReceive ? 2 : 1); ++r) {
    for (int s = 0; s < (twoSend ? 2 : 1); ++s) {
      std::string caption;
      if (twoReceive) caption = "с " + NeighbourName(area, slots.At(deed.ReceiveSide(), 0, r), 5);
      if (twoSend) {
        if (!caption.empty()) caption += " ";
        caption += "на " + NeighbourName(area, slots.At(deed.Side, 1, s), 4);
      }
      if (!caption.empty()) captions.push_back(caption);
    }
  }
  return captions;
}

std::string CheckThroatTask(SimulationData& sim, int g, bool send, int track, bool transit,
                            int* train) {
  if (train) *train = -1;
  const TAreaData& area = sim.AreaData;
  if (g < 0 || g >= static_cast<int>(area.GorlStanzs.size()) ||
      g >= static_cast<int>(sim.State.Gorls.size()))
    return "Ошибка: несвязанные данные участка";
  const TGorlStanzData& throat = area.GorlStanzs[g];
  const int lp = FindLPIndex(area, throat.Code);
  const TTrackData* t = TrackOf(area, lp, track);
  if (lp < 0 || t == nullptr || !ValidSection(area, t->Section))
    return "Ошибка: несвязанные данные участка";
  if (sim.State.Gorls[g].TASKED != 0) return "Горловина занята";
  if (throat.Peregon == 0) return "Ошибка: нет примыкающих к горловине перегонов";
  if (throat.EntrySection <= 0) return "Ошибка: нет секции примыкающего к горловине перегона";
  const int s = t->Section, e = throat.EntrySection, d = throat.Parity;
  const std::string name = FormatTrackName(t->Number);
  int chain = -1;
  if (send) {
    if (throat.Side == -1) return "Ошибка: горловина на неправильный путь";
    // A train coming in from the peregon travels in the arrival direction at the entry.
    const int arrival = throat.Flip ^ d ^ 1;
    if (PeregonOccupiedDirections(sim, throat.Peregon - 1)[arrival])
      return "Перегон занят прибывающим поездом";
    if (OpposingRouteSet(sim, SectionSemaphore(area, e, arrival ^ 1)))
      return "Перегон занят встречным открытым выходным";
    const int standing = TrainOnHalf(sim, s, d);
    if (standing >= 0) {
      const int number = sim.State.Trains[standing].NUMBER;
      int given = g, dir = sim.State.Trains[standing].HEAD.DIR;
      const int headDir = dir;
      if (!ThroatOfNextStop(sim, given, dir, lp, standing))
        return "Неверное направление для поезда " + std::to_string(number);
      if (dir != headDir && transit)
        return "Маршрут требует принять, а затем отправить поезд " + std::to_string(number);
      if (train) *train = standing;
    } else if (!transit && !SetRouteEndsAt(sim, lp, s, 1 - d)) {
      const int other = TrainOnHalf(sim, s, 1 - d);
      if (other >= 0)
        return "Неверное направление для поезда " + std::to_string(sim.State.Trains[other].NUMBER);
      return "Нет поезда на пути " + name;
    }
    chain = FindBestRoute(area, lp, s, e);
    if (chain < 0) return "Нет маршрута до горловины от пути " + name;
  } else {
    if (TrainOnHalf(sim, s, 0) >= 0 || TrainOnHalf(sim, s, 1) >= 0) return "Путь занят";
    chain = FindBestRoute(area, lp, e, s);
    if (chain < 0) return "Нет маршрута от горловины до пути " + name;
    const int other = ReceiveTaskOfTrack(sim, lp, track);
    if (other >= 0 && other != g) return "Путь занят заданием на прибытие с другой горловины";
  }
  return ChainStateReason(sim, lp, chain);
}

std::string OrderThroatTask(SimulationData& sim, const TaskThroatSlots& slots,
                            const TaskChoice& choice, bool* written) {
  if (written) *written = false;
  if (choice.Deed < 0 || choice.Deed >= static_cast<int>(kTaskDeeds.size()) || choice.Track < 0)
    return {};
  const TaskDeed& deed = kTaskDeeds[choice.Deed];
  const bool transit = deed.Transit();
  std::string text;
  // The throat of a part: the only one, or the one the inlet names; none (-1) with two
  // throats and no inlet, which the check refuses.
  const auto pick = [&](int side, int kind, bool byPairs) {
    const int count = slots.Count(side, kind);
    if (count == 1)
      return slots.At(side, kind, 0) >= 0 ? slots.At(side, kind, 0) : slots.At(side, kind, 1);
    if (choice.Inlet < 0) return -1;
    text = choice.InletCaption;
    return slots.At(side, kind, byPairs ? choice.Inlet / 2 : choice.Inlet % 2);
  };

  int sendThroat = -1, receiveThroat = -1, train = -1;
  bool sendPart = false, receivePart = false;
  if (deed.Sends && slots.Count(deed.Side, 1) > 0) {
    sendPart = true;
    sendThroat = pick(deed.Side, 1, false);
    const std::string reason =
        CheckThroatTask(sim, sendThroat, true, choice.Track, transit, &train);
    if (!reason.empty()) return reason;
  }
  if (deed.Receives && slots.Count(deed.ReceiveSide(), 0) > 0) {
    receivePart = true;
    receiveThroat = pick(deed.ReceiveSide(), 0, choice.FourInlets);
    const std::string reason = CheckThroatTask(sim, receiveThroat, false, choice.Track, transit);
    if (!reason.empty()) return reason;
  }
  if (transit && sendPart != receivePart) return {};
  if (!sendPart && !receivePart) return {};

  const TDateTime now = sim.State.ClockTime;
  const auto write = [&](int g, bool send) {
    TGorlTaskData& task = sim.State.Gorls[g];
    task.TRACK = choice.Track;
    task.TRANSIT = transit;
    task.SEND = send;
    task.TASKED = now + kTaskLead;
    task.DIR = text;
  };
  if (sendPart) write(sendThroat, true);
  if (receivePart) write(receiveThroat, false);
  // The train is marked only once the tasks stand, never for a task that was refused.
  if (train >= 0) {
    TTrainData& t = sim.State.Trains[train];
    t.REQUEST_TIME = now;
    t.REQUEST_TYPE = sendPart ? 3 : 1;
    t.REQUEST_LP_CODE = sim.AreaData.Puts[slots.Lp].Code;
    t.REQUEST_PERFORMABLE = 1;
  }
  if (written) *written = true;
  return {};
}

void CancelStationTasks(SimulationData& sim, const TaskThroatSlots& slots) {
  for (int g : slots.Throats) {
    if (g >= 0 && g < static_cast<int>(sim.State.Gorls.size()) && sim.State.Gorls[g].TASKED != 0)
      CancelTask(sim, g);
  }
}

std::string TaskListText(const SimulationData& sim, const TaskThroatSlots& slots) {
  const TAreaData& area = sim.AreaData;
  std::vector<std::string> lines;
  for (int side = 0; side < 2; ++side) {
    for (int kind = 0; kind < 2; ++kind) {
      for (int number = 0; number < 2; ++number) {
        const int g = slots.At(side, kind, number);
        if (g < 0 || g >= static_cast<int>(sim.State.Gorls.size())) continue;
        const TGorlTaskData& task = sim.State.Gorls[g];
        if (task.TASKED == 0 || (task.TRANSIT && !task.SEND)) continue;
        const TGorlStanzData& throat = area.GorlStanzs[g];
        std::string text = task.DIR;
        if (text.empty() && ThroatNeighbourLP(area, g) >= 0)
          text = task.SEND ? "на " + NeighbourName(area, g, 4) : "с " + NeighbourName(area, g, 5);
        text = ((!task.SEND ? 1 : 0) == throat.Parity ? "чётный " : "нечётный ") + text;
        std::string line = task.TRANSIT ? "На проход " + text + " по пути "
                           : task.SEND  ? "Отправить " + text + " с пути "
                                        : "Принять " + text + " на путь ";
        const int lp = FindLPIndex(area, throat.Code);
        if (lp >= 0 && lp < area.StationCount) {
          line += TrackName(area, lp, task.TRACK);
        } else {
          line += "~" + std::to_string(task.TRACK) + "~";
        }
        if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
      }
    }
  }
  std::string text;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (!text.empty()) text += ",\r\n";
    text += *it;
  }
  return text;
}

std::string TaskDialogCaption(const TAreaData& area, int lp) {
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return {};
  const std::string name = StationNamePart(area, area.Puts[lp].Code, 2);
  return name.empty() ? LPName(area, lp) : name;
}

bool StationTakesTasks(const TAreaData& area, int lp) {
  return lp >= 0 && lp < area.StationCount && lp < static_cast<int>(area.Stanzs.size()) &&
         lp < static_cast<int>(area.Puts.size()) && area.Stanzs[lp].Value2 > 0 &&
         area.Puts[lp].CodeFromStation != 0;
}

std::string TaskRefusalText(const std::string& reason) {
  return "Задание невыполнимо:\r\n" + reason;
}

}  // namespace traklin
