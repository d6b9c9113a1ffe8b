// Section readers of Data.dat: stations, throats, LPs with their tracks, and peregon data.
#include "area/area_queries.h"
#include "area/area_reader_internal.h"

namespace traklin::area_reader {

void ReadStanzs(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Stanz");
  static constexpr std::string_view kTooFew = "Too few stanz values";
  const auto peregonCount = static_cast<int>(ctx.Area.GraphPeregons.size());
  TStanzsData stanzs;
  for (int i = 0; i < ctx.Area.StationCount; ++i) {
    TStanzData s;
    s.Code = in.Need(kTooFew);
    s.Value2 = in.Need(kTooFew);
    s.Count = in.Need(kTooFew);
    for (int k = 0; k < s.Count; ++k) {
      const int peregon = in.Need(kTooFew);
      if (peregon > peregonCount) in.Fail("Peregon index out of bounds");
      s.Items.push_back({peregon, in.Need(kTooFew)});
    }
    stanzs.push_back(std::move(s));
  }
  in.ExpectEnd("Data after end of stanz values");
  ctx.Area.Stanzs = std::move(stanzs);
}

void ReadGorlStanzs(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Gorl_Stanz");
  static constexpr std::string_view kTooFew = "Too few gorl stanz values";
  const auto peregonCount = static_cast<int>(ctx.Area.GraphPeregons.size());
  TGorlStanzsData throats;
  int stationThroats = 0;
  int sidedThroats = 0;
  int code = 0;
  while (in.NextRecord(code, kTooFew)) {
    TGorlStanzData g;
    g.Code = code;
    const int v = in.Need(kTooFew);
    g.Parity = static_cast<std::uint8_t>(v & 1);
    if (v >= 4) {
      g.Number = v >> 3;
      g.Side = (v & 2) != 0 ? -1 : 1;
    } else {
      g.Number = v >> 1;
      g.Side = 0;
    }
    g.Peregon = in.Need(kTooFew);
    if (g.Peregon > peregonCount) in.Fail("Peregon index out of bounds");
    g.CodeLow = in.Need(kTooFew);
    g.CodeHigh = in.Need(kTooFew);
    if (FindStationIndex(ctx.Area, g.Code) >= 0) {
      ++stationThroats;
      if (g.Side != 0) ++sidedThroats;
    }
    throats.push_back(g);
  }
  ctx.Area.ThroatLayout = 2 * sidedThroats > stationThroats ? 2 : 1;
  in.ExpectEnd("Data after end of gorl stanz values");
  ctx.Area.GorlStanzs = std::move(throats);
}

void ReadPuts(ReadContext& ctx) {
  DataReader& in = ctx.In;
  const TAreaData& area = ctx.Area;
  in.FindSection("Data_Put");
  static constexpr std::string_view kTooFew = "Too few put values";
  // Stations come first; an LP record beyond them adds an LP. Records are appended as read,
  // and fewer records than stations are refused below.
  TPutsData puts;
  int code = 0;
  while (in.NextRecord(code, kTooFew)) {
    const auto k = puts.size();
    TPutData p;
    if (code == 0) {
      if (k >= area.Stanzs.size()) in.Fail("LP code 0 is only allowed for stations");
      code = area.Stanzs[k].Code;
      p.CodeFromStation = 1;
    }
    p.Code = code;
    p.Value2 = in.Need(kTooFew);
    p.TrackCount = in.Need(kTooFew);
    p.Value4 = in.Need(kTooFew);
    p.Ring = -1;
    for (int t = 0; t < p.TrackCount; ++t) {
      TTrackData track;
      track.Section = in.Need(kTooFew);
      if (track.Section < 1 || track.Section > area.SectCount) {
        in.Fail("Section index out of bounds");
      }
      track.FirstLamp = in.Need(kTooFew);
      if (!LampInRange(area, track.FirstLamp)) in.Fail("Lamp index out of bounds");
      track.LampCount = in.Need(kTooFew);
      if (track.LampCount > 0 && !LampInRange(area, track.FirstLamp + track.LampCount - 1)) {
        in.Fail("Lamp index out of bounds");
      }
      track.Number = in.Need(kTooFew);
      track.Mode = in.Need(kTooFew);
      track.SignA = track.Mode == 2 ? -1 : 1;
      track.SignB = track.Mode == 3 ? -1 : (track.Mode == 1 ? 0 : 1);
      track.Kind = in.Need(kTooFew);
      track.Value7 = in.Need(kTooFew);
      if (track.Kind == 5) p.Kind5[track.Number & 1] = 1;
      p.Tracks.push_back(track);
    }
    puts.push_back(std::move(p));
  }
  if (puts.size() < static_cast<std::size_t>(area.StationCount)) in.Fail("Too few LPs");
  in.ExpectEnd("Data after end of put values");
  ctx.Area.Puts = std::move(puts);
}

void ReadPeregons(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Peregon");
  static constexpr std::string_view kTooFew = "Too few peregons values";
  TPeregonsData peregons;
  auto accel = [&] {
    const int v = in.Need(kTooFew);
    if (v >= 30) in.Fail("Accelerate time too long");
    return v;
  };
  auto brake = [&] {
    const int v = in.Need(kTooFew);
    if (v >= 30) in.Fail("Brake time too long");
    return v;
  };
  auto picket = [&] {
    const int v = in.Need(kTooFew);
    if (v > 10) in.Fail("Piquette exceeds maximum of 10");
    return v;
  };
  for (std::size_t i = 0; i < ctx.Area.GraphPeregons.size(); ++i) {
    TPeregonData p;
    p.AB[0] = in.Need(kTooFew);
    p.Accel[0] = accel();
    p.Brake[0] = brake();
    p.AB[1] = in.Need(kTooFew);
    p.Accel[1] = accel();
    p.Brake[1] = brake();
    p.C = in.Need(kTooFew);
    p.Km[0] = in.Need(kTooFew);
    p.Picket[0] = picket();
    p.Km[1] = in.Need(kTooFew);
    p.Picket[1] = picket();
    peregons.push_back(p);
  }
  in.ExpectEnd("Data after end of peregons values");
  ctx.Area.Peregons = std::move(peregons);
}

}  // namespace traklin::area_reader
