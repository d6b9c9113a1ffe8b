// The subcommands of traklin-cli: each adds itself to the application and says what runs.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

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

Command AddCheckCommand(CLI::App& app);
Command AddRunCommand(CLI::App& app);
Command AddSaveCheckCommand(CLI::App& app);

}  // namespace traklin::cli
