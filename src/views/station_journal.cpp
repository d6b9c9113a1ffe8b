// The stations' journal: the duty officers' reports and questions as the journal window lists
// them, with their times and answers.
#include "views/station_journal.h"

#include <fmt/format.h>
#include <cassert>
#include <utility>

#include "area/area_queries.h"
#include "area/date_time.h"

namespace traklin {

StationJournal::StationJournal(std::size_t capacity) : capacity_(capacity) {
  assert(capacity > 0);
}

void StationJournal::AddReport(TDateTime time, const std::string& caption,
                               const std::string& text) {
  Add({.Time = time, .Caption = caption, .Text = text, .Kind = JournalKind::Report});
}

void StationJournal::AddQuestion(TDateTime time, const std::string& caption,
                                 const std::string& text, bool answer, AnswerSource by) {
  Add({.Time = time,
       .Caption = caption,
       .Text = text,
       .Kind = JournalKind::Question,
       .Answer = answer,
       .By = by});
}

void StationJournal::Add(JournalEntry entry) {
  if (entries_.size() >= capacity_) entries_.pop_front();
  entries_.push_back(std::move(entry));
  ++added_;
}

void StationJournal::Clear() {
  entries_.clear();
}

std::vector<std::string> StationJournal::Lines() const {
  std::vector<std::string> lines;
  lines.reserve(entries_.size());
  for (const JournalEntry& e : entries_) lines.push_back(JournalLine(e));
  return lines;
}

std::string FoldLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  bool pendingBreak = false;
  for (const char c : text) {
    if (c == '\r' || c == '\n') {
      while (!out.empty() && out.back() == ' ') out.pop_back();
      pendingBreak = true;
    } else if (pendingBreak && c == ' ') {
      // Spaces after a break fold into it.
    } else {
      if (pendingBreak && !out.empty()) out += ' ';
      pendingBreak = false;
      out += c;
    }
  }
  return out;
}

const char* AnswerSourceText(AnswerSource by) {
  switch (by) {
    case AnswerSource::Dispatcher:
      return "диспетчер";
    case AnswerSource::Auto:
      return "автомат";
    case AnswerSource::Runner:
      return "при запуске";
    case AnswerSource::Scenario:
      return "сценарий";
  }
  return "диспетчер";
}

std::string JournalLine(const JournalEntry& entry) {
  const TimeParts t = DecodeTime(entry.Time);
  std::string line = fmt::format("{:02}:{:02}:{:02}  ", t.Hour, t.Minute, t.Second);
  if (!entry.Caption.empty()) line += entry.Caption + ": ";
  line += FoldLineBreaks(entry.Text);
  if (entry.Kind == JournalKind::Question)
    line += fmt::format(" — {} ({})", entry.Answer ? "да" : "нет", AnswerSourceText(entry.By));
  return line;
}

std::string GridlockText(const TAreaData& area, const Gridlock& gridlock) {
  std::string trains;
  for (const int number : gridlock.Trains)
    trains += (trains.empty() ? "" : ", ") + std::to_string(number);
  std::string stations;
  for (const int code : gridlock.Stations) {
    const int lp = FindLPIndex(area, code);
    const std::string name = lp >= 0 ? LPName(area, lp) : std::string();
    stations += (stations.empty() ? "" : ", ") + (name.empty() ? std::to_string(code) : name);
  }
  std::string text = (gridlock.Trains.size() == 1 ? "Поезд № " : "Поезда № ") + trains +
                     (gridlock.Trains.size() == 1 ? " не может двинуться"
                                                  : " ждут друг друга и не могут двинуться");
  if (!stations.empty()) text += ": " + stations;
  return text;
}

}  // namespace traklin
