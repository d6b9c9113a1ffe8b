// Table rows for district reader messages: one replaced section, the message and its line.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "district_text.h"

namespace traklin::test {

/// Line marker: the message is raised at the header line of the next section.
inline constexpr int kAtNextHeader = -1;
/// Line marker: the message is raised at the last line of the file.
inline constexpr int kAtLastLine = -2;

struct SectionCase {
  const char* Scenario;  ///< test name: letters and digits only
  const char* Section;   ///< section whose body is replaced
  std::string Body;
  std::string Message;
  int Line;  ///< 1-based line of the body, or kAtNextHeader / kAtLastLine
  std::vector<std::pair<int, std::string>> Header = {};  ///< header values to replace
};

inline void PrintTo(const SectionCase& c, std::ostream* os) {
  *os << c.Scenario;
}

inline std::string CaseName(const ::testing::TestParamInfo<SectionCase>& info) {
  return info.param.Scenario;
}

/// The default body of a section with its line k (1-based) replaced by text.
inline std::string WithLine(const char* section, int k, const std::string& text) {
  const std::string body = DistrictText().Section(section);
  std::string out;
  int line = 1;
  std::size_t start = 0;
  for (;;) {
    const auto end = body.find('\n', start);
    const std::string current = body.substr(start, end == std::string::npos ? end : end - start);
    if (!out.empty() || line > 1) out += '\n';
    out += line == k ? text : current;
    if (end == std::string::npos) break;
    start = end + 1;
    ++line;
  }
  return out;
}

inline DistrictText Apply(const SectionCase& c) {
  DistrictText district;
  for (const auto& [index, value] : c.Header) district.SetHeader(index, value);
  district.SetSection(c.Section, c.Body);
  return district;
}

inline void ExpectFailure(const SectionCase& c) {
  const DistrictText district = Apply(c);
  const LoadOutcome out = Load(district);
  ASSERT_FALSE(out.Ok) << "read without error";
  EXPECT_EQ(out.Message, c.Message);
  int line = c.Line;
  if (line == kAtNextHeader) line = district.NextHeaderLine(c.Section);
  if (line == kAtLastLine) line = district.LineCount();
  if (c.Line > 0) line = district.BodyLine(c.Section, c.Line);
  EXPECT_EQ(out.Line, line);
  EXPECT_EQ(out.Error.LineNo, line);
}

}  // namespace traklin::test

/// A parameterised suite that checks each row's message and line.
#define TRAKLIN_READER_MESSAGE_SUITE(Suite, rows)                                 \
  class Suite : public ::testing::TestWithParam<::traklin::test::SectionCase> {}; \
  TEST_P(Suite, RaisesMessageAtLine) {                                            \
    ::traklin::test::ExpectFailure(GetParam());                                   \
  }                                                                               \
  INSTANTIATE_TEST_SUITE_P(Rows, Suite, ::testing::ValuesIn(rows), ::traklin::test::CaseName)
