#include "zones/zone_plan.h"

#include <algorithm>

ZonePlan PlanZone(const ZoneEntry& zone, const std::vector<AddressRange>& detail, const HostTable& hosts) {
  // IPv6 has no generic names: only the named addresses and the wildcards.
  if (zone.Ipv6) return {zone, hosts.names6.empty() ? ZoneKind::Wildcard : ZoneKind::Partial, {}, {}, hosts.names6};
  const AddressRange range{zone.First, zone.Last};
  ZonePlan plan{zone, ZoneKind::Partial, RangesWithin(detail, range), HostNamesWithin(hosts, range), {}};
  if (plan.Detail.size() == 1 && plan.Detail[0].first == zone.First && plan.Detail[0].last == zone.Last)
    plan.Kind = ZoneKind::Whole;
  else if (plan.Detail.empty() && plan.Names.empty())
    plan.Kind = ZoneKind::Wildcard;
  return plan;
}

std::string ConsoleLine(const ZonePlan& plan) {
  std::string line = "Creating " + std::string(plan.Zone.FileName);
  if (plan.Kind == ZoneKind::Whole)
    line += " (" + FormatDottedQuad(plan.Zone.First) + " - " + FormatDottedQuad(plan.Zone.Last) + ")";
  return line;
}

RunPlan PlanRun(const ZoneInputs& inputs) {
  RunPlan plan;
  plan.FileNames = {BootIncludeName, ForwardZone.FileName};
  for (const AddressBlock& block : BlockPlan) {
    const AddressRange whole = block.Range();
    BlockSteps steps{&block, false, RangesWithin(inputs.Detail, whole), {}};
    steps.Switched = std::any_of(inputs.Switched.begin(), inputs.Switched.end(), [&](const AddressRange& r) {
      return r.first == whole.first && r.last == whole.last;
    });
    for (const ZoneEntry& zone : block.Zones) {
      steps.Zones.push_back(PlanZone(zone, steps.Detail, inputs.Hosts));
      plan.FileNames.push_back(zone.FileName);
    }
    plan.Blocks.push_back(std::move(steps));
  }
  if (inputs.Ipv6) {
    plan.UniqueLocal = PlanZone(UniqueLocalZone, {}, inputs.Hosts);
    plan.FileNames.push_back(UniqueLocalZone.FileName);
  }
  return plan;
}
