// The reference reports: trains on the district, approaches, passenger timetable, tracks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "area/cp1251.h"
#include "state/simulation_data.h"

namespace traklin {

/// What the reference window shows. The approaches report has a kind of its own, so that
/// placing or removing a train (which rebuilds only the train report) never replaces it.
enum class ReportKind { None = 0, Timetable = 1, Trains = 2, Tracks = 4, Approaches = 8 };

/// The lines of a report, without line endings (UTF-8).
using ReportLines = std::vector<std::string>;

/// The trains standing or running on the district, even direction first, each direction by
/// number; with TRAINREFWITHLOG each train is followed by its executed run from the position
/// log.
ReportLines TrainReport(const SimulationData& sim);
/// The creation plans and random freights due within the hour from the clock, with the
/// number of those still due today. The list is built anew from the clock on every call.
ReportLines ApproachesReport(const SimulationData& sim);
/// The passenger timetable, even direction first, each train with its stops.
ReportLines TimetableReport(const TAreaData& area);
/// Every station with its tracks, their purpose and restriction.
ReportLines TracksReport(const TAreaData& area);

/// The report of that kind; None gives no lines.
ReportLines BuildReport(const SimulationData& sim, ReportKind kind);

/// The lines joined with "\n" after each.
std::string JoinReport(const ReportLines& lines);

}  // namespace traklin
