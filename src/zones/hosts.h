// Hosts files (the format of /etc/hosts) read for the zones: the names that
// private addresses answer to, and the A records of the names in the
// private domain. What no line may do is refused with its line: give a name
// to an address that is not its own.
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

// An IPv6 address's name, kept the same way.
struct HostName6 {
  Ipv6Value address;
  std::uint32_t at;
  std::uint32_t size;
};

// Why an entry was left out; each has its words on the skip line.
enum SkipReason : unsigned {
  SkipLoopback = 1,      // 127.0.0.0/8, ::1
  SkipThisNetwork = 2,   // 0.0.0.0/8, ::, said as unspecified
  SkipLinkLocal = 4,     // 169.254.0.0/16, fe80::/10
  SkipMulticast = 8,     // and the reserved 240.0.0.0/4; ff00::/8
  SkipMapped = 16,       // ::ffff:0:0/96
  SkipOutside = 32,      // public, and no name in the domain
  SkipIpv6 = 64,         // every IPv6 entry, without --ipv6
};

// The entries of one file that were left out.
struct SkippedEntries {
  std::string file;
  std::size_t count = 0;
  unsigned reasons = 0;            // SkipReason bits
  std::vector<std::size_t> lines;  // the first ten
};
// " + Skipped 3 hosts entries (loopback, link-local, IPv6): lines 2, 3, 8",
// the file named when there are several.
std::string SkipLine(const SkippedEntries& skipped, bool nameFile);

struct HostTable {
  std::string text;             // the names, one after another
  std::vector<HostName> names;  // in the blocks, in address order, one per address: its first entry's first name
  std::vector<HostName> forward;  // in the files' order, each pair once: names in the private domain
  std::vector<SkippedEntries> skipped;  // of each file that had any
  // With --ipv6: the names of fd00::/8, sorted, one per address; and the
  // names in the domain at IPv6 addresses, each pair once.
  std::vector<HostName6> names6;
  std::vector<HostName6> forward6;
  template <class Name>
  std::string_view NameOf(const Name& h) const { return std::string_view(text).substr(h.at, h.size); }
};

struct HostsFile {
  std::string name;  // as given, for the error and skip lines
  std::string text;
};
struct HostsParse {
  std::optional<std::string> error;  // the error line
  HostTable table;
};
// The files in the order given: the first entry of an address names it.
// IPv6 entries are read only with `ipv6`; else they are skipped.
HostsParse ParseHosts(const std::vector<HostsFile>& files, std::string_view domain, bool ipv6 = false);
HostsParse ParseHosts(std::string_view text, std::string_view fileName, std::string_view domain, bool ipv6 = false);

// The names of the table whose addresses lie in the range.
std::span<const HostName> HostNamesWithin(const HostTable& hosts, AddressRange range);
