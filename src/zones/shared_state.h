// What every zone of a run is made from: the fixed texts, and the inputs
// that the command line decides, passed down as one value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zones/address.h"
#include "zones/host_table.h"
#include "zones/zone_table.h"

inline constexpr std::string_view BannerText = "Talvenor Zonquist ";
inline constexpr int BuildStamp = 20070118;  // always shown as its eight digits
inline constexpr std::string_view BootIncludeName = "BOOT.INC";

// The longest private domain, its final dot included: with
// "private.ip-address." before it, a name of 255 octets. The zone line
// pieces are sized from it.
inline constexpr std::size_t MaxDomainLength = 235;

struct ZoneInputs {
  std::string PrivateDomain;  // lower case, ends in "."
  std::uint32_t Serial = 1;   // every zone's SOA serial; with SerialNext, a new zone's
  // Each zone one above the serial its file holds, and a file whose records
  // are unchanged left as it is.
  bool SerialNext = false;
  std::int64_t Ttl = -1;      // of every record; -1: none given, no $TTL line
  // Every address that gets its generic records: merged, in address order.
  std::vector<AddressRange> Detail;
  // The blocks detailed whole by a switch (or by none), in BlockPlan's
  // order: each says so.
  std::array<bool, BlockPlan.size()> Switched{};
  HostTable Hosts;
  bool Ipv6 = false;  // rfd.rev and the AAAA records are written
  std::string Catalog;  // the catalog zone's name, or empty for none
  // The administrator's own records, checked, as the forward zone's lines.
  std::vector<std::string> Records;
};
