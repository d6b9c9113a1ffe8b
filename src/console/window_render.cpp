// Console windows painted offscreen for pictures of a run.
#include "console/window_render.h"

#include <QApplication>
#include <QMenuBar>

#include "console/controller_window.h"
#include "console/main_window.h"
#include "trains/ui/picture_view.h"

namespace traklin {
namespace {

QImage Grab(QWidget& widget) {
  widget.show();
  QApplication::processEvents();
  QImage picture = widget.grab().toImage();
  widget.hide();
  return picture;
}

}  // namespace

QImage RenderWindow(Simulation& sim, const std::filesystem::path& districtDir, RenderedWindow which,
                    std::string& warning) {
  // The window reads the general preferences when it is made; the run's settings win.
  const TSettings settings = sim.Settings;
  ConsolePaths paths;
  paths.SettingsFile = districtDir / "no-settings" / "Traklin.ini";
  ConsoleServices* console = sim.Console;
  TfmControlPanel window(sim, std::nullopt, paths);
  sim.Settings = settings;
  if (!window.AttachRun(districtDir)) warning = "Error reading Pult.bmp";
  QImage picture;
  if (which == RenderedWindow::Panel) {
    // The whole panel, whatever the size of the screen.
    const QSize panel = window.sbPult->Picture.size();
    window.setMinimumSize(0, 0);
    window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window.resize(std::max(panel.width(), 200), panel.height() + window.pnHeader->height() +
                                                    window.menuBar()->sizeHint().height());
    // The whole panel shows, so no scroll bar belongs in the picture.
    window.sbPult->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    window.sbPult->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    window.show();
    QApplication::processEvents();
    // The menu bar's height is known only once it is laid out: grow by what the panel lacks.
    const QSize viewport = window.sbPult->viewport()->size();
    window.resize(window.size() + QSize(std::max(0, panel.width() - viewport.width()),
                                        std::max(0, panel.height() - viewport.height())));
    picture = Grab(window);
  } else {
    picture = Grab(*window.fmController);
  }
  sim.Console = console;
  return picture;
}

}  // namespace traklin
