#include "zones/forward_zone.h"

#include <string>

#include "output/console.h"
#include "zones/progress.h"
#include "zones/zone_file.h"

void WriteBlockARecords(OutputFile& forwardZone, const BlockSteps& steps, const ZoneInputs& inputs) {
  ALines lines(steps.Block->Owner, inputs.PrivateDomain);
  for (const AddressRange& r : steps.Detail) WriteLineBlocks(forwardZone, lines, r.first, r.last, UpdateProgressTitle);
}

void WriteNamedRecords(OutputFile& forwardZone, const ZoneInputs& inputs) {
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
  for (const std::string& record : inputs.Records) WriteFileLine(forwardZone, record);
}
