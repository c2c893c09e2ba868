// The one place a run is carried out: the plan walked in writing order,
// each file handed to its writer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zones/shared_state.h"
#include "zones/zone_plan.h"

// The serial that each file of the run's names holds, where it holds a zone
// the tool wrote.
struct WrittenSerials {
  std::vector<std::pair<std::string_view, std::uint32_t>> found;
  std::optional<std::uint32_t> Of(std::string_view file) const;
};
WrittenSerials FindWrittenSerials(const RunPlan& plan);

// The error line when the run would lower a serial that a secondary may
// hold: it would keep the old records.
std::optional<std::string> RefusedLowering(const ZoneInputs& inputs, const WrittenSerials& written);

void CarryOutPlan(const RunPlan& plan, const ZoneInputs& inputs, const WrittenSerials& written);
