// The event log's lines: one JSON object per event, as the runner writes them and as a
// console's own log can write them too.
#include "simulation/event_lines.h"

#include <nlohmann/json.hpp>

#include "area/date_time.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

using Json = nlohmann::ordered_json;

Json EventObject(TDateTime time, const char* event) {
  Json j;
  j["time"] = FormatEventTime(time);
  j["event"] = event;
  return j;
}

std::string Text(const Json& j) {
  // Texts that are not valid UTF-8 are replaced rather than aborting the run.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

const char* TrainSourceName(TrainSource source) {
  switch (source) {
    case TrainSource::Timetable:
      return "timetable";
    case TrainSource::Plan:
      return "plan";
    case TrainSource::Random:
      return "random";
    case TrainSource::Dependant:
      return "dependant";
  }
  return "timetable";
}

const char* AnswerSourceName(AnswerSource by) {
  switch (by) {
    case AnswerSource::Dispatcher:
      return "dispatcher";
    case AnswerSource::Auto:
      return "auto";
    case AnswerSource::Runner:
      return "runner";
    case AnswerSource::Scenario:
      return "scenario";
  }
  return "dispatcher";
}

std::string NotifyEventLine(TDateTime time, const std::string& text) {
  Json j = EventObject(time, "notify");
  j["text"] = text;
  return Text(j);
}

std::string InformEventLine(TDateTime time, const std::string& caption, const std::string& text,
                            int ring) {
  Json j = EventObject(time, "inform");
  j["caption"] = caption;
  j["text"] = text;
  j["ring"] = ring;
  return Text(j);
}

std::string AskEventLine(TDateTime time, const std::string& caption, const std::string& text,
                         int ring, bool answer, AnswerSource by) {
  Json j = EventObject(time, "ask");
  j["caption"] = caption;
  j["text"] = text;
  j["ring"] = ring;
  j["answer"] = answer;
  j["by"] = AnswerSourceName(by);
  return Text(j);
}

std::string CreatedEventLine(const SimulationData& sim, int train, TrainSource source) {
  const TTrainData& t = sim.State.Trains[train];
  Json j = EventObject(sim.State.ClockTime, "created");
  j["number"] = t.NUMBER;
  j["name"] = TrainName(sim, train, 1);
  j["lp"] = t.CREATION_LP_CODE;
  j["source"] = TrainSourceName(source);
  return Text(j);
}

std::string RemovedEventLine(const SimulationData& sim, int train) {
  Json j = EventObject(sim.State.ClockTime, "removed");
  j["number"] = sim.State.Trains[train].NUMBER;
  j["name"] = TrainName(sim, train, 1);
  return Text(j);
}

std::string SaveEventLine(TDateTime time, bool ok) {
  Json j = EventObject(time, "save");
  j["ok"] = ok;
  return Text(j);
}

std::string ErrorEventLine(TDateTime time, const std::string& text) {
  Json j = EventObject(time, "error");
  j["text"] = text;
  return Text(j);
}

std::string GridlockEventLine(TDateTime time, const std::vector<int>& trains,
                              const std::vector<int>& stations) {
  Json j = EventObject(time, "gridlock");
  j["trains"] = trains;
  j["stations"] = stations;
  return Text(j);
}

}  // namespace traklin
