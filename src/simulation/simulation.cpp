// The simulation step and the tick loop.
#include "simulation/simulation.h"

#include <algorithm>
#include <array>

#include "dispatch/auto_dispatcher.h"
#include "dispatch/auto_permits.h"
#include "dispatch/operations.h"
#include "state/faults.h"
#include "state/interlocking.h"
#include "trains/stops.h"
#include "trains/throat_automation.h"
#include "trains/train_creation.h"
#include "trains/train_motion.h"

namespace traklin {

TimeScale Simulation::SetTimeScale(int level) {
  TimeScale s = TimeScaleFor(level);
  TimeScaleLevel = s.Level;
  StepsPerTick = s.StepsPerTick;
  return s;
}

std::span<const Simulation::StepPass> Simulation::StepOrder() {
  // Faults end before the routes (a route a fault held is set in the step it ends), routes
  // before signals (a signal opens on a route set in this step), the stations' own
  // decisions before the tasks they write, creation before departure, motion last, and the
  // autosave sees the finished step. The automatic dispatcher acts on the signals of this
  // step, as a dispatcher at the desk would, before the stations take its orders; it looks
  // once a simulated second, while the stations' questions are answered as they are asked.
  static constexpr std::array<StepPass, 13> kOrder{{
      {"Clock",
       [](Simulation& s, TDateTime d) { s.State.ClockTime = AdvanceClock(s.State.ClockTime, d); }},
      {"Faults", [](Simulation& s, TDateTime) { UpdateFaults(s); }},
      {"UpdateRoutes", [](Simulation& s, TDateTime) { UpdateRoutes(s); }},
      {"UpdateSignals", [](Simulation& s, TDateTime) { UpdateSignalsIncremental(s); }},
      {"AutoDispatcher",
       [](Simulation& s, TDateTime) {
         if (AutoDispatcherLooks(s.State.ClockTime))
           AutoDispatch(s, s.State.AutoLPs, s.AutoHolds, s.AutoMemo);
         AutoPermits(s, s.State.AutoLPs);
       }},
      {"ThroatAutomation", [](Simulation& s, TDateTime) { ThroatAutomation(s); }},
      {"ExecuteThroatTasks", [](Simulation& s, TDateTime) { ExecuteThroatTasks(s); }},
      {"CreateFreightTrains", [](Simulation& s, TDateTime) { CreateFreightTrains(s); }},
      {"CreatePlannedTrains", [](Simulation& s, TDateTime) { CreatePlannedTrains(s); }},
      {"ServeWaitingTrains", [](Simulation& s, TDateTime) { ServeWaitingTrains(s); }},
      {"DepartTrains", [](Simulation& s, TDateTime) { DepartTrains(s); }},
      {"MoveTrains", [](Simulation& s, TDateTime d) { MoveTrains(s, d); }},
      {"Autosave", [](Simulation& s, TDateTime) { s.AutosaveCheck(); }},
  }};
  return kOrder;
}

Simulation::AutoHooks::AutoHooks(Simulation& sim) : sim_(sim) {
  const std::vector<bool>& lps = sim.State.AutoLPs;
  if (std::find(lps.begin(), lps.end(), true) == lps.end()) return;
  set_ = true;
  // The automatic dispatcher refuses what is unsafe at the stations it works. The hooks live
  // only as long as this, so a copy of the simulation never holds one that points at another.
  sim.AnswerStation = [&sim](int lp, int train, int track, int kind) {
    return AutoAnswer(sim, sim.State.AutoLPs, sim.AutoHolds, sim.AutoMemo, lp, train, track, kind);
  };
  // A station that sends without asking is judged as if it had asked leave to send.
  sim.MaySend = [&sim](int lp, int train) {
    return AutoAnswer(sim, sim.State.AutoLPs, sim.AutoHolds, sim.AutoMemo, lp, train, -1,
                      rqDepartPermit)
        .value_or(true);
  };
}

Simulation::AutoHooks::~AutoHooks() {
  if (!set_) return;
  sim_.AnswerStation = nullptr;
  sim_.MaySend = nullptr;
}

void Simulation::SimulationStep(TDateTime delta) {
  const AutoHooks hooks(*this);
  for (const StepPass& pass : StepOrder()) pass.Run(*this, delta);
}

void Simulation::RunTick(const std::function<void()>& afterStep,
                         const std::function<void()>& beforeStep) {
  for (int i = 0; i < StepsPerTick; ++i) {
    if (beforeStep) beforeStep();
    SimulationStep(kStepLength);
    if (afterStep) afterStep();
  }
}

void Simulation::AutosaveCheck() {
  if (LastSaveTime + kAutosavePeriod < State.ClockTime) SaveAndReschedule(false);
}

bool Simulation::ManualSave() {
  const bool saved = SaveAndReschedule(true);
  // An operation of its own: it moves the next autosave, which a replay must do alike.
  NoteOperation(*this, "savelast", saved ? "" : "not saved");
  return saved;
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
