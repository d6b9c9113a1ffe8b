// Small test districts built from text, a recording console and train placing helpers.
#pragma once

#include <deque>
#include <string>
#include <vector>

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
///   section <s> <length> [<passenger limit> <freight limit>]
///   chain <s1> <s2> ...                     straight links, s1 -> s2 in the even direction
///   flip <a> <b>                            a and b joined odd end to odd end
///   switch <w> <s> <end> <side neighbour> <side length> <side limit>
///   signal <s> <dir> <kind>
///   peregon <even-end lpcode> <odd-end lpcode> <even end section> <odd end section>
///           <direction lamp 0> <direction lamp 1>
///   route <lpcode> <dir> <s1> ... [sw <w> <minus>]
///   pass|freight <number> <last lp>         a timetable train; stop lines follow
///   stop <section> <lpcode> <arrival hhmm> <departure hhmm> <loco>
///   throat <lpcode> <parity> <side> <peregon number> <entry section>
///   plan <hhmm> <number>
/// Every section gets its own lamp (lamp = section number); lamps 100.. are free.
TAreaData BuildDistrict(const std::string& text);

/// A simulation over a district from text, with a recording console and a seeded generator.
struct TestLine {
  Simulation Sim;
  RecordingConsole Console;

  explicit TestLine(const std::string& text, unsigned seed = 1);

  /// Appends a train waiting outside at LP lpCode with head direction dir.
  int AddTrain(int number, int loadType, int cars, int len, int weight, int loco, int dir,
               int lpCode, int arrivalCode);
  /// Puts the train on track `track` of the LP and releases it at once.
  void Place(int i, int lpCode, int track);
  /// Locks the route's halves and marks it set; opens the signal on its first section.
  void SetRoute(int lpCode, int r);
  void OpenSignal(int section, int dir, bool nextWarning = false, bool sideWarning = false);
  /// Runs MoveTrains (and DepartTrains when depart) n times, advancing the clock.
  void Steps(int n, bool depart = false);
  TTrainData& Train(int i) { return Sim.State.Trains[i]; }
  int LPIndex(int code) const;
};

}  // namespace traklin::test
