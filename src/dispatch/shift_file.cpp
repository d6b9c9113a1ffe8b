// The text of a recorded shift: its stamps of simulated time, its header and its stamped lines.
#include "dispatch/shift_file.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <sstream>

#include "area/date_time.h"
#include "dispatch/scenario.h"
#include "settings/ini_file.h"

namespace traklin {

Tenths TenthsOf(TDateTime clock) {
  const long long ms = std::llround(clock * 86400000.0);
  // Floor division: a tenth holds the milliseconds from its start on.
  return ms >= 0 ? ms / 100 : -((-ms + 99) / 100);
}

TDateTime TimeOfTenths(Tenths t) {
  Tenths day = t / kTenthsPerDay;
  Tenths rest = t % kTenthsPerDay;
  if (rest < 0) {
    rest += kTenthsPerDay;
    --day;
  }
  return static_cast<TDateTime>(day) +
         static_cast<double>(rest) / static_cast<double>(kTenthsPerDay);
}

TDateTime DueAfter(TDateTime clock) {
  return TimeOfTenths(TenthsOf(clock) + 5);
}

std::string FormatStamp(Tenths t, bool withDate) {
  Tenths day = t / kTenthsPerDay;
  Tenths rest = t % kTenthsPerDay;
  if (rest < 0) {
    rest += kTenthsPerDay;
    --day;
  }
  const std::string time =
      fmt::format("{:02}:{:02}:{:02}.{}", rest / 36000, rest / 600 % 60, rest / 10 % 60, rest % 10);
  if (!withDate) return time;
  const DateParts date = DecodeDate(static_cast<TDateTime>(day));
  return fmt::format("{:04}-{:02}-{:02} {}", date.Year, date.Month, date.Day, time);
}

std::vector<std::string> ScenarioWords(const std::string& line) {
  const std::size_t comment = line.find_first_of("#;");
  std::istringstream in(comment == std::string::npos ? line : line.substr(0, comment));
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

bool IsShiftDirective(const std::string& word) {
  return word == "district" || word == "seed" || word == "setting" || word == "start" ||
         word == "end";
}

void ParseShiftDirective(const std::vector<std::string>& words, int line, ShiftHeader& header) {
  const std::string& what = words[0];
  const std::size_t n = words.size() - 1;
  const auto fail = [&](const std::string& reason) {
    throw ScenarioError(line, what + ": " + reason);
  };
  const auto count = [&](std::size_t want) {
    if (n != want) fail(fmt::format("expected {} arguments, got {}", want, n));
  };
  if (what == "district") {
    if (n == 0) fail("expected the district");
    if (!header.District.empty()) fail("given twice");
    for (std::size_t k = 1; k < words.size(); ++k) header.District += (k > 1 ? " " : "") + words[k];
  } else if (what == "seed") {
    count(1);
    if (header.Seed) fail("given twice");
    const std::string& w = words[1];
    std::uint64_t seed = 0;
    const auto [end, error] = std::from_chars(w.data(), w.data() + w.size(), seed);
    if (error != std::errc() || end != w.data() + w.size())
      fail("not a number from 0 to 18446744073709551615: " + w);
    header.Seed = seed;
  } else if (what == "setting") {
    count(1);
    const std::string& w = words[1];
    const std::size_t eq = w.find('=');
    const std::size_t slash = w.find('/');
    if (eq == std::string::npos || slash == std::string::npos || slash == 0 || slash + 1 >= eq)
      fail("expected SECTION/KEY=VALUE: " + w);
    if (!ParseInt32(w.substr(eq + 1))) fail("not an integer: " + w);
    header.Settings.emplace_back(w.substr(0, eq), w.substr(eq + 1));
  } else {
    count(2);
    std::optional<TDateTime>& at = what == "start" ? header.Start : header.End;
    if (at) fail("given twice");
    at = ParseEventTime(words[1] + " " + words[2]);
    if (!at) fail("not a time YYYY-MM-DD HH:MM:SS.s: " + words[1] + " " + words[2]);
  }
}

ShiftHeader ParseShiftHeader(const std::string& text) {
  ShiftHeader header;
  std::istringstream in(text);
  std::string raw;
  for (int line = 1; std::getline(in, raw); ++line) {
    const std::vector<std::string> words = ScenarioWords(raw);
    if (!words.empty() && IsShiftDirective(words[0])) ParseShiftDirective(words, line, header);
  }
  return header;
}

std::string FormatShiftHeader(const std::string& district, std::uint64_t seed,
                              const std::vector<std::pair<std::string, std::string>>& settings,
                              TDateTime start) {
  std::string text =
      "# A shift of Traklin: the header, then the dispatcher's operations, each stamped with the\n"
      "# simulated time of the step after which it took effect.\n";
  text += "district " + district + "\n";
  text += fmt::format("seed {}\n", seed);
  for (const auto& [name, value] : settings) text += "setting " + name + "=" + value + "\n";
  text += "start " + FormatStamp(TenthsOf(start), true) + "\n";
  return text;
}

std::string ShiftLineWriter::Line(TDateTime clock, const std::string& text,
                                  const std::string& note) {
  const Tenths t = TenthsOf(clock);
  const Tenths day = t >= 0 ? t / kTenthsPerDay : (t + 1) / kTenthsPerDay - 1;
  std::string line = FormatStamp(t, day != day_) + " " + text;
  day_ = day;
  if (!note.empty()) {
    std::string flat;
    for (char c : note) {
      if (c == '\r') continue;
      flat += c == '\n' ? ' ' : c;
    }
    line += "  # " + flat;
  }
  return line;
}

}  // namespace traklin
