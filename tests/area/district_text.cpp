// A small valid district as Data.dat text, with ways to replace one piece for a test.
#include "district_text.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "area/cp1251.h"

namespace traklin::test {

namespace {

struct DefaultSection {
  const char* Name;
  const char* Body;
};

// Header: area 1, 2 stations, 2 switches, SectCount 8, white graph, scale 1000, 0, 0, 2024.
const char* const kDefaultHeader[9] = {"1", "2", "2", "8", "0", "1000", "0", "0", "2024"};

const DefaultSection kDefaultSections[27] = {
    {"Data_Graph_Fragm",  // left top right bottom ax ay code coord dc0 dc1 icon
     "0,0,200,100, 0,0, 1,1000, 0,19, 0\n300,0,500,100, 300,0, 2,9000, 0,0, 0"},
    {"Data_Graph_Vid", "1\n800,600,10\n0,0,0,0\n300,0,0,1"},
    {"Data_Graph_Peregon",  // lpA lpB xa ya xb yb drawn dir0 dir1 block0 block1 end
     "1,2, 10,0,1005,0, 1, 17,18, 16,16, 5\n65535"},
    {"Data_Graph_Lamp",  // sections 1..7; switch 1 A, plus, minus; switch 2; signals; more
     "1,20\n20,50,10\n60,40,20\n60,60,20\n120,50,10\n250,50,30\n350,50,20\n420,50,10\n"
     "40,50,5\n45,50,5\n45,55,105\n100,50,5\n95,50,5\n95,55,305\n"
     "80,45,2\n330,45,2\n270,45,2\n250,30,10\n260,30,10\n150,20,10\n400,20,10"},
    {"Data_Sekz", "1,1\n2,2\n3,3\n4,4\n5,5\n6,6\n7,7\n65535"},
    {"Data_Stanz", "1,1,1, 1,0\n2,0,1, 1,0"},
    {"Data_Gorl_Stanz", "1,1,1,0,0\n2,0,1,0,0\n65535"},
    {"Data_Put",
     "; code v2 tracks v4, then section lamp count number mode kind v7\n"
     "1,0,2,0\n2,2,1,1001,2,5,0\n3,3,1,2,2,0,0\n2,0,1,0\n6,6,1,1,2,0,0\n65535"},
    {"Data_Str", "1,1,1\n1,1,0, 8,9,10\n4,2,0, 11,12,13\n65535"},
    {"Data_Gr_Str", "65535"},
    {"Data_Sl_Sekz",
     "; sw1 st1 sd1 sw0 st0 sd0 len slen sig1 sig0 pass frei side\n"
     "1,2,3, 0,0,0, 100,80, 0,0, 60,40, 25\n"
     "0,4,0, 0,1,0, 800,0, 14,0, 80,60, 0\n"
     "0,4,0, 0,1,0, 700,0, 0,0, 80,60, 0\n"
     "0,5,0, 2,2,3, 100,80, 0,0, 60,40, 25\n"
     "0,6,0, 0,4,0, 5000,0, 16,0, 120,90, 0\n"
     "0,7,0, 0,5,0, 900,0, 0,15, 100,80, 0\n"
     "0,0,0, 0,6,0, 300,0, 0,0, 60,60, 0"},
    {"Data_Marsh_P", "1,1,1\n11,21, 1,2, 1,2, 1\n65535"},
    {"Data_Marsh_M", "65535"},
    {"Data_Spar_Gr_Str", "65535"},
    {"Data_Lok", "2,1,100,20,120,0,100\n65535"},
    {"Data_Ost_Lok", "1,100,1,200,0,0\n9,100,9,200,0,0"},
    {"Data_Peregon", "1,10,10, 1,10,10, 0, 1,5, 9,5"},
    {"Data_Graf_Pass_Ch", "2002,0,0,0, 1, 0,0\n2,0,1000,2\n4101,0,1005,0\n1,1030,1035,0\n65535"},
    {"Data_Graf_Pass_N", "65535"},
    {"Data_Graf_Gruz_Ch", "65535"},
    {"Data_Graf_Gruz_N", "65535"},
    {"Data_Podhod_Form", "1,0,0\n65535"},
    {"Data_Num_Poezd", "2001,2999"},
    {"Data_Plan_Form",
     "0800,6001,Экспресс,1,0,1,2,10,0101,1231,1,2,1,3\n0900,2001,-,1,0,1,2,3,0,0,0\n65535"},
    {"DataS_RP_Name_Mnem", "АЛК,БРС"},
    {"DataS_RP_Name_Manip", "Алексеевка,Борисово"},
    {"DataS_Stanz_Name",
     "Алексеевка,Борисово,Вязьма(Вяз/В/Вязьма/3)\n"
     "Гагарин,Дорохово,Ельня,Жуковка\n"
     "Зубцов,Истра,Калуга,Лихославль,Москва,Нара"},
};

int CountLines(const std::string& body) {
  return 1 + static_cast<int>(std::count(body.begin(), body.end(), '\n'));
}

std::size_t IndexOf(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kDefaultSections); ++i)
    if (kDefaultSections[i].Name == name) return i;
  throw std::invalid_argument("unknown section " + std::string(name));
}

}  // namespace

DistrictText::DistrictText() : header_(std::begin(kDefaultHeader), std::end(kDefaultHeader)) {
  for (const auto& s : kDefaultSections) bodies_.emplace_back(s.Body);
}

void DistrictText::SetHeader(int index, std::string line) {
  header_.at(static_cast<std::size_t>(index - 1)) = std::move(line);
}

void DistrictText::SetSection(std::string_view name, std::string body) {
  bodies_[IndexOf(name)] = std::move(body);
}

const std::string& DistrictText::Section(std::string_view name) const {
  return bodies_[IndexOf(name)];
}

std::string DistrictText::WithLine(std::string_view name, int k, const std::string& text) const {
  std::string body = Section(name);
  std::size_t start = 0;
  for (int line = 1; line < k; ++line) start = body.find('\n', start) + 1;
  return body.replace(start, body.find('\n', start) - start, text);
}

std::string DistrictText::Text() const {
  std::string text;
  for (const auto& line : header_) text += line + "\n";
  for (std::size_t i = 0; i < bodies_.size(); ++i)
    text += "[" + std::string(kDefaultSections[i].Name) + "]\n" + bodies_[i] + "\n";
  return text;
}

std::string DistrictText::Bytes() const {
  std::string crlf;
  for (char c : Utf8ToCp1251(Text())) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

int DistrictText::HeaderLine(std::string_view name) const {
  int line = static_cast<int>(header_.size()) + 1;
  for (std::size_t i = 0; i < IndexOf(name); ++i) line += 1 + CountLines(bodies_[i]);
  return line;
}

int DistrictText::NextHeaderLine(std::string_view name) const {
  const std::size_t index = IndexOf(name);
  if (index + 1 == bodies_.size()) return LineCount();
  return HeaderLine(kDefaultSections[index + 1].Name);
}

int DistrictText::LineCount() const {
  return HeaderLine(kDefaultSections[26].Name) + CountLines(bodies_.back());
}

LoadOutcome LoadBytes(std::string_view bytes) {
  LoadOutcome out;
  try {
    LoadAreaDataFromBytes(bytes, out.Area, out.MaxSpeedLimit, out.Error);
    out.Ok = true;
  } catch (const ReadError& e) {
    out.Message = e.what();
    out.Line = e.line();
  }
  return out;
}

LoadOutcome Load(const DistrictText& district) {
  return LoadBytes(district.Bytes());
}

}  // namespace traklin::test
