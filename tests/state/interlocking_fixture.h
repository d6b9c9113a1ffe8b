// Small hand-built districts and a recording console for the interlocking tests.
#pragma once

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "state/interlocking.h"
#include "state/simulation.h"

namespace traklin::fixtures {

/// Records every message; answers questions with a fixed reply.
class RecordingConsole : public ConsoleServices {
 public:
  void NotifyDispatcher(const std::string& text) override { notes.push_back(text); }
  void InformDispatcher(const std::string&, const std::string& text, int) override {
    notes.push_back(text);
  }
  bool AskDispatcher(const std::string&, const std::string& text, int) override {
    notes.push_back(text);
    return true;
  }
  bool SaveLastState(bool) override { return true; }
  std::vector<std::string> notes;
};

/// Builds district records directly: sections 1..sectCount-1, links, signals, routes.
class DistrictBuilder {
 public:
  DistrictBuilder(TAreaData& area, int sectCount, int lampCount) : a_(area) {
    a_.SectCount = sectCount;
    a_.SlSects.assign(sectCount + 1, TSlSectData{});
    a_.Sekzs.assign(sectCount + 1, 0);
    a_.GraphLamps.assign(lampCount, TGraphLampData{});
    a_.BaseYear = 2010;
  }

  /// Consecutive sections become straight neighbours, the odd direction running along the list.
  DistrictBuilder& Line(std::initializer_list<int> sections) {
    int prev = 0;
    for (int s : sections) {
      a_.SlSects[s].Length = 100;
      if (prev > 0) {
        a_.SlSects[prev].Straight[1] = s;
        a_.SlSects[s].Straight[0] = prev;
      }
      prev = s;
    }
    return *this;
  }

  /// Switch w at the odd end of `at`, whose side branch leads to `side`.
  DistrictBuilder& OddSwitch(int w, int at, int side) {
    if (static_cast<int>(a_.Strels.size()) <= w) a_.Strels.resize(w + 1);
    a_.SwitchCount = std::max(a_.SwitchCount, w);
    a_.Strels[w].Section = at;
    a_.Strels[w].OddEnd = 1;
    a_.SlSects[at].Switch[1] = w;
    a_.SlSects[at].Side[1] = side;
    a_.SlSects[side].Straight[0] = at;
    return *this;
  }

  int Signal(int section, int dir, int lamp, int kind, int lp, int next = -1) {
    TSemaphoreData sem;
    sem.Kind = static_cast<std::uint8_t>(kind);
    sem.Direction = static_cast<std::uint8_t>(dir);
    sem.Lamp = lamp;
    sem.Section = section;
    sem.Next = next;
    sem.LP = lp;
    a_.Semaphores.push_back(sem);
    const int index = static_cast<int>(a_.Semaphores.size()) - 1;
    a_.SlSects[section].Semaphore[dir] = index;
    return index;
  }

  /// A station LP with its code; its tracks are (section, first lamp, lamp count).
  DistrictBuilder& Station(int code, std::initializer_list<std::array<int, 3>> tracks) {
    TPutData lp;
    lp.Code = code;
    for (const auto& t : tracks) {
      TTrackData track;
      track.Section = t[0];
      track.FirstLamp = t[1];
      track.LampCount = t[2];
      lp.Tracks.push_back(track);
    }
    lp.TrackCount = static_cast<int>(lp.Tracks.size());
    a_.Puts.push_back(lp);
    a_.LPCount = static_cast<int>(a_.Puts.size());
    a_.StationCount = a_.LPCount;
    a_.GraphFragms.resize(a_.StationCount);
    TLPRoutesData table;
    table.Code = code;
    a_.TrainRoutes.push_back(table);
    return *this;
  }

  /// A route of LP lp over the sections in order; switches as (number, minus).
  int Route(int lp, std::initializer_list<int> sections,
            std::initializer_list<std::pair<int, bool>> switches, int startKind, int endKind) {
    TTrainRouteData rt;
    rt.StartKind = startKind;
    rt.EndKind = endKind;
    int k = 0;
    for (int s : sections) rt.Sections[k++] = s;
    rt.FirstSection = rt.Sections[0];
    rt.LastSection = rt.Sections[k - 1];
    k = 0;
    for (const auto& [w, minus] : switches) {
      rt.Switches[k] = w + a_.SwitchPosBase * (minus ? 1 : 0);
      rt.SwitchNumber[k] = w;
      rt.SwitchMinus[k] = minus ? 1 : 0;
      ++k;
    }
    TLPRoutesData& table = a_.TrainRoutes[lp];
    table.SwitchCount = std::max(table.SwitchCount, k);
    table.Routes.push_back(rt);
    table.RouteCount = static_cast<int>(table.Routes.size());
    return table.RouteCount - 1;
  }

 private:
  TAreaData& a_;
};

/// Runs n simulation steps of half a second.
inline void Steps(Simulation& sim, int n) {
  for (int i = 0; i < n; ++i) sim.SimulationStep(kStepLength);
}

}  // namespace traklin::fixtures
