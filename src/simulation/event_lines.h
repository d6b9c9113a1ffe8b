// The event log's lines: one JSON object per event, as the runner writes them and as a
// console's own log can write them too.
#pragma once

#include <string>
#include <vector>

#include "area/area_data.h"
#include "state/console_services.h"
#include "state/simulation_data.h"

namespace traklin {

/// The name of a train's source in a "created" line: "timetable", "plan", "random",
/// "dependant".
const char* TrainSourceName(TrainSource source);
/// The name of whoever answered in an "ask" line: "dispatcher", "auto", "runner", "scenario".
const char* AnswerSourceName(AnswerSource by);

// Each line is the JSON text of one object without the line break, its keys in this order:
// "time" ("YYYY-MM-DD HH:MM:SS.s", FormatEventTime), "event", then the event's own. Texts
// that are not valid UTF-8 are replaced rather than refused.

/// {"time","event":"notify","text"}
std::string NotifyEventLine(TDateTime time, const std::string& text);
/// {"time","event":"inform","caption","text","ring"}
std::string InformEventLine(TDateTime time, const std::string& caption, const std::string& text,
                            int ring);
/// {"time","event":"ask","caption","text","ring","answer","by"}: a station's question, its
/// answer (true for yes) and who gave it.
std::string AskEventLine(TDateTime time, const std::string& caption, const std::string& text,
                         int ring, bool answer, AnswerSource by);
/// {"time","event":"created","number","name","lp","source"} for train index `train` of sim.
std::string CreatedEventLine(const SimulationData& sim, int train, TrainSource source);
/// {"time","event":"removed","number","name"} for train index `train` of sim.
std::string RemovedEventLine(const SimulationData& sim, int train);
/// {"time","event":"save","ok"}
std::string SaveEventLine(TDateTime time, bool ok);
/// {"time","event":"error","text"}: an error raised inside a step.
std::string ErrorEventLine(TDateTime time, const std::string& text);
/// {"time","event":"gridlock","trains","stations"}: the train numbers and the LP codes of a
/// gridlock the detector found.
std::string GridlockEventLine(TDateTime time, const std::vector<int>& trains,
                              const std::vector<int>& stations);

}  // namespace traklin
