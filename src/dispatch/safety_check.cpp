// The automatic dispatcher's safety check: trains moved one at a time on the line it sees.
#include "dispatch/safety_check.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "area/area_queries.h"
#include "dispatch/safety_check_impl.h"
#include "state/faults.h"
#include "state/interlocking.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_automation.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin {

/// Gives runner r (before its first step) a track there, moving the trains that hold a track
/// there only on their way in to other tracks that suit them where that helps; false when
/// there is none to be had.
bool SafetyCheck::Impl::Place(State& s, int r) const {
  const int lp = Runners[r].Steps.front().LP;
  std::array<int, kMaxTracks> holder;
  holder.fill(-1);
  for (int q = 0; q < static_cast<int>(Runners.size()); ++q) {
    const Pos& p = s.At[q];
    if (!p.Gone && p.At == 0 && Runners[q].Steps.front().LP == lp && p.Track >= 0)
      holder[p.Track] = q;
  }
  std::uint64_t tried = 0;
  return Seat(s, r, lp, holder, tried);
}

/// An augmenting path for runner r at the LP: a free track, or one whose holder (on its way in)
/// can be seated elsewhere.
bool SafetyCheck::Impl::Seat(State& s, int r, int lp, std::array<int, kMaxTracks>& holder,
                             std::uint64_t& tried) const {
  const std::uint64_t mask = Runners[r].Steps.front().Mask & ~tried;
  for (std::uint64_t left = mask; left != 0; left &= left - 1) {
    const int k = std::countr_zero(left);
    tried |= Bit(k);
    const int h = holder[k];
    if (s.Free[lp] & Bit(k)) {
      s.Free[lp] &= ~Bit(k);
    } else if (h < 0 || !Runners[h].OnLine || Runners[h].Bound || !Seat(s, h, lp, holder, tried)) {
      continue;
    }
    holder[k] = r;
    s.At[r].At = 0;
    s.At[r].Track = static_cast<std::int8_t>(k);
    return true;
  }
  return false;
}

void SafetyCheck::Impl::Make(SimulationData& sim, std::vector<Seen> seen) {
  // The runners about to be replaced are the only ones that point into the kept ways.
  if (FoundWays.size() > kMaxFoundWays) {
    Runners.clear();
    FoundWays.clear();
  }
  Build(sim, std::move(seen));
  BaseMade = true;
  Verdicts.clear();
}

/// The line as the check sees it from these trains: the runners, their tracks and
/// reservations, and how many of them the check leaves (BaseLeft).
void SafetyCheck::Impl::Build(const SimulationData& sim, std::vector<Seen> seen) {
  Seen_ = std::move(seen);
  Runners.clear();
  RunnerOf.assign(sim.State.Trains.size(), -1);
  const int lps = static_cast<int>(LinksAt.size());
  State& s = Base;
  s.Free = AllTracks;
  // A track that reads occupied falsely takes no train in while the fault lasts.
  if (!sim.State.Faults.empty()) {
    for (int lp = 0; lp < lps && lp < static_cast<int>(sim.AreaData.Puts.size()); ++lp) {
      const int tracks = static_cast<int>(sim.AreaData.Puts[lp].Tracks.size());
      for (int k = 0; k < tracks && k < kMaxTracks; ++k) {
        const int section = TrackSection(sim.AreaData, lp, k);
        if ((s.Free[lp] & Bit(k)) && section != 0 && SectionFalselyOccupied(sim, section))
          s.Free[lp] &= ~Bit(k);
      }
    }
  }
  s.Waiting.assign(Links.size(), {0, 0});
  s.At.clear();
  s.Joint.clear();
  // Every train first: those on tracks hold them; the others are given tracks below.
  std::vector<int> of(Seen_.size(), -1);
  for (int n = 0; n < static_cast<int>(Seen_.size()); ++n) {
    const Seen& x = Seen_[n];
    if (x.LP < 0 || x.LP >= lps) continue;
    Runner run = x.Where == Place::Track ? Way(sim, x.Train, x.LP, -1, 0)
                                         : Way(sim, x.Train, x.LP, x.Link, x.End);
    run.OnLine = x.Where == Place::Line;
    run.Entering = run.OnLine && x.Entering;
    of[n] = static_cast<int>(Runners.size());
    RunnerOf[x.Train] = of[n];
    Runners.push_back(std::move(run));
    s.At.emplace_back();
    if (x.Where == Place::Track) {
      s.At.back() = Pos{0, static_cast<std::int8_t>(x.Track), false};
      s.Free[x.LP] &= ~Bit(x.Track);
    }
  }
  for (int n = 0; n < static_cast<int>(Seen_.size()); ++n)
    if (of[n] >= 0 && Seen_[n].Claim >= 0) AddClaim(s, of[n], Seen_[n].Claim, false);
  // Reservations, in this order: trains given a track to come in on, while it is free; trains
  // entering a station; those on single links (on one link, the train ahead first: it comes in
  // first); the claims of trains that a station will let go onto a single link; trains on
  // double links and their claims (they may wait there); trains waiting outside.
  const auto ahead = [&](int r) {
    const Seen* x = nullptr;
    for (const Seen& y : Seen_)
      if (y.Train == Runners[r].Train) x = &y;
    if (x == nullptr || x->Where != Place::Line || x->Entering) return 0.0;
    return Progress(sim.State.Trains[x->Train]);
  };
  std::vector<std::tuple<int, int, int, double, int>> order;
  for (int r = 0; r < static_cast<int>(Runners.size()); ++r) {
    if (s.At[r].At >= 0) continue;
    const Runner& run = Runners[r];
    const HopList& hops = run.Steps.front().Hops;
    const bool single = !hops.empty() && !Links[hops.back().Link].Double;
    const int link = hops.empty() ? -1 : hops.back().Link;
    int rank = 6;
    if (run.Owner >= 0) {
      rank = single ? 3 : 5;
    } else if (run.OnLine) {
      const Seen* x = nullptr;
      for (const Seen& y : Seen_)
        if (y.Train == run.Train) x = &y;
      const int k = x != nullptr ? x->Track : -1;
      if (k >= 0 && k < kMaxTracks && (s.Free[run.Steps.front().LP] & Bit(k))) {
        // The track it was given to come in on.
        s.Free[run.Steps.front().LP] &= ~Bit(k);
        s.At[r] = Pos{0, static_cast<std::int8_t>(k), false};
        Runners[r].Bound = true;
        continue;
      }
      rank = x != nullptr && x->Entering ? 1 : (single ? 2 : 4);
      // Let go by a station that sends it on by itself: it comes after the trains the
      // dispatcher let go, as its claim did.
      if (rank == 2 && link >= 0) {
        const int from = Links[link].LP[hops.back().End ^ 1];
        if (PassesOn(sim, run.Train, from, link)) rank = 3;
      }
    }
    order.emplace_back(rank, link, hops.empty() ? 0 : hops.back().End, -ahead(r), r);
  }
  std::stable_sort(order.begin(), order.end());
  // Runner r of this entry waits on its link for a track at the end.
  const auto waitOnLink = [&](const std::tuple<int, int, int, double, int>& entry) {
    const int r = std::get<4>(entry);
    for (const Hop& h : Runners[r].Steps.front().Hops) ++s.Waiting[h.Link][h.End];
    if (Runners[r].Owner < 0) {
      Runners[r].Queued = true;
      Runners[r].QueuePos = std::get<0>(entry) == 1 ? -1e300 : std::get<3>(entry);
    }
  };
  for (const auto& entry : order) {
    const int r = std::get<4>(entry);
    // A train on a double link waits there until it is taken in, where the dispatcher decides
    // that (a station that takes trains in by itself does so as soon as it has a track).
    const int rank = std::get<0>(entry);
    const bool waits = (rank == 4 || rank == 5) && !Chooses[Runners[r].Steps.front().LP];
    if ((!waits && Place(s, r)) || !Runners[r].OnLine) continue;
    waitOnLink(entry);
  }
  // A station that takes trains in by itself gives each the track it chooses, not the one
  // promised here: a train coming in keeps its promise only if it finds a track whatever the
  // station gives the others coming in, each of which takes one of its tracks at most. A track
  // the promise is taken back from is no free track either: the station gives it to one of
  // those coming in, and which one is not known here: each of them in turn stands on it (a
  // train standing at a station acts otherwise than one waiting on the line), and the line is
  // as able to finish its trains as the worst of those. For the same reason the trains that
  // keep their promises hold every free track that suits one of them together, until all of
  // them have gone on, where those tracks suit different trains: which of them the station
  // leaves free is not known either.
  std::vector<Given> given;
  for (int lp = 0; lp < lps; ++lp) {
    if (!Chooses[lp]) continue;
    std::vector<const std::tuple<int, int, int, double, int>*> coming;
    std::uint64_t open = s.Free[lp];
    for (const auto& entry : order) {
      const int r = std::get<4>(entry);
      if (std::get<0>(entry) == 1 || Runners[r].Bound || !Runners[r].OnLine ||
          Runners[r].Steps.front().LP != lp)
        continue;
      coming.push_back(&entry);
      if (s.At[r].At == 0) open |= Bit(s.At[r].Track);
    }
    if (coming.empty()) continue;
    std::uint64_t takenBack = 0;
    std::vector<int> lost;
    for (const auto* entry : coming) {
      const int r = std::get<4>(*entry);
      if (s.At[r].At != 0) continue;
      const std::uint64_t mine = Runners[r].Steps.front().Mask & open;
      int rivals = 0;
      for (const auto* other : coming)
        if (Runners[std::get<4>(*other)].Steps.front().Mask & mine) ++rivals;
      if (std::popcount(mine) >= rivals) continue;
      takenBack |= Bit(s.At[r].Track);
      s.At[r] = Pos{};
      waitOnLink(*entry);
      lost.push_back(r);
    }
    if (std::popcount(takenBack) == 1) {
      Given g;
      g.Track = std::countr_zero(takenBack);
      // Every train coming in that it suits may get it: the trains it was taken back from,
      // those that hold another track (the station may give them this one instead), and those
      // waiting that are not behind another on their link.
      for (const auto* entry : coming) {
        const int r = std::get<4>(*entry);
        const Step& first = Runners[r].Steps.front();
        if (!(first.Mask & takenBack)) continue;
        if (s.At[r].At == 0 || std::find(lost.begin(), lost.end(), r) != lost.end() ||
            !Blocked(s, first, r))
          g.To.push_back(r);
      }
      if (!g.To.empty()) given.push_back(std::move(g));
    }
    JointHold hold;
    hold.LP = lp;
    for (const auto* entry : coming) {
      const int r = std::get<4>(*entry);
      if (s.At[r].At == 0) hold.Tracks |= Runners[r].Steps.front().Mask & open & ~takenBack;
    }
    if (hold.Tracks == 0 || Alike(lp, hold.Tracks)) continue;
    for (const auto* entry : coming) {
      const int r = std::get<4>(*entry);
      if (s.At[r].At != 0) continue;
      ++hold.Count;
      Runners[r].Joint = static_cast<int>(s.Joint.size());
    }
    if (hold.Count == 0) continue;
    s.Free[lp] &= ~hold.Tracks;
    s.Joint.push_back(hold);
  }
  s.Left = 0;
  for (const Runner& run : Runners) s.Left += run.Owner < 0 ? 1 : 0;
  const std::optional<int> worst = SolveGiven(s, given);
  BaseLeft = worst ? *worst : Solve(s);
}

/// Every train passing LP lp can use all of these tracks or none: which of them are left free
/// does not matter.
bool SafetyCheck::Impl::Alike(int lp, std::uint64_t tracks) const {
  for (const Runner& run : Runners)
    for (const Step& st : run.Steps)
      if (st.LP == lp && (st.Mask & tracks) != 0 && (st.Mask & tracks) != tracks) return false;
  return true;
}

/// The most trains left over the ways of giving each track taken back to one of its runners;
/// none when no track was taken back, or there are too many ways to try.
std::optional<int> SafetyCheck::Impl::SolveGiven(const State& s,
                                                 const std::vector<Given>& given) const {
  std::size_t ways = 1;
  for (const Given& g : given) ways *= g.To.size();
  if (given.empty() || ways > kMaxGivenWays) return std::nullopt;
  int worst = 0;
  for (std::size_t n = 0; n < ways; ++n) {
    State t = s;
    std::size_t rest = n;
    bool tried = true;
    for (const Given& g : given) {
      const int r = g.To[rest % g.To.size()];
      rest /= g.To.size();
      Pos& p = t.At[r];
      if (p.At == 0) {
        // Given this track instead of the one it holds, which is free again; one that holds
        // tracks together with others is not moved.
        if (Runners[r].Joint >= 0) tried = false;
        t.Free[Runners[r].Steps.front().LP] |= Bit(p.Track);
      } else {
        for (const Hop& h : Runners[r].Steps.front().Hops) --t.Waiting[h.Link][h.End];
      }
      p = Pos{0, static_cast<std::int8_t>(g.Track), false};
    }
    if (tried) worst = std::max(worst, Solve(t));
  }
  return worst;
}

/// A runner passing the links of step st would meet a train waiting the other way on a single
/// link, or would have to overtake one waiting its way (on a double link too: the trains there
/// queue at the signals before the station), other than runner r itself or one behind it.
bool SafetyCheck::Impl::Blocked(const State& s, const Step& st, int r) const {
  const Runner& me = Runners[r];
  // Whether the runner waits on the link of hop h, the way h goes.
  const auto on = [](const Runner& run, const Hop& h) {
    const HopList& hops = run.Steps.front().Hops;
    return std::any_of(hops.begin(), hops.end(),
                       [&](const Hop& o) { return o.Link == h.Link && o.End == h.End; });
  };
  for (const Hop& h : st.Hops) {
    if (!Links[h.Link].Double && s.Waiting[h.Link][h.End ^ 1] > 0) return true;
    if (s.Waiting[h.Link][h.End] == 0) continue;
    const bool mine = me.Queued && s.At[r].At < 0 && on(me, h);
    for (int q = 0; q < static_cast<int>(Runners.size()); ++q) {
      const Runner& other = Runners[q];
      if (q == r || !other.Queued || s.At[q].Gone || s.At[q].At >= 0 || !on(other, h)) continue;
      if (!mine || other.QueuePos < me.QueuePos) return true;
    }
  }
  return false;
}

/// Runner r leaves where it is: its track is free again, or it no longer waits on its link. A
/// station that takes trains in by itself takes in a train waiting for the track (`takeIn`).
void SafetyCheck::Impl::Release(State& s, int r, bool takeIn) const {
  Pos& p = s.At[r];
  const Runner& run = Runners[r];
  int freed = -1;
  if (p.At == 0 && run.Joint >= 0) {
    JointHold& hold = s.Joint[run.Joint];
    if (--hold.Count == 0) {
      s.Free[hold.LP] |= hold.Tracks;
      freed = hold.LP;
    }
  } else if (p.At >= 0) {
    freed = run.Steps[p.At].LP;
    s.Free[freed] |= Bit(p.Track);
  } else if (run.OnLine) {
    for (const Hop& h : run.Steps.front().Hops) --s.Waiting[h.Link][h.End];
  }
  if (takeIn && freed >= 0 && Chooses[freed]) TakeIn(s, freed);
}

/// A station that takes trains in by itself does so as soon as it has a track: a train waiting
/// on a link towards LP lp, the first there on its link, or the claim of a train let go towards
/// lp (it sets out as soon as it may), takes a track that suits it the moment one is free,
/// before any train that still stands elsewhere could come for it. Which of several takes it is
/// the station's choice: the first of them in the runners' order, or with TakeLast the last.
void SafetyCheck::Impl::TakeIn(State& s, int lp) const {
  for (;;) {
    int chosen = -1, able = 0;
    std::uint64_t open = 0;
    for (int q = 0; q < static_cast<int>(Runners.size()); ++q) {
      const Runner& run = Runners[q];
      const Pos& o = s.At[q];
      if ((run.Owner < 0 && !run.Queued) || o.Gone || o.At >= 0 || run.Steps.front().LP != lp)
        continue;
      // Behind another waiting on its link, it cannot pass it.
      const std::uint64_t mine = s.Free[lp] & run.Steps.front().Mask;
      if (mine == 0 || Blocked(s, run.Steps.front(), q)) continue;
      ++able;
      if (chosen < 0 || TakeLast) {
        chosen = q;
        open = mine;
      }
    }
    if (chosen < 0) return;
    if (able > 1) Contended = true;
    for (const Hop& h : Runners[chosen].Steps.front().Hops) --s.Waiting[h.Link][h.End];
    const int k = std::countr_zero(open);
    s.Free[lp] &= ~Bit(k);
    s.At[chosen] = Pos{0, static_cast<std::int8_t>(k), false};
  }
}

/// Runner r stands at a station that chooses the train it sends by itself, and that station
/// would choose a passenger train that leaves the same way before it, a freight train.
bool SafetyCheck::Impl::Behind(const State& s, int r) const {
  const Runner& run = Runners[r];
  const Pos& p = s.At[r];
  if (run.Passenger || p.At < 0 || p.At + 1 >= static_cast<int>(run.Steps.size())) return false;
  const int lp = run.Steps[p.At].LP;
  if (!Chooses[lp] || run.Steps[p.At + 1].Hops.empty()) return false;
  const int link = run.Steps[p.At + 1].Hops.front().Link;
  for (int q = 0; q < static_cast<int>(Runners.size()); ++q) {
    const Runner& other = Runners[q];
    const Pos& o = s.At[q];
    if (q == r || o.Gone || other.Owner >= 0 || !other.Passenger || o.At < 0 ||
        other.Steps[o.At].LP != lp || o.At + 1 >= static_cast<int>(other.Steps.size()) ||
        other.Steps[o.At + 1].Hops.empty())
      continue;
    if (other.Steps[o.At + 1].Hops.front().Link == link) return true;
  }
  return false;
}

/// Runner r (standing at its first step) gets a claim at its second, which it reaches by
/// `link`; with `seat`, a track there (or it waits on the link).
void SafetyCheck::Impl::AddClaim(State& s, int r, int link, bool seat) {
  const Runner& owner = Runners[r];
  if (owner.Steps.size() < 2 || owner.Steps[1].Hops.empty() ||
      owner.Steps[1].Hops.front().Link != link)
    return;
  Runner c;
  c.Train = owner.Train;
  c.Steps = owner.Steps.subspan(1, 1);
  c.OnLine = true;
  c.Owner = r;
  Runners[r].Claim = static_cast<int>(Runners.size());
  Runners.push_back(std::move(c));
  s.At.emplace_back();
  const int q = static_cast<int>(Runners.size()) - 1;
  if (seat && !Place(s, q))
    for (const Hop& h : Runners[q].Steps.front().Hops) ++s.Waiting[h.Link][h.End];
}

/// The claim of runner r is dropped as r sets out: its track is free again for r to pass on
/// (no other train is taken in on it first), or it no longer waits.
void SafetyCheck::Impl::Drop(State& s, int r) const {
  const int c = Runners[r].Claim;
  if (c < 0 || s.At[c].Gone) return;
  Release(s, c, false);
  s.At[c].Gone = true;
}

/// Runner r finishes: one that holds a claim may use its track.
bool SafetyCheck::Impl::Moves(State& s, int r) const {
  const Runner& run = Runners[r];
  if (run.Owner >= 0 || s.At[r].Gone) return false;
  if (run.Claim < 0 || s.At[run.Claim].Gone) return Finish(s, r);
  State trial = s;
  Drop(trial, r);
  if (!Finish(trial, r)) return false;
  // Once it has passed, the track it claimed is free for a train waiting there.
  const int lp = Runners[run.Claim].Steps.front().LP;
  if (Chooses[lp]) TakeIn(trial, lp);
  s = std::move(trial);
  return true;
}

/// Runner r runs to its end in one go, if it can.
bool SafetyCheck::Impl::Finish(State& s, int r) const {
  const Runner& run = Runners[r];
  Pos& p = s.At[r];
  if (p.Gone || !run.Finishes) return false;
  const int last = static_cast<int>(run.Steps.size()) - 1;
  if (p.At == last) {
    // Standing where it ends: it is disbanded on a track that suits it.
    if (!(run.Steps[last].Mask & Bit(p.Track))) return false;
  } else {
    if (Behind(s, r)) return false;
    std::array<Reseated, 4> moved;
    int count = 0;
    bool pass = true;
    for (int j = p.At + 1; j <= last && pass; ++j) {
      const Step& st = run.Steps[j];
      if (Blocked(s, st, r)) {
        pass = false;
      } else if (!(s.Free[st.LP] & st.Mask)) {
        pass = count < static_cast<int>(moved.size()) && Reseat(s, r, st, moved[count]);
        count += pass ? 1 : 0;
      }
    }
    if (!pass) {
      for (int n = count - 1; n >= 0; --n) {
        const Reseated& m = moved[n];
        s.Free[m.LP] = (s.Free[m.LP] | Bit(m.To)) & ~Bit(m.From);
        s.At[m.Runner].Track = static_cast<std::int8_t>(m.From);
      }
      return false;
    }
  }
  Release(s, r);
  p.Gone = true;
  --s.Left;
  return true;
}

/// Runner r would pass step st, where no track that suits it is free: a train on its way in
/// there that holds one of those tracks, given to it by no task or way in yet, takes another
/// track that suits it and is free now instead (the dispatcher gives it the track when it takes
/// it in). A station that takes trains in by itself chooses their tracks: nothing moves there.
bool SafetyCheck::Impl::Reseat(State& s, int r, const Step& st, Reseated& m) const {
  if (Chooses[st.LP]) return false;
  for (int q = 0; q < static_cast<int>(Runners.size()); ++q) {
    const Runner& other = Runners[q];
    const Pos& o = s.At[q];
    if (q == r || o.Gone || o.At != 0 || o.Track < 0 || other.Owner >= 0 || !other.OnLine ||
        other.Bound || other.Entering || other.Steps.front().LP != st.LP ||
        !(st.Mask & Bit(o.Track)))
      continue;
    // Only a track free now: one that trains moved before would free could come too late.
    const std::uint64_t open = s.Free[st.LP] & Base.Free[st.LP] & other.Steps.front().Mask;
    if (open == 0) continue;
    const int k = std::countr_zero(open);
    m = Reseated{q, o.Track, k, st.LP};
    s.Free[st.LP] = (s.Free[st.LP] & ~Bit(k)) | Bit(o.Track);
    s.At[q].Track = static_cast<std::int8_t>(k);
    return true;
  }
  return false;
}

void SafetyCheck::Impl::FinishAll(State& s) const {
  for (bool again = true; again && s.Left > 0;) {
    again = false;
    for (int r = 0; r < static_cast<int>(Runners.size()); ++r)
      if (Moves(s, r)) again = true;
  }
}

int SafetyCheck::Impl::Solve(const State& s) const {
  Contended = false;
  TakeLast = false;
  State left = s;
  FinishAll(left);
  if (left.Left > 0 || !Contended) return left.Left;
  // Which of the trains that could take a freed track in gets it is the station's choice: the
  // line must finish its trains whether the first of them or the last does.
  TakeLast = true;
  left = s;
  FinishAll(left);
  TakeLast = false;
  return left.Left;
}

SafetyCheck::SafetyCheck() : impl_(std::make_unique<Impl>()) {}
SafetyCheck::~SafetyCheck() = default;

void SafetyCheck::Refresh() {
  impl_->Stale = true;
}

void SafetyCheck::Works(const std::vector<bool>& lps) {
  Works(std::vector<char>(lps.begin(), lps.end()));
}

void SafetyCheck::Works(const std::vector<char>& lps) {
  Impl& m = *impl_;
  const auto same = [](char a, char b) { return (a != 0) == (b != 0); };
  if (std::equal(lps.begin(), lps.end(), m.Worked.begin(), m.Worked.end(), same)) return;
  m.Worked.resize(lps.size());
  std::transform(lps.begin(), lps.end(), m.Worked.begin(), [](char a) { return a != 0; });
  m.BaseMade = false;
}

bool SafetyCheck::Worked(int lp) const {
  const std::vector<char>& worked = impl_->Worked;
  return lp >= 0 && lp < static_cast<int>(worked.size()) && worked[lp];
}

void SafetyCheck::Derive(const SimulationData& sim) {
  impl_->Derive(sim);
}

int SafetyCheck::TrainsLeft(SimulationData& sim) {
  Impl& m = *impl_;
  m.Derive(sim);
  m.Make(sim, m.Observe(sim));
  m.InputsKept = false;
  return m.BaseLeft;
}

namespace {

bool SameSeen(const std::vector<Seen>& a, const std::vector<Seen>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t n = 0; n < a.size(); ++n)
    if (std::tie(a[n].Train, a[n].Where, a[n].LP, a[n].Track, a[n].Link, a[n].End, a[n].Entering,
                 a[n].Claim, a[n].LetGo) != std::tie(b[n].Train, b[n].Where, b[n].LP, b[n].Track,
                                                     b[n].Link, b[n].End, b[n].Entering, b[n].Claim,
                                                     b[n].LetGo))
      return false;
  return true;
}

}  // namespace

bool SafetyCheck::Allows(SimulationData& sim, const SafetyMove& move) {
  Impl& m = *impl_;
  m.Derive(sim);
  const int lps = static_cast<int>(m.LinksAt.size());
  if (move.Train < 0 || move.Train >= static_cast<int>(sim.State.Trains.size()) || move.LP < 0 ||
      move.LP >= lps)
    return true;
  if (m.Stale || !m.BaseMade) {
    // Where nothing the look reads has changed since the last one, it would find the same
    // line: it is skipped (in check mode it is made and compared).
    const bool unchanged = m.SameInputs(sim) && m.BaseMade;
    if (!unchanged || sim.Changes.Check) {
      // A verdict also rests on the directions run on the single links, which the trains'
      // places as the check sees them do not always tell.
      m.ComingBefore = m.Coming;
      const std::vector<Seen>& seen = m.Observe(sim);
      const bool changed = !m.BaseMade || !SameSeen(seen, m.Seen_) || m.ComingBefore != m.Coming ||
                           m.RunnerOf.size() != sim.State.Trains.size();
      if (unchanged && changed)
        throw CheckMismatch(
            "incremental check: the safety check's look at the line differs from the last one, "
            "though nothing it reads has changed");
      if (changed) m.Make(sim, seen);
    }
    m.Stale = false;
  }
  const std::uint64_t key = (static_cast<std::uint64_t>(move.What) << 62) ^
                            (static_cast<std::uint64_t>(move.Train & 0xFFFF) << 40) ^
                            (static_cast<std::uint64_t>(move.LP & 0xFFF) << 28) ^
                            (static_cast<std::uint64_t>(move.Peregon & 0x3FFF) << 14) ^
                            static_cast<std::uint64_t>(move.Track & 0x3FFF);
  if (const auto found = m.Verdicts.find(key); found != m.Verdicts.end()) return found->second;
  const bool pass = m.Judge(sim, move);
  m.Verdicts.emplace(key, pass);
  return pass;
}

/// Calls visit(hop, n) for the hops of a way in order, n counting the links passed before,
/// up to the first hop that reaches an LP where only double links meet.
template <typename Visit>
void SafetyCheck::Impl::WalkToBuffer(std::span<const Step> steps, Visit&& visit) const {
  int n = 0;
  for (const Step& st : steps)
    for (const Hop& h : st.Hops) {
      visit(h, n++);
      if (Buffer[Links[h.Link].LP[h.End & 1]]) return;
    }
}

/// Train t, put out or taken in at LP lp, would have a single-line stretch on its way that
/// already has as many trains in the district near it as it has room for: trains that still
/// have to run on it (a train rolling in where it ends runs on it no more) and will come to it
/// within as many links as it has of when t would.
bool SafetyCheck::Impl::Crowds(const SimulationData& sim, int t, int lp) const {
  const std::size_t stretches = StretchRoom.size();
  // Per stretch: the links t passes before it comes to it, -1 when it does not.
  std::vector<int> mine(stretches, -1);
  bool any = false;
  WalkToBuffer(Way(sim, t, lp, -1, 0).Steps, [&](const Hop& h, int n) {
    if (const int id = StretchOf[h.Link]; id >= 0 && mine[id] < 0) {
      mine[id] = n;
      any = true;
    }
  });
  if (!any) return false;
  std::vector<int> load(stretches, 0);
  std::vector<char> seen(stretches);
  for (int r = 0; r < static_cast<int>(Runners.size()); ++r) {
    const Runner& run = Runners[r];
    if (run.Owner >= 0 || sim.State.Trains[run.Train].HEAD.SECT_IDX == 0) continue;
    // Its head in the LP where it ends, it has no more to run on any stretch.
    if (run.Entering && run.Finishes && run.Steps.size() == 1) continue;
    std::fill(seen.begin(), seen.end(), 0);
    WalkToBuffer(run.Steps, [&](const Hop& h, int n) {
      const int id = StretchOf[h.Link];
      if (id < 0 || mine[id] < 0 || seen[id]) return;
      seen[id] = 1;
      if (std::abs(n - mine[id]) <= StretchLinks[id]) ++load[id];
    });
  }
  for (std::size_t id = 0; id < stretches; ++id)
    if (mine[id] >= 0 && load[id] >= StretchRoom[id]) return true;
  return false;
}

/// The line as it would be seen after the move, built as an observation of it would be:
/// the move passes when it leaves no more trains than now, no train or claim loses the track
/// it holds at the end of a single link, and a train let go onto a single link gets one.
bool SafetyCheck::Impl::Judge(SimulationData& sim, const SafetyMove& move) {
  std::vector<Seen> after = Raw_;
  int moved = -1;
  for (int n = 0; n < static_cast<int>(after.size()); ++n)
    if (after[n].Train == move.Train) moved = n;
  switch (move.What) {
    case SafetyMove::Depart: {
      const int p = move.Peregon;
      const int link = p >= 0 && p < static_cast<int>(LinkOfPeregon.size()) ? LinkOfPeregon[p] : -1;
      if (link < 0 || moved < 0 || (Links[link].LP[0] != move.LP && Links[link].LP[1] != move.LP))
        return true;
      Seen& x = after[moved];
      // Not at the LP nor on its way there: let go already, or no say.
      if (x.Where == Place::Outside || x.LP != move.LP) return true;
      // A train comes the other way on the line: the two would meet.
      if (Comes(link, move.LP)) return false;
      // Onto a double link that is full that way the train stays where it is for now.
      if (Links[link].Double) {
        const int end = Links[link].LP[0] == move.LP ? 1 : 0;
        int used = 0;
        for (const Seen& y : after)
          if (y.Where == Place::Line && !y.Entering && y.Link == link && y.End == end) ++used;
        if (used >= Capacity[link]) {
          x.LetGo = link;
          break;
        }
      }
      Leave(x, link, move.LP);
      break;
    }
    case SafetyMove::Receive:
      if (moved < 0 || after[moved].Where != Place::Line || after[moved].LP != move.LP ||
          move.Track < 0 || move.Track >= kMaxTracks)
        return true;
      after[moved].Track = move.Track;
      break;
    case SafetyMove::Admit: {
      if (moved >= 0 || LinksAt[move.LP].empty()) return true;
      if (Crowds(sim, move.Train, move.LP)) return false;
      Seen x;
      x.Train = move.Train;
      x.Where = Place::Track;
      x.LP = move.LP;
      x.Track = move.Track;
      if (x.Track < 0 || x.Track >= kMaxTracks) {
        const std::uint64_t open =
            Base.Free[move.LP] & Way(sim, move.Train, move.LP, -1, 0).Steps.front().Mask;
        if (open == 0) return false;
        x.Track = std::countr_zero(open);
      }
      // A track a train stands on is no track to put another on.
      for (const Seen& y : after)
        if (y.Where == Place::Track && y.LP == x.LP && y.Track == x.Track) return false;
      after.push_back(x);
      moved = static_cast<int>(after.size()) - 1;
      break;
    }
  }
  // The train let go comes towards the far end of its link: nothing is let through onto that
  // link from there meanwhile.
  const std::vector<std::array<bool, 2>> coming = Coming;
  if (move.What == SafetyMove::Depart && after[moved].Link >= 0 && !Links[after[moved].Link].Double)
    Coming[after[moved].Link][after[moved].End] = true;
  Refine(sim, after);
  // Trains and claims that wait on a single link for a track at its end, by train and claim.
  const auto waiting = [&](const std::vector<Runner>& runners, const State& s) {
    std::vector<std::pair<int, bool>> out;
    for (int r = 0; r < static_cast<int>(runners.size()); ++r) {
      const Runner& run = runners[r];
      const HopList& hops = run.Steps.front().Hops;
      if (run.OnLine && s.At[r].At < 0 && !s.At[r].Gone && !hops.empty() &&
          !Links[hops.back().Link].Double)
        out.emplace_back(run.Train, run.Owner >= 0);
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  const std::vector<std::pair<int, bool>> before = waiting(Runners, Base);
  const int left = BaseLeft;
  std::vector<Seen> savedSeen = std::move(Seen_);
  std::vector<Runner> savedRunners = std::move(Runners);
  std::vector<int> savedOf = std::move(RunnerOf);
  State savedBase = std::move(Base);
  Build(sim, std::move(after));
  Coming = coming;
  bool pass = BaseLeft <= left;
  // Nobody more waits on a single line: a train let go there, or its claim beyond a station that
  // lets it go on by itself, has a track at the end, and no train or claim loses one.
  for (const auto& w : waiting(Runners, Base))
    if (!std::binary_search(before.begin(), before.end(), w)) pass = false;
  Seen_ = std::move(savedSeen);
  Runners = std::move(savedRunners);
  RunnerOf = std::move(savedOf);
  Base = std::move(savedBase);
  BaseLeft = left;
  return pass;
}

}  // namespace traklin
