// Fuzz target: any bytes given to the save reader, over a small district, end in a loaded
// state or a refusal with a reason; the live state is untouched by a refusal.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

#include "demo_district.h"
#include "simulation/save_state.h"

namespace {

// The demo district, generated once from its description: every group of a save has records
// to index.
traklin::Simulation& District() {
  static traklin::Simulation* sim = NewDemoDistrict();
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
