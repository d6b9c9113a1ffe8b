// Small but complete districts written as Data.dat text, shared by the area and state tests.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "area/cp1251.h"

namespace traklin::text_districts {

/// A district text kept as its nine header lines and its 27 sections, so that a test can
/// replace one piece and write the file again.
class TextDistrict {
 public:
  TextDistrict(std::vector<std::string> header,
               std::vector<std::pair<std::string, std::string>> sections)
      : header_(std::move(header)), sections_(std::move(sections)) {}

  /// Replaces a section's body; throws on an unknown name.
  TextDistrict& Set(std::string_view name, std::string body) {
    Find(name) = std::move(body);
    return *this;
  }
  /// Replaces the only occurrence of `from` in a section's body; throws when there is not
  /// exactly one.
  TextDistrict& Replace(std::string_view name, std::string_view from, std::string_view to) {
    std::string& body = Find(name);
    const std::size_t at = body.find(from);
    if (at == std::string::npos || body.find(from, at + 1) != std::string::npos)
      throw std::invalid_argument("not exactly one '" + std::string(from) + "' in " +
                                  std::string(name));
    body.replace(at, from.size(), to);
    return *this;
  }

  /// The file as written: Windows-1251, lines ended by CR LF.
  std::string Bytes() const {
    std::string text;
    for (const std::string& line : header_) text += line + "\n";
    for (const auto& [name, body] : sections_) text += "[" + name + "]\n" + body + "\n";
    std::string crlf;
    for (char c : Utf8ToCp1251(text)) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    return crlf;
  }

 private:
  std::string& Find(std::string_view name) {
    for (auto& [n, body] : sections_)
      if (n == name) return body;
    throw std::invalid_argument("unknown section " + std::string(name));
  }

  std::vector<std::string> header_;
  std::vector<std::pair<std::string, std::string>> sections_;
};

/// The 27 sections in file order, all empty ("65535") but for one locomotive type, one
/// locomotive record and the train number range; `own` replaces sections of a district.
inline TextDistrict WithDefaults(std::vector<std::string> header,
                                 std::vector<std::pair<std::string, std::string>> own) {
  std::vector<std::pair<std::string, std::string>> sections;
  for (const char* name :
       {"Data_Graph_Fragm",   "Data_Graph_Vid",      "Data_Graph_Peregon", "Data_Graph_Lamp",
        "Data_Sekz",          "Data_Stanz",          "Data_Gorl_Stanz",    "Data_Put",
        "Data_Str",           "Data_Gr_Str",         "Data_Sl_Sekz",       "Data_Marsh_P",
        "Data_Marsh_M",       "Data_Spar_Gr_Str",    "Data_Lok",           "Data_Ost_Lok",
        "Data_Peregon",       "Data_Graf_Pass_Ch",   "Data_Graf_Pass_N",   "Data_Graf_Gruz_Ch",
        "Data_Graf_Gruz_N",   "Data_Podhod_Form",    "Data_Num_Poezd",     "Data_Plan_Form",
        "DataS_RP_Name_Mnem", "DataS_RP_Name_Manip", "DataS_Stanz_Name"})
    sections.emplace_back(name, "65535");
  TextDistrict district(std::move(header), std::move(sections));
  district.Set("Data_Lok", "2,1,100,20,120,0,100\n65535")
      .Set("Data_Ost_Lok", "1,100,1,200,0,0")
      .Set("Data_Num_Poezd", "2001,2999");
  for (auto& [name, body] : own) district.Set(name, std::move(body));
  return district;
}

// Columns of the tables below:
//   Data_Graph_Peregon  lpA lpB xa ya xb yb drawn dir0 dir1 block0 block1 end
//   Data_Put            code v2 tracks v4, then per track: section lamp count number mode kind v7
//   Data_Sl_Sekz        sw1 st1 sd1 sw0 st0 sd0 len slen sig1 sig0 pass frei side
//   Data_Gorl_Stanz     code value2 peregon low high

// clang-format off
/// Controlled station Цна (code 1, LP 0, value 2 = 0: no duty officer, no throats) between
/// two graph peregons that leave the district. Odd runs to the right.
///
///    peregon 1 (block lamps 2..4)                                        peregon 2 (lamps 5..6)
///   <--[1]------[2]------[3]16>  sw1                 sw2  <17[8]------[9]-->
///                                [4]-o---[5] track I---o-[7]
///                                     \  18> <20      /
///                                      `-[6] track 2-'
///                                        19> <21
///
/// Sections 1..9 (SectCount 10). Switch 1 at the odd end of section 4 (straight 5, side 6),
/// switch 2 at the even end of section 7 (straight 5, side 6). Signals from the file: odd
/// entry 16 on section 3, even entry 17 on section 8, exits on the tracks (odd 18 and 19, even
/// 20 and 21). Lamps: 1 the name lamp, 2..4 and 5..6 block lamps, 7..9 switch 1 (own, plus,
/// minus), 10..12 switch 2, 13..14 track I, 15 track 2, 16..21 the signals.
/// Routes of Data_Marsh_P (buttons: 11 left entry, 41 right exit, 21/22 left ends of tracks
/// I and 2, 31/32 their right ends):
///   0  11->21  3,4,5  sw1 plus     4  41->31  8,7,5  sw2 plus
///   1  11->22  3,4,6  sw1 minus    5  41->32  8,7,6  sw2 minus
///   2  31->41  5,7,8  sw2 plus     6  21->11  5,4,3  sw1 plus
///   3  32->41  6,7,8  sw2 minus    7  22->11  6,4,3  sw1 minus
// clang-format on
inline TextDistrict ControlledStation() {
  return WithDefaults(
      {"1", "1", "2", "10", "0", "1000", "0", "0", "2024"},
      {
          {"Data_Graph_Fragm", "0,0,400,100, 200,50, 1,1000, 0,0, 0"},
          {"Data_Graph_Vid", "1\n800,600,10\n200,50,0,1"},
          {"Data_Graph_Peregon",
           "0,1, 0,0,0,0, 0, 0,0, 2,4, 1\n1,0, 0,0,0,0, 0, 0,0, 5,6, 8\n65535"},
          {"Data_Graph_Lamp",
           "1,21\n150,50,10\n10,50,10\n30,50,10\n50,50,10\n330,50,10\n350,50,10\n"
           "80,50,5\n85,50,5\n85,55,105\n270,50,5\n265,50,5\n265,55,305\n120,50,20\n160,50,20\n"
           "140,70,30\n60,45,2\n320,45,2\n190,45,2\n190,65,2\n110,45,2\n110,65,2"},
          {"Data_Stanz", "1,0,2, 1,0, 2,0"},
          {"Data_Put", "1,0,2,0\n5,13,2,1001,1,0,0\n6,15,1,2,1,0,0\n65535"},
          {"Data_Str", "1,1,1\n4,1,0, 7,8,9\n7,2,0, 10,11,12\n65535"},
          {"Data_Sl_Sekz",
           "0,2,0, 0,0,0, 1000,0, 0,0, 80,60, 0\n"   // 1
           "0,3,0, 0,1,0, 1000,0, 0,0, 80,60, 0\n"   // 2
           "0,4,0, 0,2,0, 1000,0, 16,0, 80,60, 0\n"  // 3
           "1,5,6, 0,3,0, 100,90, 0,0, 60,40, 40\n"  // 4
           "0,7,0, 0,4,0, 800,0, 18,20, 80,60, 0\n"  // 5 track I
           "0,7,0, 0,4,0, 800,0, 19,21, 80,60, 0\n"  // 6 track 2
           "0,8,0, 2,5,6, 100,90, 0,0, 60,40, 40\n"  // 7
           "0,9,0, 0,7,0, 1000,0, 0,17, 80,60, 0\n"  // 8
           "0,0,0, 0,8,0, 1000,0, 0,0, 80,60, 0"},   // 9
          {"Data_Marsh_P",
           "1,8,1\n11,21, 0,0, 3,5, 1\n11,22, 0,0, 3,6, 11\n31,41, 0,0, 5,8, 2\n"
           "32,41, 0,0, 6,8, 12\n41,31, 0,0, 8,5, 2\n41,32, 0,0, 8,6, 12\n"
           "21,11, 0,0, 5,3, 1\n22,11, 0,0, 6,3, 11\n65535"},
          {"Data_Peregon", "1,10,10, 1,10,10, 0, 1,5, 9,5\n1,10,10, 1,10,10, 0, 10,5, 19,5"},
          {"DataS_RP_Name_Mnem", "ЦНА"},
          {"DataS_RP_Name_Manip", "Цна"},
          {"DataS_Stanz_Name",
           "Цна,Вязьма,Нара,Гагарин,Дорохово,Ельня,Жуковка,Зубцов,Истра,Калуга,Лихославль,Москва"},
      });
}

// clang-format off
/// Station Дно with a duty officer (code 1, LP 0, value 2 = 1) and a throat on each side,
/// between the block post Запад (code 2, LP 1) and the block post Восток (code 3, LP 2).
/// Peregon 2 is numbered from Восток, so its parity flips where it meets the odd throat.
///
///          peregon 1 (lamps 2..3)                       peregon 2 (lamps 4..6), numbered <-
///   Запад --[1]------[2]14>  sw1                sw2   flip  <15[7]------[8]------[9]-- Восток
///                           [3]-o---[4] track I---o-[6]~~~~~~~~~~
///                                \  16> <18      /
///                                 `-[5] track 2-'
///                                   17> <19
///
/// In its own numbering peregon 2 runs from section 9 (its even end, at Восток) to section 7;
/// 6 and 7 point at each other with their odd ends (a parity flip). Throat 0: the even throat
/// of Дно (value 2 = 0) towards peregon 1; throat 1: the odd throat (value 2 = 1) towards
/// peregon 2. Signals from the file: entry 14 (odd) on section 2 and entry 15 (odd in the
/// peregon's numbering) on section 7; exits on the tracks (odd 16, 17; even 18, 19).
/// Lamps: 1 the name lamp, 2..3 and 4..6 block lamps, 7..9 switch 1, 10..12 switch 2,
/// 13 track I, 20 track 2, 14..19 the signals.
// clang-format on
inline TextDistrict DutyStationWithFlip() {
  return WithDefaults(
      {"2", "1", "2", "10", "0", "1000", "0", "0", "2024"},
      {
          {"Data_Graph_Fragm", "0,0,400,100, 200,50, 1,5000, 0,0, 0"},
          {"Data_Graph_Vid", "1\n800,600,10\n200,50,0,1"},
          {"Data_Graph_Peregon",
           "2,1, 0,0,0,0, 0, 0,0, 2,3, 1\n3,1, 0,0,0,0, 0, 0,0, 4,6, 9\n65535"},
          {"Data_Graph_Lamp",
           "1,20\n150,50,10\n10,50,10\n30,50,10\n330,50,10\n350,50,10\n370,50,10\n"
           "80,50,5\n85,50,5\n85,55,105\n270,50,5\n265,50,5\n265,55,305\n140,50,30\n"
           "60,45,2\n320,45,2\n190,45,2\n190,65,2\n110,45,2\n110,65,2\n140,70,30"},
          {"Data_Stanz", "1,1,2, 1,0, 2,0"},
          {"Data_Gorl_Stanz", "1,0,1,0,0\n1,1,2,0,0\n65535"},
          {"Data_Put", "1,0,2,0\n4,13,1,1001,1,0,0\n5,20,1,2,1,0,0\n2,0,0,0\n3,0,0,0\n65535"},
          {"Data_Str", "1,1,1\n3,1,0, 7,8,9\n6,2,0, 10,11,12\n65535"},
          {"Data_Sl_Sekz",
           "0,2,0, 0,0,0, 1000,0, 0,0, 80,60, 0\n"   // 1
           "0,3,0, 0,1,0, 1000,0, 14,0, 80,60, 0\n"  // 2
           "1,4,5, 0,2,0, 100,90, 0,0, 60,40, 40\n"  // 3
           "0,6,0, 0,3,0, 800,0, 16,18, 80,60, 0\n"  // 4 track I
           "0,6,0, 0,3,0, 800,0, 17,19, 80,60, 0\n"  // 5 track 2
           "0,7,0, 2,4,5, 100,90, 0,0, 60,40, 40\n"  // 6
           "0,6,0, 0,8,0, 1000,0, 15,0, 80,60, 0\n"  // 7 (flip with 6 at the odd ends)
           "0,7,0, 0,9,0, 1000,0, 0,0, 80,60, 0\n"   // 8
           "0,8,0, 0,0,0, 1000,0, 0,0, 80,60, 0"},   // 9
          {"Data_Peregon", "1,10,10, 1,10,10, 0, 1,5, 4,5\n1,10,10, 1,10,10, 0, 5,5, 9,5"},
          {"DataS_RP_Name_Mnem", "ДНО"},
          {"DataS_RP_Name_Manip", "Дно"},
          {"DataS_Stanz_Name",
           "Дно,Запад,Восток,Гагарин,Дорохово,Ельня,Жуковка,Зубцов,Истра,Калуга,Лихославль,Москва"},
      });
}

}  // namespace traklin::text_districts
