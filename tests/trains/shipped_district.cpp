// The shipped districts loaded as the start-up loads them, and the helpers that drive them.
#include "trains/shipped_district.h"

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "area/area_queries.h"
#include "area/area_reader.h"
#include "area/district_catalogue.h"
#include "area/district_setup.h"
#include "districtgen/district.h"
#include "state/clock.h"
#include "state/interlocking.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_queries.h"

namespace traklin::test {

namespace {

namespace fs = std::filesystem;

/// The generated district directories of this test run, removed when the run ends.
class GeneratedDistricts {
 public:
  ~GeneratedDistricts() {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }

  const fs::path& Dir(int number) {
    auto found = dirs_.find(number);
    if (found != dirs_.end()) return found->second;
    if (root_.empty()) {
      root_ = fs::temp_directory_path() / ("traklin-shipped-" + std::to_string(::getpid()));
      fs::create_directories(root_);
    }
    const fs::path description =
        fs::path(TRAKLIN_SOURCE_DIR) / "data/districts" / std::to_string(number) / "line.json";
    std::ifstream in(description, std::ios::binary);
    if (!in) throw std::runtime_error("no description " + description.string());
    std::ostringstream text;
    text << in.rdbuf();
    const districtgen::District d =
        districtgen::BuildDistrict(districtgen::ParseLineSpec(text.str()));
    const fs::path dir = root_ / std::to_string(number);
    fs::create_directories(dir);
    std::ofstream out(DistrictDataFile(dir), std::ios::binary);
    out << districtgen::DataDatText(d);  // already Windows-1251 with CR LF
    if (!out) throw std::runtime_error("cannot write " + dir.string());
    return dirs_.emplace(number, dir).first->second;
  }

 private:
  fs::path root_;
  std::map<int, fs::path> dirs_;
};

GeneratedDistricts& Generated() {
  static GeneratedDistricts districts;
  return districts;
}

int CodePointCount(const std::string& text) {
  int n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

ShippedDistrict::ShippedDistrict(int number, unsigned seed) {
  LoadAreaData(DistrictDataFile(Generated().Dir(number)), Sim.AreaData, Sim.MaxSpeedLimit,
               Sim.ReadDataError);
  SetupOptions options;
  options.ShowAllBlockSect = true;
  options.ViewIndex = 0;
  options.TextWidth = [](const std::string& text) { return 6 * CodePointCount(text); };
  options.RingExists = [](int) { return false; };
  PrepareDistrict(Sim.AreaData, options);
  Sim.Random.Seed(seed);
  StateInit(Sim, kShippedStartDay);
  Sim.Console = &Console;
  Sim.LastSaveTime = Sim.State.ClockTime;
}

int ShippedDistrict::LP(const std::string& name) const {
  const TAreaData& area = Sim.AreaData;
  for (int lp = 0; lp < static_cast<int>(area.Puts.size()); ++lp) {
    const int code = area.Puts[lp].Code;
    if (code > 0 && code < static_cast<int>(area.Stations.size()) &&
        area.Stations[code].Name == name)
      return lp;
  }
  throw std::runtime_error("no LP named " + name);
}

int ShippedDistrict::Code(const std::string& name) const {
  return Sim.AreaData.Puts[LP(name)].Code;
}

void ShippedDistrict::SetClock(int hhmm) {
  Sim.State.ClockTime = std::floor(Sim.State.ClockTime) + TimeFromHHMM(hhmm);
  Sim.LastSaveTime = Sim.State.ClockTime;
}

void ShippedDistrict::Steps(int n) {
  for (int k = 0; k < n; ++k) Sim.SimulationStep(kStepLength);
}

std::vector<std::string> ShippedDistrict::Faults() const {
  std::vector<std::string> faults;
  for (const std::string& text : Console.Notes)
    if (IsFaultMessage(text)) faults.push_back(text);
  for (const auto* boxes : {&Console.Infos, &Console.Questions})
    for (const RecordingConsole::Box& box : *boxes)
      if (IsFaultMessage(box.Text)) faults.push_back(box.Text);
  return faults;
}

bool IsFaultMessage(const std::string& text) {
  static const char* const kFaults[] = {
      " выехал за участок с секции ",
      " столкнулся с поездом ",
      "сошел на ",
      "Поезд на маршруте неизвестного ЛП",
      "Поезд на несобранном маршруте",
      " проехал красный сигнал ",
      " занята двумя поездами сразу",
      " занята несуществующим поездом",
      "Неверный порядок секций маршрута",
      " не в маршруте ",
      "Светофор на секции со стрелкой",
      "Перегон занят поездами в обоих направлениях",
  };
  for (const char* fault : kFaults)
    if (text.find(fault) != std::string::npos) return true;
  return false;
}

int CreateTimetableTrain(Simulation& sim, int number, int freightCars) {
  const TAreaData& area = sim.AreaData;
  const int plan = FindCreationPlan(area, number);
  if (plan < 0) throw std::runtime_error("no plan of train " + std::to_string(number));
  const TCreationPlanData& p = area.CreationPlans[plan];
  const bool freight = p.Cars == 0;
  const ScheduleTrainEnds ends = GetScheduleTrainEnds(area, freight, number);
  if (ends.FirstLPCode < 1 || ends.LastLPCode < 1 || ends.LocoType < 2 ||
      ends.LocoType >= static_cast<int>(area.Locos.size()))
    throw std::runtime_error("no timetable train " + std::to_string(number));
  const TLocoData& loco = area.Locos[ends.LocoType];

  TTrainData t;
  t.NUMBER = t.SCHEDULE_NUMBER = number;
  t.INDEXED_NAME = p.Name;
  t.CREATION_LP_CODE = ends.FirstLPCode;
  t.ARRIVAL_LP_CODE = ends.LastLPCode;
  t.PLAN_CREATION_LP_CODE = p.CreationPoint;
  t.PLAN_ARRIVAL_LP_CODE = p.ArrivalPoint;
  t.LOCO_IDX = ends.LocoType;
  t.SCHEDULE_IDX = 0;
  if (freight) {
    t.CARS = freightCars;
    t.LEN = 12 * t.CARS + loco.Length;
    t.WEIGHT = 60 * t.CARS + loco.Weight;
    t.LOAD_TYPE = p.LoadType;
  } else {
    t.CARS = p.Cars;
    const bool hauled = loco.AccelType == 0;
    t.LEN = hauled ? loco.Length + 26 * t.CARS : t.CARS * loco.Length;
    t.WEIGHT = hauled ? loco.Weight + 60 * t.CARS : t.CARS * loco.Weight;
    t.LOAD_TYPE = 100;
  }
  t.HEAD.SPEED_LIM_SECT = t.SPEED_LIM = sim.MaxSpeedLimit;
  sim.State.Trains.push_back(t);
  const int i = static_cast<int>(sim.State.Trains.size()) - 1;

  const int lp = FindLPIndex(area, t.CREATION_LP_CODE);
  int throat = -1;
  int dir = number & 1;
  if (!ThroatOfNextStop(sim, throat, dir, lp, i)) dir = number & 1;
  TTrainData& u = sim.State.Trains[i];
  u.HEAD.DIR = u.TAIL.DIR = static_cast<std::uint8_t>(dir & 1);
  EnterLP(sim, i, u.CREATION_LP_CODE);
  TTrainData& v = sim.State.Trains[i];
  v.TAIL.LP_CODE = v.HEAD.LP_CODE;
  v.CREATE_TIME = v.PLAN_CREATE_TIME = sim.State.ClockTime;
  v.REQUEST_TIME = sim.State.ClockTime - 1;
  v.REQUEST_TYPE = rqNone;
  return i;
}

void PutOut(Simulation& sim, int i, int lp, int track) {
  if (!PutOnTrack(sim, i, lp, track)) throw std::runtime_error("the train does not fit the track");
  ReleaseMadeUp(sim, i);
}

int NeededHalves(const Simulation& sim, int lp, int r) {
  const TTrainRouteData& route = sim.AreaData.TrainRoutes[lp].Routes[r];
  int n = 0;
  while (n < kMaxRouteSections && route.Sections[n] != 0) ++n;
  return n < 2 ? 0 : 2 * n - 2;
}

int DepartureThroat(Simulation& sim, int i, int lp) {
  int throat = -1;
  int dir = sim.State.Trains[i].HEAD.DIR;
  return ThroatOfNextStop(sim, throat, dir, lp, i) ? throat : -1;
}

int ThroatOnPeregon(const Simulation& sim, int lp, int p) {
  const TAreaData& area = sim.AreaData;
  for (int g = 0; g < static_cast<int>(area.GorlStanzs.size()); ++g)
    if (area.GorlStanzs[g].Code == area.Puts[lp].Code && area.GorlStanzs[g].Peregon == p) return g;
  return -1;
}

int OrderBestChain(Simulation& sim, int lp, int from, int to) {
  const int chain = FindBestRoute(sim.AreaData, lp, from, to);
  if (chain >= 0) OrderChain(sim, lp, chain);
  return chain;
}

int BestArrivalTrack(Simulation& sim, int i, int lp, int from) {
  const TPutData& put = sim.AreaData.Puts[lp];
  int best = -1;
  RouteQuality bestRating = InitRouteQuality();
  for (int k = 0; k < static_cast<int>(put.Tracks.size()); ++k) {
    const int s = put.Tracks[k].Section;
    if (!TrackSuits(sim, lp, k, i) || OccupyingTrain(sim, s) >= 0) continue;
    RouteQuality rating;
    if (FindBestRoute(sim.AreaData, lp, from, s, &rating) < 0) continue;
    if (best < 0 || CompareRouteQuality(bestRating, rating) < 0) {
      best = k;
      bestRating = rating;
    }
  }
  return best;
}

}  // namespace traklin::test
