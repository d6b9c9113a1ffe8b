// Geometry of the train graphs: scales, axes, layout, colours and the segments to draw.
#include "views/graph_geometry.h"

#include <cassert>
#include <cmath>
#include <limits>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "trains/train_records.h"

namespace traklin {
namespace {

constexpr int kRowGap = 300;
constexpr int kFirstY = 100;
constexpr int kLargestGraphNumber = 9998;

/// v * percent / 100 rounded half up, as (2 * v * percent div 100 + 1) div 2.
std::optional<std::int64_t> ScalePercent(std::int64_t v, int percent) {
  std::int64_t twice = 0;
  if (__builtin_mul_overflow(v, std::int64_t{2} * percent, &twice)) return std::nullopt;
  return (twice / 100 + 1) / 2;
}

bool IsLPIndex(const TAreaData& area, int lp) {
  return lp >= 0 && lp < static_cast<int>(area.Puts.size());
}

}  // namespace

GraphScales GraphScales::FromSettings(int percents, bool kmOnly) {
  if (kmOnly) return {95, percents};
  return {percents, 100};
}

std::optional<std::int64_t> GraphScales::TryPx(std::int64_t v) const {
  if (Time == 100) return v;
  return ScalePercent(v, Time);
}

std::optional<std::int64_t> GraphScales::TryKm(std::int64_t v) const {
  if (Time == 100) return v;
  return ScalePercent(v, Km);
}

int GraphScales::Px(std::int64_t v) const {
  const std::optional<std::int64_t> p = TryPx(v);
  assert(p && *p >= std::numeric_limits<int>::min() && *p <= std::numeric_limits<int>::max());
  return static_cast<int>(*p);
}

int GraphTimeX(TDateTime t) {
  if (!std::isfinite(t)) return kGraphDayStart;
  const double minutes = (t - std::floor(t)) * 1440.0;
  return static_cast<int>(RoundHalfEven(2 * minutes)) + kGraphDayStart;
}

int GraphHHMMX(int hhmm) {
  const int minutes = (hhmm / 100 * 60 + hhmm % 100) % 1440;
  return 2 * (minutes < 0 ? minutes + 1440 : minutes) + kGraphDayStart;
}

int GraphLayout::BandHeight(const TAreaData& area, int lp) const {
  if (SingleLine) return 1;
  const int tracks = IsLPIndex(area, lp) ? static_cast<int>(area.Puts[lp].Tracks.size()) : 0;
  return kGraphTrackStep * tracks + 1;
}

std::int64_t GraphLayout::RowTop(const TAreaData& area, const GraphRow& row) const {
  return row.front().Top - BandHeight(area, row.front().A);
}

std::int64_t GraphLayout::RowBottom(const TAreaData& area, const GraphRow& row) const {
  return row.back().Bottom + BandHeight(area, row.back().B);
}

GraphBuild BuildGraphLayout(const TAreaData& area, const GraphScales& scales, bool singleLine) {
  GraphBuild build;
  GraphLayout& layout = build.Layout;
  layout.SingleLine = singleLine;
  std::int64_t y = kFirstY;
  std::size_t r = 0;  // the current row; Rows.size() = beyond the last row
  bool overflow = false;
  for (int p = 0; p < static_cast<int>(area.GraphPeregons.size()); ++p) {
    const TGraphPeregonData& gp = area.GraphPeregons[p];
    const int a = gp.LP[0] - 1, b = gp.LP[1] - 1;
    if (!IsLPIndex(area, a) || !IsLPIndex(area, b)) continue;
    if (!area.Puts[a].CodeFromStation || !area.Puts[b].CodeFromStation) continue;
    if (r >= layout.Rows.size()) {
      y += layout.BandHeight(area, a);
    } else {
      const GraphEntry& last = layout.Rows[r].back();
      if (last.A == a && last.B == b) continue;
      y += layout.BandHeight(area, last.B);
      if (last.B != a) r = layout.Rows.size();
    }
    if (r >= layout.Rows.size()) {
      layout.Rows.emplace_back();
      r = layout.Rows.size() - 1;
      y += kRowGap;
    }
    GraphEntry e;
    e.Peregon = p;
    e.A = a;
    e.B = b;
    e.Top = y;
    e.Length = GraphPeregonLength(area, p);
    // Long districts at large scales overflow 32 bits here; such a graph cannot fit anyway.
    const std::optional<std::int64_t> km =
        scales.TryKm(static_cast<std::int64_t>(e.Length) * area.GraphScale / 1000);
    if (!km || __builtin_add_overflow(y, *km, &y)) overflow = true;
    e.Bottom = y;
    layout.Rows[r].push_back(e);
    if (overflow) break;
  }
  y += kRowGap;
  layout.Height = y;
  const std::optional<std::int64_t> w = scales.TryPx(kGraphWidth);
  const std::optional<std::int64_t> h = overflow ? std::nullopt : scales.TryPx(y);
  if (!w || !h) {
    build.Ratio = std::numeric_limits<double>::infinity();
    return build;
  }
  layout.PixelWidth = *w;
  layout.PixelHeight = *h;
  const std::int64_t larger = std::max(*w, *h);
  build.Fits = larger <= kGraphMaxPixels && std::min(*w, *h) >= 1;
  if (!build.Fits) build.Ratio = static_cast<double>(larger) / kGraphMaxPixels;
  return build;
}

std::optional<GraphLayout> FitGraphLayout(const TAreaData& area, GraphScales& scales, bool kmOnly,
                                          bool singleLine, double shrink) {
  GraphBuild build = BuildGraphLayout(area, scales, singleLine);
  if (build.Fits) return std::move(build.Layout);
  // A scale that shrinks to nothing (an overflow gives an infinite ratio) cannot fit.
  if (build.Ratio > 0 && std::isfinite(build.Ratio)) {
    if (kmOnly)
      scales.Km = static_cast<int>(RoundHalfEven(scales.Km / build.Ratio * shrink));
    else
      scales.Time = static_cast<int>(RoundHalfEven(scales.Time / build.Ratio)) - 1;
  } else {
    (kmOnly ? scales.Km : scales.Time) = 0;
  }
  if (scales.Time < 1 || scales.Km < 1) return std::nullopt;
  build = BuildGraphLayout(area, scales, singleLine);
  if (!build.Fits) return std::nullopt;
  return std::move(build.Layout);
}

TColor GraphTrainColor(int n) {
  constexpr TColor kRed = 0x0000FF, kMagenta = 0xFF00FF, kYellow = 0x00FFFF, kBlack = 0;
  if (n >= 1 && n <= 998) return kRed;
  if (n >= 4001 && n <= 4998) return kMagenta;
  if ((n >= 6001 && n <= 6998) || (n >= 7001 && n <= 7628)) return kYellow;
  return kBlack;
}

bool IsGraphTrainNumber(int number) {
  return number >= 1 && number <= kLargestGraphNumber;
}

std::vector<GraphJoin> FindGraphJoins(const TAreaData& area, const GraphLayout& layout, int lp1,
                                      int lp2, bool stopsToo) {
  std::vector<GraphJoin> joins;
  if (lp1 < 0 || lp2 < 0) return joins;
  for (const GraphRow& row : layout.Rows) {
    for (const GraphEntry& e : row) {
      const std::int64_t yA = e.Top - layout.BandHeight(area, e.A), yB = e.Bottom;
      if (lp1 == lp2) {
        if (!stopsToo || (e.A != lp1 && e.B != lp1)) continue;
        const std::int64_t y = e.A == lp1 ? yA : yB;
        joins.push_back({&e, y, y});
      } else if (e.A == lp1 && e.B == lp2) {
        joins.push_back({&e, yA, yB});
      } else if (e.A == lp2 && e.B == lp1) {
        joins.push_back({&e, yB, yA});
      }
    }
  }
  return joins;
}

std::vector<GraphPart> GraphSegmentParts(int px, std::int64_t py, int qx, std::int64_t qy) {
  std::vector<GraphPart> parts;
  int x = px;
  std::int64_t y = py;
  if (qx < px) {
    // The run crossed midnight: out at the right edge, in again at the left edge.
    const std::int64_t span = static_cast<std::int64_t>(qx) + kGraphDayUnits - px;
    std::int64_t edge = py;
    if (span != 0)
      edge = py + RoundHalfEven(static_cast<double>(qy - py) * (kGraphDayEnd - px) /
                                static_cast<double>(span));
    if (kGraphDayEnd > px) parts.push_back({px, py, kGraphDayEnd, edge});
    x = kGraphDayStart;
    y = edge;
  }
  if (qx > x) parts.push_back({x, y, qx, qy});
  return parts;
}

std::optional<GraphPoint> LocateLogPoint(const TAreaData& area, const TTrainPosLogEntry& e) {
  if (!ValidSection(area, e.SECT_IDX)) return std::nullopt;
  const SectionPosition p =
      LocateSectionPosition(area, e.SECT_IDX, static_cast<int>(RoundHalfEven(e.LOCO_POS)));
  if (!IsLPIndex(area, p.LP)) return std::nullopt;
  if (p.Track >= 0) return GraphPoint{p.LP, p.Track};
  // A train that passes a station without stopping is logged where its head leaves or enters
  // the peregon: the edge of the station's band on that side.
  if (p.EdgeTrack >= -1) return GraphPoint{p.LP, p.EdgeTrack};
  return std::nullopt;
}

void GraphLogFeed::Reset() {
  next_ = 0;
  open_.clear();
}

void GraphLogFeed::Resync(const TTrainPosLogData& log) {
  // Read entries form a prefix of the log; when the log drops its oldest entries the prefix
  // shrinks by as many, and a log that was replaced has no read entries at all.
  next_ = std::min(next_, log.size());
  while (next_ > 0 && !log[next_ - 1].Flag1) --next_;
  if (next_ == 0 && !log.empty() && !log.front().Flag1) open_.clear();
  if (open_.empty()) open_.resize(kLargestGraphNumber + 1);
}

bool GraphLogFeed::Pending(const TTrainPosLogData& log) const {
  // Entries are read in order, so the last one is read only when all are.
  return !log.empty() && !log.back().Flag1;
}

std::optional<GraphLogSegment> GraphLogFeed::Next(TTrainPosLogData& log, int limit) {
  Resync(log);
  for (; next_ < log.size() && limit > 0; --limit) {
    TTrainPosLogEntry& q = log[next_++];
    if (q.Flag1) continue;
    q.Flag1 = true;
    if (!IsGraphTrainNumber(q.NUMBER)) continue;
    Open& open = open_[q.NUMBER];
    std::optional<GraphLogSegment> segment;
    if (q.KEY_POINT) {
      if (open.Has && q.TS - open.Point.TS < 1.0) {
        q.Flag2 = true;
        segment = GraphLogSegment{open.Point, q, !open.Point.Flag2};
      }
      open.Has = true;
      open.Point = q;
    }
    if (q.RunEnd) open.Has = false;
    if (segment) return segment;
  }
  return std::nullopt;
}

std::vector<TimetableSegment> TimetableSegments(const TAreaData& area) {
  std::vector<TimetableSegment> segments;
  const auto lpOfStation = [&](int entry) {
    if (entry < 0 || entry >= static_cast<int>(area.Stations.size())) return -1;
    return FindLPIndex(area, area.Stations[entry].LPCode);
  };
  for (int dir = 0; dir < 2; ++dir) {
    for (const bool freight : {false, true}) {
      for (const TGraphTrainData& train : GetScheduleTrains(area, dir, freight)) {
        const int n = train.Numbers[0];
        const int plan = FindCreationPlan(area, n);
        if (plan < 0) continue;
        const TCreationPlanData& pl = area.CreationPlans[plan];
        int t = pl.Time, lp = lpOfStation(pl.CreationPoint);
        if (!train.Stops.empty()) {
          const TStopData& first = train.Stops.front();
          // A first stop shortly before the plan's time is where the train really starts;
          // an arrival of 0 means it has none.
          if (first.Section == 0 && first.LPCode != 0 && first.Arrival != 0 &&
              first.Arrival < pl.Time && pl.Time - first.Arrival < 600) {
            t = first.Arrival;
            lp = FindLPIndex(area, first.LPCode);
          }
        }
        for (const TStopData& stop : train.Stops) {
          if (stop.Section != 0 || stop.LPCode == 0) continue;
          const int at = FindLPIndex(area, stop.LPCode);
          if (stop.Arrival != 0) {
            segments.push_back({n, t, lp, stop.Arrival, at});
            t = stop.Arrival;
            lp = at;
          }
          segments.push_back({n, t, lp, stop.Departure, at});
          t = stop.Departure;
          lp = at;
        }
      }
    }
  }
  return segments;
}

}  // namespace traklin
