// The catalogue of installed districts and the choice of the district to run.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace traklin {

/// The directory under which the districts are installed, relative to the working directory.
inline const std::filesystem::path kDistrictRoot{"../district"};

/// One usable district: its number (the directory name) and its display name (UTF-8).
struct DistrictEntry {
  int Number = 0;
  std::string Name;

  bool operator==(const DistrictEntry&) const = default;
};
/// The usable districts in increasing number order.
using DistrictCatalogue = std::vector<DistrictEntry>;

/// The district file of a district directory: the entry named data.dat in any letter case
/// (Data.dat preferred when several exist), or dir / "Data.dat" when there is none.
std::filesystem::path DistrictDataFile(const std::filesystem::path& dir);

/// Scans root / 1, root / 2, ... for district files. A district is usable when the first
/// non-empty line of its file that is not a comment starts with the text of its number. The
/// scan ends after the tenth missing or unusable number (misses are counted in total).
/// Returns nullopt when no district is usable.
std::optional<DistrictCatalogue> ScanDistricts(const std::filesystem::path& root);

/// Shows the district window and lets the user pick one of the catalogue's districts.
class DistrictChooser {
 public:
  virtual ~DistrictChooser() = default;
  /// The picked district number, or nullopt when the window was cancelled.
  virtual std::optional<int> Choose(const DistrictCatalogue& catalogue) = 0;
};

/// The outcome of the district selection.
struct DistrictSelection {
  int Number = -1;                    ///< the selected district, -1 = none
  bool Cancelled = false;             ///< the district window was closed without a choice
  std::filesystem::path DistrictDir;  ///< root / Number, empty when none was selected
};

/// Picks the requested district when it is installed, else the only installed one, else asks
/// the chooser. An absent or empty catalogue selects nothing.
DistrictSelection SelectDistrict(DistrictChooser& chooser,
                                 const std::optional<DistrictCatalogue>& catalogue, int requested,
                                 const std::filesystem::path& root = kDistrictRoot);

/// The district number given on the command line: optional blanks, an optional sign and
/// decimal digits. nullopt for any other text or a number out of the int range.
std::optional<int> ParseDistrictArgument(const std::string& text);

}  // namespace traklin
