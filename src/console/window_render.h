// Pictures of the console's windows without a display: the main window with its panel, the
// controller window, as they would look at the moment a run has reached.
#pragma once

#include <QImage>
#include <filesystem>
#include <string>

#include "simulation/simulation.h"

namespace traklin {

enum class RenderedWindow { Panel, Desk };

/// Paints a console window for sim, whose district (from districtDir) has been read and
/// prepared and whose state has been run to the moment wanted. Needs a QApplication (the
/// offscreen platform will do). The main window is sized to show the whole panel. Settings
/// stay as sim has them. warning gets "Error reading Pult.bmp" when the panel had to be drawn
/// without its picture.
QImage RenderWindow(Simulation& sim, const std::filesystem::path& districtDir, RenderedWindow which,
                    std::string& warning);

}  // namespace traklin
