#include "inputs/leases.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "inputs/text_lines.h"
#include "output/console.h"
#include "zones/names.h"
#include "zones/zone_table.h"

namespace {

// A lease read, active or not: the last entry of an address decides.
struct Entry {
  bool ipv6 = false;
  Ipv4Value address4 = 0;
  Ipv6Value address6;
  bool active = false;
  std::string name;
  std::int64_t newest = 0;
};

// Entries in the order read; the last of each address is kept at the end.
struct Entries {
  std::vector<Entry> all;
  void Add(Entry e) { all.push_back(std::move(e)); }
};

std::optional<std::int64_t> Digits(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

// Days since 1970-01-01 of a civil date (Howard Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// "YYYY/MM/DD" and "HH:MM:SS", UTC, as dhcpd writes them.
std::optional<std::int64_t> IscTime(std::string_view date, std::string_view time) {
  if (date.size() != 10 || time.size() != 8 || date[4] != '/' || date[7] != '/' || time[2] != ':' || time[5] != ':')
    return std::nullopt;
  auto y = Digits(date.substr(0, 4)), mo = Digits(date.substr(5, 2)), d = Digits(date.substr(8, 2));
  auto h = Digits(time.substr(0, 2)), mi = Digits(time.substr(3, 2)), s = Digits(time.substr(6, 2));
  if (!y || !mo || !d || !h || !mi || !s || *mo < 1 || *mo > 12 || *d < 1 || *d > 31 || *h > 23 || *mi > 59 || *s > 60)
    return std::nullopt;
  return DaysFromCivil(*y, static_cast<unsigned>(*mo), static_cast<unsigned>(*d)) * 86400 + *h * 3600 + *mi * 60 + *s;
}

// The words of dhcpd.leases, one at a time: strings (their escapes undone
// only when asked), braces and semicolons as words of their own; "#"
// comments dropped.
struct IscWord {
  std::string_view text;  // a string's bytes between its quotes, escapes and all
  bool quoted = false;
  std::size_t line = 0;
  bool Is(std::string_view w) const { return !quoted && text == w; }
};

class IscWords {
 public:
  explicit IscWords(std::string_view text) : text_(text) {}
  // False at the end; cut when a string was still open there.
  bool Next(IscWord& w) {
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (c == '\n') {
        ++line_, ++at_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++at_;
      } else if (c == '#') {
        while (at_ < text_.size() && text_[at_] != '\n') ++at_;
      } else if (c == '{' || c == '}' || c == ';') {
        w = {text_.substr(at_++, 1), false, line_};
        return true;
      } else if (c == '"') {
        const std::size_t start = ++at_;
        const std::size_t line = line_;
        while (at_ < text_.size() && text_[at_] != '"') {
          if (text_[at_] == '\n') ++line_;
          at_ += text_[at_] == '\\' ? 2 : 1;
        }
        if (at_ >= text_.size()) return cut = true, false;
        w = {text_.substr(start, at_++ - start), true, line};
        return true;
      } else {
        const std::size_t start = at_;
        while (at_ < text_.size() && std::string_view(" \t\r\n{};\"#").find(text_[at_]) == std::string_view::npos) ++at_;
        w = {text_.substr(start, at_ - start), false, line_};
        return true;
      }
    }
    return false;
  }
  bool cut = false;

 private:
  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t line_ = 1;
};

// A string's escapes undone: \ooo octal, or the next byte as it is.
std::string Unescaped(std::string_view quoted) {
  std::string out;
  for (std::size_t at = 0; at < quoted.size();) {
    if (quoted[at] != '\\' || at + 1 >= quoted.size()) {
      out += quoted[at++];
      continue;
    }
    std::size_t n = 0;
    unsigned value = 0;
    while (n < 3 && at + 1 + n < quoted.size() && quoted[at + 1 + n] >= '0' && quoted[at + 1 + n] <= '7')
      value = value * 8 + static_cast<unsigned>(quoted[at + 1 + n++] - '0');
    out += n > 0 ? static_cast<char>(value & 0xFF) : quoted[at + 1];
    at += n > 0 ? 1 + n : 2;
  }
  return out;
}

// ISC dhcpd: "lease ADDRESS { ... }" blocks, the last of an address winning;
// every other statement or block passed over.
std::optional<std::string> ReadIsc(std::string_view text, std::int64_t now, Entries& entries, bool& cut,
                                   std::size_t& errorLine) {
  IscWords words(text);
  IscWord w;
  std::vector<IscWord> st;  // one statement's words, its ";" left out
  // The rest of a statement or block that began with `first`; false when
  // the text ends first (cut short).
  auto skip = [&](IscWord first) {
    int depth = 0;
    for (IscWord x = first;; ) {
      if (x.Is("{")) ++depth;
      if (x.Is("}") && --depth <= 0) return true;
      if (x.Is(";") && depth == 0) return true;
      if (!words.Next(x)) return false;
    }
  };
  auto fail = [&](std::size_t line, const std::string& reason) {
    errorLine = line;
    return std::optional<std::string>(reason);
  };
  while (words.Next(w)) {
    if (w.Is("}")) return fail(w.line, "a \"}\" that closes nothing");
    if (!w.Is("lease")) {
      if (!skip(w)) return cut = true, std::nullopt;
      continue;
    }
    IscWord address, brace;
    if (!words.Next(address) || !words.Next(brace)) return cut = true, std::nullopt;
    const std::optional<Ipv4Value> a = ParseStrictDottedQuad(address.text);
    if (!a || !brace.Is("{")) return fail(w.line, "a lease that is not \"lease a.b.c.d {\"");
    Entry e;
    e.address4 = *a;
    std::optional<std::int64_t> starts, ends;
    bool never = false, closed = false;
    std::string_view state;
    while (!closed) {
      st.clear();
      IscWord x;
      bool more = false;
      while ((more = words.Next(x))) {
        if (x.Is("}") && st.empty()) {
          closed = true;
          break;
        }
        if (x.Is("{")) {
          more = skip(x);  // a block inside the lease: passed over
          break;
        }
        if (x.Is(";")) break;
        st.push_back(x);
      }
      if (!more) break;
      if (st.empty()) continue;
      const std::string_view head = st[0].text;
      if ((head == "starts" || head == "ends") && st.size() >= 2) {
        if (st[1].text == "never") {
          never = never || head == "ends";
          continue;
        }
        std::optional<std::int64_t> t;
        if (st[1].text == "epoch" && st.size() >= 3) t = Digits(st[2].text);
        else if (st.size() >= 4) t = IscTime(st[2].text, st[3].text);
        if (!t) return fail(st[0].line, "a time that is not \"W YYYY/MM/DD HH:MM:SS\"");
        (head == "starts" ? starts : ends) = t;
      } else if (head == "binding" && st.size() >= 3 && st[1].text == "state") {
        state = st[2].text;
      } else if (head == "client-hostname" && st.size() >= 2 && st[1].quoted) {
        e.name = Unescaped(st[1].text);
      }
    }
    if (!closed) return cut = true, std::nullopt;
    e.active = state == "active" && (never || (ends && *ends > now));
    e.newest = starts.value_or(ends.value_or(0));
    entries.Add(std::move(e));
  }
  if (words.cut) cut = true;
  return std::nullopt;
}

// A CSV field of Kea's: its commas written "&#x2c".
std::string KeaField(std::string_view field) {
  std::string out;
  for (std::size_t at = 0; at < field.size();) {
    if (field.substr(at, 5) == "&#x2c") {
      out += ',';
      at += 5;
    } else {
      out += field[at++];
    }
  }
  return out;
}

std::vector<std::string_view> SplitCommas(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t at = 0;;) {
    const std::size_t comma = line.find(',', at);
    fields.push_back(line.substr(at, comma - at));
    if (comma == std::string_view::npos) return fields;
    at = comma + 1;
  }
}

// Kea's memfile: a header row names the columns (they grew across
// versions); a row a change; the last row of an address is its lease.
// Header rows of the cleanup's files stand between them.
std::optional<std::string> ReadKea(std::string_view text, std::int64_t now, Entries& entries, bool& cut,
                                   std::size_t& errorLine) {
  std::map<std::string, std::size_t, std::less<>> column;
  std::size_t lineNumber = 0;
  for (std::size_t at = 0; at < text.size();) {
    ++lineNumber;
    bool ended = false;
    const std::string_view line = NextLine(text, at, &ended);
    if (line.empty()) continue;
    const std::vector<std::string_view> fields = SplitCommas(line);
    if (fields[0] == "address") {
      column.clear();
      for (std::size_t f = 0; f < fields.size(); ++f) column.emplace(fields[f], f);
      continue;
    }
    auto field = [&](std::string_view name) -> std::optional<std::string_view> {
      const auto it = column.find(name);
      if (it == column.end() || it->second >= fields.size()) return std::nullopt;
      return fields[it->second];
    };
    const bool v6 = column.count("duid") != 0;
    const auto address = field("address"), lifetime = field("valid_lifetime"), expire = field("expire");
    const auto state = field("state"), hostname = field("hostname");
    if (!address || !lifetime || !expire || !state || !hostname || fields.size() < column.size()) {
      if (!ended) return cut = true, std::nullopt;  // a row still being written
      errorLine = lineNumber;
      return "a row of " + std::to_string(fields.size()) + " fields, where the header names " +
             std::to_string(column.size());
    }
    Entry e;
    e.ipv6 = v6;
    const std::optional<Ipv4Value> a4 = v6 ? std::nullopt : ParseStrictDottedQuad(*address);
    const std::optional<Ipv6Value> a6 = v6 ? ParseIpv6(*address) : std::nullopt;
    const auto valid = Digits(*lifetime), expiry = Digits(*expire), st = Digits(*state);
    if ((!a4 && !a6) || !valid || !expiry || !st) {
      errorLine = lineNumber;
      return "a row whose address, valid_lifetime, expire or state cannot be read";
    }
    // Delegated prefixes name no host.
    if (const auto type = field("lease_type"); v6 && type && *type != "0") continue;
    if (a4) e.address4 = *a4;
    if (a6) e.address6 = *a6;
    e.active = *st == 0 && *valid > 0 && *expiry > now;
    e.name = KeaField(*hostname);
    e.newest = *expiry - *valid;
    entries.Add(std::move(e));
  }
  return std::nullopt;
}

// dnsmasq: "EXPIRY MAC ADDRESS NAME CLIENT-ID", "*" for none and 0 for no
// expiry; after a "duid" line, "EXPIRY IAID ADDRESS NAME DUID".
std::optional<std::string> ReadDnsmasq(std::string_view text, std::int64_t now, Entries& entries, bool& cut,
                                       std::size_t& errorLine) {
  std::size_t lineNumber = 0;
  for (std::size_t at = 0; at < text.size();) {
    ++lineNumber;
    bool ended = false;
    const std::string_view line = NextLine(text, at, &ended);
    std::vector<std::string_view> fields;
    for (std::size_t f = 0; f < line.size();) {
      while (f < line.size() && (line[f] == ' ' || line[f] == '\r')) ++f;
      const std::size_t start = f;
      while (f < line.size() && line[f] != ' ' && line[f] != '\r') ++f;
      if (f > start) fields.push_back(line.substr(start, f - start));
    }
    if (fields.empty() || fields[0] == "duid") continue;
    const auto expiry = Digits(fields[0]);
    const std::optional<Ipv4Value> a4 = fields.size() >= 3 ? ParseStrictDottedQuad(fields[2]) : std::nullopt;
    const std::optional<Ipv6Value> a6 = fields.size() >= 3 && !a4 ? ParseIpv6(fields[2]) : std::nullopt;
    if (fields.size() < 4 || !expiry || (!a4 && !a6)) {
      if (!ended) return cut = true, std::nullopt;
      errorLine = lineNumber;
      return "not a lease line \"EXPIRY MAC ADDRESS NAME CLIENT-ID\"";
    }
    Entry e;
    e.ipv6 = !a4;
    if (a4) e.address4 = *a4;
    if (a6) e.address6 = *a6;
    e.active = *expiry == 0 || *expiry > now;
    if (fields[3] != "*") e.name = fields[3];
    e.newest = *expiry;
    entries.Add(std::move(e));
  }
  return std::nullopt;
}

enum class Format { None, Isc, Kea, Dnsmasq, Empty };

Format FormatOf(std::string_view text) {
  std::size_t at = 0;
  // dhcpd's own comment lines come first; dnsmasq's and Kea's files have none.
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) ++at;
    if (at < text.size() && text[at] == '#') {
      at = std::min(text.find('\n', at), text.size());
      continue;
    }
    break;
  }
  if (at >= text.size()) return Format::Empty;
  const std::string_view rest = text.substr(at);
  const std::string_view first = rest.substr(0, rest.find_first_of(" \t\r\n{;,"));
  for (std::string_view w : {"lease", "server-duid", "authoring-byte-order", "failover", "ia-na", "ia-ta", "ia-pd"})
    if (first == w) return Format::Isc;
  if (rest.substr(0, 8) == "address," && rest.find("valid_lifetime") != std::string_view::npos) return Format::Kea;
  const std::size_t space = rest.find(' ');
  if (first == "duid" || (Digits(rest.substr(0, space)) && space != std::string_view::npos)) return Format::Dnsmasq;
  return Format::None;
}

}  // namespace

LeasesRead ReadLeases(const LeasesFile& file, std::int64_t now) {
  LeasesRead read;
  Entries entries;
  bool cut = false;
  std::size_t errorLine = 0;
  std::optional<std::string> error;
  switch (FormatOf(file.text)) {
    case Format::None:
      read.error = "Error: " + Shown(file.name) + ": not a lease file of ISC dhcpd, Kea or dnsmasq";
      return read;
    case Format::Empty: return read;
    case Format::Isc: error = ReadIsc(file.text, now, entries, cut, errorLine); break;
    case Format::Kea: error = ReadKea(file.text, now, entries, cut, errorLine); break;
    case Format::Dnsmasq: error = ReadDnsmasq(file.text, now, entries, cut, errorLine); break;
  }
  if (error) {
    read.error = "Error: " + Shown(file.name) + ":" + std::to_string(errorLine) + ": " + *error;
    return read;
  }
  if (cut) read.lines.push_back(" + Ignored the last entry of " + Shown(file.name) + ": cut short, as a daemon writes it");
  auto keep = [&](Entry& e) {
    if (!e.active || e.name.empty()) return;
    LowerCase(e.name);
    read.leases.push_back({e.ipv6, e.address4, e.address6, std::move(e.name), e.newest});
  };
  // The last entry of each address: its places sorted by address, then by
  // the order read (the entries themselves stay where they are).
  const std::vector<Entry>& all = entries.all;
  std::vector<std::uint32_t> order(all.size());
  for (std::uint32_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const Entry &x = all[a], &y = all[b];
    if (x.ipv6 != y.ipv6) return y.ipv6;
    if (!x.ipv6 && x.address4 != y.address4) return Unsigned(x.address4) < Unsigned(y.address4);
    if (x.ipv6 && x.address6 != y.address6) return x.address6 < y.address6;
    return a < b;
  });
  for (std::size_t k = 0; k < order.size(); ++k) {
    const Entry& e = all[order[k]];
    const bool later = k + 1 < order.size() && all[order[k + 1]].ipv6 == e.ipv6 &&
                       (e.ipv6 ? all[order[k + 1]].address6 == e.address6 : all[order[k + 1]].address4 == e.address4);
    if (!later) keep(entries.all[order[k]]);
  }
  return read;
}

LeaseNames NameLeases(std::vector<Lease> leases, const HostTable& hosts, std::string_view domain, bool ipv6) {
  LeaseNames named;
  {
    // In address order: the places sorted, then each lease moved once.
    std::vector<std::uint32_t> order(leases.size());
    for (std::uint32_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
      const Lease &a = leases[x], &b = leases[y];
      if (a.ipv6 != b.ipv6) return b.ipv6;
      return a.ipv6 ? a.address6 < b.address6 : Unsigned(a.address4) < Unsigned(b.address4);
    });
    std::vector<Lease> sorted;
    sorted.reserve(leases.size());
    for (std::uint32_t k : order) sorted.push_back(std::move(leases[k]));
    leases = std::move(sorted);
  }
  // Why a lease was left out, in the order the lines are said.
  static constexpr std::string_view kReasons[] = {
      "not a host name", "outside the domain", "a name the run gives itself", "named by a hosts file",
      "a name a newer lease holds", "IPv6 without --ipv6", "an address no host holds"};
  std::vector<std::vector<std::string>> skipped(std::size(kReasons));
  std::set<std::string, std::less<>> hostsNames;
  for (const auto* list : {&hosts.names, &hosts.forward})
    for (const HostName& h : *list) hostsNames.emplace(hosts.NameOf(h));
  for (const auto* list : {&hosts.names6, &hosts.forward6})
    for (const HostName6& h : *list) hostsNames.emplace(hosts.NameOf(h));
  auto shown = [](const Lease& l) {
    return (l.ipv6 ? FormatIpv6(l.address6) : FormatDottedQuad(l.address4)) + " " + Shown(l.name);
  };
  // Each lease's name made whole, or the reason it has none.
  std::vector<std::string> names(leases.size());
  std::vector<int> reason(leases.size(), -1);
  for (std::size_t i = 0; i < leases.size(); ++i) {
    const Lease& l = leases[i];
    std::string name = l.name;
    if (!name.empty() && name.back() == '.') name.pop_back();
    const bool single = name.find('.') == std::string::npos;
    name += '.';
    if (single) name.append(domain);
    const std::string_view last = std::string_view(name).substr(name.find_last_of('.', name.size() - 2) + 1);
    const bool numeric = std::all_of(last.begin(), last.end() - 1, [](char c) { return c >= '0' && c <= '9'; });
    if (name.size() > 254 || !HasHostNameLabels(name) || numeric) reason[i] = 0;
    else if (!InDomain(name, domain) || name == domain) reason[i] = 1;
    else if (const MadeUpName made = MadeUpNameOf(name, domain); made.wildcard || made.generic) reason[i] = 2;
    else if (hostsNames.count(name)) reason[i] = 3;
    else if (l.ipv6 && !ipv6) reason[i] = 5;
    names[i] = std::move(name);
  }
  // Addresses that hosts lines name, and addresses no host holds.
  for (std::size_t i = 0; i < leases.size(); ++i) {
    if (reason[i] >= 0) continue;
    const Lease& l = leases[i];
    if (!l.ipv6) {
      const auto within = HostNamesWithin(hosts, {l.address4, l.address4});
      if (!within.empty()) reason[i] = 3;
      const unsigned first = Octet(l.address4, 0);
      if (first == 0 || first == 127 || first >= 224 || (first == 169 && Octet(l.address4, 1) == 254)) reason[i] = 6;
    } else {
      if (std::any_of(hosts.names6.begin(), hosts.names6.end(), [&](const HostName6& h) { return h.address == l.address6; }))
        reason[i] = 3;
      const auto& b = l.address6.bytes;
      if (b[0] == 0xFF || (b[0] == 0xFE && (b[1] & 0xC0) == 0x80) || std::all_of(b.begin(), b.begin() + 10, [](auto x) { return x == 0; }))
        reason[i] = 6;
    }
  }
  // A name two clients share: the newer keeps it (a host's IPv4 and IPv6
  // leases are one host's). Sorted by name, family and age, the newest of
  // each name first.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < leases.size(); ++i)
    if (reason[i] < 0) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::tuple(std::string_view(names[a]), leases[a].ipv6, -leases[a].newest) <
           std::tuple(std::string_view(names[b]), leases[b].ipv6, -leases[b].newest);
  });
  for (std::size_t k = 1; k < order.size(); ++k) {
    const std::size_t a = order[k - 1], b = order[k];
    if (names[a] == names[b] && leases[a].ipv6 == leases[b].ipv6) reason[b] = 4;
  }
  for (std::size_t i = 0; i < leases.size(); ++i) {
    if (reason[i] >= 0) {
      skipped[static_cast<std::size_t>(reason[i])].push_back(shown(leases[i]));
      continue;
    }
    const Lease& l = leases[i];
    named.hostsText += (l.ipv6 ? FormatIpv6(l.address6) : FormatDottedQuad(l.address4)) + " " + names[i] + "\n";
  }
  for (std::size_t r = 0; r < skipped.size(); ++r) {
    const std::vector<std::string>& s = skipped[r];
    if (s.empty()) continue;
    std::string line = " + Skipped " + std::to_string(s.size()) + " leases (" + std::string(kReasons[r]) + "):";
    for (std::size_t k = 0; k < s.size() && k < 10; ++k) line += (k ? ", " : " ") + s[k];
    if (s.size() > 10) line += " and " + std::to_string(s.size() - 10) + " more";
    named.lines.push_back(std::move(line));
  }
  return named;
}
