// DHCP lease files (ISC dhcpd, Kea's memfile CSV, dnsmasq; IPv4 and IPv6),
// each told from its content: the names that clients gave for the
// addresses they hold at the run's start. A client's name is never an
// error; a file that is no lease file, or a line that cannot be read, is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zones/address.h"
#include "zones/host_table.h"

struct LeasesFile {
  std::string name;  // as given
  std::string text;  // Kea's: its cleanup's FILE.2 and FILE.1 first, as Kea reads them
};

// An active lease with a name.
struct Lease {
  bool ipv6 = false;
  Ipv4Value address4 = 0;
  Ipv6Value address6;
  std::string name;        // as the client gave it, lower case
  std::int64_t newest = 0;  // its start, else its expiry: the newer keeps a name two share
};

struct LeasesRead {
  std::optional<std::string> error;  // the error line
  std::vector<Lease> leases;         // the last entry of each address, when active and named
  std::vector<std::string> lines;    // what was ignored, said
};
LeasesRead ReadLeases(const LeasesFile& file, std::int64_t now);

// The leases that name hosts, as hosts lines ("ADDRESS NAME"), in address
// order; the rest said, a line per reason. Hosts files come first: an
// address or a name that they give is not a lease's.
struct LeaseNames {
  std::string hostsText;
  std::vector<std::string> lines;
};
LeaseNames NameLeases(std::vector<Lease> leases, const HostTable& hosts, std::string_view domain, bool ipv6);
