// The static model of a district, as read from Data.dat and completed at start-up.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace traklin {

/// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;
/// 0x00BBGGRR: red in the low byte, then green, then blue.
using TColor = std::uint32_t;

/// Direction index used by every array indexed by direction: 0 = even, 1 = odd.
inline constexpr int kEven = 0;
inline constexpr int kOdd = 1;

// ---------------------------------------------------------------------------
// Graph geometry (Data_Graph_Fragm, Data_Graph_Vid, Data_Graph_Peregon, Data_Graph_Lamp)

/// One station's area on the panel picture, Pult.bmp pixel coordinates.
struct TGraphFragmData {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  ///< a lamp belongs when left <= x < right ...
  int AnchorX = 0, AnchorY = 0;                  ///< reference point of the fragment
  int ShownCode = 0;                             ///< LP code written above the name lamp
  int Coordinate = 0;                            ///< line coordinate (kilometre mark)
  int DepartCommitLamp[2] = {0, 0};              ///< even / odd departure-commit lamp, 0 = none
  int IconOffset = 0;                            ///< interlocking icon offset, 0 = none
};
using TGraphFragmsData = std::vector<TGraphFragmData>;

/// Placement of one station's fragment in a panel view.
struct TGraphVidFragmData {
  int X = 0, Y = 0;        ///< screen position of the fragment's anchor
  int Value3 = 0;          ///< name-lamp vertical offset (1000 and more = negative)
  std::uint8_t Shown = 0;  ///< 1 when the fourth value was non-zero (separator flag)
};
using TGraphVidFragmsData = std::vector<TGraphVidFragmData>;

/// One panel view: width, height, clock left edge, and one placement per station.
struct TGraphVidData {
  int Values[3] = {0, 0, 0};
  TGraphVidFragmsData Fragms;
};
using TGraphVidsData = std::vector<TGraphVidData>;

/// A peregon of the train graphs and the panel; referred to by number = index + 1.
struct TGraphPeregonData {
  int LP[2] = {0, 0};  ///< LP index + 1 at end 0 (A, even side) and end 1 (B, odd side); 0 = none
  int Offsets[4] = {0, 0, 0, 0};  ///< band end offsets (xa, ya, xb, yb), already decoded
  int Drawn = 0;                  ///< 0 = not drawn on the panel
  int DirectionLamps[2] = {0, 0};
  int BlockLamps[2] = {0, 0};  ///< first and last block-section lamp
  int EndSection[2] = {0, 0};  ///< [0] from the file; [1] set at start-up
  std::uint8_t Flag = 0;       ///< single-long-section flag, set at start-up
};
using TGraphPeregonsData = std::vector<TGraphPeregonData>;

/// A panel lamp. Entries below FirstLamp are placeholders that the start-up may define.
struct TGraphLampData {
  int X = 0, Y = 0;   ///< starting point in Pult.bmp coordinates
  int Width = 0;      ///< bar length in pixels ("type": the file code mod 100); 0 = undefined
  int Thickness = 0;  ///< pen width ("state": 3 for the file's lamps)
  int Shape = 0;      ///< file code div 100: 0 horizontal, 1 / 3 diagonals, other vertical
  int Station = -1;   ///< fragment holding the lamp, searching from the last; -1 = none
};
using TGraphLampsData = std::vector<TGraphLampData>;

// ---------------------------------------------------------------------------
// Track layout (Data_Sekz, Data_Str, Data_Gr_Str, Data_Sl_Sekz, Data_Spar_Gr_Str)

/// One entry per section number 0..S: the section's own panel lamp, 0 = none.
using TSekzsData = std::vector<int>;

/// A switch, indexed by switch number.
struct TStrelData {
  int Section = 0;
  int Value3 = 0;
  int LampsA[2] = {0, 0};
  int PlusLamps[3] = {0, 0, 0};
  int MinusLamps[3] = {0, 0, 0};
  std::uint8_t OddEnd = 0;  ///< 1 when the switch stands at the odd end of its section
};
using TStrelsData = std::vector<TStrelData>;

struct TGrStrelData {
  int Value1 = 0, Section1 = 0, Section2 = 0, Section3 = 0;
};
using TGrStrelsData = std::vector<TGrStrelData>;

/// A track-circuit section; index = section number 0..S (0 and S carry no links).
struct TSlSectData {
  int Switch[2] = {0, 0};      ///< switch at the even / odd end, 0 = none
  int Straight[2] = {0, 0};    ///< straight neighbour in the even / odd direction, 0 = end of track
  int Side[2] = {0, 0};        ///< neighbour through the side branch at that end, 0 = none
  int Length = 0;              ///< metres along the straight path
  int SideLength = 0;          ///< metres along the side branch; non-zero exactly with a switch
  int SignalLamp[2] = {0, 0};  ///< lamp of the signal for the even / odd direction, 0 = none
  int PassengerSpeedLimit = 0;    ///< km/h, 0 = none
  int FreightSpeedLimit = 0;      ///< km/h, 0 = none
  int SideSpeedLimit = 0;         ///< km/h over the side branch
  int Semaphore[2] = {-1, -1};    ///< index into Semaphores, -1 = none
  int Throat[2] = {-1, -1};       ///< throat entered in that direction, -1 = none
  int TrackLP = -1;               ///< LP index of the track holding the section, -1 = unknown
  int Track = -1;                 ///< track index within that LP, -1 = unknown
  std::uint8_t Flip[2] = {0, 0};  ///< direction parity flips at the even / odd end
  std::uint8_t Spare = 0;         ///< long single-block peregon section, set at start-up
};
using TSlSectsData = std::vector<TSlSectData>;

/// A signal. Kinds: 0 peregon end, 1 station signal leading to a throat (or starting no
/// route), 2 block signal inside a peregon, 3 other station signal.
struct TSemaphoreData {
  std::uint8_t Kind = 0;
  std::uint8_t Direction = 0;
  int Lamp = 0;
  int Section = 0;
  int Next = -1;  ///< graph peregon number (index + 1) for kinds 0 and 2, else -1
  int LP = -1;    ///< LP index, -1 = none
};
using TSemaphoresData = std::vector<TSemaphoreData>;

using TConcurRoutes = std::vector<std::array<int, 2>>;
struct TSparGrStrel {
  int Value1 = 0, Section1 = 0, Section2 = 0, Lamp1 = 0, Lamp2 = 0, Count = 0;
  TConcurRoutes ConcurRoutes;
};
using TSparGrStrels = std::vector<TSparGrStrel>;

// ---------------------------------------------------------------------------
// Stations, throats, tracks and peregons (Data_Stanz, Data_Gorl_Stanz, Data_Put, Data_Peregon)

struct TStanzData {
  int Code = 0;
  int Value2 = 0;  ///< below 1: a controlled station without a duty officer
  int Count = 0;
  std::vector<std::array<int, 2>> Items;  ///< (graph peregon number, value)
};
using TStanzsData = std::vector<TStanzData>;

/// A station throat: where a peregon meets the station.
struct TGorlStanzData {
  int Code = 0;             ///< LP code of the station
  std::uint8_t Parity = 0;  ///< 0 even, 1 odd
  int Number = 0;
  int Side = 0;                   ///< +1, -1 or 0
  int Peregon = 0;                ///< graph peregon number (1-based), 0 = none
  int CodeLow = 0, CodeHigh = 0;  ///< LP codes served; both 0 = every LP
  int EntrySection = 0;           ///< set at start-up
  std::uint8_t Flip = 0;          ///< set at start-up
};
using TGorlStanzsData = std::vector<TGorlStanzData>;

struct TTrackData {
  int Section = 0;
  int FirstLamp = 0;
  int LampCount = 0;
  int Number = 0;  ///< number code: +1000 roman, hundreds = letter, bit 0 = parity
  int Mode = 0;    ///< 1..3
  int SignA = 0;   ///< -1 when mode is 2, else +1
  int SignB = 0;   ///< -1 when mode is 3, 0 when mode is 1, else +1
  int Kind = 0;
  int Value7 = 0;  ///< track order value
};
using TTracksData = std::vector<TTrackData>;

/// A line point (LP): stations first, then further LPs.
struct TPutData {
  std::uint8_t CodeFromStation = 0;  ///< 1 when the file gave code 0 and the station's was taken
  std::uint8_t SingleSided = 0;      ///< set by the route check
  int Code = 0;
  int Value2 = 0;  ///< above 0: a self-acting LP may send trains without asking
  int Ring = -1;   ///< ring sound number, assigned at start-up
  int TrackCount = 0;
  int Value4 = 0;
  std::uint8_t Kind5[2] = {0, 0};  ///< by track parity: the LP has a kind-5 track
  TTracksData Tracks;
};
using TPutsData = std::vector<TPutData>;

/// Per graph peregon: the file's 11 values regrouped in pairs.
struct TPeregonData {
  int AB[2] = {0, 0};
  int Accel[2] = {0, 0};
  int Brake[2] = {0, 0};
  int C = 0;
  int Km[2] = {0, 0};
  int Picket[2] = {0, 0};
};
using TPeregonsData = std::vector<TPeregonData>;

// ---------------------------------------------------------------------------
// Train routes (Data_Marsh_P, and the routes generated at start-up)

inline constexpr int kMaxRouteSwitches = 20;
inline constexpr int kMaxRouteSections = 42;
inline constexpr int kMaxChainRoutes = 6;

struct TTrainRouteData {
  int StartPosition = 0;
  int StartKind = 0;
  int EndPosition = 0;
  int EndKind = 0;
  int StartLamp = 0;
  int EndLamp = 0;
  int FirstSection = 0;
  int LastSection = 0;
  std::uint8_t Flags[2] = {0, 0};        ///< flip byte of the start throat / of the end throat
  int Switches[kMaxRouteSwitches] = {};  ///< encoded entries, 0 after the last
  int Sections[kMaxRouteSections] = {};  ///< sections in order, 0 after the last
  /// Decoded switch entries, filled by the route check for every route: switch number
  /// (0 after the last) and whether the switch must lie minus (side).
  int SwitchNumber[kMaxRouteSwitches] = {};
  std::uint8_t SwitchMinus[kMaxRouteSwitches] = {};
};

struct TChainData {
  int StartSection = 0;
  int EndSection = 0;
  int Routes[kMaxChainRoutes] = {-1, -1, -1, -1, -1, -1};
};

struct TLPRoutesData {
  int Code = 0;
  int RouteCount = 0;
  int SwitchCount = 0;
  std::vector<TTrainRouteData> Routes;
  std::vector<TChainData> Chains;
  /// Generated LPs: the last routes of Routes that lead out of the tracks that only receive
  /// (mode 3), for a train formed on such a track; saves of older layouts lack them.
  int ReceiveOnlyExits = 0;
};
using TTrainRoutesData = std::vector<TLPRoutesData>;

// ---------------------------------------------------------------------------
// Rolling stock, timetable, creation plans and names

struct TLocoData {
  int AccelType = 0;  ///< 0..2
  int Traction = 0;
  int Length = 0;     ///< m
  int Weight = 0;     ///< t
  int DecelType = 0;  ///< 0..1
  int MaxSpeed = 0;   ///< km/h
};
using TLocosData = std::vector<TLocoData>;

/// Per station stopping data; the file's a, b, c, d, e, f held as a, c, b, d, e, f.
struct TOstLocoData {
  int Km[2] = {0, 0};
  int Meters[2] = {0, 0};
  int E = 0, F = 0;
};
using TOstLocosData = std::vector<TOstLocoData>;

/// A timetable stop: an LP stop (Section 0) or a section stop (LPCode 0).
struct TStopData {
  int Section = 0;
  int LPCode = 0;
  int Arrival = 0;    ///< hhmm, 0 = passes without stopping
  int Departure = 0;  ///< hhmm
  int LocoType = 0;
};
using TStopsData = std::vector<TStopData>;

struct TGraphTrainData {
  int Numbers[4] = {0, 0, 0, 0};
  int LastLP = 0;
  int Value6 = 0;
  int Value7 = 0;
  TStopsData Stops;
};
using TGraphTrainsData = std::vector<TGraphTrainData>;

struct TCreationInletData {
  int Value1 = 0, CreateType = 0, Value3 = 0;
};
using TCreationInletsData = std::vector<TCreationInletData>;

struct TCreationPlanData {
  int Time = 0;  ///< hhmm
  int Number = 0;
  std::string Name;  ///< UTF-8; empty when written "-" or "0"
  int Inlet = 0;
  int Parent = 0;
  int CreationPoint = 0;  ///< entry of Stations
  int ArrivalPoint = 0;   ///< entry of Stations
  int LoadType = 0;
  int Cars = 0;
  int StartDate = 0;  ///< mmdd
  int EndDate = 0;    ///< mmdd
  int Periodicity = 0;
  int DayCount = 0;
  std::vector<int> Days;

  bool operator==(const TCreationPlanData&) const = default;
};
using TCreationPlansData = std::vector<TCreationPlanData>;

using TLPNamesData = std::vector<std::string>;  ///< UTF-8, one per station

struct TStationData {
  std::string Name;  ///< UTF-8
  int LPCode = 0;
};
using TStationsData = std::vector<TStationData>;

// ---------------------------------------------------------------------------

/// The whole static district.
// ---------------------------------------------------------------------------
// Lookups derived at set-up

/// Rating of one chain as the best-route search compares them (see RouteQuality).
struct TChainRatingData {
  bool Valid = false;  ///< the chain names only routes that exist
  int Suitable = 0, Minus = 0, Routes = 0, Switches = 0;
};

/// The chain the best-route search picks between two sections of an LP.
struct TBestChainData {
  int From = 0, To = 0;  ///< start and end section
  int Chain = -1;        ///< the chain, -1 when none of those joining them is valid
  bool operator<(const TBestChainData& o) const {
    return From != o.From ? From < o.From : To < o.To;
  }
};

/// Lookups the set-up derives from the finished district (BuildAreaIndex), so that the
/// simulation step need not search the same static data on every step. Empty until built.
/// A table whose size no longer matches the data it was built from is not used: the queries
/// then search as before.
struct TAreaIndex {
  std::vector<int> ThroatLP;  ///< per throat: the LP index of its code, -1 = none
  /// Per timetable list (passenger even, odd, freight even, odd): (train number, entry index)
  /// sorted by number, each number with the last entry that carries it.
  std::array<std::vector<std::pair<int, int>>, 4> ScheduleNumbers;
  std::array<int, 4> ScheduleListSizes = {-1, -1, -1, -1};  ///< sizes of the lists indexed
  std::vector<std::vector<TChainRatingData>> ChainRatings;  ///< per LP, per chain
  /// Per LP: the best chain for every pair of sections some chain joins, sorted by the pair.
  std::vector<std::vector<TBestChainData>> BestChains;
  /// Per section: the first LP (in LP order) with a track on it and that track, or -1, -1.
  std::vector<std::pair<int, int>> TrackOfSection;
  std::size_t LPCount = 0;  ///< the LPs when TrackOfSection and LPOfCode were made
  /// Per LP code 0 .. size - 1: the last LP with that code, -1 = none. Empty when some code
  /// lies outside 0 .. kMaxIndexedLPCode.
  std::vector<int> LPOfCode;
};
/// LP codes up to this are looked up in TAreaIndex::LPOfCode; a district with a larger one is
/// searched.
inline constexpr int kMaxIndexedLPCode = 65535;

struct TAreaData {
  int AreaNumber = 0;
  int StationCount = 0;
  int LPCount = 0;
  int SwitchCount = 0;
  int SectCount = 0;  ///< S: sections are numbered 1..S-1
  TColor GraphBackColor = 0xFFFFFF;
  int GraphScale = 0;
  int HeaderValue7 = 0;
  int HeaderValue8 = 0;
  int BaseYear = 0;
  int SwitchPosBase = 10;
  int SwitchLampsA = 0;
  int SwitchLampsPlus = 0;
  int SwitchLampsMinus = 0;
  int FirstLamp = 0;
  int ThroatLayout = 0;
  int ParityFlipCount = 0;
  TGraphFragmsData GraphFragms;
  TGraphVidsData GraphVids;
  TGraphPeregonsData GraphPeregons;
  TGraphLampsData GraphLamps;
  TSekzsData Sekzs;
  TStanzsData Stanzs;
  TGorlStanzsData GorlStanzs;
  TPutsData Puts;
  TStrelsData Strels;
  TGrStrelsData GrStrels;
  TSlSectsData SlSects;
  TTrainRoutesData TrainRoutes;
  TSparGrStrels SparGrStrels;
  TLocosData Locos;
  TOstLocosData OstLocos;
  TPeregonsData Peregons;
  TGraphTrainsData PassTrains[2];
  TGraphTrainsData GruzTrains[2];
  TCreationInletsData CreationInlets;
  int FreightNumbering[2] = {0, 0};
  TCreationPlansData CreationPlans;
  TLPNamesData LPMnemNames;
  TLPNamesData LPManipNames;
  TStationsData Stations;
  TSemaphoresData Semaphores;
  TAreaIndex Index;  ///< filled by BuildAreaIndex at the end of the set-up
};

}  // namespace traklin
