#include "cli/carry_out.h"

#include "output/console.h"
#include "output/output_file.h"
#include "zones/boot_include.h"
#include "zones/forward_zone.h"
#include "zones/zone_file.h"

void CarryOutPlan(const RunPlan& plan, const ZoneInputs& inputs) {
  WriteBootInclude(plan, inputs);
  // Open for the whole run: an interruption empties it with the zone it
  // stopped in.
  OutputFile forwardZone = OpenForwardZone(inputs);
  for (const BlockSteps& steps : plan.Blocks) {
    if (steps.Switched) PrintLine(" + Processing " + PrefixText(*steps.Block) + " block");
    WriteBlockARecords(forwardZone, steps, inputs);
    for (const ZonePlan& zone : steps.Zones) WriteReverseZone(zone, inputs);
  }
  if (plan.UniqueLocal) WriteReverseZone(*plan.UniqueLocal, inputs);
  WriteNamedRecords(forwardZone, inputs);
  CloseOutputFile(forwardZone);
}
