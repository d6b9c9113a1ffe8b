// The compact description of a line from which a district is generated.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace traklin::districtgen {

/// One station track. Number is the track's number code (1000 + n for a roman numeral).
struct TrackSpec {
  int Number = 1;
  int Kind = 3;  ///< 1 freight, 2 passenger, 3 any, 4 reversing and 4000 groups, 5 through only
  int Mode = 1;  ///< 1..3
  int Length = 1050;  ///< metres
};

struct StationSpec {
  std::string Name;           ///< full name, also the entry in the station-name catalogue
  std::string Mnem;           ///< name on the panel's name lamp
  std::string Manip;          ///< name in the controller window
  bool Controlled = false;    ///< run from the controller window, no duty officer, no throats
  bool SelfActing = false;    ///< the LP record carries its own code
  int SendWithoutAsking = 0;  ///< value 2 of the LP record
  bool Flip = false;  ///< the direction parity flips where the line enters (last station only)
  int Km = 0;         ///< kilometre mark
  std::vector<TrackSpec> Tracks;  ///< the first track is the main track
};

/// The peregon between station i and station i + 1.
struct PeregonSpec {
  int Length = 6000;    ///< metres
  int Blocks = 3;       ///< block sections
  bool Double = false;  ///< two single-direction lines (odd trains on the upper one)
  int PassengerSpeed = 120;
  int FreightSpeed = 90;
};

/// A timetable train and, usually, its creation plan.
struct TrainSpec {
  int Number = 0;
  bool Freight = false;
  int From = 0, To = 0;           ///< station indices
  int Departure = 0;              ///< minutes after midnight at From
  std::map<int, int> Dwell;       ///< station index -> minutes standing
  int Loco = 2;                   ///< locomotive type at the start
  std::map<int, int> LocoChange;  ///< station index -> new locomotive type
  int FinalDwell = 10;            ///< minutes between arrival and disbanding at To
  // Creation plan.
  bool Plan = true;
  int PlanFrom = 0, PlanTo = 0;  ///< station-name codes; 0 = the timetable's ends
  int Lead = 20;                 ///< minutes between creation and departure
  int Cars = 10;                 ///< passenger plans; freight plans always write 0
  int Load = 1;                  ///< freight load type 0..12
  int Parent = 0;
  int Calendar = 0;  ///< 0 daily .. 5 listed weekdays
  std::vector<int> Days;
  int StartDate = 0, EndDate = 0;  ///< mmdd
  std::string Name;
};

struct LineSpec {
  int Number = 1;
  std::string Title;
  int BaseYear = 2024;
  std::vector<std::string> OutsideLeft;   ///< stations beyond the left end, outermost first
  std::vector<std::string> OutsideRight;  ///< stations beyond the right end, nearest first
  std::vector<StationSpec> Stations;
  std::vector<PeregonSpec> Peregons;  ///< Stations.size() - 1 of them
  std::vector<TrainSpec> Trains;
  int FreightLow = 3001, FreightHigh = 3998;

  /// Code of station-name entry for a district station (codes run left to right:
  /// outside left, stations, outside right).
  int StationCode(int station) const { return static_cast<int>(OutsideLeft.size()) + 1 + station; }
  int NameCount() const {
    return static_cast<int>(OutsideLeft.size() + Stations.size() + OutsideRight.size());
  }
  /// Code of a name (district or outside station), 0 when unknown.
  int CodeOfName(const std::string& name) const;
};

/// Reads a JSON description. Throws std::runtime_error with a readable reason.
LineSpec ParseLineSpec(const std::string& jsonText);

/// Checks what the generator relies on; throws std::runtime_error naming the fault.
void ValidateLineSpec(const LineSpec& line);

/// Minutes the timetable gives a train for a peregon of `metres`, starting and stopping.
int RunMinutes(int metres, bool freight);

/// Minutes added to twice the running time for a pair of trains on a single line: the routes
/// at both ends, the signals clearing and the trains starting.
constexpr int kPairMarginMinutes = 5;

/// Minutes a pair of trains, one each way, holds the longest single-line peregon of the line:
/// twice a freight train's running time over it plus kPairMarginMinutes. 0 when every peregon
/// is a double line.
int PairMinutes(const LineSpec& line);

/// Trains a day the line takes: two for every pair that fits into a day on its longest
/// single-line peregon (a line of double lines only has no such limit: INT_MAX).
int DailyCapacity(const LineSpec& line);

/// A synthetic line of `stations` stations that runs `trainsPerDay` trains a day, or as many
/// as DailyCapacity lets through when that is fewer. Every station acts by itself (receives,
/// sends and gives its own departure commits), so that the line runs without a dispatcher
/// too. Trains start and end at the two ends and at the larger stations (those with more
/// tracks), each of which has tracks on which trains are formed.
LineSpec SyntheticLine(int stations, int trainsPerDay, unsigned seed);

/// The note to print when a synthetic line takes fewer trains than `asked` (empty when it
/// takes them all).
std::string CapacityNote(const LineSpec& line, int asked);

/// The notes to print for trains whose creation plan starts them where they can never be put
/// out or taken in: at a controlled station (no duty officer puts a train out there), or at a
/// station without a track of mode 2 whose kind takes the train. Such a line is still written:
/// its trains may be placed by other means.
std::vector<std::string> FormingNotes(const LineSpec& line);

}  // namespace traklin::districtgen
