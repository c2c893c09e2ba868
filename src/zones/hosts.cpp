#include "zones/hosts.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

HostTable Hosts;

bool HasHostNameLabels(std::string_view name) {
  std::size_t label = 0;
  char previous = '.';
  for (char c : name) {
    const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (c == '.') {
      if (label == 0 || previous == '-') return false;  // no empty label, none ending in a hyphen
      label = 0;
    } else if (!(letterOrDigit || c == '-') || ++label > 63 || (c == '-' && previous == '.')) {
      return false;
    }
    previous = c;
  }
  return !name.empty() && name.back() == '.';
}

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

std::string Lowered(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

HostsParse ParseHosts(std::string_view text, std::string_view fileName, std::string_view domain) {
  HostsParse parse;
  HostTable& table = parse.table;
  std::vector<HostName> named;  // every address's first entry, in the file's order
  std::size_t lineNumber = 0;
  auto fail = [&](const std::string& reason) {
    parse.error = "Error: " + std::string(fileName) + ":" + std::to_string(lineNumber) + ": " + reason;
    return parse;
  };
  for (std::size_t at = 0; at < text.size();) {
    ++lineNumber;
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    line = line.substr(0, line.find('#'));
    std::vector<std::string_view> fields;
    for (std::size_t i = 0; i < line.size();) {
      const std::size_t start = line.find_first_not_of(" \t\r", i);
      if (start == std::string_view::npos) break;
      const std::size_t stop = std::min(line.find_first_of(" \t\r", start), line.size());
      fields.push_back(line.substr(start, stop - start));
      i = stop;
    }
    if (fields.empty()) continue;
    const std::optional<Ipv4Value> address = ParseStrictDottedQuad(fields[0]);
    if (!address && !IsIpv6(fields[0])) return fail("not an IPv4 or IPv6 address: " + std::string(fields[0]));
    if (fields.size() == 1) return fail("an address and no name");
    const bool inBlocks = address && PrivateBlockOf(*address);
    for (std::size_t i = 1; i < fields.size(); ++i) {
      std::string name = Lowered(fields[i]);
      if (!name.empty() && name.back() == '.') name.pop_back();
      // A name without a dot is one of the private domain's.
      const bool relative = name.find('.') == std::string::npos;
      name += '.';
      if (relative) name.append(domain);
      if (name.size() > 254 || !HasHostNameLabels(name)) return fail("not a host name: " + std::string(fields[i]));
      if (!inBlocks) continue;
      if (i == 1) named.push_back({*address, name});
      const bool inDomain = name == domain || (name.size() > domain.size() && name[name.size() - domain.size() - 1] == '.' &&
                                               name.compare(name.size() - domain.size(), domain.size(), domain) == 0);
      if (inDomain) table.forward.push_back({*address, std::move(name)});
    }
    if (!inBlocks) ++table.skipped;
  }
  // The first entry of an address names it, as the C library's lookup does.
  auto u = [](Ipv4Value v) { return static_cast<std::uint32_t>(v); };
  std::stable_sort(named.begin(), named.end(), [&](const HostName& a, const HostName& b) { return u(a.address) < u(b.address); });
  named.erase(std::unique(named.begin(), named.end(), [](const HostName& a, const HostName& b) { return a.address == b.address; }),
              named.end());
  table.names = std::move(named);
  // Each A record once, where it first stands.
  std::vector<std::uint32_t> order(table.forward.size());
  std::iota(order.begin(), order.end(), 0u);
  auto key = [&](std::uint32_t i) { return std::pair(std::string_view(table.forward[i].name), u(table.forward[i].address)); };
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
  std::vector<bool> repeated(table.forward.size());
  for (std::size_t i = 1; i < order.size(); ++i) repeated[order[i]] = key(order[i]) == key(order[i - 1]);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < table.forward.size(); ++i)
    if (!repeated[i] && kept++ != i) table.forward[kept - 1] = std::move(table.forward[i]);
  table.forward.resize(kept);
  return parse;
}

const std::string* HostNameOf(Ipv4Value address) {
  auto u = [](Ipv4Value v) { return static_cast<std::uint32_t>(v); };
  auto it = std::lower_bound(Hosts.names.begin(), Hosts.names.end(), u(address),
                             [&](const HostName& h, std::uint32_t a) { return u(h.address) < a; });
  return it != Hosts.names.end() && it->address == address ? &it->name : nullptr;
}
