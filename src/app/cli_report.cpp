// traklin-cli report: a reference report of a district after a headless run, as text.
#include <iostream>
#include <map>
#include <memory>

#include "app/cli_commands.h"
#include "simulation/headless_run.h"
#include "views/reports.h"

namespace traklin::cli {

namespace {

struct ReportArguments : RunArguments {
  std::string Kind;
};

const std::map<std::string, ReportKind> kReportKinds = {{"train", ReportKind::Trains},
                                                        {"approaches", ReportKind::Approaches},
                                                        {"timetable", ReportKind::Timetable},
                                                        {"tracks", ReportKind::Tracks}};

int Report(const ReportArguments& a) {
  const std::optional<RunOptions> options = ToRunOptions(a);
  if (!options) return kFailed;
  Simulation sim;
  if (!SeedAndPrepare(sim, *options, SeedOf(a))) return kFailed;
  if (!SwitchAutomatic(sim, a)) return kFailed;
  EventLog log(sim, nullptr, options->Answer);
  if (options->Span > 0) RunSimulation(sim, log, options->Span);
  std::cout << JoinReport(BuildReport(sim, kReportKinds.at(a.Kind)));
  return 0;
}

}  // namespace

Command AddReportCommand(CLI::App& app) {
  auto a = std::make_shared<ReportArguments>();
  CLI::App* report = app.add_subcommand(
      "report", "Print a reference report of a district, after a headless run when asked");
  report->add_option("KIND", a->Kind, "train, approaches, timetable or tracks")
      ->required()
      ->check(CLI::IsMember({"train", "approaches", "timetable", "tracks"}));
  // A report of the district as it starts, unless a span to run first is given.
  a->For = "0s";
  AddRunArguments(report, *a);
  report->footer(
      "Runs the district as `run` does (with the same options, no event log), then "
      "prints the report as the console's \"Справка\" window shows it (UTF-8) and exits 0. "
      "A district that cannot be read or a bad argument prints the reason and exits 2.");
  return {report, [a] { return Report(*a); }};
}

}  // namespace traklin::cli
