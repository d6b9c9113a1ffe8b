// A run without a display: the district prepared as the console prepares it, stepped for a
// simulated span, everything the stations say written as an event log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "area/date_time.h"
#include "simulation/simulation.h"

namespace traklin {

/// A run cannot start: the text is what the console would show (line breaks as "\n").
class RunSetupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// What a headless run is asked to do.
struct RunOptions {
  std::filesystem::path District;  ///< the district directory holding Data.dat
  /// Simulated start; none: the clock that start-up gives without a save.
  std::optional<TDateTime> Start;
  TDateTime Span = 1.0;  ///< simulated days to run
  /// Seed of the simulation's generator; none: from the clock (the seed used is reported).
  std::optional<std::uint64_t> Seed;
  bool Answer = true;  ///< the answer to every question a station asks
  /// The configuration file; a missing file gives the defaults.
  std::filesystem::path SettingsFile = DefaultSettingsPath();
  /// "SECTION/KEY" and value, applied over the file in order.
  std::vector<std::pair<std::string, std::string>> Sets;
  /// Width in pixels of a name-lamp text; empty: 6 pixels per character. A run that is to be
  /// pictured measures with the panel's font, so that the name lamps come out as the console
  /// draws them.
  std::function<int(const std::string&)> TextWidth;
};

/// Reads the district, the settings and a fresh state into sim, as the console's start-up
/// does (text widths as options.TextWidth gives them, no ring files). Throws RunSetupError with
/// the console's error text, or TSettingsError for a --set value that is not an integer.
/// Settings problems of the file itself are reported leniently through `warnings`.
void PrepareRun(Simulation& sim, const RunOptions& options, std::vector<std::string>* warnings);

/// Parses "SECTION/KEY=VALUE"; nullopt when the text has no '/' before '=' or an empty part.
std::optional<std::pair<std::string, std::string>> ParseSettingAssignment(const std::string& text);

/// The console of a headless run: answers every question with one answer and writes one JSON
/// object per line for everything that happens (notify, inform, ask, created, removed, error,
/// save, gridlock; the lines of event_lines.h). Counts the events of each kind. Its answers are
/// logged "by" "runner", the automatic dispatcher's "by" "auto".
class EventLog : public ConsoleServices {
 public:
  EventLog(Simulation& sim, std::ostream* out, bool answer);
  ~EventLog() override;
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  void NotifyDispatcher(const std::string& text) override;
  void InformDispatcher(const std::string& caption, const std::string& text, int ring) override;
  bool AskDispatcher(const std::string& caption, const std::string& text, int ring) override;
  void StationAnswered(const std::string& caption, const std::string& text, int ring,
                       bool answer) override;
  /// Saves through the Save hook and logs a "save" event; without the hook nothing is saved
  /// (a headless run never touches the user's saves unless asked) and the result is false.
  bool SaveLastState(bool reportFailure) override;
  /// An error raised inside a step.
  void Error(const std::string& text);
  /// A gridlock found by the run's detector: the train numbers and the LP codes.
  void ReportGridlock(const std::vector<int>& trains, const std::vector<int>& stations);

  std::function<bool()> Save;
  /// The answer to every question asked (a scenario's answer line changes it).
  bool Answer;
  /// Who gives Answer, as its "ask" lines say ("runner"; a replayed shift names whoever
  /// answered when it was recorded).
  AnswerSource AnswerBy = AnswerSource::Runner;
  const std::map<std::string, long>& Counts() const { return counts_; }
  long Created() const { return created_; }
  long Removed() const { return removed_; }

 private:
  /// Counts the event and writes its line (the JSON text of the whole object), which `line`
  /// makes only when there is somewhere to write it.
  template <typename MakeLine>
  void Emit(const std::string& event, const MakeLine& line) {
    ++counts_[event];
    if (out_) *out_ << line() << '\n';
  }

  Simulation& sim_;
  std::ostream* out_;
  std::map<std::string, long> counts_;
  /// The trains logged as created, by number and creation time: a record that creation
  /// throws away again (unknown locomotive, missing stations) was never in the district and
  /// is not logged as removed.
  std::set<std::pair<int, double>> alive_;
  long created_ = 0;
  long removed_ = 0;
};

/// What a run did.
struct RunSummary {
  TDateTime Span = 0;
  long Steps = 0;
  double WallSeconds = 0;
  long Created = 0;
  long Removed = 0;
  long InDistrict = 0;
  std::map<std::string, long> Events;
};

/// What a run calls around every step (either may be empty), outside the step's passes.
struct StepHooks {
  std::function<void()> Before;  ///< before the clock advances
  std::function<void()> After;   ///< after the step's passes
};

/// Steps sim for `span` simulated days with log as its console. An error inside a step is
/// logged and the run goes on with the next step, as the console does; a CheckMismatch of
/// check mode is not, it ends the run. After each step a
/// gridlock detector looks at the run (GridlockDetector, once a simulated minute) and each
/// gridlock it finds is logged. `progress` (may be empty) is called now and then with the
/// fraction done.
RunSummary RunSimulation(Simulation& sim, EventLog& log, TDateTime span,
                         const std::function<void(double)>& progress = {},
                         const StepHooks& hooks = {});

/// The summary as printed at the end of a run, one "name: value" line each: the events of the
/// kinds every run has (notify, inform, ask, created, removed, error, save) always, those of
/// other kinds (gridlock) only when the run had them.
std::string FormatRunSummary(const RunSummary& summary);

}  // namespace traklin
