// Instructor scenarios: the reader checks every line against the district before a run starts;
// the player does each line through the dispatcher's own operations.
#include "dispatch/scenario.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <numeric>
#include <optional>
#include <sstream>
#include <tuple>
#include <utility>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "dispatch/operations.h"
#include "dispatch/shift_file.h"
#include "settings/ini_file.h"
#include "trains/op_task.h"

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

/// "HH:MM:SS.s" as tenths of the day.
std::optional<int> TenthOfDay(const std::string& text) {
  const std::size_t dot = text.find('.');
  if (dot == std::string::npos || dot + 2 != text.size()) return std::nullopt;
  const char tenth = text[dot + 1];
  const std::string whole = text.substr(0, dot);
  if (tenth < '0' || tenth > '9' || std::count(whole.begin(), whole.end(), ':') != 2)
    return std::nullopt;
  const auto second = SecondOfDay(whole);
  if (!second) return std::nullopt;
  return *second * 10 + (tenth - '0');
}

/// "YYYY-MM-DD" as a TDateTime day.
std::optional<int> DayOfDate(const std::string& text) {
  if (text.size() != 10) return std::nullopt;
  const auto t = ParseEventTime(text + " 00:00:00.0");
  if (!t) return std::nullopt;
  return static_cast<int>(*t);
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
  /// The desk's four buttons from argument k on, as column, row, column, row.
  std::array<int, 4> Buttons(std::size_t k) const {
    return {Int(k, "column"), Int(k + 1, "row"), Int(k + 2, "column"), Int(k + 3, "row")};
  }
  /// The LP of argument k, checked to be worked from the desk.
  int DeskLp(std::size_t k) const {
    const int lp = Lp(k);
    // The desk orders routes only at stations without a duty officer.
    if (lp >= area_.StationCount || lp >= static_cast<int>(area_.Stanzs.size()) ||
        area_.Stanzs[lp].Value2 >= 1)
      Fail("LP " + Arg(k) + " is not worked from the desk");
    return lp;
  }
  /// Every word from the action on, single-spaced.
  std::string Text(std::size_t from) const {
    std::string text;
    for (std::size_t k = from; k < words_.size(); ++k) text += (k > from ? " " : "") + words_[k];
    return text;
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

ScenarioStep ParseLine(const TAreaData& area, int line, std::vector<std::string> words) {
  ScenarioStep step;
  step.Line = line;
  // A date may come before the time; the reader then sees the words from the time on.
  if (const auto day = DayOfDate(words[0]); day && words.size() > 1) {
    step.Day = *day;
    words.erase(words.begin());
  }
  LineReader r(area, line, words);
  if (const auto tenth = TenthOfDay(words[0])) {
    step.Stamped = true;
    step.TenthOfDay = *tenth;
  } else if (const auto second = SecondOfDay(words[0])) {
    step.TenthOfDay = *second * 10;
  } else {
    r.Fail("not a time [YYYY-MM-DD] HH:MM[:SS[.s]]: " + words[0]);
  }
  step.SecondOfDay = step.TenthOfDay / 10;
  if (words.size() < 2) r.Fail("no action");
  step.Text = r.Text(1);
  const std::string& action = words[1];
  if (action == "route" || action == "cancel" || action == "invert") {
    step.Action = action == "route"    ? ScenarioAction::Route
                  : action == "cancel" ? ScenarioAction::Cancel
                                       : ScenarioAction::Invert;
    r.Count(5, 5);
    step.Lp = r.DeskLp(0);
    const auto [c1, r1, c2, r2] = r.Buttons(1);
    step.Route = FindRoute(area, step.Lp, c1, r1, c2, r2);
    if (step.Route < 0)
      r.Fail(fmt::format("no route from {} {} to {} {} at LP {}", c1, r1, c2, r2, r.Arg(0)));
  } else if (action == "through" || action == "cancelthrough" || action == "invertthrough") {
    step.Action = ScenarioAction::Through;
    step.Mode = action == "through" ? 0 : action == "cancelthrough" ? 1 : 2;
    r.Count(5, 5);
    step.Lp = r.DeskLp(0);
    const auto [c1, r1, c2, r2] = r.Buttons(1);
    const auto routes = ThroughRoutes(area, step.Lp, c1, r1, c2, r2);
    if (!routes)
      r.Fail(
          fmt::format("no through passage from {} {} to {} {} at LP {}", c1, r1, c2, r2, r.Arg(0)));
    std::tie(step.Route, step.Route2) = *routes;
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
    r.Count(4, 5);
    step.Lp = r.Lp(0);
    if (!StationTakesTasks(area, step.Lp)) r.Fail("LP " + r.Arg(0) + " takes no tasks");
    const std::string& kind = r.Arg(1);
    if (kind != "receive" && kind != "send" && kind != "transit")
      r.Fail("expected receive, send or transit: " + kind);
    step.Send = kind != "receive";
    step.Transit = kind == "transit";
    const TaskThroatSlots slots = ThroatSlotsOf(area, step.Lp);
    bool inletGiven = false;
    if (step.Transit) {
      // A transit names the side it leaves by and the dialog's inlet button.
      const std::string& w = r.Arg(2);
      const std::size_t colon = w.find(':');
      const std::string side = w.substr(0, colon);
      if (side != "even" && side != "odd")
        r.Fail("throat must be even or odd (with :N for the inlet): " + w);
      step.Dir = side == "even" ? 0 : 1;
      if (colon != std::string::npos) {
        const std::string n = w.substr(colon + 1);
        if (n.size() != 1 || n[0] < '0' || n[0] > '3') r.Fail("inlet must be 0 to 3: " + w);
        step.ThroatNumber = n[0] - '0';
        inletGiven = true;
      }
    } else {
      std::tie(step.Dir, step.ThroatNumber) = r.Throat(2);
    }
    step.Track = r.Track(3, step.Lp);
    if (words.size() == 7) {
      if (r.Arg(4) != "dialog") r.Fail("expected dialog after the track: " + r.Arg(4));
      step.Dialog = true;
    }
    if (step.Transit) {
      int deed = 0;
      while (!(kTaskDeeds[deed].Transit() && kTaskDeeds[deed].Side == step.Dir)) ++deed;
      if (!TaskDeedEnabled(slots, kTaskDeeds[deed]))
        r.Fail("no such throat at LP " + r.Arg(0) + ": " + r.Arg(1) + " " + r.Arg(2));
      const std::size_t inlets = TaskDeedInlets(area, slots, kTaskDeeds[deed]).size();
      if (inletGiven && step.ThroatNumber >= static_cast<int>(std::max<std::size_t>(inlets, 1)))
        r.Fail(fmt::format("no inlet {} at LP {} for a transit {}", step.ThroatNumber, r.Arg(0),
                           r.Arg(2)));
    } else if (slots.At(step.Dir, step.Send ? 1 : 0, step.ThroatNumber) < 0) {
      r.Fail("no such throat at LP " + r.Arg(0) + ": " + r.Arg(1) + " " + r.Arg(2));
    }
  } else if (action == "canceltask") {
    step.Action = ScenarioAction::CancelTask;
    r.Count(1, 2);
    step.Lp = r.Lp(0);
    const TaskThroatSlots slots = ThroatSlotsOf(area, step.Lp);
    if (words.size() == 3) {
      // Every task of the station, as the dialog's cancel button.
      step.Dir = -1;
      if (std::all_of(slots.Throats.begin(), slots.Throats.end(), [](int g) { return g < 0; }))
        r.Fail("LP " + r.Arg(0) + " has no throats for tasks");
    } else {
      std::tie(step.Dir, step.ThroatNumber) = r.Throat(1);
      if (slots.At(step.Dir, 0, step.ThroatNumber) < 0 &&
          slots.At(step.Dir, 1, step.ThroatNumber) < 0)
        r.Fail("no such throat at LP " + r.Arg(0) + ": " + r.Arg(1));
    }
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
  } else if (action == "reply") {
    step.Action = ScenarioAction::Reply;
    r.Count(1, 1);
    step.Answer = r.Choice(0, "no", "yes") == 1;
  } else if (action == "savelast") {
    step.Action = ScenarioAction::SaveLast;
    r.Count(0, 0);
  } else if (action == "set") {
    step.Action = ScenarioAction::Set;
    r.Count(1, 1);
    const std::string& w = r.Arg(0);
    const std::size_t eq = w.find('=');
    if (eq == std::string::npos) r.Fail("expected SECTION/KEY=VALUE: " + w);
    step.File = w.substr(0, eq);
    step.Value = w.substr(eq + 1);
    // Checked against the keys this district's settings have.
    TSettings scratch;
    ReadDistrictSettings(IniFile{}, area, scratch);
    const std::string reason = ApplySetting(scratch, area, step.File, step.Value);
    if (!reason.empty()) r.Fail(reason);
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
    step.File = r.Arg(1);
  } else if (action == "scale") {
    step.Action = ScenarioAction::Scale;
    r.Count(1, 1);
    step.Level = r.Int(0, "time-scale level");
    if (step.Level < 0 || step.Level > 9) r.Fail("time-scale level must be 0 to 9: " + r.Arg(0));
  } else {
    r.Fail("unknown action: " + action);
  }
  return step;
}

}  // namespace

std::vector<ScenarioStep> ParseScenario(const std::string& text, const TAreaData& area) {
  std::vector<ScenarioStep> steps;
  ShiftHeader header;  // checked, and otherwise left to the shift's reader
  std::istringstream in(text);
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    const std::vector<std::string> w = ScenarioWords(raw);
    if (w.empty()) continue;
    if (IsShiftDirective(w[0])) {
      ParseShiftDirective(w, line, header);
      continue;
    }
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

ScenarioPlayer::ScenarioPlayer(std::vector<ScenarioStep> steps, TDateTime start) {
  // In tenths of a second. Whole seconds at the start, so that a step at the start's own
  // second is due at once.
  Tenths previous = std::llround(start * 86400.0) * 10;
  std::vector<Tenths> due;
  for (const ScenarioStep& s : steps) {
    // A stamped operation is due at the start of the step after its stamp; a reply, and a
    // line in whole seconds, at the start of the step whose clock is its time.
    const Tenths ofDay = s.TenthOfDay + (s.Stamped && s.Action != ScenarioAction::Reply ? 5 : 0);
    Tenths t = 0;
    if (s.Day) {
      t = Tenths{*s.Day} * kTenthsPerDay + ofDay;
    } else {
      const Tenths day =
          previous >= 0 ? previous / kTenthsPerDay : -1 - (-previous - 1) / kTenthsPerDay;
      t = day * kTenthsPerDay + ofDay;
      if (t < previous - 5) t += kTenthsPerDay;
    }
    due.push_back(t);
    previous = t;
  }
  // A reply written after the operation of the same stamp still answers that step's question.
  std::vector<std::size_t> order(steps.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&due](std::size_t a, std::size_t b) { return due[a] < due[b]; });
  for (const std::size_t k : order) {
    steps_.push_back(std::move(steps[k]));
    due_.push_back(TimeOfTenths(due[k]));
  }
}

void ScenarioPlayer::PlayDue(DispatchData& sim, TDateTime until) {
  // Half a millisecond of slack: the clock is a sum of half seconds.
  const TDateTime slack = 0.0005 / 86400.0;
  for (; !replies_.empty(); replies_.pop_front())
    if (Refused) Refused(replies_.front().first, "no question was asked in its step");
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
    if (step.Action == ScenarioAction::Reply) {
      // A reply is told when the question it answers is asked, not when it is read.
      if (due < until - slack) {
        if (Refused) Refused(step.Line, "its step has passed");
      } else {
        replies_.emplace_back(step.Line, step.Answer);
      }
      continue;
    }
    // The line is told as written; the operations it does are not told again.
    auto told = std::exchange(sim.OnOperation, nullptr);
    std::string reason;
    try {
      reason = Play(sim, step, due);
    } catch (...) {
      sim.OnOperation = std::move(told);
      throw;
    }
    sim.OnOperation = std::move(told);
    if (sim.OnOperation) sim.OnOperation(step.Text, reason.empty() ? "" : "not done: " + reason);
    if (step.Action == ScenarioAction::Answer) answerUntil_ = step.For > 0 ? due + step.For : 0;
    if (!reason.empty() && Refused) Refused(step.Line, reason);
  }
}

std::optional<bool> ScenarioPlayer::TakeReply() {
  if (replies_.empty()) return std::nullopt;
  const bool answer = replies_.front().second;
  replies_.pop_front();
  return answer;
}

std::string ScenarioPlayer::Play(DispatchData& sim, const ScenarioStep& step, TDateTime due) {
  switch (step.Action) {
    case ScenarioAction::Route:
      return OperateRoute(sim, step.Lp, step.Route, RouteMode::Order);
    case ScenarioAction::Cancel:
      return OperateRoute(sim, step.Lp, step.Route, RouteMode::Cancel);
    case ScenarioAction::Invert:
      return OperateRoute(sim, step.Lp, step.Route, RouteMode::Invert);
    case ScenarioAction::Through:
      return OperateThrough(sim, step.Lp, step.Route, step.Route2,
                            step.Mode == 0   ? RouteMode::Order
                            : step.Mode == 1 ? RouteMode::Cancel
                                             : RouteMode::Invert);
    case ScenarioAction::Commit:
      return OperateCommit(sim, step.Lp, step.Dir, step.Give);
    case ScenarioAction::Task: {
      int deed = 0;
      while (deed < static_cast<int>(kTaskDeeds.size()) &&
             !(kTaskDeeds[deed].Transit() == step.Transit && kTaskDeeds[deed].Sends == step.Send &&
               kTaskDeeds[deed].Side == step.Dir))
        ++deed;
      return OperateTask(sim, step.Lp, deed, step.Track, step.ThroatNumber, step.Dialog);
    }
    case ScenarioAction::CancelTask:
      return OperateCancelTask(sim, step.Lp, step.Dir, step.ThroatNumber);
    case ScenarioAction::Put:
      return OperatePut(sim, step.Number, step.Lp, step.Track);
    case ScenarioAction::Answer:
      if (SetAnswer) SetAnswer(step.Answer);
      return {};
    case ScenarioAction::Save: {
      if (!Save) return "saving is not available here";
      return Save(step.File);
    }
    case ScenarioAction::SaveLast:
      if (!SaveLast) return "saving is not available here";
      SaveLast();
      return {};
    case ScenarioAction::Auto: {
      const std::string reason = OperateAuto(sim, step.Lp, step.Answer);
      if (AutoChanged) AutoChanged();
      return reason;
    }
    case ScenarioAction::Hold:
      return OperateHold(sim, step.Number, step.File, due);
    case ScenarioAction::Set:
      return OperateSetting(sim, step.File, step.Value);
    case ScenarioAction::Scale:
      if (SetScale) SetScale(step.Level);
      return {};
    case ScenarioAction::Reply:
      break;
  }
  return {};
}

}  // namespace traklin
