// The punctuality report: runs observed step by step, matched to the timetable afterwards.
#include "dispatch/punctuality.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "area/area_queries.h"
#include "area/cp1251.h"
#include "area/date_time.h"
#include "trains/train_records.h"

namespace traklin {

PunctualityRecorder::PunctualityRecorder(SimulationData& sim)
    : sim_(sim), prevCreated_(sim.OnTrainCreated), prevRemoving_(sim.OnTrainRemoving) {
  sim_.OnTrainCreated = [this](int i, TrainSource source) {
    if (prevCreated_) prevCreated_(i, source);
    if (!ValidTrain(sim_, i)) return;
    runs_[RunOf(i)].Random = source == TrainSource::Random;
    ObserveTrain(i);
  };
  sim_.OnTrainRemoving = [this](int i) {
    if (prevRemoving_) prevRemoving_(i);
    if (!ValidTrain(sim_, i)) return;
    ObserveTrain(i);
    const TTrainData& t = sim_.State.Trains[i];
    const auto it = alive_.find({t.NUMBER, t.CREATE_TIME});
    if (it == alive_.end()) return;
    TrainRun& run = runs_[it->second];
    if (!run.Visits.empty() && run.Visits.back().Leave == 0)
      run.Visits.back().Leave = sim_.State.ClockTime;
    run.Finished = true;
    alive_.erase(it);
  };
}

PunctualityRecorder::~PunctualityRecorder() {
  sim_.OnTrainCreated = prevCreated_;
  sim_.OnTrainRemoving = prevRemoving_;
}

void PunctualityRecorder::Observe() {
  for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i) ObserveTrain(i);
}

void PunctualityRecorder::Reset() {
  runs_.clear();
  alive_.clear();
}

std::size_t PunctualityRecorder::RunOf(int i) {
  const TTrainData& t = sim_.State.Trains[i];
  const auto [it, added] = alive_.try_emplace({t.NUMBER, t.CREATE_TIME}, runs_.size());
  if (added) {
    TrainRun run;
    run.Number = t.NUMBER;
    run.Created = t.CREATE_TIME;
    runs_.push_back(std::move(run));
  }
  return it->second;
}

void PunctualityRecorder::ObserveTrain(int i) {
  if (!ValidTrain(sim_, i)) return;
  const TTrainData& t = sim_.State.Trains[i];
  if (t.HEAD.SECT_IDX == 0) return;
  TrainRun& run = runs_[RunOf(i)];
  const TDateTime now = sim_.State.ClockTime;
  const int lp = t.HEAD.PEREGON_IDX < 0 ? t.HEAD.LP_CODE : 0;
  StationVisit* open =
      !run.Visits.empty() && run.Visits.back().Leave == 0 ? &run.Visits.back() : nullptr;
  if (open && open->LPCode != lp) {
    open->Leave = now;
    open = nullptr;
  }
  if (!open && lp > 0) {
    // The entry can only be looked up while the train is there; a train whose timetable is
    // not yet known is asked again at each new station.
    if (!run.HasTimetable) {
      if (const TGraphTrainData* entry = ScheduleEntry(sim_, i)) {
        run.Timetable = entry->Stops;
        run.HasTimetable = true;
      }
    }
    run.Visits.push_back({lp, now, 0, 0, 0, 0});
    open = &run.Visits.back();
  }
  if (!open) return;
  if (t.SPEED == 0) {
    if (open->FirstStop == 0) open->FirstStop = now;
    open->LastRest = now;
  } else if (open->LastRest != 0 && open->LastStart < open->LastRest) {
    open->LastStart = now;
  }
}

namespace {

constexpr int kGrowthListed = 5;

int DelayMinutes(TDateTime actual, TDateTime planned) {
  return static_cast<int>(std::lround((actual - planned) * 1440.0));
}

/// An hhmm time placed on the day nearest `near`.
TDateTime NearestDay(int hhmm, TDateTime near) {
  TDateTime t = std::floor(near) + DayFraction(hhmm);
  if (t < near - 0.5) t += 1;
  if (t > near + 0.5) t -= 1;
  return t;
}

TrainPunctuality Evaluate(const TAreaData& area, const TrainRun& run) {
  TrainPunctuality out;
  out.Number = run.Number;
  out.Created = run.Created;
  out.Finished = run.Finished;
  std::size_t next = 0;
  TDateTime previous = run.Created;
  for (const TStopData& stop : run.Timetable) {
    if (stop.LPCode == 0) continue;
    StopPunctuality p;
    p.LPCode = stop.LPCode;
    p.Station = LPName(area, FindLPIndex(area, stop.LPCode));
    // Later stops keep to the day of the earlier ones, so that a run over midnight goes on
    // into the next day.
    if (stop.Arrival != 0) {
      p.PlannedArrival = NearestDay(stop.Arrival, previous);
      previous = std::max(previous, *p.PlannedArrival);
    }
    p.PlannedDeparture = NearestDay(stop.Departure, previous);
    previous = std::max(previous, *p.PlannedDeparture);
    std::size_t v = next;
    while (v < run.Visits.size() && run.Visits[v].LPCode != stop.LPCode) ++v;
    if (v < run.Visits.size()) {
      const StationVisit& visit = run.Visits[v];
      next = v + 1;
      // A train made up at the station, or placed at its edge, did not arrive there.
      if (!(v == 0 && visit.Enter - run.Created < kMinute))
        p.ActualArrival = visit.FirstStop != 0 ? visit.FirstStop : visit.Enter;
      if (visit.FirstStop == 0) {
        if (visit.Leave != 0) p.ActualDeparture = visit.Leave;
      } else if (visit.LastStart != 0) {
        p.ActualDeparture = visit.LastStart;
      }
      if (p.ActualDeparture && stop.Departure != 0)
        p.DelayMin = DelayMinutes(*p.ActualDeparture, *p.PlannedDeparture);
      else if (p.PlannedArrival && p.ActualArrival)
        p.DelayMin = DelayMinutes(*p.ActualArrival, *p.PlannedArrival);
      if (p.DelayMin) out.FinalDelayMin = p.DelayMin;
    }
    out.Stops.push_back(std::move(p));
  }
  return out;
}

}  // namespace

PunctualityReport BuildPunctualityReport(const TAreaData& area, const std::vector<TrainRun>& runs,
                                         int toleranceMin) {
  PunctualityReport report;
  PunctualitySummary& s = report.Summary;
  s.ToleranceMin = toleranceMin;
  std::vector<const TrainRun*> order;
  for (const TrainRun& run : runs)
    if (run.HasTimetable && !run.Random) order.push_back(&run);
  std::stable_sort(order.begin(), order.end(), [](const TrainRun* a, const TrainRun* b) {
    return a->Created != b->Created ? a->Created < b->Created : a->Number < b->Number;
  });
  std::map<int, StationDelayGrowth> growth;
  double sum = 0;
  int counted = 0;
  for (const TrainRun* run : order) {
    TrainPunctuality t = Evaluate(area, *run);
    ++s.Run;
    if (t.Finished) ++s.Finished;
    if (t.Finished && t.FinalDelayMin) {
      if (*t.FinalDelayMin <= toleranceMin) ++s.OnTime;
      sum += *t.FinalDelayMin;
      ++counted;
      if (!s.WorstDelayMin || *t.FinalDelayMin > *s.WorstDelayMin) {
        s.WorstDelayMin = t.FinalDelayMin;
        s.WorstTrain = t.Number;
      }
    }
    std::optional<int> before;
    for (const StopPunctuality& p : t.Stops) {
      if (!p.DelayMin) continue;
      if (before && *p.DelayMin > *before) {
        StationDelayGrowth& g = growth[p.LPCode];
        g.LPCode = p.LPCode;
        g.Station = p.Station;
        g.Minutes += *p.DelayMin - *before;
        ++g.Trains;
      }
      before = p.DelayMin;
    }
    report.Trains.push_back(std::move(t));
  }
  if (counted > 0) s.MeanDelayMin = sum / counted;
  for (const auto& [code, g] : growth) s.Growth.push_back(g);
  std::stable_sort(s.Growth.begin(), s.Growth.end(),
                   [](const StationDelayGrowth& a, const StationDelayGrowth& b) {
                     return a.Minutes > b.Minutes;
                   });
  if (s.Growth.size() > kGrowthListed) s.Growth.resize(kGrowthListed);
  return report;
}

namespace {

std::string FullTime(const std::optional<TDateTime>& t) {
  if (!t) return {};
  // Whole seconds, so that 23:59:59.7 is shown as the next day's midnight.
  const TDateTime r = std::round(*t * 86400.0) / 86400.0;
  const DateParts d = DecodeDate(r);
  const TimeParts p = DecodeTime(r);
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", d.Year, d.Month, d.Day, p.Hour,
                     p.Minute, p.Second);
}

std::string ShortTime(const std::optional<TDateTime>& t) {
  if (!t) return "-";
  const TimeParts p = DecodeTime(std::round(*t * 1440.0) / 1440.0);
  return fmt::format("{:02}:{:02}", p.Hour, p.Minute);
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Delay(const std::optional<int>& d) {
  return d ? fmt::format("{:+d}", *d) : "-";
}

}  // namespace

std::string FormatPunctualityCsv(const PunctualityReport& report) {
  std::string out =
      "train,created,finished,station_code,station,planned_arrival,actual_arrival,"
      "planned_departure,actual_departure,delay_min\n";
  for (const TrainPunctuality& t : report.Trains) {
    for (const StopPunctuality& p : t.Stops) {
      out += fmt::format("{},{},{},{},{},{},{},{},{},{}\n", t.Number, FullTime(t.Created),
                         t.Finished ? 1 : 0, p.LPCode, CsvField(p.Station),
                         FullTime(p.PlannedArrival), FullTime(p.ActualArrival),
                         FullTime(p.PlannedDeparture), FullTime(p.ActualDeparture),
                         p.DelayMin ? std::to_string(*p.DelayMin) : std::string());
    }
  }
  return out;
}

std::string FormatPunctualitySummary(const PunctualitySummary& s) {
  std::string out;
  out += fmt::format("trains run: {}\n", s.Run);
  out += fmt::format("trains finished: {}\n", s.Finished);
  out += fmt::format("on time (within {} min): {}\n", s.ToleranceMin, s.OnTime);
  out += s.MeanDelayMin ? fmt::format("mean delay at the last stop: {:.1f} min\n", *s.MeanDelayMin)
                        : std::string("mean delay at the last stop: -\n");
  out += s.WorstDelayMin ? fmt::format("worst delay at the last stop: {} min (№ {})\n",
                                       *s.WorstDelayMin, s.WorstTrain)
                         : std::string("worst delay at the last stop: -\n");
  out += "delay grew most at:";
  if (s.Growth.empty()) out += " -";
  out += "\n";
  for (const StationDelayGrowth& g : s.Growth)
    out += fmt::format("  {} +{} min ({} {})\n", PadRight(g.Station, 20), g.Minutes, g.Trains,
                       g.Trains == 1 ? "train" : "trains");
  return out;
}

std::string FormatPunctualityTable(const PunctualityReport& report) {
  std::string out;
  for (const TrainPunctuality& t : report.Trains) {
    out += fmt::format("№ {}  created {}{}\n", t.Number, FullTime(t.Created),
                       t.Finished ? "  finished" : "");
    out += "  " + PadRight("station", 20) + "  arr plan  arr act   dep plan  dep act   delay\n";
    for (const StopPunctuality& p : t.Stops) {
      out += fmt::format("  {}  {:<8}  {:<8}  {:<8}  {:<8}  {:>5}\n", PadRight(p.Station, 20),
                         ShortTime(p.PlannedArrival), ShortTime(p.ActualArrival),
                         ShortTime(p.PlannedDeparture), ShortTime(p.ActualDeparture),
                         Delay(p.DelayMin));
    }
  }
  out += "summary\n";
  out += FormatPunctualitySummary(report.Summary);
  return out;
}

}  // namespace traklin
