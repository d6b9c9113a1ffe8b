// Invariants every generated district must keep.
#include "tools/district_checks.h"

#include <fmt/format.h>

#include <QColor>
#include <QPainter>
#include <map>
#include <set>

#include "districtgen/pictures.h"

namespace traklin::districtgen::testing {

namespace {

bool IsPeregonSection(const District& d, int s) {
  return d.Sections[s].OwnLamp != 0;
}

int StationOfSection(const District& d, int s) {
  for (std::size_t i = 0; i < d.Tracks.size(); ++i)
    for (const auto& t : d.Tracks[i])
      if (t.Section == s) return static_cast<int>(i);
  for (std::size_t k = 1; k < d.Switches.size(); ++k)
    if (d.Switches[k].Section == s) {
      // A switch belongs to the station whose fragment holds its lamp.
      return d.LampAt(d.Switches[k].LampA).Station;
    }
  return -1;
}

}  // namespace

Faults CheckSections(const District& d) {
  Faults f;
  const int S = d.SectCount;
  if (static_cast<int>(d.Sections.size()) != S) f.push_back("S is not the highest section + 1");
  if (d.SwitchCount != static_cast<int>(d.Switches.size()) - 1)
    f.push_back("SwitchCount is not the highest switch");
  std::vector<int> switchSeen(d.Switches.size(), 0);
  for (int i = 1; i < S; ++i) {
    const Section& s = d.Sections[i];
    for (int e = 0; e < 2; ++e) {
      const int n = s.Straight[e];
      if (n < 0 || n >= S) f.push_back(fmt::format("section {} links out of range", i));
      if (n > 0) {
        const Section& o = d.Sections[n];
        const bool regular = o.Straight[1 - e] == i || o.Side[1 - e] == i;
        const bool flip = o.Straight[e] == i && o.Side[e] == 0 && s.Side[e] == 0;
        if (!regular && !flip)
          f.push_back(fmt::format("section {} -> {} does not point back", i, n));
        if (flip && (!IsPeregonSection(d, i) && !IsPeregonSection(d, n)))
          f.push_back(fmt::format("flip between {} and {} is not at a peregon end", i, n));
      }
      const int m = s.Side[e];
      if (m > 0) {
        const Section& o = d.Sections[m];
        if (o.Straight[1 - e] != i && o.Side[1 - e] != i)
          f.push_back(fmt::format("side link {} -> {} does not point back", i, m));
      }
      if ((s.Switch[e] != 0) != (s.Side[e] != 0))
        f.push_back(fmt::format("section {}: switch and side link disagree", i));
      if (s.Switch[e]) {
        if (s.Switch[e] >= static_cast<int>(d.Switches.size()) ||
            d.Switches[s.Switch[e]].Section != i)
          f.push_back(fmt::format("section {}: switch {} lies elsewhere", i, s.Switch[e]));
        else
          ++switchSeen[s.Switch[e]];
      }
    }
    const bool hasSwitch = s.Switch[0] || s.Switch[1];
    if (s.Switch[0] && s.Switch[1]) f.push_back(fmt::format("section {} has two switches", i));
    if (hasSwitch != (s.SideLength != 0) || hasSwitch != (s.SideLimit != 0))
      f.push_back(fmt::format("section {}: side length and limit must come with a switch", i));
    if (hasSwitch && (s.Signal[0] || s.Signal[1]))
      f.push_back(fmt::format("section {}: a signal stands on a switch", i));
    if ((s.Length != 0) != (s.PassengerLimit != 0) || (s.Length != 0) != (s.FreightLimit != 0))
      f.push_back(fmt::format("section {}: length without limits", i));
    if (s.Length > 65535 || s.Length <= 0) f.push_back(fmt::format("section {}: bad length", i));
  }
  for (std::size_t k = 1; k < switchSeen.size(); ++k)
    if (switchSeen[k] != 1) f.push_back(fmt::format("switch {} is not on exactly one section", k));
  return f;
}

Faults CheckPeregonsAndThroats(const District& d) {
  Faults f;
  const LineSpec& line = d.Line;
  for (std::size_t p = 0; p < d.Peregons.size(); ++p) {
    const GraphPeregon& g = d.Peregons[p];
    const int a = g.LP[0] - 1, b = g.LP[1] - 1;
    int s = g.EndSection;
    const int blocks = g.BlockLamps[1] - g.BlockLamps[0] + 1;
    if (StationOfSection(d, d.Sections[s].Straight[0]) != a)
      f.push_back(fmt::format("peregon {}: end section [0] is not next to A", p + 1));
    for (int k = 1; k < blocks; ++k) {
      const Section& sec = d.Sections[s];
      if (sec.Switch[0] || sec.Switch[1])
        f.push_back(fmt::format("peregon {} holds a switch", p + 1));
      s = sec.Straight[1];
      if (!IsPeregonSection(d, s)) {
        f.push_back(fmt::format("peregon {}: fewer sections than block lamps", p + 1));
        break;
      }
    }
    if (StationOfSection(d, d.Sections[s].Straight[1]) != b)
      f.push_back(fmt::format("peregon {}: walking Straight[1] does not reach B", p + 1));
  }
  for (const Throat& t : d.Throats) {
    int station = -1;
    for (std::size_t i = 0; i < line.Stations.size(); ++i)
      if (line.StationCode(static_cast<int>(i)) == t.Code) station = static_cast<int>(i);
    const GraphPeregon& g = d.Peregons.at(t.Peregon - 1);
    // The flip lies where the throat's peregon meets a flipped station.
    const int flip = (line.Stations[station].Flip && g.LP[1] - 1 == station) ? 1 : 0;
    const int end = t.Parity ^ flip ^ 1;
    if (g.LP[end] - 1 != station)
      f.push_back(fmt::format("throat of {}: parity does not face its peregon", t.Code));
    const bool right = g.LP[0] - 1 == station;
    const int low = right ? t.Code + 1 : 1;
    const int high = right ? line.NameCount() : t.Code - 1;
    if (t.Low != low || t.High != high)
      f.push_back(fmt::format("throat of {}: code range is not the codes beyond it", t.Code));
  }
  return f;
}

Faults CheckLamps(const District& d) {
  Faults f;
  const int n = static_cast<int>(d.Fragments.size());
  std::set<int> setup;
  for (int i = 1; i <= n; ++i) setup.insert(i);
  for (const auto& fr : d.Fragments)
    for (int k = 0; k < 2; ++k)
      if (fr.Commit[k]) {
        if (fr.Commit[k] % 2 != k) f.push_back("departure-commit lamp of the wrong parity");
        setup.insert(fr.Commit[k]);
      }
  for (const auto& g : d.Peregons) {
    for (int l : {g.DirectionLamps[0], g.DirectionLamps[0] + 1, g.DirectionLamps[1],
                  g.DirectionLamps[1] + 1})
      if (!setup.insert(l).second) f.push_back(fmt::format("set-up lamp {} used twice", l));
    for (int l = g.BlockLamps[0]; l <= g.BlockLamps[1]; ++l)
      if (!setup.insert(l).second) f.push_back(fmt::format("set-up lamp {} used twice", l));
  }
  if (!setup.empty() && *setup.rbegin() >= d.FirstLamp)
    f.push_back("set-up lamp not below FirstLamp");
  // Every file lamp lies inside the fragment of the station it shows.
  for (std::size_t k = 0; k < d.Lamps.size(); ++k) {
    const Lamp& l = d.Lamps[k];
    if (l.Station < 0 || l.Station >= n) {
      f.push_back(fmt::format("lamp {} lies outside every fragment", d.LampNumber(k)));
      continue;
    }
    const Fragment& fr = d.Fragments[l.Station];
    const LampLine e = LampEnds(l);
    for (auto [x, y] : {std::pair{e.X1, e.Y1}, std::pair{e.X2, e.Y2}})
      if (x < fr.Left || x >= fr.Right || y < fr.Top || y >= fr.Bottom)
        f.push_back(fmt::format("lamp {} leaves its fragment", d.LampNumber(k)));
  }
  for (std::size_t i = 0; i < d.Tracks.size(); ++i)
    for (const auto& t : d.Tracks[i]) {
      if (t.LampCount < 1 || t.LampCount > 5) f.push_back("a track lamp set holds 1..5 lamps");
      for (int l = t.FirstLamp; l < t.FirstLamp + t.LampCount; ++l)
        if (d.LampAt(l).Station != static_cast<int>(i))
          f.push_back("track lamp in another station");
    }
  return f;
}

Faults CheckPicture(const District& d) {
  Faults f;
  const QImage image = PaintPult(d);
  if (image.width() != d.PultWidth || image.height() != d.PultHeight) f.push_back("picture size");
  const QRgb background = image.pixel(0, image.height() - 1);
  if (background != kPultBackground) f.push_back("background is not the bottom-left pixel");
  // Each lamp's centre line, rasterised as the panel would with a 1-pixel pen, must fall on
  // drawn track pixels.
  for (std::size_t k = 0; k < d.Lamps.size(); ++k) {
    const LampLine e = LampEnds(d.Lamps[k]);
    const QRect box = QRect(QPoint(std::min(e.X1, e.X2), std::min(e.Y1, e.Y2)),
                            QPoint(std::max(e.X1, e.X2), std::max(e.Y1, e.Y2)))
                          .adjusted(-2, -2, 2, 2);
    QImage scratch(box.size(), QImage::Format_RGB32);
    scratch.fill(Qt::white);
    QPainter p(&scratch);
    p.setPen(QPen(Qt::black, 1));
    p.translate(-box.topLeft());
    p.drawLine(e.X1, e.Y1, e.X2, e.Y2);
    p.end();
    bool ok = true;
    for (int y = 0; y < box.height() && ok; ++y)
      for (int x = 0; x < box.width() && ok; ++x) {
        if (scratch.pixel(x, y) != qRgb(0, 0, 0)) continue;
        const QPoint at = box.topLeft() + QPoint(x, y);
        if (!image.valid(at) || image.pixel(at) != kPultTrack) {
          f.push_back(fmt::format("lamp {} pixel ({}, {}) is not on a drawn track line",
                                  d.LampNumber(k), at.x(), at.y()));
          ok = false;
        }
      }
  }
  return f;
}

Faults CheckTimetables(const District& d) {
  Faults f;
  const LineSpec& line = d.Line;
  std::map<int, int> indexOfCode;
  for (std::size_t i = 0; i < line.Stations.size(); ++i)
    indexOfCode[line.StationCode(static_cast<int>(i))] = static_cast<int>(i);
  std::set<int> pass, gruz;
  for (int dir = 0; dir < 2; ++dir)
    for (const auto* list : {&d.Pass[dir], &d.Gruz[dir]})
      for (const auto& t : *list) {
        (list == &d.Pass[dir] ? pass : gruz).insert(t.Number);
        if (t.Number % 2 != dir) f.push_back(fmt::format("train {} in the wrong list", t.Number));
        if (t.Stops.size() < 2 || t.Stops.front().Loco < 2)
          f.push_back(fmt::format("train {}: first stop needs a locomotive", t.Number));
        if (t.Stops.back().Code != t.LastLP)
          f.push_back(fmt::format("train {}: last stop is not the last LP", t.Number));
        for (std::size_t k = 0; k < t.Stops.size(); ++k) {
          const Stop& s = t.Stops[k];
          if (!indexOfCode.count(s.Code))
            f.push_back(fmt::format("train {}: unknown LP", t.Number));
          if (k + 1 < t.Stops.size() && s.Code == t.LastLP)
            f.push_back(fmt::format("train {}: stop list ends early", t.Number));
          if (k > 0 && std::abs(indexOfCode[s.Code] - indexOfCode[t.Stops[k - 1].Code]) != 1)
            f.push_back(fmt::format("train {}: skips an LP", t.Number));
          if (s.Departure == 0 || s.Departure % 100 > 59 || s.Departure / 100 > 23 ||
              s.Arrival % 100 > 59 || s.Arrival / 100 > 23)
            f.push_back(fmt::format("train {}: bad time", t.Number));
        }
      }
  for (const Plan& p : d.Plans) {
    const bool freight = p.Number > 999 && !(p.Number >= 6000 && p.Number <= 7500);
    if (!(freight ? gruz : pass).count(p.Number))
      f.push_back(fmt::format("plan {} has no timetable entry of its kind", p.Number));
    if (p.From < 1 || p.From > line.NameCount() || p.To < 1 || p.To > line.NameCount())
      f.push_back(fmt::format("plan {}: unknown station", p.Number));
  }
  return f;
}

Faults CheckFileRoutes(const District& d) {
  Faults f;
  for (const auto& g : d.RouteGroups)
    for (std::size_t r = 0; r < g.Routes.size(); ++r) {
      const Route& route = g.Routes[r];
      const std::string who = fmt::format("route {} of LP {}", r, g.Code);
      int dir = route.StartButton / 10 < route.EndButton / 10 ? 1 : 0;
      for (const auto& [w, minus] : route.Switches)
        if (w <= 0 || w > d.SwitchCount || w >= d.SwitchPosBase) f.push_back(who + ": bad switch");
      auto entries = [&](int w) {
        int count = 0;
        bool minus = false;
        for (const auto& e : route.Switches)
          if (e.first == w) ++count, minus = e.second;
        return std::pair{count, minus};
      };
      int s = route.First, prev = route.First;
      std::set<int> passed;
      for (int k = 1;; ++k) {
        if (k > 42 || s <= 0) {
          f.push_back(who + ": interrupted or too long");
          break;
        }
        const Section& sec = d.Sections[s];
        const int back = 1 - dir;
        if (sec.Switch[back] && s != route.First) {
          const auto [count, minus] = entries(sec.Switch[back]);
          if (count != 1) f.push_back(who + ": trailing switch not named once");
          if (minus != (sec.Side[back] == prev)) f.push_back(who + ": trailing switch position");
          passed.insert(sec.Switch[back]);
        }
        if (s == route.Last) break;
        int next = sec.Straight[dir];
        if (sec.Switch[dir]) {
          const auto [count, minus] = entries(sec.Switch[dir]);
          if (count != 1) f.push_back(who + ": facing switch not named once");
          next = minus ? sec.Side[dir] : sec.Straight[dir];
          passed.insert(sec.Switch[dir]);
        }
        const Section& nx = d.Sections[next > 0 ? next : 0];
        if (next > 0 && nx.Straight[1 - dir] != s && nx.Side[1 - dir] != s) dir = 1 - dir;
        prev = s;
        s = next;
      }
      if (passed.size() != route.Switches.size())
        f.push_back(who + ": names a switch it never passes");
    }
  return f;
}

Faults CheckAll(const District& d) {
  Faults all;
  for (auto check : {CheckSections, CheckPeregonsAndThroats, CheckLamps, CheckPicture,
                     CheckTimetables, CheckFileRoutes}) {
    Faults f = check(d);
    all.insert(all.end(), f.begin(), f.end());
  }
  return all;
}

}  // namespace traklin::districtgen::testing
