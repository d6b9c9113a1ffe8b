// Drawing of the train graphs on a layout: grid, labels, station bands, run lines, cursor.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QString>

#include "views/graph_geometry.h"

namespace traklin {

/// A colour 0x00BBGGRR as Qt's.
QColor GraphQColor(TColor c);

/// Draws one graph picture: the executed graph (station bands, one line per track) or the
/// normative graph (a layout with single lines). Coordinates are graph units, converted to
/// pixels with the scales; every method returns the pixel rectangle it may have touched.
class GraphPainter {
 public:
  GraphPainter(const TAreaData& area, const GraphLayout& layout, const GraphScales& scales);

  /// The empty graph: background, time grids, row frames, hour and minute labels, and the
  /// station bands (or lines).
  void DrawBackground(QPainter& p) const;

  /// A train's run between two key points of the position log, in every entry that joins
  /// their stations, with the minute digits and the number along the line.
  QRect DrawLogSegment(QPainter& p, const GraphLogSegment& s) const;

  /// A line of the timetable on the normative graph.
  QRect DrawTimetableSegment(QPainter& p, const TimetableSegment& s) const;

  /// A planned passenger run on the executed graph: thin, dashed, between the band edges,
  /// without digits or labels. Stops and trains of other colours are not drawn.
  QRect DrawPlannedSegment(QPainter& p, const TimetableSegment& s) const;
  /// A train's planned run on the executed graph, for every train: the timetable line of the
  /// normative graph, thin and dashed in the train's colour between the band edges that face
  /// the peregon, without digits or labels; a stop is the gap between two runs.
  QRect DrawPlanSegment(QPainter& p, const TimetableSegment& s) const;

  /// The time cursor at graph x through every row: a white dash-dot line over a dark one, so
  /// that it shows on any background. Painted over the picture, never into it.
  void DrawCursor(QPainter& p, int x) const;
  /// The pixel rectangle the cursor at graph x covers.
  QRect CursorRect(int x) const;

  int Px(std::int64_t v) const { return scales_.Px(v); }

 private:
  void TimeGrid(QPainter& p, std::int64_t y1, std::int64_t y2) const;
  void HourLabels(QPainter& p, std::int64_t y) const;
  void MinuteLabels(QPainter& p, std::int64_t y) const;
  void StationBand(QPainter& p, int lp, std::int64_t y0) const;
  void StationLine(QPainter& p, int lp, std::int64_t y) const;
  /// The parts of a run with a number label on each long part; returns what it touched.
  QRect DrawRun(QPainter& p, int number, int x1, std::int64_t y1, int x2, std::int64_t y2,
                int labelHeight) const;
  QRect NumberLabel(QPainter& p, int number, const GraphPart& part, int labelHeight) const;
  QRect MinuteDigit(QPainter& p, int number, int minute, int x, std::int64_t y) const;
  QFont Font(int height, bool bold = false) const;
  QPoint Point(std::int64_t x, std::int64_t y) const;

  const TAreaData& area_;
  const GraphLayout& layout_;
  GraphScales scales_;
};

/// Draws text with its top-left corner at a pixel point, on a transparent background.
QRect DrawTextAt(QPainter& p, const QString& text, const QFont& font, const QColor& color,
                 QPoint topLeft);
/// Draws text centred on a pixel point, rotated about its centre by angle degrees
/// (counter-clockwise).
QRect DrawTextCentred(QPainter& p, const QString& text, const QFont& font, const QColor& color,
                      QPointF centre, double angle);

}  // namespace traklin
