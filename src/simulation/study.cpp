// A study: seeds run in threads, their rows and totals, and the study CSV written and read.
#include "simulation/study.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <fstream>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

#include "dispatch/punctuality.h"

namespace traklin {

namespace {

constexpr long kStepsPerDay = 172800;  // half-second steps in a simulated day
constexpr long kStepsPerMinute = 120;

template <class T>
std::optional<T> ParseNumber(std::string_view text) {
  T value{};
  if (text.empty() || text.front() == '+') return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

/// Steps of a run of `span` days, as the runner counts them.
long StepsOf(TDateTime span) {
  return static_cast<long>(std::floor(span / kStepLength + 1e-6));
}

/// Tenths of sum / count, rounded half up.
long Tenths(long sum, long count) {
  return count > 0 ? (20 * sum + count) / (2 * count) : 0;
}

std::string Joined(const std::vector<long>& values, const char* separator, bool tenths = false) {
  std::string out;
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (k > 0) out += separator;
    out +=
        tenths ? fmt::format("{}.{}", values[k] / 10, values[k] % 10) : std::to_string(values[k]);
  }
  return out;
}

std::string Optional(const std::optional<double>& v, const char* none) {
  return v ? fmt::format("{:.1f}", *v) : none;
}
std::string Optional(const std::optional<int>& v, const char* none) {
  return v ? std::to_string(*v) : none;
}

std::string FinishedShare(const StudyRow& row, bool percent) {
  if (row.TimetableRun == 0) return percent ? "-" : "";
  const double share = static_cast<double>(row.TimetableFinished) / row.TimetableRun;
  return percent ? fmt::format("{:.1f}%", share * 100) : fmt::format("{:.3f}", share);
}

std::string DelayList(const std::map<int, long>& delays) {
  std::string out;
  for (const auto& [minutes, trains] : delays) {
    if (!out.empty()) out += ' ';
    out += fmt::format("{}:{}", minutes, trains);
  }
  return out;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c == '\r' || c == '\n' ? ' ' : c;
  }
  return out + "\"";
}

/// The fields of one CSV line (quotes as CsvField writes them); nullopt for an unclosed quote.
std::optional<std::vector<std::string>> SplitCsv(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t k = 0; k < line.size(); ++k) {
    const char c = line[k];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (k + 1 < line.size() && line[k + 1] == '"') {
        fields.back() += '"';
        ++k;
      } else {
        quoted = false;
      }
    } else if (c == '"' && fields.back().empty()) {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  if (quoted) return std::nullopt;
  return fields;
}

void AddTo(std::vector<long>& sum, const std::vector<long>& values) {
  if (sum.size() < values.size()) sum.resize(values.size(), 0);
  for (std::size_t k = 0; k < values.size(); ++k) sum[k] += values[k];
}

/// Column widths of the printed table: seed, three per-day lists, then the fixed columns.
struct Widths {
  std::size_t Days;
  explicit Widths(int days) : Days(std::max<std::size_t>(9, static_cast<std::size_t>(days) * 5)) {}
};

std::string TableLine(const std::vector<std::string>& cells, int days) {
  const Widths w(days);
  const std::size_t widths[] = {6, w.Days, w.Days, w.Days, 5, 16, 6, 6, 5, 5, 9, 6, 8};
  std::string out;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const bool last = k + 1 == cells.size();
    const std::size_t width = k < std::size(widths) ? widths[k] : 0;
    out += cells[k];
    if (!last) out += std::string(cells[k].size() < width ? width - cells[k].size() : 0, ' ') + " ";
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out + "\n";
}

std::vector<std::string> RowCells(const StudyRow& row, const std::string& seed) {
  const DelayFigures d = FigureDelays(row.Delays);
  std::string finished = row.TimetableRun == 0
                             ? std::string("-")
                             : fmt::format("{}/{} {}", row.TimetableFinished, row.TimetableRun,
                                           FinishedShare(row, true));
  return {seed,
          Joined(row.Created, "/"),
          Joined(row.Removed, "/"),
          Joined(row.MeanInDistrictTenths, "/", true),
          std::to_string(row.InDistrict),
          finished,
          Optional(d.Mean, "-"),
          Optional(d.Median, "-"),
          Optional(d.P90, "-"),
          Optional(d.Worst, "-"),
          std::to_string(row.Gridlocks),
          std::to_string(row.Errors),
          fmt::format("{:.3f}", row.WallSeconds),
          row.Crash};
}

}  // namespace

std::optional<SeedRange> ParseSeedRange(const std::string& text) {
  const auto dots = text.find("..");
  if (dots == std::string::npos) return std::nullopt;
  const auto first = ParseNumber<std::uint64_t>(std::string_view(text).substr(0, dots));
  const auto last = ParseNumber<std::uint64_t>(std::string_view(text).substr(dots + 2));
  if (!first || !last || *first > *last) return std::nullopt;
  return SeedRange{*first, *last};
}

std::optional<StudyShard> ParseShard(const std::string& text) {
  const auto slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  const auto index = ParseNumber<int>(std::string_view(text).substr(0, slash));
  const auto count = ParseNumber<int>(std::string_view(text).substr(slash + 1));
  if (!index || !count || *index < 0 || *count < 1 || *index >= *count) return std::nullopt;
  return StudyShard{*index, *count};
}

std::vector<std::uint64_t> ShardSeeds(const SeedRange& range, const StudyShard& shard) {
  std::vector<std::uint64_t> seeds;
  const std::uint64_t count = static_cast<std::uint64_t>(shard.Count);
  for (std::uint64_t position = static_cast<std::uint64_t>(shard.Index);
       position <= range.Last - range.First; position += count) {
    seeds.push_back(range.First + position);
    // The last seed of the whole 64-bit range has no successor to step past.
    if (range.Last - range.First - position < count) break;
  }
  return seeds;
}

int StudyDays(TDateTime span) {
  return static_cast<int>(std::max(1L, (StepsOf(span) + kStepsPerDay - 1) / kStepsPerDay));
}

DelayFigures FigureDelays(const std::map<int, long>& delays) {
  DelayFigures f;
  double sum = 0;
  for (const auto& [minutes, trains] : delays) {
    f.Trains += trains;
    sum += static_cast<double>(minutes) * trains;
  }
  if (f.Trains == 0) return f;
  f.Mean = sum / f.Trains;
  f.Worst = delays.rbegin()->first;
  // The delay at a 0-based position of the sorted list.
  const auto at = [&](long position) {
    long seen = 0;
    for (const auto& [minutes, trains] : delays) {
      seen += trains;
      if (position < seen) return minutes;
    }
    return delays.rbegin()->first;
  };
  f.Median = f.Trains % 2 == 1 ? at(f.Trains / 2) : (at(f.Trains / 2 - 1) + at(f.Trains / 2)) / 2.0;
  f.P90 = at((9 * f.Trains + 9) / 10 - 1);
  return f;
}

StudyRow RunStudySeed(const StudySetup& setup, std::uint64_t seed) {
  using Clock = std::chrono::steady_clock;
  const auto wallStart = Clock::now();
  StudyRow row;
  row.Seed = seed;
  const int days = StudyDays(setup.Options.Span);
  row.Created.assign(days, 0);
  row.Removed.assign(days, 0);
  row.MeanInDistrictTenths.assign(days, 0);
  try {
    // In the order `run` takes: the generator seeded before the district is prepared.
    Simulation sim;
    sim.Random.Seed(seed);
    PrepareRun(sim, setup.Options, nullptr);
    if (setup.AutoLPs) sim.State.AutoLPs = *setup.AutoLPs;

    std::ofstream file;
    std::ostream* events = nullptr;
    if (!setup.EventsDir.empty()) {
      const std::filesystem::path path = setup.EventsDir / fmt::format("seed-{}.jsonl", seed);
      file.open(path, std::ios::binary | std::ios::trunc);
      if (!file) throw std::runtime_error("cannot write " + path.string());
      events = &file;
    }
    EventLog log(sim, events, setup.Options.Answer);
    StepHooks hooks;
    std::optional<ScenarioPlayer> player;
    if (!setup.Script.empty()) {
      player.emplace(setup.Script, sim.State.ClockTime);
      player->DefaultAnswer = setup.Options.Answer;
      player->SetAnswer = [&log](bool answer) { log.Answer = answer; };
      hooks.Before = [&player, &sim] { player->PlayDue(sim, sim.State.ClockTime + kStepLength); };
    }
    PunctualityRecorder recorder(sim);
    recorder.Observe();
    long created = 0, removed = 0;
    std::vector<long> inDistrict(days, 0), looks(days, 0);
    const TDateTime start = sim.State.ClockTime;
    hooks.After = [&] {
      recorder.Observe();
      // A step belongs to the day in which it ends; a step that failed is counted with the
      // next.
      const long step = std::lround((sim.State.ClockTime - start) / kStepLength);
      const int day = static_cast<int>(std::clamp<long>((step - 1) / kStepsPerDay, 0, days - 1));
      row.Created[day] += log.Created() - created;
      row.Removed[day] += log.Removed() - removed;
      created = log.Created();
      removed = log.Removed();
      if (step % kStepsPerMinute != 0) return;
      for (const TTrainData& t : sim.State.Trains)
        if (t.HEAD.SECT_IDX != 0) ++inDistrict[day];
      ++looks[day];
    };
    const RunSummary summary = RunSimulation(sim, log, setup.Options.Span, {}, hooks);
    for (int d = 0; d < days; ++d) row.MeanInDistrictTenths[d] = Tenths(inDistrict[d], looks[d]);
    row.InDistrict = summary.InDistrict;
    const auto count = [&](const char* kind) {
      const auto it = summary.Events.find(kind);
      return it == summary.Events.end() ? 0L : it->second;
    };
    row.Gridlocks = count("gridlock");
    row.Errors = count("error");
    const PunctualityReport report =
        BuildPunctualityReport(sim.AreaData, recorder.Runs(), sim.Settings.PunctualityToleranceMin);
    row.TimetableRun = report.Summary.Run;
    row.TimetableFinished = report.Summary.Finished;
    for (const TrainPunctuality& t : report.Trains)
      if (t.Finished && t.FinalDelayMin) ++row.Delays[*t.FinalDelayMin];
    file.flush();
    if (file.is_open() && !file) throw std::runtime_error("writing the event log failed");
  } catch (const std::exception& e) {
    row.Crash = *e.what() != '\0' ? e.what() : "unknown error";
  } catch (...) {
    row.Crash = "unknown error";
  }
  row.Crashed = row.Crash.empty() ? 0 : 1;
  const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
  row.WallSeconds = std::round(wall * 1000) / 1000;
  return row;
}

std::vector<StudyRow> RunStudy(const StudySetup& setup, const std::vector<std::uint64_t>& seeds,
                               int jobs, const std::function<void(const StudyRow&)>& row) {
  const std::size_t count = seeds.size();
  std::vector<StudyRow> rows(count);
  if (jobs <= 1 || count <= 1) {
    for (std::size_t k = 0; k < count; ++k) {
      rows[k] = RunStudySeed(setup, seeds[k]);
      if (row) row(rows[k]);
    }
    return rows;
  }
  std::vector<char> done(count, 0);
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t k = next++; k < count; k = next++) {
      StudyRow result = RunStudySeed(setup, seeds[k]);
      {
        const std::lock_guard<std::mutex> lock(mutex);
        rows[k] = std::move(result);
        done[k] = 1;
      }
      finished.notify_one();
    }
  };
  std::vector<std::thread> threads;
  try {
    for (std::size_t j = 0; j < std::min(count, static_cast<std::size_t>(jobs)); ++j)
      threads.emplace_back(work);
  } catch (const std::system_error&) {
    // The threads that could be made share the seeds; with none the calling thread runs them.
    if (threads.empty()) work();
  }
  for (std::size_t k = 0; k < count; ++k) {
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait(lock, [&] { return done[k] != 0; });
    const StudyRow ready = rows[k];
    lock.unlock();
    if (row) row(ready);
  }
  for (std::thread& t : threads) t.join();
  return rows;
}

StudyRow StudyTotals(const std::vector<StudyRow>& rows) {
  StudyRow total;
  for (const StudyRow& r : rows) {
    AddTo(total.Created, r.Created);
    AddTo(total.Removed, r.Removed);
    AddTo(total.MeanInDistrictTenths, r.MeanInDistrictTenths);
    total.InDistrict += r.InDistrict;
    total.TimetableRun += r.TimetableRun;
    total.TimetableFinished += r.TimetableFinished;
    for (const auto& [minutes, trains] : r.Delays) total.Delays[minutes] += trains;
    total.Gridlocks += r.Gridlocks;
    total.Errors += r.Errors;
    total.Crashed += r.Crashed;
    total.WallSeconds += r.WallSeconds;
  }
  total.WallSeconds = std::round(total.WallSeconds * 1000) / 1000;
  if (total.Crashed > 0)
    total.Crash =
        fmt::format("{} {} crashed", total.Crashed, total.Crashed == 1 ? "seed" : "seeds");
  return total;
}

std::string FormatStudyHeading(int days) {
  return TableLine({"seed", "created", "removed", "mean in", "end", "finished", "mean", "median",
                    "p90", "worst", "gridlocks", "errors", "wall s", "crash"},
                   days);
}

std::string FormatStudyRow(const StudyRow& row, int days) {
  return TableLine(RowCells(row, std::to_string(row.Seed)), days);
}

std::string FormatStudyTotals(const StudyRow& totals, int days) {
  return TableLine(RowCells(totals, "all"), days);
}

std::string StudyCsvHeader(int days) {
  std::string out = "seed";
  for (const char* list : {"created", "removed", "mean_in_district"})
    for (int d = 1; d <= days; ++d) out += fmt::format(",{}_d{}", list, d);
  return out +
         ",in_district_end,timetable_run,timetable_finished,finished_share,mean_delay_min,"
         "median_delay_min,p90_delay_min,worst_delay_min,gridlocks,errors,wall_seconds,delays,"
         "crash\n";
}

std::string StudyCsvRow(const StudyRow& row, int days) {
  const DelayFigures d = FigureDelays(row.Delays);
  std::string out = std::to_string(row.Seed);
  const auto list = [&](const std::vector<long>& values, bool tenths) {
    for (int k = 0; k < days; ++k) {
      const long v = k < static_cast<int>(values.size()) ? values[k] : 0;
      out += tenths ? fmt::format(",{}.{}", v / 10, v % 10) : fmt::format(",{}", v);
    }
  };
  list(row.Created, false);
  list(row.Removed, false);
  list(row.MeanInDistrictTenths, true);
  out += fmt::format(",{},{},{},{},{},{},{},{},{},{},{:.3f},{},{}\n", row.InDistrict,
                     row.TimetableRun, row.TimetableFinished, FinishedShare(row, false),
                     d.Mean ? fmt::format("{:.2f}", *d.Mean) : "",
                     d.Median ? fmt::format("{:.1f}", *d.Median) : "", Optional(d.P90, ""),
                     Optional(d.Worst, ""), row.Gridlocks, row.Errors, row.WallSeconds,
                     DelayList(row.Delays), CsvField(row.Crash));
  return out;
}

namespace {

/// Parses one CSV row of a study of `days` days; the reason when it is not one.
std::optional<std::string> ParseCsvRow(const std::string& line, int days, StudyRow& row) {
  const std::optional<std::vector<std::string>> split = SplitCsv(line);
  if (!split) return "a quoted field is not closed";
  const std::vector<std::string>& f = *split;
  const std::size_t expected = 1 + 3 * static_cast<std::size_t>(days) + 13;
  if (f.size() != expected)
    return fmt::format("{} fields where the header has {}", f.size(), expected);
  const std::vector<std::string> names = [&] {
    std::vector<std::string> out;
    std::istringstream header(StudyCsvHeader(days));
    for (std::string name; std::getline(header, name, ',');) out.push_back(name);
    if (!out.empty() && !out.back().empty() && out.back().back() == '\n') out.back().pop_back();
    return out;
  }();
  std::optional<std::string> bad;
  const auto number = [&](std::size_t k, long& to) {
    const auto v = ParseNumber<long>(f[k]);
    if (!v || *v < 0) {
      if (!bad) bad = fmt::format("{}: not a count: \"{}\"", names[k], f[k]);
      return;
    }
    to = *v;
  };
  const auto seed = ParseNumber<std::uint64_t>(f[0]);
  if (!seed) return fmt::format("seed: not a seed: \"{}\"", f[0]);
  row.Seed = *seed;
  std::size_t k = 1;
  for (std::vector<long>* list : {&row.Created, &row.Removed}) {
    list->assign(days, 0);
    for (int d = 0; d < days; ++d) number(k++, (*list)[d]);
  }
  row.MeanInDistrictTenths.assign(days, 0);
  for (int d = 0; d < days; ++d, ++k) {
    const std::string& text = f[k];
    const auto dot = text.find('.');
    const auto whole = ParseNumber<long>(std::string_view(text).substr(0, dot));
    const auto tenth = dot == std::string::npos || dot + 2 != text.size()
                           ? std::nullopt
                           : ParseNumber<long>(std::string_view(text).substr(dot + 1));
    if (!whole || !tenth || *whole < 0) {
      if (!bad) bad = fmt::format("{}: not a number with one decimal: \"{}\"", names[k], text);
      continue;
    }
    row.MeanInDistrictTenths[d] = *whole * 10 + *tenth;
  }
  number(k++, row.InDistrict);
  number(k++, row.TimetableRun);
  number(k++, row.TimetableFinished);
  k += 5;  // the share and the delay figures follow from the counts and the delays
  number(k++, row.Gridlocks);
  number(k++, row.Errors);
  const std::string& wall = f[k];
  char* end = nullptr;
  row.WallSeconds = std::strtod(wall.c_str(), &end);
  if (wall.empty() || end != wall.c_str() + wall.size() || !(row.WallSeconds >= 0)) {
    if (!bad) bad = fmt::format("{}: not a number of seconds: \"{}\"", names[k], wall);
  }
  ++k;
  std::istringstream delays(f[k]);
  for (std::string entry; delays >> entry;) {
    const auto colon = entry.find(':');
    const auto minutes = colon == std::string::npos
                             ? std::nullopt
                             : ParseNumber<int>(std::string_view(entry).substr(0, colon));
    const auto trains = colon == std::string::npos
                            ? std::nullopt
                            : ParseNumber<long>(std::string_view(entry).substr(colon + 1));
    if (!minutes || !trains || *trains < 1 || row.Delays.count(*minutes) != 0) {
      if (!bad) bad = fmt::format("delays: not \"MINUTES:TRAINS\" once per delay: \"{}\"", entry);
      break;
    }
    row.Delays[*minutes] = *trains;
  }
  ++k;
  row.Crash = f[k];
  row.Crashed = row.Crash.empty() ? 0 : 1;
  if (bad) return bad;
  long delayed = 0;
  for (const auto& [minutes, trains] : row.Delays) delayed += trains;
  if (row.TimetableFinished > row.TimetableRun || delayed > row.TimetableFinished)
    return std::string("more trains finished than run, or delays than finished trains");
  return std::nullopt;
}

/// Orders the rows (and their lines) by seed.
void SortBySeed(StudyCsv& csv) {
  std::vector<std::size_t> order(csv.Rows.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return csv.Rows[a].Seed < csv.Rows[b].Seed;
  });
  StudyCsv sorted;
  sorted.Days = csv.Days;
  for (const std::size_t k : order) {
    sorted.Rows.push_back(std::move(csv.Rows[k]));
    sorted.Lines.push_back(csv.Lines[k]);
  }
  csv = std::move(sorted);
}

}  // namespace

StudyCsv ReadStudyCsv(const std::filesystem::path& file) {
  const std::string name = file.string();
  std::ifstream in(file, std::ios::binary);
  if (!in) throw StudyCsvError(name + ": line 0: cannot read the file");
  StudyCsv csv;
  std::string line;
  int number = 0;
  const auto fail = [&](const std::string& reason) {
    throw StudyCsvError(fmt::format("{}: line {}: {}", name, number, reason));
  };
  const auto next = [&] {
    if (!std::getline(in, line)) return false;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  };
  if (!next()) {
    number = 1;
    fail("empty, no header");
  }
  const std::string prefix = "seed,created_d1";
  if (line.rfind(prefix, 0) != 0) fail("not the header of a study's CSV");
  // The days follow from the header; the whole header must then be the one written.
  int days = 0;
  while (line.find(fmt::format(",created_d{},", days + 1)) != std::string::npos) ++days;
  if (line + "\n" != StudyCsvHeader(days)) fail("not the header of a study's CSV");
  csv.Days = days;
  while (next()) {
    if (line.empty()) continue;
    StudyRow row;
    if (const std::optional<std::string> reason = ParseCsvRow(line, days, row)) fail(*reason);
    for (std::size_t k = 0; k < csv.Rows.size(); ++k)
      if (csv.Rows[k].Seed == row.Seed)
        fail(fmt::format("seed {} is on line {} as well", row.Seed, csv.Lines[k]));
    csv.Rows.push_back(std::move(row));
    csv.Lines.push_back(number);
  }
  SortBySeed(csv);
  return csv;
}

StudyCsv MergeStudyCsv(const std::vector<std::filesystem::path>& files) {
  StudyCsv merged;
  std::map<std::uint64_t, std::string> from;  // seed -> the file and line that had it
  for (std::size_t n = 0; n < files.size(); ++n) {
    StudyCsv part = ReadStudyCsv(files[n]);
    if (n == 0) {
      merged.Days = part.Days;
    } else if (part.Days != merged.Days) {
      throw StudyCsvError(fmt::format("{}: line 1: runs of {} days, but {} has runs of {}",
                                      files[n].string(), part.Days, files[0].string(),
                                      merged.Days));
    }
    for (std::size_t k = 0; k < part.Rows.size(); ++k) {
      const std::string where = fmt::format("{}: line {}", files[n].string(), part.Lines[k]);
      const auto [at, fresh] = from.emplace(part.Rows[k].Seed, where);
      if (!fresh)
        throw StudyCsvError(
            fmt::format("{}: seed {} is on {} as well", where, part.Rows[k].Seed, at->second));
      merged.Rows.push_back(std::move(part.Rows[k]));
      merged.Lines.push_back(part.Lines[k]);
    }
  }
  SortBySeed(merged);
  return merged;
}

}  // namespace traklin
