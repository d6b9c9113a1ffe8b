// traklin: the dispatcher console.
#include <QApplication>
#include <QTimer>
#include <optional>
#include <string>

#include "console/control_panel.h"
#include "simulation/simulation.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Traklin"));

  // Paths stay relative to the working directory: ../district, ../sound, ../config.
  std::optional<std::string> districtArgument;
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) districtArgument = arguments[1].toStdString();

  traklin::Simulation simulation;
  traklin::TfmControlPanel window(simulation, districtArgument);
  window.show();
  QTimer::singleShot(0, &window, &traklin::TfmControlPanel::StartSimulation);
  const int rc = QApplication::exec();
  return rc != 0 ? rc : window.ExitCode();
}
