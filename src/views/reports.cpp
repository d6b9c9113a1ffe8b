// The reference reports, built as text lines from the district and the running state.
#include "views/reports.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "area/area_queries.h"
#include "area/cp1251.h"
#include "area/date_time.h"
#include "trains/train_creation.h"
#include "trains/train_records.h"

namespace traklin {
namespace {

/// "hh:mm" with two-digit hours.
std::string FormatHHMM(TDateTime t) {
  const TimeParts p = DecodeTime(t);
  return fmt::format("{:02}:{:02}", p.Hour, p.Minute);
}

/// Indices ordered by number; a later entry goes before earlier ones of the same number, as
/// the list has always been built by inserting each train before its equals.
template <typename NumberOf>
std::vector<int> SortedByNumber(std::vector<int> indices, NumberOf numberOf) {
  std::sort(indices.begin(), indices.end(), [&](int a, int b) {
    const int na = numberOf(a), nb = numberOf(b);
    return na != nb ? na < nb : a > b;
  });
  return indices;
}

/// The executed run of one train from the position log: the LPs it passed with their times.
void AppendExecutedRun(const SimulationData& sim, int number, ReportLines& out) {
  const TAreaData& area = sim.AreaData;
  std::string prevName, prevTime, lastPrinted;
  bool prevKey = false;
  for (const TTrainPosLogEntry& e : sim.State.PosLog) {
    if (e.NUMBER != number) continue;
    int lp = -1;
    if (e.KEY_POINT) {
      lp = LocateSectionPosition(area, e.SECT_IDX, 0).LP;
    } else if (e.SECT_IDX > 0 && e.SECT_IDX < static_cast<int>(sim.State.Sects.size())) {
      const TSectionSchuntData& s = sim.State.Sects[e.SECT_IDX];
      if (s.LP_ODD == s.LP_EVEN) lp = s.LP_ODD;
    }
    const std::string name = lp >= 0 ? LPName(area, lp) : std::string();
    const std::string time = FormatHHMM(e.TS);
    if (!prevName.empty()) {
      if (name == prevName && e.KEY_POINT && prevKey) {
        lastPrinted = prevName;
        out.push_back(name + " " + time + "-" + prevTime + "  - ");
      } else if (prevName != name && prevName != lastPrinted) {
        lastPrinted.clear();
        out.push_back(prevName + " " + prevTime + "  - ");
      }
    }
    if (!name.empty()) prevTime = time;
    prevName = name;
    prevKey = e.KEY_POINT;
  }
  if (!prevName.empty() && prevName != lastPrinted)
    out.push_back(prevName + " " + prevTime + "  - ");
}

/// The train lines of one head direction; returns how many trains were listed.
int AppendTrainsOfDirection(const SimulationData& sim, int dir, ReportLines& out) {
  const TTrainsData& trains = sim.State.Trains;
  std::vector<int> chosen;
  for (int i = 0; i < static_cast<int>(trains.size()); ++i) {
    if (trains[i].HEAD.SECT_IDX != 0 && TrainDir(sim, i, 1) == dir) chosen.push_back(i);
  }
  chosen = SortedByNumber(std::move(chosen), [&](int i) { return trains[i].NUMBER; });
  for (int i : chosen) {
    const TTrainData& t = trains[i];
    out.push_back(" " + AlignRight(TrainName(sim, i, 3), 4) + "   " +
                  AlignRight(std::to_string(t.WEIGHT), 4) + "   " +
                  AlignRight(std::to_string(t.LEN), 5) + "   " +
                  PadRight(StationNamePart(sim.AreaData, t.PLAN_CREATION_LP_CODE, 2), 22) + "   " +
                  StationNamePart(sim.AreaData, t.PLAN_ARRIVAL_LP_CODE, 2));
    if (sim.Settings.TrainRefWithLog) {
      AppendExecutedRun(sim, t.NUMBER, out);
      out.push_back(" ----------------------------------");
      out.emplace_back();
    }
  }
  return static_cast<int>(chosen.size());
}

int MinutesOfHHMM(int hhmm) {
  return hhmm / 100 * 60 + hhmm % 100;
}

/// The timetable lines of one direction; returns how many trains there were.
int AppendTimetableOfDirection(const TAreaData& area, int dir, ReportLines& out) {
  const TGraphTrainsData& trains = GetScheduleTrains(area, dir, false);
  std::vector<int> order(trains.size());
  for (int k = 0; k < static_cast<int>(order.size()); ++k) order[k] = k;
  order = SortedByNumber(std::move(order), [&](int k) { return trains[k].Numbers[0]; });
  for (int k : order) {
    const TGraphTrainData& train = trains[k];
    for (std::size_t s = 0; s < train.Stops.size(); ++s) {
      const TStopData& stop = train.Stops[s];
      if (stop.LPCode == 0) continue;
      std::string line =
          s == 0 ? " " + AlignRight(std::to_string(train.Numbers[0]), 4) : std::string(5, ' ');
      line += "   ";
      line += stop.Arrival != 0 ? FormatHHMM(TimeFromHHMM(stop.Arrival)) + "-" : "  -   ";
      line += FormatHHMM(TimeFromHHMM(stop.Departure));
      line += "   - " + LPName(area, FindLPIndex(area, stop.LPCode));
      out.push_back(std::move(line));
    }
    out.emplace_back(24, '-');
  }
  return static_cast<int>(trains.size());
}

std::string TrackPurpose(int kind) {
  switch (kind) {
    case 0:
      return "для маневров";
    case 1:
      return "для грузовых";
    case 2:
      return "для пассажирских";
    case 3:
      return "грузо-пассажирский";
    case 4:
      return "для пригородных / резерва";
    case 5:
      return "главный";
    case 6:
      return "неконтролируемый / тупик";
    default:
      return "неспециф.";
  }
}

std::string TrackRestriction(int mode) {
  switch (mode) {
    case 1:
      return ", выставление запрещено";
    case 2:
      return ", только отправление";
    case 3:
      return ", только прием";
    default:
      return {};
  }
}

}  // namespace

ReportLines TrainReport(const SimulationData& sim) {
  ReportLines out;
  out.emplace_back(" НОМЕР   ВЕС   ДЛИНА   СТ. ФОРМИРОВАНИЯ         СТ. НАЗНАЧЕНИЯ");
  out.push_back(" " + std::string(65, '-'));
  const int even = AppendTrainsOfDirection(sim, 0, out);
  out.push_back(" " + std::string(34, '-'));
  out.push_back(" " + std::string(34, '-'));
  out.emplace_back();
  const int odd = AppendTrainsOfDirection(sim, 1, out);
  out.emplace_back(" ======================");
  out.push_back(" Всего на участке: " + std::to_string(even + odd));
  return out;
}

ReportLines ApproachesReport(const SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  const TDateTime now = sim.State.ClockTime;
  ReportLines out;
  out.push_back("   СПРАВКА О ПОДХОДАХ НА " + FormatDayMonth(now) + " " + FormatClock(false, now));
  out.emplace_back(" НОМЕР   СТ. ФОРМИРОВАНИЯ         СТ. НАЗНАЧЕНИЯ            ДАТА   ВРЕМЯ");
  out.push_back(" " + std::string(71, '-'));

  // Sources below 10000 are creation plans, from 10000 on random freights of the day.
  struct Approach {
    int Source;
    int Minutes;
  };
  std::vector<Approach> approaches;
  const TDateTime day = std::floor(now);
  for (int p = 0; p < static_cast<int>(area.CreationPlans.size()); ++p) {
    if (PlanRunsOn(area.CreationPlans[p], day)) {
      approaches.push_back({p, MinutesOfHHMM(area.CreationPlans[p].Time)});
    }
  }
  const TCreationPlansData& randoms = sim.State.RandomPlans;
  for (int p = 0; p < static_cast<int>(randoms.size()); ++p) {
    approaches.push_back({10000 + p, MinutesOfHHMM(randoms[p].Time)});
  }
  std::stable_sort(approaches.begin(), approaches.end(),
                   [](const Approach& a, const Approach& b) { return a.Minutes < b.Minutes; });

  const long nowMinutes = RoundHalfEven((now - day) * 1440.0);
  int count = 0;
  for (const Approach& a : approaches) {
    if (a.Minutes < nowMinutes) continue;
    ++count;
    if (a.Minutes >= nowMinutes + 60) continue;
    const TCreationPlanData& plan =
        a.Source < 10000 ? area.CreationPlans[a.Source] : randoms[a.Source - 10000];
    std::string number = std::to_string(plan.Number);
    if (a.Source < 10000 && !plan.Name.empty()) number = plan.Name;
    out.push_back(" " + AlignRight(number, 4) + "    " +
                  PadRight(StationNamePart(area, plan.CreationPoint, 2), 22) + "   " +
                  PadRight(StationNamePart(area, plan.ArrivalPoint, 2), 22) + "    " +
                  FormatDayMonth(now) + "  " + FormatClock(false, TimeFromHHMM(plan.Time)));
  }
  out.emplace_back(" ======================");
  out.push_back(" Всего на сегодня: " + std::to_string(count));
  return out;
}

ReportLines TimetableReport(const TAreaData& area) {
  ReportLines out;
  out.emplace_back(" НОМЕР   СТАНЦИЯ            ВР. ПРИБЫТИЯ ВР. ОТПРАВЛЕНИЯ");
  out.push_back(" " + std::string(65, '-'));
  const int even = AppendTimetableOfDirection(area, 0, out);
  out.emplace_back(" --------------------");
  const int odd = AppendTimetableOfDirection(area, 1, out);
  out.emplace_back(" ====================");
  out.push_back(" Всего за сутки: " + std::to_string(even + odd));
  return out;
}

ReportLines TracksReport(const TAreaData& area) {
  ReportLines out;
  const int stations = std::min<int>(area.StationCount, static_cast<int>(area.Stanzs.size()));
  for (int i = 0; i < stations; ++i) {
    out.push_back(" " + StationNamePart(area, area.Stanzs[i].Code, 2));
    out.emplace_back(" ====================");
    out.emplace_back(" ");
    out.emplace_back("   НОМЕР     НАЗНАЧЕНИЕ");
    out.push_back(" " + std::string(32, '-'));
    if (i < static_cast<int>(area.Puts.size())) {
      for (const TTrackData& track : area.Puts[i].Tracks) {
        out.push_back(" " + AlignRight(FormatTrackName(track.Number), 9) + "   " +
                      TrackPurpose(track.Kind) + TrackRestriction(track.Mode));
      }
    }
    for (int k = 0; k < 3; ++k) out.emplace_back(" ");
  }
  return out;
}

ReportLines BuildReport(const SimulationData& sim, ReportKind kind) {
  switch (kind) {
    case ReportKind::Timetable:
      return TimetableReport(sim.AreaData);
    case ReportKind::Trains:
      return TrainReport(sim);
    case ReportKind::Tracks:
      return TracksReport(sim.AreaData);
    case ReportKind::Approaches:
      return ApproachesReport(sim);
    case ReportKind::None:
      break;
  }
  return {};
}

std::string JoinReport(const ReportLines& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

}  // namespace traklin
