#include "zones/address.h"

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
