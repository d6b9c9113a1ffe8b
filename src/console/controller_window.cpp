// The controller window "Пульт диспетчера": the dispatcher's push-button desk.
#include "console/controller_window.h"

namespace traklin {

TfmController::TfmController(Simulation& sim, QWidget* parent) : QWidget(parent), sim_(sim) {
  setWindowTitle(QStringLiteral("Пульт диспетчера"));
}

TfmController::~TfmController() = default;

void TfmController::Setup() {}
void TfmController::SelectStation(int lp, bool) { selected_ = lp; }
int TfmController::SelectedStation() const { return selected_; }
void TfmController::Tick() {}
void TfmController::KeyRoutePress(bool, int, int) {}
void TfmController::ResetRouteInput() {}
void TfmController::ToggleCommit(int) {}
void TfmController::ReleaseMode() {}

}  // namespace traklin
