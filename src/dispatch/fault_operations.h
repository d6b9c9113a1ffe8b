// The instructor's faults and the dispatcher's permissions as operations: each done in one
// function that the scenario player and the console call, with the scenario line that does it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dispatch/dispatch_data.h"

namespace traklin {

/// One fault line of a scenario, its object resolved against the district.
struct FaultOrder {
  enum class Kind { Set, Clear, Permit };
  Kind What = Kind::Set;
  TFaultData Fault;   ///< set, clear: the object (a restriction with its speed)
  std::string Span;   ///< set: as written, "-" until cleared
  TDateTime For = 0;  ///< set: the span in days; 0 until cleared
  int Number = 0;     ///< permit: the train's number
};

/// Whether a scenario action word begins a fault line ("fault", "limit", "clear", "permit").
bool IsFaultAction(const std::string& action);
/// Reads a fault line from its action word on (the names: area/object_names.h):
///   fault train NUMBER SPAN            the train brakes to a stop and stands
///   fault switch LP NUMBER SPAN        the switch will not throw
///   fault section LP NAME SPAN         the station section reads occupied
///   fault section PEREGON:K SPAN       the block section reads occupied
///   fault signal LP NAME SPAN          the signal will not open
///   limit PEREGON|LP:TRACK KMH SPAN    trains keep at most KMH on the peregon or the track
///   clear fault KIND OBJECT            ends a fault early: the words of its line between
///   clear limit PEREGON|LP:TRACK       the kind and the span
///   permit NUMBER                      lets the train past the closed signal it stands
///                                      before, held by a fault
/// SPAN as scenario spans ("20m", "1h"), or "-" for until cleared. Returns why the words are
/// not such a line (English), empty when `order` was read.
std::string ParseFaultOrder(const TAreaData& area, const std::vector<std::string>& words,
                            FaultOrder& order);
/// The line that does the order again: "fault switch 6 5 20m", "limit 2 40 1h",
/// "clear fault section 2:1", "permit 2001".
std::string FaultOrderLine(const TAreaData& area, const FaultOrder& order);

// Each operation returns the reason it was refused (English), empty when it was done, and tells
// OnOperation (a shift's recorder) its line, FaultOrderLine, with a refusal as the note.

/// Sets `fault` from `from` (default: DueAfter the clock) for `span` ("-": until cleared), in
/// place of one on the same object.
std::string OperateFault(DispatchData& sim, const TFaultData& fault, const std::string& span,
                         std::optional<TDateTime> from = std::nullopt);
/// Ends the fault on the object of `object` early.
std::string OperateClearFault(DispatchData& sim, const TFaultData& object);
/// Lets train `number` past the closed signal it stands before (see PermitRefusal).
std::string OperatePermit(DispatchData& sim, int number);
/// Plays a scenario's order due at `due`.
std::string PlayFaultOrder(DispatchData& sim, const FaultOrder& order, TDateTime due);

/// The faults in force with what the instructor's list shows of each.
struct ActiveFault {
  TFaultData Fault;
  std::string Description;  ///< FaultDescription
  std::string Line;         ///< the scenario line that ends it ("clear fault switch 6 5")
};
std::vector<ActiveFault> ActiveFaults(const SimulationData& sim);

}  // namespace traklin
