// BOOT.INC: the PRIMARY lines of all nineteen zones.
#pragma once

#include <string>

#include "zones/shared_state.h"
#include "zones/zone_table.h"

// Lines 3 to 20, one per reverse zone in network order: the file names
// aligned in one column.
std::string ReversePrimaryLine(const ZoneEntry& zone);

void WriteBootInclude(const ZoneInputs& inputs);
