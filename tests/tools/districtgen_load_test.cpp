// Generated districts load with the district reader and pass the start-up set-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "area/area_reader.h"
#include "area/district_setup.h"
#include "districtgen/district.h"

namespace dg = traklin::districtgen;

namespace {

dg::LineSpec ShippedLine(int number) {
  const auto file = std::filesystem::path(TRAKLIN_SOURCE_DIR) / "data/districts" /
                    std::to_string(number) / "line.json";
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return dg::ParseLineSpec(text.str());
}

// Reads the generated Data.dat and runs the whole start-up set-up; returns the error text.
std::string LoadAndPrepare(const dg::District& d, traklin::TAreaData& area) {
  int maxSpeedLimit = 10;
  traklin::TReadDataError error;
  try {
    traklin::LoadAreaDataFromBytes(dg::DataDatText(d), area, maxSpeedLimit, error);
  } catch (const std::exception& e) {
    return traklin::FormatReadDataError(error, e.what());
  }
  try {
    traklin::SetupOptions options;
    options.ShowAllBlockSect = true;
    traklin::PrepareDistrict(area, options);
  } catch (const std::exception& e) {
    return std::string("set-up: ") + e.what();
  }
  return "";
}

// What the generator meant and what the reader and the set-up made of it agree.
void ExpectAgreement(const dg::District& d, const traklin::TAreaData& area) {
  EXPECT_EQ(area.StationCount, static_cast<int>(d.Line.Stations.size()));
  EXPECT_EQ(area.SectCount, d.SectCount);
  EXPECT_EQ(area.SwitchCount, d.SwitchCount);
  EXPECT_EQ(area.SwitchPosBase, d.SwitchPosBase);
  EXPECT_EQ(area.FirstLamp, d.FirstLamp);
  EXPECT_EQ(static_cast<int>(area.Stations.size()), d.Line.NameCount() + 1);
  int flips = 0;
  for (const auto& s : d.Line.Stations) flips += s.Flip;
  EXPECT_EQ(area.ParityFlipCount, flips);
  // Every name resolves to an LP of the district; outside names to the end stations.
  const int first = d.Line.StationCode(0);
  const int last = d.Line.StationCode(static_cast<int>(d.Line.Stations.size()) - 1);
  for (std::size_t code = 1; code < area.Stations.size(); ++code) {
    const int expected = static_cast<int>(code) < first  ? first
                         : static_cast<int>(code) > last ? last
                                                         : static_cast<int>(code);
    EXPECT_EQ(area.Stations[code].LPCode, expected) << "name " << code;
  }
  // Each station with throats has routes from and to every throat it can use.
  for (int lp = 0; lp < area.LPCount; ++lp) {
    EXPECT_GT(area.TrainRoutes[lp].RouteCount, 0) << "LP " << lp;
    EXPECT_EQ(area.TrainRoutes[lp].RouteCount,
              static_cast<int>(area.TrainRoutes[lp].Routes.size()));
  }
  // Signals: no station signal is left without an LP, and every file lamp kept its fragment.
  for (const auto& s : area.Semaphores) EXPECT_TRUE(s.Kind <= 3);
  for (int l = area.FirstLamp; l < static_cast<int>(area.GraphLamps.size()); ++l)
    EXPECT_EQ(area.GraphLamps[l].Station, d.LampAt(l).Station) << "lamp " << l;
}

}  // namespace

TEST(GeneratedDistrictsLoad, ShippedDistrictsPassTheReaderAndTheStartUpChecks) {
  for (int number : {1, 2}) {
    const dg::District d = dg::BuildDistrict(ShippedLine(number));
    traklin::TAreaData area;
    ASSERT_EQ(LoadAndPrepare(d, area), "") << "district " << number;
    ExpectAgreement(d, area);
  }
}

TEST(GeneratedDistrictsLoad, FiftyRandomLinesPassTheReaderAndTheStartUpChecks) {
  for (unsigned seed = 101; seed <= 150; ++seed) {
    const int stations = 2 + static_cast<int>(seed * 11 % 39);
    const int trains = static_cast<int>(seed * 17 % 151);
    const dg::District d = dg::BuildDistrict(dg::SyntheticLine(stations, trains, seed));
    traklin::TAreaData area;
    ASSERT_EQ(LoadAndPrepare(d, area), "") << "seed " << seed;
    ExpectAgreement(d, area);
  }
}

TEST(GeneratedDistrictsLoad, ControlledStationKeepsItsFileRoutesAndTheirSwitches) {
  const dg::District d = dg::BuildDistrict(ShippedLine(1));
  traklin::TAreaData area;
  ASSERT_EQ(LoadAndPrepare(d, area), "");
  int controlled = -1;
  for (std::size_t i = 0; i < d.Line.Stations.size(); ++i)
    if (d.Line.Stations[i].Controlled) controlled = static_cast<int>(i);
  ASSERT_GE(controlled, 0);
  const auto& routes = area.TrainRoutes[controlled];
  ASSERT_EQ(routes.Routes.size(), d.RouteGroups[0].Routes.size());
  for (std::size_t r = 0; r < routes.Routes.size(); ++r) {
    const auto& want = d.RouteGroups[0].Routes[r];
    for (std::size_t k = 0; k < want.Switches.size(); ++k) {
      EXPECT_EQ(routes.Routes[r].SwitchNumber[k], want.Switches[k].first) << "route " << r;
      EXPECT_EQ(routes.Routes[r].SwitchMinus[k] != 0, want.Switches[k].second) << "route " << r;
    }
  }
}

TEST(GeneratedDistrictsLoad, BlockLampsAreAllLaidOutInEveryViewWithShowAll) {
  for (int number : {1, 2}) {
    const dg::District d = dg::BuildDistrict(ShippedLine(number));
    for (int view = 0; view < static_cast<int>(d.Views.size()); ++view) {
      traklin::TAreaData area;
      int maxSpeedLimit = 10;
      traklin::TReadDataError error;
      traklin::LoadAreaDataFromBytes(dg::DataDatText(d), area, maxSpeedLimit, error);
      traklin::SetupOptions options;
      options.ShowAllBlockSect = true;
      options.ViewIndex = view;
      traklin::PrepareDistrict(area, options);
      for (std::size_t p = 0; p < area.GraphPeregons.size(); ++p) {
        const auto& g = area.GraphPeregons[p];
        for (int l = g.BlockLamps[0]; l <= g.BlockLamps[1]; ++l)
          EXPECT_GT(area.GraphLamps[l].Width, 0)
              << "district " << number << " view " << view << " peregon " << p + 1;
      }
    }
  }
}
