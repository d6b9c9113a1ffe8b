// How the simulation reaches the user: the four console services.
#pragma once

#include <string>

namespace traklin {

/// Who gave the answer to a station's question.
enum class AnswerSource {
  Dispatcher,  ///< the human at the console, in the question's box
  Auto,        ///< the automatic dispatcher, for a station it works
  Runner,      ///< a headless run's standing answer (--answer, or a scenario's answer line)
  Scenario,    ///< a scenario's standing answer in the console
};

/// Implemented by the main window, by tests with scripted answers and by the headless runner.
/// Called synchronously from inside a simulation step. Texts are UTF-8.
class ConsoleServices {
 public:
  virtual ~ConsoleServices() = default;

  /// An incident or system message; an empty text only rings.
  virtual void NotifyDispatcher(const std::string& text) = 0;
  /// A duty officer's report with an OK button, after the LP's ring (negative: default ring).
  virtual void InformDispatcher(const std::string& caption, const std::string& text, int ring) = 0;
  /// A duty officer's question with OK and Cancel; true for OK.
  virtual bool AskDispatcher(const std::string& caption, const std::string& text, int ring) = 0;
  /// Saves the state to last.sav; true on success.
  virtual bool SaveLastState(bool reportFailure) = 0;

  /// A duty officer's question that the automatic dispatcher has already answered (`answer`,
  /// true for yes) in place of AskDispatcher: the user's side only learns of it, for its logs
  /// and journals. Nothing is asked, no box opens, nothing rings and the time scale stays.
  /// The default ignores it.
  virtual void StationAnswered(const std::string& /*caption*/, const std::string& /*text*/,
                               int /*ring*/, bool /*answer*/) {}
};

}  // namespace traklin
