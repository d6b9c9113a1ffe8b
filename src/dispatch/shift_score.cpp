// The score of a dispatcher's shift: observed step by step, counted from the event log and the
// shift's lines, and written as a table or CSV.
#include "dispatch/shift_score.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>

#include "area/area_queries.h"
#include "area/cp1251.h"
#include "area/date_time.h"
#include "state/clock.h"
#include "state/faults.h"
#include "trains/fault_trains.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

constexpr std::size_t kListed = 5;

int LateMinutes(TDateTime actual, TDateTime planned) {
  return std::max(0, static_cast<int>(std::lround((actual - planned) * 1440.0)));
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool StartsWith(std::string_view text, std::string_view part) {
  return text.substr(0, part.size()) == part;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
    std::size_t j = i;
    while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != '\r') ++j;
    if (j > i) words.push_back(text.substr(i, j - i));
    i = j;
  }
  return words;
}

bool IsDateWord(std::string_view w) {
  return w.size() == 10 && w[4] == '-' && w[7] == '-' &&
         std::isdigit(static_cast<unsigned char>(w[0]));
}

bool IsTimeWord(std::string_view w) {
  return !w.empty() && std::isdigit(static_cast<unsigned char>(w[0])) && Contains(w, ":");
}

}  // namespace

namespace {

/// The stop whose timetable time a train still in the district has let pass by `now`: the
/// planned departure from the stop it stands at, or the planned arrival at (or passing of) the
/// stop it has yet to reach; null when there is none.
const StopPunctuality* PendingStop(const TrainPunctuality& t, TDateTime now,
                                   std::optional<TDateTime>* planned) {
  std::size_t last = t.Stops.size();
  for (std::size_t k = 0; k < t.Stops.size(); ++k)
    if (t.Stops[k].ActualArrival || t.Stops[k].ActualDeparture) last = k;
  std::size_t k = 0;
  if (last < t.Stops.size()) {
    // At its last stop a train waits to be taken off, not for the line.
    if (last + 1 == t.Stops.size()) return nullptr;
    k = t.Stops[last].ActualDeparture ? last + 1 : last;
  }
  const StopPunctuality& p = t.Stops[k];
  // A train is never seen arriving at its first stop (it is made up or placed there): it
  // waits for its departure.
  *planned = k > 0 && !p.ActualArrival && p.PlannedArrival ? p.PlannedArrival : p.PlannedDeparture;
  return *planned && **planned < now ? &p : nullptr;
}

}  // namespace

DelayMade BuildDelayMade(const PunctualityReport& report, std::optional<TDateTime> now) {
  DelayMade out;
  std::vector<TrainDelayMade> trains;
  std::map<int, StationDelayMade> stations;
  const auto rise = [&](const StopPunctuality& p, int minutes) {
    StationDelayMade& s = stations[p.LPCode];
    s.LPCode = p.LPCode;
    s.Station = p.Station;
    s.Minutes += minutes;
    ++s.Trains;
  };
  for (const TrainPunctuality& t : report.Trains) {
    const auto first = std::find_if(t.Stops.begin(), t.Stops.end(),
                                    [](const StopPunctuality& p) { return p.DelayMin; });
    // A train still in the district is at least as late as the time it waits for is past.
    std::optional<TDateTime> planned;
    const StopPunctuality* pending = !t.Finished && now ? PendingStop(t, *now, &planned) : nullptr;
    if (first == t.Stops.end() && !pending) continue;
    TrainDelayMade made;
    made.Number = t.Number;
    made.Created = t.Created;
    // A train that arrived at its first stop came in from outside with the lateness it had
    // there; one made up or placed there had nobody but this district to make it late.
    if (first != t.Stops.end() && first->ActualArrival && first->PlannedArrival)
      made.EnteredMin = LateMinutes(*first->ActualArrival, *first->PlannedArrival);
    int before = made.EnteredMin;
    for (auto p = first; p != t.Stops.end(); ++p) {
      if (!p->DelayMin) continue;
      const int late = std::max(0, *p->DelayMin);
      if (late > before) rise(*p, late - before);
      before = late;
    }
    if (pending) {
      const int late = static_cast<int>(std::floor((*now - *planned) * 1440.0));
      if (late > before) {
        rise(*pending, late - before);
        before = late;
      }
    }
    made.LeftMin = before;
    out.TotalMin += made.MadeMin();
    if (made.MadeMin() > 0) {
      out.GainedMin += made.MadeMin();
      trains.push_back(made);
    }
  }
  // The report lists trains by creation, then number: a stable sort keeps that among equals.
  std::stable_sort(trains.begin(), trains.end(),
                   [](const auto& a, const auto& b) { return a.MadeMin() > b.MadeMin(); });
  if (trains.size() > kListed) trains.resize(kListed);
  out.Trains = std::move(trains);
  for (const auto& [code, s] : stations) out.Stations.push_back(s);
  std::stable_sort(out.Stations.begin(), out.Stations.end(),
                   [](const auto& a, const auto& b) { return a.Minutes > b.Minutes; });
  if (out.Stations.size() > kListed) out.Stations.resize(kListed);
  return out;
}

bool StandsAtClosedSignal(const SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return false;
  const TTrainData& t = sim.State.Trains[i];
  // A train stopped for good has no leave to move; it stands for another reason.
  if (t.HEAD.SECT_IDX <= 0 || t.HEAD.PEREGON_IDX < 0 || t.SPEED != 0 || t.PLACE_TIME != 0 ||
      !t.DEPARTURE_COMMISSION)
    return false;
  const int sig = SectionSemaphore(sim.AreaData, t.HEAD.SECT_IDX, t.HEAD.DIR & 1);
  return sig >= 0 && sig < static_cast<int>(sim.State.Semaphores.size()) &&
         sim.State.Semaphores[sig].CLOSED;
}

ShiftScorer::ShiftScorer(SimulationData& sim) : sim_(sim), recorder_(sim) {}

void ShiftScorer::Observe() {
  recorder_.Observe();
  for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i) {
    if (!StandsAtClosedSignal(sim_, i)) continue;
    ++standingSteps_;
    stood_.emplace(sim_.State.Trains[i].NUMBER, sim_.State.Trains[i].CREATE_TIME);
  }
  if (!AnyFaults(sim_)) return;
  for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i) {
    if (!ValidTrain(sim_, i) || sim_.State.Trains[i].SPEED != 0) continue;
    const int g = ClosedSignalAhead(sim_, i);
    if (TrainBrokenDown(sim_, i) || (g >= 0 && SignalHeldByFault(sim_, g))) ++faultSteps_;
  }
}

void ShiftScorer::Reset() {
  recorder_.Reset();
  standingSteps_ = 0;
  stood_.clear();
  safety_ = {};
  operations_ = {};
  faults_ = {};
  faultSteps_ = 0;
}

void ShiftScorer::CountNotice(std::string_view text) {
  // The texts are the train motion's own: a collision also says the train came off the rails.
  if (Contains(text, "столкнулся с поездом"))
    ++safety_.Collisions;
  else if (Contains(text, " сошел ") || StartsWith(text, "Поезд на несобранном маршруте") ||
           StartsWith(text, "Поезд на маршруте неизвестного ЛП"))
    ++safety_.Derailments;
  else if (Contains(text, " проехал остановку"))
    ++safety_.PassedStop;
  else if (Contains(text, " проехал красный сигнал"))
    ++safety_.PassedRed;
  else if (Contains(text, " выехал за участок"))
    ++safety_.RanOff;
}

void ShiftScorer::CountAnswer(bool yes, bool byAuto) {
  ++(yes ? operations_.AnsweredYes : operations_.AnsweredNo);
  if (byAuto) ++operations_.AnsweredByAuto;
}

void ShiftScorer::CountGridlock() {
  ++safety_.Gridlocks;
}

void ShiftScorer::CountOperation(std::string_view line, std::string_view note) {
  const std::vector<std::string_view> words = Words(line);
  if (words.empty()) return;
  const std::string_view action = words[0];
  int OperationCounts::*kind = nullptr;
  if (action == "route" || action == "through")
    kind = &OperationCounts::RoutesOrdered;
  else if (action == "cancel" || action == "cancelthrough")
    kind = &OperationCounts::RoutesCancelled;
  else if (action == "invert" || action == "invertthrough")
    kind = &OperationCounts::RoutesInverted;
  else if (action == "commit")
    kind = &OperationCounts::Commits;
  else if (action == "task")
    kind = &OperationCounts::TasksGiven;
  else if (action == "canceltask")
    kind = &OperationCounts::TasksCancelled;
  else if (action == "put")
    kind = &OperationCounts::PutOuts;
  else if (action == "hold")
    kind = &OperationCounts::Holds;
  if (kind == nullptr) return;
  const std::vector<std::string_view> noteWords = Words(note);
  if (!noteWords.empty() && noteWords[0] == "not" && noteWords.size() > 1 &&
      StartsWith(noteWords[1], "done")) {
    ++operations_.NotDone;
    if (kind == &OperationCounts::TasksGiven) ++operations_.TasksRefused;
    return;
  }
  ++(operations_.*kind);
}

bool ShiftScorer::CountEventLine(std::string_view line) {
  using Json = nlohmann::json;
  const Json j = Json::parse(line, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return false;
  const auto event = j.find("event");
  if (event == j.end() || !event->is_string()) return false;
  const std::string& kind = event->get_ref<const std::string&>();
  if (kind == "notify") {
    const auto text = j.find("text");
    if (text != j.end() && text->is_string()) CountNotice(text->get_ref<const std::string&>());
  } else if (kind == "ask") {
    const auto answer = j.find("answer");
    const auto by = j.find("by");
    if (answer != j.end() && answer->is_boolean())
      CountAnswer(answer->get<bool>(), by != j.end() && by->is_string() && *by == "auto");
  } else if (kind == "gridlock") {
    CountGridlock();
  } else if (kind == "fault") {
    ++faults_.Met;
  } else if (kind == "permit") {
    const auto result = j.find("result");
    if (result != j.end() && result->is_string())
      ++(*result == "ok" ? faults_.PermitsGiven : faults_.PermitsRefused);
  }
  return true;
}

int ShiftScorer::CountEventLog(std::string_view text) {
  int bad = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if (!Words(line).empty() && !CountEventLine(line)) ++bad;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return bad;
}

void ShiftScorer::CountShiftText(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    std::string_view note;
    const std::size_t comment = line.find_first_of("#;");
    if (comment != std::string_view::npos) {
      note = line.substr(comment + 1);
      line = line.substr(0, comment);
    }
    std::vector<std::string_view> words = Words(line);
    std::size_t w = 0;
    if (w < words.size() && IsDateWord(words[w])) ++w;
    // A line without a stamp is a header directive or not an operation.
    if (w < words.size() && IsTimeWord(words[w])) {
      ++w;
      const std::string_view rest =
          w < words.size() ? line.substr(words[w].data() - line.data()) : std::string_view();
      CountOperation(rest, note);
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

ShiftScore ShiftScorer::Score() const {
  ShiftScore score;
  const PunctualityReport report = BuildPunctualityReport(sim_.AreaData, recorder_.Runs(),
                                                          sim_.Settings.PunctualityToleranceMin);
  score.Punctuality = report.Summary;
  score.Delay = BuildDelayMade(report, sim_.State.ClockTime);
  score.StandingMin = static_cast<double>(standingSteps_) * kStepLength * 1440.0;
  score.TrainsStanding = static_cast<int>(stood_.size());
  score.Safety = safety_;
  score.Operations = operations_;
  score.Faults = faults_;
  score.Faults.StoppedMin = static_cast<double>(faultSteps_) * kStepLength * 1440.0;
  return score;
}

// ---------------------------------------------------------------------------
// Tables

namespace {

/// One row of the table and one column of the CSV.
struct Figure {
  const char* Key;      ///< the CSV column
  std::string Caption;  ///< the table's row
  std::optional<double> Value;
  int Decimals = 0;
};

std::vector<Figure> FiguresOf(const ShiftScore& s, bool withFaults = false) {
  const PunctualitySummary& p = s.Punctuality;
  const SafetyCounts& x = s.Safety;
  const OperationCounts& o = s.Operations;
  const auto opt = [](const std::optional<int>& v) {
    return v ? std::optional<double>(*v) : std::nullopt;
  };
  std::vector<Figure> figures{
      {"trains_run", "Поездов по расписанию", p.Run},
      {"trains_finished", "  закончили рейс", p.Finished},
      {"trains_on_time", fmt::format("  прибыли вовремя (до {} мин)", p.ToleranceMin), p.OnTime},
      {"mean_delay_min", "Среднее опоздание на последней остановке, мин", p.MeanDelayMin, 1},
      {"worst_delay_min", "Наибольшее опоздание на последней остановке, мин", opt(p.WorstDelayMin)},
      {"delay_made_min", "Опоздание, набранное на участке, поездо-мин", s.Delay.TotalMin},
      {"delay_gained_min", "  у поездов, вышедших с большим опозданием", s.Delay.GainedMin},
      {"standing_min", "Стоянка у закрытых сигналов на перегонах, поездо-мин", s.StandingMin, 1},
      {"trains_standing", "  поездов стояло", s.TrainsStanding},
      {"derailments", "Сходы с рельсов", x.Derailments},
      {"collisions", "Столкновения", x.Collisions},
      {"passed_stop", "Проезды остановки", x.PassedStop},
      {"passed_red", "Проезды красного сигнала", x.PassedRed},
      {"ran_off", "Выезды за участок", x.RanOff},
      {"gridlocks", "Заторы", x.Gridlocks},
      {"routes_ordered", "Маршрутов задано", o.RoutesOrdered},
      {"routes_cancelled", "Маршрутов отменено", o.RoutesCancelled},
      {"routes_inverted", "Маршрутов инвертировано", o.RoutesInverted},
      {"commits", "Согласий на отправление", o.Commits},
      {"tasks_given", "Заданий дано", o.TasksGiven},
      {"tasks_refused", "Заданий отклонено станцией", o.TasksRefused},
      {"tasks_cancelled", "Заданий отменено", o.TasksCancelled},
      {"put_outs", "Поездов выставлено", o.PutOuts},
      {"holds", "Задержек поездов", o.Holds},
      {"not_done", "Операций не выполнено", o.NotDone},
      {"answered_yes", "Ответов «да» на запросы", o.AnsweredYes},
      {"answered_no", "Ответов «нет» на запросы", o.AnsweredNo},
      {"answered_by_auto", "  из них автодиспетчером", o.AnsweredByAuto},
  };
  if (withFaults) {
    const FaultCounts& f = s.Faults;
    figures.insert(
        figures.end(),
        {{"faults_met", "Неисправностей", f.Met},
         {"fault_stopped_min", "  стоянка поездов из-за них, поездо-мин", f.StoppedMin, 1},
         {"permits_given", "Разрешений на проследование дано", f.PermitsGiven},
         {"permits_refused", "  отказано", f.PermitsRefused}});
  }
  return figures;
}

/// The rows of faults go into a table when any of its shifts met one.
bool MetFaults(const std::vector<ScoredShift>& shifts) {
  return std::any_of(shifts.begin(), shifts.end(),
                     [](const ScoredShift& s) { return s.Score.Faults.Any(); });
}

std::string Number(const std::optional<double>& v, int decimals) {
  if (!v) return "-";
  return fmt::format("{:.{}f}", *v, decimals);
}

std::string Difference(const Figure& a, const Figure& b) {
  if (!a.Value || !b.Value) return "-";
  const double d = *b.Value - *a.Value;
  // A difference that rounds to nothing is shown as 0, not as -0.0.
  if (std::fabs(d) < 0.5 * std::pow(10.0, -a.Decimals))
    return fmt::format("{:.{}f}", 0.0, a.Decimals);
  return fmt::format("{:+.{}f}", d, a.Decimals);
}

std::string PadLeft(std::string_view text, int width) {
  return std::string(static_cast<std::size_t>(std::max(0, width - Utf8Length(text))), ' ') +
         std::string(text);
}

/// "1 поезд", "2 поезда", "5 поездов".
std::string Trains(int n) {
  const int tens = n % 100, ones = n % 10;
  const char* word = (tens >= 11 && tens <= 14) ? "поездов"
                     : ones == 1                ? "поезд"
                     : (ones >= 2 && ones <= 4) ? "поезда"
                                                : "поездов";
  return fmt::format("{} {}", n, word);
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

}  // namespace

std::string FormatShiftScoreTable(const std::vector<ScoredShift>& shifts) {
  const bool faults = MetFaults(shifts);
  std::vector<std::vector<Figure>> columns;
  for (const ScoredShift& s : shifts) columns.push_back(FiguresOf(s.Score, faults));
  const bool compare = shifts.size() == 2;
  int captionWidth = 0;
  for (const Figure& f : FiguresOf({}, faults))
    captionWidth = std::max(captionWidth, Utf8Length(f.Caption));
  int width = 9;
  for (const ScoredShift& s : shifts) width = std::max(width, Utf8Length(s.Title));
  std::string out = PadRight("", captionWidth);
  for (const ScoredShift& s : shifts) out += "  " + PadLeft(s.Title, width);
  if (compare) out += "  " + PadLeft("разница", width);
  out += "\n";
  const std::size_t rows = columns.empty() ? 0 : columns[0].size();
  for (std::size_t r = 0; r < rows; ++r) {
    out += PadRight(columns[0][r].Caption, captionWidth);
    for (const auto& c : columns) out += "  " + PadLeft(Number(c[r].Value, c[r].Decimals), width);
    if (compare) out += "  " + PadLeft(Difference(columns[0][r], columns[1][r]), width);
    out += "\n";
  }
  for (const ScoredShift& s : shifts) {
    const DelayMade& d = s.Score.Delay;
    const std::string of = shifts.size() > 1 ? " (" + s.Title + ")" : "";
    out += "\nБольше всего опоздания набрали" + of + ":";
    out += d.Trains.empty() ? " -\n" : "\n";
    for (const TrainDelayMade& t : d.Trains)
      out += fmt::format("  № {:<6}  +{} мин (при входе {}, в конце {})\n", t.Number, t.MadeMin(),
                         t.EnteredMin, t.LeftMin);
    out += "Опоздание росло больше всего на станциях" + of + ":";
    out += d.Stations.empty() ? " -\n" : "\n";
    for (const StationDelayMade& st : d.Stations)
      out += fmt::format("  {}  +{} мин ({})\n", PadRight(st.Station, 20), st.Minutes,
                         Trains(st.Trains));
  }
  return out;
}

std::string FormatShiftScoreCsv(const std::vector<ScoredShift>& shifts) {
  const bool faults = MetFaults(shifts);
  std::string out = "shift";
  for (const Figure& f : FiguresOf({}, faults)) out += std::string(",") + f.Key;
  out += ",worst_train,top_trains,top_stations\n";
  for (const ScoredShift& s : shifts) {
    out += CsvField(s.Title);
    for (const Figure& f : FiguresOf(s.Score, faults))
      out += "," + (f.Value ? fmt::format("{:.{}f}", *f.Value, f.Decimals) : std::string());
    out += "," + (s.Score.Punctuality.WorstDelayMin ? std::to_string(s.Score.Punctuality.WorstTrain)
                                                    : std::string());
    std::string trains, stations;
    for (const TrainDelayMade& t : s.Score.Delay.Trains)
      trains += fmt::format("{}{}:{}", trains.empty() ? "" : ";", t.Number, t.MadeMin());
    for (const StationDelayMade& st : s.Score.Delay.Stations)
      stations += fmt::format("{}{}:{}", stations.empty() ? "" : ";", st.Station, st.Minutes);
    out += "," + CsvField(trains) + "," + CsvField(stations) + "\n";
  }
  return out;
}

}  // namespace traklin
