// Small test districts for the train tests, written as text, with a recording console and
// helpers that place and drive trains.
#pragma once

#include <string>
#include <vector>

#include "simulation/simulation.h"

namespace traklin::test {

/// Records every message and gives every question the same answer.
struct RecordingConsole : ConsoleServices {
  struct Box {
    std::string Caption, Text;
    int Ring = 0;
  };
  struct Answered {
    std::string Caption, Text;
    int Ring = 0;
    bool Answer = false;
  };
  std::vector<std::string> Notes;
  std::vector<Box> Infos, Questions;
  /// Questions answered without the dispatcher (StationAnswered).
  std::vector<Answered> Answers;
  bool DefaultAnswer = true;

  void NotifyDispatcher(const std::string& text) override { Notes.push_back(text); }
  void InformDispatcher(const std::string& caption, const std::string& text, int ring) override {
    Infos.push_back({caption, text, ring});
  }
  bool AskDispatcher(const std::string& caption, const std::string& text, int ring) override {
    Questions.push_back({caption, text, ring});
    return DefaultAnswer;
  }
  void StationAnswered(const std::string& caption, const std::string& text, int ring,
                       bool answer) override {
    Answers.push_back({caption, text, ring, answer});
  }
  bool SaveLastState(bool) override { return true; }
};

/// Builds a district from statements, one per line or separated by ';' ('#' starts a comment):
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
///   pass <number> <last lp>                 a passenger timetable train; stop lines follow
///   stop <section> <lpcode> <arrival hhmm> <departure hhmm> <loco>
///   throat <lpcode> <parity> <side> <peregon number> <entry section>
/// Every section gets its own lamp (lamp = section number); lamps 100.. are free.
/// Locomotive type 2: 120 t, traction 300; type 3: 100 t, traction 250.
TAreaData BuildDistrict(const std::string& text);

// clang-format off
/// The line the train tests run on. Even runs to the right; kilometre marks fall that way.
///
///   A (1, km 15)          peregon 0            B (2, km 12)       peregon 1    C (3, km 9)
///   [1]-[2 A/I]>|-[3]-[4]--[5]--[6]>|-[7]-[8 B/I]>|-[9]-[11]>|-[12 C/I]-[13]
///                                          |<   (odd signal on 8; B's throat: entry section 6)
///   D (4, controlled): [21]-[20]=sw1=[23]-[28 D/5Б]      [25]--sw2=[26]-[29]
///                              \=[24]                     [27]=/
///   E (5): [30]-[31]<flip>[32]-[33 E/I]   (31 and 32 joined odd end to odd end)
///   LPs Post (6) and Plain (7), one track each (34, 35), no links.
///
/// Timetable: 2 (A 12:01, B 12:10-12:12, C 12:20), 4 (A 12:00, passes B), 10 and 12 (B 12:00
/// for 4 and 6 minutes), 14 and 16 (B with a service stop and a change to locomotive 3),
/// 18 (B 00:05-00:10), 20 (A, B with locomotive 3, back to A).
// clang-format on
extern const char* const kLine;

/// A new train waiting outside its LP: a passenger train of 10 cars unless told otherwise.
struct NewTrain {
  int Number = 2, Dir = 0;
  int LP = 1, Arrival = 3;  ///< codes of the LP it stands at and of its last LP
  int Load = 100, Cars = 10, Len = 300, Weight = 1000, Loco = 2;
};

/// A simulation over a district from text, with a recording console and a seeded generator.
/// The clock stands at 13 March 2023, 12:00.
struct TestLine {
  Simulation Sim;
  RecordingConsole Console;

  explicit TestLine(const std::string& text = kLine, unsigned seed = 1);
  int Add(const NewTrain& n);
  /// Puts the train on track `track` of the LP and releases it at once.
  void Place(int i, int lpCode, int track);
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

}  // namespace traklin::test
