// Synthetic lines for the benchmarks and the trains that run on them.
#include "bench_line.h"

#include <filesystem>
#include <map>
#include <stdexcept>
#include <utility>

#include "area/area_queries.h"
#include "area/area_reader.h"
#include "area/date_time.h"
#include "area/district_setup.h"
#include "districtgen/district.h"
#include "simulation/headless_run.h"
#include "state/interlocking.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/train_records.h"

namespace traklin::bench {

namespace dg = traklin::districtgen;

namespace {

constexpr unsigned kLineSeed = 7;
constexpr int kCars = 30;
constexpr int kCarLength = 15;  // m
constexpr int kCarWeight = 55;  // t

int MinusSwitches(const TTrainRouteData& route) {
  int n = 0;
  for (int k = 0; k < kMaxRouteSwitches && route.SwitchNumber[k] != 0; ++k)
    n += route.SwitchMinus[k] != 0;
  return n;
}

}  // namespace

const std::string& SyntheticDataDat(int stations, int trainsPerDay) {
  static std::map<std::pair<int, int>, std::string> cache;
  auto& bytes = cache[{stations, trainsPerDay}];
  if (bytes.empty())
    bytes =
        dg::DataDatText(dg::BuildDistrict(dg::SyntheticLine(stations, trainsPerDay, kLineSeed)));
  return bytes;
}

void LoadPreparedLine(Simulation& sim, int stations, ConsoleServices& console) {
  LoadAreaDataFromBytes(SyntheticDataDat(stations), sim.AreaData, sim.MaxSpeedLimit,
                        sim.ReadDataError);
  SetupOptions options;
  options.ShowAllBlockSect = true;
  PrepareDistrict(sim.AreaData, options);
  sim.Console = &console;
  sim.Random.Seed(1);
  StateInit(sim, DateParts{sim.AreaData.BaseYear, 3, 1});
  sim.LastSaveTime = sim.State.ClockTime;
}

RunningLine::RunningLine(int stations, int trains) {
  LoadPreparedLine(Sim, stations, Console);
  FindDirection();
  FindThroughRoutes();
  // Spread the trains over the stations before the last, one on each main track at most.
  const int starts = Sim.AreaData.StationCount - 1;
  if (trains > starts) throw std::runtime_error("more trains than stations to start from");
  for (int k = 0; k < trains; ++k) PlaceTrain(k * starts / trains, k);
}

void RunningLine::FindDirection() {
  const TAreaData& area = Sim.AreaData;
  for (const TGraphPeregonData& p : area.GraphPeregons) {
    for (int d = 0; d < 2; ++d) {
      if (p.LP[d] - 1 == 1 && p.LP[d ^ 1] - 1 == 0) {
        Direction = d;
        return;
      }
    }
  }
  throw std::runtime_error("no peregon between the first two stations");
}

void RunningLine::FindThroughRoutes() {
  const TAreaData& area = Sim.AreaData;
  Routes.assign(area.StationCount, ThroughRoutes{});
  for (int lp = 0; lp < area.StationCount; ++lp) {
    if (area.Puts[lp].Tracks.empty()) continue;
    const int main = area.Puts[lp].Tracks[0].Section;
    const auto& routes = area.TrainRoutes[lp].Routes;
    auto better = [&](int candidate, int current) {
      return current < 0 || MinusSwitches(routes[candidate]) < MinusSwitches(routes[current]);
    };
    for (int r = 0; r < static_cast<int>(routes.size()); ++r) {
      if (RouteDirection(routes[r]) != Direction) continue;
      if (routes[r].LastSection == main && better(r, Routes[lp].Entry)) Routes[lp].Entry = r;
      if (routes[r].FirstSection == main && better(r, Routes[lp].Exit)) Routes[lp].Exit = r;
    }
  }
  // Trains end their run at the last station.
  if (!Routes.empty()) Routes.back().Exit = -1;
}

void RunningLine::PlaceTrain(int lp, int k) {
  const TAreaData& area = Sim.AreaData;
  const TDateTime now = Sim.State.ClockTime;
  const int code = LPCode(area, lp);
  TTrainData t;
  // Freight numbers; the parity of the number is the direction.
  t.NUMBER = t.SCHEDULE_NUMBER = 3002 + 2 * k + Direction;
  t.LOAD_TYPE = 1;
  t.CARS = kCars;
  t.LOCO_IDX = 2;
  t.LEN = kCars * kCarLength + area.Locos[2].Length;
  t.WEIGHT = kCars * kCarWeight + area.Locos[2].Weight;
  t.HEAD.DIR = t.TAIL.DIR = static_cast<std::uint8_t>(Direction);
  t.HEAD.LP_CODE = t.TAIL.LP_CODE = code;
  t.CREATION_LP_CODE = t.PLAN_CREATION_LP_CODE = code;
  t.ARRIVAL_LP_CODE = t.PLAN_ARRIVAL_LP_CODE = LPCode(area, area.StationCount - 1);
  t.SPEED_LIM = t.HEAD.SPEED_LIM_SECT = Sim.MaxSpeedLimit;
  t.CREATE_TIME = t.PLAN_CREATE_TIME = now;
  t.REQUEST_TIME = now - 1;
  Sim.State.Trains.push_back(t);
  const int i = static_cast<int>(Sim.State.Trains.size()) - 1;
  EnterLP(Sim, i, code);
  if (!PutOnTrack(Sim, i, lp, 0)) throw std::runtime_error("a benchmark train did not fit");
  ReleaseMadeUp(Sim, i);
  // A freight train waits an hour where it was made up; these leave after half a minute.
  Sim.State.Trains[i].DEPARTURE_TIME = now + 30 * kSecond;
}

int RunningLine::OrderThroughRoutes() {
  int ordered = 0;
  for (int lp = 0; lp < static_cast<int>(Routes.size()); ++lp) {
    if (Routes[lp].Exit >= 0 && OrderRoute(Sim, lp, Routes[lp].Exit)) ++ordered;
    // An entry route waits while its track is taken, and the station assembles one route at
    // a time, earliest order first: ordered onto a taken track it would hold up the exit.
    const int main =
        Sim.AreaData.Puts[lp].Tracks.empty() ? 0 : Sim.AreaData.Puts[lp].Tracks[0].Section;
    if (Routes[lp].Entry >= 0 && OccupyingTrain(Sim, main) < 0 &&
        OrderRoute(Sim, lp, Routes[lp].Entry))
      ++ordered;
  }
  return ordered;
}

int RunningLine::MovingTrains() const {
  int n = 0;
  for (const TTrainData& t : Sim.State.Trains) n += t.SPEED > 0;
  return n;
}

void PrepareShippedDay(Simulation& sim, int number, bool automated) {
  sim.Random.Seed(1);
  RunOptions options;
  options.District =
      std::filesystem::path(TRAKLIN_RUNTIME_DIR) / "district" / std::to_string(number);
  options.SettingsFile = std::filesystem::path(TRAKLIN_RUNTIME_DIR) / "config" / "Traklin.ini";
  options.Start = ParseStartTime("2024-03-15 00:00");
  PrepareRun(sim, options, nullptr);
  if (automated) sim.State.AutoLPs.assign(sim.AreaData.Puts.size(), true);
}

}  // namespace traklin::bench
