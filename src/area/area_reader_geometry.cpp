// Section readers of Data.dat: panel fragments, views, graph peregons and lamps.
#include "area/area_reader_internal.h"
#include "area/panel_geometry.h"

namespace traklin::area_reader {

void ReadGraphFragms(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Graph_Fragm");
  static constexpr std::string_view kTooFew = "Too few graph fragms values";
  TGraphFragmsData fragms;
  for (int i = 0; i < ctx.Area.StationCount; ++i) {
    TGraphFragmData f;
    f.Left = in.Need(kTooFew);
    f.Top = in.Need(kTooFew);
    f.Right = in.Need(kTooFew);
    f.Bottom = in.Need(kTooFew);
    f.AnchorX = in.Need(kTooFew);
    f.AnchorY = in.Need(kTooFew);
    f.ShownCode = in.Need(kTooFew);
    f.Coordinate = in.Need(kTooFew);
    f.DepartCommitLamp[0] = in.Need(kTooFew);
    f.DepartCommitLamp[1] = in.Need(kTooFew);
    f.IconOffset = in.Need(kTooFew);
    fragms.push_back(f);
  }
  in.ExpectEnd("Too many graph fragms values");
  ctx.Area.GraphFragms = std::move(fragms);
}

void ReadGraphVids(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Graph_Vid");
  static constexpr std::string_view kTooFew = "Too few graph vids";
  std::uint16_t count = 0;
  if (!in.ReadListNumber(count)) in.Fail("Expected count");
  if (count > 100) in.Fail("Unsupported big count");
  TGraphVidsData vids;
  for (int v = 0; v < count; ++v) {
    TGraphVidData vid;
    for (int& value : vid.Values) value = in.Need(kTooFew);
    vids.push_back(std::move(vid));
  }
  // One placement per view for every station; the lists grow only as values arrive.
  for (int s = 0; s < ctx.Area.StationCount; ++s) {
    for (auto& vid : vids) {
      TGraphVidFragmData f;
      f.X = in.Need(kTooFew);
      f.Y = in.Need(kTooFew);
      f.Value3 = in.Need(kTooFew);
      f.Shown = in.Need(kTooFew) != 0 ? 1 : 0;
      vid.Fragms.push_back(f);
    }
  }
  in.ExpectEnd("Too many graph vids values");
  ctx.Area.GraphVids = std::move(vids);
}

void ReadGraphPeregons(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Graph_Peregon");
  static constexpr std::string_view kTooFew = "Too few graph peregon values";
  TGraphPeregonsData peregons;
  int first = 0;
  while (in.NextRecord(first, kTooFew)) {
    TGraphPeregonData p;
    p.LP[0] = first;
    p.LP[1] = in.Need(kTooFew);
    for (int& offset : p.Offsets) offset = DecodeOffset(in.Need(kTooFew));
    p.Drawn = in.Need(kTooFew);
    p.DirectionLamps[0] = in.Need(kTooFew);
    p.DirectionLamps[1] = in.Need(kTooFew);
    p.BlockLamps[0] = in.Need(kTooFew);
    p.BlockLamps[1] = in.Need(kTooFew);
    p.EndSection[0] = in.Need(kTooFew);
    peregons.push_back(p);
  }
  in.ExpectEnd("Data after end of graph peregon values");
  ctx.Area.GraphPeregons = std::move(peregons);
}

void ReadGraphLamps(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Graph_Lamp");
  static constexpr std::string_view kTooFew = "Too few graph lamp values";
  std::uint16_t firstLamp = 0;
  std::uint16_t count = 0;
  if (!in.ReadListNumber(firstLamp)) in.Fail("No first lamp index");
  ctx.Area.FirstLamp = firstLamp;
  if (!in.ReadListNumber(count)) in.Fail("No lamps count");
  const TGraphFragmsData& fragms = ctx.Area.GraphFragms;
  // At most 2 * 65535 entries, so the table is made in full at once.
  TGraphLampsData lamps(static_cast<std::size_t>(firstLamp) + count);
  for (int i = 0; i < count; ++i) {
    TGraphLampData& lamp = lamps[static_cast<std::size_t>(firstLamp) + i];
    lamp.X = in.Need(kTooFew);
    lamp.Y = in.Need(kTooFew);
    const int code = in.Need(kTooFew);
    lamp.Width = code % 100;
    lamp.Shape = code / 100;
    lamp.Thickness = 3;
    lamp.Station = -1;
    for (int s = static_cast<int>(fragms.size()) - 1; s >= 0; --s) {
      const TGraphFragmData& f = fragms[static_cast<std::size_t>(s)];
      if (f.Left <= lamp.X && lamp.X < f.Right && f.Top <= lamp.Y && lamp.Y < f.Bottom) {
        lamp.Station = s;
        break;
      }
    }
  }
  in.ExpectEnd("Data after end of graph lamp values");
  ctx.Area.GraphLamps = std::move(lamps);
}

void OrientMinusLamps(TGraphLampsData& lamps, const int* minusLamps, int count, int r) {
  const TGraphLampData& ref = lamps[static_cast<std::size_t>(r)];
  for (int k = 0; k < count; ++k) {
    const int a = minusLamps[k];
    if (a + r <= 0) continue;
    TGraphLampData& lamp = lamps[static_cast<std::size_t>(a)];
    const bool right = lamp.X > ref.X;
    const bool below = lamp.Y > ref.Y;
    if (lamp.Shape == 1 && right != below) {
      lamp.Shape = 3;
    } else if (lamp.Shape == 3 && right == below) {
      lamp.Shape = 1;
    }
  }
}

}  // namespace traklin::area_reader
