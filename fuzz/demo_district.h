// The demo district for the fuzz targets, generated from its description with a fresh state.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "area/area_reader.h"
#include "area/district_setup.h"
#include "districtgen/district.h"
#include "simulation/simulation.h"
#include "state/interlocking.h"

/// A new simulation of the demo district (data/districts/1), prepared as the shipped
/// configuration has it (all block sections shown, view 0), seeded with 1 and with a fresh
/// state on 15 March 2024 at midnight.
inline traklin::Simulation* NewDemoDistrict() {
  auto* s = new traklin::Simulation;
  std::ifstream in(std::string(TRAKLIN_SOURCE_DIR) + "/data/districts/1/line.json");
  std::ostringstream json;
  json << in.rdbuf();
  const std::string bytes = traklin::districtgen::DataDatText(
      traklin::districtgen::BuildDistrict(traklin::districtgen::ParseLineSpec(json.str())));
  traklin::LoadAreaDataFromBytes(bytes, s->AreaData, s->MaxSpeedLimit, s->ReadDataError);
  traklin::PrepareDistrict(s->AreaData, traklin::SetupOptions{});
  s->Random.Seed(1);
  traklin::StateInit(*s, traklin::DateParts{2024, 3, 15});
  return s;
}
