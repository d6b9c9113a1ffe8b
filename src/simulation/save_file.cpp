// TSaveFile: the line-oriented group/key/value text of a save, written and read in key order.
#include "simulation/save_file.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "area/area_reader.h"
#include "area/cp1251.h"

namespace traklin {

TSaveFile::TSaveFile(std::string_view bytes) : bytes_(bytes) {}

void TSaveFile::Put(std::string_view line) {
  text_.append(line);
  text_.append("\r\n");
}

void TSaveFile::WriteValue(const std::string& group, const std::string& key,
                           std::string_view text) {
  if (group != group_) {
    Put("[" + group + "]");
    group_ = group;
  }
  text_.append(key);
  text_.push_back('=');
  Put(text);
}

void TSaveFile::WriteInteger(const std::string& group, const std::string& key, int value) {
  WriteValue(group, key, std::to_string(value));
}

void TSaveFile::WriteByte(const std::string& group, const std::string& key, std::uint8_t value) {
  WriteValue(group, key, std::to_string(value));
}

void TSaveFile::WriteBool(const std::string& group, const std::string& key, bool value) {
  WriteValue(group, key, value ? "1" : "0");
}

void TSaveFile::WriteReal(const std::string& group, const std::string& key, double value) {
  WriteValue(group, key, FormatSaveReal(value));
}

void TSaveFile::WriteString(const std::string& group, const std::string& key,
                            const std::string& utf8) {
  std::string bytes = Utf8ToCp1251(utf8);
  for (char& c : bytes)
    if (c == '\r' || c == '\n') c = ' ';
  WriteValue(group, key, bytes);
}

void TSaveFile::Fail(const std::string& message) const {
  throw ReadError(message, line_);
}

std::string_view TSaveFile::ReadValue(const std::string& group, const std::string& key) {
  for (;;) {
    if (pos_ >= bytes_.size()) Fail("Unexpected end of file");
    const std::string_view line = NextLine(pos_);
    ++line_;
    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      // The requested key is missing from its group, or another group comes instead.
      if (group_ == group) Fail("Unexpected group");
      if (line.substr(1, line.size() - 2) != group) Fail("Unexpected group");
      group_ = group;
      continue;
    }
    if (group_ != group) Fail("Expected group");
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) Fail("No key=value pair format");
    if (line.substr(0, eq) != key) Fail("Unexpected key");
    return line.substr(eq + 1);
  }
}

std::string_view TSaveFile::NextLine(std::size_t& pos) const {
  std::size_t end = bytes_.find('\n', pos);
  if (end == std::string_view::npos) end = bytes_.size();
  std::string_view line = bytes_.substr(pos, end - pos);
  pos = end + 1;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool TSaveFile::NextIsGroup(const std::string& group) const {
  for (std::size_t p = pos_; p < bytes_.size();) {
    const std::string_view line = NextLine(p);
    if (line.empty() || line.front() == ';') continue;
    return line.size() == group.size() + 2 && line.front() == '[' && line.back() == ']' &&
           line.substr(1, group.size()) == group;
  }
  return false;
}

bool TSaveFile::AtEnd() const {
  for (std::size_t p = pos_; p < bytes_.size();) {
    const std::string_view line = NextLine(p);
    if (!line.empty() && line.front() != ';') return false;
  }
  return true;
}

int TSaveFile::ReadInteger(const std::string& group, const std::string& key) {
  const std::string_view text = ReadValue(group, key);
  int value = 0;
  if (!ParseSaveInteger(text, value))
    Fail("'" + Cp1251ToUtf8(text) + "' is not a valid integer value");
  return value;
}

bool TSaveFile::ReadBool(const std::string& group, const std::string& key) {
  return ReadInteger(group, key) != 0;
}

double TSaveFile::ReadReal(const std::string& group, const std::string& key) {
  const std::string_view text = ReadValue(group, key);
  double value = 0;
  if (!ParseSaveReal(text, value))
    Fail("'" + Cp1251ToUtf8(text) + "' is not a valid floating point value");
  return value;
}

std::string TSaveFile::ReadString(const std::string& group, const std::string& key) {
  return Cp1251ToUtf8(ReadValue(group, key));
}

bool ParseSaveInteger(std::string_view text, int& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ParseSaveReal(std::string_view text, double& value) {
  // A file written under a locale with a decimal comma reads the same as one with a point.
  if (text.empty() || text.size() > 64) return false;
  std::string point(text);
  for (char& c : point)
    if (c == ',') c = '.';
  std::size_t first = point[0] == '+' ? 1 : 0;
  if (first == point.size() || point[first] == '+') return false;
  const char* end = point.data() + point.size();
  const auto [stop, ec] = std::from_chars(point.data() + first, end, value);
  return ec == std::errc() && stop == end && std::isfinite(value);
}

std::string FormatSaveReal(double value) {
  // The shortest form that reads back to the same bits: a reloaded run goes on exactly as the
  // saved one would have.
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "0";
  return std::string(buffer, end);
}

}  // namespace traklin
