// Districts for the train tests: small lines written as text, the shipped districts as the
// start-up loads them, a recording console and a careful dispatcher that sets the routes of
// timetable trains.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "area/date_time.h"
#include "state/simulation.h"

namespace traklin::test {

/// Records every message; answers questions from a script (then the default answer).
class RecordingConsole : public ConsoleServices {
 public:
  struct Box {
    std::string Caption;
    std::string Text;
    int Ring = 0;
  };
  std::vector<std::string> Notes;
  std::vector<Box> Infos;
  std::vector<Box> Questions;
  std::deque<bool> Answers;
  bool DefaultAnswer = true;

  void NotifyDispatcher(const std::string& text) override { Notes.push_back(text); }
  void InformDispatcher(const std::string& caption, const std::string& text, int ring) override {
    Infos.push_back({caption, text, ring});
  }
  bool AskDispatcher(const std::string& caption, const std::string& text, int ring) override {
    Questions.push_back({caption, text, ring});
    if (Answers.empty()) return DefaultAnswer;
    const bool a = Answers.front();
    Answers.pop_front();
    return a;
  }
  bool SaveLastState(bool) override { return true; }
};

/// Builds a district from statements, one per line ('#' starts a comment):
///   station <code> <name> <value2> <km>     a station (LP index in order of appearance)
///   lp <code> <name>                        a further LP (after all stations)
///   track <lpcode> <section> <number> <kind> <mode>
///   section <s> <length> [<passenger limit> <freight limit>]   (limits default to 80)
///   sections <length> <s1> <s2> ...         several sections of one length
///   chain <s1> <s2> ...                     straight links, s1 -> s2 in the even direction
///   flip <a> <b>                            a and b joined odd end to odd end
///   switch <w> <s> <end> <side neighbour> <side length> <side limit>
///   signal <s> <dir> <kind>
///   peregon <even-end lpcode> <odd-end lpcode> <even end section> <odd end section>
///           <direction lamp 0> <direction lamp 1>
///   route <lpcode> <dir> <s1> ...
///   pass|freight <number> <last lp>         a timetable train; stop lines follow
///   stop <section> <lpcode> <arrival hhmm> <departure hhmm> <loco>
///   throat <lpcode> <parity> <side> <peregon number> <entry section>
/// Every section gets its own lamp (lamp = section number); lamps 100.. are free.
/// Locomotive type 2: 120 t, traction 300; type 3: 100 t, traction 250.
TAreaData BuildDistrict(const std::string& text);

// clang-format off
/// The line most train tests run on. Even runs to the right; kilometre marks fall that way.
///
///   A (1, km 15)          peregon 0            B (2, km 12)       peregon 1    C (3, km 9)
///   [1]-[2 A/I]>|-[3]-[4]--[5]--[6]>|-[7]-[8 B/I]>|-[9]-[11]>|-[12 C/I]-[13]
///                                          |<   (odd signal on 8; B's throat enters at 7)
///   D (4, controlled): [21]-[20]=sw1=[23]-[28 D/I]      [25]--sw2=[26]-[29]
///                              \=[24]                    [27]=/
///   E (5): [30]-[31]<flip>[32]-[33 E/I]   (31 and 32 joined odd end to odd end)
///
/// Timetable: 2 (A 12:01, B 12:10-12:12, C 12:20), 4 (A 12:00, passes B), 10 and 12 (B 12:00
/// for 4 and 6 minutes), 14 and 16 (B with a service stop and a change to locomotive 3),
/// 18 (B 00:05-00:10), 20 (A, B with locomotive 3, back to A).
// clang-format on
extern const char* const kLine;

/// A new train waiting outside its LP: a passenger train of 10 cars unless told otherwise.
struct NewTrain {
  int Number = 2;
  int Dir = 0;
  int LP = 1;       ///< code of the LP it stands at
  int Arrival = 3;  ///< code of its last LP
  int Load = 100;
  int Cars = 10;
  int Len = 300;
  int Weight = 1000;
  int Loco = 2;
};

/// Puts train i onto track `track` of LP lp and releases it at once (made up).
void PutOut(Simulation& sim, int i, int lp, int track);

/// A simulation over a district from text, with a recording console and a seeded generator.
/// The clock stands at 13 March 2023, 12:00.
struct TestLine {
  Simulation Sim;
  RecordingConsole Console;

  explicit TestLine(const std::string& text = kLine, unsigned seed = 1);
  int Add(const NewTrain& n);
  /// Puts the train on track `track` of the LP and releases it at once.
  void Place(int i, int lpCode, int track) { PutOut(Sim, i, LPIndex(lpCode), track); }
  /// Locks the route's halves and marks it set; opens the signal on its first section.
  void SetRoute(int lpCode, int r);
  void OpenSignal(int section, int dir);
  /// Puts the head at pos of section s, the tail behind it, running at speed v.
  void Drive(int i, int s, double pos, double v, int peregon = -1);
  /// Runs MoveTrains (and DepartTrains when depart) n times, advancing the clock.
  void Steps(int n, bool depart = false);
  TTrainData& Train(int i) { return Sim.State.Trains[i]; }
  int LPIndex(int code) const;
};

/// The day the shipped runs start on (only its month and day count; the year is the district's).
inline constexpr DateParts kShippedStartDay{2024, 3, 15};

/// A shipped district (data/districts/<number>/line.json) generated, read from its Data.dat
/// bytes, prepared by the start-up set-up with the default options and given a fresh state on
/// kShippedStartDay, a seeded generator and a recording console.
struct ShippedDistrict {
  explicit ShippedDistrict(int number, unsigned seed = 1);
  ShippedDistrict(const ShippedDistrict&) = delete;
  ShippedDistrict& operator=(const ShippedDistrict&) = delete;

  Simulation Sim;
  RecordingConsole Console;

  /// LP index of the station of that name; throws when the district has none.
  int LP(const std::string& name) const;
  /// Sets the clock to hh:mm of the current day.
  void SetClock(int hhmm);
  void Steps(int n);
  /// Every console text so far that tells of a crash, a collision, a derailment, a signal
  /// passed at danger or an inconsistent occupancy or route.
  std::vector<std::string> Faults() const;
};

/// Creates the timetable train of creation plan `number` waiting at its first LP the way the
/// plan does: a passenger train from the plan's cars, a freight train of 50 cars with the
/// locomotive of its timetable; head towards its next stop, EnterLP at its first LP. Returns
/// its index; throws when the district has no such plan or timetable train.
int CreateTimetableTrain(Simulation& sim, int number);

/// Section halves a route needs: both halves of every inner section, one at each end.
int NeededHalves(const Simulation& sim, int lp, int r);
/// The throat of LP lp on graph peregon number p (1-based), or -1.
int ThroatOnPeregon(const Simulation& sim, int lp, int p);
/// Orders the best chain of LP lp from section `from` to section `to`; returns it or -1.
int OrderBestChain(Simulation& sim, int lp, int from, int to);

/// Forms timetable trains at their plan times on free tracks, and sets a train's way on from
/// each station (exit and entry routes or chains) once the peregon is clear of trains coming
/// the other way and a suitable track at the next station is free.
class Dispatcher {
 public:
  explicit Dispatcher(ShippedDistrict& d) : d_(d), sim_(d.Sim), area_(d.Sim.AreaData) {}
  /// Forms the train of plan `number` once the clock reaches `at`.
  void Plan(TDateTime at, int number) { plans_.push_back({at, number}); }
  /// Plans every train whose plan time lies within `hours` from now.
  void PlanHours(int hours);
  /// One simulation step with the dispatcher's work before it.
  void Step();

  int Planned() const { return static_cast<int>(plans_.size()); }
  int Formed = 0;
  int Gone = 0;  ///< trains disbanded

 private:
  struct Due {
    TDateTime At;
    int Number;  ///< 0 once put out
  };
  /// A peregon (Section 0) or a track (Peregon -1) held for a train until it has passed.
  struct Hold {
    int Number, Peregon;
    bool TowardsB;
    int Section;
    bool Reached;
  };
  struct Way {
    int Chain = -1, Route = -1, Peregon = -1;
  };
  int Find(int number) const;
  bool TrackTaken(int s) const;
  bool RouteFree(int lp, int r) const;
  bool ChainFree(int lp, int c) const;
  void FormDueTrains();
  void UpdateHolds();
  Way Departure(int i, int lp) const;
  Way Arrival(int i, int next, int p, int dir, int* track) const;
  void Order(int lp, const Way& w);
  void Serve(int i);

  ShippedDistrict& d_;
  Simulation& sim_;
  const TAreaData& area_;
  std::vector<Due> plans_;
  std::vector<int> alive_;
  std::vector<Hold> holds_;
  std::vector<std::pair<int, int>> served_;  ///< (train number, LP) whose way on was set
};

}  // namespace traklin::test
