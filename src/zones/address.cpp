#include "zones/address.h"

#include <algorithm>
#include <cstdint>

std::string FormatByMask(std::string_view mask, std::span<const int> numbers) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < mask.size();) {
    char c = mask[i];
    if (c == '_') {
      if (i + 1 < mask.size()) out += mask[i + 1];
      i += 2;
      continue;
    }
    if (c != '#') {
      out += c;
      ++i;
      continue;
    }
    std::size_t width = 0;
    while (i < mask.size() && mask[i] == '#') {
      ++width;
      ++i;
    }
    int n = next < numbers.size() ? numbers[next] : 0;
    ++next;
    std::string digits = std::to_string(n);
    if (digits.size() < width) out.append(width - digits.size(), ' ');
    out += digits;
  }
  return out;
}

namespace {

// Field k of a dotted text: between the (k-1)-th and k-th ".".
std::string_view DottedField(std::string_view text, int k) {
  std::size_t start = 0;
  for (int i = 1; i < k; ++i) {
    std::size_t dot = text.find('.', start);
    if (dot == std::string_view::npos) return {};
    start = dot + 1;
  }
  std::size_t end = text.find('.', start);
  return text.substr(start, end == std::string_view::npos ? text.size() - start : end - start);
}

// Low 8 bits of the field read as a decimal integer; modular arithmetic
// keeps those bits exact however long the digit run is.
unsigned FieldLowByte(std::string_view field) {
  std::size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || field[i] == '\t' || field[i] == '\n')) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
    negative = field[i] == '-';
    ++i;
  }
  std::uint32_t value = 0;
  while (i < field.size() && field[i] >= '0' && field[i] <= '9') {
    value = value * 10u + static_cast<std::uint32_t>(field[i] - '0');
    ++i;
  }
  if (negative) value = 0u - value;
  return value & 0xFFu;
}

}  // namespace

std::string DottedQuadHexText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex(HexPrefix);
  for (int k = 1; k <= 4; ++k) {
    unsigned b = FieldLowByte(DottedField(text, k));
    hex += kHex[b >> 4];
    hex += kHex[b & 0xF];
  }
  return hex;
}

Ipv4Value ParseDottedQuad(std::string_view text) {
  std::string hex = DottedQuadHexText(text);
  std::uint32_t pattern = 0;
  for (char c : std::string_view(hex).substr(HexPrefix.size())) {
    unsigned digit = c <= '9' ? static_cast<unsigned>(c - '0') : static_cast<unsigned>(c - 'A' + 10);
    pattern = pattern << 4 | digit;
  }
  return static_cast<Ipv4Value>(pattern);
}

namespace {
template <char* (*Append)(char*, Ipv4Value)>
std::string Form(Ipv4Value v) {
  char buffer[AppendedQuadSpace];
  return std::string(buffer, Append(buffer, v));
}
}  // namespace

std::string FormatDottedQuad(Ipv4Value v) { return Form<AppendDottedQuad>(v); }
std::string FormatReverseQuad(Ipv4Value v) { return Form<AppendReverseQuad>(v); }
std::string FormatHostLabel(Ipv4Value v) { return Form<AppendHostLabel>(v); }

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

std::optional<AddressRange> PrivateBlockOf(Ipv4Value address) {
  const std::uint32_t a = static_cast<std::uint32_t>(address);
  const struct {
    std::uint32_t network;
    int length;
  } blocks[] = {{0x0A000000u, 8}, {0xAC100000u, 12}, {0xC0A80000u, 16}};
  for (const auto& b : blocks) {
    const std::uint32_t mask = ~0u << (32 - b.length);
    if ((a & mask) == b.network)
      return AddressRange{static_cast<Ipv4Value>(b.network), static_cast<Ipv4Value>(b.network | ~mask)};
  }
  return std::nullopt;
}

PrefixParse ParsePrivatePrefix(std::string_view text) {
  PrefixParse parse;
  const std::size_t slash = text.find('/');
  const std::optional<Ipv4Value> address = ParseStrictDottedQuad(text.substr(0, slash));
  const std::string_view length = slash == std::string_view::npos ? "" : text.substr(slash + 1);
  int n = 0;
  bool digits = !length.empty() && length.size() <= 2 && !(length.size() > 1 && length[0] == '0');
  for (std::size_t i = 0; digits && i < length.size(); ++i) {
    digits = length[i] >= '0' && length[i] <= '9';
    n = n * 10 + (length[i] - '0');
  }
  if (!address || !digits || n < 8 || n > 32) {
    parse.reason = "is not a prefix a.b.c.d/n with n from 8 to 32";
    return parse;
  }
  const std::uint32_t mask = n == 32 ? ~0u : ~(~0u >> n);
  const std::uint32_t first = static_cast<std::uint32_t>(*address) & mask;
  if (first != static_cast<std::uint32_t>(*address)) {
    parse.reason = "does not begin its prefix (" + FormatDottedQuad(static_cast<Ipv4Value>(first)) + "/" +
                   std::to_string(n) + ")";
    return parse;
  }
  const AddressRange range{static_cast<Ipv4Value>(first), static_cast<Ipv4Value>(first | ~mask)};
  const std::optional<AddressRange> block = PrivateBlockOf(range.first);
  if (!block || range.last > block->last) {
    parse.reason = "lies outside 10.0.0.0/8, 172.16.0.0/12 and 192.168.0.0/16";
    return parse;
  }
  parse.range = range;
  return parse;
}

std::vector<AddressRange> MergeRanges(std::vector<AddressRange> ranges) {
  // Compared unsigned: a signed order would turn at 128.0.0.0.
  auto u = [](Ipv4Value v) { return static_cast<std::uint32_t>(v); };
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
