// Tasks to a station's duty officer: throat slots, deeds, tracks, inlets, checks and the list.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "state/simulation_data.h"

namespace traklin {

/// The throats of one station as the task dialog addresses them: by side (0 even, 1 odd),
/// kind (0 receive, 1 send) and number (0, 1); -1 where there is none.
struct TaskThroatSlots {
  int Lp = -1;  ///< LP index of the station
  std::array<int, 8> Throats = {-1, -1, -1, -1, -1, -1, -1, -1};

  int& At(int side, int kind, int number) { return Throats[side * 4 + kind * 2 + number]; }
  int At(int side, int kind, int number) const { return Throats[side * 4 + kind * 2 + number]; }
  /// How many throats of that side and kind there are (0 to 2).
  int Count(int side, int kind) const;
};

/// The throats of LP lp in slots: a throat with side value 0 serves both kinds, -1 receives
/// only, +1 sends only; a slot already taken moves the throat to the other number. Throats
/// whose number or parity is not 0 or 1 have no slot and are left out.
TaskThroatSlots ThroatSlotsOf(const TAreaData& area, int lp);

/// A deed of the dialog: its radio button's name and caption, its side, and whether it sends
/// and receives (a transit does both).
struct TaskDeed {
  const char* Name;
  const char* Caption;
  int Side;
  bool Sends;
  bool Receives;
  bool Transit() const { return Sends && Receives; }
  /// A receiving deed receives at its own side, a transit at the opposite one.
  int ReceiveSide() const { return Transit() ? 1 - Side : Side; }
};

/// The six deeds in the order of the dialog's layout.
extern const std::array<TaskDeed, 6> kTaskDeeds;
/// Index into kTaskDeeds by name; -1 for an unknown name.
int TaskDeedIndex(const std::string& name);

/// Whether the station's slots allow the deed (a transit needs both its receiving and its
/// sending deed).
bool TaskDeedEnabled(const TaskThroatSlots& slots, const TaskDeed& deed);

/// The station's tracks a deed may use, in order (track indices, at most 26).
std::vector<int> TaskDeedTracks(const TAreaData& area, int lp, const TaskDeed& deed);
/// The position in `tracks` of the track chosen first: a roman-numbered (main) track, the
/// lowest for a send to the odd side or a receive only at the even side, else the first;
/// -1 when there is none.
int PreselectedTaskTrack(const TAreaData& area, int lp, const TaskDeed& deed,
                         const std::vector<int>& tracks);
/// The position in a list of `count` tracks that slot k (0..25) shows: with more than 10 the
/// list runs across both columns row by row, else down the left column; -1 for none.
int TaskTrackOfSlot(int slot, int count);

/// The inlet choices of a deed: one caption per combination of receive and send throat when a
/// side has two of them ("с …", "на …"); empty when no side has two.
std::vector<std::string> TaskDeedInlets(const TAreaData& area, const TaskThroatSlots& slots,
                                        const TaskDeed& deed);

/// The reason a task cannot be given, empty when it can: throat g, sending or receiving,
/// track index `track` of the throat's LP. A train found standing on the track for a send
/// comes back in `train` (-1 otherwise).
std::string CheckThroatTask(SimulationData& sim, int g, bool send, int track, bool transit,
                            int* train = nullptr);

/// What the dispatcher chose in the dialog.
struct TaskChoice {
  int Deed = -1;             ///< index into kTaskDeeds
  int Track = -1;            ///< track index of the station
  int Inlet = -1;            ///< checked inlet button, -1 for none
  std::string InletCaption;  ///< its caption
  bool FourInlets = false;   ///< the third and fourth inlet buttons are shown
};

/// Checks both parts of the task and writes it when both are accepted: the throat tasks with
/// TASKED an hour ahead, and the train found on the track marked as ordered. Returns the
/// refusal reason (empty when written or when there is nothing to order); `written` tells
/// whether tasks were written.
std::string OrderThroatTask(SimulationData& sim, const TaskThroatSlots& slots,
                            const TaskChoice& choice, bool* written = nullptr);

/// Cancels every active task of the station's slots.
void CancelStationTasks(SimulationData& sim, const TaskThroatSlots& slots);

/// The station's active tasks as the dialog lists them, the latest first, one per line
/// (",\r\n" between them).
std::string TaskListText(const SimulationData& sim, const TaskThroatSlots& slots);

/// The dialog's caption for LP lp: the station's name.
std::string TaskDialogCaption(const TAreaData& area, int lp);
/// Whether the station takes orders: a station with a duty officer whose LP took its code from
/// the station.
bool StationTakesTasks(const TAreaData& area, int lp);

/// "Задание невыполнимо:\r\n" + reason.
std::string TaskRefusalText(const std::string& reason);

}  // namespace traklin
