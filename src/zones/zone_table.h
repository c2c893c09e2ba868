// The three private blocks and the nineteen zones of a run: BOOT.INC's
// lines, the block plan, the prefixes' test and the files written all come
// from these tables.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "zones/address.h"

struct ZoneEntry {
  std::string_view ZoneName;  // the forward zone's is the private domain, known at run time
  std::string_view FileName;
  Ipv4Value First;  // the addresses it answers for, both inclusive
  Ipv4Value Last;
  bool Ipv6 = false;  // the unique local addresses, fd00::/8, instead
};

// The trees of reverse names: no private domain may lie under arpa.
inline constexpr std::string_view ReverseTreeName = "in-addr.arpa.";
inline constexpr std::string_view ArpaName = "arpa.";

inline constexpr ZoneEntry ForwardZone = {"", "rfc1918.nam", 0, 0};
// With --ipv6: the zone that RFC 6303 and every resolver give fd00::/8,
// the unique local addresses whose first byte is this one.
inline constexpr std::uint8_t UniqueLocalByte = 0xFD;
inline constexpr int UniqueLocalNibbles = 2;  // the zone's apex, d.f
inline constexpr ZoneEntry UniqueLocalZone = {"d.f.ip6.arpa.", "rfd.rev", 0, 0, true};
static_assert(UniqueLocalZone.ZoneName[0] == "0123456789abcdef"[UniqueLocalByte & 0xF] &&
                  UniqueLocalZone.ZoneName[2] == "0123456789abcdef"[UniqueLocalByte >> 4],
              "the IPv6 zone is named after its byte");
// With --catalog: the catalog zone (RFC 9432) that lists every zone of the
// run for secondaries; its name is the user's.
inline constexpr ZoneEntry CatalogZone = {"", "catalog.zone", 0, 0};
inline constexpr bool InUniqueLocalZone(const Ipv6Value& v) { return v.bytes[0] == UniqueLocalByte; }

// In network order, as BOOT.INC lists them.
inline constexpr std::array<ZoneEntry, 18> ReverseZones = {{
    {"10.in-addr.arpa.", "r10.rev", Quad(10, 0, 0, 0), Quad(10, 255, 255, 255)},
    {"16.172.in-addr.arpa.", "r17216.rev", Quad(172, 16, 0, 0), Quad(172, 16, 255, 255)},
    {"17.172.in-addr.arpa.", "r17217.rev", Quad(172, 17, 0, 0), Quad(172, 17, 255, 255)},
    {"18.172.in-addr.arpa.", "r17218.rev", Quad(172, 18, 0, 0), Quad(172, 18, 255, 255)},
    {"19.172.in-addr.arpa.", "r17219.rev", Quad(172, 19, 0, 0), Quad(172, 19, 255, 255)},
    {"20.172.in-addr.arpa.", "r17220.rev", Quad(172, 20, 0, 0), Quad(172, 20, 255, 255)},
    {"21.172.in-addr.arpa.", "r17221.rev", Quad(172, 21, 0, 0), Quad(172, 21, 255, 255)},
    {"22.172.in-addr.arpa.", "r17222.rev", Quad(172, 22, 0, 0), Quad(172, 22, 255, 255)},
    {"23.172.in-addr.arpa.", "r17223.rev", Quad(172, 23, 0, 0), Quad(172, 23, 255, 255)},
    {"24.172.in-addr.arpa.", "r17224.rev", Quad(172, 24, 0, 0), Quad(172, 24, 255, 255)},
    {"25.172.in-addr.arpa.", "r17225.rev", Quad(172, 25, 0, 0), Quad(172, 25, 255, 255)},
    {"26.172.in-addr.arpa.", "r17226.rev", Quad(172, 26, 0, 0), Quad(172, 26, 255, 255)},
    {"27.172.in-addr.arpa.", "r17227.rev", Quad(172, 27, 0, 0), Quad(172, 27, 255, 255)},
    {"28.172.in-addr.arpa.", "r17228.rev", Quad(172, 28, 0, 0), Quad(172, 28, 255, 255)},
    {"29.172.in-addr.arpa.", "r17229.rev", Quad(172, 29, 0, 0), Quad(172, 29, 255, 255)},
    {"30.172.in-addr.arpa.", "r17230.rev", Quad(172, 30, 0, 0), Quad(172, 30, 255, 255)},
    {"31.172.in-addr.arpa.", "r17231.rev", Quad(172, 31, 0, 0), Quad(172, 31, 255, 255)},
    {"168.192.in-addr.arpa.", "r192168.rev", Quad(192, 168, 0, 0), Quad(192, 168, 255, 255)},
}};

// How the A records of a block name their owner: the 10/8 block's carry
// the domain, the others are relative to the zone.
enum class OwnerForm { BareLabel, QualifiedLabel };

struct AddressBlock {
  char ClassLetter;  // the switch that details it
  int PrefixLength;
  OwnerForm Owner;
  std::span<const ZoneEntry> Zones;  // its reverse zones, which stand together in the table
  Ipv4Value First() const { return Zones.front().First; }
  Ipv4Value Last() const { return Zones.back().Last; }
  AddressRange Range() const { return {First(), Last()}; }
};

namespace detail {
constexpr std::span<const ZoneEntry> ZonesWithin(Ipv4Value first, int length) {
  const Ipv4Value last = static_cast<Ipv4Value>(Unsigned(first) | (~0u >> length));
  auto inside = [&](const ZoneEntry& z) { return Unsigned(z.First) >= Unsigned(first) && Unsigned(z.Last) <= Unsigned(last); };
  auto begin = std::find_if(ReverseZones.begin(), ReverseZones.end(), inside);
  return {begin, std::find_if_not(begin, ReverseZones.end(), inside)};
}
constexpr AddressBlock Block(char letter, Ipv4Value first, int length, OwnerForm owner) {
  return {letter, length, owner, ZonesWithin(first, length)};
}
}  // namespace detail

// In the order a run writes them.
inline constexpr std::array<AddressBlock, 3> BlockPlan = {{
    detail::Block('C', Quad(192, 168, 0, 0), 16, OwnerForm::BareLabel),
    detail::Block('B', Quad(172, 16, 0, 0), 12, OwnerForm::BareLabel),
    detail::Block('A', Quad(10, 0, 0, 0), 8, OwnerForm::QualifiedLabel),
}};

// "192.168.0.0/16"
std::string PrefixText(const AddressBlock& block);
// The block that holds the address, if one does.
const AddressBlock* PrivateBlockOf(Ipv4Value address);
// "10.0.0.0/8, 172.16.0.0/12 and 192.168.0.0/16", in network order.
std::string PrivateBlocksText();

// "a.b.c.d/n", n from 8 to 32, a prefix's first address, inside a private
// block: the range, or the reason it is refused.
struct PrefixParse {
  std::optional<AddressRange> range;
  std::string reason;
};
PrefixParse ParsePrivatePrefix(std::string_view text);

// BOOT.INC aligns the file names two blanks after the longest zone name.
inline constexpr std::size_t BootZoneColumn =
    std::max_element(ReverseZones.begin(), ReverseZones.end(), [](const ZoneEntry& a, const ZoneEntry& b) {
      return a.ZoneName.size() < b.ZoneName.size();
    })->ZoneName.size() + 2;
