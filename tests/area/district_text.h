// A small valid district as Data.dat text, with ways to replace one piece for a test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "area/area_data.h"
#include "area/area_reader.h"

namespace traklin::test {

// clang-format off
/// The default district: two stations joined by one peregon (even to the left, odd to the right).
///
///      station A (code 1, LP 0)                    peregon 1     station B (code 2, LP 1)
///            sw1   track I          sw2
///   |--[1]----o------[2]>14-----o----[4]------[5]>16-----[6]----<15--[7]--|
///              \               /                       track B1
///               `-----[3]-----'
///                    track 2
///
///   Sections 1..7 (SectCount 8). Switch 1 at the odd end of section 1, switch 2 at the even
///   end of section 4 (both straight to 2, side to 3). Signals: odd 14 on section 2 (kind 1),
///   odd block signal 16 on section 5 (kind 3), even 15 on section 6 (kind 1). Throats: the odd
///   throat of A and the even throat of B open to graph peregon 1, whose even end is section 5.
///   Lamps 1..20: 1..7 the sections, 8..10 switch 1 (A, plus, minus), 11..13 switch 2,
///   14..16 signals, 17..18 direction lamps, 19 A's departure commit, 20 spare.
///   One loco type (2), one even passenger train 2002 from B to A with a section stop at 5,
///   one passenger and one freight plan, 13 station names (Russian, written in Windows-1251).
// clang-format on
class DistrictText {
 public:
  DistrictText();

  /// Replaces header value index (1..9) by a line of text, e.g. "12 ; comment".
  void SetHeader(int index, std::string line);
  /// Replaces a section's body (lines separated by '\n', UTF-8); throws on an unknown name.
  void SetSection(std::string_view name, std::string body);
  const std::string& Section(std::string_view name) const;
  /// The section's body with its line k (1-based) replaced by text.
  std::string WithLine(std::string_view name, int k, const std::string& text) const;

  /// The whole text, UTF-8, lines ended by '\n'.
  std::string Text() const;
  /// The file as written: Windows-1251, lines ended by CR LF.
  std::string Bytes() const;

  /// 1-based line number of the header line "[name]".
  int HeaderLine(std::string_view name) const;
  /// Line k (1-based) of a section's body.
  int BodyLine(std::string_view name, int k) const { return HeaderLine(name) + k; }
  /// Header line of the section after name (where a too-few message is raised).
  int NextHeaderLine(std::string_view name) const;
  /// Number of lines of the file.
  int LineCount() const;

 private:
  std::vector<std::string> header_;
  std::vector<std::string> bodies_;
};

/// What reading a text gave.
struct LoadOutcome {
  bool Ok = false;
  std::string Message;  ///< the ReadError's text, empty on success
  int Line = -1;        ///< the ReadError's line
  TReadDataError Error;
  TAreaData Area;
  int MaxSpeedLimit = 0;
};

/// Reads Windows-1251 bytes; never throws ReadError.
LoadOutcome LoadBytes(std::string_view bytes);
/// Reads the district's bytes.
LoadOutcome Load(const DistrictText& district);

}  // namespace traklin::test
