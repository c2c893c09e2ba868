#include "inputs/hosts.h"
#include "inputs/text_lines.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <tuple>

#include "output/console.h"
#include "zones/names.h"
#include "zones/zone_table.h"

namespace {

// Entries that name no host on a network: what they are, or 0.
unsigned SkipReasonOf(Ipv4Value address) {
  switch (Octet(address, 0)) {
    case 0: return SkipThisNetwork;
    case 127: return SkipLoopback;
    case 169: return Octet(address, 1) == 254 ? SkipLinkLocal : 0u;
    default: return Octet(address, 0) >= 224 ? SkipMulticast : 0u;
  }
}

// Likewise for IPv6: ::1, ::, fe80::/10, ff00::/8 and ::ffff:0:0/96.
unsigned SkipReasonOf(const Ipv6Value& v) {
  const auto& b = v.bytes;
  if (b[0] == 0xFF) return SkipMulticast;
  if (b[0] == 0xFE && (b[1] & 0xC0) == 0x80) return SkipLinkLocal;
  if (std::all_of(b.begin(), b.begin() + 10, [](std::uint8_t x) { return x == 0; })) {
    if (b[10] == 0xFF && b[11] == 0xFF) return SkipMapped;
    if (std::all_of(b.begin() + 10, b.begin() + 15, [](std::uint8_t x) { return x == 0; }) && b[15] <= 1)
      return b[15] ? SkipLoopback : SkipThisNetwork;
  }
  return 0;
}

// Why a name may not stand in an entry for `address` (nothing for IPv6),
// or nothing. `name` is fully qualified and lower case.
std::optional<std::string> RefusedName(std::string_view name, std::string_view given, std::string_view domain,
                                       std::optional<Ipv4Value> address) {
  if (name.size() > 254)
    return "too long: " + Shown(given) + " makes a name of " + std::to_string(name.size()) +
           " characters with its final dot, and a name has at most 254";
  const std::string_view last = name.substr(name.find_last_of('.', name.size() - 2) + 1);
  if (std::all_of(last.begin(), last.end() - 1, [](char c) { return c >= '0' && c <= '9'; }))
    return "not a host name: " + Shown(given) + " (its last label is a number; two entries on one line?)";
  const MadeUpName made = MadeUpNameOf(name, domain);
  if (made.wildcard) return Shown(given) + " is the wildcard's name, which every unnamed private address answers";
  if (made.generic && made.generic != address)
    return Shown(given) + " is the generic name of " + FormatDottedQuad(*made.generic) + ", not of this address";
  return std::nullopt;
}

// Each record once, where it first stands: sorted by a hash, then by name,
// address and place, so that equal records stand together and the first
// of each leads.
template <class Name, class AddressHash>
void KeepFirstOfEach(const HostTable& table, std::vector<Name>& names, AddressHash addressHash) {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> order(names.size());
  for (std::uint32_t i = 0; i < order.size(); ++i)
    order[i] = {std::hash<std::string_view>{}(table.NameOf(names[i])) * 31 + addressHash(names[i]), i};
  auto key = [&](const std::pair<std::uint64_t, std::uint32_t>& o) {
    return std::tuple(o.first, table.NameOf(names[o.second]), names[o.second].address, o.second);
  };
  std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : key(a) < key(b);
  });
  std::vector<bool> repeated(names.size());
  for (std::size_t i = 1; i < order.size(); ++i) {
    const Name& a = names[order[i - 1].second];
    const Name& b = names[order[i].second];
    if (order[i - 1].first == order[i].first && a.address == b.address && table.NameOf(a) == table.NameOf(b))
      repeated[order[i].second] = true;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!repeated[i]) names[kept++] = names[i];
  names.resize(kept);
}

}  // namespace

std::string SkipLine(const SkippedEntries& skipped, bool nameFile) {
  static constexpr std::pair<unsigned, std::string_view> kWords[] = {
      {SkipLoopback, "loopback"},
      {SkipThisNetwork, "unspecified"},
      {SkipLinkLocal, "link-local"},
      {SkipMulticast, "multicast or reserved"},
      {SkipMapped, "IPv4-mapped"},
      {SkipOutside, "outside the blocks with no name in the domain"},
      {SkipIpv6, "IPv6, which --ipv6 writes"},
  };
  std::string line = " + Skipped " + std::to_string(skipped.count) + " hosts entries";
  if (nameFile) line += " of " + Shown(skipped.file);
  const char* separator = " (";
  for (const auto& [reason, words] : kWords) {
    if (!(skipped.reasons & reason)) continue;
    line += separator;
    line += words;
    separator = ", ";
  }
  line += "): line";
  if (skipped.count > 1) line += 's';
  separator = " ";
  for (std::size_t n : skipped.lines) {
    line += separator + std::to_string(n);
    separator = ", ";
  }
  if (skipped.count > skipped.lines.size()) {
    // Formatted, not joined: joined, the words are cut into a binary's
    // immediates, which a spelling check then reads as misspelt.
    char more[40];
    const int n = std::snprintf(more, sizeof more, " and %zu more", skipped.count - skipped.lines.size());
    if (n > 0) line.append(more, static_cast<std::size_t>(n));
  }
  return line;
}

HostsParse ParseHosts(const std::vector<HostsFile>& files, std::string_view domain, bool ipv6) {
  HostsParse parse;
  HostTable& table = parse.table;
  std::string name;
  std::vector<HostName> entryNames;
  for (const HostsFile& file : files) {
    std::string_view text = file.text;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte-order mark
    SkippedEntries skipped{file.name, 0, 0, {}};
    std::size_t lineNumber = 0;
    auto fail = [&](const std::string& reason) {
      parse.error = "Error: " + Shown(file.name) + ":" + std::to_string(lineNumber) + ": " + reason;
      parse.table = {};
      parse.skipped.clear();
      return parse;
    };
    for (std::size_t at = 0; at < text.size();) {
      ++lineNumber;
      std::string_view line = NextLine(text, at);
      line = line.substr(0, line.find('#'));
      std::size_t cursor = 0;
      auto blank = [](char c) { return c == ' ' || c == '\t'; };
      auto field = [&]() {
        while (cursor < line.size() && blank(line[cursor])) ++cursor;
        const std::size_t start = cursor;
        while (cursor < line.size() && !blank(line[cursor])) ++cursor;
        return line.substr(start, cursor - start);
      };
      const std::string_view first = field();
      if (first.empty()) continue;
      const std::optional<Ipv4Value> address = ParseStrictDottedQuad(first);
      const std::optional<Ipv6Value> address6 = address ? std::nullopt : ParseIpv6(first);
      if (!address && !address6) return fail("not an IPv4 or IPv6 address: " + Shown(first));
      unsigned skip = address ? SkipReasonOf(*address) : SkipReasonOf(*address6);
      if (address6 && !ipv6 && skip == 0) skip = SkipIpv6;
      // The unique local addresses are this run's to name.
      const bool inBlocks = address ? PrivateBlockOf(*address) != nullptr : InUniqueLocalZone(*address6);
      std::size_t names = 0, forward = 0;
      // A name refused on a line that ends up written nowhere is no error.
      std::optional<std::string> unwritten;
      entryNames.clear();
      for (std::string_view given = field(); !given.empty(); given = field(), ++names) {
        // A skipped line's names are never written: nothing to check.
        if (skip) continue;
        name.assign(given);
        LowerCase(name);
        if (name.back() == '.') name.pop_back();
        // A name without a dot is one of the private domain's, which is
        // checked already.
        const bool relative = name.find('.') == std::string::npos;
        name += '.';
        if (relative) name.append(domain);
        const bool inDomain = InDomain(name, domain);
        std::optional<std::string> refused;
        if (!HasHostNameLabels(relative ? std::string_view(name).substr(0, name.size() - domain.size()) : name))
          refused = "not a host name: " + Shown(given);
        else
          refused = RefusedName(name, given, domain, address);
        if (refused) {
          if (inBlocks || inDomain) return fail(*refused);
          if (!unwritten) unwritten = std::move(refused);
          continue;
        }
        // The same name twice in one entry is one.
        if (std::any_of(entryNames.begin(), entryNames.end(), [&](const HostName& e) { return table.NameOf(e) == name; }))
          continue;
        if (!inBlocks && !inDomain) continue;
        const auto at = static_cast<std::uint32_t>(table.text.size()), size = static_cast<std::uint32_t>(name.size());
        table.text += name;
        entryNames.push_back({address.value_or(0), at, size});
        if (address6) {
          if (inBlocks && names == 0) table.names6.push_back({*address6, at, size});
          if (inDomain) table.forward6.push_back({*address6, at, size}), ++forward;
          continue;
        }
        if (inBlocks && names == 0) table.names.push_back(entryNames.back());
        if (inDomain) table.forward.push_back(entryNames.back()), ++forward;
      }
      if (names == 0) return fail("an address and no name");
      if (unwritten && forward != 0) return fail(*unwritten);
      if (!skip && !inBlocks && forward == 0) skip = SkipOutside;
      if (!skip) continue;
      ++skipped.count;
      skipped.reasons |= skip;
      if (skipped.lines.size() < 10) skipped.lines.push_back(lineNumber);
    }
    if (skipped.count != 0) parse.skipped.push_back(std::move(skipped));
  }
  // The first entry of an address names it, as the C library's lookup does.
  constexpr auto u = Unsigned;
  std::stable_sort(table.names.begin(), table.names.end(),
                   [&](const HostName& a, const HostName& b) { return u(a.address) < u(b.address); });
  table.names.erase(std::unique(table.names.begin(), table.names.end(),
                                [](const HostName& a, const HostName& b) { return a.address == b.address; }),
                    table.names.end());
  std::stable_sort(table.names6.begin(), table.names6.end(),
                   [](const HostName6& a, const HostName6& b) { return a.address < b.address; });
  table.names6.erase(std::unique(table.names6.begin(), table.names6.end(),
                                 [](const HostName6& a, const HostName6& b) { return a.address == b.address; }),
                     table.names6.end());
  KeepFirstOfEach(table, table.forward, [](const HostName& h) { return std::uint64_t{Unsigned(h.address)}; });
  KeepFirstOfEach(table, table.forward6, [](const HostName6& h) {
    std::uint64_t hash = 0;
    for (std::uint8_t b : h.address.bytes) hash = hash * 131 + b;
    return hash;
  });
  return parse;
}

HostsParse ParseHosts(std::string_view text, std::string_view fileName, std::string_view domain, bool ipv6) {
  return ParseHosts({HostsFile{std::string(fileName), std::string(text)}}, domain, ipv6);
}
