// Reading and checking line descriptions, and the synthetic line.
#include "districtgen/description.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <stdexcept>

#include "area/area_queries.h"
#include "trains/train_records.h"

namespace traklin::districtgen {

using nlohmann::json;

int LineSpec::CodeOfName(const std::string& name) const {
  int code = 1;
  for (const auto& n : OutsideLeft) {
    if (n == name) return code;
    ++code;
  }
  for (const auto& s : Stations) {
    if (s.Name == name) return code;
    ++code;
  }
  for (const auto& n : OutsideRight) {
    if (n == name) return code;
    ++code;
  }
  return 0;
}

namespace {

int ParseClock(const std::string& text) {
  int h = 0, m = 0;
  char colon = 0;
  if (std::sscanf(text.c_str(), "%d%c%d", &h, &colon, &m) != 3 || colon != ':' || h < 0 || h > 23 ||
      m < 0 || m > 59)
    throw std::runtime_error("bad time \"" + text + "\", expected HH:MM");
  return h * 60 + m;
}

int StationIndex(const LineSpec& line, const std::string& name) {
  for (std::size_t i = 0; i < line.Stations.size(); ++i)
    if (line.Stations[i].Name == name) return static_cast<int>(i);
  throw std::runtime_error("unknown district station \"" + name + "\"");
}

std::map<int, int> StationMinutes(const LineSpec& line, const json& object) {
  std::map<int, int> result;
  for (const auto& [name, value] : object.items())
    result[StationIndex(line, name)] = value.get<int>();
  return result;
}

}  // namespace

LineSpec ParseLineSpec(const std::string& jsonText) {
  LineSpec line;
  try {
    const json j = json::parse(jsonText);
    line.Number = j.at("number").get<int>();
    line.Title = j.value("title", std::string());
    line.BaseYear = j.value("base_year", 2024);
    if (j.contains("freight_numbers")) {
      line.FreightLow = j["freight_numbers"].at(0).get<int>();
      line.FreightHigh = j["freight_numbers"].at(1).get<int>();
    }
    line.OutsideLeft = j.value("outside_left", std::vector<std::string>());
    line.OutsideRight = j.value("outside_right", std::vector<std::string>());
    for (const auto& s : j.at("stations")) {
      StationSpec st;
      st.Name = s.at("name").get<std::string>();
      st.Mnem = s.value("mnem", st.Name);
      st.Manip = s.value("manip", st.Mnem);
      st.Km = s.value("km", 0);
      st.Controlled = s.value("controlled", false);
      st.SelfActing = s.value("self_acting", false);
      st.SendWithoutAsking = s.value("send_without_asking", 0);
      st.Flip = s.value("flip", false);
      for (const auto& t : s.at("tracks")) {
        TrackSpec tr;
        tr.Number = t.at(0).get<int>();
        tr.Kind = t.at(1).get<int>();
        tr.Mode = t.at(2).get<int>();
        if (t.size() > 3) tr.Length = t.at(3).get<int>();
        st.Tracks.push_back(tr);
      }
      line.Stations.push_back(st);
    }
    for (const auto& p : j.at("peregons")) {
      PeregonSpec pe;
      pe.Length = p.at("length").get<int>();
      pe.Blocks = p.value("blocks", 3);
      pe.Double = p.value("double", false);
      pe.PassengerSpeed = p.value("passenger_speed", 120);
      pe.FreightSpeed = p.value("freight_speed", 90);
      line.Peregons.push_back(pe);
    }
    for (const auto& t : j.value("trains", json::array())) {
      TrainSpec tr;
      tr.Number = t.at("number").get<int>();
      tr.Freight = t.value("freight", false);
      tr.From = StationIndex(line, t.at("from").get<std::string>());
      tr.To = StationIndex(line, t.at("to").get<std::string>());
      tr.Departure = ParseClock(t.at("depart").get<std::string>());
      if (t.contains("stops")) tr.Dwell = StationMinutes(line, t["stops"]);
      if (t.contains("change")) tr.LocoChange = StationMinutes(line, t["change"]);
      tr.Loco = t.value("loco", 2);
      tr.FinalDwell = t.value("final_dwell", 10);
      tr.Cars = tr.Freight ? 0 : 10;
      if (t.contains("plan") && t["plan"].is_boolean()) {
        tr.Plan = t["plan"].get<bool>();
      } else if (t.contains("plan")) {
        const json& p = t["plan"];
        auto code = [&](const char* key) {
          if (!p.contains(key)) return 0;
          const int c = line.CodeOfName(p[key].get<std::string>());
          if (c == 0)
            throw std::runtime_error("unknown station \"" + p[key].get<std::string>() + "\"");
          return c;
        };
        tr.PlanFrom = code("from");
        tr.PlanTo = code("to");
        tr.Lead = p.value("lead", 20);
        tr.Cars = p.value("cars", tr.Cars);
        tr.Load = p.value("load", 1);
        tr.Parent = p.value("parent", 0);
        tr.Calendar = p.value("calendar", 0);
        tr.Days = p.value("days", std::vector<int>());
        if (p.contains("dates")) {
          tr.StartDate = p["dates"].at(0).get<int>();
          tr.EndDate = p["dates"].at(1).get<int>();
        }
        tr.Name = p.value("name", std::string());
      }
      line.Trains.push_back(tr);
    }
  } catch (const json::exception& e) {
    throw std::runtime_error(std::string("bad description: ") + e.what());
  }
  ValidateLineSpec(line);
  return line;
}

void ValidateLineSpec(const LineSpec& line) {
  const int n = static_cast<int>(line.Stations.size());
  auto fail = [](const std::string& why) { throw std::runtime_error(why); };
  if (line.Number < 1 || line.Number > 999) fail("district number must be 1..999");
  if (n < 2) fail("a line needs at least two stations");
  if (static_cast<int>(line.Peregons.size()) != n - 1)
    fail(fmt::format("{} stations need {} peregons", n, n - 1));
  if (line.NameCount() < 12) fail("the station-name catalogue needs at least 12 names");
  if (line.OutsideLeft.empty() || line.OutsideRight.empty())
    fail("outside stations are needed on both ends");
  if (line.FreightLow < 1 || line.FreightHigh < line.FreightLow || line.FreightHigh > 9999)
    fail("bad freight number range");
  std::set<std::string> names;
  auto name_ok = [&](const std::string& name) {
    if (name.empty() || name.find_first_of(",;[]") != std::string::npos)
      fail("station name \"" + name + "\" is empty or holds , ; [ ]");
    if (!names.insert(name).second) fail("station name \"" + name + "\" is used twice");
  };
  for (const auto& s : line.OutsideLeft) name_ok(s);
  for (const auto& s : line.OutsideRight) name_ok(s);
  for (int i = 0; i < n; ++i) {
    const StationSpec& s = line.Stations[i];
    name_ok(s.Name);
    for (const auto* text : {&s.Mnem, &s.Manip})
      if (text->empty() || text->find_first_of(",;[]") != std::string::npos)
        fail("station \"" + s.Name + "\": short names must be non-empty without , ; [ ]");
    if (s.Tracks.empty() || s.Tracks.size() > 6)
      fail("station \"" + s.Name + "\" needs 1..6 tracks");
    if (s.Controlled && s.Tracks.size() > 5)
      fail("controlled station \"" + s.Name + "\" may have at most 5 tracks");
    if (s.Flip && i != n - 1) fail("only the last station may have a parity flip");
    if (s.Flip && line.Peregons[i - 1].Double) fail("a parity flip needs a single-track peregon");
    if (s.Flip && s.Controlled) fail("a controlled station cannot have a parity flip");
    if (s.Km < 0 || s.Km > 9999) fail("kilometre mark out of range");
    for (const auto& t : s.Tracks) {
      if (t.Kind < 1 || t.Kind > 5 || t.Mode < 1 || t.Mode > 3)
        fail("station \"" + s.Name + "\": track kind must be 1..5 and mode 1..3");
      if (t.Length < 100 || t.Length > 5000 || t.Number < 1 || t.Number > 1999)
        fail("station \"" + s.Name + "\": bad track length or number");
    }
  }
  for (const auto& p : line.Peregons) {
    if (p.Blocks < 1 || p.Blocks > 12) fail("a peregon has 1..12 block sections");
    if (p.Length < 200 * p.Blocks || p.Length / p.Blocks > 60000) fail("bad peregon length");
    if (p.PassengerSpeed < 20 || p.PassengerSpeed > 250 || p.FreightSpeed < 20 ||
        p.FreightSpeed > 250)
      fail("bad peregon speed");
  }
  std::set<int> numbers;
  for (const auto& t : line.Trains) {
    const std::string who = fmt::format("train {}", t.Number);
    if (t.Number < 1 || t.Number > 9999) fail(who + ": bad number");
    if (!numbers.insert(t.Number).second) fail(who + ": number used twice");
    if (t.From < 0 || t.From >= n || t.To < 0 || t.To >= n) fail(who + ": unknown station");
    if (t.From == t.To) fail(who + ": starts where it ends");
    if ((t.Number % 2 == 1) != (t.To > t.From))
      fail(who + ": odd numbers run to the right, even ones to the left");
    if (IsFreightTrainNumber(t.Number) != t.Freight)
      fail(who + ": the number does not match the train kind");
    if (t.Loco < 2) fail(who + ": the first locomotive must be 2 or more");
    if (t.Calendar < 0 || t.Calendar > 5) fail(who + ": calendar kind must be 0..5");
    if (!t.Freight && t.Plan && t.Cars < 1) fail(who + ": passenger plans need cars");
    if (t.Load < 0 || t.Load > 12) fail(who + ": load type must be 0..12");
    if (t.Name.find_first_of(",;[]") != std::string::npos) fail(who + ": bad plan name");
  }
}

int RunMinutes(int metres, bool freight) {
  const double speed = freight ? 55.0 : 80.0;  // km/h, with acceleration and braking
  return static_cast<int>(std::ceil(metres / (speed * 1000.0 / 60.0))) + (freight ? 2 : 1);
}

namespace {

int LongestSingleLine(const LineSpec& line) {
  int longest = 0;
  for (const PeregonSpec& p : line.Peregons)
    if (!p.Double) longest = std::max(longest, p.Length);
  return longest;
}

}  // namespace

int PairMinutes(const LineSpec& line) {
  const int longest = LongestSingleLine(line);
  return longest > 0 ? 2 * RunMinutes(longest, true) + kPairMarginMinutes : 0;
}

int DailyCapacity(const LineSpec& line) {
  const int pair = PairMinutes(line);
  return pair > 0 ? 2 * (1440 / pair) : std::numeric_limits<int>::max();
}

std::string CapacityNote(const LineSpec& line, int asked) {
  const int capacity = DailyCapacity(line);
  if (asked <= capacity) return "";
  return fmt::format(
      "note: the line takes about {} trains a day (a pair needs {} min on its longest "
      "single-line peregon, {} m); writing {} of the {} asked",
      capacity, PairMinutes(line), LongestSingleLine(line), capacity, asked);
}

std::vector<std::string> FormingNotes(const LineSpec& line) {
  std::vector<std::string> notes;
  const int n = static_cast<int>(line.Stations.size());
  for (const TrainSpec& t : line.Trains) {
    // A dependant train is formed on its parent's track; a train without a plan is not made.
    if (!t.Plan || t.Parent != 0 || t.From < 0 || t.From >= n) continue;
    const StationSpec& from = line.Stations[t.From];
    if (from.Controlled) {
      notes.push_back(fmt::format(
          "note: train {}: \"{}\" is controlled, and has no duty officer to put it out; it will "
          "wait there",
          t.Number, from.Name));
      continue;
    }
    const bool any4 = IsReversingNumber(t.Number) || IsGroup4000Number(t.Number);
    const int own = t.Freight ? 1 : 2;
    if (std::ranges::none_of(from.Tracks, [&](const TrackSpec& k) {
          return k.Mode == 2 && (k.Kind == 3 || k.Kind == own || (k.Kind == 4 && any4));
        }))
      notes.push_back(fmt::format(
          "note: train {}: \"{}\" has no track it may be formed on (mode 2, kind 3 or {}); it "
          "will wait there",
          t.Number, from.Name, own));
  }
  return notes;
}

// A synthetic line. Stations have two to four tracks; the two ends and the stations that drew
// four (the larger stations) are where trains start and end, and each of them has tracks of
// mode 2 on which trains are formed: a fifth track at a larger station, two of the four at an
// end (a dead end, where every train either starts or ends). The main track and track 3 take
// any train everywhere, so that two trains of any kind can cross at every station; a third
// track is for freight, a fourth for passenger trains.
//
// Every station acts by itself (its own LP code): it takes trains in, puts trains out and
// gives itself the departure commits. A station that asks its orders takes no train in
// until the dispatcher tells it to, so without a dispatcher the line would stand at the first
// one. None sends without asking: before it lets a train run through it asks "Разрешается
// отправление поезда …?", which the automatic dispatcher answers (and refuses while the line
// ahead is not safe) and a run without one answers as told.
//
// Traffic stays within the line's capacity: on a single line a pair of trains, one each way,
// holds the longest peregon for about twice a freight train's running time over it plus a few
// minutes (PairMinutes), so a day takes 1440 / PairMinutes pairs (DailyCapacity). More trains
// asked for than that are not written (CapacityNote says so). Departures are spread evenly
// over the day, the directions alternating, on peregons of 4..10 km.
LineSpec SyntheticLine(int stations, int trainsPerDay, unsigned seed) {
  if (stations < 2 || stations > 60)
    throw std::runtime_error("synthetic lines have 2..60 stations");
  if (trainsPerDay < 0 || trainsPerDay > 400) throw std::runtime_error("0..400 trains a day");
  std::mt19937 random(seed);
  auto draw = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  LineSpec line;
  line.Number = 9;
  line.Title = fmt::format("Линия {}", stations);
  for (int i = 0; i < 6; ++i) line.OutsideLeft.push_back(fmt::format("Запад-{}", 6 - i));
  for (int i = 0; i < 6; ++i) line.OutsideRight.push_back(fmt::format("Восток-{}", i + 1));
  const int last = stations - 1;
  std::vector<int> terminals;  // station indices where trains start and end, left to right
  int km = 0;
  for (int i = 0; i < stations; ++i) {
    StationSpec s;
    s.Name = fmt::format("Станция {}", i + 1);
    s.Mnem = fmt::format("Ст{}", i + 1);
    s.Manip = s.Mnem;
    s.Km = km;
    s.SelfActing = true;
    const bool end = i == 0 || i == last;
    const int tracks = end ? 4 : draw(2, 4);
    if (end) {
      s.Tracks = {{1001, 3, 1, 1100}, {3, 3, 1, 1050}, {4, 3, 2, 1050}, {5, 3, 2, 1050}};
    } else {
      s.Tracks = {{1001, 3, 1, 1100}, {3, 3, 1, 1050}};
      if (tracks >= 3) s.Tracks.push_back({4, 1, 1, 1050});
      if (tracks >= 4) s.Tracks.push_back({5, 2, 1, 1050});
      if (tracks >= 4) s.Tracks.push_back({6, 3, 2, 1050});
    }
    if (end || tracks >= 4) terminals.push_back(i);
    line.Stations.push_back(s);
    if (i < last) {
      PeregonSpec p;
      p.Length = draw(4, 10) * 1000;
      p.Blocks = draw(1, 4);
      line.Peregons.push_back(p);
      km += p.Length / 1000 + 1;
    }
  }
  const int trains = std::min(trainsPerDay, DailyCapacity(line));
  const int ends = static_cast<int>(terminals.size());
  int nextNumber[4] = {2001, 2002, 801, 802};
  for (int k = 0; k < trains; ++k) {
    TrainSpec t;
    const bool odd = k % 2 == 0;
    t.Freight = k % 3 != 2;
    int& number = nextNumber[(t.Freight ? 0 : 2) + (odd ? 0 : 1)];
    t.Number = number;
    number += 2;
    // Two different terminals, the left one first.
    int a = draw(0, ends - 1), b = draw(0, ends - 2);
    if (b >= a) ++b;
    if (a > b) std::swap(a, b);
    t.From = terminals[odd ? a : b];
    t.To = terminals[odd ? b : a];
    t.Departure = ((k * 1440) / std::max(1, trains) + draw(0, 5)) % 1440;
    for (int s = std::min(t.From, t.To) + 1; s < std::max(t.From, t.To); ++s)
      if (!t.Freight && draw(0, 1) == 0) t.Dwell[s] = 2;
    t.Loco = t.Freight ? 2 : 5;
    t.Cars = t.Freight ? 0 : draw(8, 14);
    t.Load = draw(0, 12);
    if (t.Load == 3) t.Load = 1;  // not a light locomotive
    line.Trains.push_back(t);
  }
  ValidateLineSpec(line);
  return line;
}

}  // namespace traklin::districtgen
