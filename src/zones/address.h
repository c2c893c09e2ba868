// IPv4 addresses as signed 32-bit values and their text forms.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// a.b.c.d with a in the top byte; 128.0.0.0 and up are negative.
using Ipv4Value = std::int32_t;

// The unsigned view: address order across the 128.0.0.0 seam.
inline constexpr std::uint32_t Unsigned(Ipv4Value v) { return static_cast<std::uint32_t>(v); }
inline constexpr Ipv4Value Quad(unsigned a, unsigned b, unsigned c, unsigned d) {
  return static_cast<Ipv4Value>(a << 24 | b << 16 | c << 8 | d);
}

// User input, read strictly: four decimal octets 0 to 255, no sign, blank
// or leading zero; nothing when the text is anything else.
std::optional<Ipv4Value> ParseStrictDottedQuad(std::string_view text);

// A decimal number as user input: digits only, no sign, no leading zero,
// at most `largest` (below 10^10); nothing otherwise.
std::optional<std::int64_t> ParseWholeNumber(std::string_view text, std::int64_t largest);

// An inclusive range of addresses, first <= last in signed order.
struct AddressRange {
  Ipv4Value first;
  Ipv4Value last;
};
// Sorted in address order, overlapping and adjacent ranges joined.
std::vector<AddressRange> MergeRanges(std::vector<AddressRange> ranges);
// The parts of the ranges (in address order) that lie inside `within`.
std::vector<AddressRange> RangesWithin(const std::vector<AddressRange>& ranges, AddressRange within);

std::string FormatDottedQuad(Ipv4Value v);  // a.b.c.d

inline constexpr unsigned Octet(Ipv4Value v, int index) { return (Unsigned(v) >> (24 - 8 * index)) & 0xFFu; }

// The same forms for the zone writers' inner loops, written straight into
// a caller's buffer from a table of octet texts.
namespace detail {
struct OctetText {
  char text[4];  // digits, then a dot
  std::uint8_t length;  // digits only
};
constexpr std::array<OctetText, 256> MakeOctetTexts() {
  std::array<OctetText, 256> table{};
  for (unsigned n = 0; n < 256; ++n) {
    OctetText& t = table[n];
    unsigned len = 0;
    if (n >= 100) t.text[len++] = static_cast<char>('0' + n / 100);
    if (n >= 10) t.text[len++] = static_cast<char>('0' + n / 10 % 10);
    t.text[len++] = static_cast<char>('0' + n % 10);
    t.text[len] = '.';
    t.length = static_cast<std::uint8_t>(len);
  }
  return table;
}
inline constexpr std::array<OctetText, 256> kDotOctets = MakeOctetTexts();

// Copies all four bytes (digits and separator); the caller keeps the part
// it needs. Returns the end of the digits, or of the separator if kept.
inline char* PutOctet(char* out, const OctetText& t, bool keepSeparator) {
  std::memcpy(out, t.text, 4);
  return out + t.length + (keepSeparator ? 1 : 0);
}

inline char* AppendQuad(char* out, unsigned w, unsigned x, unsigned y, unsigned z) {
  const auto& table = kDotOctets;
  out = PutOctet(out, table[w], true);
  out = PutOctet(out, table[x], true);
  out = PutOctet(out, table[y], true);
  return PutOctet(out, table[z], false);
}
}  // namespace detail

// One octet's digits; writes 4 bytes at out, returns the end of the digits.
inline char* AppendOctet(char* out, unsigned octet) { return detail::PutOctet(out, detail::kDotOctets[octet], false); }

// Each writes at most AppendedQuadSpace bytes at out and returns the end of
// the text (at most 15 characters).
inline constexpr std::size_t AppendedQuadSpace = 16;

inline char* AppendDottedQuad(char* out, Ipv4Value v) {
  return detail::AppendQuad(out, Octet(v, 0), Octet(v, 1), Octet(v, 2), Octet(v, 3));
}
inline char* AppendReverseQuad(char* out, Ipv4Value v) {
  return detail::AppendQuad(out, Octet(v, 3), Octet(v, 2), Octet(v, 1), Octet(v, 0));
}

// Walks first..last inclusive in signed order; nothing when first > last.
// Stops on reaching last, so a range ending at the largest value is safe.
template <class Handle>
inline void ForEachAddress(Ipv4Value first, Ipv4Value last, Handle&& handle) {
  if (first > last) return;
  for (Ipv4Value a = first;; ++a) {
    handle(a);
    if (a == last) return;
  }
}

// An IPv6 address, its 16 bytes in network order; compared as a number.
struct Ipv6Value {
  std::array<std::uint8_t, 16> bytes{};
  auto operator<=>(const Ipv6Value&) const = default;
  unsigned Nibble(int index) const { return index % 2 ? bytes[index / 2] & 0xFu : bytes[index / 2] >> 4; }
};

// Every RFC 4291 text form (upper or lower case, leading zeros in a group,
// "::" anywhere, a dotted IPv4 tail), with an optional zone ("fe80::1%eth0",
// which is dropped); nothing when the text is anything else.
std::optional<Ipv6Value> ParseIpv6(std::string_view text);
// RFC 5952's text: lower case, no leading zeros, the longest run of two or
// more zero groups (the first of equal ones) as "::".
std::string FormatIpv6(const Ipv6Value& v);
