// The catalogue of installed districts and the choice of the district to run.
#include "area/district_catalogue.h"

#include "area/cp1251.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <system_error>

namespace traklin {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxMisses = 10;
constexpr const char* kUnknownName = "неизвестный";

// Blanks and control characters are trimmed from both ends.
std::string_view Trim(std::string_view s) {
  auto isSpace = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string ToLowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The first line that is neither empty nor a comment, trimmed; empty at the end of the file.
std::string FirstDataLine(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const std::string_view t = Trim(line);
    if (!t.empty() && t.front() != ';') return std::string(t);
  }
  return {};
}

// The display name from the header line: the comment with its first word dropped.
std::string DisplayName(std::string_view line) {
  const auto semicolon = line.find(';');
  if (semicolon == std::string_view::npos) return kUnknownName;
  std::string_view comment = Trim(line.substr(semicolon + 1));
  const auto blank = comment.find_first_of(" \t");
  if (blank != std::string_view::npos) comment = Trim(comment.substr(blank + 1));
  if (comment.empty()) return kUnknownName;
  return Cp1251ToUtf8(comment);
}

}  // namespace

fs::path DistrictDataFile(const fs::path& dir) {
  const fs::path preferred = dir / "Data.dat";
  std::error_code ec;
  if (fs::is_regular_file(preferred, ec)) return preferred;
  std::vector<fs::path> matches;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (ToLowerAscii(it->path().filename().string()) == "data.dat" && it->is_regular_file(ec))
      matches.push_back(it->path());
  }
  if (matches.empty()) return preferred;
  return *std::min_element(matches.begin(), matches.end());
}

std::optional<DistrictCatalogue> ScanDistricts(const fs::path& root) {
  DistrictCatalogue catalogue;
  int misses = 0;
  for (int n = 1; misses < kMaxMisses; ++n) {
    const fs::path file = DistrictDataFile(root / std::to_string(n));
    std::error_code ec;
    std::string line;
    if (fs::is_regular_file(file, ec)) line = FirstDataLine(file);
    // The test is on the text: district 1 also accepts a header starting with "12".
    if (!line.empty() && line.starts_with(std::to_string(n)))
      catalogue.push_back({n, DisplayName(line)});
    else
      ++misses;
  }
  if (catalogue.empty()) return std::nullopt;
  return catalogue;
}

DistrictSelection SelectDistrict(DistrictChooser& chooser,
                                 const std::optional<DistrictCatalogue>& catalogue, int requested,
                                 const fs::path& root) {
  DistrictSelection result;
  if (!catalogue || catalogue->empty()) return result;
  const auto found =
      std::find_if(catalogue->begin(), catalogue->end(),
                   [requested](const DistrictEntry& e) { return e.Number == requested; });
  if (found != catalogue->end()) {
    result.Number = requested;
  } else if (catalogue->size() == 1) {
    result.Number = catalogue->front().Number;
  } else {
    const std::optional<int> chosen = chooser.Choose(*catalogue);
    result.Cancelled = !chosen.has_value();
    result.Number = chosen.value_or(-1);
  }
  if (result.Number >= 1)
    result.DistrictDir = root / std::to_string(result.Number);
  else
    result.Number = -1;
  return result;
}

std::optional<int> ParseDistrictArgument(const std::string& text) {
  std::string_view s = Trim(text);
  if (s.size() > 1 && s.front() == '+' && s[1] != '-') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc{} || end != s.data() + s.size()) return std::nullopt;
  return value;
}

}  // namespace traklin
