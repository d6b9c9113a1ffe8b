// traklin-cli: headless tools for districts.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "area/district_catalogue.h"
#include "area/district_check.h"

int main(int argc, char** argv) {
  CLI::App app{"Traklin headless tools"};
  app.require_subcommand(1);

  std::string dir;
  CLI::App* check = app.add_subcommand(
      "check",
      "Read a district's Data.dat, run the start-up set-up (peregons, lamps, routes, signals, "
      "rings) and report the district");
  check
      ->add_option("DIR", dir,
                   "A district directory holding Data.dat, or a district number N "
                   "(../district/N, relative to the working directory)")
      ->required();
  check->footer(
      "On success prints one line per table as read (name and record count), then the "
      "number of routes and chains of each LP and the number of signals of each kind, and "
      "exits 0.\n"
      "On failure prints the console's error box text (\"Error reading Data.dat\" with the "
      "line, or \"Error initializing data+\" with the reason) and exits 2.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : traklin::kCheckFailed;
  }
  if (check->parsed()) {
    std::filesystem::path district = dir;
    if (const auto number = traklin::ParseDistrictArgument(dir))
      district = traklin::kDistrictRoot / std::to_string(*number);
    return traklin::RunDistrictCheck(district, std::cout, std::cerr);
  }
  return 0;
}
