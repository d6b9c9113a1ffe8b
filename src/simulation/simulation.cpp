// The simulation step and the tick loop.
#include "simulation/simulation.h"

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
  if (LastSaveTime + kAutosavePeriod < State.ClockTime) SaveAndReschedule(false);
}

bool Simulation::ManualSave() {
  return SaveAndReschedule(true);
}

bool Simulation::SaveAndReschedule(bool reportFailure) {
  bool saved = false;
  try {
    saved = Console != nullptr && Console->SaveLastState(reportFailure);
  } catch (...) {
    // A save that raises counts as failed; the next attempt comes later.
    saved = false;
  }
  if (saved)
    LastSaveTime = State.ClockTime;
  else
    LastSaveTime += kAutosaveRetry;
  return saved;
}

}  // namespace traklin
