// Section readers of Data.dat: sections, switches, section links and signals, file routes.
#include <cstdio>

#include "area/area_queries.h"
#include "area/area_reader_internal.h"

namespace traklin::area_reader {

void ReadSekzs(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Sekz");
  static constexpr std::string_view kTooFew = "Too few section values";
  TSekzsData sekzs(static_cast<std::size_t>(ctx.Area.SectCount) + 1, 0);
  int section = 0;
  while (in.NextRecord(section, kTooFew)) {
    if (section > ctx.Area.SectCount) in.Fail("Section index out of bounds");
    if (sekzs[static_cast<std::size_t>(section)] != 0) in.Fail("Double section index");
    sekzs[static_cast<std::size_t>(section)] = in.Need(kTooFew);
  }
  in.ExpectEnd("Data after end of sections values");
  ctx.Area.Sekzs = std::move(sekzs);
}

void ReadStrels(ReadContext& ctx) {
  DataReader& in = ctx.In;
  TAreaData& area = ctx.Area;
  in.FindSection("Data_Str");
  std::uint16_t counts[3] = {0, 0, 0};
  for (auto& count : counts) {
    if (!in.ReadListNumber(count)) in.Fail("No switch data lamp counts");
  }
  if (counts[0] < 1 || counts[1] < 1 || counts[2] < 1) {
    in.Fail("Illegal switch data lamp counts");
  }
  if (counts[0] > 2 || counts[1] > 3 || counts[2] > 3) {
    in.Fail("Unsupported switch data lamp counts");
  }
  area.SwitchLampsA = counts[0];
  area.SwitchLampsPlus = counts[1];
  area.SwitchLampsMinus = counts[2];

  static constexpr std::string_view kTooFew = "Too few switch values";
  TStrelsData strels;
  auto lamp = [&] {
    const int v = in.Need(kTooFew);
    if (!LampInRange(area, v)) in.Fail("Lamp index out of bounds");
    return v;
  };
  int section = 0;
  while (in.NextRecord(section, kTooFew)) {
    if (section > area.SectCount) in.Fail("Section index out of bounds");
    const int number = in.Need(kTooFew);
    TStrelData s;
    s.Section = section;
    s.Value3 = in.Need(kTooFew);
    for (int k = 0; k < area.SwitchLampsA; ++k) s.LampsA[k] = lamp();
    for (int k = 0; k < area.SwitchLampsPlus; ++k) s.PlusLamps[k] = lamp();
    for (int k = 0; k < area.SwitchLampsMinus; ++k) s.MinusLamps[k] = lamp();
    int r = s.LampsA[0];
    for (int k = 0; r == 0 && k < area.SwitchLampsMinus; ++k) {
      if (area.GraphLamps[static_cast<std::size_t>(s.MinusLamps[k])].Width == 0) {
        r = s.MinusLamps[k];
      }
    }
    if (r > 0) OrientMinusLamps(area.GraphLamps, s.MinusLamps, area.SwitchLampsMinus, r);
    if (static_cast<std::size_t>(number) >= strels.size()) {
      strels.resize(static_cast<std::size_t>(number) + 1);
    }
    strels[static_cast<std::size_t>(number)] = s;
  }
  in.ExpectEnd("Data after end of switch values");
  // Every switch number up to SwitchCount must be a valid index, also for switches that the
  // file names only in section links.
  if (strels.size() < static_cast<std::size_t>(area.SwitchCount) + 1) {
    strels.resize(static_cast<std::size_t>(area.SwitchCount) + 1);
  }
  area.Strels = std::move(strels);
}

void ReadGrStrels(ReadContext& ctx) {
  DataReader& in = ctx.In;
  const int sectCount = ctx.Area.SectCount;
  in.FindSection("Data_Gr_Str");
  static constexpr std::string_view kTooFew = "Too few switch group values";
  auto section = [&](int low) {
    const int v = in.Need(kTooFew);
    if (v < low || v > sectCount) in.Fail("Section index out of bounds");
    return v;
  };
  TGrStrelsData groups;
  int first = 0;
  while (in.NextRecord(first, kTooFew)) {
    TGrStrelData g;
    g.Value1 = first;
    g.Section1 = section(1);
    g.Section2 = section(1);
    g.Section3 = section(0);
    groups.push_back(g);
  }
  in.ExpectEnd("Data after end of switch group values");
  ctx.Area.GrStrels = std::move(groups);
}

namespace {

struct TrackHit {
  int LP = -1;
  int Track = -1;
};

// The track holding a section, searching every LP; a second holder is an error of the file.
TrackHit FindTrackOfSectionUnique(const DataReader& in, const TPutsData& puts, int section) {
  TrackHit first;
  for (std::size_t lp = 0; lp < puts.size(); ++lp) {
    const TTracksData& tracks = puts[lp].Tracks;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
      if (tracks[t].Section != section) continue;
      if (first.LP < 0) {
        first = {static_cast<int>(lp), static_cast<int>(t)};
        continue;
      }
      char text[96];
      std::snprintf(text, sizeof text, "Double track section (%04Xh) usage (%zu-%zu <> %d-%d)",
                    static_cast<unsigned>(section), lp, t, first.LP, first.Track);
      in.Fail(text);
    }
  }
  return first;
}

TrackHit FindTrackOfSectionFirst(const TPutsData& puts, int section) {
  for (std::size_t lp = 0; lp < puts.size(); ++lp) {
    const TTracksData& tracks = puts[lp].Tracks;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
      if (tracks[t].Section == section) return {static_cast<int>(lp), static_cast<int>(t)};
    }
  }
  return {};
}

}  // namespace

void ReadSlSects(ReadContext& ctx) {
  DataReader& in = ctx.In;
  TAreaData& area = ctx.Area;
  in.FindSection("Data_Sl_Sekz");
  static constexpr std::string_view kTooFew = "Too few sl sekz values";
  const int s = area.SectCount;
  TSlSectsData sl(static_cast<std::size_t>(s) + 1);
  auto at = [&](int n) -> TSlSectData& { return sl[static_cast<std::size_t>(n)]; };

  auto readSwitch = [&] {
    const int v = in.Need(kTooFew);
    if (v > area.SwitchCount) in.Fail("Switch groups unsupported yet");
    return v;
  };
  auto readNeighbour = [&](int i) {
    const int n = in.Need(kTooFew);
    if (n == i) in.Fail("Section cannot link to itself");
    if (n > s) in.Fail("Section index out of bounds");
    return n;
  };
  auto addSignal = [&](int i, int lamp, int direction, bool uniqueTrack) {
    if (lamp == 0) {
      at(i).Semaphore[direction] = -1;
      return;
    }
    if (at(i).Switch[0] != 0 || at(i).Switch[1] != 0) {
      in.Fail("Semaphore should be before the switch, not at it");
    }
    const TrackHit hit = uniqueTrack ? FindTrackOfSectionUnique(in, area.Puts, i)
                                     : FindTrackOfSectionFirst(area.Puts, i);
    TSemaphoreData sem;
    if (hit.LP >= 0) {
      at(i).TrackLP = hit.LP;
      at(i).Track = hit.Track;
    }
    sem.Kind = hit.LP >= 0 ? 1 : 3;
    sem.Direction = static_cast<std::uint8_t>(direction);
    sem.Lamp = lamp;
    sem.Section = i;
    sem.Next = -1;
    sem.LP = hit.LP;
    area.Semaphores.push_back(sem);
    at(i).Semaphore[direction] = static_cast<int>(area.Semaphores.size()) - 1;
  };
  auto readLamp = [&] {
    const int v = in.Need(kTooFew);
    if (!LampInRange(area, v)) in.Fail("Lamp index out of bounds");
    return v;
  };
  auto strel = [&](int number) -> TStrelData& {
    return area.Strels[static_cast<std::size_t>(number)];
  };

  // Reads the switch and the two neighbours at end d of section i and checks them against the
  // sections already read: a neighbour must link back through its other end (a regular link)
  // or, straight on, through the same end (a parity flip).
  auto readEnd = [&](int i, int d, const char* straightFlipFault, const char* straightMislink,
                     const char* sideMislink) {
    TSlSectData& cur = at(i);
    const int back = d ^ 1;
    cur.Switch[d] = readSwitch();
    if (cur.Switch[d] != 0) strel(cur.Switch[d]).OddEnd = d == kOdd ? 1 : 0;
    if (d == kEven && cur.Switch[kEven] != 0 && cur.Switch[kOdd] != 0) {
      in.Fail("Section may have either even or odd switch");
    }
    int n = cur.Straight[d] = readNeighbour(i);
    if (n > 0 && n < i) {
      TSlSectData& other = at(n);
      if (other.Straight[back] == i || other.Side[back] == i) {
        if (other.Flip[back]) in.Fail(straightFlipFault);
      } else if (other.Straight[d] == i && other.Side[d] == 0) {
        other.Flip[d] = 1;
        cur.Flip[d] = 1;
        ++area.ParityFlipCount;
      } else {
        in.Fail(straightMislink);
      }
    }
    n = cur.Side[d] = readNeighbour(i);
    if ((cur.Switch[d] != 0) != (n != 0)) in.Fail("Section with switch data incomplete");
    if (n > 0 && n < i) {
      const TSlSectData& other = at(n);
      if (other.Straight[back] != i && other.Side[back] != i) in.Fail(sideMislink);
      if (other.Flip[back]) in.Fail("Indefinite parity reverse");
    }
  };

  for (int i = 1; i < s; ++i) {
    readEnd(i, kOdd, "Indefinite parity reverse", "Mislinking section (odd direction straight)",
            "Mislinking section (odd direction to the side)");
    readEnd(i, kEven, "Indefinite parity flip", "Mislinking section (even direction straight)",
            "Mislinking section (even direction to the side)");
    TSlSectData& cur = at(i);
    // Lengths.
    const bool hasSwitch = cur.Switch[kEven] != 0 || cur.Switch[kOdd] != 0;
    cur.Length = in.Need(kTooFew);
    cur.SideLength = in.Need(kTooFew);
    if (hasSwitch != (cur.SideLength != 0)) in.Fail("Section with switch data incomplete");
    cur.Throat[0] = cur.Throat[1] = -1;
    cur.TrackLP = cur.Track = -1;
    // Signals: odd before even.
    cur.SignalLamp[kOdd] = readLamp();
    addSignal(i, cur.SignalLamp[kOdd], kOdd, true);
    cur.SignalLamp[kEven] = readLamp();
    addSignal(i, cur.SignalLamp[kEven], kEven, false);
    // Speed limits.
    for (int* limit : {&cur.PassengerSpeedLimit, &cur.FreightSpeedLimit}) {
      *limit = in.Need(kTooFew);
      if ((*limit != 0) != (cur.Length != 0)) {
        in.Fail("Section len without section speed limit (or vice versa)");
      }
      if (*limit > ctx.MaxSpeedLimit) ctx.MaxSpeedLimit = *limit;
    }
    cur.SideSpeedLimit = in.Need(kTooFew);
    if ((cur.SideSpeedLimit != 0) != hasSwitch) in.Fail("Section with switch data incomplete");
    if ((cur.SideSpeedLimit != 0) != (cur.SideLength != 0)) {
      in.Fail("Section len without section speed limit");
    }
  }
  in.ExpectEnd("Data after end of sl sekz values");
  area.SlSects = std::move(sl);
}

void ReadTrainRoutes(ReadContext& ctx) {
  DataReader& in = ctx.In;
  TAreaData& area = ctx.Area;
  in.FindSection("Data_Marsh_P");
  static constexpr std::string_view kTooFew = "Too few train routes group values";
  TTrainRoutesData routes;
  for (const TPutData& put : area.Puts) {
    TLPRoutesData lp;
    lp.Code = put.Code;
    routes.push_back(std::move(lp));
  }
  auto button = [&](int& kind, int& position) {
    const int b = in.Need(kTooFew);
    kind = b / 10;
    position = b % 10;
    if (kind > 4 || position > 6) in.Fail("Unsupported route button");
  };
  auto lamp = [&] {
    const int v = in.Need(kTooFew);
    if (!LampInRange(area, v)) in.Fail("Lamp index out of bounds");
    return v;
  };
  auto section = [&] {
    const int v = in.Need(kTooFew);
    if (v < 1 || v > area.SectCount) in.Fail("Section index out of bounds");
    return v;
  };
  int code = 0;
  while (in.NextRecord(code, kTooFew)) {
    const int lp = FindLPIndex(area, code);
    if (lp < 0) in.Fail("Unknown LP code");
    TLPRoutesData group;
    group.Code = code;
    group.RouteCount = in.Need(kTooFew);
    group.SwitchCount = in.Need(kTooFew);
    if (group.SwitchCount > kMaxRouteSwitches) in.Fail("Unsupported train routes switch count");
    for (int r = 0; r < group.RouteCount; ++r) {
      TTrainRouteData route;
      button(route.StartKind, route.StartPosition);
      button(route.EndKind, route.EndPosition);
      route.StartLamp = lamp();
      route.EndLamp = lamp();
      route.FirstSection = section();
      route.LastSection = section();
      for (int z = 0; z < group.SwitchCount; ++z) {
        const int entry = in.Need(kTooFew);
        while (entry - area.SwitchPosBase > area.SwitchCount) {
          if (area.SwitchPosBase > 10000) in.Fail("Too many switches");
          area.SwitchPosBase *= 10;
        }
        route.Switches[z] = entry;
      }
      group.Routes.push_back(route);
    }
    routes[static_cast<std::size_t>(lp)] = std::move(group);
  }
  in.ExpectEnd("Data after end of train routes values");
  area.TrainRoutes = std::move(routes);
}

void ReadManeuvreRoutes(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Marsh_M");
  std::uint16_t first = 0;
  if (!in.ReadListNumber(first) || first != kTerminator) in.Fail("Maneuvres routes unsupported.");
  in.ExpectEnd("Data after end of maneuvres routes");
}

void ReadSparGrStrels(ReadContext& ctx) {
  DataReader& in = ctx.In;
  const TAreaData& area = ctx.Area;
  in.FindSection("Data_Spar_Gr_Str");
  static constexpr std::string_view kTooFew = "Too few linked switches groups values";
  auto section = [&] {
    const int v = in.Need(kTooFew);
    if (v < 1 || v > area.SectCount) in.Fail("Section index out of bounds");
    return v;
  };
  auto lamp = [&] {
    const int v = in.Need(kTooFew);
    if (!LampInRange(area, v)) in.Fail("Lamp index out of bounds");
    return v;
  };
  TSparGrStrels groups;
  int first = 0;
  while (in.NextRecord(first, kTooFew)) {
    TSparGrStrel g;
    g.Value1 = first;
    g.Section1 = section();
    g.Section2 = section();
    g.Lamp1 = lamp();
    g.Lamp2 = lamp();
    g.Count = in.Need(kTooFew);
    for (int k = 0; k < g.Count; ++k) {
      const int a = in.Need(kTooFew);
      g.ConcurRoutes.push_back({a, in.Need(kTooFew)});
    }
    groups.push_back(std::move(g));
  }
  in.ExpectEnd("Data after linked switches groups values");
  ctx.Area.SparGrStrels = std::move(groups);
}

}  // namespace traklin::area_reader
