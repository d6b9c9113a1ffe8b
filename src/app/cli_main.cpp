// traklin-cli: headless tools for districts.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "area/area_reader.h"
#include "area/area_report.h"
#include "area/district_catalogue.h"

namespace {

namespace fs = std::filesystem;
constexpr int kFailure = 2;

// Reads the district in dir and prints its tables; 0 on success, 2 on a reading error.
int CheckDistrict(const std::string& argument) {
  fs::path dir = argument;
  if (const auto number = traklin::ParseDistrictArgument(argument))
    dir = traklin::kDistrictRoot / std::to_string(*number);
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    std::cerr << "traklin-cli: no district directory " << dir.string() << "\n";
    return kFailure;
  }
  traklin::TAreaData area;
  int maxSpeedLimit = 10;
  traklin::TReadDataError error;
  try {
    traklin::LoadAreaData(traklin::DistrictDataFile(dir), area, maxSpeedLimit, error);
  } catch (const std::exception& e) {
    std::cerr << traklin::ToPlainLineBreaks(traklin::FormatReadDataError(error, e.what())) << "\n";
    return kFailure;
  }
  for (const std::string& line : traklin::DescribeAreaTables(area)) std::cout << line << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Traklin headless tools"};
  app.require_subcommand(1);

  std::string dir;
  CLI::App* check = app.add_subcommand(
      "check", "Read a district's Data.dat and print its header values and table sizes");
  check
      ->add_option("DIR", dir,
                   "A district directory holding Data.dat, or a district number N "
                   "(../district/N, relative to the working directory)")
      ->required();
  check->footer(
      "Exit status: 0 when the district was read, 2 when it could not be read (the reason is "
      "printed as the console's error box shows it).");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : kFailure;
  }
  if (check->parsed()) return CheckDistrict(dir);
  return 0;
}
