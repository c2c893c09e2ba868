// A hosts file (the format of /etc/hosts) read for the private blocks: the
// names that their addresses answer to, and the A records of the names in
// the private domain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

struct HostTable {
  std::string text;               // the names, one after another
  std::vector<HostName> names;    // in address order, one per address: its first entry's first name
  std::vector<HostName> forward;  // in the file's order, each pair once: names in the private domain
  std::size_t skipped = 0;        // entries for addresses outside the private blocks
  std::string_view NameOf(const HostName& h) const { return std::string_view(text).substr(h.at, h.size); }
};

struct HostsParse {
  std::optional<std::string> error;  // the error line
  HostTable table;
};
HostsParse ParseHosts(std::string_view text, std::string_view fileName, std::string_view domain);

// The names of the table whose addresses lie in the range.
std::span<const HostName> HostNamesWithin(const HostTable& hosts, AddressRange range);

