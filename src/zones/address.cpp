#include "zones/address.h"

#include <algorithm>
#include <cstdint>

std::string FormatDottedQuad(Ipv4Value v) {
  char buffer[AppendedQuadSpace];
  return std::string(buffer, AppendDottedQuad(buffer, v));
}

std::optional<Ipv4Value> ParseStrictDottedQuad(std::string_view text) {
  std::uint32_t value = 0;
  int fields = 0;
  for (std::size_t at = 0; fields < 4; ++fields) {
    const std::size_t end = std::min(text.find('.', at), text.size());
    const std::string_view field = text.substr(at, end - at);
    if (field.empty() || field.size() > 3 || (field.size() > 1 && field[0] == '0')) return std::nullopt;
    unsigned octet = 0;
    for (char c : field) {
      if (c < '0' || c > '9') return std::nullopt;
      octet = octet * 10 + static_cast<unsigned>(c - '0');
    }
    if (octet > 255) return std::nullopt;
    value = value << 8 | octet;
    if (end == text.size()) {
      ++fields;
      break;
    }
    at = end + 1;
    if (fields == 3) return std::nullopt;  // a fifth field
  }
  if (fields != 4) return std::nullopt;
  return static_cast<Ipv4Value>(value);
}

std::vector<AddressRange> MergeRanges(std::vector<AddressRange> ranges) {
  // Compared unsigned: a signed order would turn at 128.0.0.0.
  constexpr auto u = Unsigned;
  std::sort(ranges.begin(), ranges.end(), [&](const AddressRange& a, const AddressRange& b) { return u(a.first) < u(b.first); });
  std::vector<AddressRange> merged;
  for (const AddressRange& r : ranges) {
    if (!merged.empty() && u(r.first) <= u(merged.back().last) + 1) {
      if (u(r.last) > u(merged.back().last)) merged.back().last = r.last;
    } else {
      merged.push_back(r);
    }
  }
  return merged;
}

std::vector<AddressRange> RangesWithin(const std::vector<AddressRange>& ranges, AddressRange within) {
  constexpr auto u = Unsigned;
  std::vector<AddressRange> inside;
  for (const AddressRange& r : ranges)
    if (u(r.last) >= u(within.first) && u(r.first) <= u(within.last))
      inside.push_back({u(r.first) > u(within.first) ? r.first : within.first, u(r.last) < u(within.last) ? r.last : within.last});
  return inside;
}
