// The demo district prepared for a seeded test run, and golden texts compared or rewritten.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "simulation/headless_run.h"

namespace traklin::test {

/// Prepares the generated demo district (../district/1) for a run from 15 March 2024, 06:00,
/// with the given seed and the default settings; false when the district is not there.
inline bool PrepareDemoRun(Simulation& sim, std::uint64_t seed) {
  const std::filesystem::path district = "../district/1";
  if (!std::filesystem::exists(district / "Data.dat")) return false;
  sim.Random.Seed(seed);
  RunOptions options;
  options.District = district;
  options.Start = ParseStartTime("2024-03-15 06:00");
  options.SettingsFile = "no-such-Traklin.ini";
  PrepareRun(sim, options, nullptr);
  return true;
}

/// Expects text to equal tests/<file> (a golden file, "views/golden/report_train.txt"); with
/// TRAKLIN_UPDATE_GOLDEN set in the environment the file is rewritten instead.
inline void ExpectGolden(const std::string& text, const std::string& file) {
  const std::filesystem::path golden = std::filesystem::path(TRAKLIN_SOURCE_DIR) / "tests" / file;
  if (std::getenv("TRAKLIN_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(golden, std::ios::binary) << text;
    return;
  }
  std::ifstream in(golden, std::ios::binary);
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(text, expected.str()) << file
                                  << " differs; if the change is meant, rerun with "
                                     "TRAKLIN_UPDATE_GOLDEN=1";
}

}  // namespace traklin::test
