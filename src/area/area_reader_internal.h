// The district reader's line cursor and the section readers it drives (private to the reader).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "area/area_data.h"
#include "area/area_reader.h"

namespace traklin::area_reader {

inline constexpr int kTerminator = 65535;

/// Parses one value: decimal, or hexadecimal with an H suffix; unsigned 16 bits. Returns
/// nullptr on success, else the reason.
const char* ParseNumber(std::string_view token, std::uint16_t& value);

/// Cuts the comment (from the first ';') and trims blanks and control characters.
std::string_view CutAndTrim(std::string_view line);

/// Walks the lines of Data.dat, keeping the position that an error reports. Lines end at
/// CR LF or a lone LF; texts are kept as read (Windows-1251).
class DataReader {
 public:
  explicit DataReader(std::string_view bytes) : data_(bytes) {}

  /// Reads lines until one is non-empty and parses it whole as a number.
  std::uint16_t ReadNumberLine();
  /// Expects the next non-empty line (or the header line that ended the previous section)
  /// to be "[name]".
  void FindSection(std::string_view name);
  /// The next comma-separated item of the current section; false at the section's end (a line
  /// starting with '[', or the end of the file when allowed).
  bool NextListItem(std::string& item, bool allowEof);
  /// The next item as a number; false at the section's end, leaving value unchanged.
  bool ReadListNumber(std::uint16_t& value);

  /// The next number of a record; the section ending here raises tooFew.
  int Need(std::string_view tooFew);
  /// The next text item of a record; the section ending here raises tooFew.
  std::string NeedText(std::string_view tooFew);
  /// The first value of a terminated-list record; false at the terminator.
  bool NextRecord(int& first, std::string_view tooFew);
  /// Raises dataAfter when the section holds one more value.
  void ExpectEnd(std::string_view dataAfter);

  [[noreturn]] void Fail(std::string_view message) const;

  void ClearLineText() { lineText_.clear(); }
  /// Copies the position into the error record, texts decoded to UTF-8.
  void Publish(TReadDataError& error) const;

 private:
  bool AtEof() const { return pos_ >= data_.size(); }
  void ReadLine();

  std::string_view data_;
  std::size_t pos_ = 0;
  int lineNo_ = 0;
  std::string lineText_;
  std::string rest_;
};

/// What a section reader needs besides the cursor.
struct ReadContext {
  DataReader& In;
  TAreaData& Area;
  int& MaxSpeedLimit;
};

// Section readers, in file order. Each fills its member of Area when it returns.
void ReadGraphFragms(ReadContext& ctx);
void ReadGraphVids(ReadContext& ctx);
void ReadGraphPeregons(ReadContext& ctx);
void ReadGraphLamps(ReadContext& ctx);
void ReadSekzs(ReadContext& ctx);
void ReadStanzs(ReadContext& ctx);
void ReadGorlStanzs(ReadContext& ctx);
void ReadPuts(ReadContext& ctx);
void ReadStrels(ReadContext& ctx);
void ReadGrStrels(ReadContext& ctx);
void ReadSlSects(ReadContext& ctx);
void ReadTrainRoutes(ReadContext& ctx);
void ReadManeuvreRoutes(ReadContext& ctx);
void ReadSparGrStrels(ReadContext& ctx);
void ReadLocos(ReadContext& ctx);
void ReadOstLocos(ReadContext& ctx);
void ReadPeregons(ReadContext& ctx);
void ReadGraphTrains(ReadContext& ctx, bool freight, int direction);
void ReadCreationInlets(ReadContext& ctx);
void ReadFreightNumbering(ReadContext& ctx);
void ReadCreationPlans(ReadContext& ctx);
void ReadLPNames(ReadContext& ctx, bool manip);
void ReadStationNames(ReadContext& ctx);

/// Orients the minus lamps of a switch against the reference lamp r (diagonals point away).
void OrientMinusLamps(TGraphLampsData& lamps, const int* minusLamps, int count, int r);

/// True when lamp is a valid index into the lamp table.
inline bool LampInRange(const TAreaData& area, int lamp) {
  return lamp >= 0 && static_cast<std::size_t>(lamp) < area.GraphLamps.size();
}

}  // namespace traklin::area_reader
