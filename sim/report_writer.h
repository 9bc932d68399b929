// Leaves a model's report in the files its configuration names.
#pragma once

#include "sim/bus_model.h"

namespace sim {

// Writes the capture, then the stats; a file the configuration does not name is skipped.
void WriteReport(const BusModel& model);

}  // namespace sim
