// traklin-cli check: read and prepare a district and report it.
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/cli_commands.h"
#include "area/district_catalogue.h"
#include "area/district_check.h"

namespace traklin::cli {

std::string DistrictDirectory(const std::string& dirOrNumber) {
  if (const auto number = ParseDistrictArgument(dirOrNumber))
    return (kDistrictRoot / std::to_string(*number)).string();
  return dirOrNumber;
}

Command AddCheckCommand(CLI::App& app) {
  auto dir = std::make_shared<std::string>();
  CLI::App* check = app.add_subcommand(
      "check",
      "Read a district's Data.dat, run the start-up set-up (peregons, lamps, routes, signals, "
      "rings) and report the district");
  check
      ->add_option("DIR", *dir,
                   "A district directory holding Data.dat, or a district number N "
                   "(../district/N, relative to the working directory)")
      ->required();
  check->footer(
      "On success prints one line per table as read (name and record count), then the "
      "number of routes and chains of each LP and the number of signals of each kind, and "
      "exits 0.\n"
      "On failure prints the console's error box text (\"Error reading Data.dat\" with the "
      "line, or \"Error initializing data+\" with the reason) and exits 2.");
  return {check, [dir] {
            return RunDistrictCheck(std::filesystem::path(DistrictDirectory(*dir)), std::cout,
                                    std::cerr);
          }};
}

}  // namespace traklin::cli
