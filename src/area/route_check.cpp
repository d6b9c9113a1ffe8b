// The route check at start-up: throat entry sections, validation of the file routes of LPs
// without throats, generation for the others, single-sided LPs and signal classification.
#include <fmt/format.h>

#include <algorithm>

#include "area/area_queries.h"
#include "area/district_setup.h"
#include "area/setup_internal.h"

namespace traklin {

using namespace setup_detail;

namespace {

/// The entry among the route's first z entries that names switch w; throws when none or
/// more than one does.
int FindRouteSwitch(const TTrainRouteData& route, int z, int w, const char* doubleText,
                    const char* lacksText) {
  int found = -1;
  for (int i = 0; i < z; ++i) {
    if (route.SwitchNumber[i] != w) continue;
    if (found >= 0) Fail(fmt::format("{}{} in route", doubleText, w));
    found = i;
  }
  if (found < 0) Fail(fmt::format("{}{}", lacksText, w));
  return found;
}

void ExpandFileRoute(const TAreaData& area, TTrainRouteData& route, int z) {
  // Entries are decoded once, with the final SwitchPosBase; everything after reads the pairs.
  for (int i = 0; i < kMaxRouteSwitches; ++i) {
    const int entry = i < z ? route.Switches[i] : 0;
    route.SwitchNumber[i] = entry != 0 ? RouteEntrySwitch(area, entry) : 0;
    route.SwitchMinus[i] = entry != 0 && RouteEntryIsMinus(area, entry) ? 1 : 0;
  }
  for (int& s : route.Sections) s = 0;

  const int d = RouteDirection(route);
  int s = route.FirstSection;
  int prev = s;
  int k = 1;
  while (true) {
    if (!IsSection(area, s)) Fail(fmt::format("Unexpected route interruption after sect {}", prev));
    const TSlSectData& sec = area.SlSects[s];
    route.Sections[k - 1] = s;
    if (sec.Flip[d] != 0 && s != route.LastSection) Fail("Inlet expected at parity flip.");

    const int trailing = sec.Switch[d ^ 1];
    if (trailing > 0) {
      const int i = FindRouteSwitch(route, z, trailing, "Double reverse switch ",
                                    "Route lacks the reverse switch ");
      if (sec.Side[d ^ 1] == prev && route.SwitchMinus[i] == 0)
        Fail("Switch should be side but it is straight");
      if (sec.Straight[d ^ 1] == prev && route.SwitchMinus[i] != 0)
        Fail(fmt::format("Switch {}should be straight but it is sideways", trailing));
    }
    if (s == route.LastSection) return;

    int next = sec.Straight[d];
    const int facing = sec.Switch[d];
    if (facing > 0) {
      const int i = FindRouteSwitch(route, z, facing, "Double forward switch ",
                                    "Route lacks the forward switch ");
      if (route.SwitchMinus[i] != 0) next = sec.Side[d];
    }
    prev = s;
    ++k;
    if (k > kMaxRouteSections)
      Fail(fmt::format("Too many sections in route, max {}", kMaxRouteSections));
    if (next == 0) Fail(fmt::format("Unexpected route interruption after sect {}", prev));
    s = next;
  }
}

/// Step 1 of the generation: the throats of the LP whose peregon comes from another LP get
/// the peregon's end section as entry section.
void SetThroatEntries(TAreaData& area, int lp) {
  const int code = area.Puts[lp].Code;
  const int peregons = static_cast<int>(area.GraphPeregons.size());
  for (int t = 0; t < static_cast<int>(area.GorlStanzs.size()); ++t) {
    TGorlStanzData& th = area.GorlStanzs[t];
    if (th.Code != code) continue;
    const int d = (th.Parity ^ th.Flip ^ 1) & 1;
    const int p = th.Peregon;
    if (p < 1 || p > peregons) continue;
    const TGraphPeregonData& gp = area.GraphPeregons[p - 1];
    if (gp.LP[d] != lp + 1 || gp.LP[d ^ 1] == 0) continue;
    const int e = gp.EndSection[d];
    if (!IsSection(area, e)) continue;
    th.EntrySection = e;
    int& owner = area.SlSects[e].Throat[d];
    if (owner >= 0 && owner != t)
      Fail(fmt::format("Double peregon ({}) usage ({}<>{})", p, t, owner));
    owner = t;
  }
}

bool LPHasThroat(const TAreaData& area, int lp) {
  for (const TGorlStanzData& th : area.GorlStanzs) {
    if (th.Code == area.Puts[lp].Code) return true;
  }
  return false;
}

bool HasSwitchEntry(const TTrainRouteData& route) {
  for (int sw : route.SwitchNumber) {
    if (sw > 0) return true;
  }
  return false;
}

void SetSingleSidedFlags(TAreaData& area) {
  for (int lp = 0; lp < static_cast<int>(area.Puts.size()); ++lp) {
    const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
    int count[2] = {0, 0};
    for (const TGraphPeregonData& gp : area.GraphPeregons) {
      for (int e = 0; e < 2; ++e) {
        if (gp.LP[e] != lp + 1) continue;
        const int sec = gp.EndSection[e];
        if (!IsSection(area, sec)) continue;
        const int side = area.SlSects[sec].Flip[e] != 0 ? e : e ^ 1;
        for (int r = static_cast<int>(routes.size()) - 1; r >= 0; --r) {
          const TTrainRouteData& route = routes[r];
          if (route.FirstSection != sec && route.LastSection != sec) continue;
          if (!HasSwitchEntry(route)) continue;
          ++count[side];
          break;
        }
      }
    }
    area.Puts[lp].SingleSided = count[0] == 0 || count[1] == 0 ? 1 : 0;
  }
}

bool RouteHasSection(const TTrainRouteData& route, int x) {
  for (int s : route.Sections) {
    if (s == 0) break;
    if (s == x) return true;
  }
  return false;
}

/// Whether a route ending at section t in direction d leads into a throat of the LP.
bool LeadsIntoThroat(const TAreaData& area, int lp, int t, int d) {
  if (!IsSection(area, t)) return false;
  const TSlSectData& sec = area.SlSects[t];
  if (ThroatOfLP(area, sec.Throat[d ^ 1], lp) && sec.Flip[d ^ 1] == 0) return true;
  return ThroatOfLP(area, sec.Throat[d], lp) && sec.Flip[d] != 0;
}

void ClassifySignals(TAreaData& area) {
  const int lpCount = static_cast<int>(area.Puts.size());
  for (TSemaphoreData& signal : area.Semaphores) {
    if (signal.Kind != 1 && signal.Kind != 3) continue;
    const int x = signal.Section;
    const int dir = signal.Direction;
    const bool known = signal.LP >= 0 && signal.LP < lpCount;
    const int from = known ? signal.LP : 0;
    const int to = known ? signal.LP : lpCount - 1;
    bool startsHere = false;
    bool toThroat = false;
    for (int lp = from; lp <= to && !toThroat; ++lp) {
      for (const TTrainRouteData& route : area.TrainRoutes[lp].Routes) {
        const bool starts = route.FirstSection == x;
        if (!starts && route.LastSection != x) {
          if (signal.LP < 0 && RouteHasSection(route, x)) signal.LP = lp;
          continue;
        }
        if (signal.LP < 0) signal.LP = lp;
        if (!starts || RouteDirection(route) != dir) continue;
        startsHere = true;
        if (LeadsIntoThroat(area, lp, route.LastSection, dir)) {
          toThroat = true;
          break;
        }
      }
    }
    if (signal.LP < 0) Fail("Unknown LP for semaphore at section " + FormatHexNumber(x));
    signal.Kind = toThroat || !startsHere ? 1 : 3;
  }
}

/// A station signal lights its second lamp (lamp + 1) for routes towards a numbered throat of
/// its LP; that lamp must exist.
void CheckSecondLamps(const TAreaData& area) {
  for (const TSemaphoreData& signal : area.Semaphores) {
    if ((signal.Kind != 1 && signal.Kind != 3) || signal.Lamp <= 0 || !IsLP(area, signal.LP))
      continue;
    bool numbered = false;
    for (const TGorlStanzData& th : area.GorlStanzs) {
      if (th.Code == area.Puts[signal.LP].Code && th.Number > 0) numbered = true;
    }
    if (numbered && !IsLamp(area, signal.Lamp + 1))
      Fail("Second lamp " + std::to_string(signal.Lamp + 1) + " of semaphore at section " +
           FormatHexNumber(signal.Section) + " out of bounds");
  }
}

}  // namespace

void ExpandFileRoutes(TAreaData& area, int lp) {
  TLPRoutesData& entry = area.TrainRoutes[lp];
  const int z = std::clamp(entry.SwitchCount, 0, kMaxRouteSwitches);
  for (int r = 0; r < static_cast<int>(entry.Routes.size()); ++r) {
    try {
      ExpandFileRoute(area, entry.Routes[r], z);
    } catch (const std::runtime_error& e) {
      Fail("Error at route " + std::to_string(r) + "\r\n\r\n" + e.what());
    }
  }
  entry.RouteCount = static_cast<int>(entry.Routes.size());
}

void CheckRoutes(TAreaData& area) {
  AddMissingRouteEntries(area);
  ResolveStations(area);
  for (int lp = 0; lp < static_cast<int>(area.Puts.size()); ++lp) {
    SetThroatEntries(area, lp);
    if (!LPHasThroat(area, lp)) {
      try {
        ExpandFileRoutes(area, lp);
      } catch (const std::runtime_error& e) {
        Fail("Error testing routes of LP  " + std::to_string(lp) + "\r\n\r\n" + e.what());
      }
    } else {
      GenerateLPRoutes(area, lp);
    }
  }
  SetSingleSidedFlags(area);
  ClassifySignals(area);
  CheckSecondLamps(area);
}

}  // namespace traklin
