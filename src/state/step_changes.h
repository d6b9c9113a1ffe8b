// What has changed since the passes of the step last looked, so that they look only there.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace traklin {

/// Check mode found the incremental result of a pass different from the full one; the text
/// names the pass, the object and both values.
class CheckMismatch : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The change points of the interlocking note here what a signal may read: a section whose
/// occupancy changed, a signal whose route (the section it leads to, its direction, its side
/// switches) changed. The step then recomputes only the signals that read them. Derived from
/// the state, never saved; `All` asks for a pass over every signal (a new or loaded state, a
/// fault).
struct TSignalChanges {
  bool All = true;
  std::vector<std::uint8_t> SectionMarked;  ///< by section index
  std::vector<int> Sections;                ///< the marked sections, each once
  std::vector<std::uint8_t> SignalMarked;   ///< by signal index
  std::vector<int> Signals;                 ///< the marked signals, each once
  /// Signals by the section they read right beyond them (static, from the district).
  std::vector<int> BeyondHead, BeyondLink;
  /// Signals by the section their route leads to (SECT_NEXT): a list per section, kept as the
  /// routes change; LinkedAt is the section a signal is listed under (0: none).
  std::vector<int> NextHead, NextLink, LinkedAt;
  /// By signal, the sections it ends (where a signal leading there reads its aspect): a list
  /// of entries OnSection / OnLink per signal, starting at OnHead.
  std::vector<int> OnHead, OnLink, OnSection;
  /// The state the lists were built for: a state replaced as a whole is seen by its buffers.
  const void* SectsData = nullptr;
  const void* SignalsData = nullptr;
  bool FaultsSeen = false;
};

/// The LPs that may have a route ordered: set whenever a route is ordered, cleared by the pass
/// that finds none there. Derived, never saved; a state replaced as a whole is seen by its
/// buffers.
struct TRouteChanges {
  std::vector<std::uint8_t> MaybeTasked;  ///< by LP index
  const void* RoutesData = nullptr;
  /// The routes whose exit signal leads onto a graph peregon, by its number (the signal's
  /// Next): entries ExitStart[n] .. ExitStart[n + 1] of ExitLP, ExitRoute and ExitDirection
  /// (the exit signal's direction). Static, from the district.
  std::vector<int> ExitStart, ExitLP, ExitRoute, ExitDirection;
  const void* ExitsData = nullptr;  ///< the district's route tables the index was made for
  std::size_t ExitsLPs = 0, ExitsSignals = 0;
  /// The signals that lead somewhere, kept from pass to pass: each pass drops the entries
  /// whose route has been released since and adds the signals it links, and those marked
  /// changed since the signals were last updated (entries released within the pass are
  /// skipped where they are read). Made afresh for a new state and when every signal is to be
  /// looked at; Listed is by signal, LeadingOf the buffer of the signals' state.
  std::vector<int> Leading;
  std::vector<std::uint8_t> Listed;
  const void* LeadingOf = nullptr;
  /// The lamps of each route (its switches in the route's positions and its sections without
  /// a switch), all static, through which a route's lamps are lit, blink and stop blinking
  /// (putting them out looks at the other routes through each switch): route r of LP l has
  /// entries LampStart[LampRouteBase[l] + r] .. LampStart[LampRouteBase[l] + r + 1] of
  /// RouteLamps. Made once per district, as the exit index.
  std::vector<int> LampRouteBase, LampStart, RouteLamps;
  const void* LampsData = nullptr;
  std::size_t LampsLPs = 0;
};

/// The creation plans by their minute of the day (hhmm), so that a step reads only the plans
/// of its minute. Derived from the district.
struct TPlanIndex {
  std::vector<int> Start;  ///< by hhmm 0..2400: the first entry of Plans for that minute
  std::vector<int> Plans;  ///< plan indices, by minute, each minute's in their order
  const void* PlansData = nullptr;
  std::size_t PlansCount = 0;
  /// The clock last decoded for the plans, and its minute: hhmm, and day × 1440 + minute.
  bool MinuteDecoded = false;
  double MinuteClock = 0;
  int MinuteHHMM = 0;
  std::int64_t MinuteStamp = 0;
};

/// What the station passes need to know of one throat. Throats of an unknown LP, without a graph
/// peregon or without an entry section are not Valid and are skipped.
struct ThroatView {
  bool Valid = false;
  int LP = -1;  ///< LP index
  int Code = 0;
  int Dir = 0;      ///< d: its parity, the direction trains leave in
  int Arrival = 0;  ///< a: the direction of a train coming in at the entry section
  int Peregon = -1;
  int Entry = 0;  ///< entry section
  int Side = 0;
  bool SelfActing = false;

  bool operator==(const ThroatView&) const = default;
};

/// What the station automation reads of an untasked throat: the entry section and the one
/// beyond it where a train would approach, and the tracks of its LP. A throat found quiet (no
/// train on any of them) stays quiet until one of those sections changes occupancy, so the
/// pass skips it without looking. Derived, never saved.
struct TThroatChanges {
  std::vector<std::uint8_t> Quiet;  ///< by throat: nothing there at its last look
  /// By throat: the entry section and its half a train approaches on; the section beyond it
  /// and its half (0: not looked at); the LP index (-1: none).
  std::vector<int> Entry, EntryHalf, Outer, OuterHalf, LP;
  /// By throat: its view, asked for many times a step (it reads only the district).
  std::vector<ThroatView> Views;
  /// By section: the throats that read it (entries Start[s] .. Start[s + 1] of Readers).
  std::vector<int> Start, Readers;
  /// The district the tables were made for and the state the flags were found in.
  const void* ThroatsData = nullptr;
  std::size_t ThroatCount = 0;
  const void* SectsData = nullptr;
  /// Scratch of the stations' pass, kept so that its lookups allocate nothing once grown: the
  /// signals that lead somewhere, and the directions run on each graph peregon.
  std::vector<int> Leading;
  std::vector<std::array<bool, 2>> Dirs;
  /// By train index: the timetable stop at an LP last found for the train, and what it was
  /// found from (the LP code and the train's timetable fields). A train that waits is asked
  /// for its next stop at every step; the answer changes only with these. Timetable (the
  /// four lists' buffers) is the one the answers were found in.
  struct TStopMemo {
    int Code = 0, ScheduleIdx = -1, ScheduleNumber = 0, LoadType = 0;
    int Stop = -1;   ///< the stop's index, -1 for none
    int Entry = -1;  ///< the timetable train's index in its list, -1 for none
    bool Valid = false;
  };
  std::vector<TStopMemo> Stops;
  std::array<const void*, 4> Timetable{};
  /// By throat: whether the train last asked about leaves through it towards its next stop,
  /// and what that was found from (the LP and direction asked with, the train's timetable
  /// fields and the LP it runs to). Found in Timetable, for the throats at LeavesOf.
  struct TLeaveMemo {
    int LP = -1, Dir = 0, ScheduleIdx = 0, ScheduleNumber = 0, LoadType = 0, Arrival = 0;
    bool Leaves = false;
    bool Valid = false;
  };
  std::vector<TLeaveMemo> Leaves;
  const void* LeavesOf = nullptr;
  /// By throat: the district's best chain for its task as last found (the LP, the sections
  /// from and to, the chain). A task waits for many steps with the same track and entry.
  /// ChainsOf is the district's route tables they were found in.
  std::vector<std::array<int, 4>> TaskChains;
  const void* ChainsOf = nullptr;
  std::size_t ChainsLPs = 0;
};

/// Everything the step keeps to skip what has not changed, and the check mode that proves it.
struct TStepChanges {
  TSignalChanges Signals;
  TRouteChanges Routes;
  TPlanIndex Plans;
  TThroatChanges Throats;
  /// Check mode: each pass that skips also does the full work beside it and throws
  /// CheckMismatch at the first difference, naming it.
  bool Check = false;
  /// Counts the changes of a section's occupancy or route lock, of a switch and of a route's
  /// state, and every ForgetStepChanges: a look that reads only those and the trains' own
  /// records finds what it found before while the count stays. Never goes back.
  std::uint64_t Interlocking = 0;
};

}  // namespace traklin
