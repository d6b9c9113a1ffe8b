// traklin-cli save-check: read a save against its district and report its groups.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "app/cli_commands.h"
#include "area/area_reader.h"
#include "simulation/headless_run.h"
#include "simulation/save_file.h"
#include "simulation/save_state.h"
#include "simulation/simulation.h"

namespace traklin::cli {
namespace {

namespace fs = std::filesystem;

/// The district a save names in its STATE group, or nullopt when its first lines are not
/// a save's.
std::optional<int> SaveDistrict(const fs::path& file) {
  // The first lines are enough; a damaged file may have no line breaks at all.
  std::ifstream in(file, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  try {
    TSaveFile f(head);
    f.ReadValue("STATE", "VERSION");
    return f.ReadInteger("STATE", "AREA");
  } catch (const ReadError&) {
    return std::nullopt;
  }
}

int RunSaveCheck(const fs::path& file, const std::string& districtArgument) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    std::cerr << "No save file\n";
    return kFailed;
  }
  std::string dir = districtArgument;
  if (dir.empty()) {
    const auto area = SaveDistrict(file);
    if (!area) {
      std::cerr << "The file names no district; give one with --district\n";
      return kFailed;
    }
    dir = DistrictDirectory(std::to_string(*area));
  } else {
    dir = DistrictDirectory(dir);
  }

  // The district as the console prepares it, with the settings it would read.
  auto sim = std::make_unique<Simulation>();
  sim->Random.Seed(1);
  RunOptions options;
  options.District = dir;
  try {
    PrepareRun(*sim, options, nullptr);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return kFailed;
  }

  SaveSummary summary;
  const SaveOutcome outcome = LoadStateFromFile(*sim, file, &summary);
  if (!outcome.Ok) {
    std::cout.flush();
    std::cerr << file.string() << ": not loaded: " << outcome.Describe() << "\n";
    return kFailed;
  }
  std::cout << "VERSION " << summary.Version << "\n"
            << "AREA " << summary.Area << "\n"
            << "CLOCKTIME " << FormatEventTime(summary.ClockTime) << "\n"
            << "NEXTRANDOMFREIGHTTIME "
            << (summary.NextRandomFreightTime == 0 ? std::string("0")
                                                   : FormatEventTime(summary.NextRandomFreightTime))
            << "\n";
  for (const auto& [group, count] : summary.Groups) {
    std::cout << group << " " << count;
    if (group == "ROUTES") std::cout << " (" << summary.Routes << " routes)";
    std::cout << "\n";
  }
  return 0;
}

}  // namespace

Command AddSaveCheckCommand(CLI::App& app) {
  auto file = std::make_shared<std::string>();
  auto district = std::make_shared<std::string>();
  CLI::App* sub = app.add_subcommand(
      "save-check", "Read a save file against its district and report what it holds");
  sub->add_option("FILE", *file, "The save file (last.sav or a numbered copy)")->required();
  sub->add_option("--district", *district,
                  "A district directory holding Data.dat, or a district number N (../district/N, "
                  "relative to the working directory). Default: the district the save names "
                  "in its AREA key, as ../district/AREA");
  sub->footer(
      "The district is read and prepared as the console prepares it, with the settings of "
      "../config/Traklin.ini when present (panel view and block-section lamps decide the "
      "number of lamps a save must match).\n"
      "On success prints the VERSION, AREA and clock values, then one line per group with its "
      "record count (TRAINS, LAMPS, SWITCHES, SECTS, SEMAPHORES, ROUTES with its route count, "
      "GORLS, LP_DEPART_COMMITS, TRAINS_RANDOM_PLANS from version 10, TRAIN_POS_LOG), and "
      "exits 0.\n"
      "When the save cannot be loaded prints \"FILE: not loaded: \" and the reason with the "
      "line of the file, and exits 2; a district that cannot be read also exits 2.");
  return {sub, [file, district] { return RunSaveCheck(*file, *district); }};
}

}  // namespace traklin::cli
