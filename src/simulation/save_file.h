// TSaveFile: the line-oriented group/key/value text of a save, written and read in key order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "area/area_data.h"

namespace traklin {

/// Writes or reads one save text. Lines are "[GROUP]" headers and "KEY=value" entries ending
/// in CR LF; the reader also takes bare LF. Strings are Windows-1251 in the file and UTF-8
/// here. Reals are written with '.' whatever the locale, and read with '.' or ','.
///
/// Reading is strictly sequential: each Read call asks for the next key of the file, and a
/// file that does not hold exactly that key next raises ReadError with the line reached.
class TSaveFile {
 public:
  /// A file for writing; the text grows in memory (Text()).
  TSaveFile() = default;
  /// A file for reading over the given bytes (which must outlive the object).
  explicit TSaveFile(std::string_view bytes);

  // Writing. A group differing from the current one first writes its header.
  void WriteValue(const std::string& group, const std::string& key, std::string_view text);
  void WriteInteger(const std::string& group, const std::string& key, int value);
  void WriteByte(const std::string& group, const std::string& key, std::uint8_t value);
  void WriteBool(const std::string& group, const std::string& key, bool value);
  void WriteReal(const std::string& group, const std::string& key, double value);
  /// UTF-8 text written in Windows-1251; line breaks become blanks (a line holds one value).
  void WriteString(const std::string& group, const std::string& key, const std::string& utf8);
  const std::string& Text() const { return text_; }

  // Reading. Each raises ReadError: "Unexpected end of file", "Unexpected group", "Expected
  // group", "No key=value pair format", "Unexpected key", or a conversion error for a value
  // that is not a number of its kind.
  /// The raw value of the next key, which must be `key` of `group`.
  std::string_view ReadValue(const std::string& group, const std::string& key);
  /// A decimal 32-bit integer; overflow is a conversion error.
  int ReadInteger(const std::string& group, const std::string& key);
  /// A boolean: any non-zero integer is true.
  bool ReadBool(const std::string& group, const std::string& key);
  /// A finite real ("nan" and "inf" are conversion errors).
  double ReadReal(const std::string& group, const std::string& key);
  /// The rest of the line, converted to UTF-8.
  std::string ReadString(const std::string& group, const std::string& key);

  /// Only blank lines and comments are left to read.
  bool AtEnd() const;
  /// The next line that is not blank or a comment is the header of `group`.
  bool NextIsGroup(const std::string& group) const;
  /// 1-based number of the last line read (0 before the first).
  int Line() const { return line_; }
  /// Raises ReadError(message) at the last line read.
  [[noreturn]] void Fail(const std::string& message) const;

 private:
  void Put(std::string_view line);
  /// The line starting at pos, without its line end; pos moves past it.
  std::string_view NextLine(std::size_t& pos) const;

  std::string text_;
  std::string_view bytes_;
  std::size_t pos_ = 0;
  int line_ = 0;
  std::string group_;
};

/// Decimal 32-bit integer: optional sign and digits only; false otherwise (also on overflow).
bool ParseSaveInteger(std::string_view text, int& value);
/// A finite real with '.' or ',' as the decimal separator; false otherwise.
bool ParseSaveReal(std::string_view text, double& value);
/// The shortest text that reads back to the same double, with '.' as the separator.
std::string FormatSaveReal(double value);

}  // namespace traklin
