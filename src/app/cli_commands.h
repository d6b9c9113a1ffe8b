// The subcommands of traklin-cli: each adds itself to the application and says what runs.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "simulation/headless_run.h"

namespace traklin::cli {

/// A subcommand and what runs when it was given; Run returns the exit code.
struct Command {
  CLI::App* Sub = nullptr;
  std::function<int()> Run;
};

/// Exit code of every failure a subcommand reports (bad district, bad arguments, bad file).
inline constexpr int kFailed = 2;

/// The district directory that DIR|N names (a number means ../district/N).
std::string DistrictDirectory(const std::string& dirOrNumber);

/// Reads --start (empty: none) and --for into the options; prints the problem and returns
/// false when one of them is not valid.
bool ParseStartAndSpan(const std::string& start, const std::string& span, RunOptions& options);
/// Seeds the generator (from the clock without a seed; the seed used goes to `used`) and
/// prepares the run, printing the settings warnings; prints the reason and returns false when
/// the district cannot be prepared.
bool SeedAndPrepare(Simulation& sim, const RunOptions& options, std::optional<std::uint64_t> seed,
                    std::uint64_t& used);

Command AddCheckCommand(CLI::App& app);
Command AddRunCommand(CLI::App& app);
Command AddReportCommand(CLI::App& app);

}  // namespace traklin::cli
