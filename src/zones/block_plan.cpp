#include "zones/block_plan.h"

#include <string>

#include "output/console.h"
#include "zones/address.h"
#include "zones/shared_state.h"
#include "zones/progress.h"
#include "zones/zone_file.h"

namespace {

// A block spans its reverse zones.
constexpr AddressBlock Block(char letter, std::string_view progressLine, OwnerForm owner) {
  const std::span<const ZoneEntry> zones = ReverseZonesOfClass(letter);
  return {letter, progressLine, zones.front().FirstText, zones.back().LastText, owner, zones};
}

}  // namespace

const std::array<AddressBlock, 3> BlockPlan = {{
    Block('C', " + Processing 192.168.0.0/16 block", OwnerForm::BareLabel),
    Block('B', " + Processing 172.16.0.0/12 block", OwnerForm::BareLabel),
    Block('A', " + Processing 10.0.0.0/8 block", OwnerForm::QualifiedLabel),
}};

void ProcessAddressBlock(const AddressBlock& block, OutputFile& forwardZone) {
  if (DetailClasses.find(block.ClassLetter) == std::string::npos) {
    for (const ZoneEntry& zone : block.ReverseZones) WriteWildcardReverseZone(zone.FileName);
    return;
  }
  PrintLine(block.ProgressLine);
  const Ipv4Value first = ParseDottedQuad(block.FirstText);
  const Ipv4Value last = ParseDottedQuad(block.LastText);
  ALines lines(block.Owner, PrivateDomain);
  WriteLineBlocks(forwardZone, lines, first, last, UpdateProgressTitle);
  for (const ZoneEntry& zone : block.ReverseZones)
    WriteDetailedReverseZone(zone.FileName, ParseDottedQuad(zone.FirstText), ParseDottedQuad(zone.LastText));
}

void WriteForwardZone() {
  PrintLine("Creating RFC1918.NAM");
  OutputFile forwardZone = OpenOutputFile(ForwardZone.FileName);
  WriteZoneHeader(forwardZone);
  for (const AddressBlock& block : BlockPlan) ProcessAddressBlock(block, forwardZone);
  CloseOutputFile(forwardZone);
}

std::vector<std::string_view> OutputFileNames() {
  std::vector<std::string_view> names{BootIncludeName, ForwardZone.FileName};
  for (const AddressBlock& block : BlockPlan)
    for (const ZoneEntry& zone : block.ReverseZones) names.push_back(zone.FileName);
  return names;
}
