// The dispatcher's push-button desk: station selection, route input, commits, desk geometry.
#pragma once

#include <optional>
#include <vector>

#include "dispatch/dispatch_data.h"

namespace traklin {

// ---------------------------------------------------------------------------
// Desk geometry, in pixels of the desk background (its width is the picture's).

/// Colours of the seven button pictures.
enum class DeskColour { White, Yellow, Red, Teal, Green, Blue, Black };

struct DeskPoint {
  int X = 0, Y = 0;
  bool operator==(const DeskPoint&) const = default;
};

/// A route button: column 1..4, row from 1.
struct DeskButton {
  int Column = 0, Row = 0;
  bool operator==(const DeskButton&) const = default;
};

/// Rows of route buttons in a column (1..4) for a throat layout (1 or 2); 0 for other columns.
int RouteRowCount(int throatLayout, int column);
/// Whether the desk has that route button.
bool RouteButtonExists(int throatLayout, DeskButton button);
/// The line the route rows grow from: odd rows go down from it, even rows up.
int RouteBaseY(int throatLayout);
/// Centre of a route button.
DeskPoint RouteButtonCentre(int backWidth, int throatLayout, DeskButton button);
/// Rows up to the throat layout are yellow, the others white.
DeskColour RouteButtonColour(int throatLayout, int row);

/// Number of command buttons in each of the two blocks.
inline constexpr int kCommandButtons = 14;
/// Centre of command button i (0..13) of the left or the right block.
DeskPoint CommandButtonCentre(bool right, int i);
DeskColour CommandButtonColour(int i);

/// Top-left corner of the select button of station i.
DeskPoint SelectButtonTopLeft(int backWidth, int buttonWidth, int i);
/// Rows of 55 pixels the background grows by for that many stations (eight per row, two rows
/// fit the picture).
int ExtraStationRows(int stations);
inline constexpr int kStationRowHeight = 55;

/// A desk lamp: a horizontal bar from (X, Y) of Width pixels drawn with a pen of Pen pixels.
struct DeskLampShape {
  int X = 0, Y = 0, Width = 0, Pen = 0;
  bool Big = false;  ///< big lamps carry a label at (X + 1, Y - 3)
};
/// Lamp k: 0 "Задание", 1 "Маневры", 2 and 3 the mode lamps, 4 + i the select lamp of station i.
DeskLampShape DeskLampGeometry(int backWidth, int k);

/// A rectangle of the desk: top-left corner and size.
struct DeskRect {
  int X = 0, Y = 0, Width = 0, Height = 0;
  bool operator==(const DeskRect&) const = default;
};
/// Where a big lamp's label must stay: from its start (X + 1) to the end of the lamp's round
/// cap, over the lamp's height. A long station name is fitted into it.
DeskRect DeskLampLabelBox(const DeskLampShape& lamp);

/// The route button reached by a desk key: (row 1..3, column 1..4) of the key grid in the Alt
/// variant (Q row first) or the Shift variant (Z row first). nullopt when the desk has no such
/// button.
std::optional<DeskButton> KeyRouteButton(bool altVariant, int row, int column, int throatLayout);
/// A desk key's place in the key grid: row 1..3 of its variant, column 1..4.
struct DeskKeyCell {
  int Row = 0, Column = 0;
  bool operator==(const DeskKeyCell&) const = default;
};
/// The desk keys: three rows of four (Q W E R, A S D F, Z X C V), columns in the order of the
/// keys; the Alt variant counts rows from the Q row, the Shift variant from the Z row. The cell
/// of a key (a Latin letter by its place on the keyboard, either case), or nullopt for any
/// other key. The main window presses the desk's route buttons through it.
std::optional<DeskKeyCell> DeskKeyGrid(char letter, bool altVariant);

// ---------------------------------------------------------------------------
// The desk's state and commands

/// Desk lamps by index.
inline constexpr int kLampTask = 0;      ///< "Задание": a start button is held
inline constexpr int kLampShunting = 1;  ///< "Маневры": nothing lights it
inline constexpr int kLampInvert = 2;    ///< mode 2
inline constexpr int kLampRelease = 3;   ///< mode 1
inline constexpr int kFirstStationLamp = 4;

/// How long a selection lasts: 300 seconds of real time at every time scale (counted in
/// simulated time it would last about a second at x256, too short to press a route's buttons).
inline constexpr double kSelectionTimeoutSeconds = 300;

/// What a route button did.
enum class RouteInput {
  Ignored,    ///< no controlled station selected, or no such button
  StartHeld,  ///< the button became the start
  Changed,    ///< one route (or both halves of a through passage) got a fresh order
  Unchanged,  ///< the route was found but nothing was to be done, or the order was refused
  NoRoute,    ///< no route between the two buttons; the input was dropped
};

/// What the window must do after a station selection.
struct SelectEffects {
  bool HideTaskDialog = false;
  bool ShowDesk = false;
  int OpenTaskDialog = -1;  ///< station whose task dialog opens, or -1
};

/// The desk: one per run, reading and writing the run's state. Commands never touch the
/// track; they stamp route control records and commits, which the step carries out, and each
/// goes through the dispatcher's operations (dispatch/operations.h), where a shift records it.
class ControllerDesk {
 public:
  explicit ControllerDesk(DispatchData& sim);

  /// Sizes the lamps for the district (after it is read) and drops any selection.
  void Setup();

  /// Station lp (-1 = none) is selected; task asks for the task dialog of a station with a
  /// duty officer. A second plain click on the selected station deselects it. An lp outside
  /// the stations is ignored.
  SelectEffects SelectStation(int lp, bool task);
  int Selected() const { return selected_; }
  /// The simulated time of the selection.
  TDateTime SelectionTime() const { return selectionTime_; }
  /// Real seconds the selection has lasted, as the ticks told.
  double SelectionAge() const { return selectionAge_; }
  /// The clock tick, realSeconds of real time after the one before (the console passes its
  /// timer's interval): a selection held longer than the time-out ends, unless the task
  /// dialog is open. Returns whether it ended.
  bool Tick(bool taskDialogVisible, double realSeconds);

  /// A route button released (or reached by a key).
  RouteInput RouteButton(DeskButton button);
  /// A desk key: handled as the button it reaches, when the desk has it.
  RouteInput KeyRoutePress(bool altVariant, int row, int column);

  /// No start button, mode 0, lamps 0, 2 and 3 dark.
  void ResetRouteInput();
  /// The red button: resets the route input when a station is selected.
  void ResetButton();
  /// The yellow buttons: toggles the selected station's commit for dir (0 even, 1 odd) when its
  /// fragment has a commit lamp on that side. Returns whether it toggled.
  bool ToggleCommit(int dir);
  /// Mode 1 (release) or 2 (invert pending routes), for a selected controlled station with no
  /// start button held and no mode set. Returns whether the mode was taken.
  bool SetMode(int mode);

  int Mode() const { return mode_; }
  /// The held start button; Column 0 = none.
  DeskButton Start() const { return start_; }
  const std::vector<bool>& Lamps() const { return lamps_; }
  /// Whether station lp has a duty officer (value 2 of its record is 1 or more).
  bool HasDutyOfficer(int lp) const;
  /// Whether lp is a station that the desk sets routes for.
  bool IsControlled(int lp) const;

 private:
  RouteInput Apply(int table, int route);
  RouteInput ApplyThrough(int table, int first, int second);
  void SetLamp(int k, bool on);

  DispatchData& sim_;
  int selected_ = -1;
  TDateTime selectionTime_ = 0;
  double selectionAge_ = 0;
  DeskButton start_;
  int mode_ = 0;
  std::vector<bool> lamps_;
};

}  // namespace traklin
