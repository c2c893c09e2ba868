#include "zones/hosts.h"

#include <algorithm>
#include <cstdint>

#include "output/console.h"
#include "zones/names.h"
#include "zones/zone_table.h"

namespace {

bool IsHexGroup(std::string_view g) {
  if (g.empty() || g.size() > 4) return false;
  return std::all_of(g.begin(), g.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  });
}

// RFC 4291's text forms, with an optional zone ("fe80::1%eth0").
bool IsIpv6(std::string_view text) {
  if (const std::size_t zone = text.find('%'); zone != std::string_view::npos) {
    if (zone + 1 == text.size()) return false;
    text = text.substr(0, zone);
  }
  int groups = 0;
  if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos && text.find('.') != std::string_view::npos) {
    if (!ParseStrictDottedQuad(text.substr(colon + 1))) return false;
    groups = 2;
    text = text.substr(0, colon + 1);
    if (text.size() >= 2 && text.substr(text.size() - 2) != "::") text.remove_suffix(1);
  }
  const std::size_t gap = text.find("::");
  if (gap != std::string_view::npos && text.find("::", gap + 1) != std::string_view::npos) return false;
  auto count = [&](std::string_view part) {
    if (part.empty()) return true;
    for (std::size_t at = 0;;) {
      const std::size_t end = std::min(part.find(':', at), part.size());
      if (!IsHexGroup(part.substr(at, end - at))) return false;
      ++groups;
      if (end == part.size()) return true;
      at = end + 1;
    }
  };
  if (gap == std::string_view::npos) return count(text) && groups == 8;
  return count(text.substr(0, gap)) && count(text.substr(gap + 2)) && groups < 8;
}

// Entries that name no host on a network: what they are, or 0.
unsigned SkipReasonOf(Ipv4Value address) {
  switch (Octet(address, 0)) {
    case 0: return SkipThisNetwork;
    case 127: return SkipLoopback;
    case 169: return Octet(address, 1) == 254 ? SkipLinkLocal : 0u;
    default: return Octet(address, 0) >= 224 ? SkipMulticast : 0u;
  }
}

bool InDomain(std::string_view name, std::string_view domain) {
  return name == domain || (name.size() > domain.size() && name[name.size() - domain.size() - 1] == '.' &&
                            name.substr(name.size() - domain.size()) == domain);
}

// Why a name may not stand in an entry for `address` (nothing for IPv6),
// or nothing. `name` is fully qualified and lower case; `wildcard` is the
// wildcard's target.
std::optional<std::string> RefusedName(std::string_view name, std::string_view given, std::string_view domain,
                                       std::string_view wildcard, std::optional<Ipv4Value> address) {
  if (name.size() > 254)
    return "too long: " + Shown(given) + " makes a name of " + std::to_string(name.size()) +
           " characters with its final dot, and a name has at most 254";
  const std::string_view last = name.substr(name.find_last_of('.', name.size() - 2) + 1);
  if (std::all_of(last.begin(), last.end() - 1, [](char c) { return c >= '0' && c <= '9'; }))
    return "not a host name: " + Shown(given) + " (its last label is a number; two entries on one line?)";
  // Written without the domain it is still read as the target where a
  // search list adds the domain.
  if (name == wildcard || name == WildcardLabel)
    return Shown(given) + " is the wildcard's name, which every unnamed private address answers";
  if (InDomain(name, domain) && name.size() > domain.size()) {
    const std::optional<Ipv4Value> generic = GenericLabelAddress(name.substr(0, name.size() - domain.size() - 1));
    if (generic && PrivateBlockOf(*generic) != nullptr && generic != address)
      return Shown(given) + " is the generic name of " + FormatDottedQuad(*generic) + ", not of this address";
  }
  return std::nullopt;
}

}  // namespace

std::string SkipLine(const SkippedEntries& skipped, bool nameFile) {
  static constexpr std::pair<unsigned, std::string_view> kWords[] = {
      {SkipLoopback, "loopback"},
      {SkipThisNetwork, "0.0.0.0/8"},
      {SkipLinkLocal, "link-local"},
      {SkipMulticast, "multicast or reserved"},
      {SkipOutside, "outside the blocks with no name in the domain"},
      {SkipIpv6, "IPv6"},
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
  if (skipped.count > skipped.lines.size()) line += " and " + std::to_string(skipped.count - skipped.lines.size()) + " more";
  return line;
}

HostsParse ParseHosts(const std::vector<HostsFile>& files, std::string_view domain) {
  HostsParse parse;
  HostTable& table = parse.table;
  const std::string wildcard = WildcardTarget(domain);
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
      return parse;
    };
    for (std::size_t at = 0; at < text.size();) {
      ++lineNumber;
      // A line ends at LF, CR LF or a lone CR.
      std::size_t end = at;
      while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
      std::string_view line = text.substr(at, end - at);
      at = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
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
      if (!address && !IsIpv6(first)) return fail("not an IPv4 or IPv6 address: " + Shown(first));
      unsigned skip = address ? SkipReasonOf(*address) : SkipIpv6;
      const bool inBlocks = address && PrivateBlockOf(*address) != nullptr;
      std::size_t names = 0, forward = 0;
      entryNames.clear();
      for (std::string_view given = field(); !given.empty(); given = field(), ++names) {
        name.assign(given);
        LowerCase(name);
        if (name.back() == '.') name.pop_back();
        // A name without a dot is one of the private domain's, which is
        // checked already.
        const bool relative = name.find('.') == std::string::npos;
        name += '.';
        if (!HasHostNameLabels(name)) return fail("not a host name: " + Shown(given));
        if (relative) name.append(domain);
        if (std::optional<std::string> refused = RefusedName(name, given, domain, wildcard, address)) return fail(*refused);
        if (skip) continue;
        // The same name twice in one entry is one.
        if (std::any_of(entryNames.begin(), entryNames.end(), [&](const HostName& e) { return table.NameOf(e) == name; }))
          continue;
        const bool inDomain = InDomain(name, domain);
        if (!inBlocks && !inDomain) continue;
        const HostName h{*address, static_cast<std::uint32_t>(table.text.size()), static_cast<std::uint32_t>(name.size())};
        table.text += name;
        entryNames.push_back(h);
        if (inBlocks && names == 0) table.names.push_back(h);
        if (inDomain) table.forward.push_back(h), ++forward;
      }
      if (names == 0) return fail("an address and no name");
      if (!skip && !inBlocks && forward == 0) skip = SkipOutside;
      if (!skip) continue;
      ++skipped.count;
      skipped.reasons |= skip;
      if (skipped.lines.size() < 10) skipped.lines.push_back(lineNumber);
    }
    if (skipped.count != 0) table.skipped.push_back(std::move(skipped));
  }
  // The first entry of an address names it, as the C library's lookup does.
  constexpr auto u = Unsigned;
  std::stable_sort(table.names.begin(), table.names.end(),
                   [&](const HostName& a, const HostName& b) { return u(a.address) < u(b.address); });
  table.names.erase(std::unique(table.names.begin(), table.names.end(),
                                [](const HostName& a, const HostName& b) { return a.address == b.address; }),
                    table.names.end());
  // Each A record once, where it first stands: sorted by a hash, and the
  // names compared only where the hashes meet.
  auto key = [&](const HostName& h) { return std::pair(table.NameOf(h), h.address); };
  std::vector<std::pair<std::uint64_t, std::uint32_t>> order(table.forward.size());
  for (std::uint32_t i = 0; i < order.size(); ++i)
    order[i] = {std::hash<std::string_view>{}(table.NameOf(table.forward[i])) * 31 + u(table.forward[i].address), i};
  std::sort(order.begin(), order.end());
  std::vector<bool> repeated(table.forward.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    for (std::size_t j = i; j-- > 0 && order[j].first == order[i].first;)
      if (key(table.forward[order[j].second]) == key(table.forward[order[i].second])) repeated[order[i].second] = true;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < table.forward.size(); ++i)
    if (!repeated[i]) table.forward[kept++] = table.forward[i];
  table.forward.resize(kept);
  return parse;
}

HostsParse ParseHosts(std::string_view text, std::string_view fileName, std::string_view domain) {
  return ParseHosts({HostsFile{std::string(fileName), std::string(text)}}, domain);
}

std::span<const HostName> HostNamesWithin(const HostTable& hosts, AddressRange range) {
  constexpr auto u = Unsigned;
  auto first = std::lower_bound(hosts.names.begin(), hosts.names.end(), u(range.first),
                                [&](const HostName& h, std::uint32_t a) { return u(h.address) < a; });
  auto last = std::upper_bound(first, hosts.names.end(), u(range.last),
                               [&](std::uint32_t a, const HostName& h) { return a < u(h.address); });
  return {first, last};
}
