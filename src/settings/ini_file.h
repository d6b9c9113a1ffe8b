// A small INI text that keeps every line it does not own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace traklin {

/// An INI file could not be read or written. what() names the file and the system's reason.
class IniError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Parses a decimal 32-bit integer with an optional sign; blanks around it are allowed.
/// Anything else (empty text, other characters, out of range) gives nullopt.
std::optional<std::int32_t> ParseInt32(std::string_view text);

/// Replaces `path` with `contents` so that a reader sees either the old or the new file,
/// never a half-written one: the text goes to a temporary file in the same directory, is
/// flushed to disk and renamed over the target. A missing directory is created. Throws
/// IniError on failure; the temporary file is removed and the old file is left untouched.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view contents);

/// The text of an INI file: bracketed section headers, key=value lines, comments starting
/// with ';' or '#', and anything else. Section and key names compare case-insensitively
/// (ASCII). Every line is kept as read, with its own line ending, so writing back an
/// unchanged file reproduces it byte for byte; only the lines of keys that are set change,
/// and new keys and sections are added.
class IniFile {
 public:
  IniFile() = default;

  static IniFile Parse(std::string_view text);
  /// A missing file gives an empty text. Throws IniError when the file exists but cannot be
  /// read.
  static IniFile Load(const std::filesystem::path& path);

  /// The value of the first such key in the first section of that name that has it, without
  /// the blanks around it; nullopt when there is none.
  std::optional<std::string> GetString(std::string_view section, std::string_view key) const;
  /// The key's integer value; `fallback` when the key is missing or not an integer.
  std::int32_t GetInteger(std::string_view section, std::string_view key,
                          std::int32_t fallback) const;

  /// Sets the value of the key that GetString would read. A new key goes after the last
  /// key of the first section of that name; a new section goes at the end of the text.
  void SetString(std::string_view section, std::string_view key, std::string_view value);
  void SetInteger(std::string_view section, std::string_view key, std::int32_t value);

  /// The whole text, as it would be written.
  std::string Text() const;
  /// Writes the text with WriteFileAtomically.
  void Save(const std::filesystem::path& path) const;

 private:
  enum class LineKind { Other, Section, Key };
  struct Line {
    std::string text;  ///< without the line ending
    std::string eol;   ///< "\n", "\r\n" or "" for a last line without one
    LineKind kind = LineKind::Other;
    std::string name;   ///< section name or key, without blanks
    std::string value;  ///< key value, without blanks
  };

  /// Index of the key's line, or -1.
  int FindKey(std::string_view section, std::string_view key) const;
  std::string NewLineEnding() const;
  void Insert(std::size_t at, Line line);

  std::string bom_;  ///< a UTF-8 byte order mark at the start of the file, kept as it was
  std::vector<Line> lines_;
};

}  // namespace traklin
