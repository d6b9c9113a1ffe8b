// The shipped districts as the train tests run them: generated from their descriptions, set
// up as at start-up, with a seeded generator and a recording console.
#pragma once

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "area/area_queries.h"
#include "area/area_reader.h"
#include "area/district_setup.h"
#include "districtgen/district.h"
#include "state/clock.h"
#include "state/interlocking.h"
#include "trains/harness.h"
#include "trains/station_messages.h"
#include "trains/throat_queries.h"

namespace traklin::test {

using Texts = std::vector<std::string>;

/// A shipped district (data/districts/<number>/line.json), generated, read from its Data.dat
/// bytes, prepared by the start-up set-up with the default options (all block sections shown,
/// view 0) and given a fresh state on 15 March, a seeded generator and a recording console.
struct ShippedDistrict {
  Simulation Sim;
  RecordingConsole Console;
  /// Whether the steps run the stations' own decisions and throat tasks; a test whose
  /// dispatcher sets every route himself leaves them out.
  bool DutyOfficers = true;

  explicit ShippedDistrict(int number, unsigned seed = 1) {
    static std::map<int, std::string> generated;  // Data.dat bytes, generated once per run
    std::string& bytes = generated[number];
    if (bytes.empty()) {
      std::ifstream in(std::string(TRAKLIN_SOURCE_DIR) + "/data/districts/" +
                       std::to_string(number) + "/line.json");
      std::ostringstream json;
      json << in.rdbuf();
      bytes = Generate(json.str());
    }
    Start(bytes, seed);
  }
  /// A district generated from a description written like line.json: the small lines a
  /// test draws for itself.
  ShippedDistrict(std::string_view description, unsigned seed) {
    Start(Generate(std::string(description)), seed);
  }
  /// The Data.dat bytes of a description.
  static std::string Generate(const std::string& description) {
    return districtgen::DataDatText(
        districtgen::BuildDistrict(districtgen::ParseLineSpec(description)));
  }
  /// Reads the bytes, prepares the district and starts a fresh state.
  void Start(const std::string& bytes, unsigned seed) {
    LoadAreaDataFromBytes(bytes, Sim.AreaData, Sim.MaxSpeedLimit, Sim.ReadDataError);
    PrepareDistrict(Sim.AreaData, SetupOptions{});
    Sim.Random.Seed(seed);
    StateInit(Sim, DateParts{2024, 3, 15});
    Sim.Console = &Console;
    Sim.LastSaveTime = Sim.State.ClockTime;
  }
  /// LP index of the station of that name; throws when the district has none.
  int LP(const std::string& name) const {
    const TAreaData& area = Sim.AreaData;
    for (int lp = 0; lp < static_cast<int>(area.Puts.size()); ++lp)
      if (area.Stations.at(area.Puts[lp].Code).Name == name) return lp;
    throw std::runtime_error("no LP named " + name);
  }
  void SetClock(int hhmm) {
    Sim.LastSaveTime = Sim.State.ClockTime = std::floor(Sim.State.ClockTime) + TimeFromHHMM(hhmm);
  }
  void Steps(int n) {
    for (int k = 0; k < n; ++k) {
      if (DutyOfficers) {
        Sim.SimulationStep(kStepLength);
        continue;
      }
      for (const Simulation::StepPass& pass : Simulation::StepOrder()) {
        const std::string_view name = pass.Name;
        if (name != "ThroatAutomation" && name != "ExecuteThroatTasks") pass.Run(Sim, kStepLength);
      }
    }
  }
  /// Every console text so far that tells of a crash, a collision, a derailment, a signal
  /// passed at danger or an inconsistent occupancy or route.
  Texts Faults() const {
    static const std::regex fault(
        " выехал за участок с секции | столкнулся с поездом |сошел на |Поезд на маршруте "
        "неизвестного ЛП|Поезд на несобранном маршруте| проехал красный сигнал | занята двумя "
        "поездами сразу| занята несуществующим поездом|Неверный порядок секций маршрута| не в "
        "маршруте |Светофор на секции со стрелкой|Перегон занят поездами в обоих направлениях");
    Texts texts = Console.Notes, faults;
    for (const auto* boxes : {&Console.Infos, &Console.Questions})
      for (const RecordingConsole::Box& box : *boxes) texts.push_back(box.Text);
    std::copy_if(texts.begin(), texts.end(), std::back_inserter(faults),
                 [](const std::string& text) { return std::regex_search(text, fault); });
    return faults;
  }
};

/// Creates the timetable train of creation plan `number` waiting at its first LP the way the
/// plan does: a passenger train from the plan's cars, a freight train of 50 cars with the
/// locomotive of its timetable; head towards its next stop, EnterLP at its first LP.
inline int CreateTimetableTrain(Simulation& sim, int number) {
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
  TTrainData& t = sim.State.Trains.emplace_back();
  t.NUMBER = t.SCHEDULE_NUMBER = number;
  t.INDEXED_NAME = p.Name;
  t.CREATION_LP_CODE = ends.FirstLPCode;
  t.ARRIVAL_LP_CODE = ends.LastLPCode;
  t.PLAN_CREATION_LP_CODE = p.CreationPoint;
  t.PLAN_ARRIVAL_LP_CODE = p.ArrivalPoint;
  t.LOCO_IDX = ends.LocoType;
  t.SCHEDULE_IDX = 0;
  const bool hauled = freight || loco.AccelType == 0;
  t.CARS = freight ? 50 : p.Cars;
  t.LEN = hauled ? loco.Length + (freight ? 12 : 26) * t.CARS : t.CARS * loco.Length;
  t.WEIGHT = hauled ? loco.Weight + 60 * t.CARS : t.CARS * loco.Weight;
  t.LOAD_TYPE = freight ? p.LoadType : 100;
  t.HEAD.SPEED_LIM_SECT = t.SPEED_LIM = sim.MaxSpeedLimit;
  const int i = static_cast<int>(sim.State.Trains.size()) - 1;
  int throat = -1, dir = number & 1;
  if (!ThroatOfNextStop(sim, throat, dir, FindLPIndex(area, ends.FirstLPCode), i)) dir = number & 1;
  sim.State.Trains[i].HEAD.DIR = sim.State.Trains[i].TAIL.DIR = static_cast<std::uint8_t>(dir & 1);
  EnterLP(sim, i, ends.FirstLPCode);
  TTrainData& v = sim.State.Trains[i];
  v.TAIL.LP_CODE = v.HEAD.LP_CODE;
  v.CREATE_TIME = v.PLAN_CREATE_TIME = sim.State.ClockTime;
  v.REQUEST_TIME = sim.State.ClockTime - 1;
  v.REQUEST_TYPE = rqNone;
  return i;
}

}  // namespace traklin::test
