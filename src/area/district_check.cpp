// The check of one district as `traklin-cli check` runs it: reading and the start-up set-up.
#include "area/district_check.h"

#include <exception>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "area/area_data.h"
#include "area/area_reader.h"
#include "area/area_report.h"
#include "area/district_catalogue.h"
#include "area/district_setup.h"

namespace traklin {

int RunDistrictCheck(const std::filesystem::path& dir, std::ostream& out, std::ostream& err) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    err << "No district directory " << dir.string() << "\n";
    return kCheckFailed;
  }

  TAreaData area;
  int maxSpeedLimit = 10;
  TReadDataError error;
  try {
    LoadAreaData(DistrictDataFile(dir), area, maxSpeedLimit, error);
  } catch (const std::exception& e) {
    err << ToPlainLineBreaks(FormatReadDataError(error, e.what())) << "\n";
    return kCheckFailed;
  }
  // The tables as the file gave them; the set-up adds signals, lamps and routes.
  const std::vector<std::string> tables = DescribeAreaTables(area);

  // As the console starts without a configuration file: the first panel view, block-section
  // lamps not all shown. Left empty, the text width is 6 pixels per character and no ring
  // file exists.
  SetupOptions options;
  options.ShowAllBlockSect = false;
  options.ViewIndex = 0;
  try {
    PrepareDistrict(area, options);
  } catch (const std::exception& e) {
    err << ToPlainLineBreaks(std::string("Error initializing data+\r\n\r\n") + e.what()) << "\n";
    return kCheckFailed;
  }

  for (const std::string& line : tables) out << line << "\n";
  for (const std::string& line : DescribeSetup(area)) out << line << "\n";
  return 0;
}

}  // namespace traklin
