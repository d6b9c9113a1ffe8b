// Station automation and throat tasks: what duty officers do on their own and on order.
#include "trains/throat_automation.h"

namespace traklin {

void ThroatAutomation(SimulationData&) {}
void ExecuteThroatTasks(SimulationData&) {}

}  // namespace traklin
