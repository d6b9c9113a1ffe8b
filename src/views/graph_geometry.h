// Geometry of the train graphs: scales, time and distance axes, the layout of station bands,
// the colour of a train, the run segments of the position log and of the timetable.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "area/area_data.h"
#include "state/state_data.h"

namespace traklin {

// Everything here is in graph units unless a name says pixels. The time axis runs 2 units per
// minute with midnight at kGraphDayStart; a picture is kGraphWidth units wide. Pixels come
// from units through GraphScales::Px.

inline constexpr int kGraphDayStart = 300;  ///< x of midnight, start of the day
inline constexpr int kGraphDayEnd = 3180;   ///< x of the next midnight
inline constexpr int kGraphWidth = 3480;
inline constexpr int kGraphDayUnits = kGraphDayEnd - kGraphDayStart;  ///< 2880: one day
/// The largest picture side in pixels.
inline constexpr std::int64_t kGraphMaxPixels = 32767;
/// Units between two track lines of a station band.
inline constexpr int kGraphTrackStep = 16;

inline constexpr const char* kGidScaleError =
    "Unable to match the GID scale (try lowering it in config file)";
inline constexpr const char* kNgdpScaleError =
    "Unable to match the NGDP scale (try lowering it in config file)";

/// The two scale percentages of a graph: Time scales every coordinate, pen and font (S1),
/// Km only the peregon lengths (S2).
struct GraphScales {
  int Time = 100;
  int Km = 100;

  /// From the settings: with kmOnly the time axis stays at 95 % and the peregons follow the
  /// percentage; otherwise everything follows it.
  static GraphScales FromSettings(int percents, bool kmOnly);

  /// Units to pixels: v * Time / 100 rounded half up (v itself at 100 %). nullopt when the
  /// result does not fit in 64 bits.
  std::optional<std::int64_t> TryPx(std::int64_t v) const;
  /// Peregon length units: v * Km / 100 rounded half up (v itself while Time is 100 %).
  std::optional<std::int64_t> TryKm(std::int64_t v) const;
  /// TryPx for values of a laid-out picture, which always fit. Precondition: the result fits.
  int Px(std::int64_t v) const;
};

/// x of a simulated time on the day's axis: 2 units per minute since midnight, from 300.
int GraphTimeX(TDateTime t);
/// x of a timetable time written hhmm (a time of 24:00 or later wraps into the day).
int GraphHHMMX(int hhmm);

/// One peregon part of a row: the space between its A band (above) and its B band (below).
struct GraphEntry {
  int Peregon = 0;          ///< index into GraphPeregons
  int A = -1, B = -1;       ///< LP indexes of its ends
  std::int64_t Top = 0;     ///< where the peregon part begins, just below A's band
  std::int64_t Bottom = 0;  ///< where it ends: the top of B's band
  int Length = 0;           ///< metres
};
using GraphRow = std::vector<GraphEntry>;

/// The rows of a graph, top to bottom, and the picture size.
struct GraphLayout {
  std::vector<GraphRow> Rows;
  bool SingleLine = false;  ///< stations drawn as one line (normative graph)
  std::int64_t Height = 0;  ///< units
  std::int64_t PixelWidth = 0, PixelHeight = 0;

  /// Band height of LP lp: 16 per track + 1, or 1 for a single line.
  int BandHeight(const TAreaData& area, int lp) const;
  /// Top of the first entry's A band and bottom of the last entry's B band of a row.
  std::int64_t RowTop(const TAreaData& area, const GraphRow& row) const;
  std::int64_t RowBottom(const TAreaData& area, const GraphRow& row) const;
};

/// Result of laying a graph out at given scales.
struct GraphBuild {
  GraphLayout Layout;
  bool Fits = false;  ///< both pixel sides within kGraphMaxPixels
  double Ratio = 0;   ///< larger side / kGraphMaxPixels when it does not fit (infinity on
                      ///< an overflow)
};

/// Lays the graph out: one entry per drawn peregon whose ends are both stations of the district
/// (LP records that took their code from a station); consecutive peregons that continue one
/// another share a row, a repeated pair of stations is skipped.
GraphBuild BuildGraphLayout(const TAreaData& area, const GraphScales& scales, bool singleLine);

/// Lays the graph out, shrinking the scale once when the picture would be too large: the
/// km scale by shrink (with kmOnly), else the time scale. nullopt when it still does not fit
/// or a scale drops below 1; scales holds what was tried.
std::optional<GraphLayout> FitGraphLayout(const TAreaData& area, GraphScales& scales, bool kmOnly,
                                          bool singleLine, double shrink);

/// Colour of a train's line by its number: 1..998 red, 4001..4998 magenta, 6001..6998 and
/// 7001..7628 yellow, everything else black.
TColor GraphTrainColor(int number);

/// Whether a number is drawn at all on the executed graph: 1..9998.
bool IsGraphTrainNumber(int number);

/// The y positions of two stations in one entry that joins them.
struct GraphJoin {
  const GraphEntry* Entry = nullptr;
  std::int64_t Y1 = 0, Y2 = 0;  ///< band edge of the first and of the second station
};
/// Every entry whose peregon joins the two LPs, either way round. The y of an LP is its band
/// top (the entry's top less A's band height) when it is the entry's A, else the entry's
/// bottom. With lp1 == lp2 (a stop) every entry that has the LP at either end, both ys alike.
std::vector<GraphJoin> FindGraphJoins(const TAreaData& area, const GraphLayout& layout, int lp1,
                                      int lp2, bool stopsToo);

/// A straight piece of a segment, left to right.
struct GraphPart {
  int X1 = 0;
  std::int64_t Y1 = 0;
  int X2 = 0;
  std::int64_t Y2 = 0;
};
/// The pieces that draw a segment from P to Q. When Q lies left of P the run crossed
/// midnight: P to the right edge at the interpolated height, then the left edge to Q (the
/// height at the edge is P's when the two points lie a whole day apart on the axis). A piece
/// is kept only when it runs to the right.
std::vector<GraphPart> GraphSegmentParts(int px, std::int64_t py, int qx, std::int64_t qy);

/// Where a key point of the log lies: its LP and track.
struct GraphPoint {
  int LP = -1;
  int Track = -1;
};
/// The LP and track of a log entry's section and position: a station track, or at a peregon's
/// end the edge of the station's band (track -1 or the last track); nullopt elsewhere.
std::optional<GraphPoint> LocateLogPoint(const TAreaData& area, const TTrainPosLogEntry& e);

/// A train's run between two consecutive key points of the position log.
struct GraphLogSegment {
  TTrainPosLogEntry P, Q;
  bool StartDigit = false;  ///< P did not end a segment before: its minute digit is due
};

/// Pairs the key points of the position log into segments as the log grows. Each train
/// number's consecutive key points make a segment; a segment never joins points a day or more
/// apart, nor the end of a train's run to a later run of the same number. The log's working
/// flags record what was read (Flag1) and which points ended a segment (Flag2), so the
/// feed survives the log dropping its oldest entries; a log that was replaced starts over.
class GraphLogFeed {
 public:
  /// Forget everything: the next call reads the log from its start.
  void Reset();
  /// The next segment in log order, or nullopt when every entry has been read. Reads at most
  /// `limit` entries per call so that a caller can watch its time.
  std::optional<GraphLogSegment> Next(TTrainPosLogData& log, int limit = 1 << 30);
  /// Whether entries are left unread.
  bool Pending(const TTrainPosLogData& log) const;

 private:
  struct Open {
    bool Has = false;
    TTrainPosLogEntry Point;
  };
  void Resync(const TTrainPosLogData& log);
  std::size_t next_ = 0;
  std::vector<Open> open_;
};

/// One line of the normative graph: from (T1 at LP1) to (T2 at LP2), times hhmm, LP indexes.
struct TimetableSegment {
  int Number = 0;
  int T1 = 0, LP1 = -1;
  int T2 = 0, LP2 = -1;
  bool IsStop() const { return LP1 == LP2; }
};
/// The lines of the timetable: even then odd, passenger then freight trains, each train from
/// its creation plan's start through its LP stops. Trains without a plan are left out.
std::vector<TimetableSegment> TimetableSegments(const TAreaData& area);

}  // namespace traklin
