#include "cli/command_line.h"

#include <algorithm>
#include <initializer_list>

#include "output/console.h"
#include "zones/names.h"
#include "zones/zone_table.h"

namespace {

constexpr std::string_view kToolText[] = {
    "This tool creates all of the DNS files required to fully host",
    "a complete reverse DNS for all of the RFC1918 private IP address",
    "blocks.",
    "",
    "Syntax: ZONQUIST [/<class>] <private_domain_name>",
    " The private domain must be a fully qualified Internet domain name",
    " to use for all of your private DNS activity. This should NOT be",
    " your public domain name!",
    "",
    "The class is a single letter /A, /B, or /C and limits the output",
    "to just the single class you are using. The other classes will",
    "have a much less detailed DNS listing.",
    "  /A = detail for 10.0.0.0/8",
    "  /B = detail for 172.16.0.0/12",
    "  /C = detail for 192.168.0.0/16",
    "",
    "Please read the enclosed documentation.",
};

}  // namespace

namespace {

// Whether one of the words, separated by blanks, stands in the text.
bool HasWord(std::string_view text, std::initializer_list<std::string_view> words) {
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = std::min(text.find(' ', start), text.size());
    for (std::string_view w : words)
      if (text.substr(start, end - start) == w) return true;
    start = end + 1;
  }
  return false;
}

// A "?" anywhere, or the word --help or -h.
bool WantsHelp(std::string_view commandText) {
  return commandText.find('?') != std::string_view::npos || HasWord(commandText, {"--help", "-h"});
}

bool WantsVersion(std::string_view commandText) { return HasWord(commandText, {"--version", "-V"}); }

// Names that would break the zone files: empty labels, characters that a
// master file reads otherwise, labels or names too long for DNS.
constexpr std::size_t kMaxName = MaxDomainLength;

// Whether a name is the tree's own or lies under it, in any case.
bool IsUnder(std::string_view name, std::string_view tree) {
  if (name.size() < tree.size()) return false;
  std::string tail(name.substr(name.size() - tree.size()));
  LowerCase(tail);
  if (tail != tree) return false;
  return name.size() == tree.size() || name[name.size() - tree.size() - 1] == '.';
}

// The private domain names hosts; a name under arpa. would declare reverse
// zones, this run's own under in-addr.arpa. or ip6.arpa., twice.
bool IsReverseName(std::string_view name) { return IsUnder(name, ArpaName); }

// Host names (RFC 952, 1123): every A owner and PTR target carries the
// domain, and servers that check names refuse anything else.
bool IsWellFormedName(std::string_view name) {
  return name.size() <= kMaxName && !IsReverseName(name) && HasHostNameLabels(name);
}

}  // namespace

// Each switch is cut out of the text and the text trimmed again; done in
// one pass, so that a tail of many thousand switches costs no more than its
// length. The text at any moment is settled[settledStart..] + rest[i..end).
SwitchScan ParseCommandLine(std::string commandText) {
  SwitchScan scan;
  const std::string& rest = commandText;
  std::size_t i = 0, end = rest.size();
  std::string settled;
  std::size_t settledStart = 0;
  for (std::size_t q; (q = rest.find('/', i)) != std::string::npos && q < end;) {
    settled.append(rest, i, q - i);
    std::string token = rest.substr(q, std::min<std::size_t>(2, end - q));
    UpperCase(token);
    if (token != "/A" && token != "/B" && token != "/C") {
      scan.accepted = false;
      scan.lines.push_back("Error: invalid command line switch.");
      i = q;
      break;
    }
    scan.detailClasses = token.substr(1);
    scan.lines.push_back(" + Including class " + scan.detailClasses + " block detail only");
    // Only a blank after the switch goes with it: a glued domain stays whole.
    i = std::min(end, q + (q + 2 < end && rest[q + 2] == ' ' ? 3 : 2));
    while (settledStart < settled.size() && settled[settledStart] == ' ') ++settledStart;
    if (settledStart == settled.size())
      while (i < end && rest[i] == ' ') ++i;
    while (end > i && rest[end - 1] == ' ') --end;
    if (i == end)
      while (settled.size() > settledStart && settled.back() == ' ') settled.pop_back();
  }
  scan.commandText = settled.substr(settledStart) + rest.substr(i, end - i);
  return scan;
}

namespace {

constexpr std::int64_t kLargestSerial = 4294967295;  // RFC 1982's 32 bits
constexpr std::int64_t kLargestTtl = 2147483647;     // RFC 2181

// One option's value read into the options, or the error line.
using OptionReader = std::optional<std::string> (*)(std::string_view value, std::int64_t runStart, ZoneOptions&);

std::optional<std::string> ReadSerial(std::string_view value, std::int64_t runStart, ZoneOptions& options) {
  std::optional<std::int64_t> n = ParseWholeNumber(value, kLargestSerial);
  if (value == "unixtime" || value == "next") {
    if (runStart < 1 || runStart > kLargestSerial)
      return "Error: --serial " + std::string(value) + ": the clock reads " + std::to_string(runStart) +
             ", not a serial from 1 to 4294967295";
    n = runStart;
  }
  if (!n || *n == 0)
    return "Error: --serial takes a number from 1 to 4294967295, unixtime or next, not \"" + Shown(value) + "\"";
  options.serial = static_cast<std::uint32_t>(*n);
  options.serialNext = value == "next";
  options.lines.push_back(options.serialNext ? " + Serial next: each changed zone one above its file's, the others kept"
                                             : " + Serial " + std::to_string(*n) + " in every zone");
  return std::nullopt;
}

std::optional<std::string> ReadCatalog(std::string_view value, std::int64_t, ZoneOptions& options) {
  std::string name(value);
  LowerCase(name);
  if (name.size() > 253 || !HasHostNameLabels(name) || IsReverseName(name))
    return "Error: --catalog takes a fully qualified name for the catalog zone (zones.invalid. for one), not \"" +
           Shown(value) + "\"";
  options.catalog = name;
  options.lines.push_back(" + Catalog zone " + name + " in " + std::string(CatalogZone.FileName));
  return std::nullopt;
}

std::optional<std::string> ReadTtl(std::string_view value, std::int64_t, ZoneOptions& options) {
  std::optional<std::int64_t> n = ParseWholeNumber(value, kLargestTtl);
  if (!n) return "Error: --ttl takes a number of seconds from 0 to 2147483647, not \"" + Shown(value) + "\"";
  options.ttl = *n;
  options.lines.push_back(" + TTL " + std::to_string(*n) + " on every record");
  return std::nullopt;
}

std::optional<std::string> ReadDetail(std::string_view value, std::int64_t, ZoneOptions& options) {
  if (value.find(':') != std::string_view::npos)
    return "Error: --detail: \"" + Shown(value) +
           "\" is an IPv6 prefix: IPv6 addresses get no generic names (2^120 cannot be written); name them in a "
           "hosts file and give --ipv6";
  PrefixParse prefix = ParsePrivatePrefix(value);
  if (!prefix.range) return "Error: --detail: \"" + Shown(value) + "\" " + prefix.reason;
  options.detail.push_back(*prefix.range);
  options.lines.push_back(" + Including detail for " + std::string(value));
  return std::nullopt;
}

std::optional<std::string> ReadHosts(std::string_view value, std::int64_t, ZoneOptions& options) {
  if (value.empty()) return "Error: --hosts needs a file name";
  options.hostsFiles.emplace_back(value);
  return std::nullopt;
}

std::optional<std::string> ReadRecords(std::string_view value, std::int64_t, ZoneOptions& options) {
  if (value.empty()) return "Error: --records needs a file name";
  options.recordsFiles.emplace_back(value);
  return std::nullopt;
}

std::optional<std::string> ReadLeases(std::string_view value, std::int64_t, ZoneOptions& options) {
  if (value.empty()) return "Error: --leases needs a file name";
  options.leasesFiles.emplace_back(value);
  return std::nullopt;
}

std::optional<std::string> ReadIpv6(std::string_view, std::int64_t, ZoneOptions& options) {
  options.ipv6 = true;
  options.lines.push_back(" + Including IPv6 unique local addresses (fd00::/8)");
  return std::nullopt;
}

// One line of an option's help: the form of its value and what it does;
// a line without a form goes on with the one before.
struct HelpLine {
  std::string_view form;
  std::string_view text;
};

struct Option {
  std::string_view name;
  OptionReader read;
  bool repeatable;
  HelpLine help[3];
  bool takesValue = true;
};
constexpr Option kOptions[] = {
    {"--serial", ReadSerial, false,
     {{"N", "every zone's SOA serial, 1 to 4294967295 (default 1)"},
      {"unixtime", "the run's start in seconds since 1970 (UTC)"},
      {"next", "one above each zone file's own; unchanged files kept"}}},
    {"--ttl", ReadTtl, false, {{"N", "the TTL of every record, 0 to 2147483647 seconds"}, {}}},
    {"--detail", ReadDetail, true,
     {{"a.b.c.d/n", "detail for this prefix too, or alone without a switch;"}, {"", "repeat it for more prefixes"}}},
    {"--hosts", ReadHosts, true,
     {{"FILE", "real hosts' names from FILE (as /etc/hosts), and detail"},
      {"", "for them only without a switch or --detail; repeatable"}}},
    {"--records", ReadRecords, true,
     {{"FILE", "records of your own (zone-file syntax), checked and"},
      {"", "written into rfc1918.nam; repeatable"}}},
    {"--leases", ReadLeases, true,
     {{"FILE", "the names DHCP clients gave, from a lease file of ISC"},
      {"", "dhcpd, Kea or dnsmasq, as a hosts file's; repeatable"}}},
    {"--catalog", ReadCatalog, false,
     {{"NAME", "a catalog zone NAME (RFC 9432) of every zone, for"}, {"", "secondaries; written to catalog.zone"}}},
    {"--ipv6", ReadIpv6, false,
     {{"", "IPv6 too: rfd.rev for fd00::/8, and AAAA records for the"}, {"", "hosts files' IPv6 names (no value)"}},
     false},
};
constexpr std::size_t kHelpColumn = 22;

const Option* OptionNamed(std::string_view name) {
  for (const Option& o : kOptions)
    if (o.name == name) return &o;
  return nullptr;
}

}  // namespace

std::vector<std::string> UsageText() {
  std::vector<std::string> lines(std::begin(kToolText), std::end(kToolText));
  lines.emplace_back();
  lines.emplace_back("Options, anywhere on the line, as --name VALUE or --name=VALUE:");
  for (const Option& o : kOptions) {
    for (const HelpLine& h : o.help) {
      if (h.text.empty()) continue;
      // A line without a form goes on with the one before, but for the
      // first of an option without a value.
      std::string line;
      if (!h.form.empty() || (&h == o.help && !o.takesValue)) line.append("  ").append(o.name);
      if (!h.form.empty()) line.append(" ").append(h.form);
      line.resize(std::max(line.size() + 2, kHelpColumn), ' ');
      lines.push_back(line + std::string(h.text));
    }
  }
  return lines;
}

void PrintUsage() {
  for (const std::string& line : UsageText()) PrintLine(line);
}

OptionScan TakeOptions(const platform::CommandLine& line, std::int64_t runStart) {
  OptionScan scan;
  const std::vector<platform::CommandWord>& words = line.words;
  std::vector<std::pair<std::size_t, std::size_t>> cuts;  // of the text, in order
  std::vector<std::pair<std::string_view, std::string>> given;  // name, value
  auto fail = [&](std::string error) {
    if (!scan.error) scan.error = std::move(error);
  };
  for (std::size_t w = 0; w < words.size(); ++w) {
    const std::string& word = words[w].value;
    if (word.compare(0, 2, "--") != 0 || word == "--help" || word == "--version") continue;
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const Option* option = OptionNamed(name);
    if (option == nullptr) {
      fail("Error: unknown option " + Shown(name));
      continue;
    }
    std::size_t last = w;
    std::string value;
    if (!option->takesValue) {
      if (equals != std::string::npos) {
        fail("Error: " + name + " takes no value");
        continue;
      }
    } else if (equals != std::string::npos) {
      value = word.substr(equals + 1);
    } else if (w + 1 < words.size()) {
      value = words[++last].value;
      scan.wordTaken.emplace(name, value);
    } else {
      fail("Error: " + name + " needs a value");
      continue;
    }
    for (const auto& [earlier, earlierValue] : given)
      if (earlier == option->name && earlierValue != value && !option->repeatable)
        fail("Error: " + name + " given twice, as \"" + Shown(earlierValue) + "\" and \"" + Shown(value) + "\"");
    const bool again = !option->repeatable &&
                       std::any_of(given.begin(), given.end(), [&](const auto& g) { return g.first == option->name; });
    if (!again) {
      if (std::optional<std::string> error = option->read(value, runStart, scan.options)) fail(std::move(*error));
      given.emplace_back(option->name, value);
    }
    // The option goes with the blanks after it, or before it at the end.
    cuts.emplace_back(words[w].begin, last + 1 < words.size() ? words[last + 1].begin : line.text.size());
    w = last;
  }
  std::size_t kept = 0;
  for (const auto& [from, to] : cuts) {
    scan.rest.append(line.text, kept, from - kept);
    kept = to;
  }
  scan.rest.append(line.text, kept);
  if (kept == line.text.size() && !cuts.empty())
    while (!scan.rest.empty() && scan.rest.back() == ' ') scan.rest.pop_back();
  return scan;
}

std::optional<std::string> ValidateDomain(std::string_view commandText) {
  bool accepted = commandText.find('.') != std::string_view::npos &&
                  commandText.find(' ') == std::string_view::npos && commandText.back() == '.' &&
                  IsWellFormedName(commandText);
  if (accepted) return std::nullopt;
  const std::string shown = "Error: The domain name \"" + Shown(commandText) + "\"";
  if (commandText.size() <= kMaxName && IsReverseName(commandText) && HasHostNameLabels(commandText)) {
    if (IsUnder(commandText, ReverseTreeName))
      return shown + " lies under in-addr.arpa., whose zones this run writes: name a private forward domain";
    return shown + " lies under arpa., the tree of reverse zones: name a private forward domain";
  }
  return shown + " is not a fully qualified Internet domain name!";
}

CommandDecision DecideCommand(const platform::CommandLine& line, std::int64_t runStart) {
  CommandDecision decision;
  OptionScan options = TakeOptions(line, runStart);
  if (line.text.empty() || WantsHelp(options.rest)) {
    decision.action = CommandDecision::Action::ShowHelp;
    return decision;
  }
  if (WantsVersion(options.rest)) {
    decision.action = CommandDecision::Action::ShowVersion;
    return decision;
  }
  if (options.error) {
    decision.error = std::move(options.error);
    decision.exitStatus = 1;
    return decision;
  }
  SwitchScan scan = ParseCommandLine(std::move(options.rest));
  decision.lines = std::move(scan.lines);
  decision.detailClasses = std::move(scan.detailClasses);
  if (!scan.accepted) {
    decision.error = std::move(decision.lines.back());
    decision.lines.pop_back();
    decision.exitStatus = 1;
    return decision;
  }
  if (scan.commandText.empty() && options.wordTaken) {
    // The domain was taken as an option's value: say so, not that "" is
    // no domain.
    decision.error = "Error: The domain name is missing: " + options.wordTaken->first + " took \"" +
                     Shown(options.wordTaken->second) + "\" as its value";
    decision.exitStatus = 1;
    return decision;
  }
  if (std::optional<std::string> error = ValidateDomain(scan.commandText)) {
    decision.error = std::move(error);
    decision.exitStatus = 1;
    return decision;
  }
  decision.action = CommandDecision::Action::Generate;
  decision.lines.insert(decision.lines.end(), options.options.lines.begin(), options.options.lines.end());
  ZoneInputs& inputs = decision.inputs;
  inputs.PrivateDomain = std::move(scan.commandText);
  LowerCase(inputs.PrivateDomain);
  inputs.Serial = options.options.serial;
  inputs.SerialNext = options.options.serialNext;
  inputs.Ttl = options.options.ttl;
  inputs.Catalog = options.options.catalog;
  if (inputs.Catalog == inputs.PrivateDomain) {
    decision.action = CommandDecision::Action::Reject;
    decision.error = "Error: --catalog: " + inputs.Catalog + " is the private domain, whose zone the catalog lists";
    decision.exitStatus = 1;
    return decision;
  }
  // A switch becomes its block's range here. Prefixes or hosts alone
  // detail only themselves; a switch's block is added to them.
  const bool alone = decision.detailClasses == "ABC" && !(options.options.detail.empty() &&
                                                         options.options.hostsFiles.empty() &&
                                                         options.options.leasesFiles.empty());
  std::vector<AddressRange> detail = std::move(options.options.detail);
  for (std::size_t b = 0; b < BlockPlan.size(); ++b) {
    inputs.Switched[b] = !alone && decision.detailClasses.find(BlockPlan[b].ClassLetter) != std::string::npos;
    if (inputs.Switched[b]) detail.push_back(BlockPlan[b].Range());
  }
  inputs.Detail = MergeRanges(std::move(detail));
  decision.files.hosts = std::move(options.options.hostsFiles);
  decision.files.records = std::move(options.options.recordsFiles);
  decision.files.leases = std::move(options.options.leasesFiles);
  decision.files.now = runStart;
  inputs.Ipv6 = options.options.ipv6;
  return decision;
}

CommandDecision DecideCommand(std::string_view commandTail, std::int64_t runStart) {
  return DecideCommand(platform::WindowsCommandWords(commandTail), runStart);
}
