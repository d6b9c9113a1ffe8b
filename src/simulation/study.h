// A study: one headless run per seed, several at a time in threads, a row of figures per seed,
// their totals, and the CSV that carries the rows from the shards of a study to their merge.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dispatch/scenario.h"
#include "simulation/headless_run.h"

namespace traklin {

/// Seeds First..Last, both included.
struct SeedRange {
  std::uint64_t First = 0;
  std::uint64_t Last = 0;
};
/// Parses "A..B" (decimal, A not above B); nullopt for anything else.
std::optional<SeedRange> ParseSeedRange(const std::string& text);

/// Part Index of Count: the seeds whose position in the range (from 0) is Index modulo Count.
struct StudyShard {
  int Index = 0;
  int Count = 1;
};
/// Parses "I/N" (decimal, 0 <= I < N); nullopt for anything else.
std::optional<StudyShard> ParseShard(const std::string& text);
/// The seeds of the range that belong to the shard, ascending.
std::vector<std::uint64_t> ShardSeeds(const SeedRange& range, const StudyShard& shard);

/// What every seed of a study runs with.
struct StudySetup {
  RunOptions Options;  ///< as for a single run (its Seed is not used)
  /// The stations switched to the automatic dispatcher (by LP index); none: as the start-up
  /// leaves them.
  std::optional<std::vector<bool>> AutoLPs;
  /// A scenario played in each run; its save lines are refused (the runs would write the same
  /// file at once).
  std::vector<ScenarioStep> Script;
  /// Where each seed's event log goes, as seed-S.jsonl; empty: nowhere.
  std::filesystem::path EventsDir;
};

/// The figures of one seed's run (or the totals of several: sums, the delays pooled).
struct StudyRow {
  std::uint64_t Seed = 0;
  /// Per simulated day of the run, from the start (the last day may be part of one): trains
  /// created, removed, and in the district at an average moment (looked at once a simulated
  /// minute), in tenths.
  std::vector<long> Created, Removed, MeanInDistrictTenths;
  long InDistrict = 0;         ///< trains in the district at the end
  long TimetableRun = 0;       ///< timetable trains seen (the punctuality report's "run")
  long TimetableFinished = 0;  ///< of those, taken off the district
  /// Delay at the last stop in minutes -> finished timetable trains with that delay.
  std::map<int, long> Delays;
  long Gridlocks = 0;  ///< "gridlock" events
  long Errors = 0;     ///< "error" events
  /// What escaped the run, empty when nothing did. In totals: the seeds that crashed.
  std::string Crash;
  long Crashed = 0;        ///< 1 for a seed whose run crashed; in totals the sum
  double WallSeconds = 0;  ///< real time the run took, to the millisecond

  bool operator==(const StudyRow&) const = default;
};

/// Mean, median, 90th percentile and worst of a set of delays (minutes): the median of an even
/// count is the mean of the two middle values; the 90th percentile is the smallest delay that
/// at least 90 % of the trains do not exceed. All empty for no trains.
struct DelayFigures {
  long Trains = 0;
  std::optional<double> Mean, Median;
  std::optional<int> P90, Worst;
};
DelayFigures FigureDelays(const std::map<int, long>& delays);

/// The days of a run of `span` (simulated days): the last may be part of one; at least one.
int StudyDays(TDateTime span);

/// Runs one seed as `traklin-cli run` runs it with the same options (the same events, byte
/// for byte), with the punctuality recorder watching. An exception that escapes the run is
/// caught and told in the row's Crash.
StudyRow RunStudySeed(const StudySetup& setup, std::uint64_t seed);

/// Runs every seed, `jobs` at a time (one thread each; with 1, in the calling thread). Each
/// run has a simulation of its own and shares nothing with the others, so a seed's row is the
/// same whatever the jobs (apart from the wall seconds). `row` is called in the calling thread
/// for each seed in the order given, as soon as it and the seeds before it are done.
std::vector<StudyRow> RunStudy(const StudySetup& setup, const std::vector<std::uint64_t>& seeds,
                               int jobs, const std::function<void(const StudyRow&)>& row = {});

/// The totals of the rows: every count summed (per day as well), the delays pooled, Crashed
/// the seeds that crashed, the wall seconds summed. Seed is 0.
StudyRow StudyTotals(const std::vector<StudyRow>& rows);

/// The table a study prints: a heading, then one line per row; `days` the days of the runs.
std::string FormatStudyHeading(int days);
std::string FormatStudyRow(const StudyRow& row, int days);
/// The totals line ("all" in the seed column).
std::string FormatStudyTotals(const StudyRow& totals, int days);

/// The header line of a study's CSV, and one row. Columns: seed, created_d1..created_dD,
/// removed_d1..removed_dD, mean_in_district_d1..mean_in_district_dD, in_district_end,
/// timetable_run, timetable_finished, finished_share, mean_delay_min, median_delay_min,
/// p90_delay_min, worst_delay_min, gridlocks, errors, wall_seconds, delays, crash.
std::string StudyCsvHeader(int days);
std::string StudyCsvRow(const StudyRow& row, int days);

/// A study CSV that cannot be used; what() is "FILE: line N: reason".
class StudyCsvError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
/// What the CSV of a study (or of several shards) holds.
struct StudyCsv {
  int Days = 0;
  std::vector<StudyRow> Rows;  ///< by seed
  std::vector<int> Lines;      ///< the line of each row in its file
};
/// Reads a study CSV (the derived columns are worked out again from the others). Throws
/// StudyCsvError for a missing file, a header that is not a study's, or a bad row.
StudyCsv ReadStudyCsv(const std::filesystem::path& file);
/// Reads the shards' files and joins their rows by seed; throws StudyCsvError as ReadStudyCsv
/// does, and for runs of other lengths or a seed given twice.
StudyCsv MergeStudyCsv(const std::vector<std::filesystem::path>& files);

}  // namespace traklin
