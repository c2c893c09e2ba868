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

void WriteBootInclude(const ZoneInputs& inputs) {
  PrintLine("Creating BOOT.NAM include file (" + std::string(BootIncludeName) + ") to include in your BOOT.NAM file.");
  OutputFile file = OpenOutputFile(BootIncludeName);
  WriteFileLine(file, "; Reverse DNS for all RFC1918 private address blocks. (Makes Windows and Linux happy.)");
  WriteFileLine(file, "PRIMARY  " + inputs.PrivateDomain + " " + std::string(ForwardZone.FileName));
  for (const ZoneEntry& zone : ReverseZones) WriteFileLine(file, ReversePrimaryLine(zone));
  if (inputs.Ipv6) WriteFileLine(file, ReversePrimaryLine(UniqueLocalZone));
  CloseOutputFile(file);
}
