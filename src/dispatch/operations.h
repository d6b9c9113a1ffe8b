// The dispatcher's operations, each done in one place that both the console and the scenario
// player call, and that tells the run's OnOperation hook (a shift's recorder) what was done.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "dispatch/dispatch_data.h"

namespace traklin {

/// The desk's modes of a route input: order (no mode), release (mode 1), invert (mode 2).
enum class RouteMode { Order, Cancel, Invert };

/// The two routes of a through passage on the desk's buttons: from column 1 to column 4 (or 4
/// to 1) on one row of the throat layout, made of the routes to and from the middle columns;
/// nullopt when the buttons make none or a route has no state record (`routeRecords`, -1: not
/// checked).
std::optional<std::pair<int, int>> ThroughRoutes(const TAreaData& area, int lp, int c1, int r1,
                                                 int c2, int r2, int routeRecords = -1);

// Each operation returns the reason it was refused (English for the checks of this layer, the
// station's own text for a task), empty when it was done. Its line, told to OnOperation, is the
// scenario line that does it again (LP as the station's code, TRACK as the panel names it).

/// Route r of LP lp in a desk mode: "route|cancel|invert LP C R C R". Inverting turns a pending
/// order into a release of what it locked (withdrawn at once when it locked nothing yet) and a
/// pending release back into an order.
std::string OperateRoute(DispatchData& sim, int lp, int r, RouteMode mode);
/// A through passage of two routes in a desk mode, both or neither:
/// "through|cancelthrough|invertthrough LP C R C R" (the outer buttons).
std::string OperateThrough(DispatchData& sim, int lp, int first, int second, RouteMode mode);
/// The departure commit of LP lp for dir (0 even, 1 odd): give 1 gives it, 0 takes it, -1
/// toggles it as the desk's yellow buttons do. "commit LP even|odd give|take".
std::string OperateCommit(DispatchData& sim, int lp, int dir, int give);
/// A throat task: deed (index into kTaskDeeds), track (index of the LP's tracks) and inlet
/// (the task dialog's inlet button, -1 where the deed shows none). Given in the task dialog
/// (`dialog`), a refusal is told to the dispatcher by the station ("Задание невыполнимо:" and
/// the reason) as the dialog does; a scenario's task is refused without a word. "task LP
/// receive|send|transit even|odd[:N] TRACK [dialog]", where even|odd is the deed's side (the
/// side a transit leaves by) and N the throat's number, or for a transit the inlet button.
std::string OperateTask(DispatchData& sim, int lp, int deed, int track, int inlet, bool dialog);
/// Cancels the tasks of one throat side and number ("canceltask LP even|odd[:N]"), or with
/// side -1 every task of the station, as the dialog's cancel button ("canceltask LP").
std::string OperateCancelTask(DispatchData& sim, int lp, int side, int number);
/// Puts the waiting train `number` out on a track: "put NUMBER LP TRACK".
std::string OperatePut(DispatchData& sim, int number, int lp, int track);
/// Switches the automatic dispatcher for LP lp (-1: every LP): "auto LP|all on|off".
std::string OperateAuto(DispatchData& sim, int lp, bool on);
/// Holds train `number` back from `from` (default: DueAfter the clock) for a span written as
/// ParseSpan reads it: "hold NUMBER SPAN". A later hold of the same train replaces the earlier.
std::string OperateHold(DispatchData& sim, int number, const std::string& span,
                        std::optional<TDateTime> from = std::nullopt);
/// Sets one key of the settings ("SECTION/KEY", an integer): "set SECTION/KEY=VALUE".
std::string OperateSetting(DispatchData& sim, const std::string& name, const std::string& value);
/// Takes a settings record as the settings dialog gives it: one "set" line for each key that
/// differs, set through OperateSetting, so that a replay sets the same record.
void OperateSettings(DispatchData& sim, const TSettings& changed);

/// The dispatcher's answer to a station's question: "reply yes|no", with the question's text as
/// the note. The console (or a headless run's answering console) tells it once answered.
void NoteReply(DispatchData& sim, bool answer, const std::string& question);
/// Tells OnOperation of an operation done elsewhere (the manual save).
void NoteOperation(DispatchData& sim, const std::string& line, const std::string& note = {});

}  // namespace traklin
