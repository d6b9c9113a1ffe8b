// Lookups, walks over the track graph, route searches and display formats on the district.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "area/area_data.h"

namespace traklin {

// All operations are pure reads of the district. A search that finds nothing returns -1
// unless said otherwise. LP index = position in Puts; station index = position in Stanzs.

// ---------------------------------------------------------------------------
// Lookups by code or number

/// FindLPIndex by a search from the last LP to the first.
int SearchLPIndex(const TAreaData& area, int lpCode);
/// LP index of an LP code: the last LP with that code, -1 for none. Looked up in the set-up's
/// index when it was built for these LPs, else searched from the last LP to the first. Inline:
/// the passes ask it for every train many times a step.
inline int FindLPIndex(const TAreaData& area, int lpCode) {
  const std::vector<int>& index = area.Index.LPOfCode;
  if (!index.empty() && area.Index.LPCount == area.Puts.size()) {
    if (lpCode < 0 || lpCode >= static_cast<int>(index.size())) return -1;
    const int lp = index[static_cast<std::size_t>(lpCode)];
    if (lp < 0 || area.Puts[static_cast<std::size_t>(lp)].Code == lpCode) return lp;
  }
  return SearchLPIndex(area, lpCode);
}
/// FindLPIndex of the code of throat g (a valid throat index), from the set-up's index.
int ThroatLPIndex(const TAreaData& area, int g);
/// Fills area.Index from the finished district; the set-up calls it last.
void BuildAreaIndex(TAreaData& area);
/// Station index of an LP code, searching Stanzs from the last.
int FindStationIndex(const TAreaData& area, int lpCode);
/// The station's line coordinate (kilometre mark); 0 outside 0..StationCount-1.
int StationCoordinate(const TAreaData& area, int station);
/// The last creation plan with that train number.
int FindCreationPlan(const TAreaData& area, int trainNumber);
/// Whether a train number is a freight one: above 999 and outside 6000..7500 (the suburban
/// numbers).
bool IsFreightTrainNumber(int number);
/// GruzTrains[dir] when freight, else PassTrains[dir]. dir must be 0 or 1.
const TGraphTrainsData& GetScheduleTrains(const TAreaData& area, int dir, bool freight);
/// The last timetable train whose four numbers contain the number; number 0 (an unused slot)
/// matches none.
int FindScheduleTrain(const TGraphTrainsData& trains, int number);
/// FindScheduleTrain in GetScheduleTrains(area, dir, freight), from the set-up's index.
int FindScheduleTrain(const TAreaData& area, int dir, bool freight, int number);

struct ScheduleTrainEnds {
  int LocoType = 0;
  int FirstLPCode = 0;
  int LastLPCode = 0;
};
/// First stop's locomotive and LP code and the last-LP value of the timetable train of that
/// number (list of parity number mod 2); all 0 when not found or not starting at an LP stop.
ScheduleTrainEnds GetScheduleTrainEnds(const TAreaData& area, bool freight, int number);
/// Stop index of a section stop from `start` on; see the stop-search rules.
int FindTrainStopBySection(const TGraphTrainsData& trains, int train, int section, int start);
/// Stop index of an LP stop from `start` on; lpCode 0 matches any LP stop.
int FindTrainStopByLP(const TGraphTrainsData& trains, int train, int lpCode, int start);

// ---------------------------------------------------------------------------
// Track graph. Every walk ends at section 0 and takes at most SectCount steps.

/// Side[dir] or Straight[dir] of the section (0 for section 0, none, or a section or neighbour
/// outside SlSects; dir other than 0/1 gives 0 and stays). Going straight over a parity flip
/// inverts dir. Throws std::runtime_error("Unexpected switch at parity flip") when the side
/// branch is asked for at a flipping end.
int NextSection(const TAreaData& area, int& dir, int section, bool side);
/// With withinLP: searches only the tracks of LP `lp`; without: sets lp to -1 and searches all
/// LPs in index order. The first track holding the section sets lp and is returned; -1 when
/// none (or, with withinLP, when lp is not an LP index).
int FindTrackOfSection(const TAreaData& area, int& lp, int section, bool withinLP);
/// Semaphore[dir] of the section; -1 for a section below 1, or anything out of range.
/// Inline: asked for every section a train looks ahead over, at every step.
inline int SectionSemaphore(const TAreaData& area, int section, int dir) {
  if (section < 1 || section >= static_cast<int>(area.SlSects.size()) || (dir != 0 && dir != 1))
    return -1;
  const int signal = area.SlSects[section].Semaphore[dir];
  if (signal < 0 || signal >= static_cast<int>(area.Semaphores.size())) return -1;
  return signal;
}
/// The first signal for dir met walking straight on from the section (included); -1 when a
/// section with a switch at its dir end or the end of track comes first. Parity flips are
/// followed; a walk longer than the section table (a ring) gives -1.
int FindSemaphoreAhead(const TAreaData& area, int dir, int section);
/// Length in metres of graph peregon `peregon` (index), walking from its end-1 section along
/// Straight[0] to its end-0 section, both included; parity flips on the way are followed.
/// 0 when the end-0 section is not reached (broken links, a ring) or the index is bad.
int GraphPeregonLength(const TAreaData& area, int peregon);
/// The last graph peregon (index) whose end section at `end` is the section; -1 for section 0.
int FindGraphPeregonByEnd(const TAreaData& area, int section, int end);

struct SectionPosition {
  int Track = -2;  ///< track index, or -2 when no track holds the section (-1: see LP)
  int LP = -1;     ///< LP index
  /// With Track -2 and an LP at a peregon end: the track position at that LP, -1 (before
  /// its first track, the LP at end 1) or the LP's last track index (the LP at end 0);
  /// otherwise equal to Track.
  int EdgeTrack = -2;
};
/// Where a point `offset` metres into the section lies: on a track of an LP, or at the end of a
/// graph peregon (offset 0 at its end-1 section, offset = section length at its end-0 section).
SectionPosition LocateSectionPosition(const TAreaData& area, int section, int offset);
/// The lamp that shows the section when entered from `prev` (0 = no previous section): its own
/// lamp; else the lamp of a switch at its end; else the first / last / middle lamp of the track
/// holding it when entered from Straight[0] / Straight[1] / elsewhere (no previous section is
/// elsewhere); else 0.
int SectionLamp(const TAreaData& area, int section, int prev);

// ---------------------------------------------------------------------------
// Throats

/// The last throat of that code whose first signal ahead (parity xor flip, from its entry
/// section) is the signal.
int FindThroatBySignal(const TAreaData& area, int lpCode, int signal);
/// The last throat with the LP's code and graph peregon number n + 1; -1 for negative input.
int FindThroatOfLP(const TAreaData& area, int lp, int n);
/// The LP code at end (parity xor flip) of the throat's graph peregon, or -1.
int ThroatNeighbourLP(const TAreaData& area, int throat);
/// Whether the throat serves code1 (when above 0, else code2).
bool ThroatServes(const TAreaData& area, int throat, int code1, int code2);

// ---------------------------------------------------------------------------
// Switches and routes

/// Switch number of an encoded route entry (entry mod SwitchPosBase); 0 for an entry below 1.
int RouteEntrySwitch(const TAreaData& area, int entry);
/// Whether an encoded route entry asks for the minus (side) position.
bool RouteEntryIsMinus(const TAreaData& area, int entry);
/// Lamps 1-2 = the switch's A lamps, 3-5 = its minus or plus lamps. For switch 0 (or a number
/// outside Strels) `lamps` is left unchanged.
void GetSwitchLamps(const TAreaData& area, int sw, bool minus, std::array<int, 5>& lamps);
/// Odd (1) when the start kind is less than the end kind, else even (0).
int RouteDirection(const TTrainRouteData& route);

/// The last route of LP `lp` with these start and end points, or -1.
int FindRoute(const TAreaData& area, int lp, int startKind, int startPosition, int endKind,
              int endPosition);

/// Rating of a chain: more suitable tracks are better, then fewer minus switches, fewer
/// routes, fewer switches.
struct RouteQuality {
  int Suitable = 0;
  int Minus = 255;
  int Routes = 255;
  int Switches = 255;
};
RouteQuality InitRouteQuality();
/// -1 when `second` is better, 1 when worse, 0 when equal.
int CompareRouteQuality(const RouteQuality& first, const RouteQuality& second);
/// The best chain of LP `lp` from section `from` to section `to` (index into the LP's Chains),
/// or -1; its rating goes to `rating` when given. Ties keep the earlier chain.
int FindBestRoute(const TAreaData& area, int lp, int from, int to, RouteQuality* rating = nullptr);
/// Rating of a chain of LP `lp` (a valid LP of TrainRoutes); false when the chain names a
/// route that does not exist or no route at all.
bool RateChain(const TAreaData& area, int lp, const TChainData& chain, RouteQuality& q);

// ---------------------------------------------------------------------------
// Names and display forms (UTF-8)

/// Track number code: 1000 and more = roman numerals, hundreds = letter of "АБВГДЕПИК".
std::string FormatTrackName(int code);
/// Base of station name `code` followed by its group pieces at cycle position `part` (1..5);
/// empty for a code outside Stations.

std::string StationNamePart(const TAreaData& area, int code, int part);
/// Mnemonic name of a station LP, else part 2 of its station name; empty for a bad index.
std::string LPName(const TAreaData& area, int lp);
/// "ДСП " + LPName: the duty officer of the LP.
std::string DSPName(const TAreaData& area, int lp);
/// "0" + upper-case hex digits + "h"; below 1 gives "0h".
std::string FormatHexNumber(int n);
/// Day fraction of a time written hhmm.
TDateTime TimeFromHHMM(int hhmm);
/// Midnight of year-(mmdd div 100)-(mmdd mod 100); throws std::invalid_argument for a date
/// that does not exist (0230, 1301, 0000).
TDateTime DateFromYearMMDD(int year, int mmdd);
/// As DateFromYearMMDD, nullopt for a date that does not exist.
std::optional<TDateTime> TryDateFromYearMMDD(int year, int mmdd);
/// Whether the time's milliseconds within its second (rounded as DecodeTime) are 500 or more.
bool IsSecondHalf(TDateTime t);
/// " 9:05"; minutes only: " 7 мин." (the minutes of the hour).
std::string FormatClock(bool minutesOnly, TDateTime t);
/// " 5.03": day, point, two-digit month.
std::string FormatDayMonth(TDateTime t);
/// "12:30" in the first half of each second, "12 30" in the second half.
std::string FormatBlinkClock(TDateTime t);

}  // namespace traklin
