// The main window's stations' journal: what the stations say and how their questions were
// answered, the window "Журнал станций", and the gridlocks the shift's detector finds.
#include "area/area_queries.h"
#include "console/journal_window.h"
#include "console/main_window.h"

namespace traklin {

void TfmControlPanel::JournalReport(const std::string& caption, const std::string& text) {
  journal_.AddReport(sim_.State.ClockTime, caption, text);
  fmJournal->Refresh();
}

void TfmControlPanel::JournalQuestion(const std::string& caption, const std::string& text,
                                      bool answer, AnswerSource by) {
  journal_.AddQuestion(sim_.State.ClockTime, caption, text, answer, by);
  fmJournal->Refresh();
}

void TfmControlPanel::StationAnswered(const std::string& caption, const std::string& text,
                                      int /*ring*/, bool answer) {
  JournalQuestion(caption, text, answer, AnswerSource::Auto);
}

bool TfmControlPanel::FromAutomatedStation(const std::string& caption) const {
  // The services name the station only by its duty officer.
  bool found = false;
  for (int lp = 0; lp < static_cast<int>(sim_.AreaData.Puts.size()); ++lp) {
    if (DSPName(sim_.AreaData, lp) != caption) continue;
    if (!Automatic(lp)) return false;
    found = true;
  }
  return found;
}

void TfmControlPanel::ShowJournal() {
  fmJournal->ShowJournal();
}

void TfmControlPanel::JournalRestart() {
  journal_.Clear();
  fmJournal->Rebuild();
}

void TfmControlPanel::ReportGridlock(const Gridlock& gridlock) {
  bool dispatchers = false;
  for (const int code : gridlock.Stations) {
    const int lp = FindLPIndex(sim_.AreaData, code);
    dispatchers = dispatchers || (lp >= 0 && !Automatic(lp));
  }
  // A gridlock does not clear by pressing OK, and a box would stop an automated district:
  // the journal names the trains, and only the dispatcher's own stations slow the clock.
  if (dispatchers) DropToNormal();
  if (sim_.Settings.MessageRings) PlayRing(-1);
  JournalReport(kGridlockCaption, GridlockText(sim_.AreaData, gridlock));
  fmJournal->ShowJournal();
}

}  // namespace traklin
