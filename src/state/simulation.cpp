// The simulation step and the tick loop.
#include "state/simulation.h"

#include <cassert>

#include "state/interlocking.h"
#include "trains/stops.h"
#include "trains/train_motion.h"

namespace traklin {

TimeScale Simulation::SetTimeScale(int level) {
  TimeScale s = TimeScaleFor(level);
  TimeScaleLevel = s.Level;
  StepsPerTick = s.StepsPerTick;
  return s;
}

void Simulation::SimulationStep(TDateTime delta) {
  State.ClockTime += delta;
  UpdateRoutes(*this);
  UpdateSignals(*this);
  // Station automation and throat tasks come here, then train creation.
  DepartTrains(*this);
  MoveTrains(*this, delta);
  AutosaveCheck();
}

void Simulation::RunTick(const std::function<void()>& afterStep) {
  for (int i = 0; i < StepsPerTick; ++i) {
    SimulationStep(kStepLength);
    if (afterStep) afterStep();
  }
}

void Simulation::AutosaveCheck() {
  if (!(LastSaveTime + kAutosavePeriod < State.ClockTime)) return;
  bool saved = false;
  try {
    saved = Console != nullptr && Console->SaveLastState(false);
  } catch (...) {
    saved = false;
  }
  if (saved)
    LastSaveTime = State.ClockTime;
  else
    LastSaveTime += kAutosaveRetry;
}

bool Simulation::ManualSave() {
  bool saved = false;
  try {
    saved = Console != nullptr && Console->SaveLastState(true);
  } catch (...) {
    saved = false;
  }
  if (saved)
    LastSaveTime = State.ClockTime;
  else
    LastSaveTime += kAutosaveRetry;
  return saved;
}

}  // namespace traklin
