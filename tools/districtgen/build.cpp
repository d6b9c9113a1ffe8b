// Derives sections, switches, signals, lamps, throats, routes and timetables from a line.
#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "area/area_queries.h"
#include "districtgen/district.h"

namespace traklin::districtgen {
namespace {

// Picture geometry of a station, in pixels.
constexpr int kPad = 14;            // room for the entrance signal at each end
constexpr int kJunctionWidth = 26;  // the switch that splits a double line
constexpr int kSwitchStep = 24;     // distance between ladder switches
constexpr int kMiddle = 78;         // shortest main track
constexpr int kTrackStep = 16;      // vertical distance between tracks
constexpr int kTop = 70;            // fragment rectangle above the main line
constexpr int kNameOffset = 34;     // name lamp above the main line
constexpr int kRowGap = 36;
constexpr int kMarginLeft = 90;
constexpr int kMarginRight = 110;

int DiagonalRun(int depth) {
  return depth * 6 / 35;
}

struct StationShape {
  int Tracks = 1;
  bool Left = false, Right = false, LeftDouble = false, RightDouble = false;
  int LeftDepth = 0, RightDepth = 0;  // depth of the lower line of a double peregon
  int Width = 0, Bottom = 0;
};

struct Builder {
  const LineSpec& line;
  District d;
  std::vector<StationShape> shapes;
  int n = 0;
  // Per station: outermost section on each side for each line (0 main, 1 lower).
  std::vector<std::array<std::array<int, 2>, 2>> outer;  // [station][side L=0/R=1][line]
  std::vector<int> orientationLeft;                      // direction index of "left"
  std::vector<std::array<int, 2>> peregonNumbers;        // graph peregon numbers per peregon
  std::vector<std::vector<int>> peregonSections;         // per graph peregon, from end 0
  std::vector<int> nameLampFirstCommit;
  int offsetX = 0, offsetY = 0;  // local station picture -> Pult.bmp

  explicit Builder(const LineSpec& l) : line(l) { d.Line = l; }

  int NewSection(const std::string& note) {
    if (d.Sections.empty()) d.Sections.emplace_back();
    d.Sections.emplace_back();
    d.Sections.back().Note = note;
    return static_cast<int>(d.Sections.size()) - 1;
  }
  int NewSwitch(int section) {
    if (d.Switches.empty()) d.Switches.emplace_back();
    d.Switches.push_back({section, 0, 0, 0});
    return static_cast<int>(d.Switches.size()) - 1;
  }
  int AddLamp(int x, int y, int width, int shape) {
    if (width < 1 || width > 99) throw std::runtime_error("lamp too long for the panel");
    d.Lamps.push_back({x + offsetX, y + offsetY, width, shape, -1});
    return d.LampNumber(static_cast<int>(d.Lamps.size()) - 1);
  }
  // A horizontal lamp covering x1..x2 on the line yl.
  int HLamp(int x1, int x2, int yl) { return AddLamp(x1 - 1, yl - 1, x2 - x1 + 2, 0); }
  // A diagonal lamp leaving the line yl at xs and landing depth pixels lower.
  int DLamp(int xs, int yl, int depth, int shape) { return AddLamp(xs - 1, yl, depth, shape); }
  // A signal lamp: a short vertical bar above the line yl at x.
  int SLamp(int x, int yl) { return AddLamp(x - 1, yl - 10, 7, 2); }
  void AddStroke(int x1, int y1, int x2, int y2) {
    d.Strokes.push_back({x1 + offsetX, y1 + offsetY, x2 + offsetX, y2 + offsetY});
  }

  void Link(int a, int dirA, int b, int dirB, bool sideA = false, bool sideB = false) {
    (sideA ? d.Sections[a].Side : d.Sections[a].Straight)[dirA] = b;
    (sideB ? d.Sections[b].Side : d.Sections[b].Straight)[dirB] = a;
  }

  void Shapes();
  void Views();
  void SetupLamps();
  void Station(int i);
  void PeregonLine(int p, int lineIndex);
  void Throats();
  void Routes();
  void Timetables();
  void Header();
};

void Builder::Shapes() {
  n = static_cast<int>(line.Stations.size());
  shapes.resize(n);
  for (int i = 0; i < n; ++i) {
    StationShape& s = shapes[i];
    const StationSpec& st = line.Stations[i];
    s.Tracks = static_cast<int>(st.Tracks.size());
    s.Left = i > 0;
    s.Right = i + 1 < n;
    s.LeftDouble = s.Left && line.Peregons[i - 1].Double;
    s.RightDouble = s.Right && line.Peregons[i].Double;
    if (st.Controlled && (s.LeftDouble || s.RightDouble))
      throw std::runtime_error("a controlled station cannot meet a double line");
  }
  for (int p = 0; p + 1 < n; ++p) {
    if (!line.Peregons[p].Double) continue;
    const int depth = kTrackStep * std::max(shapes[p].Tracks, shapes[p + 1].Tracks);
    if (depth > 96) throw std::runtime_error("a double line needs stations of at most 6 tracks");
    shapes[p].RightDepth = depth;
    shapes[p + 1].LeftDepth = depth;
  }
  for (auto& s : shapes) {
    auto side = [&](bool present, bool dbl) {
      return present ? kPad + (dbl ? kJunctionWidth : 0) + (s.Tracks - 1) * kSwitchStep : kPad;
    };
    s.Width = side(s.Left, s.LeftDouble) + kMiddle + side(s.Right, s.RightDouble);
    s.Bottom = std::max({kTrackStep * (s.Tracks - 1), s.LeftDepth, s.RightDepth}) + 18;
  }
}

int PeregonGap(const PeregonSpec& p) {
  const int na = p.Blocks - p.Blocks / 2;
  return 40 * na + 48;
}

// Rows of stations no wider than maxWidth; peregons that cross rows run to the edges.
View RowLayout(const LineSpec& line, const std::vector<StationShape>& shapes, int maxWidth) {
  View v;
  const int n = static_cast<int>(shapes.size());
  int maxBottom = 0;
  for (const auto& s : shapes) maxBottom = std::max(maxBottom, s.Bottom);
  const int rowHeight = kTop + maxBottom + kRowGap;
  int x = kMarginLeft, row = 0, widest = 0;
  for (int i = 0; i < n; ++i) {
    if (i > 0) {
      const int gap = PeregonGap(line.Peregons[i - 1]);
      if (x + gap + shapes[i].Width + kMarginRight > maxWidth) {
        ++row;
        x = kMarginLeft;
      } else {
        x += gap;
      }
    }
    v.Places.push_back({x + shapes[i].Width / 2, kTop + row * rowHeight, 1000 + kNameOffset, 0});
    x += shapes[i].Width;
    widest = std::max(widest, x + kMarginRight);
  }
  v.Width = std::max(widest, 400);
  v.Height = (row + 1) * rowHeight + 8;
  v.ClockLeft = 8;
  return v;
}

void Builder::Views() {
  int natural = kMarginLeft + kMarginRight;
  for (int i = 0; i < n; ++i)
    natural += shapes[i].Width + (i > 0 ? PeregonGap(line.Peregons[i - 1]) : 0);
  const int first = std::min(natural, 1900);
  d.Views.push_back(RowLayout(line, shapes, first));
  d.Views.push_back(RowLayout(line, shapes, std::max(700, std::min(1280, natural * 3 / 5))));
  d.PultWidth = d.Views[0].Width;
  d.PultHeight = d.Views[0].Height;
}

void Builder::SetupLamps() {
  // Graph peregon numbers: the upper line first, then the lower one of a double line.
  int number = 0;
  for (int p = 0; p + 1 < n; ++p) {
    std::array<int, 2> nums = {++number, 0};
    if (line.Peregons[p].Double) nums[1] = ++number;
    peregonNumbers.push_back(nums);
  }
  d.Peregons.resize(number);
  d.PeregonLengths.resize(number);
  d.PeregonStations.resize(number);
  peregonSections.resize(number);
  // Lamps below FirstLamp: name lamps 1..F, departure commits (even lamp = even side),
  // peregon direction lamps, block lamps.
  int next = n + 1;
  if (next % 2) ++next;
  d.Fragments.resize(n);
  for (int i = 0; i < n; ++i) {
    if (line.Stations[i].Controlled) continue;
    d.Fragments[i].Commit[0] = next;
    d.Fragments[i].Commit[1] = next + 1;
    next += 2;
  }
  for (auto& gp : d.Peregons) {
    gp.DirectionLamps[0] = next;
    gp.DirectionLamps[1] = next + 2;
    next += 4;
  }
  for (int p = 0; p + 1 < n; ++p)
    for (int k = 0; k < 2; ++k) {
      if (peregonNumbers[p][k] == 0) continue;
      auto& gp = d.Peregons[peregonNumbers[p][k] - 1];
      gp.BlockLamps[0] = next;
      gp.BlockLamps[1] = next + line.Peregons[p].Blocks - 1;
      next += line.Peregons[p].Blocks;
    }
  d.FirstLamp = next;
}

void Builder::Station(int i) {
  const StationSpec& st = line.Stations[i];
  const StationShape& s = shapes[i];
  const ViewPlace& place = d.Views[0].Places[i];
  offsetX = place.X - s.Width / 2;
  offsetY = place.Y;
  const int L = st.Flip ? 1 : 0, R = 1 - L;
  orientationLeft[i] = L;
  const int N = s.Tracks;
  Fragment& f = d.Fragments[i];
  f.Left = offsetX;
  f.Right = offsetX + s.Width;
  f.Top = offsetY - kTop;
  f.Bottom = offsetY + s.Bottom;
  f.AnchorX = place.X;
  f.AnchorY = place.Y;
  f.Code = line.StationCode(i);
  f.Km = st.Km;
  f.Icon = st.Controlled ? kTrackStep * (N - 1) + 4 : 0;
  const std::string& name = st.Name;

  // Track sections first, so that every switch knows where its side branch goes.
  std::vector<int> track(N);
  for (int j = 0; j < N; ++j) {
    track[j] = NewSection(fmt::format("{}: track {}", name, st.Tracks[j].Number));
    Section& sec = d.Sections[track[j]];
    sec.Length = st.Tracks[j].Length;
    sec.PassengerLimit = j == 0 ? 100 : 60;
    sec.FreightLimit = j == 0 ? 90 : 60;
  }
  auto switchSection = [&](const std::string& what) {
    const int id = NewSection(fmt::format("{}: {}", name, what));
    Section& sec = d.Sections[id];
    sec.Length = 120;
    sec.SideLength = 130;
    sec.PassengerLimit = 100;
    sec.FreightLimit = 90;
    sec.SideLimit = 50;
    return id;
  };
  // Left end of each track (picture x) and right end.
  std::vector<int> startX(N, kPad), endX(N, s.Width - kPad);

  auto& out = outer[i];
  out = {{{0, 0}, {0, 0}}};
  if (s.Left) {
    int x0 = kPad;
    int inner = 0;  // section the ladder hangs on, seen from the station
    if (s.LeftDouble) {
      const int xj = kPad + 12;
      const int j = switchSection("junction of the double line, even end");
      const int w = NewSwitch(j);
      d.Sections[j].Switch[L] = w;
      d.Sections[j].SideLimit = 80;
      d.Switches[w].LampPlus = HLamp(2, xj - 2, 0);
      d.Switches[w].LampA = HLamp(xj + 2, xj + 12, 0);
      d.Switches[w].LampMinus = DLamp(xj, 0, s.LeftDepth, 3);
      AddStroke(0, s.LeftDepth, xj - DiagonalRun(s.LeftDepth) - 2, s.LeftDepth);
      out[0] = {j, j};
      inner = j;
      x0 = kPad + kJunctionWidth;
    }
    int prev = inner;
    for (int k = 1; k < N; ++k) {
      const int xs = x0 + 12 + (k - 1) * kSwitchStep;
      const int sec = switchSection(fmt::format("switch to track {}", st.Tracks[N - k].Number));
      const int w = NewSwitch(sec);
      d.Sections[sec].Switch[R] = w;
      d.Switches[w].LampA = HLamp(xs - 10, xs - 2, 0);
      d.Switches[w].LampPlus = HLamp(xs + 2, xs + 10, 0);
      const int depth = kTrackStep * (N - k);
      d.Switches[w].LampMinus = DLamp(xs, 0, depth, 1);
      startX[N - k] = xs + DiagonalRun(depth) + 3;
      Link(sec, R, track[N - k], L, true, false);
      if (prev) Link(prev, R, sec, L);
      if (!out[0][0]) out[0] = {sec, 0};
      prev = sec;
    }
    if (N > 1)
      startX[0] = x0 + 12 + (N - 2) * kSwitchStep + 13;
    else
      startX[0] = x0 + 1;
    if (prev) Link(prev, R, track[0], L);
    if (!out[0][0]) out[0][0] = track[0];
    AddStroke(0, 0, s.LeftDouble ? 2 : (N > 1 ? x0 + 2 : startX[0]), 0);
  }
  if (s.Right) {
    int x0 = s.Width - kPad;
    int inner = 0;
    if (s.RightDouble) {
      const int xj = s.Width - kPad - 12;
      const int j = switchSection("junction of the double line, odd end");
      const int w = NewSwitch(j);
      d.Sections[j].Switch[R] = w;
      d.Sections[j].SideLimit = 80;
      d.Switches[w].LampA = HLamp(xj - 12, xj - 2, 0);
      d.Switches[w].LampPlus = HLamp(xj + 2, s.Width - 2, 0);
      d.Switches[w].LampMinus = DLamp(xj, 0, s.RightDepth, 1);
      AddStroke(xj + DiagonalRun(s.RightDepth) + 2, s.RightDepth, s.Width, s.RightDepth);
      out[1] = {j, j};
      inner = j;
      x0 = s.Width - kPad - kJunctionWidth;
    }
    int prev = inner;
    for (int k = 1; k < N; ++k) {
      const int xs = x0 - 12 - (k - 1) * kSwitchStep;
      const int sec = switchSection(fmt::format("switch to track {}", st.Tracks[N - k].Number));
      const int w = NewSwitch(sec);
      d.Sections[sec].Switch[L] = w;
      d.Switches[w].LampA = HLamp(xs + 2, xs + 10, 0);
      d.Switches[w].LampPlus = HLamp(xs - 10, xs - 2, 0);
      const int depth = kTrackStep * (N - k);
      d.Switches[w].LampMinus = DLamp(xs, 0, depth, 3);
      endX[N - k] = xs - DiagonalRun(depth) - 3;
      Link(sec, L, track[N - k], R, true, false);
      if (prev) Link(prev, L, sec, R);
      if (!out[1][0]) out[1] = {sec, 0};
      prev = sec;
    }
    if (N > 1)
      endX[0] = x0 - 12 - (N - 2) * kSwitchStep - 13;
    else
      endX[0] = x0 - 1;
    if (prev) Link(prev, L, track[0], R);
    if (!out[1][0]) out[1][0] = track[0];
    AddStroke(s.RightDouble ? s.Width - 2 : (N > 1 ? x0 - 2 : endX[0]), 0, s.Width, 0);
  }
  // Dead ends of a terminal station: a buffer stop at each track.
  for (int j = 0; j < N; ++j) {
    const int y = kTrackStep * j;
    if (!s.Left) AddStroke(startX[j] - 2, y - 4, startX[j] - 2, y + 4);
    if (!s.Right) AddStroke(endX[j] + 2, y - 4, endX[j] + 2, y + 4);
  }
  // Track lamps (three per track) and exit signals.
  d.Tracks[i].resize(N);
  for (int j = 0; j < N; ++j) {
    const int y = kTrackStep * j;
    const int a = startX[j], b = endX[j];
    const int seg = (b - a - 4) / 3;
    if (seg < 6) throw std::runtime_error("station " + name + " is too narrow");
    Track& t = d.Tracks[i][j];
    t.Section = track[j];
    t.FirstLamp = HLamp(a, a + seg, y);
    HLamp(a + seg + 2, a + 2 * seg + 2, y);
    HLamp(a + 2 * seg + 4, b, y);
    t.LampCount = 3;
    t.Number = st.Tracks[j].Number;
    t.Mode = st.Tracks[j].Mode;
    t.Kind = st.Tracks[j].Kind;
    t.Order = j;
    // A dead end gets its signal too: an entry route into a terminal needs a signal beyond
    // it to lead to, or the entry signal could never open.
    d.Sections[track[j]].Signal[R] = SLamp(b - 6, y);
    d.Sections[track[j]].Signal[L] = SLamp(a + 6, y);
    d.Labels.push_back(
        {(a + b) / 2 + offsetX, y - 4 + offsetY, FormatTrackName(st.Tracks[j].Number)});
  }
}

// The sections of one line of peregon p (0 upper/only, 1 lower of a double line).
void Builder::PeregonLine(int p, int lineIndex) {
  const PeregonSpec& spec = line.Peregons[p];
  const int number = peregonNumbers[p][lineIndex];
  GraphPeregon& gp = d.Peregons[number - 1];
  const int a = p, b = p + 1;
  gp.LP[0] = a + 1;
  gp.LP[1] = b + 1;
  const Fragment& fa = d.Fragments[a];
  const Fragment& fb = d.Fragments[b];
  const int ya = lineIndex ? shapes[a].RightDepth : 0;
  gp.Offsets[0] = fa.Right - fa.AnchorX;
  gp.Offsets[1] = ya;
  gp.Offsets[2] = fb.Left - fb.AnchorX;
  gp.Offsets[3] = ya;
  d.PeregonLengths[number - 1] = spec.Length;
  d.PeregonStations[number - 1] = {a, b};
  std::vector<int>& secs = peregonSections[number - 1];
  int rest = spec.Length;
  for (int k = 0; k < spec.Blocks; ++k) {
    const int id =
        NewSection(fmt::format("peregon {} - {}{}: block section {}", line.Stations[a].Mnem,
                               line.Stations[b].Mnem, lineIndex ? " (lower line)" : "", k + 1));
    Section& sec = d.Sections[id];
    sec.Length = rest / (spec.Blocks - k);
    rest -= sec.Length;
    sec.PassengerLimit = spec.PassengerSpeed;
    sec.FreightLimit = spec.FreightSpeed;
    sec.OwnLamp = gp.BlockLamps[0] + k;
    if (!secs.empty()) Link(secs.back(), 1, id, 0);
    secs.push_back(id);
  }
  gp.EndSection = secs.front();
  // Ends: the station section beside the peregon. A side link only at a junction.
  const int aOuter = outer[a][1][lineIndex];
  const int aDirR = 1 - orientationLeft[a];
  Link(secs.front(), 0, aOuter, aDirR, false, lineIndex == 1);
  const int bOuter = outer[b][0][lineIndex];
  const int bDirL = orientationLeft[b];
  Link(secs.back(), 1, bOuter, bDirL, false, lineIndex == 1);
  // Entrance signals, drawn inside the station they lead into.
  offsetX = fa.Left;
  offsetY = fa.AnchorY;
  d.Sections[secs.front()].Signal[0] = SLamp(shapes[a].Width - 7, ya);
  offsetX = fb.Left;
  offsetY = fb.AnchorY;
  d.Sections[secs.back()].Signal[1] = SLamp(6, ya);
}

void Builder::Throats() {
  const int maxCode = line.NameCount();
  for (int i = 0; i < n; ++i) {
    const StationSpec& st = line.Stations[i];
    if (st.Controlled) continue;
    const int code = line.StationCode(i);
    if (i > 0) {
      const auto& nums = peregonNumbers[i - 1];
      // Upper line brings odd trains in, the lower one takes even trains out.
      for (int k = 0; k < 2; ++k) {
        if (!nums[k]) continue;
        Throat t{code, st.Flip ? 1 : 0, 0, k, nums[k], 1, code - 1};
        if (nums[1]) t.Side = k == 0 ? -1 : 1;
        d.Throats.push_back(t);
      }
    }
    if (i + 1 < n) {
      const auto& nums = peregonNumbers[i];
      for (int k = 0; k < 2; ++k) {
        if (!nums[k]) continue;
        Throat t{code, 1, 0, k, nums[k], code + 1, maxCode};
        if (nums[1]) t.Side = k == 0 ? 1 : -1;
        d.Throats.push_back(t);
      }
    }
  }
}

// Finds the path from `first` to `last` starting in direction dir, over facing switches
// either way; returns the switches passed (number, minus).
bool FindPath(const District& d, int first, int last, int dir,
              std::vector<std::pair<int, bool>>& switches) {
  std::function<bool(int, int, int, int)> walk = [&](int s, int prev, int dirNow, int depth) {
    if (depth > 42 || s == 0) return false;
    const Section& sec = d.Sections[s];
    const int back = 1 - dirNow;
    const std::size_t mark = switches.size();
    if (sec.Switch[back] && prev) switches.push_back({sec.Switch[back], sec.Side[back] == prev});
    if (s == last) return true;
    auto step = [&](int next, bool side) {
      if (!next) return false;
      const Section& nx = d.Sections[next];
      // A link that comes back through the same direction index flips the parity.
      const bool regular = nx.Straight[1 - dirNow] == s || nx.Side[1 - dirNow] == s;
      const int nd = (!side && !regular) ? 1 - dirNow : dirNow;
      return walk(next, s, nd, depth + 1);
    };
    if (sec.Switch[dirNow]) {
      const std::size_t m2 = switches.size();
      switches.push_back({sec.Switch[dirNow], true});
      if (step(sec.Side[dirNow], true)) return true;
      switches.resize(m2);
      switches.push_back({sec.Switch[dirNow], false});
      if (step(sec.Straight[dirNow], false)) return true;
      switches.resize(mark);
      return false;
    }
    if (step(sec.Straight[dirNow], false)) return true;
    switches.resize(mark);
    return false;
  };
  switches.clear();
  return walk(first, 0, dir, 0);
}

void Builder::Routes() {
  auto make = [&](int i, int startButton, int endButton, int first, int last, int dir) {
    Route r{startButton, endButton, d.Sections[first].OwnLamp, d.Sections[last].OwnLamp, first,
            last,        {}};
    if (!FindPath(d, first, last, dir, r.Switches))
      throw std::runtime_error("no route in station " + line.Stations[i].Name);
    return r;
  };
  bool minus = false;
  for (int i = 0; i < n; ++i) {
    if (!line.Stations[i].Controlled) continue;
    RouteGroup g{line.StationCode(i), {}};
    const int N = shapes[i].Tracks;
    const int L = orientationLeft[i], R = 1 - L;
    for (int j = 0; j < N; ++j) {
      const int t = d.Tracks[i][j].Section;
      if (shapes[i].Left) {
        const int pe = peregonSections[peregonNumbers[i - 1][0] - 1].back();
        g.Routes.push_back(make(i, 11, 21 + j, pe, t, R));
        g.Routes.push_back(make(i, 21 + j, 11, t, pe, L));
      }
      if (shapes[i].Right) {
        const int pe = peregonSections[peregonNumbers[i][0] - 1].front();
        g.Routes.push_back(make(i, 31 + j, 41, t, pe, R));
        g.Routes.push_back(make(i, 41, 31 + j, pe, t, L));
      }
    }
    for (const auto& r : g.Routes)
      for (const auto& sw : r.Switches) minus = minus || sw.second;
    d.RouteGroups.push_back(g);
  }
  d.SwitchCount = static_cast<int>(d.Switches.size()) - 1;
  if (d.SwitchCount < 0) d.SwitchCount = 0;
  if (d.SwitchCount >= 10 && !minus) {
    // Stations with throats get their routes at start-up; one file route over a minus
    // switch is still needed so that the switch-entry base is read as it is meant.
    for (int i = 0; i < n && !minus; ++i) {
      if (line.Stations[i].Controlled || shapes[i].Tracks < 2 || !shapes[i].Left) continue;
      const int pe = peregonSections[peregonNumbers[i - 1][0] - 1].back();
      const int t = d.Tracks[i][1].Section;
      RouteGroup g{line.StationCode(i), {make(i, 11, 22, pe, t, 1)}};
      minus = true;
      d.RouteGroups.push_back(g);
    }
    if (!minus) throw std::runtime_error("too many switches without a minus route");
  }
  // The base the reader will end with: it grows while an entry exceeds base + SwitchCount.
  auto raised = [&](int entry) {
    int base = 10;
    while (entry - base > d.SwitchCount) base *= 10;
    return base;
  };
  for (int base = 10; base <= 10000; base *= 10) {
    if (base <= d.SwitchCount) continue;
    bool ok = true;
    bool any = false;
    for (const auto& g : d.RouteGroups)
      for (const auto& r : g.Routes)
        for (const auto& sw : r.Switches)
          if (sw.second) {
            any = true;
            if (raised(sw.first + base) != base) ok = false;
          }
    if (ok && (any || base == 10)) {
      d.SwitchPosBase = base;
      return;
    }
  }
  throw std::runtime_error("switch entries cannot be encoded");
}

int Hhmm(int minutes, bool nonZero) {
  minutes = ((minutes % 1440) + 1440) % 1440;
  const int v = minutes / 60 * 100 + minutes % 60;
  return (nonZero && v == 0) ? 1 : v;
}

void Builder::Timetables() {
  for (const TrainSpec& t : line.Trains) {
    TimetableTrain tt;
    tt.Number = t.Number;
    const int step = t.To > t.From ? 1 : -1;
    int clock = t.Departure;
    for (int s = t.From;; s += step) {
      Stop stop;
      stop.Code = line.StationCode(s);
      if (s == t.From) {
        stop.Arrival = Hhmm(clock - 10, true);
        stop.Departure = Hhmm(clock, true);
        stop.Loco = t.Loco;
      } else if (s == t.To) {
        stop.Arrival = Hhmm(clock, true);
        stop.Departure = Hhmm(clock + t.FinalDwell, true);
      } else {
        auto change = t.LocoChange.find(s);
        auto dwell = t.Dwell.find(s);
        int stand = dwell != t.Dwell.end() ? dwell->second : 0;
        if (change != t.LocoChange.end()) {
          stand = std::max(stand, 12);
          stop.Loco = change->second;
        }
        if (stand > 0) {
          stop.Arrival = Hhmm(clock, true);
          clock += stand;
        } else {
          clock += 1;
        }
        stop.Departure = Hhmm(clock, true);
      }
      tt.Stops.push_back(stop);
      if (s == t.To) break;
      const int p = step > 0 ? s : s - 1;
      clock += RunMinutes(line.Peregons[p].Length, t.Freight);
    }
    tt.LastLP = tt.Stops.back().Code;
    (t.Freight ? d.Gruz : d.Pass)[t.Number % 2].push_back(tt);
    if (!t.Plan) continue;
    Plan plan;
    plan.Time = Hhmm(t.Departure - t.Lead, false);
    plan.Number = t.Number;
    plan.Name = t.Name;
    plan.Parent = t.Parent;
    plan.From = t.PlanFrom ? t.PlanFrom : line.StationCode(t.From);
    plan.To = t.PlanTo ? t.PlanTo : line.StationCode(t.To);
    if (t.Freight) {
      plan.Q1 = t.Load;
    } else {
      plan.Q1 = t.Cars;
      plan.Q2 = t.StartDate;
      plan.Q3 = t.EndDate;
      plan.Q4 = t.Calendar;
      if (t.Calendar != 0) plan.Days = t.Days;
    }
    d.Plans.push_back(plan);
  }
}

void Builder::Header() {
  d.SectCount = static_cast<int>(d.Sections.size());
  if (d.SectCount == 0) d.SectCount = 1;
  long total = 0;
  for (int len : d.PeregonLengths) total += len;
  total += 2000L * n;
  // Graph height at 40 % stays well inside 32767 pixels even at 500 %.
  d.GraphScale = static_cast<int>(std::clamp(2400L * 1000 / std::max(total, 1L), 5L, 1000L));
  for (std::size_t k = 0; k < d.Lamps.size(); ++k) {
    Lamp& lamp = d.Lamps[k];
    for (int f = n - 1; f >= 0; --f) {
      const Fragment& fr = d.Fragments[f];
      if (fr.Left <= lamp.X && lamp.X < fr.Right && fr.Top <= lamp.Y && lamp.Y < fr.Bottom) {
        lamp.Station = f;
        break;
      }
    }
  }
}

}  // namespace

District BuildDistrict(const LineSpec& line) {
  ValidateLineSpec(line);
  Builder b(line);
  b.Shapes();
  b.Views();
  b.SetupLamps();
  b.outer.resize(b.n);
  b.orientationLeft.assign(b.n, 0);
  b.d.Tracks.resize(b.n);
  for (int i = 0; i < b.n; ++i) b.Station(i);
  for (int p = 0; p + 1 < b.n; ++p) {
    b.PeregonLine(p, 0);
    if (b.peregonNumbers[p][1]) b.PeregonLine(p, 1);
  }
  b.Throats();
  b.Routes();
  b.Timetables();
  b.Header();
  if (b.d.SectCount > 4095) throw std::runtime_error("too many sections");
  return std::move(b.d);
}

}  // namespace traklin::districtgen
