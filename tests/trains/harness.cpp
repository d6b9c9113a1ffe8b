// Districts for the train tests, the recording console and the careful dispatcher.
#include "trains/harness.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "area/area_queries.h"
#include "area/area_reader.h"
#include "area/district_setup.h"
#include "districtgen/district.h"
#include "state/clock.h"
#include "state/interlocking.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_queries.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin::test {

const char* const kLine = R"(
station 1 Alfa 1 15
station 2 Beta 1 12
station 3 Gamma 1 9
station 4 Delta 0 5
station 5 Epsilon 1 0
sections 500 1 13 30 31 32 33
sections 1200 2 8 12
sections 300 3 7 9
sections 1500 4 5 6
section 11 2000
sections 400 20 21 23 24 25 26 27 28 29
chain 1 2 3 4 5 6 7 8 9 11 12 13
chain 21 20 23 28
switch 1 20 0 24 420 40
chain 25 26 29
switch 2 26 1 27 420 40
chain 31 30
chain 32 33
flip 31 32
track 1 2 1 3 0
track 2 8 1 3 0
track 3 12 1 3 0
track 4 28 1 3 0
track 5 33 1 3 0
signal 2 0 1
signal 6 0 0
signal 8 0 1
signal 8 1 1
signal 11 0 0
peregon 2 1 6 4 150 152
peregon 3 2 11 11 154 156
route 1 0 2 3
route 2 0 6 7 8
route 2 0 8 9
route 3 0 11 12
throat 2 1 1 1 7
pass 2 3
stop 0 1 0 1201 0
stop 0 2 1210 1212 0
stop 0 3 1220 1221 0
pass 4 3
stop 0 1 0 1200 0
stop 0 2 0 0 0
pass 10 3
stop 0 1 0 1150 0
stop 0 2 1200 1204 0
pass 12 3
stop 0 1 0 1150 0
stop 0 2 1200 1206 0
pass 14 3
stop 0 1 0 1150 0
stop 0 2 1200 1204 1
pass 16 3
stop 0 1 0 1150 0
stop 0 2 1200 1204 3
pass 18 3
stop 0 1 0 2350 0
stop 0 2 5 10 0
pass 20 1
stop 0 1 0 1200 0
stop 0 2 1210 1220 3
stop 0 1 1230 1231 0
)";

namespace {

int LPByCode(const TAreaData& area, int code) {
  const int lp = FindLPIndex(area, code);
  if (lp < 0) throw std::runtime_error("unknown LP code in test district");
  return lp;
}

TSlSectData& Sect(TAreaData& area, int s) {
  if (s >= static_cast<int>(area.SlSects.size())) area.SlSects.resize(s + 2);
  area.SectCount = std::max(area.SectCount, s + 1);
  return area.SlSects[s];
}

}  // namespace

TAreaData BuildDistrict(const std::string& text) {
  TAreaData area;
  area.SwitchPosBase = 100;
  area.Locos.resize(4);
  area.Locos[2] = TLocoData{0, 300, 20, 120, 0, 100};
  area.Locos[3] = TLocoData{0, 250, 20, 100, 0, 90};
  area.GraphLamps.resize(200);
  area.Stations.resize(100);
  std::vector<TPutData> others;
  TGraphTrainData* lastTrain = nullptr;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream in(line.substr(0, line.find('#')));
    std::string word;
    int a = 0, b = 0, c = 0;
    if (!(in >> word)) continue;
    if (word == "station" || word == "lp") {
      TPutData p;
      std::string name;
      in >> p.Code >> name;
      area.Stations[p.Code].Name = name;
      area.Stations[p.Code].LPCode = p.Code;
      if (word == "lp") {
        others.push_back(p);
        continue;
      }
      TStanzData st;
      st.Code = p.Code;
      TGraphFragmData f;
      in >> st.Value2 >> f.Coordinate;
      area.Stanzs.push_back(st);
      area.GraphFragms.push_back(f);
      area.LPMnemNames.push_back(name);
      area.Puts.push_back(p);
      area.StationCount++;
      continue;
    }
    // Further LPs follow the stations.
    for (auto& p : others) area.Puts.push_back(p);
    others.clear();
    area.LPCount = static_cast<int>(area.Puts.size());
    if (word == "track") {
      TTrackData k;
      in >> a >> k.Section >> k.Number >> k.Kind >> k.Mode;
      auto& put = area.Puts[LPByCode(area, a)];
      put.Tracks.push_back(k);
      put.TrackCount = static_cast<int>(put.Tracks.size());
    } else if (word == "section" || word == "sections") {
      TSlSectData d;
      if (word == "section") in >> a;
      in >> d.Length;
      d.PassengerSpeedLimit = d.FreightSpeedLimit = 80;
      if (word == "section") in >> d.PassengerSpeedLimit >> d.FreightSpeedLimit;
      if (word == "section") Sect(area, a) = d;
      while (word == "sections" && in >> a) Sect(area, a) = d;
    } else if (word == "chain") {
      for (in >> a; in >> b; a = b) Sect(area, a).Straight[0] = b, Sect(area, b).Straight[1] = a;
    } else if (word == "flip") {
      in >> a >> b;
      Sect(area, a).Straight[1] = b, Sect(area, b).Straight[1] = a;
      Sect(area, a).Flip[1] = Sect(area, b).Flip[1] = 1;
    } else if (word == "switch") {
      int w = 0, side = 0;
      in >> w >> a >> b >> side;
      if (w >= static_cast<int>(area.Strels.size())) area.Strels.resize(w + 1);
      area.Strels[w].Section = a;
      area.Strels[w].OddEnd = static_cast<std::uint8_t>(b);
      area.SwitchCount = std::max(area.SwitchCount, w);
      TSlSectData& s = Sect(area, a);
      s.Switch[b] = w;
      s.Side[b] = side;
      in >> s.SideLength >> s.SideSpeedLimit;
      Sect(area, side).Straight[b ^ 1] = a;
    } else if (word == "signal") {
      in >> a >> b >> c;
      TSemaphoreData g;
      g.Section = a;
      g.Direction = static_cast<std::uint8_t>(b);
      g.Kind = static_cast<std::uint8_t>(c);
      Sect(area, a).Semaphore[b] = static_cast<int>(area.Semaphores.size());
      area.Semaphores.push_back(g);
    } else if (word == "peregon") {
      TGraphPeregonData p;
      in >> a >> b >> p.EndSection[0] >> p.EndSection[1] >> p.DirectionLamps[0] >>
          p.DirectionLamps[1];
      p.LP[0] = LPByCode(area, a) + 1;
      p.LP[1] = LPByCode(area, b) + 1;
      area.GraphPeregons.push_back(p);
    } else if (word == "route") {
      in >> a >> b;
      TTrainRouteData r;
      r.StartKind = b == 1 ? 1 : 2;
      r.EndKind = b == 1 ? 2 : 1;
      int n = 0;
      while (in >> c) r.Sections[n++] = c;
      r.FirstSection = r.Sections[0];
      r.LastSection = r.Sections[n - 1];
      const int lp = LPByCode(area, a);
      area.TrainRoutes.resize(std::max<std::size_t>(area.TrainRoutes.size(), lp + 1));
      area.TrainRoutes[lp].Routes.push_back(r);
      area.TrainRoutes[lp].RouteCount = static_cast<int>(area.TrainRoutes[lp].Routes.size());
    } else if (word == "pass" || word == "freight") {
      TGraphTrainData t;
      in >> t.Numbers[0] >> t.LastLP;
      auto& list = (word == "pass" ? area.PassTrains : area.GruzTrains)[t.Numbers[0] & 1];
      list.push_back(t);
      lastTrain = &list.back();
    } else if (word == "stop") {
      TStopData s;
      in >> s.Section >> s.LPCode >> s.Arrival >> s.Departure >> s.LocoType;
      lastTrain->Stops.push_back(s);
    } else if (word == "throat") {
      TGorlStanzData g;
      in >> g.Code >> a >> g.Side >> g.Peregon >> g.EntrySection;
      g.Parity = static_cast<std::uint8_t>(a);
      area.GorlStanzs.push_back(g);
    } else {
      throw std::runtime_error("unknown statement in test district: " + word);
    }
  }
  for (auto& p : others) area.Puts.push_back(p);
  area.LPCount = static_cast<int>(area.Puts.size());
  area.TrainRoutes.resize(area.Puts.size());
  for (int k = 0; k < area.LPCount; ++k) area.TrainRoutes[k].Code = area.Puts[k].Code;
  area.SlSects.resize(area.SectCount + 1);
  area.Sekzs.assign(area.SlSects.size(), 0);
  for (int s = 1; s < area.SectCount; ++s) area.Sekzs[s] = s;
  return area;
}

void PutOut(Simulation& sim, int i, int lp, int track) {
  if (!PutOnTrack(sim, i, lp, track)) throw std::runtime_error("the train does not fit the track");
  ReleaseMadeUp(sim, i);
}

TestLine::TestLine(const std::string& text, unsigned seed) {
  Sim.AreaData = BuildDistrict(text);
  const TAreaData& area = Sim.AreaData;
  Sim.MaxSpeedLimit = 80;
  for (const auto& s : area.SlSects)
    Sim.MaxSpeedLimit = std::max({Sim.MaxSpeedLimit, s.PassengerSpeedLimit, s.FreightSpeedLimit});
  TStateData& st = Sim.State;
  st.ClockTime = 45000.5;
  st.Lamps.resize(area.GraphLamps.size());
  st.Switches.assign(area.Strels.size() + 1, 0);
  st.Sects.resize(area.SlSects.size());
  st.Semaphores.resize(area.Semaphores.size());
  for (std::size_t g = 0; g < area.Semaphores.size(); ++g)
    st.Semaphores[g].DIR_NEXT = area.Semaphores[g].Direction;
  st.Routes.resize(area.TrainRoutes.size());
  for (std::size_t lp = 0; lp < area.TrainRoutes.size(); ++lp)
    st.Routes[lp].resize(area.TrainRoutes[lp].Routes.size());
  st.Gorls.resize(area.GorlStanzs.size());
  st.DepartCommits.resize(area.Puts.size());
  Sim.Console = &Console;
  Sim.Random.Seed(seed);
}

int TestLine::LPIndex(int code) const {
  return LPByCode(Sim.AreaData, code);
}

int TestLine::Add(const NewTrain& n) {
  TTrainData t;
  t.NUMBER = t.SCHEDULE_NUMBER = n.Number;
  t.LOAD_TYPE = n.Load;
  t.CARS = n.Cars;
  t.LEN = n.Len;
  t.WEIGHT = n.Weight;
  t.LOCO_IDX = n.Loco;
  t.HEAD.DIR = t.TAIL.DIR = static_cast<std::uint8_t>(n.Dir);
  t.HEAD.LP_CODE = t.TAIL.LP_CODE = t.CREATION_LP_CODE = t.PLAN_CREATION_LP_CODE = n.LP;
  t.ARRIVAL_LP_CODE = t.PLAN_ARRIVAL_LP_CODE = n.Arrival;
  t.SPEED_LIM = t.HEAD.SPEED_LIM_SECT = Sim.MaxSpeedLimit;
  t.SCHEDULE_IDX = 0;
  t.CREATE_TIME = t.PLAN_CREATE_TIME = Sim.State.ClockTime;
  t.REQUEST_TIME = Sim.State.ClockTime - 1;
  Sim.State.Trains.push_back(t);
  return static_cast<int>(Sim.State.Trains.size()) - 1;
}

void TestLine::SetRoute(int lpCode, int r) {
  const int lp = LPIndex(lpCode);
  const TTrainRouteData& route = Sim.AreaData.TrainRoutes[lp].Routes[r];
  const int D = route.StartKind < route.EndKind ? 1 : 0;
  int n = 0;
  while (n < kMaxRouteSections && route.Sections[n] != 0) ++n;
  for (int k = 0; k < n; ++k) {
    TSectionSchuntData& x = Sim.State.Sects[route.Sections[k]];
    const bool inner = k > 0 && k < n - 1;
    if (inner || (k == 0 && D == 0) || (k == n - 1 && D == 1)) x.ROUTE_EVEN = r, x.LP_EVEN = lp;
    if (inner || (k == 0 && D == 1) || (k == n - 1 && D == 0)) x.ROUTE_ODD = r, x.LP_ODD = lp;
  }
  Sim.State.Routes[lp][r] = TRouteControlData{0, true};
  const int g = Sim.AreaData.SlSects[route.FirstSection].Semaphore[D];
  if (g >= 0) {
    Sim.State.Semaphores[g].SECT_NEXT = route.LastSection;
    Sim.State.Semaphores[g].CLOSED = Sim.State.Semaphores[g].NEXT_WARNING = false;
  }
}

void TestLine::OpenSignal(int section, int dir) {
  TSemaphoreLightData& g = Sim.State.Semaphores[Sim.AreaData.SlSects[section].Semaphore[dir]];
  g.CLOSED = g.NEXT_WARNING = g.SIDE_WARNING = false;
  g.SECT_NEXT = section;
}

void TestLine::Drive(int i, int s, double pos, double v, int peregon) {
  TTrainData& t = Train(i);
  t.HEAD.SECT_IDX = t.TAIL.SECT_IDX = s;
  t.HEAD.SECT_POS = pos;
  t.TAIL.SECT_POS = t.HEAD.DIR == 0 ? pos - t.LEN : pos + t.LEN;
  t.HEAD.PEREGON_IDX = t.TAIL.PEREGON_IDX = peregon;
  if (peregon >= 0) t.HEAD.LP_CODE = t.TAIL.LP_CODE = 0;
  t.SPEED = v;
  t.DEPARTURE_TIME = 0;
  t.DEPARTURE_COMMISSION = true;
  t.STOP_SECT_IDX = 0;
  t.SEMAPH_NEXT_IDX = Sim.AreaData.SlSects[s].Semaphore[t.HEAD.DIR];
  int d = t.HEAD.DIR;
  t.SECT_NEXT_IDX = NextSectionAhead(Sim, d, s);
  MarkOccupied(Sim, i);
}

void TestLine::Steps(int n, bool depart) {
  for (int k = 0; k < n; ++k) {
    Sim.State.ClockTime += kStepLength;
    if (depart) DepartTrains(Sim);
    MoveTrains(Sim, kStepLength);
  }
}

// ---------------------------------------------------------------------------
// Shipped districts

ShippedDistrict::ShippedDistrict(int number, unsigned seed) {
  static std::map<int, std::string> generated;  // Data.dat bytes, generated once per run
  std::string& bytes = generated[number];
  if (bytes.empty()) {
    const std::string description = std::string(TRAKLIN_SOURCE_DIR) + "/data/districts/" +
                                    std::to_string(number) + "/line.json";
    std::ifstream in(description, std::ios::binary);
    if (!in) throw std::runtime_error("no description " + description);
    std::ostringstream text;
    text << in.rdbuf();
    bytes = districtgen::DataDatText(
        districtgen::BuildDistrict(districtgen::ParseLineSpec(text.str())));
  }
  LoadAreaDataFromBytes(bytes, Sim.AreaData, Sim.MaxSpeedLimit, Sim.ReadDataError);
  PrepareDistrict(Sim.AreaData, SetupOptions{});
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

void ShippedDistrict::SetClock(int hhmm) {
  Sim.State.ClockTime = std::floor(Sim.State.ClockTime) + TimeFromHHMM(hhmm);
  Sim.LastSaveTime = Sim.State.ClockTime;
}

void ShippedDistrict::Steps(int n) {
  for (int k = 0; k < n; ++k) Sim.SimulationStep(kStepLength);
}

std::vector<std::string> ShippedDistrict::Faults() const {
  static const char* const kFaults[] = {" выехал за участок с секции ",
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
                                        "Перегон занят поездами в обоих направлениях"};
  std::vector<std::string> texts = Console.Notes, faults;
  for (const auto* boxes : {&Console.Infos, &Console.Questions})
    for (const RecordingConsole::Box& box : *boxes) texts.push_back(box.Text);
  for (const std::string& text : texts)
    for (const char* fault : kFaults)
      if (text.find(fault) != std::string::npos) {
        faults.push_back(text);
        break;
      }
  return faults;
}

int CreateTimetableTrain(Simulation& sim, int number) {
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
  const bool hauled = freight || loco.AccelType == 0;
  t.CARS = freight ? 50 : p.Cars;
  t.LEN = hauled ? loco.Length + (freight ? 12 : 26) * t.CARS : t.CARS * loco.Length;
  t.WEIGHT = hauled ? loco.Weight + 60 * t.CARS : t.CARS * loco.Weight;
  t.LOAD_TYPE = freight ? p.LoadType : 100;
  t.HEAD.SPEED_LIM_SECT = t.SPEED_LIM = sim.MaxSpeedLimit;
  sim.State.Trains.push_back(t);
  const int i = static_cast<int>(sim.State.Trains.size()) - 1;
  int throat = -1;
  int dir = number & 1;
  if (!ThroatOfNextStop(sim, throat, dir, FindLPIndex(area, t.CREATION_LP_CODE), i))
    dir = number & 1;
  sim.State.Trains[i].HEAD.DIR = sim.State.Trains[i].TAIL.DIR = static_cast<std::uint8_t>(dir & 1);
  EnterLP(sim, i, t.CREATION_LP_CODE);
  TTrainData& v = sim.State.Trains[i];
  v.TAIL.LP_CODE = v.HEAD.LP_CODE;
  v.CREATE_TIME = v.PLAN_CREATE_TIME = sim.State.ClockTime;
  v.REQUEST_TIME = sim.State.ClockTime - 1;
  v.REQUEST_TYPE = rqNone;
  return i;
}

int NeededHalves(const Simulation& sim, int lp, int r) {
  const TTrainRouteData& route = sim.AreaData.TrainRoutes[lp].Routes[r];
  int n = 0;
  while (n < kMaxRouteSections && route.Sections[n] != 0) ++n;
  return n < 2 ? 0 : 2 * n - 2;
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

// ---------------------------------------------------------------------------
// The careful dispatcher

namespace {

int DepartureThroat(Simulation& sim, int i, int lp) {
  int throat = -1;
  int dir = sim.State.Trains[i].HEAD.DIR;
  return ThroatOfNextStop(sim, throat, dir, lp, i) ? throat : -1;
}

}  // namespace

void Dispatcher::PlanHours(int hours) {
  const TDateTime now = sim_.State.ClockTime;
  for (const TCreationPlanData& plan : area_.CreationPlans) {
    const TDateTime at = std::floor(now) + TimeFromHHMM(plan.Time);
    if (plan.Parent == 0 && at >= now && at < now + hours / 24.0) Plan(at, plan.Number);
  }
}

void Dispatcher::Step() {
  FormDueTrains();
  UpdateHolds();
  for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i) Serve(i);
  d_.Steps(1);
  const auto gone =
      std::remove_if(alive_.begin(), alive_.end(), [&](int n) { return Find(n) < 0; });
  Gone += static_cast<int>(alive_.end() - gone);
  alive_.erase(gone, alive_.end());
}

int Dispatcher::Find(int number) const {
  for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i)
    if (sim_.State.Trains[i].NUMBER == number) return i;
  return -1;
}

bool Dispatcher::TrackTaken(int s) const {
  for (const Hold& h : holds_)
    if (h.Section == s) return true;
  return OccupyingTrain(sim_, s) >= 0;
}

bool Dispatcher::RouteFree(int lp, int r) const {
  return !RouteIsPending(sim_, lp, r) && !RouteIsSet(sim_, lp, r) &&
         !RouteIsOccupied(sim_, lp, r, false);
}

bool Dispatcher::ChainFree(int lp, int c) const {
  const TChainData& chain = area_.TrainRoutes[lp].Chains[c];
  for (int k = 0; k < kMaxChainRoutes && chain.Routes[k] >= 0; ++k)
    if (!RouteFree(lp, chain.Routes[k])) return false;
  return true;
}

void Dispatcher::FormDueTrains() {
  for (Due& due : plans_) {
    if (due.Number == 0 || due.At > sim_.State.ClockTime) continue;
    int i = Find(due.Number);
    if (i < 0) {
      i = CreateTimetableTrain(sim_, due.Number);
      alive_.push_back(due.Number);
      ++Formed;
    }
    // Put out on a free formation track from which it can leave.
    const TTrainData& t = sim_.State.Trains[i];
    const int lp = FindLPIndex(area_, t.CREATION_LP_CODE);
    const int throat = DepartureThroat(sim_, i, lp);
    for (int k = 0; k < area_.Puts[lp].TrackCount; ++k) {
      const int s = area_.Puts[lp].Tracks[k].Section;
      if (TrackTaken(s) || !TrackSuits(sim_, lp, k, i) || area_.SlSects[s].Length < t.LEN + 2 ||
          (throat >= 0 && FindBestRoute(area_, lp, s, area_.GorlStanzs[throat].EntrySection) < 0))
        continue;
      if (!PutOnTrack(sim_, i, lp, k)) throw std::runtime_error("the train does not fit");
      holds_.push_back({due.Number, -1, false, s, false});
      due.Number = 0;
      break;
    }
  }
  for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i)
    if (sim_.State.Trains[i].PLACE_TIME != 0 &&
        sim_.State.Trains[i].PLACE_TIME < sim_.State.ClockTime)
      ReleaseMadeUp(sim_, i);
}

void Dispatcher::UpdateHolds() {
  std::erase_if(holds_, [&](Hold& h) {
    const int i = Find(h.Number);
    if (i < 0) return true;
    const TTrainData& t = sim_.State.Trains[i];
    const bool on = h.Section > 0
                        ? t.HEAD.SECT_IDX == h.Section || t.TAIL.SECT_IDX == h.Section
                        : t.HEAD.PEREGON_IDX == h.Peregon || t.TAIL.PEREGON_IDX == h.Peregon;
    if (on) h.Reached = true;
    return h.Reached && !on;
  });
}

Dispatcher::Way Dispatcher::Departure(int i, int lp) const {
  const TTrainData& t = sim_.State.Trains[i];
  Way w;
  if (LPIsControlled(area_, lp)) {
    const auto& routes = area_.TrainRoutes[lp].Routes;
    for (int r = 0; r < static_cast<int>(routes.size()) && w.Route < 0; ++r) {
      if (routes[r].FirstSection != t.HEAD.SECT_IDX || RouteDirection(routes[r]) != t.HEAD.DIR)
        continue;
      const int p = FindGraphPeregonByEnd(area_, routes[r].LastSection, t.HEAD.DIR ^ 1);
      if (p >= 0 && RouteFree(lp, r)) w = {-1, r, p};
    }
    return w;
  }
  const int throat = DepartureThroat(sim_, i, lp);
  if (throat < 0) return w;
  const int c = FindBestRoute(area_, lp, t.HEAD.SECT_IDX, area_.GorlStanzs[throat].EntrySection);
  if (c >= 0 && ChainFree(lp, c)) w = {c, -1, area_.GorlStanzs[throat].Peregon - 1};
  return w;
}

Dispatcher::Way Dispatcher::Arrival(int i, int next, int p, int dir, int* track) const {
  Way w;
  const int throat = ThroatOnPeregon(sim_, next, p + 1);
  const int entry =
      throat >= 0 ? area_.GorlStanzs[throat].EntrySection : area_.GraphPeregons[p].EndSection[dir];
  RouteQuality best = InitRouteQuality();
  for (int k = 0; k < area_.Puts[next].TrackCount; ++k) {
    const int s = area_.Puts[next].Tracks[k].Section;
    if (TrackTaken(s) || !TrackSuits(sim_, next, k, i)) continue;
    if (LPIsControlled(area_, next)) {
      const auto& routes = area_.TrainRoutes[next].Routes;
      for (int r = 0; r < static_cast<int>(routes.size()) && w.Route < 0; ++r)
        if (routes[r].FirstSection == entry && routes[r].LastSection == s && RouteFree(next, r))
          w = {-1, r, p}, *track = s;
      continue;
    }
    RouteQuality rating;
    const int c = FindBestRoute(area_, next, entry, s, &rating);
    if (c < 0 || !ChainFree(next, c)) continue;
    if (w.Chain < 0 || CompareRouteQuality(best, rating) < 0)
      w = {c, -1, p}, best = rating, *track = s;
  }
  return w;
}

void Dispatcher::Order(int lp, const Way& w) {
  if (w.Chain >= 0)
    OrderChain(sim_, lp, w.Chain);
  else
    OrderRoute(sim_, lp, w.Route);
}

void Dispatcher::Serve(int i) {
  const TTrainData& t = sim_.State.Trains[i];
  if (t.PLACE_TIME != 0 || t.HEAD.SECT_IDX <= 0 || t.NEXT_LP_CODE == 0) return;
  if (t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE) return;
  int lp = -1;
  if (FindTrackOfSection(area_, lp, t.HEAD.SECT_IDX, false) < 0) return;
  if (std::find(served_.begin(), served_.end(), std::pair{t.NUMBER, lp}) != served_.end()) return;
  const int next = FindLPIndex(area_, t.NEXT_LP_CODE);
  if (next < 0) return;
  const Way out = Departure(i, lp);
  if (out.Peregon < 0) return;
  const bool towardsB = area_.GraphPeregons[out.Peregon].LP[0] - 1 == lp;
  for (const Hold& h : holds_)
    if (h.Section == 0 && h.Peregon == out.Peregon && h.TowardsB != towardsB) return;
  int track = -1;
  const Way in = Arrival(i, next, out.Peregon, t.HEAD.DIR, &track);
  if (in.Peregon < 0) return;
  Order(lp, out);
  Order(next, in);
  holds_.push_back({t.NUMBER, out.Peregon, towardsB, 0, false});
  holds_.push_back({t.NUMBER, -1, false, track, false});
  served_.push_back({t.NUMBER, lp});
}

}  // namespace traklin::test
