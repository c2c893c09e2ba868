#include "zones/host_table.h"

#include <algorithm>

std::span<const HostName> HostNamesWithin(const HostTable& hosts, AddressRange range) {
  constexpr auto u = Unsigned;
  auto first = std::lower_bound(hosts.names.begin(), hosts.names.end(), u(range.first),
                                [&](const HostName& h, std::uint32_t a) { return u(h.address) < a; });
  auto last = std::upper_bound(first, hosts.names.end(), u(range.last),
                               [&](std::uint32_t a, const HostName& h) { return a < u(h.address); });
  return {first, last};
}
