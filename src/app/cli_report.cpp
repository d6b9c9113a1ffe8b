// traklin-cli report: a reference report of a district after a headless run, as text.
#include <iostream>
#include <map>
#include <memory>

#include "app/cli_commands.h"
#include "simulation/headless_run.h"
#include "simulation/reports.h"

namespace traklin::cli {

namespace {

struct ReportArguments {
  std::string Kind;
  std::string District;
  std::string Start;
  std::string For = "0s";
  std::optional<std::uint64_t> Seed;
  std::string Settings;
};

const std::map<std::string, ReportKind> kReportKinds = {{"train", ReportKind::Trains},
                                                        {"approaches", ReportKind::Approaches},
                                                        {"timetable", ReportKind::Timetable},
                                                        {"tracks", ReportKind::Tracks}};

int Report(const ReportArguments& a) {
  RunOptions options;
  options.District = DistrictDirectory(a.District);
  if (!ParseStartAndSpan(a.Start, a.For, options)) return kFailed;
  if (!a.Settings.empty()) options.SettingsFile = a.Settings;
  Simulation sim;
  std::uint64_t seed = 0;
  if (!SeedAndPrepare(sim, options, a.Seed, seed)) return kFailed;
  EventLog log(sim, nullptr, true);
  if (options.Span > 0) RunSimulation(sim, log, options.Span);
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
  report
      ->add_option("DIR", a->District,
                   "A district directory holding Data.dat, or a district number N "
                   "(../district/N, relative to the working directory)")
      ->required();
  report->add_option("--start", a->Start,
                     "Simulated start \"YYYY-MM-DD HH:MM\" (default: as the console starts "
                     "without a save)");
  report->add_option("--for", a->For, "Simulated span to run first: a number with s, m, h or d")
      ->capture_default_str();
  report->add_option("--seed", a->Seed, "Seed of the simulation's generator (default: the clock)");
  report->add_option("--settings", a->Settings,
                     "The configuration file (default ../config/Traklin.ini; missing: defaults)");
  report->footer(
      "Runs the district as `run` does (every question answered yes, no event log), then "
      "prints the report as the console's \"Справка\" window shows it (UTF-8) and exits 0. "
      "A district that cannot be read or a bad argument prints the reason and exits 2.");
  return {report, [a] { return Report(*a); }};
}

}  // namespace traklin::cli
