// The nineteen zones of a run: BOOT.INC's lines, the block plan and the
// files written all come from this one table.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

struct ZoneEntry {
  std::string_view ZoneName;  // the forward zone's is the private domain, known at run time
  std::string_view FileName;
  char ClassLetter;           // of the block it belongs to; 0 for the forward zone
  std::string_view FirstText;
  std::string_view LastText;
};

inline constexpr ZoneEntry ForwardZone = {"", "rfc1918.nam", 0, "", ""};

// In network order, as BOOT.INC lists them.
inline constexpr std::array<ZoneEntry, 18> ReverseZones = {{
    {"10.in-addr.arpa.", "r10.rev", 'A', "10.0.0.0", "10.255.255.255"},
    {"16.172.in-addr.arpa.", "r17216.rev", 'B', "172.16.0.0", "172.16.255.255"},
    {"17.172.in-addr.arpa.", "r17217.rev", 'B', "172.17.0.0", "172.17.255.255"},
    {"18.172.in-addr.arpa.", "r17218.rev", 'B', "172.18.0.0", "172.18.255.255"},
    {"19.172.in-addr.arpa.", "r17219.rev", 'B', "172.19.0.0", "172.19.255.255"},
    {"20.172.in-addr.arpa.", "r17220.rev", 'B', "172.20.0.0", "172.20.255.255"},
    {"21.172.in-addr.arpa.", "r17221.rev", 'B', "172.21.0.0", "172.21.255.255"},
    {"22.172.in-addr.arpa.", "r17222.rev", 'B', "172.22.0.0", "172.22.255.255"},
    {"23.172.in-addr.arpa.", "r17223.rev", 'B', "172.23.0.0", "172.23.255.255"},
    {"24.172.in-addr.arpa.", "r17224.rev", 'B', "172.24.0.0", "172.24.255.255"},
    {"25.172.in-addr.arpa.", "r17225.rev", 'B', "172.25.0.0", "172.25.255.255"},
    {"26.172.in-addr.arpa.", "r17226.rev", 'B', "172.26.0.0", "172.26.255.255"},
    {"27.172.in-addr.arpa.", "r17227.rev", 'B', "172.27.0.0", "172.27.255.255"},
    {"28.172.in-addr.arpa.", "r17228.rev", 'B', "172.28.0.0", "172.28.255.255"},
    {"29.172.in-addr.arpa.", "r17229.rev", 'B', "172.29.0.0", "172.29.255.255"},
    {"30.172.in-addr.arpa.", "r17230.rev", 'B', "172.30.0.0", "172.30.255.255"},
    {"31.172.in-addr.arpa.", "r17231.rev", 'B', "172.31.0.0", "172.31.255.255"},
    {"168.192.in-addr.arpa.", "r192168.rev", 'C', "192.168.0.0", "192.168.255.255"},
}};

// The reverse zones of one block, which stand together in the table.
constexpr std::span<const ZoneEntry> ReverseZonesOfClass(char classLetter) {
  auto first = std::find_if(ReverseZones.begin(), ReverseZones.end(),
                            [&](const ZoneEntry& z) { return z.ClassLetter == classLetter; });
  auto last = std::find_if(first, ReverseZones.end(), [&](const ZoneEntry& z) { return z.ClassLetter != classLetter; });
  return {first, last};
}

// BOOT.INC aligns the file names two blanks after the longest zone name.
inline constexpr std::size_t BootZoneColumn =
    std::max_element(ReverseZones.begin(), ReverseZones.end(), [](const ZoneEntry& a, const ZoneEntry& b) {
      return a.ZoneName.size() < b.ZoneName.size();
    })->ZoneName.size() + 2;
