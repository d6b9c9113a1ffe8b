// The names of switches, sections, signals, peregons and tracks as an instructor writes them.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "area/area_data.h"

namespace traklin {

// Every name comes from the district itself, so that a line written for a district reads the
// same on its panel: a switch is its number in the district, a station track its name on the
// panel, a peregon its number (the trains window shows it after "prgn="). The forms:
//   switch           NUMBER                  "5"
//   station section  a track's name          "I", "3"
//                    NUMBER + "СП"           "5СП": the section of switch 5
//                    the section's number    "01Ah": any other section of the station
//   block section    PEREGON + ":" + K       "2:1": the first block section of peregon 2,
//                                            counted from the end at the peregon's first
//                                            station (its even end, left on the panel)
//   signal           "Н"|"Ч" + track name    "Н3", "ЧI": the exit signal of a track (Н for
//                                            the odd direction, Ч for the even one)
//                    "Н"|"Ч"                 the station's entrance signal; where a station has
//                                            several of one direction, "Н:PEREGON"
//                    "Н"|"Ч" + section       "Ч01Ah": any other signal of the station
//   track            LP + ":" + TRACK        "7:I"
// LP is a station's code. Directions are those of the district's data: at a station beyond a
// parity flip they are its own.

/// The letter of a signal's direction: "Ч" even, "Н" odd.
const char* SignalLetter(int direction);

/// The station (LP index) a switch belongs to: the fragment its lamps are drawn in, else the
/// first LP one of whose routes throws it; -1 when none.
int SwitchStation(const TAreaData& area, int w);
/// The switches of station lp, in number order.
std::vector<int> StationSwitches(const TAreaData& area, int lp);

/// The graph peregon (index) and block number (1 from its even end) of section s; nullopt when
/// s lies on no graph peregon.
std::optional<std::pair<int, int>> SectionPeregonBlock(const TAreaData& area, int s);
/// Section k (from 1) of graph peregon p (index), walking from its even end; 0 when none.
int PeregonBlockSection(const TAreaData& area, int p, int k);
/// The sections of graph peregon p (index) from its even end.
std::vector<int> PeregonSections(const TAreaData& area, int p);

/// The station (LP index) holding section s: the LP of its track, of its switch, or of the
/// fragment its lamp is drawn in; -1 for a block section or a section of no station.
int SectionStation(const TAreaData& area, int s);
/// The name of section s: its form at a station, "PEREGON:K" on a peregon.
std::string SectionName(const TAreaData& area, int s);
/// The sections of station lp in section order.
std::vector<int> StationSections(const TAreaData& area, int lp);
/// The section of station lp with that name; 0 when none.
int FindStationSection(const TAreaData& area, int lp, const std::string& name);
/// The block section written "PEREGON:K"; 0 when the text is not such a name or names none.
int FindBlockSection(const TAreaData& area, const std::string& name);

/// The name of signal g at its station (SignalName "Н3"); for a block signal its letter after
/// its block section ("2:1 Н"); empty for a bad index.
std::string SignalName(const TAreaData& area, int g);
/// The station signal g belongs to (its LP, -1 for a block signal).
int SignalStation(const TAreaData& area, int g);
/// Signal g as an event or a list names it: "CODE NAME" at a station ("7 Н3"), the block form
/// elsewhere.
std::string SignalDesignation(const TAreaData& area, int g);
/// The signals of station lp in index order.
std::vector<int> StationSignals(const TAreaData& area, int lp);
/// The signal of station lp with that name; -1 when none.
int FindStationSignal(const TAreaData& area, int lp, const std::string& name);

/// The name of a station (LP index) in the stations' messages; empty for a bad index.
std::string StationTitle(const TAreaData& area, int lp);
/// "A – B": the stations at the two ends of graph peregon p (index), even end first.
std::string PeregonTitle(const TAreaData& area, int p);

}  // namespace traklin
