// Hosts files (the format of /etc/hosts) read for the zones: the names that
// private addresses answer to, and the A records of the names in the
// private domain. What no line may do is refused with its line: give a name
// to an address that is not its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zones/address.h"
#include "zones/host_table.h"

// Why an entry was left out; each has its words on the skip line.
enum SkipReason : unsigned {
  SkipLoopback = 1,      // 127.0.0.0/8, ::1
  SkipThisNetwork = 2,   // 0.0.0.0/8, ::, said as unspecified
  SkipLinkLocal = 4,     // 169.254.0.0/16, fe80::/10
  SkipMulticast = 8,     // and the reserved 240.0.0.0/4; ff00::/8
  SkipMapped = 16,       // ::ffff:0:0/96
  SkipOutside = 32,      // public, and no name in the domain
  SkipIpv6 = 64,         // any other IPv6 entry, without --ipv6
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

struct HostsFile {
  std::string name;  // as given, for the error and skip lines
  std::string text;
};
struct HostsParse {
  std::optional<std::string> error;  // the error line
  HostTable table;
  std::vector<SkippedEntries> skipped;  // of each file that had any
};
// The files in the order given: the first entry of an address names it.
// IPv6 entries are read only with `ipv6`; else they are skipped.
HostsParse ParseHosts(const std::vector<HostsFile>& files, std::string_view domain, bool ipv6 = false);
HostsParse ParseHosts(std::string_view text, std::string_view fileName, std::string_view domain, bool ipv6 = false);
