// Reader of the district file Data.dat: line cursor, number syntax and the order of sections.
#include "area/area_reader.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "area/area_reader_internal.h"
#include "area/cp1251.h"

namespace traklin {

namespace area_reader {

namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ' || c == '\x7F';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

const char* ParseNumber(std::string_view token, std::uint16_t& value) {
  unsigned result = 0;
  if (token.size() >= 2 && (token.back() == 'H' || token.back() == 'h')) {
    for (char c : token.substr(0, token.size() - 1)) {
      const int digit = HexDigit(c);
      if (digit < 0) return "Not a hexadecimal digit";
      if (result > 4095) return "16-bit value overflow";
      result = result * 16 + static_cast<unsigned>(digit);
    }
  } else {
    if (token.empty()) return "Digits not found";
    for (char c : token) {
      if (c < '0' || c > '9') return "Not a decimal digit";
      const auto digit = static_cast<unsigned>(c - '0');
      if (result > 6553) return "16-bit value overflow";
      result *= 10;
      if (65535 - digit < result) return "16-bit value overflow";
      result += digit;
    }
  }
  value = static_cast<std::uint16_t>(result);
  return nullptr;
}

std::string_view CutAndTrim(std::string_view line) {
  const auto comment = line.find(';');
  if (comment != std::string_view::npos) line = line.substr(0, comment);
  return Trim(line);
}

void DataReader::ReadLine() {
  auto end = data_.find('\n', pos_);
  std::string_view line;
  if (end == std::string_view::npos) {
    line = data_.substr(pos_);
    pos_ = data_.size();
  } else {
    line = data_.substr(pos_, end - pos_);
    pos_ = end + 1;
  }
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  lineText_.assign(line);
  ++lineNo_;
}

void DataReader::Fail(std::string_view message) const {
  throw ReadError(std::string(message), lineNo_);
}

std::uint16_t DataReader::ReadNumberLine() {
  std::string_view text;
  do {
    if (AtEof()) Fail("Unexpected EOF");
    ReadLine();
    text = CutAndTrim(lineText_);
  } while (text.empty());
  std::uint16_t value = 0;
  if (const char* reason = ParseNumber(text, value)) Fail(reason);
  return value;
}

void DataReader::FindSection(std::string_view name) {
  for (;;) {
    if (lineText_.empty()) {
      if (AtEof()) Fail("Unexpected EOF");
      ReadLine();
    }
    const std::string_view text = CutAndTrim(lineText_);
    if (text.empty()) {
      lineText_.clear();
      continue;
    }
    if (text.size() != name.size() + 2 || text.front() != '[' || text.back() != ']' ||
        text.substr(1, name.size()) != name) {
      Fail("Section " + std::string(name) + " not found");
    }
    break;
  }
  rest_.clear();
}

bool DataReader::NextListItem(std::string& item, bool allowEof) {
  while (rest_.empty()) {
    if (AtEof()) {
      if (allowEof) return false;
      Fail("Unexpected EOF");
    }
    ReadLine();
    rest_.assign(CutAndTrim(lineText_));
  }
  if (rest_.front() == '[') return false;
  const auto comma = rest_.find(',');
  if (comma == std::string::npos) {
    item.assign(Trim(rest_));
    rest_.clear();
  } else {
    const std::string_view restView = rest_;
    item.assign(Trim(restView.substr(0, comma)));
    rest_.assign(Trim(restView.substr(comma + 1)));
  }
  return true;
}

bool DataReader::ReadListNumber(std::uint16_t& value) {
  std::string item;
  if (!NextListItem(item, false)) return false;
  if (const char* reason = ParseNumber(item, value)) Fail(reason);
  return true;
}

int DataReader::Need(std::string_view tooFew) {
  std::uint16_t value = 0;
  if (!ReadListNumber(value)) Fail(tooFew);
  return value;
}

std::string DataReader::NeedText(std::string_view tooFew) {
  std::string item;
  if (!NextListItem(item, false)) Fail(tooFew);
  return item;
}

bool DataReader::NextRecord(int& first, std::string_view tooFew) {
  first = Need(tooFew);
  return first != kTerminator;
}

void DataReader::ExpectEnd(std::string_view dataAfter) {
  std::uint16_t value = 0;
  if (ReadListNumber(value)) Fail(dataAfter);
}

void DataReader::Publish(TReadDataError& error) const {
  error.LineNo = lineNo_;
  error.LineText = Cp1251ToUtf8(lineText_);
  error.Rest = Cp1251ToUtf8(rest_);
}

namespace {

TColor ColorFromCode(int code) {
  if (code == 0) return 0xFFFFFF;
  if (code == 1) return 0xC0C0C0;
  return static_cast<TColor>(code) * 0x010101u;
}

void ReadAreaData(DataReader& in, TAreaData& area, int& maxSpeedLimit) {
  area.AreaNumber = in.ReadNumberLine();
  area.StationCount = in.ReadNumberLine();
  area.SwitchCount = in.ReadNumberLine();
  area.SectCount = in.ReadNumberLine();
  area.GraphBackColor = ColorFromCode(in.ReadNumberLine());
  area.GraphScale = in.ReadNumberLine();
  area.HeaderValue7 = in.ReadNumberLine();
  area.HeaderValue8 = in.ReadNumberLine();
  area.BaseYear = in.ReadNumberLine();
  in.ClearLineText();

  ReadContext ctx{in, area, maxSpeedLimit};
  ReadGraphFragms(ctx);
  ReadGraphVids(ctx);
  ReadGraphPeregons(ctx);
  ReadGraphLamps(ctx);
  ReadSekzs(ctx);
  ReadStanzs(ctx);
  ReadGorlStanzs(ctx);
  ReadPuts(ctx);
  area.LPCount = static_cast<int>(area.Puts.size());
  ReadStrels(ctx);
  ReadGrStrels(ctx);
  ReadSlSects(ctx);
  ReadTrainRoutes(ctx);
  ReadManeuvreRoutes(ctx);
  ReadSparGrStrels(ctx);
  ReadLocos(ctx);
  ReadOstLocos(ctx);
  ReadPeregons(ctx);
  ReadGraphTrains(ctx, false, kEven);
  ReadGraphTrains(ctx, false, kOdd);
  ReadGraphTrains(ctx, true, kEven);
  ReadGraphTrains(ctx, true, kOdd);
  ReadCreationInlets(ctx);
  ReadFreightNumbering(ctx);
  ReadCreationPlans(ctx);
  ReadLPNames(ctx, false);
  ReadLPNames(ctx, true);
  ReadStationNames(ctx);
}

}  // namespace

}  // namespace area_reader

void ClearAreaData(TAreaData& area, int& maxSpeedLimit) {
  area = TAreaData{};
  area.GraphBackColor = 0xFFFFFF;
  area.SwitchPosBase = 10;
  maxSpeedLimit = 10;
}

void LoadAreaDataFromBytes(std::string_view bytes, TAreaData& area, int& maxSpeedLimit,
                           TReadDataError& error) {
  ClearAreaData(area, maxSpeedLimit);
  error = TReadDataError{};
  area_reader::DataReader reader(bytes);
  try {
    area_reader::ReadAreaData(reader, area, maxSpeedLimit);
  } catch (...) {
    reader.Publish(error);
    throw;
  }
  reader.Publish(error);
}

void LoadAreaData(const std::filesystem::path& file, TAreaData& area, int& maxSpeedLimit,
                  TReadDataError& error) {
  ClearAreaData(area, maxSpeedLimit);
  error = TReadDataError{};
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(file.c_str(), "rb"));
  auto systemText = [] { return std::system_category().message(errno != 0 ? errno : EIO); };
  if (!f) throw ReadError(systemText(), 0);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, f.get());
    bytes.append(buffer, got);
    if (got < sizeof buffer) break;
  }
  if (std::ferror(f.get())) throw ReadError(systemText(), 0);
  f.reset();
  LoadAreaDataFromBytes(bytes, area, maxSpeedLimit, error);
}

std::string FormatReadDataError(const TReadDataError& error, const std::string& message) {
  std::string quoted = "'";
  for (char c : error.LineText) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  quoted += "'";
  return "Error reading Data.dat\r\nAt Line " + std::to_string(error.LineNo) + "\r\n" + quoted +
         "\r\n\r\n" + message;
}

}  // namespace traklin
