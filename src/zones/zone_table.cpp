#include "zones/zone_table.h"

std::string PrefixText(const AddressBlock& block) {
  return FormatDottedQuad(block.First()) + "/" + std::to_string(block.PrefixLength);
}

const AddressBlock* PrivateBlockOf(Ipv4Value address) {
  for (const AddressBlock& b : BlockPlan)
    if (Unsigned(address) >= Unsigned(b.First()) && Unsigned(address) <= Unsigned(b.Last())) return &b;
  return nullptr;
}

std::string PrivateBlocksText() {
  std::string text;
  for (std::size_t i = BlockPlan.size(); i-- > 0;)
    text += PrefixText(BlockPlan[i]) + (i > 1 ? ", " : i == 1 ? " and " : "");
  return text;
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
  const std::uint32_t first = Unsigned(*address) & mask;
  if (first != Unsigned(*address)) {
    parse.reason = "does not begin its prefix (" + FormatDottedQuad(static_cast<Ipv4Value>(first)) + "/" +
                   std::to_string(n) + ")";
    return parse;
  }
  const AddressRange range{static_cast<Ipv4Value>(first), static_cast<Ipv4Value>(first | ~mask)};
  const AddressBlock* block = PrivateBlockOf(range.first);
  if (block == nullptr || Unsigned(range.last) > Unsigned(block->Last())) {
    parse.reason = "lies outside " + PrivateBlocksText();
    return parse;
  }
  parse.range = range;
  return parse;
}
