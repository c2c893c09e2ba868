#include "zones/block_plan.h"

#include <string>

#include "output/console.h"
#include "zones/address.h"
#include "zones/shared_state.h"
#include "zones/zone_file.h"

namespace {

constexpr ReverseZoneEntry kClassCZones[] = {
    {"r192168.rev", "192.168.0.0", "192.168.255.255"},
};

constexpr ReverseZoneEntry kClassBZones[] = {
    {"r17216.rev", "172.16.0.0", "172.16.255.255"}, {"r17217.rev", "172.17.0.0", "172.17.255.255"},
    {"r17218.rev", "172.18.0.0", "172.18.255.255"}, {"r17219.rev", "172.19.0.0", "172.19.255.255"},
    {"r17220.rev", "172.20.0.0", "172.20.255.255"}, {"r17221.rev", "172.21.0.0", "172.21.255.255"},
    {"r17222.rev", "172.22.0.0", "172.22.255.255"}, {"r17223.rev", "172.23.0.0", "172.23.255.255"},
    {"r17224.rev", "172.24.0.0", "172.24.255.255"}, {"r17225.rev", "172.25.0.0", "172.25.255.255"},
    {"r17226.rev", "172.26.0.0", "172.26.255.255"}, {"r17227.rev", "172.27.0.0", "172.27.255.255"},
    {"r17228.rev", "172.28.0.0", "172.28.255.255"}, {"r17229.rev", "172.29.0.0", "172.29.255.255"},
    {"r17230.rev", "172.30.0.0", "172.30.255.255"}, {"r17231.rev", "172.31.0.0", "172.31.255.255"},
};

constexpr ReverseZoneEntry kClassAZones[] = {
    {"r10.rev", "10.0.0.0", "10.255.255.255"},
};

}  // namespace

const std::array<AddressBlock, 3> BlockPlan = {{
    {'C', " + Processing 192.168.0.0/16 block", "192.168.0.0", "192.168.255.255", OwnerForm::BareLabel,
     kClassCZones},
    {'B', " + Processing 172.16.0.0/12 block", "172.16.0.0", "172.31.255.255", OwnerForm::BareLabel,
     kClassBZones},
    {'A', " + Processing 10.0.0.0/8 block", "10.0.0.0", "10.255.255.255", OwnerForm::QualifiedLabel,
     kClassAZones},
}};

void ProcessAddressBlock(const AddressBlock& block, OutputFile& forwardZone) {
  if (DetailClasses.find(block.ClassLetter) == std::string::npos) {
    for (const ReverseZoneEntry& zone : block.ReverseZones) WriteWildcardReverseZone(zone.FileName);
    return;
  }
  PrintLine(block.ProgressLine);
  const Ipv4Value first = ParseDottedQuad(block.FirstText);
  const Ipv4Value last = ParseDottedQuad(block.LastText);
  ALines lines(block.Owner, PrivateDomain);
  WriteLineBlocks(forwardZone, lines, first, last, UpdateProgressTitle);
  for (const ReverseZoneEntry& zone : block.ReverseZones)
    WriteDetailedReverseZone(zone.FileName, ParseDottedQuad(zone.FirstText), ParseDottedQuad(zone.LastText));
}

void WriteForwardZone() {
  PrintLine("Creating RFC1918.NAM");
  OutputFile forwardZone = OpenOutputFile(ForwardZoneFile);
  WriteZoneHeader(forwardZone);
  for (const AddressBlock& block : BlockPlan) ProcessAddressBlock(block, forwardZone);
  CloseOutputFile(forwardZone);
}

std::vector<std::string_view> OutputFileNames() {
  std::vector<std::string_view> names{BootIncludeName, ForwardZoneFile};
  for (const AddressBlock& block : BlockPlan)
    for (const ReverseZoneEntry& zone : block.ReverseZones) names.push_back(zone.FileName);
  return names;
}
