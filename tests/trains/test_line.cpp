// Small test districts built from text, a recording console and train placing helpers.
#include "trains/test_line.h"

#include <sstream>
#include <stdexcept>

#include "area/area_queries.h"
#include "state/clock.h"
#include "trains/stops.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin::test {

namespace {

int LPByCode(const TAreaData& area, int code) {
  for (int k = 0; k < static_cast<int>(area.Puts.size()); ++k)
    if (area.Puts[k].Code == code) return k;
  throw std::runtime_error("unknown LP code in test district");
}

TSlSectData& Sect(TAreaData& area, int s) {
  if (s >= static_cast<int>(area.SlSects.size())) area.SlSects.resize(s + 2);
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
    const auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream in(line);
    std::string word;
    if (!(in >> word)) continue;
    if (word == "station" || word == "lp") {
      TPutData p;
      std::string name;
      in >> p.Code >> name;
      area.Stations[p.Code].Name = name;
      area.Stations[p.Code].LPCode = p.Code;
      if (word == "station") {
        TStanzData st;
        st.Code = p.Code;
        int km = 0;
        in >> st.Value2 >> km;
        area.Stanzs.push_back(st);
        TGraphFragmData f;
        f.Coordinate = km;
        area.GraphFragms.push_back(f);
        area.LPMnemNames.push_back(name);
        area.Puts.push_back(p);
        area.StationCount++;
      } else {
        others.push_back(p);
      }
      continue;
    }
    // Further LPs follow the stations.
    for (auto& p : others) area.Puts.push_back(p);
    others.clear();
    area.LPCount = static_cast<int>(area.Puts.size());
    if (word == "track") {
      int code = 0;
      TTrackData k;
      in >> code >> k.Section >> k.Number >> k.Kind >> k.Mode;
      auto& put = area.Puts[LPByCode(area, code)];
      put.Tracks.push_back(k);
      put.TrackCount = static_cast<int>(put.Tracks.size());
    } else if (word == "section") {
      int s = 0;
      TSlSectData d;
      in >> s >> d.Length;
      d.PassengerSpeedLimit = d.FreightSpeedLimit = 80;
      in >> d.PassengerSpeedLimit >> d.FreightSpeedLimit;
      Sect(area, s) = d;
      area.SectCount = std::max(area.SectCount, s + 1);
    } else if (word == "chain") {
      int a = 0;
      int b = 0;
      in >> a;
      while (in >> b) {
        Sect(area, a).Straight[0] = b;
        Sect(area, b).Straight[1] = a;
        a = b;
      }
    } else if (word == "flip") {
      int a = 0;
      int b = 0;
      in >> a >> b;
      Sect(area, a).Straight[1] = b;
      Sect(area, b).Straight[1] = a;
      Sect(area, a).Flip[1] = 1;
      Sect(area, b).Flip[1] = 1;
    } else if (word == "switch") {
      int w = 0, s = 0, end = 0, side = 0, len = 0, lim = 0;
      in >> w >> s >> end >> side >> len >> lim;
      if (w >= static_cast<int>(area.Strels.size())) area.Strels.resize(w + 1);
      area.Strels[w].Section = s;
      area.Strels[w].OddEnd = static_cast<std::uint8_t>(end);
      area.SwitchCount = std::max(area.SwitchCount, w);
      Sect(area, s).Switch[end] = w;
      Sect(area, s).Side[end] = side;
      Sect(area, s).SideLength = len;
      Sect(area, s).SideSpeedLimit = lim;
      Sect(area, side).Straight[end ^ 1] = s;
    } else if (word == "signal") {
      TSemaphoreData g;
      int s = 0, dir = 0, kind = 0;
      in >> s >> dir >> kind;
      g.Section = s;
      g.Direction = static_cast<std::uint8_t>(dir);
      g.Kind = static_cast<std::uint8_t>(kind);
      Sect(area, s).Semaphore[dir] = static_cast<int>(area.Semaphores.size());
      area.Semaphores.push_back(g);
    } else if (word == "peregon") {
      int a = 0, b = 0;
      TGraphPeregonData p;
      in >> a >> b >> p.EndSection[0] >> p.EndSection[1] >> p.DirectionLamps[0] >>
          p.DirectionLamps[1];
      p.LP[0] = a > 0 ? LPByCode(area, a) + 1 : 0;
      p.LP[1] = b > 0 ? LPByCode(area, b) + 1 : 0;
      area.GraphPeregons.push_back(p);
    } else if (word == "route") {
      int code = 0, dir = 0;
      in >> code >> dir;
      const int lp = LPByCode(area, code);
      if (lp >= static_cast<int>(area.TrainRoutes.size())) area.TrainRoutes.resize(lp + 1);
      TTrainRouteData r;
      r.StartKind = dir == 1 ? 1 : 2;
      r.EndKind = dir == 1 ? 2 : 1;
      std::string tok;
      int n = 0;
      int sw = 0;
      while (in >> tok) {
        if (tok == "sw") {
          int w = 0, minus = 0;
          in >> w >> minus;
          r.SwitchNumber[sw] = w;
          r.SwitchMinus[sw] = static_cast<std::uint8_t>(minus);
          r.Switches[sw] = w + (minus ? area.SwitchPosBase : 0);
          ++sw;
        } else {
          r.Sections[n++] = std::stoi(tok);
        }
      }
      r.FirstSection = r.Sections[0];
      r.LastSection = r.Sections[n - 1];
      area.TrainRoutes[lp].Code = code;
      area.TrainRoutes[lp].Routes.push_back(r);
      area.TrainRoutes[lp].RouteCount = static_cast<int>(area.TrainRoutes[lp].Routes.size());
    } else if (word == "pass" || word == "freight") {
      TGraphTrainData t;
      in >> t.Numbers[0] >> t.LastLP;
      auto& list =
          word == "pass" ? area.PassTrains[t.Numbers[0] & 1] : area.GruzTrains[t.Numbers[0] & 1];
      list.push_back(t);
      lastTrain = &list.back();
    } else if (word == "stop") {
      TStopData s;
      in >> s.Section >> s.LPCode >> s.Arrival >> s.Departure >> s.LocoType;
      lastTrain->Stops.push_back(s);
    } else if (word == "throat") {
      TGorlStanzData g;
      int parity = 0;
      in >> g.Code >> parity >> g.Side >> g.Peregon >> g.EntrySection;
      g.Parity = static_cast<std::uint8_t>(parity);
      area.GorlStanzs.push_back(g);
    } else if (word == "plan") {
      TCreationPlanData p;
      in >> p.Time >> p.Number;
      area.CreationPlans.push_back(p);
    } else {
      throw std::runtime_error("unknown statement in test district: " + word);
    }
  }
  for (auto& p : others) area.Puts.push_back(p);
  area.LPCount = static_cast<int>(area.Puts.size());
  area.TrainRoutes.resize(area.Puts.size());
  for (int k = 0; k < static_cast<int>(area.Puts.size()); ++k)
    area.TrainRoutes[k].Code = area.Puts[k].Code;
  area.SlSects.resize(area.SectCount + 1);
  area.Sekzs.assign(area.SlSects.size(), 0);
  for (int s = 1; s < area.SectCount; ++s) area.Sekzs[s] = s;
  return area;
}

TestLine::TestLine(const std::string& text, unsigned seed) {
  Sim.AreaData = BuildDistrict(text);
  const TAreaData& area = Sim.AreaData;
  Sim.MaxSpeedLimit = 80;
  for (const auto& s : area.SlSects)
    Sim.MaxSpeedLimit = std::max({Sim.MaxSpeedLimit, s.PassengerSpeedLimit, s.FreightSpeedLimit});
  TStateData& st = Sim.State;
  st.ClockTime = 45000.5;  // 13 March 2023, 12:00
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

int TestLine::AddTrain(int number, int loadType, int cars, int len, int weight, int loco, int dir,
                       int lpCode, int arrivalCode) {
  TTrainData t;
  t.NUMBER = t.SCHEDULE_NUMBER = number;
  t.LOAD_TYPE = loadType;
  t.CARS = cars;
  t.LEN = len;
  t.WEIGHT = weight;
  t.LOCO_IDX = loco;
  t.HEAD.DIR = t.TAIL.DIR = static_cast<std::uint8_t>(dir);
  t.HEAD.LP_CODE = t.TAIL.LP_CODE = lpCode;
  t.CREATION_LP_CODE = t.PLAN_CREATION_LP_CODE = lpCode;
  t.ARRIVAL_LP_CODE = t.PLAN_ARRIVAL_LP_CODE = arrivalCode;
  t.SPEED_LIM = t.HEAD.SPEED_LIM_SECT = Sim.MaxSpeedLimit;
  t.SCHEDULE_IDX = 0;
  t.CREATE_TIME = t.PLAN_CREATE_TIME = Sim.State.ClockTime;
  t.REQUEST_TIME = Sim.State.ClockTime - 1;
  Sim.State.Trains.push_back(t);
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
    const bool even = (k == 0 && D == 0) || (k == n - 1 && D == 1) || (k > 0 && k < n - 1);
    const bool odd = (k == 0 && D == 1) || (k == n - 1 && D == 0) || (k > 0 && k < n - 1);
    if (even) x.ROUTE_EVEN = r, x.LP_EVEN = lp;
    if (odd) x.ROUTE_ODD = r, x.LP_ODD = lp;
  }
  for (int k = 0; k < kMaxRouteSwitches && route.SwitchNumber[k] != 0; ++k)
    Sim.State.Switches[route.SwitchNumber[k]] = route.SwitchMinus[k];
  Sim.State.Routes[lp][r] = TRouteControlData{0, true};
  const int g = Sim.AreaData.SlSects[route.FirstSection].Semaphore[D];
  if (g >= 0) {
    Sim.State.Semaphores[g].SECT_NEXT = route.LastSection;
    Sim.State.Semaphores[g].CLOSED = false;
    Sim.State.Semaphores[g].NEXT_WARNING = false;
  }
}

void TestLine::OpenSignal(int section, int dir, bool nextWarning, bool sideWarning) {
  const int g = Sim.AreaData.SlSects[section].Semaphore[dir];
  Sim.State.Semaphores[g].CLOSED = false;
  Sim.State.Semaphores[g].SECT_NEXT = section;
  Sim.State.Semaphores[g].NEXT_WARNING = nextWarning;
  Sim.State.Semaphores[g].SIDE_WARNING = sideWarning;
}

void TestLine::Steps(int n, bool depart) {
  for (int k = 0; k < n; ++k) {
    Sim.State.ClockTime += kStepLength;
    if (depart) DepartTrains(Sim);
    MoveTrains(Sim, kStepLength);
  }
}

}  // namespace traklin::test
