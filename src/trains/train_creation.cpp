// Train creation: timetable trains, creation plans, random freights, waiting trains.
#include "trains/train_creation.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "state/interlocking.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

constexpr int kHauledCarLength = 26;   // m, a timetable train's car
constexpr int kFreightCarLength = 12;  // m, a random-composition freight car
constexpr int kCarWeight = 60;         // t
constexpr int kDefaultFreightLoco = 2;
constexpr int kLightLocoLoad = 3;
const char* const kBadRandomCount = "Неправильное количество случайных грузовых";

// The minute a plan is tried in: its time of day (hhmm) and day number × 1440 + minute of the
// day. Both creation passes ask at every step; the clock is decoded once per step.
struct PlanMinute {
  int HHMM = 0;
  std::int64_t Stamp = 0;
};

PlanMinute MinuteOf(SimulationData& sim, TDateTime t) {
  TPlanIndex& index = sim.Changes.Plans;
  // A pure function of the clock: the kept minute holds for the same clock in any state.
  if (index.MinuteDecoded && index.MinuteClock == t) return {index.MinuteHHMM, index.MinuteStamp};
  const TimeParts p = DecodeTime(t);
  const PlanMinute m{p.Hour * 100 + p.Minute,
                     static_cast<std::int64_t>(std::floor(t)) * 1440 + p.Hour * 60 + p.Minute};
  index.MinuteDecoded = true;
  index.MinuteClock = t;
  index.MinuteHHMM = m.HHMM;
  index.MinuteStamp = m.Stamp;
  return m;
}

// True only on the first call for that plan in that minute. Without it a plan would fire on
// every step of its minute, and a train removed at once would be made and reported again.
bool FirstAttempt(std::vector<std::int64_t>& attempts, std::size_t plans, int plan,
                  std::int64_t stamp) {
  if (attempts.size() != plans) attempts.resize(plans, -1);
  if (attempts[plan] == stamp) return false;
  attempts[plan] = stamp;
  return true;
}

constexpr int kMinutesHHMM = 2400;

/// The creation plans of minute hhmm, in their order (the index is made again when the
/// district's plans are not those it was made for).
std::span<const int> PlansOfMinute(SimulationData& sim, int hhmm) {
  TPlanIndex& index = sim.Changes.Plans;
  const TCreationPlansData& plans = sim.AreaData.CreationPlans;
  if (index.PlansData != plans.data() || index.PlansCount != plans.size() || index.Start.empty()) {
    index.Start.assign(kMinutesHHMM + 2, 0);
    index.Plans.assign(plans.size(), -1);
    for (const TCreationPlanData& plan : plans)
      if (plan.Time >= 0 && plan.Time < kMinutesHHMM) ++index.Start[plan.Time + 1];
    for (int m = 0; m <= kMinutesHHMM; ++m) index.Start[m + 1] += index.Start[m];
    std::vector<int> next(index.Start.begin(), index.Start.end() - 1);
    for (int k = 0; k < static_cast<int>(plans.size()); ++k)
      if (plans[k].Time >= 0 && plans[k].Time < kMinutesHHMM)
        index.Plans[next[plans[k].Time]++] = k;
    index.PlansData = plans.data();
    index.PlansCount = plans.size();
  }
  if (hhmm < 0 || hhmm >= kMinutesHHMM) return {};
  std::span<const int> found(index.Plans.data() + index.Start[hhmm],
                             index.Plans.data() + index.Start[hhmm + 1]);
  if (sim.Changes.Check) {
    std::size_t n = 0;
    for (int k = 0; k < static_cast<int>(plans.size()); ++k) {
      if (plans[k].Time != hhmm) continue;
      if (n >= found.size() || found[n] != k)
        throw CheckMismatch("incremental check: creation plan " + std::to_string(k) +
                            " of minute " + std::to_string(hhmm) + " is not in the index");
      ++n;
    }
    if (n != found.size())
      throw CheckMismatch("incremental check: the index has plans of another minute at " +
                          std::to_string(hhmm));
  }
  return found;
}

int TrainWithNumber(const SimulationData& sim, int number) {
  const TTrainsData& trains = sim.State.Trains;
  for (int i = 0; i < static_cast<int>(trains.size()); ++i)
    if (trains[i].NUMBER == number) return i;
  return -1;
}

// Types 0 and 1 are no locomotives; a type Data_Lok never gave is an all-zero record or lies
// beyond the table.
bool LocoDefined(const TAreaData& area, int loco) {
  if (loco < 2 || loco >= static_cast<int>(area.Locos.size())) return false;
  const TLocoData& l = area.Locos[loco];
  return l.Length != 0 || l.Weight != 0 || l.Traction != 0 || l.MaxSpeed != 0;
}

// A plan point that is no entry of the station list counts as 0 (no station).
int CheckedPoint(const TAreaData& area, int point) {
  return point >= 0 && point < static_cast<int>(area.Stations.size()) ? point : 0;
}

// The district LP where trains of a station-list entry start or end; 0 outside the list.
int PointLPCode(const TAreaData& area, int point) {
  const int p = CheckedPoint(area, point);
  return p > 0 ? area.Stations[p].LPCode : 0;
}

std::optional<int> DecimalNumber(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

void TrainCreated(SimulationData& sim, int i, TrainSource source) {
  if (sim.OnTrainCreated) sim.OnTrainCreated(i, source);
}

void UnknownLocoReport(SimulationData& sim, int i) {
  NotifyText(sim, "Неизвестный локомотив поезда " + TrainName(sim, i, 0));
}

// A new train outside the district with the values every creation starts from.
int AppendTrain(SimulationData& sim, const TCreationPlanData& plan, int scheduleNumber,
                int loadType) {
  TTrainData& t = sim.State.Trains.emplace_back();
  t.NUMBER = plan.Number;
  t.SCHEDULE_NUMBER = scheduleNumber;
  t.INDEXED_NAME = plan.Name;
  t.LOAD_TYPE = loadType;
  // Messages before the throat is known name the train in its number's direction.
  t.HEAD.DIR = t.TAIL.DIR = static_cast<std::uint8_t>(plan.Number & 1);
  t.HEAD.SPEED_LIM_SECT = t.SPEED_LIM = sim.MaxSpeedLimit;
  t.SEMAPH_NEXT_IDX = -1;
  t.PLAN_CREATION_LP_CODE = CheckedPoint(sim.AreaData, plan.CreationPoint);
  t.PLAN_ARRIVAL_LP_CODE = CheckedPoint(sim.AreaData, plan.ArrivalPoint);
  return static_cast<int>(sim.State.Trains.size()) - 1;
}

// The completion every new train goes through; false when the train had to be removed.
bool CompleteNewTrain(SimulationData& sim, int i) {
  const TAreaData& area = sim.AreaData;
  {
    const TTrainData& t = sim.State.Trains[i];
    if (t.CREATION_LP_CODE < 1 || t.ARRIVAL_LP_CODE < 1) {
      NotifyText(sim,
                 "Недостаточно данных о станциях для формирования поезда " + TrainName(sim, i, 1));
      RemoveTrain(sim, i, true);
      return false;
    }
  }
  // The head direction is the direction of the throat the train leaves through, not its
  // number's parity: beyond a parity flip an even train runs odd, and the stations name it by
  // that direction (802 made up at a station past the flip is announced as "№ 801").
  const int parity = sim.State.Trains[i].NUMBER & 1;
  int dir = parity;
  int throat = -1;
  const int lp = FindLPIndex(area, sim.State.Trains[i].CREATION_LP_CODE);
  if (!ThroatOfNextStop(sim, throat, dir, lp, i)) dir = parity;
  TTrainData& t = sim.State.Trains[i];
  t.HEAD.DIR = t.TAIL.DIR = static_cast<std::uint8_t>(dir & 1);
  t.NEXT_LP_CODE = 0;
  t.STOP_LP_CODE = 0;
  EnterLP(sim, i, t.CREATION_LP_CODE);

  TTrainData& u = sim.State.Trains[i];
  u.TAIL.LP_CODE = u.HEAD.LP_CODE;
  u.HEAD.PEREGON_IDX = u.TAIL.PEREGON_IDX = -1;
  u.HEAD.ROUTE_IDX = u.TAIL.ROUTE_IDX = -1;
  const TDateTime now = sim.State.ClockTime;
  u.CREATE_TIME = now;
  u.PLAN_CREATE_TIME = now;
  u.PLACE_TIME = 0;
  u.REQUEST_TIME = now - 1;
  u.REQUEST_TYPE = rqNone;
  u.REQUEST_PERFORMABLE = 0;
  u.DEPARTURE_TIME = 0;
  u.DEPARTURE_COMMISSION = false;
  u.DEPARTURE_SCHEDULED = false;
  u.POS_LOG_TIME = 0;
  return true;
}

// ---------------------------------------------------------------------------
// Daily random freight plans

bool HasFreightTimetable(const TAreaData& area, int number) {
  return FindScheduleTrain(GetScheduleTrains(area, number & 1, true), number) >= 0;
}

// The fixed plan between the same points whose timetable a random train borrows; -1 none.
int ChooseFixedPlan(SimulationData& sim, int from, int to) {
  const TCreationPlansData& plans = sim.AreaData.CreationPlans;
  const int n = static_cast<int>(plans.size());
  int fallback = -1;
  int choice = -1;
  for (int k = n - 1; k >= 0; --k) {
    if (plans[k].CreationPoint != from || plans[k].ArrivalPoint != to) continue;
    if (fallback < 0)
      fallback = k;
    else if (k > sim.Random.Draw(n))
      fallback = k;
    if (HasFreightTimetable(sim.AreaData, plans[k].Number)) {
      choice = k;
      if (k <= sim.Random.Draw(n)) break;
    }
  }
  return choice >= 0 ? choice : fallback;
}

// A free number of the freight numbering range with parity dir, uniformly; none when every
// such number belongs to a fixed plan, an earlier random plan or a living train.
std::optional<int> DrawFreeNumber(SimulationData& sim, const TCreationPlansData& earlier, int dir) {
  const TAreaData& area = sim.AreaData;
  const long long lo = area.FreightNumbering[0];
  const long long hi = area.FreightNumbering[1];
  const long long first = ((lo % 2) + 2) % 2 == dir ? lo : lo + 1;
  if (first > hi) return std::nullopt;
  const long long count = (hi - first) / 2 + 1;

  std::vector<long long> taken;
  const auto take = [&](int number) {
    if (number >= first && number <= hi && ((number % 2) + 2) % 2 == dir) taken.push_back(number);
  };
  for (const TCreationPlanData& p : area.CreationPlans) take(p.Number);
  for (const TCreationPlanData& p : earlier) take(p.Number);
  for (const TTrainData& t : sim.State.Trains) take(t.NUMBER);
  std::sort(taken.begin(), taken.end());
  taken.erase(std::unique(taken.begin(), taken.end()), taken.end());

  const long long free = count - static_cast<long long>(taken.size());
  if (free <= 0) return std::nullopt;
  // The k-th free number: step over every taken number at or below the candidate.
  long long number =
      first + 2 * sim.Random.Draw(static_cast<int>(std::min<long long>(free, INT_MAX)));
  for (const long long n : taken)
    if (n <= number) number += 2;
  return static_cast<int>(number);
}

// Appends the random plan of one train running from → to at minute m of the day, in
// direction dir. Returns false when no number was free.
bool AddRandomPlan(SimulationData& sim, TCreationPlansData& plans, int from, int to, int m,
                   int dir) {
  TCreationPlanData e;
  e.Time = (m / 60) * 100 + m % 60;
  e.CreationPoint = from;
  e.ArrivalPoint = to;
  const int fixed = ChooseFixedPlan(sim, from, to);
  if (fixed >= 0) {
    e.LoadType = sim.AreaData.CreationPlans[fixed].LoadType;
    e.Name = std::to_string(sim.AreaData.CreationPlans[fixed].Number);
  } else {
    e.LoadType = sim.Random.Draw(14);
  }
  const std::optional<int> number = DrawFreeNumber(sim, plans, dir);
  if (!number) return false;
  e.Number = *number;
  plans.push_back(e);
  return true;
}

void GenerateRandomPlans(SimulationData& sim) {
  TCreationPlansData& plans = sim.State.RandomPlans;
  plans.clear();
  sim.State.RandomPlanAttempts.clear();
  const TRandomFreightsData& records = sim.Settings.RandomFreights;
  const int total = sim.Settings.RandomFreightsTotal;
  const int dev = sim.Settings.RandomFreightsNumberDeviation;

  std::vector<int> pairs;  // the record of each pair
  if (dev == 0) {
    for (int r = 0; r < static_cast<int>(records.size()); ++r)
      for (int c = 0; c < records[r].Count; ++c) {
        if (static_cast<int>(pairs.size()) >= total) {
          NotifyText(sim, kBadRandomCount);
          return;
        }
        pairs.push_back(r);
      }
  } else {
    const int lo = total * (100 - dev) / 100;
    const int hi = total * (100 + dev) / 100;
    const int count = lo + sim.Random.Draw(hi - lo + 1);
    for (int k = 0; k < count; ++k) {
      int r = sim.Random.Draw(total);
      int record = static_cast<int>(records.size()) - 1;
      for (; record >= 0; --record) {
        r -= records[record].Count;
        if (r < 0) break;
      }
      if (record < 0) {
        NotifyText(sim, kBadRandomCount);
        return;
      }
      pairs.push_back(record);
    }
  }

  bool exhausted = false;
  for (const int record : pairs) {
    const int t1 = sim.Random.Draw(1440);
    const int t2 = sim.Random.Draw(720) + (t1 < 720 ? 720 : 0);
    const TRandomFreightData& rec = records[record];
    // The odd train runs from "from": the first train of a pair is odd, the return train even.
    bool numbered = AddRandomPlan(sim, plans, rec.From, rec.To, t1, 1);
    numbered = AddRandomPlan(sim, plans, rec.To, rec.From, t2, 0) && numbered;
    if (!numbered && !exhausted) {
      NotifyText(sim, kBadRandomCount);
      exhausted = true;
    }
  }
}

// ---------------------------------------------------------------------------
// Waiting trains

int LPOfCode(const TAreaData& area, int code) {
  return code > 0 ? FindLPIndex(area, code) : -1;
}

// Entry section of the throat through which the waiting train will leave the LP towards its
// next stop; 0 for none.
int EntrySectionFor(SimulationData& sim, int i, int lp) {
  const TAreaData& area = sim.AreaData;
  // An asking LP whose station has no duty officer puts nothing out by itself.
  if (area.Puts[lp].CodeFromStation == 1 && LPIsControlled(area, lp)) return 0;
  const int dir = sim.State.Trains[i].HEAD.DIR;
  const int code = sim.State.Trains[i].HEAD.LP_CODE;
  for (int g = static_cast<int>(area.GorlStanzs.size()) - 1; g >= 0; --g) {
    const TGorlStanzData& th = area.GorlStanzs[g];
    if (th.Code != code || th.Side < 0) continue;
    int throat = g;
    int d = dir;
    if (ThroatOfNextStop(sim, throat, d, lp, i) && d == dir) return th.EntrySection;
  }
  return 0;
}

bool FirstSectionLocked(const SimulationData& sim, int lp, int chain) {
  const TAreaData& area = sim.AreaData;
  if (lp >= static_cast<int>(area.TrainRoutes.size())) return false;
  const TLPRoutesData& routes = area.TrainRoutes[lp];
  if (chain < 0 || chain >= static_cast<int>(routes.Chains.size())) return false;
  const int r = routes.Chains[chain].Routes[0];
  const int s = r >= 0 && r < static_cast<int>(routes.Routes.size())
                    ? routes.Routes[r].FirstSection
                    : routes.Chains[chain].StartSection;
  if (s < 0 || s >= static_cast<int>(sim.State.Sects.size())) return false;
  const TSectionSchuntData& x = sim.State.Sects[s];
  // The chain starts at the track, so it is the track's own section whose locks count, not
  // the throat's entry section. A released half keeps the LP that locked it last; only a half
  // with a route is locked.
  return (x.LP_EVEN == lp && x.ROUTE_EVEN != -1) || (x.LP_ODD == lp && x.ROUTE_ODD != -1);
}

// The free tracks with the best order value on which the waiting train can be put.
std::vector<int> CandidateTracks(SimulationData& sim, int i, int lp, int entry) {
  std::vector<int> best;
  if (entry <= 0) return best;
  const TAreaData& area = sim.AreaData;
  const int dir = sim.State.Trains[i].HEAD.DIR;
  const int len = sim.State.Trains[i].LEN;
  int bestOrder = 0;
  for (int k = 0; k < static_cast<int>(area.Puts[lp].Tracks.size()); ++k) {
    const TTrackData& track = area.Puts[lp].Tracks[k];
    const int occupant = OccupyingTrain(sim, track.Section);
    // An occupancy naming a train beyond the list is no train.
    if (occupant >= 0 && occupant < static_cast<int>(sim.State.Trains.size())) continue;
    if (!TrackSuits(sim, lp, k, i)) continue;
    // A track the train does not fit on would be offered on every step.
    if (!TrackTakes(sim, lp, k, len)) continue;
    // The train is made up on the track and leaves it through the throat: the chain runs
    // from the track to the entry section (reception chains lead the other way).
    const int chain = FindBestRoute(area, lp, track.Section, entry);
    if (chain < 0 || FirstSectionLocked(sim, lp, chain)) continue;
    const int task = ReceiveTaskOfTrack(sim, lp, k);
    if (task >= 0 && area.GorlStanzs[task].Parity == dir) continue;
    const bool better = dir == 0 ? track.Value7 < bestOrder : track.Value7 > bestOrder;
    if (best.empty() || better) {
      best.clear();
      bestOrder = track.Value7;
    }
    if (track.Value7 == bestOrder) best.push_back(k);
  }
  return best;
}

void PutOutOrReceive(SimulationData& sim, int i, int lp, int kind) {
  const std::vector<int> tracks = CandidateTracks(sim, i, lp, EntrySectionFor(sim, i, lp));
  if (tracks.empty()) {
    PostRequest(sim, lp, i, -1, false, kind);
    return;
  }
  const int track = tracks[sim.Random.Draw(static_cast<int>(tracks.size()))];
  bool yes = true;
  if (sim.AreaData.Puts[lp].CodeFromStation == 1)
    yes = PostRequest(sim, lp, i, track, true, kind);
  else
    StationReport(sim, lp, i, kind == rqPut ? srPutOut : srReceived);
  if (yes) PutOnTrack(sim, i, lp, track);
}

// A dependant train takes the arrived parent's locomotive and cars and its place on the
// track. Returns the index of the next train to serve.
int FormDependant(SimulationData& sim, int i, int kind) {
  const TAreaData& area = sim.AreaData;
  const int plan = FindCreationPlan(area, sim.State.Trains[i].NUMBER);
  if (plan < 0 || area.CreationPlans[plan].Parent == 0) {
    RemoveTrain(sim, i, true);
    return i;
  }
  const int parentNumber = area.CreationPlans[plan].Parent;
  const int parent = TrainWithNumber(sim, parentNumber);
  if (parent < 0) {
    NotifyText(sim, "Поезд " + TrainName(sim, i, 1) + " не может быть сформирован,\r\n" +
                        "так как отсутствует поезд " +
                        FormatTrainNumber(parentNumber, "", TrainDir(sim, i, 0), 1));
    RemoveTrain(sim, i, true);
    return i;
  }
  const TTrainData& p = sim.State.Trains[parent];
  int lp = -1;
  const int track = p.HEAD.SECT_IDX > 0 ? FindTrackOfSection(area, lp, p.HEAD.SECT_IDX, false) : -1;
  if (track < 0 || IsMoving(sim, parent) || p.HEAD.LP_CODE != p.ARRIVAL_LP_CODE) return i + 1;

  // The fit is tested before the parent goes: a refusal keeps both trains as they are.
  if (!TrackTakes(sim, lp, track, p.LEN)) {
    TooShortTrackReport(sim, i, lp, track);
    TTrainData& t = sim.State.Trains[i];
    t.REQUEST_TIME = sim.State.ClockTime;
    t.REQUEST_TYPE = static_cast<std::uint8_t>(kind);
    t.REQUEST_LP_CODE = t.HEAD.LP_CODE;
    t.REQUEST_PERFORMABLE = -1;
    return i + 1;
  }
  TTrainData& t = sim.State.Trains[i];
  t.LOCO_IDX = p.LOCO_IDX;
  t.CARS = p.CARS;
  t.LEN = p.LEN;
  t.WEIGHT = p.WEIGHT;
  RemoveTrain(sim, parent, true);
  if (parent < i) --i;  // the later trains moved down by one
  if (!PutOnTrack(sim, i, lp, track)) return i + 1;
  ReleaseMadeUp(sim, i);
  TrainCreated(sim, i, TrainSource::Dependant);
  return i + 1;
}

// Serves train i; returns the index of the next train to serve.
int ServeTrain(SimulationData& sim, int i) {
  const TAreaData& area = sim.AreaData;
  TTrainData& t = sim.State.Trains[i];
  if (t.PLACE_TIME != 0) {
    if (t.PLACE_TIME < sim.State.ClockTime) {
      const int lp = LPOfCode(area, t.HEAD.LP_CODE);
      if (lp >= 0 && t.PLAN_CREATION_LP_CODE != t.CREATION_LP_CODE)
        StationReport(sim, lp, i, srArrived);
      ReleaseMadeUp(sim, i);
    }
    return i + 1;
  }
  if (t.HEAD.SECT_IDX != 0 || t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE) return i + 1;
  // Formed at the district LP itself, or coming from beyond the district through it.
  const int kind = t.PLAN_CREATION_LP_CODE == t.CREATION_LP_CODE ? rqPut : rqReceive;
  const int code = t.HEAD.LP_CODE;
  const bool composed = t.CARS != 0 || t.LEN != 0 || t.WEIGHT != 0;
  if (RequestIsFresh(sim, i, kind, code, 0)) return i + 1;
  const int lp = LPOfCode(area, code);
  if (lp < 0) return i + 1;
  if (!composed) return FormDependant(sim, i, kind);
  PutOutOrReceive(sim, i, lp, kind);
  return i + 1;
}

}  // namespace

bool PlanRunsOn(const TCreationPlanData& plan, TDateTime date) {
  const DateParts d = DecodeDate(date);
  const int mmdd = d.Month * 100 + d.Day;
  const bool starts = plan.StartDate != 0;
  const bool ends = plan.EndDate != 0;
  if (starts && ends && plan.StartDate > plan.EndDate) {
    // A service over the New Year (1230 .. 0102): from the first date to the year's end and
    // from its start to the last date.
    if (mmdd < plan.StartDate && mmdd > plan.EndDate) return false;
  } else {
    if (starts && plan.StartDate > mmdd) return false;
    if (ends && plan.EndDate < mmdd) return false;
  }
  const auto listed = [&](int value) {
    return std::find(plan.Days.begin(), plan.Days.end(), value) != plan.Days.end();
  };
  switch (plan.Periodicity) {
    case 1:
      return d.Day % 2 == 1;
    case 2:
      return d.Day % 2 == 0;
    case 3:
      return listed(mmdd);
    case 4:
      return listed(d.Day);
    case 5:
      return listed(DayOfWeekIso(date));
    default:
      return true;
  }
}

bool CanPutOutOrReceive(SimulationData& sim, int i, int lp) {
  if (!ValidTrain(sim, i) || lp < 0 || lp >= static_cast<int>(sim.AreaData.Puts.size()))
    return false;
  const TTrainData& t = sim.State.Trains[i];
  if (t.CARS == 0 && t.LEN == 0 && t.WEIGHT == 0) return false;
  return !CandidateTracks(sim, i, lp, EntrySectionFor(sim, i, lp)).empty();
}

void CreatePlannedTrains(SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  const TDateTime now = sim.State.ClockTime;
  const PlanMinute minute = MinuteOf(sim, now);
  const int hhmm = minute.HHMM;
  const std::int64_t stamp = minute.Stamp;
  const TCreationPlansData& plans = area.CreationPlans;
  for (const int k : PlansOfMinute(sim, hhmm)) {
    const TCreationPlanData& plan = plans[k];
    if (plan.Time != hhmm || plan.Cars <= 0 || !PlanRunsOn(plan, now)) continue;
    if (!FirstAttempt(sim.State.PlanAttempts, plans.size(), k, stamp)) continue;
    if (TrainWithNumber(sim, plan.Number) >= 0) continue;
    const bool hasParent = plan.Parent != 0 && TrainWithNumber(sim, plan.Parent) >= 0;
    if (plan.Parent != 0 && !hasParent && !sim.Settings.CreateDependantTrains) continue;

    const ScheduleTrainEnds ends = GetScheduleTrainEnds(area, false, plan.Number);
    const int i = AppendTrain(sim, plan, plan.Number, 100);
    TTrainData& t = sim.State.Trains[i];
    t.CREATION_LP_CODE = ends.FirstLPCode;
    t.ARRIVAL_LP_CODE = ends.LastLPCode;
    const bool knownLoco = LocoDefined(area, ends.LocoType);
    if (!hasParent) {
      t.LOCO_IDX = ends.LocoType;
      if (!knownLoco) {
        UnknownLocoReport(sim, i);
        RemoveTrain(sim, i, true);
        continue;
      }
      t.SCHEDULE_IDX = 0;
      const TLocoData& loco = area.Locos[t.LOCO_IDX];
      t.CARS = plan.Cars;
      if (loco.AccelType == 0) {  // hauled: a car or two may be added
        if (sim.Random.Draw(100) < 5) ++t.CARS;
        if (sim.Random.Draw(100) < 5) ++t.CARS;
        t.LEN = loco.Length + kHauledCarLength * t.CARS;
        t.WEIGHT = loco.Weight + kCarWeight * t.CARS;
      } else {  // a multiple unit of CARS units
        t.LEN = t.CARS * loco.Length;
        t.WEIGHT = t.CARS * loco.Weight;
      }
    } else {
      // Formed later from the parent's locomotive and cars.
      t.LOCO_IDX = 0;
      t.CARS = t.LEN = t.WEIGHT = 0;
      t.SCHEDULE_IDX = 0;
      if (!knownLoco) {
        UnknownLocoReport(sim, i);
        sim.State.Trains[i].SCHEDULE_IDX = -1;
      }
    }
    if (!CompleteNewTrain(sim, i)) continue;
    if (!hasParent) TrainCreated(sim, i, TrainSource::Timetable);
  }
}

int CreateFreight(SimulationData& sim, const TCreationPlanData& plan, int scheduleNumber) {
  const TAreaData& area = sim.AreaData;
  const ScheduleTrainEnds ends = GetScheduleTrainEnds(area, true, scheduleNumber);
  const int i = AppendTrain(sim, plan, scheduleNumber, plan.LoadType);
  {
    TTrainData& t = sim.State.Trains[i];
    t.LOCO_IDX = ends.LocoType;
    t.CREATION_LP_CODE = ends.FirstLPCode;
    t.ARRIVAL_LP_CODE = ends.LastLPCode;
    t.SCHEDULE_IDX = 0;
    if (t.LOCO_IDX < 2) {  // runs without timetable behind the default locomotive
      t.LOCO_IDX = kDefaultFreightLoco;
      t.SCHEDULE_IDX = -1;
    }
    if (!LocoDefined(area, t.LOCO_IDX)) {
      UnknownLocoReport(sim, i);
      RemoveTrain(sim, i, true);
      return -1;
    }
  }
  int cars = 0;
  if (plan.LoadType != kLightLocoLoad) {
    const int u = sim.Random.Draw(100);
    const int s = sim.Random.Draw(2) == 0 ? -1 : 1;
    cars = static_cast<int>(RoundHalfEven(s * (10 - std::sqrt(static_cast<double>(u))) + 50));
  }
  TTrainData& t = sim.State.Trains[i];
  const TLocoData& loco = area.Locos[t.LOCO_IDX];
  t.CARS = cars;
  t.LEN = kFreightCarLength * cars + loco.Length;
  t.WEIGHT = kCarWeight * cars + loco.Weight;
  t.STOP_ADVICE_SECT_IDX = 0;
  if (t.CREATION_LP_CODE < 1 || t.ARRIVAL_LP_CODE < 1) {
    t.CREATION_LP_CODE = PointLPCode(area, plan.CreationPoint);
    t.ARRIVAL_LP_CODE = PointLPCode(area, plan.ArrivalPoint);
  }
  if (!CompleteNewTrain(sim, i)) return -1;
  if (plan.Number != scheduleNumber) {
    // A borrowed timetable keeps the times of the plan that owns it.
    const int fixed = FindCreationPlan(area, scheduleNumber);
    TTrainData& u = sim.State.Trains[i];
    if (fixed >= 0)
      u.PLAN_CREATE_TIME = std::floor(u.CREATE_TIME) + DayFraction(area.CreationPlans[fixed].Time);
  }
  return i;
}

void CreateFreightTrains(SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  TStateData& state = sim.State;
  const TDateTime now = state.ClockTime;
  const PlanMinute minute = MinuteOf(sim, now);
  const int hhmm = minute.HHMM;
  const std::int64_t stamp = minute.Stamp;

  const TCreationPlansData& plans = area.CreationPlans;
  for (const int k : PlansOfMinute(sim, hhmm)) {
    const TCreationPlanData& plan = plans[k];
    if (plan.Cars != 0 || plan.Time != hhmm) continue;
    if (!FirstAttempt(state.PlanAttempts, plans.size(), k, stamp)) continue;
    if (TrainWithNumber(sim, plan.Number) >= 0) continue;
    const int i = CreateFreight(sim, plan, plan.Number);
    if (i >= 0) TrainCreated(sim, i, TrainSource::Plan);
  }

  // Yesterday's plans are not run again in the first minute of the new day.
  if (now < state.NextRandomFreightTime) {
    for (int k = 0; k < static_cast<int>(state.RandomPlans.size()); ++k) {
      if (state.RandomPlans[k].Time != hhmm) continue;
      if (!FirstAttempt(state.RandomPlanAttempts, state.RandomPlans.size(), k, stamp)) continue;
      TCreationPlanData copy = state.RandomPlans[k];
      // The name holds the number of the fixed plan whose timetable the train borrows.
      const int schedule = DecimalNumber(copy.Name).value_or(copy.Number);
      copy.Name = std::to_string(copy.Number);
      if (TrainWithNumber(sim, copy.Number) >= 0) continue;
      const int i = CreateFreight(sim, copy, schedule);
      if (i >= 0) TrainCreated(sim, i, TrainSource::Random);
    }
  }

  if (state.NextRandomFreightTime == 0 || state.NextRandomFreightTime <= now) {
    state.NextRandomFreightTime = std::floor(now) + 1;
    GenerateRandomPlans(sim);
  }
}

void ServeWaitingTrains(SimulationData& sim) {
  int i = 0;
  while (i < static_cast<int>(sim.State.Trains.size())) i = ServeTrain(sim, i);
}

}  // namespace traklin
