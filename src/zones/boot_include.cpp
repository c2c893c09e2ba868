#include "zones/boot_include.h"

#include <string>

#include "output/console.h"
#include "output/output_file.h"
#include "zones/shared_state.h"
#include "zones/zone_table.h"

std::string ReversePrimaryLine(const ZoneEntry& zone) {
  std::string line = "PRIMARY  " + std::string(zone.ZoneName);
  line.resize(9 + BootZoneColumn, ' ');
  return line + std::string(zone.FileName);
}

void WriteBootInclude(const RunPlan& plan, const ZoneInputs& inputs) {
  PrintLine("Creating BOOT.NAM include file (" + std::string(BootIncludeName) + ") to include in your BOOT.NAM file.");
  OutputFile file = OpenOutputFile(BootIncludeName);
  WriteFileLine(file, "; Reverse DNS for all RFC1918 private address blocks. (Makes Windows and Linux happy.)");
  for (const ZoneEntry* zone : plan.Zones) {
    // The forward zone's name is known at run time only, and not aligned.
    WriteFileLine(file, zone == &ForwardZone ? "PRIMARY  " + inputs.PrivateDomain + " " + std::string(zone->FileName)
                                             : ReversePrimaryLine(*zone));
  }
  CloseOutputFile(file);
}
