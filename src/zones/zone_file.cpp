#include "zones/zone_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "output/console.h"
#include "zones/hosts.h"
#include "zones/progress.h"
#include "zones/shared_state.h"

// The commit puts the first line back over the guard, byte for byte.
static_assert(GuardLine.size() == std::string_view("; Created by ").size() + BannerText.size() + 8,
              "the guard is as long as a zone file's first line");

void WriteZoneHeader(OutputFile& file) {
  const std::string& d = PrivateDomain;
  // ";" opens a comment in a master file; "#" would be read as a record.
  const std::string eol(platform::LineEnd);
  std::string header = "; Created by " + std::string(BannerText) + std::to_string(BuildStamp) + eol;
  if (ZoneTtl >= 0) header += "$TTL " + std::to_string(ZoneTtl) + eol;
  header += "@ IN SOA ns." + d + " postmaster." + d + " " + std::to_string(ZoneSerial) + " 86400 3600 604800 86400" +
            eol + " IN NS ns." + d;
  WriteFileLine(file, header);
}

void WriteDetailedReverseZone(std::string_view fileName, Ipv4Value first, Ipv4Value last) {
  PrintLine("Creating " + std::string(fileName) + " (" + FormatDottedQuad(first) + " - " +
            FormatDottedQuad(last) + ")");
  OutputFile file = OpenOutputFile(fileName);
  WriteZoneHeader(file);
  PtrLines lines(PrivateDomain);
  WriteLineBlocks(file, lines, first, last, UpdateProgressTitle);
  CloseOutputFile(file);
}

void WriteWildcardReverseZone(std::string_view fileName) {
  PrintLine("Creating " + std::string(fileName));
  OutputFile file = OpenOutputFile(fileName);
  WriteZoneHeader(file);
  WriteFileLine(file, "* IN PTR private.ip-address." + PrivateDomain);
  CloseOutputFile(file);
}

namespace {

std::uint32_t U(Ipv4Value v) { return static_cast<std::uint32_t>(v); }

// The absolute name of a node of the reverse tree: its octets from the
// last of `octets` up, then in-addr.arpa.
std::string ReverseName(std::uint32_t address, int octets) {
  std::string name;
  for (int i = octets - 1; i >= 0; --i) name += std::to_string(address >> (24 - 8 * i) & 0xFF) + ".";
  return name + "in-addr.arpa.";
}

}  // namespace

void WritePartialReverseZone(std::string_view fileName, AddressRange zone, const std::vector<AddressRange>& detail) {
  PrintLine("Creating " + std::string(fileName));
  OutputFile file = OpenOutputFile(fileName);
  WriteZoneHeader(file);
  const std::string wildcard = " IN PTR private.ip-address." + PrivateDomain;
  // The named addresses of the zone, and every written address as runs.
  const std::span<const HostName> names = HostNamesWithin(zone);
  auto named = names.begin();
  const auto namedEnd = names.end();
  std::vector<AddressRange> written(detail);
  for (const HostName& h : names) written.push_back({h.address, h.address});
  std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
  for (const AddressRange& r : MergeRanges(std::move(written))) runs.emplace_back(U(r.first), U(r.last));
  // A /16 node needs its wildcard when not all its 256 /24s hold a name
  // (in a /16 zone that node is the zone's own top).
  const bool byEight = (U(zone.last) - U(zone.first)) > 0xFFFF;
  std::array<unsigned, 256> slash24s{};
  std::uint64_t addresses = 0;
  std::uint32_t lastCounted = ~0u;
  for (const auto& [first, last] : runs) {
    addresses += last - first + 1;
    for (std::uint32_t node = first >> 8; node <= last >> 8; ++node)
      if (node != lastCounted) ++slash24s[node >> 8 & 0xFF], lastCounted = node;
  }
  if (addresses < std::uint64_t{U(zone.last) - U(zone.first)} + 1) WriteFileLine(file, "*" + wildcard);
  PtrLines lines(PrivateDomain);
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
        while (named != namedEnd && U(named->address) < a) ++named;
        const std::uint32_t stop = named != namedEnd && U(named->address) <= to ? U(named->address) : to + 1;
        if (stop > a)
          WriteLineBlocks(file, lines, static_cast<Ipv4Value>(a), static_cast<Ipv4Value>(stop - 1), UpdateProgressTitle);
        if (stop <= to) {
          UpdateProgressTitle(static_cast<Ipv4Value>(stop));
          char owner[AppendedQuadSpace];
          line.assign(owner, AppendReverseQuad(owner, static_cast<Ipv4Value>(stop)));
          line += ".in-addr.arpa. IN PTR ";
          line += Hosts.NameOf(*named);
          WriteFileLine(file, line);
        }
        a = stop + 1;
        if (stop == to) break;
      }
    }
  }
  CloseOutputFile(file);
}
