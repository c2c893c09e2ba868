#include "zones/zone_file.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <algorithm>

#include "output/console.h"
#include "zones/progress.h"

// The commit puts the first line back over the guard, byte for byte.
static_assert(GuardLine.size() == std::string_view("; Created by ").size() + BannerText.size() + 8,
              "the guard is as long as a zone file's first line");

namespace {
// ";" opens a comment in a master file; "#" would be read as a record.
std::string FirstLine() { return "; Created by " + std::string(BannerText) + std::to_string(BuildStamp); }
}  // namespace

void WriteZoneHeader(OutputFile& file, const ZoneInputs& inputs, std::uint32_t serial, std::string_view nameServer) {
  const std::string& d = inputs.PrivateDomain;
  const std::string eol(platform::LineEnd);
  std::string header = FirstLine() + eol;
  if (inputs.Ttl >= 0) header += "$TTL " + std::to_string(inputs.Ttl) + eol;
  header += "@ IN SOA ns." + d + " postmaster." + d + " " + std::to_string(serial) + " 86400 3600 604800 86400" + eol +
            " IN NS " + (nameServer.empty() ? "ns." + d : std::string(nameServer));
  WriteFileLine(file, header);
}

std::optional<std::uint32_t> WrittenSerial(std::string_view start) {
  // Line by line, whichever line end the platform that wrote it uses.
  auto line = [&]() {
    const std::size_t end = std::min(start.find('\n'), start.size());
    std::string_view l = start.substr(0, end);
    start.remove_prefix(std::min(end + 1, start.size()));
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    return l;
  };
  if (line() != FirstLine()) return std::nullopt;
  std::string_view soa = line();
  if (soa.substr(0, 5) == "$TTL ") soa = line();
  if (soa.substr(0, 9) != "@ IN SOA ") return std::nullopt;
  soa.remove_prefix(9);
  for (int field = 0; field < 2; ++field) soa.remove_prefix(std::min(soa.find(' ') + 1, soa.size()));
  std::uint64_t serial = 0;
  std::size_t digits = 0;
  while (digits < soa.size() && digits < 10 && soa[digits] >= '0' && soa[digits] <= '9')
    serial = serial * 10 + static_cast<unsigned>(soa[digits++] - '0');
  if (digits == 0 || digits >= soa.size() || soa[digits] != ' ' || serial > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(serial);
}

namespace {

// The absolute name of a node of the reverse tree: its octets from the
// last of `octets` up, then in-addr.arpa.
std::string ReverseName(std::uint32_t address, int octets) {
  std::string name;
  for (int i = octets - 1; i >= 0; --i) name += std::to_string(address >> (24 - 8 * i) & 0xFF) + ".";
  return name + "in-addr.arpa.";
}

// The generic lines of a stretch, kept out of line: the per-address loop
// keeps its registers to itself.
[[gnu::noinline]] void WriteGenericLines(OutputFile& file, PtrLines& lines, Ipv4Value first, Ipv4Value last) {
  WriteLineBlocks(file, lines, first, last, UpdateProgressTitle);
}

}  // namespace

namespace {

// The IPv6 zone: a wildcard at the top and under every nibble node on the
// way to a named address (a wildcard does not reach below a name that
// exists), then the address's own name; owners written whole.
void WriteNibbleLines(OutputFile& file, const ZonePlan& plan, const ZoneInputs& inputs, const std::string& wildcard) {
  WriteFileLine(file, "*" + wildcard);
  constexpr int kApex = UniqueLocalNibbles;
  std::string line;
  const Ipv6Value* previous = nullptr;
  for (const HostName6& h : plan.Names6) {
    static constexpr char kHex[] = "0123456789abcdef";
    // The owner of the node of the first k nibbles ends at 2 * (32 - k).
    char owner[64 + 9];
    for (int i = 0; i < 32; ++i) {
      owner[2 * i] = kHex[h.address.Nibble(31 - i)];
      owner[2 * i + 1] = '.';
    }
    std::memcpy(owner + 64, "ip6.arpa.", 9);
    const std::string_view name(owner, sizeof owner);
    int shared = 0;
    while (previous != nullptr && shared < 32 && previous->Nibble(shared) == h.address.Nibble(shared)) ++shared;
    for (int k = std::max(kApex + 1, shared + 1); k < 32; ++k) {
      line.assign("*.");
      line += name.substr(static_cast<std::size_t>(2 * (32 - k)));
      line += wildcard;
      WriteFileLine(file, line);
    }
    line.assign(name);
    line += " IN PTR ";
    line += inputs.Hosts.NameOf(h);
    WriteFileLine(file, line);
    previous = &h.address;
  }
}

}  // namespace

void WriteReverseZone(OutputFile& file, const ZonePlan& plan, const ZoneInputs& inputs, std::uint32_t serial) {
  constexpr auto u = Unsigned;
  const ZoneEntry& zone = plan.Zone;
  WriteZoneHeader(file, inputs, serial);
  const std::string wildcard = " IN PTR " + WildcardTarget(inputs.PrivateDomain);
  if (zone.Ipv6) return WriteNibbleLines(file, plan, inputs, wildcard);
  auto named = plan.Names.begin();
  const auto namedEnd = plan.Names.end();
  std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
  for (const AddressRange& r : plan.Written) runs.emplace_back(u(r.first), u(r.last));
  // A /16 node needs its wildcard when not all its 256 /24s hold a name
  // (in a /16 zone that node is the zone's own top).
  const bool byEight = (u(zone.Last) - u(zone.First)) > 0xFFFF;
  std::array<unsigned, 256> slash24s{};
  std::uint32_t lastCounted = ~0u;
  for (const auto& [first, last] : runs) {
    for (std::uint32_t node = first >> 8; node <= last >> 8; ++node)
      if (node != lastCounted) ++slash24s[node >> 8 & 0xFF], lastCounted = node;
  }
  if (plan.Kind != ZoneKind::Whole) WriteFileLine(file, "*" + wildcard);
  PtrLines lines(inputs.PrivateDomain);
  std::uint32_t slash16 = ~0u;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pieces;
  std::string line;
  for (std::size_t i = 0; i < runs.size();) {
    // The pieces of the runs in one /24, then its lines.
    std::uint32_t at = runs[i].first;
    const std::uint32_t node = at >> 8, nodeLast = node << 8 | 0xFF;
    unsigned count = 0;
    pieces.clear();
    while (i < runs.size() && runs[i].first <= nodeLast) {
      const std::uint32_t from = std::max(at, runs[i].first), to = std::min(runs[i].second, nodeLast);
      pieces.emplace_back(from, to);
      count += to - from + 1;
      if (runs[i].second > nodeLast) {
        runs[i].first = nodeLast + 1;
        break;
      }
      ++i;
      if (i < runs.size()) at = runs[i].first;
    }
    if (byEight && node >> 8 != slash16) {
      slash16 = node >> 8;
      if (slash24s[slash16 & 0xFF] < 256) WriteFileLine(file, "*." + ReverseName(slash16 << 16, 2) + wildcard);
    }
    if (count < 256) WriteFileLine(file, "*." + ReverseName(node << 8, 3) + wildcard);
    for (const auto& [from, to] : pieces) {
      // Generic lines a stretch at a time, the named ones between them.
      for (std::uint32_t a = from; a <= to;) {
        while (named != namedEnd && u(named->address) < a) ++named;
        const std::uint32_t stop = named != namedEnd && u(named->address) <= to ? u(named->address) : to + 1;
        if (stop > a)
          WriteGenericLines(file, lines, static_cast<Ipv4Value>(a), static_cast<Ipv4Value>(stop - 1));
        if (stop <= to) {
          UpdateProgressTitle(static_cast<Ipv4Value>(stop));
          char owner[AppendedQuadSpace];
          line.assign(owner, AppendReverseQuad(owner, static_cast<Ipv4Value>(stop)));
          line += ".in-addr.arpa. IN PTR ";
          line += inputs.Hosts.NameOf(*named);
          WriteFileLine(file, line);
        }
        a = stop + 1;
        if (stop == to) break;
      }
    }
  }
}
