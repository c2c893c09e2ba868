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

void WriteBootInclude(OutputFile& file, const RunPlan& plan) {
  WriteFileLine(file, "; Reverse DNS for all RFC1918 private address blocks. (Makes Windows and Linux happy.)");
  for (const ZoneEntry& zone : plan.Zones) {
    // The forward zone's and the catalog's names are known at run time
    // only, and not aligned.
    const bool reverse = zone.Ipv6 || zone.First != zone.Last;
    WriteFileLine(file, reverse ? ReversePrimaryLine(zone)
                                : "PRIMARY  " + std::string(zone.ZoneName) + " " + std::string(zone.FileName));
  }
}
