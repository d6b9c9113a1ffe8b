// A small INI text that keeps every line it does not own.
#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>
#include <system_error>

namespace traklin {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

std::string SystemMessage(int err) {
  return std::generic_category().message(err);
}

}  // namespace

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    // "+-5" is not a number
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void WriteFileAtomically(const std::filesystem::path& path, std::string_view contents) {
  const std::filesystem::path dir =
      path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw IniError("Cannot create directory " + dir.string() + ": " + ec.message());

  std::string temp = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    throw IniError("Cannot create a temporary file in " + dir.string() + ": " +
                   SystemMessage(errno));
  }
  const auto fail = [&](int err) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp.c_str());
    throw IniError("Cannot write " + path.string() + ": " + SystemMessage(err));
  };

  // mkstemp makes the file private; the replacement keeps the permissions of the old file.
  struct stat old {};
  const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  if (::fchmod(fd, mode) != 0) fail(errno);

  const char* p = contents.data();
  std::size_t left = contents.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) fail(errno);
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) fail(errno);
  if (::rename(temp.c_str(), path.c_str()) != 0) fail(errno);

  // Make the rename itself durable; if this fails the new file is in place all the same.
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  if (text.starts_with(kUtf8Bom)) {
    ini.bom_ = kUtf8Bom;
    text.remove_prefix(kUtf8Bom.size());
  }
  std::size_t pos = 0;
  while (pos < text.size()) {
    Line line;
    const std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) {
      line.text = text.substr(pos);
      pos = text.size();
    } else {
      std::size_t end = nl;
      if (end > pos && text[end - 1] == '\r') {
        --end;
        line.eol = "\r\n";
      } else {
        line.eol = "\n";
      }
      line.text = text.substr(pos, end - pos);
      pos = nl + 1;
    }

    const std::string_view t = Trim(line.text);
    if (t.empty() || t.front() == ';' || t.front() == '#') {
      line.kind = LineKind::Other;
    } else if (t.front() == '[') {
      const auto close = t.find(']');
      if (close != std::string_view::npos) {
        line.kind = LineKind::Section;
        line.name = Trim(t.substr(1, close - 1));
      }
    } else if (const auto eq = t.find('='); eq != std::string_view::npos) {
      const std::string_view key = Trim(t.substr(0, eq));
      if (!key.empty()) {
        line.kind = LineKind::Key;
        line.name = key;
        line.value = Trim(t.substr(eq + 1));
      }
    }
    ini.lines_.push_back(std::move(line));
  }
  return ini;
}

IniFile IniFile::Load(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    throw IniError("Cannot read " + path.string() + ": " + SystemMessage(EISDIR));
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    const int err = errno;
    if (err == ENOENT) return IniFile{};
    throw IniError("Cannot read " + path.string() + ": " + SystemMessage(err));
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw IniError("Cannot read " + path.string() + ": " + SystemMessage(errno));
  return Parse(text.str());
}

int IniFile::FindKey(std::string_view section, std::string_view key) const {
  bool inSection = section.empty();  // lines before the first header form a nameless section
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == LineKind::Section) {
      inSection = EqualNoCase(line.name, section);
    } else if (inSection && line.kind == LineKind::Key && EqualNoCase(line.name, key)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::optional<std::string> IniFile::GetString(std::string_view section,
                                              std::string_view key) const {
  const int i = FindKey(section, key);
  if (i < 0) return std::nullopt;
  return lines_[static_cast<std::size_t>(i)].value;
}

std::int32_t IniFile::GetInteger(std::string_view section, std::string_view key,
                                 std::int32_t fallback) const {
  const auto text = GetString(section, key);
  if (!text) return fallback;
  return ParseInt32(*text).value_or(fallback);
}

std::string IniFile::NewLineEnding() const {
  for (const Line& line : lines_) {
    if (!line.eol.empty()) return line.eol;
  }
  return "\n";
}

void IniFile::Insert(std::size_t at, Line line) {
  line.eol = NewLineEnding();
  if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = line.eol;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
  Line keyLine;
  keyLine.kind = LineKind::Key;
  keyLine.value = Trim(value);

  if (const int i = FindKey(section, key); i >= 0) {
    Line& line = lines_[static_cast<std::size_t>(i)];
    line.text = line.name + "=" + keyLine.value;
    line.value = keyLine.value;
    return;
  }

  keyLine.name = Trim(key);
  keyLine.text = keyLine.name + "=" + keyLine.value;

  // The first section of that name: after its header, or from the start for the nameless one.
  std::optional<std::size_t> begin;
  if (section.empty()) begin = 0;
  for (std::size_t i = 0; i < lines_.size() && !begin; ++i) {
    if (lines_[i].kind == LineKind::Section && EqualNoCase(lines_[i].name, section)) {
      begin = i + 1;
    }
  }
  if (begin) {
    // After the section's last key, so that blank lines and comments before the next
    // header stay where they are.
    std::size_t at = *begin;
    for (std::size_t i = *begin; i < lines_.size() && lines_[i].kind != LineKind::Section; ++i) {
      if (lines_[i].kind == LineKind::Key) at = i + 1;
    }
    Insert(at, std::move(keyLine));
    return;
  }

  if (!lines_.empty() && !Trim(lines_.back().text).empty()) Insert(lines_.size(), Line{});
  Line header;
  header.kind = LineKind::Section;
  header.name = Trim(section);
  header.text = "[" + header.name + "]";
  Insert(lines_.size(), std::move(header));
  Insert(lines_.size(), std::move(keyLine));
}

void IniFile::SetInteger(std::string_view section, std::string_view key, std::int32_t value) {
  SetString(section, key, std::to_string(value));
}

std::string IniFile::Text() const {
  std::string text = bom_;
  for (const Line& line : lines_) {
    text += line.text;
    text += line.eol;
  }
  return text;
}

void IniFile::Save(const std::filesystem::path& path) const {
  WriteFileAtomically(path, Text());
}

}  // namespace traklin
