// Train motion: speed limits, the braking curve, kinematics and the passage over sections.
#pragma once

#include <array>

#include "state/braking.h"
#include "state/interlocking.h"
#include "state/simulation_data.h"

namespace traklin {

// ---------------------------------------------------------------------------
// Train physics. Speeds in km/h unless said; accelerations in m/s².

/// a⁺: 0 without a real locomotive or weight; traction ÷ WEIGHT for acceleration type 0,
/// else traction × CARS ÷ 2 ÷ WEIGHT (single precision). Never NaN or infinite.
double Acceleration(const SimulationData& sim, int i);
// Deceleration and BrakingDistance are the interlocking's (state/braking.h): approach locking
// asks them too.
/// The speed (km/h) from which a train braking at a can still reach vt within dt metres.
int RestrictedSpeed(int vt, double dt, double a);
/// The section speed limit for the train: side limit over a reversed switch, else the
/// passenger or freight limit; MaxSpeedLimit for s < 1.
int SectionLimit(const SimulationData& sim, int i, int s);
/// 50 km/h for freight trains, 60 for the others.
int SightSpeed(const SimulationData& sim, int i);

/// One step's change of speed towards target T (m/s) from v (m/s) over dt seconds with
/// acceleration up / deceleration down.
struct Kinematics {
  double Speed = 0;     ///< speed at the end of the step, m/s
  double Distance = 0;  ///< metres covered
};
Kinematics StepKinematics(double v, double target, double dt, double up, double down);

/// The braking curve: the permitted speed (km/h) looking ahead of the head; may lower
/// SPEED_LIM for a closed signal ahead. v is the current speed in km/h.
int LookAhead(SimulationData& sim, int i, double v);
/// LookAhead with the train's deceleration a already found (Deceleration(sim, i)).
int LookAhead(SimulationData& sim, int i, double v, double a);

// ---------------------------------------------------------------------------
// Motion

/// Once per step: every train with PLACE_TIME 0 logs its speed; trains with leave to move
/// are moved by delta (a day fraction).
void MoveTrains(SimulationData& sim, TDateTime delta);
void HeadEntersSection(SimulationData& sim, int i);
void TailLeavesSection(SimulationData& sim, int i);
/// Safety checks at the new head section entered from prev; false when the train crashed.
bool CheckEntry(SimulationData& sim, int i, int prev);
/// The head section's half of the head direction names the train; its lamps show it.
void MarkOccupied(SimulationData& sim, int i);
/// Frees the tail section (both halves) and switches its occupied lamps off.
void ReleaseSection(SimulationData& sim, int i);
/// Frees section s (both halves) and switches its occupied lamps off.
void ReleaseSectionAt(SimulationData& sim, int s);
/// Which directions graph peregon p (index) is occupied in; lights its direction lamps and
/// reports a peregon occupied both ways. Motion calls it when an end enters or leaves p.
std::array<bool, 2> PeregonDirections(SimulationData& sim, int p);
// PeregonOccupiedDirections, the same question without lamps or messages, is the
// interlocking's: route assembly asks it too.
/// The LP code of the station a train end belongs to: its LP, or on a peregon the LP at the
/// peregon's end in the end's direction; 0 when none.
int EndStationCode(const SimulationData& sim, const TTrainEndPosData& e);

}  // namespace traklin
