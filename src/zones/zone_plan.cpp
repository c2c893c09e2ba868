#include "zones/zone_plan.h"

ZonePlan PlanZone(const ZoneEntry& zone, const std::vector<AddressRange>& detail, const HostTable& hosts) {
  // IPv6 has no generic names: only the named addresses and the wildcards.
  if (zone.Ipv6) return {zone, hosts.names6.empty() ? ZoneKind::Wildcard : ZoneKind::Partial, {}, {}, hosts.names6, {}};
  const AddressRange range{zone.First, zone.Last};
  ZonePlan plan{zone, ZoneKind::Partial, RangesWithin(detail, range), HostNamesWithin(hosts, range), {}, {}};
  std::vector<AddressRange> written(plan.Detail);
  for (const HostName& h : plan.Names) written.push_back({h.address, h.address});
  plan.Written = MergeRanges(std::move(written));
  if (plan.Written.size() == 1 && plan.Written[0].first == zone.First && plan.Written[0].last == zone.Last)
    plan.Kind = ZoneKind::Whole;
  else if (plan.Written.empty())
    plan.Kind = ZoneKind::Wildcard;
  return plan;
}

std::string ConsoleLine(const ZonePlan& plan) {
  std::string line = "Creating " + std::string(plan.Zone.FileName);
  if (plan.Kind == ZoneKind::Whole)
    line += " (" + FormatDottedQuad(plan.Zone.First) + " - " + FormatDottedQuad(plan.Zone.Last) + ")";
  return line;
}

std::vector<std::string_view> PlannedFileNames(const ZoneInputs& inputs) {
  std::vector<std::string_view> names = {BootIncludeName, ForwardZone.FileName};
  for (const AddressBlock& block : BlockPlan)
    for (const ZoneEntry& zone : block.Zones) names.push_back(zone.FileName);
  if (inputs.Ipv6) names.push_back(UniqueLocalZone.FileName);
  if (!inputs.Catalog.empty()) names.push_back(CatalogZone.FileName);
  return names;
}

RunPlan PlanRun(const ZoneInputs& inputs) {
  RunPlan plan;
  ZoneEntry forward = ForwardZone;
  forward.ZoneName = inputs.PrivateDomain;
  plan.Zones.push_back(forward);
  plan.Zones.insert(plan.Zones.end(), ReverseZones.begin(), ReverseZones.end());
  for (std::size_t b = 0; b < BlockPlan.size(); ++b) {
    const AddressBlock& block = BlockPlan[b];
    BlockSteps steps{&block, inputs.Switched[b], RangesWithin(inputs.Detail, block.Range()), {}};
    for (const ZoneEntry& zone : block.Zones) steps.Zones.push_back(PlanZone(zone, steps.Detail, inputs.Hosts));
    plan.Blocks.push_back(std::move(steps));
  }
  if (inputs.Ipv6) {
    plan.UniqueLocal = PlanZone(UniqueLocalZone, {}, inputs.Hosts);
    plan.Zones.push_back(UniqueLocalZone);
  }
  if (!inputs.Catalog.empty()) {
    ZoneEntry catalog = CatalogZone;
    catalog.ZoneName = inputs.Catalog;
    plan.Zones.push_back(catalog);
  }
  plan.FileNames = PlannedFileNames(inputs);
  return plan;
}
