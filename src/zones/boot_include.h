// BOOT.INC: a PRIMARY line for each zone of the run.
#pragma once

#include <string>

#include "output/output_file.h"

#include "zones/shared_state.h"
#include "zones/zone_plan.h"
#include "zones/zone_table.h"

// A reverse zone's line: the file names aligned in one column.
std::string ReversePrimaryLine(const ZoneEntry& zone);

// The plan's zones, in its order.
void WriteBootInclude(OutputFile& file, const RunPlan& plan);
