#include "zones/forward_zone.h"

#include <string>

#include "output/console.h"
#include "zones/progress.h"
#include "zones/zone_file.h"

void ProcessAddressBlock(const BlockSteps& steps, const ZoneInputs& inputs, OutputFile& forwardZone) {
  if (steps.Switched) PrintLine(" + Processing " + PrefixText(*steps.Block) + " block");
  ALines lines(steps.Block->Owner, inputs.PrivateDomain);
  for (const AddressRange& r : steps.Detail) WriteLineBlocks(forwardZone, lines, r.first, r.last, UpdateProgressTitle);
  for (const ZonePlan& zone : steps.Zones) WriteReverseZone(zone, inputs);
}

void WriteForwardZone(const RunPlan& plan, const ZoneInputs& inputs) {
  PrintLine("Creating RFC1918.NAM");
  OutputFile forwardZone = OpenOutputFile(ForwardZone.FileName);
  WriteZoneHeader(forwardZone, inputs);
  for (const BlockSteps& steps : plan.Blocks) ProcessAddressBlock(steps, inputs, forwardZone);
  if (plan.UniqueLocal) WriteReverseZone(*plan.UniqueLocal, inputs);
  // The hosts file's names in the private domain, beside the generic ones.
  std::string line;
  for (const HostName& h : inputs.Hosts.forward) {
    char address[AppendedQuadSpace];
    line.assign(inputs.Hosts.NameOf(h));
    line += " IN A ";
    line.append(address, AppendDottedQuad(address, h.address));
    WriteFileLine(forwardZone, line);
  }
  for (const HostName6& h : inputs.Hosts.forward6) {
    line.assign(inputs.Hosts.NameOf(h));
    line += " IN AAAA ";
    line += FormatIpv6(h.address);
    WriteFileLine(forwardZone, line);
  }
  // The administrator's own records, read by the server at each load.
  for (const std::string& path : inputs.Records) WriteFileLine(forwardZone, "$INCLUDE " + path);
  CloseOutputFile(forwardZone);
}
