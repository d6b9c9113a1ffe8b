// Instructor scenarios: the reader checks every line against the district before a run starts;
// the player does each line through the dispatcher's own operations.
#include "dispatch/scenario.h"

#include <fmt/format.h>

#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "state/interlocking.h"
#include "trains/op_task.h"
#include "trains/stops.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin {

ScenarioError::ScenarioError(int line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason),
      Line(line),
      Reason(reason) {}

namespace {

std::optional<int> Integer(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::size_t k = text[0] == '-' ? 1 : 0;
  if (k == text.size()) return std::nullopt;
  for (std::size_t j = k; j < text.size(); ++j)
    if (text[j] < '0' || text[j] > '9') return std::nullopt;
  return std::stoi(text);
}

/// "HH:MM" or "HH:MM:SS" as seconds of the day.
std::optional<int> SecondOfDay(const std::string& text) {
  std::vector<int> parts;
  std::size_t from = 0;
  while (true) {
    const std::size_t colon = text.find(':', from);
    const std::string part = text.substr(from, colon - from);
    if (part.size() != 2 && !(parts.empty() && part.size() == 1)) return std::nullopt;
    const auto n = Integer(part);
    if (!n || *n < 0) return std::nullopt;
    parts.push_back(*n);
    if (colon == std::string::npos) break;
    from = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 3 || parts[0] > 23 || parts[1] > 59 ||
      (parts.size() == 3 && parts[2] > 59))
    return std::nullopt;
  return parts[0] * 3600 + parts[1] * 60 + (parts.size() == 3 ? parts[2] : 0);
}

class LineReader {
 public:
  LineReader(const TAreaData& area, int line, std::vector<std::string> words)
      : area_(area), line_(line), words_(std::move(words)) {}

  [[noreturn]] void Fail(const std::string& reason) const { throw ScenarioError(line_, reason); }

  void Count(std::size_t least, std::size_t most) const {
    const std::size_t n = words_.size() - 2;
    if (n < least || n > most)
      Fail(words_[1] + ": expected " +
           (least == most ? std::to_string(least)
                          : std::to_string(least) + " to " + std::to_string(most)) +
           " arguments, got " + std::to_string(n));
  }
  const std::string& Arg(std::size_t k) const { return words_[k + 2]; }

  int Int(std::size_t k, const char* what) const {
    const auto n = Integer(Arg(k));
    if (!n) Fail(std::string(what) + " is not a number: " + Arg(k));
    return *n;
  }
  int Lp(std::size_t k) const {
    const int code = Int(k, "LP code");
    const int lp = FindLPIndex(area_, code);
    if (lp < 0) Fail("no LP with code " + Arg(k));
    return lp;
  }
  int Track(std::size_t k, int lp) const {
    const auto& tracks = area_.Puts[lp].Tracks;
    for (int t = 0; t < static_cast<int>(tracks.size()); ++t)
      if (FormatTrackName(tracks[t].Number) == Arg(k)) return t;
    Fail("no track " + Arg(k) + " at LP " + std::to_string(area_.Puts[lp].Code));
  }
  int Choice(std::size_t k, const char* a, const char* b) const {
    if (Arg(k) == a) return 0;
    if (Arg(k) == b) return 1;
    Fail("expected " + std::string(a) + " or " + b + ": " + Arg(k));
  }
  /// "even", "odd", "even:1", "odd:1" as side and number.
  std::pair<int, int> Throat(std::size_t k) const {
    const std::string& w = Arg(k);
    const std::size_t colon = w.find(':');
    const std::string side = w.substr(0, colon);
    int number = 0;
    if (colon != std::string::npos) {
      const std::string n = w.substr(colon + 1);
      if (n != "0" && n != "1") Fail("throat number must be 0 or 1: " + w);
      number = n[0] - '0';
    }
    if (side == "even") return {0, number};
    if (side == "odd") return {1, number};
    Fail("throat must be even or odd (with :1 for the second): " + w);
  }

 private:
  const TAreaData& area_;
  int line_;
  std::vector<std::string> words_;
};

ScenarioStep ParseLine(const TAreaData& area, int line, const std::vector<std::string>& words) {
  LineReader r(area, line, words);
  ScenarioStep step;
  step.Line = line;
  const auto second = SecondOfDay(words[0]);
  if (!second) r.Fail("not a time HH:MM[:SS]: " + words[0]);
  step.SecondOfDay = *second;
  if (words.size() < 2) r.Fail("no action");
  const std::string& action = words[1];
  if (action == "route" || action == "cancel") {
    step.Action = action == "route" ? ScenarioAction::Route : ScenarioAction::Cancel;
    r.Count(5, 5);
    step.Lp = r.Lp(0);
    const int c1 = r.Int(1, "column"), r1 = r.Int(2, "row"), c2 = r.Int(3, "column"),
              r2 = r.Int(4, "row");
    // The desk orders routes only at stations without a duty officer.
    if (step.Lp >= area.StationCount || step.Lp >= static_cast<int>(area.Stanzs.size()) ||
        area.Stanzs[step.Lp].Value2 >= 1)
      r.Fail("LP " + r.Arg(0) + " is not worked from the desk");
    step.Route = FindRoute(area, step.Lp, c1, r1, c2, r2);
    if (step.Route < 0)
      r.Fail(fmt::format("no route from {} {} to {} {} at LP {}", c1, r1, c2, r2, r.Arg(0)));
  } else if (action == "commit") {
    step.Action = ScenarioAction::Commit;
    r.Count(2, 3);
    step.Lp = r.Lp(0);
    step.Dir = r.Choice(1, "even", "odd");
    if (words.size() == 5) step.Give = r.Choice(2, "take", "give");
    if (step.Lp >= static_cast<int>(area.GraphFragms.size()) ||
        area.GraphFragms[step.Lp].DepartCommitLamp[step.Dir] <= 0)
      r.Fail("LP " + r.Arg(0) + " has no departure commit for the " + r.Arg(1) + " direction");
  } else if (action == "task") {
    step.Action = ScenarioAction::Task;
    r.Count(4, 4);
    step.Lp = r.Lp(0);
    if (!StationTakesTasks(area, step.Lp)) r.Fail("LP " + r.Arg(0) + " takes no tasks");
    step.Send = r.Choice(1, "receive", "send") == 1;
    std::tie(step.Dir, step.ThroatNumber) = r.Throat(2);
    step.Track = r.Track(3, step.Lp);
    if (ThroatSlotsOf(area, step.Lp).At(step.Dir, step.Send ? 1 : 0, step.ThroatNumber) < 0)
      r.Fail("no such throat at LP " + r.Arg(0) + ": " + r.Arg(1) + " " + r.Arg(2));
  } else if (action == "canceltask") {
    step.Action = ScenarioAction::CancelTask;
    r.Count(2, 2);
    step.Lp = r.Lp(0);
    std::tie(step.Dir, step.ThroatNumber) = r.Throat(1);
    const TaskThroatSlots slots = ThroatSlotsOf(area, step.Lp);
    if (slots.At(step.Dir, 0, step.ThroatNumber) < 0 &&
        slots.At(step.Dir, 1, step.ThroatNumber) < 0)
      r.Fail("no such throat at LP " + r.Arg(0) + ": " + r.Arg(1));
  } else if (action == "put") {
    step.Action = ScenarioAction::Put;
    r.Count(3, 3);
    step.Number = r.Int(0, "train number");
    if (step.Number <= 0) r.Fail("train number must be positive: " + r.Arg(0));
    step.Lp = r.Lp(1);
    step.Track = r.Track(2, step.Lp);
  } else if (action == "answer") {
    step.Action = ScenarioAction::Answer;
    r.Count(1, 2);
    step.Answer = r.Choice(0, "no", "yes") == 1;
    if (words.size() == 4) {
      const auto span = ParseSpan(r.Arg(1));
      if (!span || *span <= 0) r.Fail("not a span (a number with s, m, h or d): " + r.Arg(1));
      step.For = *span;
    }
  } else if (action == "save") {
    step.Action = ScenarioAction::Save;
    r.Count(1, 1);
    step.File = r.Arg(0);
  } else if (action == "auto") {
    step.Action = ScenarioAction::Auto;
    r.Count(2, 2);
    step.Lp = r.Arg(0) == "all" ? -1 : r.Lp(0);
    step.Answer = r.Choice(1, "off", "on") == 1;
  } else if (action == "hold") {
    step.Action = ScenarioAction::Hold;
    r.Count(2, 2);
    step.Number = r.Int(0, "train number");
    if (step.Number <= 0) r.Fail("train number must be positive: " + r.Arg(0));
    const auto span = ParseSpan(r.Arg(1));
    if (!span || *span <= 0) r.Fail("not a span (a number with s, m, h or d): " + r.Arg(1));
    step.For = *span;
  } else if (action == "scale") {
    step.Action = ScenarioAction::Scale;
    r.Count(1, 1);
    step.Level = r.Int(0, "time-scale level");
    if (step.Level < 0 || step.Level > 9) r.Fail("time-scale level must be 0 to 9: " + r.Arg(0));
  } else if (IsFaultAction(action)) {
    step.Action = ScenarioAction::Fault;
    const std::string reason =
        ParseFaultOrder(area, std::vector<std::string>(words.begin() + 1, words.end()), step.Fault);
    if (!reason.empty()) r.Fail(reason);
  } else {
    r.Fail("unknown action: " + action);
  }
  return step;
}

}  // namespace

std::vector<ScenarioStep> ParseScenario(const std::string& text, const TAreaData& area) {
  std::vector<ScenarioStep> steps;
  std::istringstream in(text);
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    // Comments are cut before the words are split.
    const std::size_t comment = raw.find_first_of("#;");
    if (comment != std::string::npos) raw.erase(comment);
    std::istringstream words(raw);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    steps.push_back(ParseLine(area, line, w));
  }
  return steps;
}

std::vector<ScenarioStep> ReadScenarioFile(const std::filesystem::path& file,
                                           const TAreaData& area) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ScenarioError(0, "cannot read " + file.string());
  std::stringstream text;
  text << in.rdbuf();
  return ParseScenario(text.str(), area);
}

ScenarioPlayer::ScenarioPlayer(std::vector<ScenarioStep> steps, TDateTime start)
    : steps_(std::move(steps)) {
  // Whole seconds, so that a step at the start's own second is due at once.
  TDateTime previous = std::round(start * 86400.0) / 86400.0;
  for (const ScenarioStep& s : steps_) {
    TDateTime t = std::floor(previous) + s.SecondOfDay / 86400.0;
    if (t < previous - 0.5 / 86400.0) t += 1;
    due_.push_back(t);
    previous = t;
  }
}

void ScenarioPlayer::PlayDue(DispatchData& sim, TDateTime until) {
  // Half a millisecond of slack: the clock is a sum of half seconds.
  const TDateTime slack = 0.0005 / 86400.0;
  if (answerUntil_ != 0 && answerUntil_ <= until + slack) {
    answerUntil_ = 0;
    if (AnswerEnded)
      AnswerEnded();
    else if (SetAnswer)
      SetAnswer(DefaultAnswer);
  }
  while (next_ < steps_.size() && due_[next_] <= until + slack) {
    const TDateTime due = due_[next_];
    const ScenarioStep& step = steps_[next_++];
    const std::string reason = Play(sim, step, due);
    if (step.Action == ScenarioAction::Answer) answerUntil_ = step.For > 0 ? due + step.For : 0;
    if (!reason.empty() && Refused) Refused(step.Line, reason);
  }
}

std::string ScenarioPlayer::Play(DispatchData& sim, const ScenarioStep& step, TDateTime due) {
  const TAreaData& area = sim.AreaData;
  switch (step.Action) {
    case ScenarioAction::Route:
    case ScenarioAction::Cancel: {
      if (step.Lp >= static_cast<int>(sim.State.Routes.size()) ||
          step.Route >= static_cast<int>(sim.State.Routes[step.Lp].size()))
        return "the route has no state";
      const bool done = step.Action == ScenarioAction::Route
                            ? OrderRoute(sim, step.Lp, step.Route)
                            : CancelRoute(sim, step.Lp, step.Route);
      return done ? std::string() : "the route is not in a state to do that";
    }
    case ScenarioAction::Commit: {
      if (step.Give >= 0) {
        const bool given = DepartCommitGiven(sim, step.Lp, step.Dir);
        if (given == (step.Give == 1))
          return step.Give == 1 ? "the commit is already given" : "there is no commit to take";
      }
      ToggleDepartCommit(sim, step.Lp, step.Dir);
      return {};
    }
    case ScenarioAction::Task: {
      const TaskThroatSlots slots = ThroatSlotsOf(area, step.Lp);
      const int kind = step.Send ? 1 : 0;
      TaskChoice choice;
      for (int d = 0; d < static_cast<int>(kTaskDeeds.size()); ++d) {
        const TaskDeed& deed = kTaskDeeds[d];
        if (!deed.Transit() && deed.Sends == step.Send && deed.Side == step.Dir) choice.Deed = d;
      }
      choice.Track = step.Track;
      if (slots.Count(step.Dir, kind) > 1) {
        choice.Inlet = step.ThroatNumber;
        const auto inlets = TaskDeedInlets(area, slots, kTaskDeeds[choice.Deed]);
        if (step.ThroatNumber < static_cast<int>(inlets.size()))
          choice.InletCaption = inlets[step.ThroatNumber];
      }
      bool written = false;
      const std::string reason = OrderThroatTask(sim, slots, choice, &written);
      if (!reason.empty()) return reason;
      return written ? std::string() : "the task was not written";
    }
    case ScenarioAction::CancelTask: {
      const TaskThroatSlots slots = ThroatSlotsOf(area, step.Lp);
      bool any = false;
      for (int kind = 0; kind < 2; ++kind) {
        const int g = slots.At(step.Dir, kind, step.ThroatNumber);
        if (g >= 0 && g < static_cast<int>(sim.State.Gorls.size()) &&
            sim.State.Gorls[g].TASKED != 0) {
          CancelTask(sim, g);
          any = true;
        }
      }
      return any ? std::string() : "the throat has no task";
    }
    case ScenarioAction::Put: {
      const int s = area.Puts[step.Lp].Tracks[step.Track].Section;
      if (ValidSection(area, s) && (TrainOnHalf(sim, s, 0) >= 0 || TrainOnHalf(sim, s, 1) >= 0))
        return "the track is occupied";
      for (int i = 0; i < static_cast<int>(sim.State.Trains.size()); ++i) {
        const TTrainData& t = sim.State.Trains[i];
        if (t.NUMBER != step.Number || t.HEAD.SECT_IDX != 0) continue;
        if (!PutOnTrack(sim, i, step.Lp, step.Track)) return "the track is too short";
        ReleaseMadeUp(sim, i);
        TrainListChanged(sim);
        return {};
      }
      return "no train " + std::to_string(step.Number) + " is waiting";
    }
    case ScenarioAction::Answer:
      if (SetAnswer) SetAnswer(step.Answer);
      return {};
    case ScenarioAction::Save: {
      if (!Save) return "saving is not available here";
      return Save(step.File);
    }
    case ScenarioAction::Auto: {
      const std::size_t count = area.Puts.size();
      if (sim.State.AutoLPs.size() < count) sim.State.AutoLPs.resize(count, false);
      for (std::size_t lp = 0; lp < count; ++lp)
        if (step.Lp < 0 || static_cast<int>(lp) == step.Lp) sim.State.AutoLPs[lp] = step.Answer;
      if (AutoChanged) AutoChanged();
      return {};
    }
    case ScenarioAction::Hold: {
      // A later hold of the same train replaces the earlier one.
      std::erase_if(sim.AutoHolds, [&](const AutoHold& h) {
        return h.Number == step.Number || !(sim.State.ClockTime < h.Until);
      });
      sim.AutoHolds.push_back({step.Number, due + step.For});
      return {};
    }
    case ScenarioAction::Scale:
      if (SetScale) SetScale(step.Level);
      return {};
    case ScenarioAction::Fault:
      return PlayFaultOrder(sim, step.Fault, due);
  }
  return {};
}

}  // namespace traklin
