// The district reader: every message pinned with the line it is raised at, the values of every
// table, line ends, section headers, the error box and the Windows-1251 conversion.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "area/cp1251.h"
#include "district_text.h"

namespace traklin::test {
namespace {
/// Line markers: the header line of the next section, or the last line of the file.
constexpr int kAtNextHeader = -1;
constexpr int kAtLastLine = -2;

using Changes = std::vector<std::pair<const char*, std::string>>;

/// The default district with sections (or header values "#n") replaced.
DistrictText With(const Changes& changes) {
  DistrictText district;
  for (const auto& [name, body] : changes) {
    if (name[0] == '#')
      district.SetHeader(name[1] - '0', body);
    else
      district.SetSection(name, body);
  }
  return district;
}

struct MessageRow {
  const char* Scenario;  ///< letters and digits only
  const char* Section;   ///< section whose body is replaced, or "#n" for header value n
  std::string Body;
  std::string Message;
  int Line;  ///< 1-based line of the body (of the file for "#n"), or a marker
};

/// The default Data_Sl_Sekz with the records of the given sections replaced.
std::string Sl(std::initializer_list<std::pair<int, const char*>> records) {
  DistrictText d;
  for (const auto& [section, record] : records)
    d.SetSection("Data_Sl_Sekz", d.WithLine("Data_Sl_Sekz", section + 1, record));
  return d.Section("Data_Sl_Sekz");
}

const std::string kTrainHead = "2002,0,0,0, 1, 0,0\n";

// clang-format off
const MessageRow kMessageRows[] = {
    // Number syntax, through header value 1
    {"HexOverflow", "#1", "10000h", "16-bit value overflow", 1},
    {"DecimalOverflowLastDigit", "#1", "65536", "16-bit value overflow", 1},
    {"DecimalOverflowLength", "#1", "100000", "16-bit value overflow", 1},
    {"MinusSign", "#1", "-1", "Not a decimal digit", 1},
    {"TrailingComma", "#1", "12,", "Not a decimal digit", 1},
    {"LoneH", "#1", "H", "Not a decimal digit", 1},
    {"DecimalWithLetter", "#1", "12a", "Not a decimal digit", 1},
    {"BadHexDigit", "#1", "1G4h", "Not a hexadecimal digit", 1},
    {"BlankInsideHex", "#1", "1 4h", "Not a hexadecimal digit", 1},
    // 65535 stations in a short file: line 13 is the header of the section after Data_Graph_Fragm
    {"HugeStationCount", "#2", "65535", "Too few graph fragms values", 13},
    // Data_Graph_Fragm
    {"FragmExtraValue", "Data_Graph_Fragm", "0,0,200,100, 0,0, 1,1000, 0,19, 0\n300,0,500,100, 300,0, 2,9000, 0,0, 0\n7", "Too many graph fragms values", 3},
    {"FragmRecordCutShort", "Data_Graph_Fragm", "0,0,200,100, 0,0, 1,1000, 0,19, 0\n300,0,500", "Too few graph fragms values", kAtNextHeader},
    // Data_Graph_Vid
    {"VidCountMissing", "Data_Graph_Vid", "", "Expected count", kAtNextHeader},
    {"VidCount101", "Data_Graph_Vid", "\n101", "Unsupported big count", 2},
    {"VidMissingStationGroup", "Data_Graph_Vid", "1\n800,600,10\n0,0,0,0", "Too few graph vids", kAtNextHeader},
    {"VidViewRecordCutShort", "Data_Graph_Vid", "1\n800,600", "Too few graph vids", kAtNextHeader},
    {"VidExtraValue", "Data_Graph_Vid", "1\n800,600,10\n0,0,0,0\n300,0,0,1,5", "Too many graph vids values", 4},
    // Data_Graph_Peregon
    {"PeregonCutShort", "Data_Graph_Peregon", "1,2, 10,0,1005,0, 1, 17,18, 16,16", "Too few graph peregon values", kAtNextHeader},
    {"PeregonNoTerminator", "Data_Graph_Peregon", "1,2, 10,0,1005,0, 1, 17,18, 16,16, 5", "Too few graph peregon values", kAtNextHeader},
    {"PeregonDataAfter", "Data_Graph_Peregon", "1,2, 10,0,1005,0, 1, 17,18, 16,16, 5\n65535\n0", "Data after end of graph peregon values", 3},
    // Data_Graph_Lamp
    {"LampNoFirst", "Data_Graph_Lamp", "; nothing", "No first lamp index", kAtNextHeader},
    {"LampNoCount", "Data_Graph_Lamp", "1", "No lamps count", kAtNextHeader},
    {"LampCutShort", "Data_Graph_Lamp", "1,2\n20,50,10\n60,40", "Too few graph lamp values", kAtNextHeader},
    {"LampDataAfter", "Data_Graph_Lamp", "1,1\n20,50,10\n9", "Data after end of graph lamp values", 3},
    // Data_Sekz
    {"SectionAboveS", "Data_Sekz", "1,1\n9,2\n65535", "Section index out of bounds", 2},
    {"EmptyItem", "Data_Sekz", "1,1\n2,,2 ; two commas\n65535", "Digits not found", 2},
    {"SectionTwice", "Data_Sekz", "1,1\n2,2\n1,3\n65535", "Double section index", 3},
    {"RecordCutShort", "Data_Sekz", "1,1\n2", "Too few section values", kAtNextHeader},
    {"NoTerminator", "Data_Sekz", "1,1", "Too few section values", kAtNextHeader},
    {"DataAfter", "Data_Sekz", "65535\n; c\n1", "Data after end of sections values", 3},
    // Data_Str
    {"CountsMissing", "Data_Str", "1,1", "No switch data lamp counts", kAtNextHeader},
    {"CountZero", "Data_Str", "1,0,1\n65535", "Illegal switch data lamp counts", 1},
    {"ThreeALamps", "Data_Str", "3,1,1\n65535", "Unsupported switch data lamp counts", 1},
    {"FourMinusLamps", "Data_Str", "1,1,4\n65535", "Unsupported switch data lamp counts", 1},
    {"SectionAboveS", "Data_Str", "1,1,1\n9,1,0,8,9,10\n65535", "Section index out of bounds", 2},
    {"LampBeyondTable", "Data_Str", "1,1,1\n1,1,0,8,9,\n21\n65535", "Lamp index out of bounds", 3},
    {"RecordCutShort", "Data_Str", "1,1,1\n1,1,0,8,9", "Too few switch values", kAtNextHeader},
    {"DataAfter", "Data_Str", "1,1,1\n65535,0", "Data after end of switch values", 2},
    // Data_Gr_Str
    {"FirstSectionZero", "Data_Gr_Str", "1,0,2,0\n65535", "Section index out of bounds", 1},
    {"ThirdSectionAboveS", "Data_Gr_Str", "1,1,2,9\n65535", "Section index out of bounds", 1},
    {"CutShort", "Data_Gr_Str", "1,1,2", "Too few switch group values", kAtNextHeader},
    {"DataAfter", "Data_Gr_Str", "65535\n5", "Data after end of switch group values", 2},
    // Data_Sl_Sekz
    {"SwitchAboveSwitchCount", "Data_Sl_Sekz", Sl({{1, "3,2,3, 0,0,0, 100,80, 0,0, 60,40, 25"}}), "Switch groups unsupported yet", 2},
    {"EvenSwitchAboveSwitchCount", "Data_Sl_Sekz", Sl({{4, "0,5,0, 3,2,3, 100,80, 0,0, 60,40, 25"}}), "Switch groups unsupported yet", 5},
    {"LinkToItself", "Data_Sl_Sekz", Sl({{2, "0,2,0, 0,1,0, 800,0, 14,0, 80,60, 0"}}), "Section cannot link to itself", 3},
    {"EvenLinkToItself", "Data_Sl_Sekz", Sl({{2, "0,4,0, 0,2,0, 800,0, 14,0, 80,60, 0"}}), "Section cannot link to itself", 3},
    {"NeighbourAboveS", "Data_Sl_Sekz", Sl({{7, "0,9,0, 0,6,0, 300,0, 0,0, 60,60, 0"}}), "Section index out of bounds", 8},
    {"OddStraightNotLinkedBack", "Data_Sl_Sekz", Sl({{7, "0,5,0, 0,6,0, 300,0, 0,0, 60,60, 0"}}), "Mislinking section (odd direction straight)", 8},
    {"EvenStraightNotLinkedBack", "Data_Sl_Sekz", Sl({{7, "0,0,0, 0,5,0, 300,0, 0,0, 60,60, 0"}}), "Mislinking section (even direction straight)", 8},
    {"OddSideNotLinkedBack", "Data_Sl_Sekz", Sl({{7, "2,0,3, 0,6,0, 300,0, 0,0, 60,60, 0"}}), "Mislinking section (odd direction to the side)", 8},
    {"EvenSideNotLinkedBack", "Data_Sl_Sekz", Sl({{7, "0,0,0, 2,6,3, 300,0, 0,0, 60,60, 0"}}), "Mislinking section (even direction to the side)", 8},
    {"OddSwitchWithoutSide", "Data_Sl_Sekz", Sl({{1, "1,2,0, 0,0,0, 100,80, 0,0, 60,40, 25"}}), "Section with switch data incomplete", 2},
    {"OddSideWithoutSwitch", "Data_Sl_Sekz", Sl({{1, "0,2,3, 0,0,0, 100,80, 0,0, 60,40, 25"}}), "Section with switch data incomplete", 2},
    {"EvenSwitchWithoutSide", "Data_Sl_Sekz", Sl({{4, "0,5,0, 2,2,0, 100,80, 0,0, 60,40, 25"}}), "Section with switch data incomplete", 5},
    {"SwitchWithoutSideLength", "Data_Sl_Sekz", Sl({{1, "1,2,3, 0,0,0, 100,0, 0,0, 60,40, 25"}}), "Section with switch data incomplete", 2},
    {"SideLengthWithoutSwitch", "Data_Sl_Sekz", Sl({{2, "0,4,0, 0,1,0, 800,5, 14,0, 80,60, 0"}}), "Section with switch data incomplete", 3},
    {"SwitchWithoutSideSpeed", "Data_Sl_Sekz", Sl({{1, "1,2,3, 0,0,0, 100,80, 0,0, 60,40, 0"}}), "Section with switch data incomplete", 2},
    {"SideSpeedWithoutSwitch", "Data_Sl_Sekz", Sl({{2, "0,4,0, 0,1,0, 800,0, 14,0, 80,60, 5"}}), "Section with switch data incomplete", 3},
    {"SwitchesAtBothEnds", "Data_Sl_Sekz", Sl({{4, "1,5,6, 2,2,3, 100,80, 0,0, 60,40, 25"}}), "Section may have either even or odd switch", 5},
    {"SignalAtSwitch", "Data_Sl_Sekz", Sl({{1, "1,2,3, 0,0,0, 100,80, 14,0, 60,40, 25"}}), "Semaphore should be before the switch, not at it", 2},
    {"EvenSignalAtSwitch", "Data_Sl_Sekz", Sl({{4, "0,5,0, 2,2,3, 100,80, 0,\n11, 60,40, 25"}}), "Semaphore should be before the switch, not at it", 6},
    {"SignalLampBeyondTable", "Data_Sl_Sekz", Sl({{2, "0,4,0, 0,1,0, 800,0, 21,0, 80,60, 0"}}), "Lamp index out of bounds", 3},
    {"LengthWithoutPassengerLimit", "Data_Sl_Sekz", Sl({{2, "0,4,0, 0,1,0, 800,0, 14,0, 0,60, 0"}}), "Section len without section speed limit (or vice versa)", 3},
    {"FreightLimitWithoutLength", "Data_Sl_Sekz", Sl({{7, "0,0,0, 0,6,0, 0,0, 0,0, 0,60, 0"}}), "Section len without section speed limit (or vice versa)", 8},
    {"RecordMissing", "Data_Sl_Sekz", Sl({{7, "; gone"}}), "Too few sl sekz values", kAtNextHeader},
    {"DataAfter", "Data_Sl_Sekz", Sl({}) + "\n1", "Data after end of sl sekz values", 9},
    {"ReverseAfterEvenFlip", "Data_Sl_Sekz", Sl({{5, "0,0,0, 0,6,0, 5000,0, 0,0, 120,90, 0"}, {6, "0,0,0, 2,5,7, 900,80, 0,0, 100,80, 25"}, {7, "0,6,0, 0,0,0, 300,0, 0,0, 60,60, 0"}}), "Indefinite parity reverse", 8},
    {"FlipAfterOddFlip", "Data_Sl_Sekz", Sl({{5, "0,6,0, 0,4,0, 5000,0, 0,0, 120,90, 0"}, {6, "2,5,7, 0,0,0, 900,80, 0,0, 100,80, 25"}, {7, "0,0,0, 0,6,0, 300,0, 0,0, 60,60, 0"}}), "Indefinite parity flip", 8},
    // Data_Marsh_P
    {"UnknownLPCode", "Data_Marsh_P", "3,1,1\n11,21,1,2,1,2,1\n65535", "Unknown LP code", 1},
    {"TwentyOneSwitches", "Data_Marsh_P", "1,1,\n21", "Unsupported train routes switch count", 2},
    {"ButtonPosition7", "Data_Marsh_P", "1,1,1\n47,21,1,2,1,2,1\n65535", "Unsupported route button", 2},
    {"EndButtonKind5", "Data_Marsh_P", "1,1,1\n11,\n51,1,2,1,2,1\n65535", "Unsupported route button", 3},
    {"LampBeyondTable", "Data_Marsh_P", "1,1,1\n11,21,1,21,1,2,1\n65535", "Lamp index out of bounds", 2},
    {"FirstSectionZero", "Data_Marsh_P", "1,1,1\n11,21,1,2,0,2,1\n65535", "Section index out of bounds", 2},
    {"LastSectionAboveS", "Data_Marsh_P", "1,1,1\n11,21,1,2,1,9,1\n65535", "Section index out of bounds", 2},
    {"RouteCutShort", "Data_Marsh_P", "1,2,1\n11,21,1,2,1,2,1\n11,21", "Too few train routes group values", kAtNextHeader},
    {"DataAfter", "Data_Marsh_P", "65535\n1", "Data after end of train routes values", 2},
    // Data_Marsh_M
    {"ManeuvresEmpty", "Data_Marsh_M", "", "Maneuvres routes unsupported.", kAtNextHeader},
    {"ManeuvresGiven", "Data_Marsh_M", "\n1,2,3", "Maneuvres routes unsupported.", 2},
    {"ManeuvresDataAfter", "Data_Marsh_M", "65535,1", "Data after end of maneuvres routes", 1},
    // Data_Spar_Gr_Str
    {"SparSectionZero", "Data_Spar_Gr_Str", "1,0,2,1,2,0\n65535", "Section index out of bounds", 1},
    {"SparLampBeyondTable", "Data_Spar_Gr_Str", "1,1,2,1,21,0\n65535", "Lamp index out of bounds", 1},
    {"SparPairsCutShort", "Data_Spar_Gr_Str", "1,1,2,1,2,2\n5,6\n7", "Too few linked switches groups values", kAtNextHeader},
    {"SparDataAfter", "Data_Spar_Gr_Str", "65535\n2", "Data after linked switches groups values", 2},
    // Data_Stanz
    {"StanzPeregonAboveCount", "Data_Stanz", "1,1,1, 1,0\n2,0,2, 1,0, 2,0", "Peregon index out of bounds", 2},
    {"StanzPairsCutShort", "Data_Stanz", "1,1,1, 1,0\n2,0,2, 1,0", "Too few stanz values", kAtNextHeader},
    {"StanzDataAfter", "Data_Stanz", "1,1,1, 1,0\n2,0,1, 1,0\n3", "Data after end of stanz values", 3},
    // Data_Gorl_Stanz
    {"GorlPeregonAboveCount", "Data_Gorl_Stanz", "1,1,2,0,0\n65535", "Peregon index out of bounds", 1},
    {"GorlCutShort", "Data_Gorl_Stanz", "1,1,1,0", "Too few gorl stanz values", kAtNextHeader},
    {"GorlDataAfter", "Data_Gorl_Stanz", "65535\n1", "Data after end of gorl stanz values", 2},
    // Data_Put
    {"PutSectionZero", "Data_Put", "1,0,1,0\n0,2,1,1001,2,5,0\n65535", "Section index out of bounds", 2},
    {"PutSectionAboveS", "Data_Put", "1,0,1,0\n9,2,1,1001,2,5,0\n65535", "Section index out of bounds", 2},
    {"PutFirstLampBeyondTable", "Data_Put", "1,0,1,0\n2,21,0,1001,2,5,0\n65535", "Lamp index out of bounds", 2},
    {"PutLastLampBeyondTable", "Data_Put", "1,0,1,0\n2,\n19,3,1001,2,5,0\n65535", "Lamp index out of bounds", 3},
    {"PutTrackCutShort", "Data_Put", "1,0,1,0\n2,2,1,1001,2", "Too few put values", kAtNextHeader},
    {"PutFewerLPsThanStations", "Data_Put", "1,0,0,0\n65535", "Too few LPs", 2},
    {"PutDataAfter", "Data_Put", "1,0,0,0\n2,0,0,0\n65535,1", "Data after end of put values", 3},
    {"PutCodeZeroBeyondStations", "Data_Put", "1,0,0,0\n2,0,0,0\n0,0,0,0\n65535", "LP code 0 is only allowed for stations", 3},
    // Data_Peregon
    {"PeregonAccel30", "Data_Peregon", "1,30,10, 1,10,10, 0, 1,5, 9,5", "Accelerate time too long", 1},
    {"PeregonAccelB30", "Data_Peregon", "1,10,10, 1,\n30,10, 0, 1,5, 9,5", "Accelerate time too long", 2},
    {"PeregonBrake30", "Data_Peregon", "1,10,10, 1,10,30, 0, 1,5, 9,5", "Brake time too long", 1},
    {"PeregonPicket11", "Data_Peregon", "1,10,10, 1,10,10, 0, 1,5, 9,11", "Piquette exceeds maximum of 10", 1},
    {"PeregonCutShort", "Data_Peregon", "1,10,10, 1,10,10, 0, 1,5, 9", "Too few peregons values", kAtNextHeader},
    {"PeregonDataAfter", "Data_Peregon", "1,10,10, 1,10,10, 0, 1,5, 9,5\n\n0", "Data after end of peregons values", 3},
    // Data_Lok
    {"LocoType1", "Data_Lok", "1,1,100,20,120,0,100\n65535", "Reserved loco types 0..1 can not be configured", 1},
    {"LocoType5001", "Data_Lok", "5001,1,100,20,120,0,100\n65535", "Too many loco types", 1},
    {"AccelType3", "Data_Lok", "2,3,100,20,120,0,100\n65535", "Acceleration type unknwon", 1},
    {"DecelType2", "Data_Lok", "2,1,100,20,120,\n2,100\n65535", "Decelration type unknown", 2},
    {"LocoCutShort", "Data_Lok", "2,1,100,20,120,0", "Too few lcoo type values", kAtNextHeader},
    {"LocoDataAfter", "Data_Lok", "65535\n1", "Data after loco type values", 2},
    // Data_Ost_Lok
    {"OstMeters999", "Data_Ost_Lok", "1,999,1,200,0,0\n9,100,9,200,0,0", "Meters exceed km maximum", 1},
    {"OstSecondMeters999", "Data_Ost_Lok", "1,100,1,200,0,0\n9,100,9,999,0,0", "Meters exceed km maximum", 2},
    {"OstCutShort", "Data_Ost_Lok", "1,100,1,200,0,0\n9,100,9", "Too few ost loks values", kAtNextHeader},
    {"OstDataAfter", "Data_Ost_Lok", "1,100,1,200,0,0\n9,100,9,200,0,0,1", "Data after end of ost loks values", 2},
    // Data_Graf_Pass_Ch
    {"TrainNumberZero", "Data_Graf_Pass_Ch", "0,2002,0,0, 1, 0,0\n2,0,1000,2\n1,0,0,0\n65535", "At least one train number must be present", 1},
    {"LastLPZero", "Data_Graf_Pass_Ch", "2002,0,0,0, 0, 0,0\n65535", "Last LP code must not be zero", 1},
    {"StopCodeZero", "Data_Graf_Pass_Ch", kTrainHead + "0,0,1000,2\n65535", "Stop code must not be zero", 2},
    {"StopCodeUnknown", "Data_Graf_Pass_Ch", kTrainHead + "3,0,1000,2\n65535", "Stop code is unknown", 2},
    {"FirstStopAtSection", "Data_Graf_Pass_Ch", kTrainHead + "4100,0,1000,2\n65535", "Schedule should start with LP code", 2},
    {"StopSectionAboveS", "Data_Graf_Pass_Ch", kTrainHead + "2,0,1000,2\n4105,0,1005,0\n65535", "Illegal stop section", 3},
    {"Arrival2360", "Data_Graf_Pass_Ch", kTrainHead + "2,2360,1000,2\n65535", "Illegal arrival time", 2},
    {"Arrival2400", "Data_Graf_Pass_Ch", kTrainHead + "2,2400,1000,2\n65535", "Illegal arrival time", 2},
    {"DepartureMissing", "Data_Graf_Pass_Ch", kTrainHead + "2,0,\n0,2\n65535", "Departure time must be present", 3},
    {"Departure1260", "Data_Graf_Pass_Ch", kTrainHead + "2,0,1260,2\n65535", "Illegal departure time", 2},
    {"FirstStopWithoutLoco", "Data_Graf_Pass_Ch", kTrainHead + "2,0,1000,1\n65535", "Schedule should start with locomotive specified", 2},
    // Data_Graf_Gruz_N
    {"StopListNeverEnds", "Data_Graf_Gruz_N", kTrainHead + "2,0,1000,2", "Too few graph trains schedule values", kAtNextHeader},
    // Data_Graf_Pass_N
    {"TrainDataAfter", "Data_Graf_Pass_N", "65535,7", "Data after graph trains schedule values", 1},
    // Data_Podhod_Form
    {"InletCreateType3", "Data_Podhod_Form", "1,3,0\n65535", "Illegal inlet create type", 1},
    {"InletCutShort", "Data_Podhod_Form", "1,0", "Too few creation inlets values", kAtNextHeader},
    {"InletDataAfter", "Data_Podhod_Form", "65535\n\n1", "Data after creation inlets values", 3},
    // Data_Num_Poezd
    {"NumberingOneValue", "Data_Num_Poezd", "2001", "Too few freights numeration values", kAtNextHeader},
    {"NumberingReversed", "Data_Num_Poezd", "3000,\n2999", "Illegal freights numeration order", 2},
    {"NumberingThirdValue", "Data_Num_Poezd", "2001,2999\n5", "Data after freights numeration values", 2},
    // Data_Plan_Form
    {"PlanTime2460", "Data_Plan_Form", "2460,2001,-,1,0,1,2,3,0,0,0\n65535", "Illegal creation time", 1},
    {"PlanInletEqualsS", "Data_Plan_Form", "0900,2001,-,8,0,1,2,3,0,0,0\n65535", "Inlet index out of bounds", 1},
    {"FreightLoad13", "Data_Plan_Form", "0900,1200,-,1,0,1,2,13,0,0,0\n65535", "Illegal freight load type", 1},
    {"CruiseStartMonth13", "Data_Plan_Form", "0800,6500,-,1,0,1,2,10,1301,1231,0\n65535", "Illegal cruise start time", 1},
    {"CruiseEndDay32", "Data_Plan_Form", "0800,6500,-,1,0,1,2,10,0101,1232,0\n65535", "Illegal cruise end time", 1},
    {"CruiseEndMissing", "Data_Plan_Form", "0800,6500,-,1,0,1,2,10,0501,0,0\n65535", "Illegal cruise end time", 1},
    {"CruiseStartMissing", "Data_Plan_Form", "0800,6500,-,1,0,1,2,10,0,0501,0\n65535", "Illegal cruise end time", 1},
    {"Periodicity6", "Data_Plan_Form", "0800,999,-,1,0,1,2,10,0101,1231,6\n65535", "Illegal passenger periodity type", 1},
    {"PlanNameMissing", "Data_Plan_Form", "0800,6500", "Too few creation plans values", kAtNextHeader},
    {"PlanDataAfter", "Data_Plan_Form", "65535,1", "Data after creation plans values", 1},
    // DataS_RP_Name_Mnem
    {"MnemTooFew", "DataS_RP_Name_Mnem", "АЛК", "Too few LP names", kAtNextHeader},
    // DataS_RP_Name_Manip
    {"ManipDataAfter", "DataS_RP_Name_Manip", "А,Б\nВ", "Data after LP names", 2},
    // DataS_Stanz_Name
    {"NameGroupWithOneSlash", "DataS_Stanz_Name", "Алексеевка,Борисово\nВязьма(Вяз/В),Гагарин,Дорохово,Ельня,Жуковка,Зубцов,Истра,Калуга,Лихославль,Москва", "Illegal separator sequence in station names", 2},
    {"NameGroupNotClosed", "DataS_Stanz_Name", "Алексеевка(А/Б/В/Г", "Illegal separator sequence in station names", 1},
    {"ElevenNames", "DataS_Stanz_Name", "А,Б,В,Г,Д,Е,Ж,З,И,К\nЛ", "Too few station names", kAtLastLine},
    // A count of 65535 in a short file fails on the missing values, not on an allocation
    {"HugeStanzCount", "Data_Stanz", "1,1,65535, 1,0", "Too few stanz values", kAtNextHeader},
    {"HugePutCount", "Data_Put", "1,0,65535,0", "Too few put values", kAtNextHeader},
    {"HugeMarshCount", "Data_Marsh_P", "1,65535,1", "Too few train routes group values", kAtNextHeader},
    {"HugeSparCount", "Data_Spar_Gr_Str", "1,1,2,1,2,65535,1,1", "Too few linked switches groups values", kAtNextHeader},
    {"HugePlanDays", "Data_Plan_Form", "0800,6001,-,1,0,1,2,10,0101,1231,1,65535,1", "Too few creation plans values", kAtNextHeader},
    {"HugeViewCount", "Data_Graph_Vid", "100", "Too few graph vids", kAtNextHeader},
};
// clang-format on

class ReaderMessageTest : public ::testing::TestWithParam<MessageRow> {};

TEST_P(ReaderMessageTest, RaisesMessageAtLine) {
  const MessageRow& r = GetParam();
  const DistrictText district = With({{r.Section, r.Body}});
  int line = r.Line;
  if (r.Section[0] != '#') {
    if (line > 0) line = district.BodyLine(r.Section, line);
    if (line == kAtNextHeader) line = district.NextHeaderLine(r.Section);
    if (line == kAtLastLine) line = district.LineCount();
  }
  const LoadOutcome out = Load(district);
  ASSERT_FALSE(out.Ok) << "read without error";
  EXPECT_EQ(out.Message, r.Message);
  EXPECT_EQ(out.Line, line);
  EXPECT_EQ(out.Error.LineNo, line);
}

std::string RowName(const ::testing::TestParamInfo<MessageRow>& info) {
  std::string section = info.param.Section[0] == '#' ? "Header" : info.param.Section;
  std::erase_if(section, [](char c) { return c == '_'; });
  return section + "_" + info.param.Scenario;
}

INSTANTIATE_TEST_SUITE_P(Rows, ReaderMessageTest, ::testing::ValuesIn(kMessageRows), RowName);

using V = std::vector<int>;
/// One value row: the district read with some changes, and the fields a probe picks out.
struct ValueRow {
  const char* Scenario;
  Changes Change;
  V (*Probe)(const TAreaData&);
  V Expected;
};

const DistrictText kDefault;
std::string Line(const char* section, int k, const std::string& text) {
  return kDefault.WithLine(section, k, text);
}
std::string Put(const std::string& firstTrack) {
  return "1,0,2,0\n" + firstTrack + "\n3,3,1,2,2,0,0\n2,0,1,0\n6,6,1,1,2,0,0\n65535";
}
std::string Plan(int number) {
  return "0800," + std::to_string(number) + ",0,1,0,1,2,7,0,0,0\n65535";  // name "0" is empty
}
std::string Throat(int value2) {
  return "1," + std::to_string(value2) + ",1,3,9\n65535";
}
std::string Lamps(std::initializer_list<const char*> points) {  // lamps 1.., 20 in all
  std::string lamps = "1,20\n";
  for (const char* p : points) lamps += std::string(p) + ",10\n";
  for (std::size_t k = points.size(); k < 20; ++k) lamps += "0,0,10\n";
  return lamps;
}
V Size(std::size_t n) {
  return {static_cast<int>(n)};
}

// clang-format off
const ValueRow kValueRows[] = {
    // The default district, table by table
    {"Header", {}, [](const TAreaData& a) { return V{a.AreaNumber, a.StationCount, a.SwitchCount, a.SectCount, a.GraphScale, a.BaseYear, a.LPCount, a.ParityFlipCount}; }, {1, 2, 2, 8, 1000, 2024, 2, 0}},
    {"Fragments", {}, [](const TAreaData& a) { const auto& f = a.GraphFragms.at(0); return V{f.Right, f.Bottom, f.ShownCode, f.Coordinate, f.DepartCommitLamp[1], a.GraphFragms.at(1).AnchorX}; }, {200, 100, 1, 1000, 19, 300}},
    {"Views", {}, [](const TAreaData& a) { const auto& v = a.GraphVids.at(0); return V{v.Values[0], v.Values[2], v.Fragms.at(0).Shown, v.Fragms.at(1).X, v.Fragms[1].Shown}; }, {800, 10, 0, 300, 1}},
    {"Stations", {}, [](const TAreaData& a) { return V{a.Stanzs.at(1).Code, a.Stanzs[1].Value2, a.Stanzs[1].Items.at(0)[0]}; }, {2, 0, 1}},
    {"Links", {}, [](const TAreaData& a) { const auto& s = a.SlSects; return V{s.at(1).Switch[kOdd], s[1].Side[kOdd], s[4].Side[kEven], s[5].Length, s[1].SideSpeedLimit, a.Strels.at(1).OddEnd, a.Strels.at(2).OddEnd, s[3].Throat[0]}; }, {1, 3, 3, 5000, 25, 1, 0, -1}},
    // kind, direction, lamp, section, LP, next of each signal appended while reading
    {"Signals", {}, [](const TAreaData& a) { V v; for (const auto& s : a.Semaphores) v.insert(v.end(), {s.Kind, s.Direction, s.Lamp, s.Section, s.LP, s.Next}); return v; }, {1, kOdd, 14, 2, 0, -1, 3, kOdd, 16, 5, -1, -1, 1, kEven, 15, 6, 1, -1}},
    // section 3 is a track, but no signal asked for it
    {"SignalSections", {}, [](const TAreaData& a) { const auto& s = a.SlSects; return V{s[2].Semaphore[kOdd], s[2].Semaphore[kEven], s[6].Semaphore[kEven], s[2].TrackLP, s[2].Track, s[6].TrackLP, s[3].TrackLP}; }, {0, -1, 2, 0, 0, 1, -1}},
    // track I is odd and of kind 5
    {"Tracks", {}, [](const TAreaData& a) { const auto& p = a.Puts.at(0); return V{p.Code, p.Ring, p.CodeFromStation, static_cast<int>(p.Tracks.size()), p.Tracks.at(0).Number, p.Kind5[1], p.Kind5[0]}; }, {1, -1, 0, 2, 1001, 1, 0}},
    // types 0 and 1 are reserved
    {"Locos", {}, [](const TAreaData& a) { const auto& l = a.Locos; return V{static_cast<int>(l.size()), l.at(0).MaxSpeed, l.at(2).AccelType, l[2].Traction, l[2].MaxSpeed}; }, {3, 0, 1, 100, 100}},
    // stops of LPs and sections until the last LP
    {"Timetable", {}, [](const TAreaData& a) { const auto& t = a.PassTrains[kEven].at(0); const auto& s = t.Stops; return V{static_cast<int>(a.PassTrains[kOdd].size()), t.Numbers[0], t.LastLP, static_cast<int>(s.size()), s.at(0).LPCode, s[0].Section, s[0].Departure, s[0].LocoType, s[1].Section, s[1].LPCode, s[2].Arrival}; }, {0, 2002, 1, 3, 2, 0, 1000, 2, 5, 0, 1030}},
    {"Plans", {}, [](const TAreaData& a) { const auto& p = a.CreationPlans.at(0); const auto& f = a.CreationPlans.at(1); return V{p.Time, p.StartDate, p.EndDate, p.Periodicity, p.DayCount, p.Days.at(0), p.Days.at(1), f.LoadType, f.Periodicity, static_cast<int>(f.Days.size())}; }, {800, 101, 1231, 1, 2, 1, 3, 3, 0, 0}},
    // Number syntax and lines skipped before a value
    {"NumberHexUpperSuffix", {{"#1", "1F4h"}}, [](const TAreaData& a) { return V{a.AreaNumber}; }, {500}},
    {"NumberHexLowerDigits", {{"#1", "1f4H"}}, [](const TAreaData& a) { return V{a.AreaNumber}; }, {500}},
    {"NumberDecimal", {{"#1", "500"}}, [](const TAreaData& a) { return V{a.AreaNumber}; }, {500}},
    {"NumberHexTerminator", {{"#1", "FFFFh"}}, [](const TAreaData& a) { return V{a.AreaNumber}; }, {65535}},
    {"NumberDecimalMaximum", {{"#1", "65535"}}, [](const TAreaData& a) { return V{a.AreaNumber}; }, {65535}},
    {"NumberHexZero", {{"#1", "0h"}}, [](const TAreaData& a) { return V{a.AreaNumber}; }, {0}},
    {"NumberWithComment", {{"#1", "12 ; twelve"}}, [](const TAreaData& a) { return V{a.AreaNumber}; }, {12}},
    {"NumberBetweenBlanksAndTabs", {{"#1", " \t 12\t "}}, [](const TAreaData& a) { return V{a.AreaNumber}; }, {12}},
    {"NumberAfterBlankAndCommentLines", {{"#1", "\n   \n; area\n12"}}, [](const TAreaData& a) { return V{a.AreaNumber}; }, {12}},
    {"RecordsSpreadOverLinesWithComments", {{"Data_Sekz", "\n; first\n1,\n\n1\n  ; between\n2,2,3, ; c\n3,4,\n\n4,5,5,6,6,7,7,\n65535,"}}, [](const TAreaData& a) { return V(a.Sekzs.begin(), a.Sekzs.end()); }, {0, 1, 2, 3, 4, 5, 6, 7, 0}},
    // Graph background colour codes
    {"Colour0", {{"#5", "0"}}, [](const TAreaData& a) { return V{static_cast<int>(a.GraphBackColor)}; }, {0xFFFFFF}},
    {"Colour1", {{"#5", "1"}}, [](const TAreaData& a) { return V{static_cast<int>(a.GraphBackColor)}; }, {0xC0C0C0}},
    {"Colour128", {{"#5", "128"}}, [](const TAreaData& a) { return V{static_cast<int>(a.GraphBackColor)}; }, {0x808080}},
    {"Colour255", {{"#5", "255"}}, [](const TAreaData& a) { return V{static_cast<int>(a.GraphBackColor)}; }, {0xFFFFFF}},
    // Panel geometry
    {"PeregonOffsetsOf1000AndMoreAreNegative", {{"Data_Graph_Peregon", "1,2, 999,1000,1010,5, 1, 17,18, 16,16, 5\n65535"}}, [](const TAreaData& a) { const auto& p = a.GraphPeregons.at(0); return V{p.Offsets[0], p.Offsets[1], p.Offsets[2], p.Offsets[3], p.LP[1], p.BlockLamps[1], p.EndSection[0], p.EndSection[1]}; }, {999, 0, -10, 5, 2, 16, 5, 0}},
    // lamps before FirstLamp are placeholders; lamp 19 lies between the rectangles, 20 right of them
    {"LampPlaceholdersBeforeFirstLamp", {{"Data_Graph_Lamp", "18,3\n10,10,205\n210,10,10\n600,10,0"}}, [](const TAreaData& a) { const auto& l = a.GraphLamps; return V{a.FirstLamp, static_cast<int>(l.size()), l[0].Width, l[17].Width, l[17].Thickness, l[18].Width, l[18].Shape, l[18].Thickness, l[18].Station, l[19].Station, l[20].Station}; }, {18, 21, 0, 0, 0, 5, 2, 3, 0, -1, -1}},
    // B's rectangle overlaps A's from x = 150 on: rectangles are half open and searched from the last
    {"LampStations", {{"Data_Graph_Fragm", "0,0,200,100, 0,0, 1,1000, 0,19, 0\n150,0,500,100, 300,0, 2,9000, 0,0, 0"}, {"Data_Graph_Lamp", Lamps({"199,99", "200,50", "149,50", "150,50", "500,50", "10,100"})}}, [](const TAreaData& a) { V v; for (int k = 1; k <= 6; ++k) v.push_back(a.GraphLamps.at(k).Station); return v; }, {1, 1, 0, 1, -1, -1}},
    // Minus lamp 10 around reference lamp 8 (40, 50): shape 1 becomes 3 when exactly one of "right of" and "below" holds, 3 becomes 1 when both or neither
    {"MinusLampRightBelow1", {{"Data_Graph_Lamp", Line("Data_Graph_Lamp", 11, "45,55,105")}}, [](const TAreaData& a) { return V{a.GraphLamps.at(10).Shape}; }, {1}},
    {"MinusLampRightAbove1", {{"Data_Graph_Lamp", Line("Data_Graph_Lamp", 11, "45,45,105")}}, [](const TAreaData& a) { return V{a.GraphLamps.at(10).Shape}; }, {3}},
    {"MinusLampLeftBelow1", {{"Data_Graph_Lamp", Line("Data_Graph_Lamp", 11, "35,55,105")}}, [](const TAreaData& a) { return V{a.GraphLamps.at(10).Shape}; }, {3}},
    {"MinusLampLeftAbove1", {{"Data_Graph_Lamp", Line("Data_Graph_Lamp", 11, "35,45,105")}}, [](const TAreaData& a) { return V{a.GraphLamps.at(10).Shape}; }, {1}},
    {"MinusLampRightBelow3", {{"Data_Graph_Lamp", Line("Data_Graph_Lamp", 11, "45,55,305")}}, [](const TAreaData& a) { return V{a.GraphLamps.at(10).Shape}; }, {1}},
    {"MinusLampRightAbove3", {{"Data_Graph_Lamp", Line("Data_Graph_Lamp", 11, "45,45,305")}}, [](const TAreaData& a) { return V{a.GraphLamps.at(10).Shape}; }, {3}},
    {"MinusLampShape2Kept", {{"Data_Graph_Lamp", Line("Data_Graph_Lamp", 11, "45,45,205")}}, [](const TAreaData& a) { return V{a.GraphLamps.at(10).Shape}; }, {2}},
    // without lamp A the reference is the first minus lamp of type 0: lamp 20 at (100, 50)
    {"MinusLampWithoutLampA", {{"Data_Graph_Lamp", Line("Data_Graph_Lamp", 21, "100,50,0")}, {"Data_Str", "1,1,3\n1,1,0, 0,9, 19,20,10\n4,2,0, 11,12, 13,0,0\n65535"}}, [](const TAreaData& a) { return V{a.GraphLamps.at(10).Shape}; }, {3}},
    // Sections, switches, links and signals
    {"SectionLampsZeroUntilGiven", {{"Data_Sekz", "3,7\n8,9\n0,0\n65535"}}, [](const TAreaData& a) { return V(a.Sekzs.begin(), a.Sekzs.end()); }, {0, 0, 0, 7, 0, 0, 0, 0, 9}},
    {"SwitchesByNumberGapsZero", {{"Data_Str", "2,3,3\n1,7,4, 8,0, 9,0,0, 10,0,0\n1,1,0, 8,0, 9,0,0, 10,0,0\n4,2,0, 11,0, 12,0,0, 13,0,0\n65535"}}, [](const TAreaData& a) { const auto& s = a.Strels; V v{a.SwitchLampsA, a.SwitchLampsPlus, a.SwitchLampsMinus, static_cast<int>(s.size()), s.at(7).Section, s[7].Value3, s[7].MinusLamps[0]}; for (int k = 3; k <= 6; ++k) v.insert(v.end(), {s[k].Section, s[k].LampsA[0]}); return v; }, {2, 3, 3, 8, 1, 4, 10, 0, 0, 0, 0, 0, 0, 0, 0}},
    // every switch number of the header can be indexed; OddEnd is set by the section links
    {"SwitchTableCoversSwitchCount", {{"#3", "9"}, {"Data_Str", "1,1,1\n65535"}}, [](const TAreaData& a) { return V{static_cast<int>(a.Strels.size()), a.Strels.at(1).OddEnd}; }, {10, 1}},
    {"OddSignalBeforeEven", {{"Data_Sl_Sekz", Line("Data_Sl_Sekz", 4, "0,4,0, 0,1,0, 700,0, 19,20, 80,60, 0")}}, [](const TAreaData& a) { const auto& s = a.Semaphores; return V{static_cast<int>(s.size()), s.at(1).Lamp, s[1].Direction, s[2].Lamp, s[2].Direction, a.SlSects[3].Semaphore[kOdd], a.SlSects[3].Semaphore[kEven]}; }, {5, 19, kOdd, 20, kEven, 1, 2}},
    {"SameDirectionLinksFlip", {{"Data_Sl_Sekz", Line("Data_Sl_Sekz", 8, "0,6,0, 0,0,0, 300,0, 0,0, 60,60, 0")}}, [](const TAreaData& a) { const auto& s = a.SlSects; return V{a.ParityFlipCount, s[6].Flip[kOdd], s[7].Flip[kOdd], s[6].Flip[kEven], s[5].Flip[kOdd]}; }, {1, 1, 1, 0, 0}},
    {"EvenSignalTakesFirstOfTwoTracks", {{"Data_Put", "1,0,3,0\n2,2,1,1001,2,5,0\n3,3,1,2,2,0,0\n6,6,1,5,2,0,0\n2,0,1,0\n6,6,1,1,2,0,0\n65535"}}, [](const TAreaData& a) { return V{a.Semaphores.at(2).LP, a.SlSects[6].TrackLP, a.SlSects[6].Track}; }, {0, 0, 2}},
    // File routes
    {"RoutesPerLPWithButtonsSplit", {{"Data_Marsh_P", "2,1,0\n12,31,6,0,6,6\n1,1,1\n46,21,1,2,1,2,11\n65535"}}, [](const TAreaData& a) { const auto& lp = a.TrainRoutes.at(0); const auto& r = lp.Routes.at(0); return V{lp.Code, lp.RouteCount, lp.SwitchCount, static_cast<int>(lp.Routes.size()), r.StartKind, r.StartPosition, r.EndKind, r.EndPosition, r.StartLamp, r.LastSection, r.Switches[0], r.Switches[1], a.TrainRoutes.at(1).Code, a.TrainRoutes[1].Routes.at(0).FirstSection}; }, {1, 1, 1, 1, 4, 6, 2, 1, 1, 2, 11, 0, 2, 6}},
    {"LaterGroupOfAnLPReplacesTheEarlier", {{"Data_Marsh_P", "1,1,1\n11,21,1,2,1,2,1\n1,2,0\n11,21,0,0,1,2\n21,11,0,0,2,1\n65535"}}, [](const TAreaData& a) { const auto& lp = a.TrainRoutes.at(0); return V{lp.RouteCount, lp.SwitchCount, static_cast<int>(lp.Routes.size()), static_cast<int>(a.TrainRoutes.at(1).Routes.size())}; }, {2, 0, 2, 0}},
    // SwitchPosBase rises only as far as the largest entry needs
    {"SwitchPosBase100", {{"#3", "25"}, {"Data_Marsh_P", "1,1,3\n11,21,1,2,1,2,3,13,115\n65535"}}, [](const TAreaData& a) { return V{a.SwitchPosBase}; }, {100}},
    {"SwitchPosBase10Of35", {{"#3", "25"}, {"Data_Marsh_P", "1,1,3\n11,21,1,2,1,2,3,13,35\n65535"}}, [](const TAreaData& a) { return V{a.SwitchPosBase}; }, {10}},
    {"SwitchPosBase10Of13", {{"#3", "25"}, {"Data_Marsh_P", "1,1,3\n11,21,1,2,1,2,3,13,13\n65535"}}, [](const TAreaData& a) { return V{a.SwitchPosBase}; }, {10}},
    {"SwitchPosBase100000", {{"#3", "25"}, {"Data_Marsh_P", "1,1,2\n11,21,1,2,1,2,65535,5\n65535"}}, [](const TAreaData& a) { return V{a.SwitchPosBase}; }, {100000}},
    {"ConcurrentRoutePairs", {{"Data_Spar_Gr_Str", "9,1,7,1,20,2\n3,4\n5,6\n65535"}}, [](const TAreaData& a) { const auto& g = a.SparGrStrels.at(0); return V{g.Value1, g.Lamp2, g.Count, g.ConcurRoutes.at(0)[0], g.ConcurRoutes[0][1], g.ConcurRoutes.at(1)[0], g.ConcurRoutes[1][1]}; }, {9, 20, 2, 3, 4, 5, 6}},
    // Throat value 2 gives parity, side and number; peregon and code range follow
    {"Throat5", {{"Data_Gorl_Stanz", Throat(5)}}, [](const TAreaData& a) { const auto& g = a.GorlStanzs.at(0); return V{g.Parity, g.Side, g.Number, g.Peregon, g.CodeLow, g.CodeHigh}; }, {1, 1, 0, 1, 3, 9}},
    {"Throat7", {{"Data_Gorl_Stanz", Throat(7)}}, [](const TAreaData& a) { const auto& g = a.GorlStanzs.at(0); return V{g.Parity, g.Side, g.Number}; }, {1, -1, 0}},
    {"Throat13", {{"Data_Gorl_Stanz", Throat(13)}}, [](const TAreaData& a) { const auto& g = a.GorlStanzs.at(0); return V{g.Parity, g.Side, g.Number}; }, {1, 1, 1}},
    {"Throat3", {{"Data_Gorl_Stanz", Throat(3)}}, [](const TAreaData& a) { const auto& g = a.GorlStanzs.at(0); return V{g.Parity, g.Side, g.Number}; }, {1, 0, 1}},
    {"Throat2", {{"Data_Gorl_Stanz", Throat(2)}}, [](const TAreaData& a) { const auto& g = a.GorlStanzs.at(0); return V{g.Parity, g.Side, g.Number}; }, {0, 0, 1}},
    {"Throat30", {{"Data_Gorl_Stanz", Throat(30)}}, [](const TAreaData& a) { const auto& g = a.GorlStanzs.at(0); return V{g.Parity, g.Side, g.Number}; }, {0, -1, 3}},
    // ThroatLayout counts only the throats of stations: sides 0, +1, -1 give 2 (2*2 > 3); 0, 0, +1, -1 give 1 (4 = 4)
    {"ThroatLayout2", {{"Data_Gorl_Stanz", "1,1,1,0,0\n1,5,1,0,0\n2,7,1,0,0\n65535"}}, [](const TAreaData& a) { return V{a.ThroatLayout}; }, {2}},
    {"ThroatLayout1", {{"Data_Gorl_Stanz", "1,1,1,0,0\n1,3,1,0,0\n1,5,1,0,0\n2,7,1,0,0\n65535"}}, [](const TAreaData& a) { return V{a.ThroatLayout}; }, {1}},
    {"ThroatLayoutOfNoStation", {{"Data_Gorl_Stanz", "1,1,1,0,0\n9,5,1,0,0\n9,7,1,0,0\n65535"}}, [](const TAreaData& a) { return V{a.ThroatLayout}; }, {1}},
    {"ThroatLayoutWithoutThroats", {{"Data_Gorl_Stanz", "65535"}}, [](const TAreaData& a) { return V{a.ThroatLayout}; }, {1}},
    // Track modes give the signs at both ends
    {"TrackMode1", {{"Data_Put", Put("2,2,1,1001,1,5,0")}}, [](const TAreaData& a) { const auto& t = a.Puts.at(0).Tracks.at(0); return V{t.SignA, t.SignB}; }, {1, 0}},
    {"TrackMode2", {{"Data_Put", Put("2,2,1,1001,2,5,0")}}, [](const TAreaData& a) { const auto& t = a.Puts.at(0).Tracks.at(0); return V{t.SignA, t.SignB}; }, {-1, 1}},
    {"TrackMode3", {{"Data_Put", Put("2,2,1,1001,3,5,0")}}, [](const TAreaData& a) { const auto& t = a.Puts.at(0).Tracks.at(0); return V{t.SignA, t.SignB}; }, {1, -1}},
    {"TrackMode0", {{"Data_Put", Put("2,2,1,1001,0,5,0")}}, [](const TAreaData& a) { const auto& t = a.Puts.at(0).Tracks.at(0); return V{t.SignA, t.SignB}; }, {1, 1}},
    {"CodeZeroTakesTheStationCode", {{"Data_Put", "0,0,2,0\n2,2,1,1001,2,5,0\n3,3,1,2,2,0,0\n0,0,1,0\n6,6,1,1,2,0,0\n65535"}}, [](const TAreaData& a) { const auto& p = a.Puts; return V{p.at(0).Code, p[0].CodeFromStation, p.at(1).Code, p[1].CodeFromStation}; }, {1, 1, 2, 1}},
    // a track with no lamps needs only its first lamp in range (20 is the last lamp)
    {"MoreLPsThanStations", {{"Data_Put", "1,0,2,0\n2,2,1,1001,2,5,0\n3,3,1,2,2,0,0\n2,0,1,0\n6,6,1,1,2,0,0\n5,1,1,0\n7,20,0,1,1,0,0\n65535"}}, [](const TAreaData& a) { const auto& p = a.Puts.at(2); return V{a.LPCount, a.StationCount, p.Code, p.Value2, p.Tracks.at(0).FirstLamp, static_cast<int>(a.TrainRoutes.size())}; }, {3, 2, 5, 1, 20, 3}},
    {"PeregonPairsAtLimits", {{"Data_Peregon", "1,29,28, 2,27,29, 3, 4,10, 5,0"}}, [](const TAreaData& a) { const auto& p = a.Peregons.at(0); return V{p.AB[0], p.AB[1], p.Accel[0], p.Accel[1], p.Brake[0], p.Brake[1], p.C, p.Km[0], p.Picket[0], p.Km[1]}; }, {1, 2, 29, 27, 28, 29, 3, 4, 10, 5}},
    // Locomotives, stopping data, timetable and plans; a lower loco type after a higher one loses nothing
    {"LocoTableNeverShrinks", {{"Data_Lok", "5,2,1,1,1,1,55\n2,1,1,1,1,0,22\n3,0,1,1,1,0,33\n65535"}}, [](const TAreaData& a) { V v; for (const auto& l : a.Locos) v.push_back(l.MaxSpeed); return v; }, {0, 0, 22, 33, 0, 55}},
    {"LocoType5000", {{"Data_Lok", "5000,2,1,1,1,1,55\n65535"}}, [](const TAreaData& a) { return Size(a.Locos.size()); }, {5001}},
    {"StopMetresRegrouped", {{"Data_Ost_Lok", "1,998,2,997,5,6\n9,100,9,200,0,0"}}, [](const TAreaData& a) { const auto& o = a.OstLocos.at(0); return V{o.Km[0], o.Km[1], o.Meters[0], o.Meters[1], o.E, o.F}; }, {1, 2, 998, 997, 5, 6}},
    {"TimetableSectionsFillTheirOwnLists", {{"Data_Graf_Gruz_N", "3001,0,0,0, 2, 0,0\n1,0,2359,2\n2,2359,2359,0\n65535"}}, [](const TAreaData& a) { return V{static_cast<int>(a.GruzTrains[kOdd].size()), static_cast<int>(a.GruzTrains[kOdd].at(0).Stops.size()), static_cast<int>(a.GruzTrains[kEven].size())}; }, {1, 2, 0}},
    // the plan number decides between cars (passenger) and a load type (freight)
    {"Plan6500", {{"Data_Plan_Form", Plan(6500)}}, [](const TAreaData& a) { const auto& p = a.CreationPlans.at(0); return V{p.LoadType, p.Cars, static_cast<int>(p.Name.size())}; }, {0, 7, 0}},
    {"Plan7501", {{"Data_Plan_Form", Plan(7501)}}, [](const TAreaData& a) { const auto& p = a.CreationPlans.at(0); return V{p.LoadType, p.Cars}; }, {7, 0}},
    {"Plan999", {{"Data_Plan_Form", Plan(999)}}, [](const TAreaData& a) { const auto& p = a.CreationPlans.at(0); return V{p.LoadType, p.Cars}; }, {0, 7}},
    {"Plan6000", {{"Data_Plan_Form", Plan(6000)}}, [](const TAreaData& a) { const auto& p = a.CreationPlans.at(0); return V{p.LoadType, p.Cars}; }, {0, 7}},
    {"Plan7500", {{"Data_Plan_Form", Plan(7500)}}, [](const TAreaData& a) { const auto& p = a.CreationPlans.at(0); return V{p.LoadType, p.Cars}; }, {0, 7}},
    {"Plan5999", {{"Data_Plan_Form", Plan(5999)}}, [](const TAreaData& a) { const auto& p = a.CreationPlans.at(0); return V{p.LoadType, p.Cars}; }, {7, 0}},
    {"Plan1000", {{"Data_Plan_Form", Plan(1000)}}, [](const TAreaData& a) { const auto& p = a.CreationPlans.at(0); return V{p.LoadType, p.Cars}; }, {7, 0}},
    // twelve station names are enough, "-" is empty; names end at a further section header
    {"TwelveStationNames", {{"DataS_Stanz_Name", "А,-,В,Г,Д,Е,Ж,З,И,К\nЛ,М(1/2/3/4)(5/6/7/8)x"}}, [](const TAreaData& a) { return V{static_cast<int>(a.Stations.size()), static_cast<int>(a.Stations.at(2).Name.size()), a.Stations[2].LPCode}; }, {13, 0, 2}},
    {"StationNamesEndAtAHeader", {{"DataS_Stanz_Name", "А,Б,В,Г,Д,Е,Ж,З,И,К,Л,М\n[Extra]\nН,О"}}, [](const TAreaData& a) { return Size(a.Stations.size()); }, {13}},
    {"HundredViews", {{"Data_Graph_Vid", [] { std::string b = "100\n"; for (int v = 0; v < 100; ++v) b += std::to_string(v) + ",1,2\n"; for (int s = 0; s < 2; ++s) for (int v = 0; v < 100; ++v) b += std::to_string(s) + "," + std::to_string(v) + ",0,7\n"; return b; }()}}, [](const TAreaData& a) { const auto& f = a.GraphVids.at(42).Fragms.at(1); return V{static_cast<int>(a.GraphVids.size()), a.GraphVids.at(99).Values[0], f.X, f.Y, f.Shown}; }, {100, 99, 1, 42, 1}},
};
// clang-format on

class ReaderValueTest : public ::testing::TestWithParam<ValueRow> {};

TEST_P(ReaderValueTest, ReadsTheValues) {
  const LoadOutcome out = Load(With(GetParam().Change));
  ASSERT_TRUE(out.Ok) << out.Message << " at line " << out.Line;
  EXPECT_EQ(GetParam().Probe(out.Area), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReaderValueTest, ::testing::ValuesIn(kValueRows),
                         [](const auto& row) { return std::string(row.param.Scenario); });

TEST(ReaderValuesTest, DefaultDistrictEndsAtItsLastLineWithNamesDecoded) {
  const LoadOutcome out = Load(kDefault);
  EXPECT_EQ(out.Error.LineNo, kDefault.LineCount());
  EXPECT_EQ(out.MaxSpeedLimit, 120);
  EXPECT_EQ(out.Area.CreationPlans.at(0).Name, "Экспресс");
  EXPECT_EQ(out.Area.CreationPlans.at(1).Name, "");  // "-"
  EXPECT_EQ(out.Area.LPMnemNames, (TLPNamesData{"АЛК", "БРС"}));
  EXPECT_EQ(out.Area.LPManipNames, (TLPNamesData{"Алексеевка", "Борисово"}));
  ASSERT_EQ(out.Area.Stations.size(), 14u);
  EXPECT_EQ(out.Area.Stations[3].Name, "Вязьма(Вяз/В/Вязьма/3)");
  EXPECT_EQ(out.Area.Stations[13].Name, "Нара");
  EXPECT_EQ(out.Area.Stations[13].LPCode, 13);
}

TEST(ReaderValuesTest, LoneLfAndAMissingFinalLineEndReadLikeCrLf) {
  const LoadOutcome lf = LoadBytes(Utf8ToCp1251(kDefault.Text()));
  ASSERT_TRUE(lf.Ok) << lf.Message;
  EXPECT_EQ(lf.Error.LineNo, kDefault.LineCount());
  std::string bytes = kDefault.Bytes();
  bytes.resize(bytes.size() - 2);
  EXPECT_TRUE(LoadBytes(bytes).Ok);
}

TEST(ReaderErrorTest, FilesEndingEarlyRaiseUnexpectedEofAtTheirLastLine) {
  const std::string text = kDefault.Text();
  const std::string inLok = text.substr(0, text.find("[Data_Lok]")) + "[Data_Lok]\n2,1,100\n\n";
  const std::string afterPlans = text.substr(0, text.find("[DataS_RP_Name_Mnem]"));
  const std::tuple<std::string, int, const char*> rows[] = {
      {"", 0, ""}, {"1\r\n2\r\n\r\n3\r\n", 4, "3"}, {inLok, -1, ""}, {afterPlans, -1, "65535"}};
  for (const auto& [utf8, line, lineText] : rows) {
    const LoadOutcome out = LoadBytes(Utf8ToCp1251(utf8));
    EXPECT_EQ(out.Message, "Unexpected EOF");
    EXPECT_EQ(out.Line, line >= 0 ? line : std::count(utf8.begin(), utf8.end(), '\n'));
    EXPECT_EQ(out.Error.LineText, lineText);
  }
}

TEST(ReaderErrorTest, SectionHeadersMatchExactlyWithCommentsAndBlanksAround) {
  for (const char* header : {"[ Data_Sekz ]", "[data_sekz]", "[Data_Sekz ]", "[Data_Sekz]]",
                             "  [Data_Sekz]  ; sections"}) {
    std::string text = kDefault.Text();
    text.replace(text.find("[Data_Sekz]"), 11, header);
    const LoadOutcome out = LoadBytes(Utf8ToCp1251(text));
    EXPECT_EQ(out.Message, header[0] == ' ' ? "" : "Section Data_Sekz not found") << header;
    EXPECT_EQ(out.Line, header[0] == ' ' ? -1 : kDefault.HeaderLine("Data_Sekz")) << header;
  }
  // Two neighbouring headers swapped: the expected one is named.
  std::string text = kDefault.Text();
  text.replace(text.find("[Data_Gr_Str]"), 13, "[Data_XX_Str]");
  text.replace(text.find("[Data_Str]"), 10, "[Data_Gr_Str]");
  const LoadOutcome out = LoadBytes(Utf8ToCp1251(text));
  EXPECT_EQ(out.Message, "Section Data_Str not found");
  EXPECT_EQ(out.Line, kDefault.HeaderLine("Data_Str"));
}

TEST(ReaderErrorTest, ErrorKeepsTheLineDecodedAndTheRestOfIt) {
  const LoadOutcome empty = Load(With({{"Data_Sekz", "1,1\n2,,2 ; two commas\n65535"}}));
  EXPECT_EQ(empty.Error.LineText, "2,,2 ; two commas");
  EXPECT_EQ(empty.Error.Rest, "2");
  const LoadOutcome names = Load(With({{"DataS_RP_Name_Mnem", "АЛК,БРС,Вяз ; лишнее"}}));
  EXPECT_EQ(names.Message, "Data after LP names");
  EXPECT_EQ(names.Error.LineText, "АЛК,БРС,Вяз ; лишнее");
  // Two LPs on one signal section: raised where the signal is read.
  const DistrictText twoTracks =
      With({{"Data_Put",
             "1,0,2,0\n2,2,1,1001,2,5,0\n3,3,1,2,2,0,0\n2,0,2,0\n6,6,1,1,2,0,0\n"
             "2,2,1,3,2,0,0\n65535"}});
  const LoadOutcome twice = Load(twoTracks);
  EXPECT_EQ(twice.Message, "Double track section (0002h) usage (1-1 <> 0-0)");
  EXPECT_EQ(twice.Line, twoTracks.BodyLine("Data_Sl_Sekz", 3));
}

TEST(ReaderErrorTest, ErrorBoxQuotesTheLineWithInnerQuotesDoubled) {
  TReadDataError error;
  EXPECT_EQ(FormatReadDataError(error, "Unexpected EOF"),
            "Error reading Data.dat\r\nAt Line 0\r\n''\r\n\r\nUnexpected EOF");
  error.LineNo = 42;
  error.LineText = "1,'2' ; it's";
  EXPECT_EQ(FormatReadDataError(error, "Not a decimal digit"),
            "Error reading Data.dat\r\nAt Line 42\r\n'1,''2'' ; it''s'\r\n\r\nNot a decimal digit");
}

TEST(ReaderErrorTest, AMissingFileIsNamedAtLineZero) {
  TAreaData area;
  int maxSpeed = 0;
  TReadDataError error;
  error.LineNo = 77;
  try {
    LoadAreaData("/nonexistent/district/Data.dat", area, maxSpeed, error);
    FAIL() << "no error";
  } catch (const ReadError& e) {
    EXPECT_STREQ(e.what(), "No such file or directory");
    EXPECT_EQ(e.line(), 0);
    EXPECT_EQ(error.LineNo, 0);
  }
}

TEST(Cp1251Test, RussianLettersAndEveryByteRoundTrip) {
  const std::string text = "Алексеевка Ёлкино ёж №5 «Юг»";
  const std::string bytes = Utf8ToCp1251(text);
  EXPECT_EQ(bytes.size(), 28u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xC0);  // А
  EXPECT_EQ(Cp1251ToUtf8(bytes), text);
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(Cp1251Test, CharactersWithoutAFormBecomeQuestionMarks) {
  // a cut sequence, an overlong '/', an emoji
  const std::pair<const char*, const char*> rows[] = {{"a€b", "a\210b"},
                                                      {"日本", "??"},
                                                      {"x\xC3", "x?"},
                                                      {"\xC0\xAF", "??"},
                                                      {"\xF0\x9F\x98\x80!", "?!"}};
  for (const auto& [utf8, cp1251] : rows) EXPECT_EQ(Utf8ToCp1251(utf8), cp1251) << cp1251;
}

}  // namespace
}  // namespace traklin::test
