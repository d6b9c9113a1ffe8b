// Small helpers shared by the start-up set-up files.
#pragma once

#include <fmt/format.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "area/area_data.h"

namespace traklin::setup_detail {

/// A real section: 1..S-1 and present in SlSects (0 and S carry no links).
inline bool IsSection(const TAreaData& area, int s) {
  return s >= 1 && s < area.SectCount && s < static_cast<int>(area.SlSects.size());
}

inline bool IsLamp(const TAreaData& area, int lamp) {
  return lamp >= 0 && lamp < static_cast<int>(area.GraphLamps.size());
}

/// A lamp reference: 0 (no lamp) or an entry of the lamp table.
inline bool IsLampRef(const TAreaData& area, int lamp) {
  return lamp == 0 || IsLamp(area, lamp);
}

inline bool IsLP(const TAreaData& area, int lp) {
  return lp >= 0 && lp < static_cast<int>(area.Puts.size());
}

inline bool IsThroat(const TAreaData& area, int t) {
  return t >= 0 && t < static_cast<int>(area.GorlStanzs.size());
}

/// Four upper-case hexadecimal digits, as section numbers are written in start-up messages.
inline std::string Hex4(int n) {
  return fmt::format("{:04X}", n);
}

[[noreturn]] inline void Fail(const std::string& message) {
  throw std::runtime_error(message);
}

/// Whether throat t belongs to LP lp (same code).
inline bool ThroatOfLP(const TAreaData& area, int t, int lp) {
  return IsThroat(area, t) && IsLP(area, lp) && area.GorlStanzs[t].Code == area.Puts[lp].Code;
}

/// One routes entry per LP, so that every LP index may be used on TrainRoutes.
inline void AddMissingRouteEntries(TAreaData& area) {
  while (area.TrainRoutes.size() < area.Puts.size()) {
    TLPRoutesData entry;
    entry.Code = area.Puts[area.TrainRoutes.size()].Code;
    area.TrainRoutes.push_back(std::move(entry));
  }
}

}  // namespace traklin::setup_detail
