// The dispatcher's push-button desk: station selection, route input, commits, desk geometry.
#include "views/controller_desk.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "area/area_queries.h"
#include "dispatch/operations.h"
#include "state/interlocking.h"

namespace traklin {

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

ControllerDesk::ControllerDesk(DispatchData& sim) : sim_(sim) {
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
  OperateCommit(sim_, selected_, dir & 1, -1);
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
    } else if (const auto through = ThroughRoutes(sim_.AreaData, table, from.Column, from.Row,
                                                  button.Column, button.Row, records)) {
      // A through passage is ordered as the two routes it is made of.
      result = ApplyThrough(table, through->first, through->second);
    }
  }
  ResetRouteInput();
  return result;
}

namespace {

RouteMode ModeOf(int mode) {
  return mode == 0 ? RouteMode::Order : mode == 1 ? RouteMode::Cancel : RouteMode::Invert;
}

}  // namespace

RouteInput ControllerDesk::Apply(int table, int route) {
  return OperateRoute(sim_, table, route, ModeOf(mode_)).empty() ? RouteInput::Changed
                                                                 : RouteInput::Unchanged;
}

RouteInput ControllerDesk::ApplyThrough(int table, int first, int second) {
  return OperateThrough(sim_, table, first, second, ModeOf(mode_)).empty() ? RouteInput::Changed
                                                                           : RouteInput::Unchanged;
}

}  // namespace traklin
