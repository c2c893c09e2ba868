#include "zones/block_plan.h"

#include <string>

#include "output/console.h"
#include "zones/address.h"
#include "zones/hosts.h"
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

namespace {

// The parts of the ranges (in address order) that lie inside `within`.
std::vector<AddressRange> RangesWithin(const std::vector<AddressRange>& ranges, AddressRange within) {
  std::vector<AddressRange> inside;
  for (const AddressRange& r : ranges)
    if (r.last >= within.first && r.first <= within.last)
      inside.push_back({std::max(r.first, within.first), std::min(r.last, within.last)});
  return inside;
}

}  // namespace

void ProcessAddressBlock(const AddressBlock& block, OutputFile& forwardZone) {
  const AddressRange whole{ParseDottedQuad(block.FirstText), ParseDottedQuad(block.LastText)};
  const bool detailed = DetailClasses.find(block.ClassLetter) != std::string::npos;
  const std::vector<AddressRange> detail = detailed ? std::vector{whole} : RangesWithin(DetailRanges, whole);
  if (detailed) PrintLine(block.ProgressLine);
  ALines lines(block.Owner, PrivateDomain);
  for (const AddressRange& r : detail) WriteLineBlocks(forwardZone, lines, r.first, r.last, UpdateProgressTitle);
  for (const ZoneEntry& zone : block.ReverseZones) {
    const AddressRange range{ParseDottedQuad(zone.FirstText), ParseDottedQuad(zone.LastText)};
    const std::vector<AddressRange> inZone = RangesWithin(detail, range);
    const bool named = !HostNamesWithin(range).empty();
    if (!named && inZone.size() == 1 && inZone[0].first == range.first && inZone[0].last == range.last)
      WriteDetailedReverseZone(zone.FileName, range.first, range.last);
    else if (!named && inZone.empty())
      WriteWildcardReverseZone(zone.FileName);
    else
      WritePartialReverseZone(zone.FileName, range, inZone);
  }
}

void WriteForwardZone() {
  PrintLine("Creating RFC1918.NAM");
  OutputFile forwardZone = OpenOutputFile(ForwardZone.FileName);
  WriteZoneHeader(forwardZone);
  for (const AddressBlock& block : BlockPlan) ProcessAddressBlock(block, forwardZone);
  // The hosts file's names in the private domain, beside the generic ones.
  std::string line;
  for (const HostName& h : Hosts.forward) {
    char address[AppendedQuadSpace];
    line.assign(Hosts.NameOf(h));
    line += " IN A ";
    line.append(address, AppendDottedQuad(address, h.address));
    WriteFileLine(forwardZone, line);
  }
  CloseOutputFile(forwardZone);
}

std::vector<std::string_view> OutputFileNames() {
  std::vector<std::string_view> names{BootIncludeName, ForwardZone.FileName};
  for (const AddressBlock& block : BlockPlan)
    for (const ZoneEntry& zone : block.ReverseZones) names.push_back(zone.FileName);
  return names;
}
