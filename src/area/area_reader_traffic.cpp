// Section readers of Data.dat: loco types, timetable, creation inlets and plans, names.
#include "area/area_queries.h"
#include "area/area_reader_internal.h"
#include "area/cp1251.h"

namespace traklin::area_reader {

void ReadLocos(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Lok");
  static constexpr std::string_view kTooFew = "Too few lcoo type values";
  TLocosData locos(2);  // types 0 and 1 are reserved
  int type = 0;
  while (in.NextRecord(type, kTooFew)) {
    if (type < 2) in.Fail("Reserved loco types 0..1 can not be configured");
    if (type > 5000) in.Fail("Too many loco types");
    TLocoData loco;
    loco.AccelType = in.Need(kTooFew);
    if (loco.AccelType > 2) in.Fail("Acceleration type unknwon");
    loco.Traction = in.Need(kTooFew);
    loco.Length = in.Need(kTooFew);
    loco.Weight = in.Need(kTooFew);
    loco.DecelType = in.Need(kTooFew);
    if (loco.DecelType > 1) in.Fail("Decelration type unknown");
    loco.MaxSpeed = in.Need(kTooFew);
    // A lower type after a higher one is written in place; the table never shrinks.
    if (static_cast<std::size_t>(type) >= locos.size()) {
      locos.resize(static_cast<std::size_t>(type) + 1);
    }
    locos[static_cast<std::size_t>(type)] = loco;
  }
  in.ExpectEnd("Data after loco type values");
  ctx.Area.Locos = std::move(locos);
}

void ReadOstLocos(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Ost_Lok");
  static constexpr std::string_view kTooFew = "Too few ost loks values";
  auto meters = [&] {
    const int v = in.Need(kTooFew);
    if (v >= 999) in.Fail("Meters exceed km maximum");
    return v;
  };
  TOstLocosData ost;
  for (int i = 0; i < ctx.Area.StationCount; ++i) {
    TOstLocoData o;
    o.Km[0] = in.Need(kTooFew);
    o.Meters[0] = meters();
    o.Km[1] = in.Need(kTooFew);
    o.Meters[1] = meters();
    o.E = in.Need(kTooFew);
    o.F = in.Need(kTooFew);
    ost.push_back(o);
  }
  in.ExpectEnd("Data after end of ost loks values");
  ctx.Area.OstLocos = std::move(ost);
}

namespace {

bool ValidHHMM(int t) {
  return t / 100 <= 23 && t % 100 <= 59;
}
bool ValidMMDD(int d) {
  return d / 100 <= 12 && d % 100 <= 31;
}

}  // namespace

void ReadGraphTrains(ReadContext& ctx, bool freight, int direction) {
  DataReader& in = ctx.In;
  const TAreaData& area = ctx.Area;
  std::string name = "Data_Graf";
  name += freight ? "_Gruz" : "_Pass";
  name += direction == kEven ? "_Ch" : "_N";
  in.FindSection(name);
  static constexpr std::string_view kTooFew = "Too few graph trains schedule values";
  TGraphTrainsData trains;
  int first = 0;
  while (in.NextRecord(first, kTooFew)) {
    TGraphTrainData train;
    train.Numbers[0] = first;
    if (first == 0) in.Fail("At least one train number must be present");
    for (int k = 1; k < 4; ++k) train.Numbers[k] = in.Need(kTooFew);
    train.LastLP = in.Need(kTooFew);
    if (train.LastLP == 0) in.Fail("Last LP code must not be zero");
    train.Value6 = in.Need(kTooFew);
    train.Value7 = in.Need(kTooFew);
    int code = 0;
    do {
      code = in.Need(kTooFew);
      TStopData stop;
      if (code > 4096) {
        if (train.Stops.empty()) in.Fail("Schedule should start with LP code");
        stop.Section = code - 4096;
        if (stop.Section > area.SectCount) in.Fail("Illegal stop section");
      } else {
        if (code == 0) in.Fail("Stop code must not be zero");
        if (FindLPIndex(area, code) < 0) in.Fail("Stop code is unknown");
        stop.LPCode = code;
      }
      stop.Arrival = in.Need(kTooFew);
      if (!ValidHHMM(stop.Arrival)) in.Fail("Illegal arrival time");
      stop.Departure = in.Need(kTooFew);
      if (stop.Departure == 0) in.Fail("Departure time must be present");
      if (!ValidHHMM(stop.Departure)) in.Fail("Illegal departure time");
      stop.LocoType = in.Need(kTooFew);
      if (train.Stops.empty() && stop.LocoType < 2) {
        in.Fail("Schedule should start with locomotive specified");
      }
      train.Stops.push_back(stop);
    } while (code != train.LastLP);
    trains.push_back(std::move(train));
  }
  in.ExpectEnd("Data after graph trains schedule values");
  (freight ? ctx.Area.GruzTrains : ctx.Area.PassTrains)[direction] = std::move(trains);
}

void ReadCreationInlets(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Podhod_Form");
  static constexpr std::string_view kTooFew = "Too few creation inlets values";
  TCreationInletsData inlets;
  int first = 0;
  while (in.NextRecord(first, kTooFew)) {
    TCreationInletData inlet;
    inlet.Value1 = first;
    inlet.CreateType = in.Need(kTooFew);
    if (inlet.CreateType > 2) in.Fail("Illegal inlet create type");
    inlet.Value3 = in.Need(kTooFew);
    inlets.push_back(inlet);
  }
  in.ExpectEnd("Data after creation inlets values");
  ctx.Area.CreationInlets = std::move(inlets);
}

void ReadFreightNumbering(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Num_Poezd");
  static constexpr std::string_view kTooFew = "Too few freights numeration values";
  const int low = in.Need(kTooFew);
  const int high = in.Need(kTooFew);
  if (high < low) in.Fail("Illegal freights numeration order");
  in.ExpectEnd("Data after freights numeration values");
  ctx.Area.FreightNumbering[0] = low;
  ctx.Area.FreightNumbering[1] = high;
}

void ReadCreationPlans(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("Data_Plan_Form");
  static constexpr std::string_view kTooFew = "Too few creation plans values";
  TCreationPlansData plans;
  int time = 0;
  while (in.NextRecord(time, kTooFew)) {
    TCreationPlanData plan;
    plan.Time = time;
    if (!ValidHHMM(time)) in.Fail("Illegal creation time");
    plan.Number = in.Need(kTooFew);
    const std::string name = in.NeedText(kTooFew);
    if (name != "-" && name != "0") plan.Name = Cp1251ToUtf8(name);
    plan.Inlet = in.Need(kTooFew);
    if (plan.Inlet >= ctx.Area.SectCount) in.Fail("Inlet index out of bounds");
    plan.Parent = in.Need(kTooFew);
    plan.CreationPoint = in.Need(kTooFew);
    plan.ArrivalPoint = in.Need(kTooFew);
    if (IsFreightTrainNumber(plan.Number)) {
      plan.LoadType = in.Need(kTooFew);
      if (plan.LoadType > 12) in.Fail("Illegal freight load type");
      for (int k = 0; k < 3; ++k) in.Need(kTooFew);
    } else {
      plan.Cars = in.Need(kTooFew);
      plan.StartDate = in.Need(kTooFew);
      if (!ValidMMDD(plan.StartDate)) in.Fail("Illegal cruise start time");
      plan.EndDate = in.Need(kTooFew);
      if (!ValidMMDD(plan.EndDate)) in.Fail("Illegal cruise end time");
      if ((plan.StartDate == 0) != (plan.EndDate == 0)) in.Fail("Illegal cruise end time");
      plan.Periodicity = in.Need(kTooFew);
      if (plan.Periodicity > 5) in.Fail("Illegal passenger periodity type");
      if (plan.Periodicity != 0) {
        plan.DayCount = in.Need(kTooFew);
        for (int k = 0; k < plan.DayCount; ++k) plan.Days.push_back(in.Need(kTooFew));
      }
    }
    plans.push_back(std::move(plan));
  }
  in.ExpectEnd("Data after creation plans values");
  ctx.Area.CreationPlans = std::move(plans);
}

void ReadLPNames(ReadContext& ctx, bool manip) {
  DataReader& in = ctx.In;
  in.FindSection(manip ? "DataS_RP_Name_Manip" : "DataS_RP_Name_Mnem");
  TLPNamesData names;
  for (int i = 0; i < ctx.Area.StationCount; ++i) {
    names.push_back(Cp1251ToUtf8(in.NeedText("Too few LP names")));
  }
  std::string extra;
  if (in.NextListItem(extra, false)) in.Fail("Data after LP names");
  (manip ? ctx.Area.LPManipNames : ctx.Area.LPMnemNames) = std::move(names);
}

namespace {

// A name is plain, or a base followed by groups "(a/b/c/d)"; the separators are looked for
// in the cycle "(", "/", "/", "/", ")".
bool ValidStationName(std::string_view name) {
  static constexpr char kCycle[] = {'(', '/', '/', '/', ')'};
  std::size_t pos = 0;
  int expected = 0;
  for (;;) {
    const auto found = name.find(kCycle[expected], pos);
    if (found == std::string_view::npos) return expected == 0;
    pos = found + 1;
    expected = (expected + 1) % 5;
  }
}

}  // namespace

void ReadStationNames(ReadContext& ctx) {
  DataReader& in = ctx.In;
  in.FindSection("DataS_Stanz_Name");
  TStationsData stations(1);  // entry 0: no station
  std::string item;
  while (in.NextListItem(item, true)) {
    if (!ValidStationName(item)) in.Fail("Illegal separator sequence in station names");
    TStationData station;
    if (item != "-") station.Name = Cp1251ToUtf8(item);
    station.LPCode = static_cast<int>(stations.size());
    stations.push_back(std::move(station));
  }
  if (stations.size() < 13) in.Fail("Too few station names");
  ctx.Area.Stations = std::move(stations);
}

}  // namespace traklin::area_reader
