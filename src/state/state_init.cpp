// StateInit: the dynamic state built afresh from the loaded district.
#include <algorithm>
#include <cstddef>

#include "state/clock.h"
#include "state/interlocking.h"

namespace traklin {

void StateInit(SimulationData& sim) {
  StateInit(sim, DecodeDate(LocalNow()));
}

void StateInit(SimulationData& sim, const DateParts& today) {
  const TAreaData& area = sim.AreaData;
  TStateData& st = sim.State;

  st.RandomPlans.clear();
  st.PlanAttempts.clear();
  st.RandomPlanAttempts.clear();
  st.Trains.clear();

  st.Lamps.assign(area.GraphLamps.size(), TLampControlData{});
  st.Switches.assign(area.Strels.size(), 0);
  st.Semaphores.assign(area.Semaphores.size(), TSemaphoreLightData{});
  st.Routes.assign(area.TrainRoutes.size(), TLPRoutesControlData{});
  st.Sects.assign(area.SlSects.size(), TSectionSchuntData{});
  st.Gorls.assign(area.GorlStanzs.size(), TGorlTaskData{});

  // A station's name lamp is drawn in the "LP off" colour from the start.
  for (std::size_t i = 0; i < st.Lamps.size(); ++i) {
    if (i > 0 && area.GraphLamps[i].Station == static_cast<int>(i) - 1)
      st.Lamps[i].DrawnColor = sim.Settings.ColorLampLPOff;
  }

  const int sectCount = static_cast<int>(area.SlSects.size());
  auto validSect = [&](int s) { return s > 0 && s < sectCount; };
  for (std::size_t i = 0; i < st.Semaphores.size(); ++i) {
    const TSemaphoreData& sem = area.Semaphores[i];
    TSemaphoreLightData& light = st.Semaphores[i];
    const int d = sem.Direction & 1;
    light.DIR_NEXT = static_cast<std::uint8_t>(d);
    light.SECT_NEXT = 0;
    if (sem.Kind == 2 && validSect(sem.Section)) {
      // A block signal watches its block from the start: up to the next signal, skipping a
      // plain section without a signal of its own.
      const int t = area.SlSects[sem.Section].Straight[d];
      light.SECT_NEXT = t;
      if (validSect(t)) {
        const TSlSectData& ts = area.SlSects[t];
        const int beyond = ts.Straight[d];
        if (ts.Semaphore[d] < 0 && ts.Side[d] == 0 && validSect(beyond) &&
            area.SlSects[beyond].Semaphore[d] >= 0)
          light.SECT_NEXT = beyond;
      }
    }
    light.PREV_SECT_NEXT = light.SECT_NEXT;
    light.SIDE_SWITCHES = 0;
    light.CLOSED = true;
    light.NEXT_WARNING = true;
    light.SIDE_WARNING = false;
  }

  for (std::size_t l = 0; l < st.Routes.size(); ++l)
    st.Routes[l].assign(area.TrainRoutes[l].Routes.size(), TRouteControlData{});

  st.DepartCommits.assign(static_cast<std::size_t>(std::max(area.LPCount, 0)), TDepartCommitData{});
  st.PosLog.clear();

  if (!sim.Random.ExplicitlySeeded()) sim.Random.SeedFromClock();
  st.NextRandomFreightTime = 0;
  st.ClockTime = StartClockTime(area.BaseYear, today.Month, today.Day);
  ForgetStepChanges(sim);
}

}  // namespace traklin
