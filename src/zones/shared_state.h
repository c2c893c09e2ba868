// The run's few shared values: set once by the command line, read by the
// zone writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zones/address.h"

inline constexpr std::string_view BannerText = "Talvenor Zonquist ";
inline constexpr int BuildStamp = 20070118;  // always shown as its eight digits

// The longest private domain, its final dot included: with
// "private.ip-address." before it, a name of 255 octets. The zone line
// pieces are sized from it.
inline constexpr std::size_t MaxDomainLength = 235;

extern std::string BootIncludeName;
extern std::string DetailClasses;
extern std::string PrivateDomain;  // lower case, ends in "."
// Every zone's SOA serial, and the TTL of every record (-1: none given, no
// $TTL line); set by the command line's options.
extern std::uint32_t ZoneSerial;
extern std::int64_t ZoneTtl;
// Prefixes detailed beside the blocks of DetailClasses: merged, in address
// order.
extern std::vector<AddressRange> DetailRanges;
