// The dispatcher's push-button desk: station selection, route input, commits, desk geometry.
#include "views/controller_desk.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "area/area_queries.h"
#include "state/interlocking.h"

namespace traklin {

namespace {

/// Whether route r of LP lp holds a half of one of its sections.
bool HoldsAnyHalf(const SimulationData& sim, int lp, int r) {
  const TTrainRouteData& route = sim.AreaData.TrainRoutes[lp].Routes[r];
  for (int i = 0; i < kMaxRouteSections && route.Sections[i] != 0; ++i) {
    const int s = route.Sections[i];
    if (s < 0 || s >= static_cast<int>(sim.State.Sects.size())) continue;
    const TSectionSchuntData& x = sim.State.Sects[s];
    if ((x.ROUTE_EVEN == r && x.LP_EVEN == lp) || (x.ROUTE_ODD == r && x.LP_ODD == lp)) return true;
  }
  return false;
}

/// Turns a pending operation round. An order that has locked nothing yet is withdrawn at once:
/// as a release it would wait behind the very conflict that held it up, and since releases go
/// first it would hold up the station's other routes with it.
bool Invert(SimulationData& sim, int lp, int r) {
  if (!ReverseRoute(sim, lp, r)) return false;
  TRouteControlData& ctl = sim.State.Routes[lp][r];
  if (ctl.SCHUNTED && !HoldsAnyHalf(sim, lp, r)) {
    ctl.SCHUNTED = false;
    ctl.TASKED = 0;
    SetRouteLamps(sim, lp, r, 2);
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Geometry

int RouteRowCount(int throatLayout, int column) {
  const bool wide = throatLayout >= 2;
  if (column == 2 || column == 3) return wide ? 6 : 5;
  if (column == 1 || column == 4) return wide ? 2 : 3;
  return 0;
}

bool RouteButtonExists(int throatLayout, DeskButton button) {
  return button.Row >= 1 && button.Row <= RouteRowCount(throatLayout, button.Column);
}

int RouteBaseY(int throatLayout) {
  return throatLayout < 2 ? 181 : 221;
}

DeskPoint RouteButtonCentre(int backWidth, int throatLayout, DeskButton button) {
  const int base = RouteBaseY(throatLayout);
  const int r = button.Row;
  return {backWidth / 2 + (button.Column * 2 - 5) * 30,
          r % 2 == 1 ? base + (r - 1) * 20 : base - r * 20};
}

DeskColour RouteButtonColour(int throatLayout, int row) {
  return row <= throatLayout ? DeskColour::Yellow : DeskColour::White;
}

DeskPoint CommandButtonCentre(bool right, int i) {
  const int offset = ((i % 2) * 2 - 1) * 23;
  return {right ? 552 - offset : 90 + offset, 301 - (i / 2) * 40};
}

DeskColour CommandButtonColour(int i) {
  switch (i) {
    case 0:
      return DeskColour::Red;
    case 2:
    case 10:
    case 11:
      return DeskColour::Yellow;
    case 3:
    case 6:
    case 7:
      return DeskColour::Blue;
    case 4:
      return DeskColour::Green;
    case 5:
      return DeskColour::Teal;
    default:
      return DeskColour::White;
  }
}

DeskPoint SelectButtonTopLeft(int backWidth, int buttonWidth, int i) {
  return {(backWidth - buttonWidth) / 2 + ((i % 8) * 2 - 7) * 22,
          (i / 8 + 6) * kStationRowHeight + 42};
}

int ExtraStationRows(int stations) {
  return stations > 16 ? (stations + 7) / 8 - 2 : 0;
}

DeskLampShape DeskLampGeometry(int backWidth, int k) {
  if (k == kLampTask || k == kLampShunting)
    return {(backWidth - 29) / 2 + (k * 2 - 1) * 148, 61, 29, 10, true};
  if (k == kLampInvert || k == kLampRelease)
    return {(backWidth - 18) / 2 + ((k - 2) * 2 - 1) * 172, 301, 18, 6, false};
  const int i = k - kFirstStationLamp;
  return {(backWidth - 29) / 2 + ((i % 8) * 2 - 7) * 22, (i / 8 + 6) * kStationRowHeight + 23, 29,
          10, true};
}

DeskRect DeskLampLabelBox(const DeskLampShape& lamp) {
  const int half = lamp.Pen / 2;
  return {lamp.X + 1, lamp.Y - half, lamp.Width + half - 1, lamp.Pen + 1};
}

std::optional<DeskButton> KeyRouteButton(bool altVariant, int row, int column, int throatLayout) {
  int n = altVariant ? 2 * row - 1 : (throatLayout < 2 ? 2 * row - 2 : 2 * row);
  n = std::max(n, 1);
  const DeskButton button{column, n};
  if (!RouteButtonExists(throatLayout, button)) return std::nullopt;
  return button;
}

std::optional<DeskKeyCell> DeskKeyGrid(char letter, bool altVariant) {
  static const char* const kRows[3] = {"QWER", "ASDF", "ZXCV"};
  const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (int k = 0; k < 3; ++k) {
    const char* at = up != 0 ? std::strchr(kRows[k], up) : nullptr;
    if (at == nullptr) continue;
    const int row = altVariant ? k + 1 : 3 - k;
    return DeskKeyCell{row, static_cast<int>(at - kRows[k]) + 1};
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// The desk

ControllerDesk::ControllerDesk(SimulationData& sim) : sim_(sim) {
  Setup();
}

void ControllerDesk::Setup() {
  if (selected_ >= 0) SetLPLamp(sim_, selected_, false);
  selected_ = -1;
  selectionTime_ = 0;
  selectionAge_ = 0;
  start_ = {};
  mode_ = 0;
  lamps_.assign(kFirstStationLamp + std::max(sim_.AreaData.StationCount, 0), false);
}

bool ControllerDesk::HasDutyOfficer(int lp) const {
  return lp >= 0 && lp < sim_.AreaData.StationCount &&
         lp < static_cast<int>(sim_.AreaData.Stanzs.size()) && sim_.AreaData.Stanzs[lp].Value2 >= 1;
}

bool ControllerDesk::IsControlled(int lp) const {
  return lp >= 0 && lp < sim_.AreaData.StationCount &&
         lp < static_cast<int>(sim_.AreaData.Stanzs.size()) && !HasDutyOfficer(lp);
}

void ControllerDesk::SetLamp(int k, bool on) {
  if (k >= 0 && k < static_cast<int>(lamps_.size())) lamps_[k] = on;
}

SelectEffects ControllerDesk::SelectStation(int lp, bool task) {
  SelectEffects effects;
  if (lp < -1 || lp >= sim_.AreaData.StationCount) return effects;
  if (lp == selected_ && !task) lp = -1;
  if (lp != selected_) {
    if (selected_ >= 0) {
      SetLamp(kFirstStationLamp + selected_, false);
      SetLPLamp(sim_, selected_, false);
    }
    selected_ = -1;
    if (lp == -1) {
      effects.HideTaskDialog = true;
      ResetRouteInput();
    } else if (!HasDutyOfficer(lp)) {
      effects.HideTaskDialog = true;
    }
    if (lp != -1) {
      selected_ = lp;
      selectionTime_ = sim_.State.ClockTime;
      selectionAge_ = 0;
      SetLamp(kFirstStationLamp + lp, true);
      SetLPLamp(sim_, lp, true);
    }
  }
  if (lp == -1) return effects;
  if (HasDutyOfficer(lp) && task)
    effects.OpenTaskDialog = lp;
  else
    effects.ShowDesk = true;
  return effects;
}

bool ControllerDesk::Tick(bool taskDialogVisible, double realSeconds) {
  if (selected_ < 0) return false;
  selectionAge_ += realSeconds;
  // The dispatcher is still at work on the station while its task dialog is open.
  if (taskDialogVisible || selectionAge_ <= kSelectionTimeoutSeconds) return false;
  SelectStation(-1, false);
  return true;
}

void ControllerDesk::ResetRouteInput() {
  start_ = {};
  mode_ = 0;
  SetLamp(kLampTask, false);
  SetLamp(kLampInvert, false);
  SetLamp(kLampRelease, false);
}

void ControllerDesk::ResetButton() {
  if (selected_ >= 0) ResetRouteInput();
}

bool ControllerDesk::ToggleCommit(int dir) {
  const TAreaData& area = sim_.AreaData;
  if (selected_ < 0 || selected_ >= static_cast<int>(area.GraphFragms.size())) return false;
  if (area.GraphFragms[selected_].DepartCommitLamp[dir & 1] <= 0) return false;
  ToggleDepartCommit(sim_, selected_, dir & 1);
  return true;
}

bool ControllerDesk::SetMode(int mode) {
  if ((mode != 1 && mode != 2) || !IsControlled(selected_) || start_.Column != 0 || mode_ != 0)
    return false;
  mode_ = mode;
  SetLamp(mode == 1 ? kLampRelease : kLampInvert, true);
  return true;
}

RouteInput ControllerDesk::KeyRoutePress(bool altVariant, int row, int column) {
  const std::optional<DeskButton> button =
      KeyRouteButton(altVariant, row, column, sim_.AreaData.ThroatLayout);
  return button ? RouteButton(*button) : RouteInput::Ignored;
}

RouteInput ControllerDesk::RouteButton(DeskButton button) {
  const int layout = sim_.AreaData.ThroatLayout;
  if (!IsControlled(selected_) || !RouteButtonExists(layout, button)) return RouteInput::Ignored;
  if (start_.Column == 0) {
    start_ = button;
    SetLamp(kLampTask, true);
    return RouteInput::StartHeld;
  }
  const DeskButton from = start_;
  RouteInput result = RouteInput::NoRoute;
  const int table = FindLPIndex(sim_.AreaData, sim_.AreaData.Stanzs[selected_].Code);
  if (table >= 0 && table < static_cast<int>(sim_.State.Routes.size())) {
    // A route the state has no record for counts as missing.
    const int records = static_cast<int>(sim_.State.Routes[table].size());
    const auto find = [&](int c1, int r1, int c2, int r2) {
      const int r = FindRoute(sim_.AreaData, table, c1, r1, c2, r2);
      return r < records ? r : -1;
    };
    const int route = find(from.Column, from.Row, button.Column, button.Row);
    if (route >= 0) {
      result = Apply(table, route);
    } else if (from.Row <= layout && from.Row == button.Row &&
               ((from.Column == 1 && button.Column == 4) ||
                (from.Column == 4 && button.Column == 1))) {
      // A through passage is ordered as the two routes it is made of.
      const bool fromLeft = from.Column == 1;
      const int row = from.Row;
      const int first = fromLeft ? find(1, row, 2, row) : find(4, row, 3, row);
      const int second = fromLeft ? find(3, row, 4, row) : find(2, row, 1, row);
      if (first >= 0 && second >= 0) result = ApplyThrough(table, first, second);
    }
  }
  ResetRouteInput();
  return result;
}

RouteInput ControllerDesk::Apply(int table, int route) {
  bool changed = false;
  switch (mode_) {
    case 0:
      changed = OrderRoute(sim_, table, route);
      break;
    case 1:
      changed = CancelRoute(sim_, table, route);
      break;
    default:
      // Only a pending operation is turned round; inverting a settled route would leave it
      // waiting for ever behind a conflict and hold up the station's other routes.
      changed = Invert(sim_, table, route);
      break;
  }
  return changed ? RouteInput::Changed : RouteInput::Unchanged;
}

RouteInput ControllerDesk::ApplyThrough(int table, int first, int second) {
  const TRouteControlData& a = sim_.State.Routes[table][first];
  const TRouteControlData& b = sim_.State.Routes[table][second];
  switch (mode_) {
    case 0:
      if (a.SCHUNTED || a.TASKED != 0 || b.SCHUNTED || b.TASKED != 0) return RouteInput::Unchanged;
      OrderRoute(sim_, table, first);
      OrderRoute(sim_, table, second);
      return RouteInput::Changed;
    case 1:
      if (!a.SCHUNTED || a.TASKED != 0 || !b.SCHUNTED || b.TASKED != 0)
        return RouteInput::Unchanged;
      CancelRoute(sim_, table, first);
      CancelRoute(sim_, table, second);
      return RouteInput::Changed;
    default:
      if (a.SCHUNTED != b.SCHUNTED || a.TASKED == 0 || b.TASKED == 0) return RouteInput::Unchanged;
      Invert(sim_, table, first);
      Invert(sim_, table, second);
      return RouteInput::Changed;
  }
}

}  // namespace traklin
