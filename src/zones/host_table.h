// The names of real hosts that the zones are written with: which address
// each private or unique local address answers to, and the A and AAAA
// records of the names in the private domain. The readers of outside files
// fill it; the plan and the writers only read it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zones/address.h"

// Names are kept once each in one text, so that a large hosts file costs
// little more than its names.
struct HostName {
  Ipv4Value address;
  std::uint32_t at;    // where the name stands in HostTable::text
  std::uint32_t size;  // fully qualified, with its final dot
};

// An IPv6 address's name, kept the same way.
struct HostName6 {
  Ipv6Value address;
  std::uint32_t at;
  std::uint32_t size;
};

struct HostTable {
  std::string text;             // the names, one after another
  std::vector<HostName> names;  // in the blocks, in address order, one per address: its first entry's first name
  std::vector<HostName> forward;  // in the files' order, each pair once: names in the private domain
  // With --ipv6: the names of fd00::/8, sorted, one per address; and the
  // names in the domain at IPv6 addresses, each pair once.
  std::vector<HostName6> names6;
  std::vector<HostName6> forward6;
  template <class Name>
  std::string_view NameOf(const Name& h) const { return std::string_view(text).substr(h.at, h.size); }
};

// The names of the table whose addresses lie in the range.
std::span<const HostName> HostNamesWithin(const HostTable& hosts, AddressRange range);
