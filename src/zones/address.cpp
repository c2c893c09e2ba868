#include "zones/address.h"

#include <algorithm>
#include <cctype>
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

std::optional<Ipv6Value> ParseIpv6(std::string_view text) {
  if (const std::size_t zone = text.find('%'); zone != std::string_view::npos) {
    if (zone + 1 == text.size()) return std::nullopt;
    text = text.substr(0, zone);
  }
  std::array<std::uint16_t, 8> groups{};
  int count = 0, gap = -1;
  // The dotted IPv4 tail stands for the last two groups.
  std::optional<Ipv4Value> tail;
  if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos && text.find('.', colon) != std::string_view::npos) {
    tail = ParseStrictDottedQuad(text.substr(colon + 1));
    if (!tail) return std::nullopt;
    text = text.substr(0, colon + 1);
    // "::" before the tail keeps both colons; a lone one goes.
    if (text.size() < 2 || text.substr(text.size() - 2) != "::") text.remove_suffix(1);
  }
  const int room = tail ? 6 : 8;
  for (std::size_t at = 0; at < text.size();) {
    if (text.substr(at, 2) == "::") {
      if (gap >= 0) return std::nullopt;
      gap = count;
      at += 2;
      continue;
    }
    if (at > 0 && text[at] == ':' && text[at - 1] != ':') {
      ++at;
      if (at == text.size()) return std::nullopt;  // a lone colon at the end
      continue;
    }
    std::size_t end = at;
    unsigned value = 0;
    while (end < text.size() && end - at < 5 && std::isxdigit(static_cast<unsigned char>(text[end]))) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[end])));
      value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
      ++end;
    }
    if (end == at || end - at > 4 || count == room || (end < text.size() && text[end] != ':')) return std::nullopt;
    groups[static_cast<std::size_t>(count++)] = static_cast<std::uint16_t>(value);
    at = end;
  }
  if (gap < 0 ? count != room : count >= room) return std::nullopt;
  if (!text.empty() && text[0] == ':' && gap != 0) return std::nullopt;  // a lone colon at the start
  Ipv6Value v;
  const int moved = gap < 0 ? 0 : room - count;
  for (int i = 0; i < count; ++i) {
    const int g = i < gap || gap < 0 ? i : i + moved;
    v.bytes[static_cast<std::size_t>(2 * g)] = static_cast<std::uint8_t>(groups[static_cast<std::size_t>(i)] >> 8);
    v.bytes[static_cast<std::size_t>(2 * g + 1)] = static_cast<std::uint8_t>(groups[static_cast<std::size_t>(i)] & 0xFF);
  }
  if (tail)
    for (int i = 0; i < 4; ++i) v.bytes[static_cast<std::size_t>(12 + i)] = static_cast<std::uint8_t>(Octet(*tail, i));
  return v;
}

std::string FormatIpv6(const Ipv6Value& v) {
  unsigned groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = static_cast<unsigned>(v.bytes[static_cast<std::size_t>(2 * i)]) << 8 | v.bytes[static_cast<std::size_t>(2 * i + 1)];
  int best = -1, bestLength = 1;
  for (int i = 0; i < 8;) {
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > bestLength) best = i, bestLength = j - i;
    i = j == i ? i + 1 : j;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (int i = 0; i < 8; ++i) {
    if (i == best) {
      text += "::";
      i += bestLength - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') text += ':';
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const unsigned digit = groups[i] >> shift & 0xF;
      if (digit == 0 && !started && shift > 0) continue;
      started = true;
      text += kHex[digit];
    }
  }
  return text;
}

std::optional<std::int64_t> ParseWholeNumber(std::string_view text, std::int64_t largest) {
  if (text.empty() || text.size() > 10 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  std::int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n > largest) return std::nullopt;
  return n;
}
