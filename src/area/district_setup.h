// The start-up set-up of a district: peregon completion and panel lamp layout, name lamps,
// the route check (station resolution, route generation and validation, chains, signal
// classification) and the ring assignment.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "area/area_data.h"

namespace traklin {

/// What the set-up needs from outside the district data.
struct SetupOptions {
  /// The VIEW / SHOWALLBLOCKSECT setting: lay out every block-section lamp when there is room.
  bool ShowAllBlockSect = true;
  /// The panel view whose coordinates are used; view 0 when out of range.
  int ViewIndex = 0;
  /// Width in pixels of a text in "Tahoma" 8 pt (UTF-8). When empty, 6 pixels per character.
  std::function<int(const std::string&)> TextWidth;
  /// Whether the ring sound file of that number exists. When empty, no ring exists.
  std::function<bool(int)> RingExists;
};

/// Runs the whole set-up in its fixed order: reference checks, peregon completion with the
/// block, direction and departure-commit lamps, the flip check, name lamps, the route check,
/// and the ring assignment. Returns the default ring (-1 = none). On failure throws
/// std::runtime_error with the reason; the caller prefixes "Error initializing data+\r\n\r\n".
int PrepareDistrict(TAreaData& area, const SetupOptions& options);

/// Text lines for `traklin-cli check`: per LP the number of routes and chains, then the
/// number of signals of each kind.
std::vector<std::string> DescribeSetup(const TAreaData& area);

// ---------------------------------------------------------------------------
// The steps, callable on their own (tests, tools). Each throws std::runtime_error.

/// Checks the references the reader leaves unchecked, so that no later step indexes out of
/// range: peregon LPs and end sections, section lamps, departure-commit lamps, block lamps,
/// LP codes as indexes into Stations, direction lamps L + 1 and signals' second lamps.
void CheckDistrictReferences(TAreaData& area);

/// Per peregon in file order: completion (spare flag, throats at parity flips, peregon-end
/// and block signals, end section [1]) and, for drawn peregons, the block-section, direction
/// and departure-commit lamps; then the check that every parity flip has a throat.
void CompletePeregons(TAreaData& area, const SetupOptions& options);

/// Name lamp f + 1 of every fragment f; grows the lamp table when it is too short.
void SetNameLamps(TAreaData& area, const SetupOptions& options);

/// Ties every named entry of Stations to an LP code (-1 when none).
void ResolveStations(TAreaData& area);

/// The route check: station resolution, route generation or file-route validation for every
/// LP, single-sided flags and signal classification.
void CheckRoutes(TAreaData& area);

/// Expands and validates the file routes of an LP without throats (sections filled, switch
/// entries decoded). Throws with the "Error at route " text (without the LP prefix).
void ExpandFileRoutes(TAreaData& area, int lp);

/// Generates the routes and chains of an LP with throats; replaces its TrainRoutes entry. The
/// routes out of tracks that only receive (and their chains) come last (ReceiveOnlyExits).
void GenerateLPRoutes(TAreaData& area, int lp);

/// Builds the chains of an LP from its routes.
std::vector<TChainData> BuildChains(const TAreaData& area, int lp);

/// H(k, n) of the ring choice: x = 29, k + 1 times x = ((x + 7) * 11) mod 65536; x mod n.
/// For negative k, 29 mod n. n must be positive.
int RingHash(int k, int n);

/// Gives every LP a ring number from the existing ring files; returns the default ring.
int AssignRings(TAreaData& area, const std::function<bool(int)>& ringExists);

}  // namespace traklin
