// Synthetic lines for the benchmarks: their Data.dat bytes, a prepared simulation over them,
// and freight trains kept running by a dispatcher who orders the through routes.
#pragma once

#include <string>
#include <vector>

#include "simulation/simulation.h"

namespace traklin::bench {

/// The Data.dat bytes (Windows-1251) of a synthetic line of `stations` stations with
/// `trainsPerDay` timetable trains; the same line for the same arguments.
const std::string& SyntheticDataDat(int stations, int trainsPerDay = 60);

/// Counts what the simulation tells the dispatcher; answers every question with OK and
/// reports every save as done without writing anything.
class QuietConsole : public ConsoleServices {
 public:
  int Notes = 0;
  int Infos = 0;
  int Questions = 0;
  std::string LastNote;

  void NotifyDispatcher(const std::string& text) override {
    ++Notes;
    LastNote = text;
  }
  void InformDispatcher(const std::string&, const std::string&, int) override { ++Infos; }
  bool AskDispatcher(const std::string&, const std::string&, int) override {
    ++Questions;
    return true;
  }
  bool SaveLastState(bool) override { return true; }
};

/// Reads and prepares the line into sim and initialises the state on 1 March of the line's
/// base year, random generator seeded with 1. Throws std::runtime_error on failure.
void LoadPreparedLine(Simulation& sim, int stations, ConsoleServices& console);

/// Prepares shipped district `number` (build/district/N) as a headless run does: from
/// 2024-03-15 00:00, seed 1, the build's Traklin.ini, every station worked by the automatic
/// dispatcher when `automated`. Throws what the preparation throws.
void PrepareShippedDay(Simulation& sim, int number, bool automated);

/// The through routes of one station in the running direction: onto the main track and from
/// it towards the next station (-1 when the station has none).
struct ThroughRoutes {
  int Entry = -1;
  int Exit = -1;
};

/// A prepared line with trains running in one direction.
class RunningLine {
 public:
  RunningLine(int stations, int trains);

  Simulation Sim;
  QuietConsole Console;
  int Direction = 0;  ///< the direction that runs from the first station to the last
  std::vector<ThroughRoutes> Routes;  ///< per station (LP index)

  /// The dispatcher's part: orders every free exit route, and every free entry route onto a
  /// free main track. Returns how many were ordered.
  int OrderThroughRoutes();
  /// Trains whose speed is above zero.
  int MovingTrains() const;

 private:
  void FindDirection();
  void FindThroughRoutes();
  void PlaceTrain(int lp, int number);
};

}  // namespace traklin::bench
