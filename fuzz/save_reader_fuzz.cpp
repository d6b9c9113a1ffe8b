// Fuzz target: any bytes given to the save reader, over a small district, end in a loaded
// state or a refusal with a reason; the live state is untouched by a refusal.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

#include "area/area_reader.h"
#include "area/district_setup.h"
#include "districtgen/district.h"
#include "simulation/save_state.h"
#include "simulation/simulation.h"
#include "state/interlocking.h"

namespace {

// The demo district, generated once from its description: every group of a save has records
// to index.
traklin::Simulation& District() {
  static traklin::Simulation* sim = [] {
    auto* s = new traklin::Simulation;
    std::ifstream in(std::string(TRAKLIN_SOURCE_DIR) + "/data/districts/1/line.json");
    std::ostringstream json;
    json << in.rdbuf();
    const std::string bytes = traklin::districtgen::DataDatText(
        traklin::districtgen::BuildDistrict(traklin::districtgen::ParseLineSpec(json.str())));
    traklin::LoadAreaDataFromBytes(bytes, s->AreaData, s->MaxSpeedLimit, s->ReadDataError);
    // As the shipped configuration has it (all block sections shown, view 0), as the seeds.
    traklin::PrepareDistrict(s->AreaData, traklin::SetupOptions{});
    s->Random.Seed(1);
    traklin::StateInit(*s, traklin::DateParts{2024, 3, 15});
    return s;
  }();
  return *sim;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  traklin::Simulation& sim = District();
  static const traklin::TStateData fresh = sim.State;
  const traklin::SaveOutcome outcome =
      traklin::LoadStateFromText(sim, std::string_view(reinterpret_cast<const char*>(data), size));
  if (std::getenv("SAVE_FUZZ_VERBOSE") != nullptr)
    std::fprintf(stderr, "%s\n", outcome.Ok ? "loaded" : outcome.Describe().c_str());
  if (outcome.Ok) {
    // What was read writes and reads back to the same state.
    const std::string text = traklin::WriteStateText(sim);
    if (!traklin::LoadStateFromText(sim, text).Ok || traklin::WriteStateText(sim) != text)
      std::abort();
    sim.State = fresh;
  } else if (!(sim.State == fresh)) {
    std::abort();
  }
  return 0;
}
