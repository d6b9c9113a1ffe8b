// traklin-cli study: a district run once per seed of a range, in threads, with a row of figures
// per seed and their totals; and the merge of the CSV that the shards of a study wrote.
#include <unistd.h>

#include <fmt/format.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include "app/cli_commands.h"
#include "simulation/study.h"

namespace traklin::cli {

namespace {

struct StudyArguments : RunArguments {
  std::string Seeds;
  std::string Shard = "0/1";
  int Jobs = 0;  ///< 0: the cores
  std::string Csv;
  std::string EventsDir;
  std::vector<std::string> Merge;
};

/// Prints the rows and the totals, and writes them to the CSV when one is named.
class StudyOutput {
 public:
  StudyOutput(int days, const std::string& csv) : days_(days), csvName_(csv) {}

  /// Opens the CSV, then prints `lead` and the heading; false (and the reason) when the file
  /// cannot be written.
  bool Open(const std::string& lead = {}) {
    if (!csvName_.empty()) {
      csv_.open(csvName_, std::ios::binary | std::ios::trunc);
      if (!csv_) {
        std::cerr << "--csv: cannot write " << csvName_ << "\n";
        return false;
      }
      csv_ << StudyCsvHeader(days_);
    }
    std::cout << lead << FormatStudyHeading(days_);
    return true;
  }
  void Row(const StudyRow& row) {
    std::cout << FormatStudyRow(row, days_) << std::flush;
    if (csv_.is_open()) csv_ << StudyCsvRow(row, days_) << std::flush;
  }
  /// Prints the totals; false when the CSV could not be written.
  bool Close(const std::vector<StudyRow>& rows) {
    std::cout << FormatStudyTotals(StudyTotals(rows), days_);
    if (!csv_.is_open()) return true;
    csv_.close();
    if (!csv_) {
      std::cerr << "--csv: writing " << csvName_ << " failed\n";
      return false;
    }
    return true;
  }

 private:
  int days_;
  std::string csvName_;
  std::ofstream csv_;
};

int Merge(const StudyArguments& a) {
  if (!a.District.empty() || !a.Seeds.empty()) {
    std::cerr << "--merge: takes the shards' CSV files only (no DIR, no --seeds)\n";
    return kFailed;
  }
  std::vector<std::filesystem::path> files(a.Merge.begin(), a.Merge.end());
  StudyCsv merged;
  try {
    merged = MergeStudyCsv(files);
  } catch (const StudyCsvError& e) {
    std::cerr << e.what() << "\n";
    return kFailed;
  }
  StudyOutput output(merged.Days, a.Csv);
  if (!output.Open()) return kFailed;
  for (const StudyRow& row : merged.Rows) output.Row(row);
  return output.Close(merged.Rows) ? 0 : kFailed;
}

int Study(const StudyArguments& a) {
  if (!a.Merge.empty()) return Merge(a);
  if (a.District.empty()) {
    std::cerr << "DIR is required (or --merge with the shards' CSV files)\n";
    return kFailed;
  }
  if (a.Seeds.empty()) {
    std::cerr << "--seeds is required\n";
    return kFailed;
  }
  const std::optional<SeedRange> range = ParseSeedRange(a.Seeds);
  if (!range) {
    std::cerr << "--seeds: not a range A..B of seeds with A not above B: " << a.Seeds << "\n";
    return kFailed;
  }
  const std::optional<StudyShard> shard = ParseShard(a.Shard);
  if (!shard) {
    std::cerr << "--shard: not I/N with 0 <= I < N: " << a.Shard << "\n";
    return kFailed;
  }
  const std::optional<RunOptions> options = ToRunOptions(a);
  if (!options) return kFailed;

  // The district, the settings, the stations and the scenario are checked once, before any run.
  StudySetup setup;
  setup.Options = *options;
  {
    Simulation probe;
    if (!SeedAndPrepare(probe, *options, range->First)) return kFailed;
    if (!SwitchAutomatic(probe, a)) return kFailed;
    if (a.Auto || !a.AutoLps.empty()) setup.AutoLPs = probe.State.AutoLPs;
    if (!ReadScript(a, probe.AreaData, setup.Script)) return kFailed;
    // Without --start every seed starts where the first did, even when the study runs past
    // midnight.
    setup.Options.Start = probe.State.ClockTime;
  }
  if (!a.EventsDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(a.EventsDir, ec);
    if (!std::filesystem::is_directory(a.EventsDir, ec)) {
      std::cerr << "--events-dir: cannot make the directory " << a.EventsDir << "\n";
      return kFailed;
    }
    setup.EventsDir = a.EventsDir;
  }
  const int jobs =
      a.Jobs > 0 ? a.Jobs : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const std::vector<std::uint64_t> seeds = ShardSeeds(*range, *shard);
  const int days = StudyDays(options->Span);

  StudyOutput output(days, a.Csv);
  if (!output.Open("start: " + FormatEventTime(*setup.Options.Start) + "\n")) return kFailed;
  const bool watched = isatty(STDERR_FILENO) != 0;
  std::size_t done = 0;
  const auto wallStart = std::chrono::steady_clock::now();
  const std::vector<StudyRow> rows = RunStudy(setup, seeds, jobs, [&](const StudyRow& row) {
    if (watched) std::fprintf(stderr, "\r        \r");
    output.Row(row);
    if (watched) std::fprintf(stderr, "%zu/%zu", ++done, seeds.size());
  });
  if (watched) std::fprintf(stderr, "\r        \r");
  if (!output.Close(rows)) return kFailed;
  std::cout << fmt::format(
      "seeds: {} ({}..{}, shard {}/{}), jobs: {}, wall seconds: {:.3f}\n", seeds.size(),
      range->First, range->Last, shard->Index, shard->Count, jobs,
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
  return 0;
}

}  // namespace

Command AddStudyCommand(CLI::App& app) {
  auto a = std::make_shared<StudyArguments>();
  CLI::App* study = app.add_subcommand(
      "study",
      "Run a district once per seed of a range, several at a time, and print a row of figures "
      "per seed and their totals (or merge the CSV of a study's shards)");
  AddRunArguments(study, *a, {.Seed = false, .Script = true, .DistrictRequired = false});
  study->add_option("--seeds", a->Seeds, "The seeds A..B, one run each");
  study->add_option("--jobs", a->Jobs, "Runs at a time, each in a thread (default: the cores)")
      ->check(CLI::Validator(
          [](const std::string& text) -> std::string {
            int n = 0;
            const char* end = text.data() + text.size();
            const auto [at, error] = std::from_chars(text.data(), end, n);
            if (error == std::errc() && at == end && n >= 1) return {};
            return "not a number of runs at a time, 1 or more: " + text;
          },
          "POSITIVE"));
  study
      ->add_option("--shard", a->Shard,
                   "Only the seeds whose position in the range (from 0) is I modulo N, I/N "
                   "(a job array's task I of N)")
      ->capture_default_str();
  study->add_option("--csv", a->Csv, "Write the rows to FILE as CSV, with a header row");
  study->add_option("--events-dir", a->EventsDir,
                    "Write each seed's event log (as run --events writes it) to DIR/seed-S.jsonl");
  study
      ->add_option("--merge", a->Merge,
                   "Print the rows and totals of the CSV files of a study's shards, joined")
      ->expected(1, -1);
  study->footer(
      "Every seed runs as `run` with the same options and --seed S runs it (the same events, "
      "byte for byte). A row: the seed; trains created, removed and in the district at an "
      "average moment, per simulated day (d1/d2/...); trains in the district at the end; "
      "timetable trains finished of those run; the mean, median, 90th percentile and worst "
      "delay at the last stop (minutes); gridlocks; error events; the wall seconds; and what "
      "escaped a run that crashed. The totals (all) sum the rows and pool the delays. Exits 0; "
      "a bad argument, district, setting or file exits 2.");
  return {study, [a] { return Study(*a); }};
}

}  // namespace traklin::cli
