// The one place a run is carried out: the plan walked in writing order,
// each file handed to its writer.
#pragma once

#include "zones/shared_state.h"
#include "zones/zone_plan.h"

void CarryOutPlan(const RunPlan& plan, const ZoneInputs& inputs);
