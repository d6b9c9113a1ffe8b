// The stations' journal: the duty officers' reports and questions as the journal window lists
// them, with their times and answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "area/area_data.h"
#include "dispatch/gridlock.h"
#include "state/console_services.h"

namespace traklin {

enum class JournalKind {
  Report,   ///< a duty officer's report (InformDispatcher)
  Question  ///< a duty officer's question and its answer (AskDispatcher, StationAnswered)
};

/// One thing a station said.
struct JournalEntry {
  TDateTime Time = 0;   ///< the simulated clock when it was said
  std::string Caption;  ///< "ДСП " and the LP's name, as the box's caption; empty for the
                        ///< system's own messages (NotifyDispatcher)
  std::string Text;     ///< as the station said it, line breaks kept
  JournalKind Kind = JournalKind::Report;
  bool Answer = false;                         ///< a question's answer, true for yes
  AnswerSource By = AnswerSource::Dispatcher;  ///< who answered a question

  bool operator==(const JournalEntry&) const = default;
};

/// What the window "Журнал станций" lists: the stations' reports and questions, oldest first,
/// newest last. It keeps the last Capacity() entries; an entry added beyond them pushes the
/// oldest out.
class StationJournal {
 public:
  /// The entries a journal keeps unless told otherwise: about a busy day of a long line.
  static constexpr std::size_t kDefaultCapacity = 1000;

  /// capacity must be above 0.
  explicit StationJournal(std::size_t capacity = kDefaultCapacity);

  void AddReport(TDateTime time, const std::string& caption, const std::string& text);
  void AddQuestion(TDateTime time, const std::string& caption, const std::string& text, bool answer,
                   AnswerSource by);
  /// Forgets every entry (a reload starts a new journal); Added() goes on counting.
  void Clear();

  const std::deque<JournalEntry>& Entries() const { return entries_; }
  std::size_t Capacity() const { return capacity_; }
  /// Entries added since the journal was made, those pushed out included: a window that has
  /// shown the journal when this was n has min(Added() - n, Entries().size()) new lines at the
  /// end to show.
  std::uint64_t Added() const { return added_; }
  /// The window's lines (JournalLine), oldest first.
  std::vector<std::string> Lines() const;

 private:
  void Add(JournalEntry entry);

  std::size_t capacity_;
  std::deque<JournalEntry> entries_;
  std::uint64_t added_ = 0;
};

/// A station's text on one line: each run of line breaks, with the spaces around it, becomes
/// one space; line breaks at either end go.
std::string FoldLineBreaks(const std::string& text);
/// Who answered, as the journal says it: "диспетчер", "автомат", "при запуске", "сценарий".
const char* AnswerSourceText(AnswerSource by);
/// One line of the journal window: the time of day "HH:MM:SS", two spaces, the caption and
/// ": " (nothing without a caption), the folded text; a question adds " — да" or " — нет" and
/// who answered in brackets:
///   "09:17:42  ДСП Сосновка: Принять поезд № 2001 на I путь? — да (автомат)"
std::string JournalLine(const JournalEntry& entry);

/// The caption of a gridlock's entry in the journal.
inline constexpr char kGridlockCaption[] = "Затор";
/// A gridlock as the journal reports it: the trains that wait for each other and where they
/// stand, by the LPs' names (an LP code the district does not know is given as a number):
///   "Поезда № 2001, 2002 ждут друг друга и не могут двинуться: Ключевая, Сосновка"
std::string GridlockText(const TAreaData& area, const Gridlock& gridlock);

}  // namespace traklin
