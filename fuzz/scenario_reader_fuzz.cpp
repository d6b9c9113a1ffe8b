// Fuzz target: any text given to the reader of scenarios and shift files, over the demo
// district, ends in its steps or a ScenarioError with a line; what it accepts reads again from
// its own words and plays on a fresh state without a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "demo_district.h"
#include "dispatch/scenario.h"
#include "dispatch/shift_file.h"

namespace {

/// A console that answers no and keeps nothing.
struct QuietConsole : traklin::ConsoleServices {
  void NotifyDispatcher(const std::string&) override {}
  void InformDispatcher(const std::string&, const std::string&, int) override {}
  bool AskDispatcher(const std::string&, const std::string&, int) override { return false; }
  bool SaveLastState(bool) override { return false; }
};

// The demo district, generated once from its description: it has stations worked from the
// desk, stations that take tasks, commits and through passages for the lines to name.
traklin::Simulation& District() {
  static traklin::Simulation* sim = [] {
    traklin::Simulation* s = NewDemoDistrict();
    s->State.ClockTime += 6.0 / 24;
    static QuietConsole console;
    s->Console = &console;
    return s;
  }();
  return *sim;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  traklin::Simulation& sim = District();
  static const traklin::TStateData fresh = sim.State;
  static const traklin::TSettings settings = sim.Settings;
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    traklin::ParseShiftHeader(text);
  } catch (const traklin::ScenarioError& e) {
    if (e.Line < 1) std::abort();
  }
  std::vector<traklin::ScenarioStep> steps;
  try {
    steps = traklin::ParseScenario(text, sim.AreaData);
  } catch (const traklin::ScenarioError& e) {
    // A refusal names a line of the text.
    if (e.Line < 1) std::abort();
    return 0;
  }
  // Each accepted line reads again from its action's words alone.
  std::string again;
  for (const traklin::ScenarioStep& s : steps) again += "06:00 " + s.Text + "\n";
  if (traklin::ParseScenario(again, sim.AreaData).size() != steps.size()) std::abort();
  // Played on a fresh state, a few lines at most: refusals are fine, faults are not.
  if (steps.size() > 20) return 0;
  std::string told;
  sim.OnOperation = [&told](const std::string& line, const std::string& note) {
    told += line + note;
  };
  traklin::ScenarioPlayer player(std::move(steps), sim.State.ClockTime);
  player.PlayDue(sim, sim.State.ClockTime + 2.0);
  while (player.TakeReply()) {
  }
  sim.OnOperation = nullptr;
  sim.State = fresh;
  sim.Settings = settings;
  sim.AutoHolds.clear();
  return 0;
}
