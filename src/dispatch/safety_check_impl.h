// The safety check's working parts: the line as the check sees it and the state it moves
// trains in, shared by the check's source files.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <optional>
#include <span>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "dispatch/safety_check.h"
#include "state/simulation_data.h"

namespace traklin {

/// The check's own types, for its source files only.
namespace safety {

/// Tracks of an LP beyond this many are left out of the check.
constexpr int kMaxTracks = 64;

/// A link passed towards its end `End` (0 or 1).
struct Hop {
  int Link = -1;
  int End = 0;
};

/// The links passed between two LPs of a way, in order: a few kept in place, so that the ways
/// the check makes over and over allocate nothing on an ordinary line.
class HopList {
 public:
  void push_back(const Hop& h) {
    if (more_.empty() && count_ < kInPlace) {
      inPlace_[count_++] = h;
      return;
    }
    if (more_.empty()) more_.assign(inPlace_.begin(), inPlace_.begin() + count_);
    more_.push_back(h);
  }
  void clear() {
    count_ = 0;
    more_.clear();
  }
  const Hop* begin() const { return more_.empty() ? inPlace_.data() : more_.data(); }
  const Hop* end() const { return begin() + size(); }
  std::size_t size() const { return more_.empty() ? count_ : more_.size(); }
  bool empty() const { return size() == 0; }
  const Hop& front() const { return *begin(); }
  const Hop& back() const { return *(end() - 1); }

 private:
  static constexpr std::size_t kInPlace = 4;
  std::array<Hop, kInPlace> inPlace_{};
  std::size_t count_ = 0;
  std::vector<Hop> more_;
};

/// An LP on a train's way: the links that lead there and the tracks that take the train
/// (suit it, are reached from the link it comes by and lead on to the link it leaves by).
struct Step {
  int LP = -1;
  HopList Hops;
  std::uint64_t Mask = 0;
};

/// What a look at the line reads of a train (see SafetyCheck::Impl::SameInputs).
struct TrainInput {
  std::int32_t Number, Head, Tail, HeadPeregon, TailPeregon, LP, Route, Arrival, Stop, Schedule,
      Load, Dirs;
  /// Moving, placed, let go, empty; from 16 up: the head within each approach limit.
  std::uint32_t Bits;
  /// The head's place in its section, where that has too many limits for Bits.
  std::int32_t Position;
};
// Compared as bytes: no padding.
static_assert(std::has_unique_object_representations_v<TrainInput>);

/// Where the check found a train.
enum class Place : std::uint8_t { Track, Line, Outside };

struct Seen {
  int Train = -1;
  Place Where = Place::Track;
  int LP = -1;            ///< the LP it stands at, runs to, or waits outside of
  int Track = -1;         ///< on Place::Track; on Place::Line the track it was given to come in on
  int Link = -1;          ///< on Place::Line: the link, -1 when inside the station already
  int End = 0;            ///< on Place::Line: the end of the link it runs to
  bool Entering = false;  ///< on Place::Line: its head is in the station already
  int Claim = -1;         ///< the link a station will let it go on by itself, without asking
  /// On Place::Track (or on Place::Line, to be let through the LP it runs to): the double link
  /// it is let go onto, which holds as many trains its way as it has block sections: it sets
  /// out as soon as the line ahead clears.
  int LetGo = -1;
};

/// A train's way from an LP, as found once and kept (see SafetyCheck::Impl::FoundWays).
struct FoundWay {
  std::vector<Step> Steps;
  bool Finishes = false;
};

/// What a way depends on besides the district: where it starts (the LP; the link it comes
/// by, -1 for none, and the end of it) and what of the train never changes on its way (the
/// tracks that suit it and the LP it runs to).
struct WayKey {
  int Number = 0, LoadType = 0, Creation = 0, Arrival = 0;
  int LP = -1, In = -1, InEnd = 0;
  bool operator==(const WayKey&) const = default;
};

struct WayKeyHash {
  std::size_t operator()(const WayKey& k) const {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const int v : {k.Number, k.LoadType, k.Creation, k.Arrival, k.LP, k.In, k.InEnd})
      h = (h ^ static_cast<std::uint32_t>(v)) * 0x100000001b3ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

/// A train as the check moves it: its way, fixed for one check. The steps are those of a way
/// the check keeps (FoundWays), or of its owner's way for a claim.
struct Runner {
  int Train = -1;
  std::span<const Step> Steps;
  bool Finishes = false;  ///< its way ends where the train ends
  bool OnLine = false;    ///< it started on a link (it waits there until it has a track)
  bool Entering = false;  ///< of one on a link: its head is in the station already
  bool Passenger = false;
  bool Bound = false;  ///< its track at its first step was given to it: it keeps that one
  /// A train that a station will let go on by itself holds a track at the next LP as well:
  /// its claim, a runner of its own that never moves and is dropped when the train moves on.
  int Claim = -1;
  int Owner = -1;  ///< of a claim: the runner it is for
  /// A train that waits on its link for a track at the end (not a claim).
  bool Queued = false;
  /// Of a queued train, its place on the line: lower is nearer the end it runs to.
  double QueuePos = 0;
  /// Of a train coming in to a station that takes trains in by itself: the JointHold its
  /// track is part of, -1 for none.
  int Joint = -1;
};

/// Where a runner is: standing at Steps[At] on Track, or (At -1) before its first step.
struct Pos {
  std::int16_t At = -1;
  std::int8_t Track = -1;
  bool Gone = false;
};

/// Tracks of a station that takes trains in by itself, held by the trains coming in there
/// together: the station gives each of them one, and which one is not known. They are free
/// again once all of those trains have gone on.
struct JointHold {
  int LP = -1;
  std::uint64_t Tracks = 0;
  int Count = 0;  ///< the trains that hold them and have not gone on yet
};

/// A track that a station choosing its own tracks gives to one of the trains coming in, and
/// those it may give it to (runners).
struct Given {
  int Track = -1;
  std::vector<int> To;
};

struct State {
  std::vector<std::uint64_t> Free;                   ///< per LP: tracks free
  std::vector<std::array<std::int16_t, 2>> Waiting;  ///< per link: trains waiting towards an end
  std::vector<Pos> At;                               ///< per runner
  std::vector<JointHold> Joint;
  int Left = 0;
};

inline std::uint64_t Bit(int k) {
  return std::uint64_t{1} << k;
}

/// How far along the line the train's head has come in its own direction (the position along
/// the line grows in the odd direction): of two trains running one way, the one ahead has more.
inline double Progress(const TTrainData& t) {
  return t.HEAD.DIR & 1 ? t.LOCO_POS : -t.LOCO_POS;
}

}  // namespace safety

// Only the check's source files include this header.
using namespace safety;

struct SafetyCheck::Impl {
  // The district, derived once.
  std::array<const void*, 4> Source{};
  std::array<std::size_t, 4> SourceSizes{};
  bool Built = false;
  struct Link {
    std::array<int, 2> LP{-1, -1};
    bool Double = false;
  };
  std::vector<Link> Links;
  /// Per link: the trains that fit on it one way (the block sections of its shortest line).
  std::vector<int> Capacity;
  /// Per link: the single-line stretch it belongs to, -1 for a double link.
  std::vector<int> StretchOf;
  /// Per stretch: the trains it has room for, the tracks of its LPs less two at each (kept for
  /// crossings; one at an end of the line), at least one per link.
  std::vector<int> StretchRoom;
  std::vector<int> StretchLinks;  ///< per stretch: its links
  /// Per LP: only double links meet there, so a train on its way from one stretch to another
  /// can wait there, outside either.
  std::vector<char> Buffer;
  std::vector<int> LinkOfPeregon;            ///< per graph peregon
  std::vector<std::vector<int>> PeregonsOf;  ///< per link: its graph peregons
  /// Per single link, per end: a train runs on it towards that end (as last observed).
  std::vector<std::array<bool, 2>> Coming;
  /// Per LP, as last observed: some route of it is ordered or set (scratch of Observe).
  std::vector<char> RoutesActive;
  std::vector<std::vector<int>> LinksAt;  ///< per LP: its links (local index = position)
  std::vector<std::vector<std::uint32_t>>
      In;  ///< per LP, per track: local links it is reached from
  std::vector<std::vector<std::uint32_t>> Out;  ///< per LP, per track: local links it leads to
  std::vector<std::uint64_t> AllTracks;         ///< per LP
  std::vector<std::vector<int>> NextLink;       ///< [to][from]: first link of a shortest way
  std::vector<int> SectionLP, SectionTrack;     ///< per section: the LP and track it is, or -1
  std::vector<std::vector<int>> RoutesFrom;     ///< per section: routes of its LP starting there
  std::vector<std::vector<int>> RoutesTo;       ///< per section: routes of its LP ending there
  std::vector<std::vector<int>> Starting;       ///< per section: routes of any LP starting there
  std::vector<int> ExitLink;                    ///< per section: the link it begins at its LP
  /// Per LP: the ways out onto a link (routes ending where a link begins), with the link.
  std::vector<std::vector<std::pair<int, int>>> ExitRoutes;
  std::vector<std::vector<int>> Throats;  ///< per LP: its throats
  /// Per LP: it has no duty officer; it asks the dispatcher; it acts by itself (and chooses
  /// the train it sends itself); it sends without asking.
  std::vector<char> Controlled, Asks, Chooses, SendsFreely;
  /// Per LP: the automatic dispatcher works it (its trains go only with its leave).
  std::vector<char> Worked;
  /// The way out of a track through a throat, by throat and track section, as found so far.
  std::unordered_map<std::uint64_t, int> Chains;

  // The line as last seen (Raw_: before what the stations will do by themselves), and what the
  // check found for it.
  std::vector<Seen> Seen_, Raw_;
  std::vector<Runner> Runners;
  std::vector<int> RunnerOf;  ///< per train index: its runner, or -1
  State Base;
  int BaseLeft = 0;
  bool BaseMade = false;
  bool Stale = true;  ///< the line must be observed again before the next answer
  std::unordered_map<std::uint64_t, bool> Verdicts;
  /// The ways found so far. The check builds the same ways look after look; a way depends only
  /// on the district and its WayKey. The runners' steps point into these (an unordered map
  /// keeps its entries in place as it grows), so the map is emptied only where no runner is
  /// left that points into it: with a new district, and before the line is built again once
  /// it holds more than kMaxFoundWays.
  mutable std::unordered_map<WayKey, FoundWay, WayKeyHash> FoundWays;
  static constexpr std::size_t kMaxFoundWays = 4096;
  /// At most this many ways of giving the tracks taken back at stations choosing their own
  /// tracks are tried, one line at a time; beyond it the check tries none.
  static constexpr std::size_t kMaxGivenWays = 16;
  /// Observe's working lists, kept from look to look so that a look allocates nothing once
  /// they have grown.
  struct ObserveLists {
    std::vector<std::array<bool, 2>> Dirs;
    std::vector<int> Onward, OnwardFrom, Through, ThroughFrom, Bound;
    std::vector<std::array<int, 2>> OnLink;
    std::vector<struct Seen> Looked;
    std::vector<int> First;
    std::vector<double> Ahead;
  } Lists;
  std::vector<std::array<bool, 2>> ComingBefore;  ///< Coming before the last look
  /// What a look at the line read at the last look: the interlocking's count of changes, the
  /// throats' tasks, the departure commits, the train nearest to the end of each graph peregon
  /// it runs to (Inputs), and what it reads of each train (TrainInputs). While all stays the
  /// same a look would find what it found before.
  std::vector<std::int32_t> Inputs;
  std::vector<TrainInput> TrainInputs;  ///< per train
  bool InputsKept = false;              ///< the inputs belong to the line in Seen_, Raw_ and Coming
  /// Per section and half: the distances from a train's head to the section's end at which
  /// some look for an approaching train changes its answer about that train.
  std::vector<std::array<std::vector<int>, 2>> ApproachSteps;
  /// Per section: a head there may be too far for some look (it has steps, or is longer
  /// than the limit).
  std::vector<char> ApproachRead;

  void Derive(const SimulationData& sim);
  int LocalLink(int lp, int link) const {
    const std::vector<int>& at = LinksAt[lp];
    for (int j = 0; j < static_cast<int>(at.size()); ++j)
      if (at[j] == link) return j;
    return -1;
  }
  /// The line as it is now (Refine applied), in Lists.Looked; Raw_ as seen.
  const std::vector<struct Seen>& Observe(SimulationData& sim);
  /// Reads what Observe reads into Inputs and TrainInputs: true when it is what was read at the
  /// last look (and no fault is in force, which Observe reads besides).
  bool SameInputs(const SimulationData& sim);
  bool Comes(int link, int lp) const;
  void Leave(struct Seen& x, int link, int lp) const;
  void ClaimBeyond(const SimulationData& sim, struct Seen& x) const;
  void Build(const SimulationData& sim, std::vector<struct Seen> seen);
  void Refine(const SimulationData& sim, std::vector<struct Seen>& seen) const;
  bool PassesOn(const SimulationData& sim, int t, int lp, int link) const;
  int FirstComing(const SimulationData& sim, int p, int lp) const;
  void Make(SimulationData& sim, std::vector<struct Seen> seen);
  std::uint64_t TrackMask(const SimulationData& sim, int t, int lp, int in, int out) const;
  Runner Way(const SimulationData& sim, int t, int lp, int in, int inEnd) const;
  FoundWay FindWay(const SimulationData& sim, int t, int lp, int in, int inEnd) const;
  bool Place(State& s, int r) const;
  bool Seat(State& s, int r, int lp, std::array<int, kMaxTracks>& holder,
            std::uint64_t& tried) const;

  // The moves of the check.
  bool Blocked(const State& s, const Step& st, int r) const;
  bool Judge(SimulationData& sim, const SafetyMove& move);
  bool Crowds(const SimulationData& sim, int train, int lp) const;
  template <typename Visit>
  void WalkToBuffer(std::span<const Step> steps, Visit&& visit) const;
  bool Alike(int lp, std::uint64_t tracks) const;
  std::optional<int> SolveGiven(const State& s, const std::vector<Given>& given) const;
  bool Behind(const State& s, int r) const;
  void Release(State& s, int r, bool takeIn = true) const;
  void TakeIn(State& s, int lp) const;
  /// TakeIn's choice while Solve runs: the last of the trains that could take a freed track in,
  /// not the first; and whether it had more than one to choose from.
  mutable bool TakeLast = false, Contended = false;
  bool Finish(State& s, int r) const;
  /// A train on its way in moved to another free track at an LP, to be undone.
  struct Reseated {
    int Runner = -1, From = -1, To = -1, LP = -1;
  };
  bool Reseat(State& s, int r, const Step& st, Reseated& m) const;
  void FinishAll(State& s) const;
  void Drop(State& s, int r) const;
  void AddClaim(State& s, int r, int link, bool seat = true);
  bool Moves(State& s, int r) const;
  int Solve(const State& s) const;
};

}  // namespace traklin
