// The catalog zone (RFC 9432, version 2): every other zone of the run as a
// member, so that a secondary given the catalog alone serves them all and
// follows the run as zones come and go.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "output/output_file.h"
#include "zones/shared_state.h"
#include "zones/zone_plan.h"

// A member's ID: the same for the same zone in every run, another for
// another zone.
std::string CatalogMemberId(std::string_view zoneName);

void WriteCatalogZone(OutputFile& file, const RunPlan& plan, const ZoneInputs& inputs, std::uint32_t serial);
