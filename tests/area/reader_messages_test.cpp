// Every message of the district reader, pinned with the line it is raised at: one row each,
// grouped by the section whose body the row replaces.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "district_text.h"

namespace traklin::test {
namespace {

/// Line markers: the header line of the next section, or the last line of the file.
constexpr int kAtNextHeader = -1;
constexpr int kAtLastLine = -2;

struct MessageRow {
  const char* Scenario;  ///< letters and digits only
  const char* Section;   ///< section whose body is replaced, or "#n" for header value n
  std::string Body;
  std::string Message;
  int Line;  ///< 1-based line of the body (of the file for "#n"), or a marker
};

void PrintTo(const MessageRow& r, std::ostream* os) {
  *os << r.Section << " " << r.Scenario;
}

/// The default Data_Sl_Sekz with the records of the given sections replaced.
std::string Sl(std::initializer_list<std::pair<int, const char*>> records) {
  DistrictText d;
  for (const auto& [section, record] : records)
    d.SetSection("Data_Sl_Sekz", d.WithLine("Data_Sl_Sekz", section + 1, record));
  return d.Section("Data_Sl_Sekz");
}

const std::string kTrainHead = "2002,0,0,0, 1, 0,0\n";

// clang-format off
const MessageRow kRows[] = {
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
    // 65535 stations in a short file: line 14 is the header of the section after Data_Graph_Fragm
    {"HugeStationCount", "#2", "65535", "Too few graph fragms values", 14},
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
  DistrictText district;
  int line = r.Line;
  if (r.Section[0] == '#') {
    district.SetHeader(r.Section[1] - '0', r.Body);
  } else {
    district.SetSection(r.Section, r.Body);
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

INSTANTIATE_TEST_SUITE_P(Rows, ReaderMessageTest, ::testing::ValuesIn(kRows), RowName);

}  // namespace
}  // namespace traklin::test
