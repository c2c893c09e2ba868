#include "inputs/records.h"

#include <algorithm>
#include <map>
#include <set>

#include "inputs/text_lines.h"
#include "output/console.h"
#include "zones/address.h"
#include "zones/names.h"

namespace {

constexpr std::int64_t kLargestTtl = 2147483647;  // RFC 2181

struct Token {
  std::string_view text;
  bool quoted = false;  // text is what stands between the quotes, escapes and all
};

// A record read, before the checks that need every line.
struct Record {
  std::string owner;
  std::string type;
  std::int64_t ttl = -1;
  std::string data;
  std::string target;  // the name that MX, NS, SRV and CNAME point at
  const RecordsFile* file = nullptr;
  std::size_t line = 0;
};

std::string Where(const Record& r) { return Shown(r.file->name) + ":" + std::to_string(r.line); }

// The words of a line; a ";" outside quotes ends it. The reason when the
// line cannot be taken apart.
std::optional<std::string> Tokens(std::string_view line, std::vector<Token>& tokens) {
  tokens.clear();
  for (std::size_t at = 0; at < line.size();) {
    const char c = line[at];
    if (c == ' ' || c == '\t') {
      ++at;
    } else if (c == ';') {
      break;
    } else if (c == '"') {
      std::size_t end = at + 1;
      while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
      if (end >= line.size()) return "an unbalanced quote";
      tokens.push_back({line.substr(at + 1, end - at - 1), true});
      at = end + 1;
    } else if (c == '(' || c == ')') {
      return "a parenthesis: write each record on one line";
    } else {
      std::size_t end = at;
      while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != ';') {
        if (line[end] == '"' || line[end] == '(' || line[end] == ')')
          return "a quote or parenthesis inside the word " + Shown(line.substr(at, end - at + 1));
        ++end;
      }
      tokens.push_back({line.substr(at, end - at), false});
      at = end;
    }
  }
  return std::nullopt;
}


// A name of a line made absolute and lower case; "@" is the domain. The
// reason when it cannot be one.
std::optional<std::string> AbsoluteName(std::string_view given, std::string_view domain, std::string& name) {
  if (given == "@") {
    name.assign(domain);
    return std::nullopt;
  }
  if (given == ".") {
    name = ".";
    return std::nullopt;
  }
  name.assign(given);
  LowerCase(name);
  if (name.back() != '.') name.append(".").append(domain);
  if (name.size() > 254)
    return "the name " + Shown(given) + " is too long: " + std::to_string(name.size()) +
           " characters with its final dot, and a name has at most 254";
  std::size_t label = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '.') {
      if (label == 0) return "the name " + Shown(given) + " has an empty label";
      label = 0;
    } else if (++label > 63) {
      return "the name " + Shown(given) + " has a label longer than 63 characters";
    } else if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) {
      if (c == '*') return "the name " + Shown(given) + " holds a wildcard, which would answer for unnamed addresses' names";
      return "the name " + Shown(given) + " holds \"" + Shown(std::string(1, c)) + "\", which no name here may hold";
    }
  }
  return std::nullopt;
}

// A TXT string as every server reads it: printable ASCII as it is, "
// and \ escaped, every other byte as \DDD. The reason when it is not one.
std::optional<std::string> TxtString(std::string_view quoted, std::string& out) {
  std::string bytes;
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] != '\\') {
      bytes += quoted[i];
      continue;
    }
    if (i + 1 >= quoted.size()) return "a string that ends in a lone backslash";
    if (quoted[i + 1] >= '0' && quoted[i + 1] <= '9') {
      const bool digits = i + 3 < quoted.size() && std::all_of(quoted.begin() + static_cast<std::ptrdiff_t>(i + 1),
                                                                quoted.begin() + static_cast<std::ptrdiff_t>(i + 4),
                                                                [](char c) { return c >= '0' && c <= '9'; });
      const int value = digits ? (quoted[i + 1] - '0') * 100 + (quoted[i + 2] - '0') * 10 + (quoted[i + 3] - '0') : 256;
      if (value > 255) return "\\" + Shown(quoted.substr(i + 1, 3)) + ", which is no \\DDD byte from 000 to 255";
      bytes += static_cast<char>(value);
      i += 3;
    } else {
      bytes += quoted[++i];
    }
  }
  if (bytes.size() > 255) return "a string of " + std::to_string(bytes.size()) + " bytes, and a TXT string holds at most 255";
  out += '"';
  for (unsigned char b : bytes) {
    if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b >= 32 && b < 127) {
      out += static_cast<char>(b);
    } else {
      char digits[5] = {'\\', static_cast<char>('0' + b / 100), static_cast<char>('0' + b / 10 % 10),
                        static_cast<char>('0' + b % 10), 0};
      out += digits;
    }
  }
  out += '"';
  return std::nullopt;
}

// A target of MX, NS or SRV: a host name, or "." (no host) where allowed.
std::optional<std::string> HostTarget(std::string_view given, std::string_view domain, bool rootAllowed,
                                      std::string& name) {
  if (std::optional<std::string> reason = AbsoluteName(given, domain, name)) return reason;
  if (name == ".") {
    if (rootAllowed) return std::nullopt;
    return "\".\" is no name server";
  }
  if (!HasHostNameLabels(name)) return "the target " + Shown(given) + " is not a host name (letters, digits and -)";
  return std::nullopt;
}

// The data of a record of an accepted type, written as every server reads
// it; the reason when it is not.
std::optional<std::string> Data(Record& r, const std::vector<Token>& words, std::string_view domain) {
  auto count = [&](std::size_t n, const char* form) -> std::optional<std::string> {
    if (words.size() == n && std::none_of(words.begin(), words.end(), [](const Token& t) { return t.quoted; }))
      return std::nullopt;
    return r.type + " takes " + form;
  };
  auto port = [&](std::string_view text, const char* what) -> std::optional<std::string> {
    if (ParseWholeNumber(text, 65535)) return std::nullopt;
    return std::string(what) + " " + Shown(text) + " is not a number from 0 to 65535";
  };
  if (r.type == "A") {
    if (auto e = count(1, "an address a.b.c.d")) return e;
    const std::optional<Ipv4Value> a = ParseStrictDottedQuad(words[0].text);
    if (!a) return Shown(words[0].text) + " is not an IPv4 address a.b.c.d (0 to 255 each, no leading zero)";
    r.data = FormatDottedQuad(*a);
  } else if (r.type == "AAAA") {
    if (auto e = count(1, "an IPv6 address")) return e;
    const std::optional<Ipv6Value> a = words[0].text.find('%') == std::string_view::npos ? ParseIpv6(words[0].text) : std::nullopt;
    if (!a) return Shown(words[0].text) + " is not an IPv6 address";
    r.data = FormatIpv6(*a);
  } else if (r.type == "CNAME") {
    if (auto e = count(1, "one name")) return e;
    if (auto e = AbsoluteName(words[0].text, domain, r.target)) return e;
    if (r.target == ".") return "a CNAME to \".\" names nothing";
    r.data = r.target;
  } else if (r.type == "NS") {
    if (auto e = count(1, "one name server")) return e;
    if (auto e = HostTarget(words[0].text, domain, false, r.target)) return e;
    r.data = r.target;
  } else if (r.type == "MX") {
    if (auto e = count(2, "a preference and a host")) return e;
    if (auto e = port(words[0].text, "the preference")) return e;
    if (auto e = HostTarget(words[1].text, domain, true, r.target)) return e;
    r.data = std::string(words[0].text) + " " + r.target;
  } else if (r.type == "SRV") {
    if (auto e = count(4, "a priority, a weight, a port and a host")) return e;
    if (auto e = port(words[0].text, "the priority")) return e;
    if (auto e = port(words[1].text, "the weight")) return e;
    if (auto e = port(words[2].text, "the port")) return e;
    if (auto e = HostTarget(words[3].text, domain, true, r.target)) return e;
    r.data = std::string(words[0].text) + " " + std::string(words[1].text) + " " + std::string(words[2].text) + " " + r.target;
  } else {  // TXT
    if (words.empty()) return "TXT takes one or more quoted strings";
    for (const Token& t : words) {
      if (!t.quoted) return "TXT takes quoted strings, not " + Shown(t.text);
      if (!r.data.empty()) r.data += ' ';
      if (auto e = TxtString(t.text, r.data)) return e;
    }
  }
  return std::nullopt;
}

bool IsAddressType(std::string_view type) { return type == "A" || type == "AAAA"; }

}  // namespace

RecordsParse ParseRecords(const std::vector<RecordsFile>& files, const RecordsContext& context) {
  RecordsParse parse;
  const std::string_view domain = context.domain;
  std::vector<Record> records;
  std::vector<Token> tokens;
  for (const RecordsFile& file : files) {
    std::string_view text = file.text;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // as Notepad writes
    std::int64_t fileTtl = -1;
    std::string previousOwner;
    std::size_t lineNumber = 0;
    std::size_t count = 0;
    auto fail = [&](const std::string& reason) {
      parse.error = "Error: " + Shown(file.name) + ":" + std::to_string(lineNumber) + ": " + reason;
      parse.lines.clear();
      return parse;
    };
    for (std::size_t at = 0; at < text.size();) {
      ++lineNumber;
      const std::string_view line = NextLine(text, at);
      if (std::optional<std::string> e = Tokens(line, tokens)) return fail(*e);
      if (tokens.empty()) continue;
      const bool continued = line[0] == ' ' || line[0] == '\t';
      std::size_t i = 0;
      if (!continued && !tokens[0].quoted && tokens[0].text[0] == '$') {
        std::string directive(tokens[0].text);
        UpperCase(directive);
        if (directive == "$TTL") {
          if (tokens.size() != 2 || tokens[1].quoted) return fail("$TTL takes a number of seconds");
          const std::optional<std::int64_t> n = ParseWholeNumber(tokens[1].text, kLargestTtl);
          if (!n) return fail("$TTL " + Shown(tokens[1].text) + " is not a number of seconds from 0 to 2147483647");
          fileTtl = *n;
          continue;
        }
        if (directive == "$ORIGIN") return fail("$ORIGIN: every name here is relative to the private domain, or absolute");
        if (directive == "$INCLUDE") return fail("$INCLUDE: give the file its own --records, so that it is checked too");
        if (directive == "$GENERATE") return fail("$GENERATE: not every server reads it; write the records out");
        return fail(Shown(directive) + " is no directive that every server reads");
      }
      Record r;
      r.file = &file;
      r.line = lineNumber;
      if (continued) {
        if (previousOwner.empty()) return fail("a line that begins with a blank goes on with the owner before it, and there is none");
        r.owner = previousOwner;
      } else {
        if (tokens[0].quoted) return fail("a quoted owner");
        if (std::optional<std::string> e = AbsoluteName(tokens[0].text, domain, r.owner)) return fail(*e);
        if (r.owner == "." || !InDomain(r.owner, domain))
          return fail("the owner " + Shown(tokens[0].text) + " lies outside " + std::string(domain));
        i = 1;
      }
      // [TTL] [IN] or [IN] [TTL], then the type.
      std::int64_t ttl = -1;
      bool classSeen = false;
      for (; i < tokens.size() && !tokens[i].quoted; ++i) {
        std::string word(tokens[i].text);
        UpperCase(word);
        if (word == "IN" && !classSeen) {
          classSeen = true;
        } else if (word == "CH" || word == "HS" || word == "CS") {
          return fail("the class " + Shown(tokens[i].text) + ": every record here is IN");
        } else if (ttl < 0 && !word.empty() && word[0] >= '0' && word[0] <= '9') {
          const std::optional<std::int64_t> n = ParseWholeNumber(word, kLargestTtl);
          if (!n) return fail("the TTL " + Shown(tokens[i].text) + " is not a number of seconds from 0 to 2147483647");
          ttl = *n;
        } else {
          break;
        }
      }
      if (i >= tokens.size() || tokens[i].quoted) return fail("no type");
      r.type = tokens[i].text;
      UpperCase(r.type);
      static constexpr std::string_view kTypes[] = {"A", "AAAA", "CNAME", "MX", "NS", "SRV", "TXT"};
      if (r.type == "SOA") return fail("SOA: the run writes the zone's own");
      if (std::find(std::begin(kTypes), std::end(kTypes), r.type) == std::end(kTypes))
        return fail("the type " + Shown(tokens[i].text) + " is not one that every server loads alike; accepted: " +
                    std::string(AcceptedRecordTypes));
      const std::vector<Token> words(tokens.begin() + static_cast<std::ptrdiff_t>(i + 1), tokens.end());
      if (std::optional<std::string> e = Data(r, words, domain)) return fail(*e);
      r.ttl = ttl >= 0 ? ttl : fileTtl >= 0 ? fileTtl : context.ttl;
      previousOwner = r.owner;
      records.push_back(std::move(r));
      ++count;
    }
    parse.counts.push_back(count);
  }

  // The checks that need every line, and every name the run writes.
  auto fail = [&](const Record& r, const std::string& reason) {
    parse.error = "Error: " + Where(r) + ": " + reason;
    parse.lines.clear();
    return parse;
  };
  std::set<std::string, std::less<>> hostsNames;
  if (context.hosts) {
    for (const HostName& h : context.hosts->forward) hostsNames.emplace(context.hosts->NameOf(h));
    for (const HostName6& h : context.hosts->forward6) hostsNames.emplace(context.hosts->NameOf(h));
  }
  const std::string ns = "ns." + std::string(domain);
  // Delegations first: what lies under them is the child zone's.
  std::map<std::string, const Record*> cuts;
  for (const Record& r : records) {
    if (r.type != "NS") continue;
    if (r.owner == domain) return fail(r, "NS at the domain itself: the run writes the zone's own");
    cuts.emplace(r.owner, &r);
    for (const std::string& h : hostsNames)
      if (InDomain(h, r.owner)) return fail(r, "a delegation of " + r.owner + ", under which the hosts file names " + h);
  }
  auto cutAbove = [&](const std::string& name) -> const Record* {
    for (const auto& [cut, record] : cuts)
      if (InDomain(name, cut)) return record;
    return nullptr;
  };
  std::map<std::string, const Record*, std::less<>> firstAt, cnameAt;
  std::set<std::string, std::less<>> addressed;
  for (const Record& r : records) {
    const MadeUpName made = MadeUpNameOf(r.owner, domain);
    if (made.wildcard) return fail(r, r.owner + " is the wildcard's name, which every unnamed private address answers");
    if (made.generic)
      return fail(r, r.owner + " is the generic name of " + FormatDottedQuad(*made.generic) + ", which the run writes");
    if ((IsAddressType(r.type) || r.type == "MX") && !HasHostNameLabels(r.owner))
      return fail(r, "the owner " + r.owner + " of " + r.type + " is not a host name (letters, digits and -)");
    if (IsAddressType(r.type) && hostsNames.count(r.owner))
      return fail(r, r.owner + " is a hosts name: the hosts file gives its addresses");
    if (const Record* cut = cutAbove(r.owner); cut && !(r.type == "NS" && r.owner == cut->owner) &&
                                               !(IsAddressType(r.type) && r.owner != cut->owner))
      return fail(r, r.owner + " lies in " + cut->owner + ", delegated at " + Where(*cut) + ": only NS there and glue A or AAAA below");
    if (r.type == "CNAME") {
      if (r.owner == domain) return fail(r, "a CNAME at the domain itself, which holds the zone's SOA and NS");
      if (r.owner == ns) return fail(r, "a CNAME at " + ns + ", the zone's name server");
      if (hostsNames.count(r.owner)) return fail(r, "a CNAME at " + r.owner + ", which the hosts file names");
      if (auto it = cnameAt.find(r.owner); it != cnameAt.end())
        return fail(r, "a second CNAME at " + r.owner + ", the first at " + Where(*it->second));
      if (auto it = firstAt.find(r.owner); it != firstAt.end())
        return fail(r, "a CNAME at " + r.owner + ", which holds " + it->second->type + " at " + Where(*it->second));
      cnameAt.emplace(r.owner, &r);
    } else if (auto it = cnameAt.find(r.owner); it != cnameAt.end()) {
      return fail(r, r.owner + " holds a CNAME at " + Where(*it->second) + ", and nothing else may stand beside it");
    }
    firstAt.emplace(r.owner, &r);
    if (IsAddressType(r.type)) addressed.insert(r.owner);
  }
  for (const Record& r : records) {
    if (r.type == "CNAME" || r.target.empty() || r.target == ".") continue;
    if (cnameAt.count(r.target)) return fail(r, "the target " + r.target + " of " + r.type + " is an alias (a CNAME)");
    // An in-zone name server with no address makes BIND refuse the zone.
    if (r.type == "NS" && InDomain(r.target, domain) && !addressed.count(r.target) && !hostsNames.count(r.target))
      return fail(r, "the name server " + r.target + " has no A or AAAA record here");
  }
  // Unbound gives a record without a TTL the TTL of the one before it: those
  // without come first, so that every server gives them its own default.
  std::stable_partition(records.begin(), records.end(), [](const Record& r) { return r.ttl < 0; });
  for (const Record& r : records) {
    std::string line = r.owner;
    if (r.ttl >= 0) line += " " + std::to_string(r.ttl);
    line += " IN " + r.type + " " + r.data;
    parse.lines.push_back(std::move(line));
  }
  return parse;
}
