// Small test districts for the train tests, and the helpers that place and drive trains.
#include "trains/harness.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "area/area_queries.h"
#include "state/clock.h"
#include "state/interlocking.h"
#include "trains/stops.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin::test {

const char* const kLine = R"(
station 1 Alfa 1 15; station 2 Beta 1 12; station 3 Gamma 1 9; station 4 Delta 0 5
station 5 Epsilon 1 0; lp 6 Post; lp 7 Plain
sections 500 1 13 30 31 32 33 34 35; sections 1200 2 8 12; sections 300 3 7 9
sections 1500 4 5 6; section 11 2000; sections 400 20 21 23 24 25 26 27 28 29
chain 1 2 3 4 5 6 7 8 9 11 12 13
chain 21 20 23 28; switch 1 20 0 24 420 40; chain 25 26 29; switch 2 26 1 27 420 40
chain 31 30; chain 32 33; flip 31 32
track 1 2 1 3 0; track 2 8 1 3 0; track 3 12 1 3 0; track 4 28 205 3 0; track 5 33 1 3 0
track 6 34 1012 3 0; track 7 35 3 3 0
signal 2 0 1; signal 6 0 0; signal 8 0 1; signal 8 1 1; signal 11 0 0
peregon 2 1 6 4 150 152; peregon 3 2 11 11 154 156
route 1 0 2 3; route 2 0 6 7 8; route 2 0 8 9; route 3 0 11 12
throat 2 1 1 1 6
pass 2 3; stop 0 1 0 1201 0; stop 0 2 1210 1212 0; stop 0 3 1220 1221 0
pass 4 3; stop 0 1 0 1200 0; stop 0 2 0 0 0
pass 10 3; stop 0 1 0 1150 0; stop 0 2 1200 1204 0
pass 12 3; stop 0 1 0 1150 0; stop 0 2 1200 1206 0
pass 14 3; stop 0 1 0 1150 0; stop 0 2 1200 1204 1
pass 16 3; stop 0 1 0 1150 0; stop 0 2 1200 1204 3
pass 18 3; stop 0 1 0 2350 0; stop 0 2 5 10 0
pass 20 1; stop 0 1 0 1200 0; stop 0 2 1210 1220 3; stop 0 1 1230 1231 0
)";

namespace {

int LPByCode(const TAreaData& area, int code) {
  const int lp = FindLPIndex(area, code);
  if (lp < 0) throw std::runtime_error("unknown LP code in test district");
  return lp;
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
  const auto sect = [&](int s) -> TSlSectData& {
    area.SlSects.resize(std::max<std::size_t>(area.SlSects.size(), s + 2));
    area.SectCount = std::max(area.SectCount, s + 1);
    return area.SlSects[s];
  };
  TGraphTrainData* last = nullptr;  // the timetable train the stop lines belong to
  std::string statements = text;
  std::replace(statements.begin(), statements.end(), ';', '\n');
  std::istringstream lines(statements);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream in(line.substr(0, line.find('#')));
    std::string word, name;
    int a = 0, b = 0, c = 0;
    if (!(in >> word)) continue;
    if (word == "station" || word == "lp") {  // stations first, then the further LPs
      TPutData& p = area.Puts.emplace_back();
      in >> p.Code >> name;
      area.LPCount = static_cast<int>(area.Puts.size());
      area.Stations[p.Code].Name = name;
      area.Stations[p.Code].LPCode = p.Code;
      if (word == "lp") continue;
      TStanzData& st = area.Stanzs.emplace_back();
      st.Code = p.Code;
      in >> st.Value2 >> area.GraphFragms.emplace_back().Coordinate;
      area.LPMnemNames.push_back(name);
      area.StationCount++;
    } else if (word == "track") {
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
      if (word == "section") in >> d.PassengerSpeedLimit >> d.FreightSpeedLimit, sect(a) = d;
      while (word == "sections" && in >> a) sect(a) = d;
    } else if (word == "chain") {
      for (in >> a; in >> b; a = b) sect(a).Straight[0] = b, sect(b).Straight[1] = a;
    } else if (word == "flip") {
      in >> a >> b;
      sect(a).Straight[1] = b, sect(b).Straight[1] = a;
      sect(a).Flip[1] = sect(b).Flip[1] = 1;
    } else if (word == "switch") {
      int w = 0, side = 0;
      in >> w >> a >> b >> side;
      area.Strels.resize(std::max<std::size_t>(area.Strels.size(), w + 1));
      area.Strels[w].Section = a;
      area.Strels[w].OddEnd = static_cast<std::uint8_t>(b);
      area.SwitchCount = std::max(area.SwitchCount, w);
      sect(side).Straight[b ^ 1] = a;
      TSlSectData& s = sect(a);
      s.Switch[b] = w;
      s.Side[b] = side;
      in >> s.SideLength >> s.SideSpeedLimit;
    } else if (word == "signal") {
      in >> a >> b >> c;
      sect(a).Semaphore[b] = static_cast<int>(area.Semaphores.size());
      TSemaphoreData& g = area.Semaphores.emplace_back();
      g.Section = a;
      g.Direction = static_cast<std::uint8_t>(b);
      g.Kind = static_cast<std::uint8_t>(c);
    } else if (word == "peregon") {
      TGraphPeregonData& p = area.GraphPeregons.emplace_back();
      in >> a >> b >> p.EndSection[0] >> p.EndSection[1] >> p.DirectionLamps[0] >>
          p.DirectionLamps[1];
      p.LP[0] = LPByCode(area, a) + 1;
      p.LP[1] = LPByCode(area, b) + 1;
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
      area.TrainRoutes[lp].RouteCount++;
    } else if (word == "pass") {
      TGraphTrainData t;
      in >> t.Numbers[0] >> t.LastLP;
      last = &area.PassTrains[t.Numbers[0] & 1].emplace_back(t);
    } else if (word == "stop") {
      TStopData s;
      in >> s.Section >> s.LPCode >> s.Arrival >> s.Departure >> s.LocoType;
      last->Stops.push_back(s);
    } else if (word == "throat") {
      TGorlStanzData& g = area.GorlStanzs.emplace_back();
      in >> g.Code >> a >> g.Side >> g.Peregon >> g.EntrySection;
      g.Parity = static_cast<std::uint8_t>(a);
    } else {
      throw std::runtime_error("unknown statement in test district: " + word);
    }
  }
  area.TrainRoutes.resize(area.Puts.size());
  for (int k = 0; k < area.LPCount; ++k) area.TrainRoutes[k].Code = area.Puts[k].Code;
  area.SlSects.resize(area.SectCount + 1);
  area.Sekzs.assign(area.SlSects.size(), 0);
  for (int s = 1; s < area.SectCount; ++s) area.Sekzs[s] = s;
  return area;
}

TestLine::TestLine(const std::string& text, unsigned seed) {
  Sim.AreaData = BuildDistrict(text);
  Sim.MaxSpeedLimit = 80;
  for (const auto& s : Sim.AreaData.SlSects)
    Sim.MaxSpeedLimit = std::max({Sim.MaxSpeedLimit, s.PassengerSpeedLimit, s.FreightSpeedLimit});
  Sim.Random.Seed(seed);
  StateInit(Sim, DateParts{2023, 3, 13});
  Sim.State.ClockTime = 45000.5;
  Sim.Console = &Console;
}

int TestLine::LPIndex(int code) const {
  return LPByCode(Sim.AreaData, code);
}

int TestLine::Add(const NewTrain& n) {
  TTrainData& t = Sim.State.Trains.emplace_back();
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
  return static_cast<int>(Sim.State.Trains.size()) - 1;
}

void TestLine::Place(int i, int lpCode, int track) {
  if (!PutOnTrack(Sim, i, LPIndex(lpCode), track)) throw std::runtime_error("train did not fit");
  ReleaseMadeUp(Sim, i);
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
  t.DEPARTURE_TIME = t.STOP_SECT_IDX = 0;
  t.DEPARTURE_COMMISSION = true;
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

}  // namespace traklin::test
