// traklin: the dispatcher console.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLocale>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>

#include "console/main_window.h"
#include "console/qt_translations.h"
#include "simulation/simulation.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Traklin"));
  // Dates, numbers and the dialogs' own texts in Russian.
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  if (traklin::InstallQtTranslations(app) == nullptr)
    std::fprintf(stderr, "traklin: %s not found: Qt's buttons and dialogs stay English\n",
                 qPrintable(traklin::QtTranslationFile()));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Traklin: the train dispatcher's workplace."));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("N"),
                               QStringLiteral("The district number (../district/N); without it "
                                              "the only district, or a choice among several."));
  const QCommandLineOption rateLog(
      QStringLiteral("rate-log"),
      QStringLiteral("Print on standard error, once per real second, how many simulated seconds "
                     "passed."));
  parser.addOption(rateLog);
  const QCommandLineOption script(
      QStringLiteral("script"),
      QStringLiteral("Play an instructor scenario from the start: timed lines \"HH:MM[:SS] action "
                     "arguments\" (see README); a bad line is shown and the console starts "
                     "without it."),
      QStringLiteral("FILE"));
  parser.addOption(script);
  parser.process(app);

  // Paths stay relative to the working directory: ../district, ../sound, ../config.
  std::optional<std::string> districtArgument;
  const QStringList positional = parser.positionalArguments();
  if (!positional.isEmpty()) districtArgument = positional.front().toStdString();

  traklin::Simulation simulation;
  traklin::TfmControlPanel window(simulation, districtArgument);
  if (parser.isSet(script)) window.ScriptFile = parser.value(script).toStdString();

  QTimer rateTimer;
  QElapsedTimer real;
  traklin::TDateTime lastClock = 0;
  if (parser.isSet(rateLog)) {
    rateTimer.setInterval(1000);
    QObject::connect(&rateTimer, &QTimer::timeout, [&] {
      const double seconds = real.restart() / 1000.0;
      const traklin::TDateTime clock = simulation.State.ClockTime;
      if (window.Started() && lastClock != 0) {
        const double simulated = (clock - lastClock) * 86400.0;
        std::fprintf(stderr, "rate-log: %.1f simulated s in %.3f s (x%.1f at level %d)\n",
                     simulated, seconds, seconds > 0 ? simulated / seconds : 0.0,
                     simulation.TimeScaleLevel);
      }
      lastClock = window.Started() ? clock : 0;
    });
    real.start();
    rateTimer.start();
  }

  window.show();
  QTimer::singleShot(0, &window, &traklin::TfmControlPanel::StartSimulation);
  const int rc = QApplication::exec();
  return rc != 0 ? rc : window.ExitCode();
}
