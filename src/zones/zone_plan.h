// The plan of a run, decided once from its inputs before any file is
// opened: for every zone, what it will hold. The writers carry it out and
// decide nothing again.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zones/address.h"
#include "zones/host_table.h"
#include "zones/shared_state.h"
#include "zones/zone_table.h"

// Whole: every address its own record. Wildcard: one record for all.
// Partial: some addresses their own, the others the wildcard's.
enum class ZoneKind { Whole, Wildcard, Partial };

struct ZonePlan {
  ZoneEntry Zone;
  ZoneKind Kind;
  std::vector<AddressRange> Detail;  // generic records: inside the zone, in address order
  std::span<const HostName> Names;   // the hosts file's, in address order
  std::span<const HostName6> Names6;  // the same, in the IPv6 zone
  // Every address with a record of its own, generic or named: merged, in
  // address order.
  std::vector<AddressRange> Written;
};
// A reverse zone: what it holds, from the generic ranges and the names in
// it (which the inputs keep). The console line says it.
ZonePlan PlanZone(const ZoneEntry& zone, const std::vector<AddressRange>& detail, const HostTable& hosts);
std::string ConsoleLine(const ZonePlan& plan);

struct BlockSteps {
  const AddressBlock* Block;
  bool Switched;                     // its progress line is said
  std::vector<AddressRange> Detail;  // its A records, in address order
  std::vector<ZonePlan> Zones;       // in the order they are written
};

struct RunPlan {
  std::vector<BlockSteps> Blocks;  // in the order they are written
  std::optional<ZonePlan> UniqueLocal;  // with --ipv6, written last
  // The zones as BOOT.INC lists them: the forward zone first (named after
  // the domain), the catalog last (named as given).
  std::vector<ZoneEntry> Zones;
  // Every file the run writes, in the order it writes them.
  std::vector<std::string_view> FileNames;
};
// The plan keeps views into the inputs: they outlive it.
RunPlan PlanRun(const ZoneInputs& inputs);
// Its FileNames, known before the outside files are read.
std::vector<std::string_view> PlannedFileNames(const ZoneInputs& inputs);
