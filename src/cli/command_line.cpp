#include "cli/command_line.h"

#include <algorithm>
#include <initializer_list>

#include "output/console.h"
#include "output/platform.h"
#include "zones/hosts.h"
#include "zones/shared_state.h"

const std::array<std::string_view, 25> UsageText = {
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
    "",
    "Options, anywhere on the line, as --name VALUE or --name=VALUE:",
    "  --serial N          every zone's SOA serial, 1 to 4294967295 (default 1)",
    "  --serial unixtime   the run's start in seconds since 1970 (UTC)",
    "  --ttl N             the TTL of every record, 0 to 2147483647 seconds",
    "  --detail a.b.c.d/n  detail for this prefix too, or alone without a switch;",
    "                      repeat it for more prefixes",
    "  --hosts FILE        the names in FILE (as /etc/hosts) before the generic ones",
};

void PrintUsage() {
  for (std::string_view line : UsageText) PrintLine(line);
}

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

}  // namespace

bool WantsHelp(std::string_view commandText) {
  return commandText.empty() || commandText.find('?') != std::string_view::npos ||
         HasWord(commandText, {"--help", "-h"});
}

bool WantsVersion(std::string_view commandText) { return HasWord(commandText, {"--version", "-V"}); }

namespace {

// Names that would break the zone files: empty labels, characters that a
// master file reads otherwise, labels or names too long for DNS.
constexpr std::size_t kMaxName = MaxDomainLength;

// The private domain names hosts; a name under in-addr.arpa. would declare
// the reverse zones twice.
bool IsReverseName(std::string_view name) {
  constexpr std::string_view kReverse = "in-addr.arpa.";
  if (name.size() < kReverse.size()) return false;
  std::string_view tail = name.substr(name.size() - kReverse.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
    if (c != kReverse[i]) return false;
  }
  return name.size() == kReverse.size() || name[name.size() - kReverse.size() - 1] == '.';
}

// Host names (RFC 952, 1123): every A owner and PTR target carries the
// domain, and servers that check names refuse anything else.
bool IsWellFormedName(std::string_view name) {
  return name.size() <= kMaxName && !IsReverseName(name) && HasHostNameLabels(name);
}

}  // namespace

// Each switch is cut out of the text and the text trimmed again; done in
// one pass, so that a tail of many thousand switches costs no more than its
// length. The text at any moment is settled[settledStart..] + rest[i..end).
SwitchScan ParseCommandLine(std::string commandText, std::string detailClasses) {
  SwitchScan scan;
  const std::string& rest = commandText;
  std::size_t i = 0, end = rest.size();
  std::string settled;
  std::size_t settledStart = 0;
  for (std::size_t q; (q = rest.find('/', i)) != std::string::npos && q < end;) {
    settled.append(rest, i, q - i);
    std::string token = rest.substr(q, std::min<std::size_t>(2, end - q));
    platform::UpperCase(token);
    if (token != "/A" && token != "/B" && token != "/C") {
      scan.accepted = false;
      scan.lines.push_back("Error: invalid command line switch.");
      i = q;
      break;
    }
    detailClasses = token.substr(1);
    scan.lines.push_back(" + Including class " + detailClasses + " block detail only");
    // Only a blank after the switch goes with it: a glued domain stays whole.
    i = std::min(end, q + (q + 2 < end && rest[q + 2] == ' ' ? 3 : 2));
    while (settledStart < settled.size() && settled[settledStart] == ' ') ++settledStart;
    if (settledStart == settled.size())
      while (i < end && rest[i] == ' ') ++i;
    while (end > i && rest[end - 1] == ' ') --end;
    if (i == end)
      while (settled.size() > settledStart && settled.back() == ' ') settled.pop_back();
  }
  scan.detailClasses = std::move(detailClasses);
  scan.commandText = settled.substr(settledStart) + rest.substr(i, end - i);
  return scan;
}

namespace {

// Control bytes shown as they are could drive the user's terminal; C1
// bytes too (0x9b is an 8-bit CSI).
std::string Shown(std::string_view text) {
  std::string shown;
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    shown += b < 32 || (b >= 127 && b < 160) ? '?' : c;
  }
  return shown;
}

// Decimal digits only, no sign and no leading zero, at most `largest`.
std::optional<std::int64_t> WholeNumber(std::string_view text, std::int64_t largest) {
  if (text.empty() || text.size() > 10 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  std::int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n > largest) return std::nullopt;
  return n;
}

constexpr std::int64_t kLargestSerial = 4294967295;  // RFC 1982's 32 bits
constexpr std::int64_t kLargestTtl = 2147483647;     // RFC 2181

// One option's value read into the options, or the error line.
using OptionReader = std::optional<std::string> (*)(std::string_view value, std::int64_t runStart, ZoneOptions&);

std::optional<std::string> ReadSerial(std::string_view value, std::int64_t runStart, ZoneOptions& options) {
  std::optional<std::int64_t> n = WholeNumber(value, kLargestSerial);
  if (value == "unixtime") {
    if (runStart < 1 || runStart > kLargestSerial)
      return "Error: --serial unixtime: the clock reads " + std::to_string(runStart) +
             ", not a serial from 1 to 4294967295";
    n = runStart;
  }
  if (!n || *n == 0)
    return "Error: --serial takes a number from 1 to 4294967295 or unixtime, not \"" + Shown(value) + "\"";
  options.serial = static_cast<std::uint32_t>(*n);
  options.lines.push_back(" + Serial " + std::to_string(*n) + " in every zone");
  return std::nullopt;
}

std::optional<std::string> ReadTtl(std::string_view value, std::int64_t, ZoneOptions& options) {
  std::optional<std::int64_t> n = WholeNumber(value, kLargestTtl);
  if (!n) return "Error: --ttl takes a number of seconds from 0 to 2147483647, not \"" + Shown(value) + "\"";
  options.ttl = *n;
  options.lines.push_back(" + TTL " + std::to_string(*n) + " on every record");
  return std::nullopt;
}

std::optional<std::string> ReadDetail(std::string_view value, std::int64_t, ZoneOptions& options) {
  PrefixParse prefix = ParsePrivatePrefix(value);
  if (!prefix.range) return "Error: --detail: \"" + Shown(value) + "\" " + prefix.reason;
  options.detail.push_back(*prefix.range);
  options.lines.push_back(" + Including detail for " + std::string(value));
  return std::nullopt;
}

std::optional<std::string> ReadHosts(std::string_view value, std::int64_t, ZoneOptions& options) {
  if (value.empty()) return "Error: --hosts needs a file name";
  options.hostsFile = value;
  return std::nullopt;
}

struct Option {
  std::string_view name;
  OptionReader read;
  bool repeatable = false;
};
constexpr Option kOptions[] = {
    {"--serial", ReadSerial}, {"--ttl", ReadTtl}, {"--detail", ReadDetail, true}, {"--hosts", ReadHosts}};

}  // namespace

OptionScan TakeOptions(std::string_view text, std::int64_t runStart) {
  OptionScan scan;
  std::string rest(text);
  std::vector<std::pair<std::string_view, std::string>> given;  // name, value
  for (std::size_t at = 0; at < rest.size();) {
    const bool wordStart = rest[at] != ' ' && (at == 0 || rest[at - 1] == ' ');
    if (!wordStart || rest.compare(at, 2, "--") != 0) {
      ++at;
      continue;
    }
    auto wordEnd = [&](std::size_t from) { return std::min(rest.find(' ', from), rest.size()); };
    std::size_t end = wordEnd(at);
    const std::string word = rest.substr(at, end - at);
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const Option* option = nullptr;
    for (const Option& o : kOptions)
      if (o.name == name) option = &o;
    if (option == nullptr) {
      scan.error = "Error: unknown option " + Shown(name);
      return scan;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = word.substr(equals + 1);
    } else {
      std::size_t next = rest.find_first_not_of(' ', end);
      if (next == std::string::npos) {
        scan.error = "Error: " + name + " needs a value";
        return scan;
      }
      end = wordEnd(next);
      value = rest.substr(next, end - next);
    }
    for (const auto& [earlier, earlierValue] : given) {
      if (earlier == option->name && earlierValue != value && !option->repeatable) {
        scan.error = "Error: " + name + " given twice, as \"" + Shown(earlierValue) + "\" and \"" + Shown(value) + "\"";
        return scan;
      }
    }
    const bool again = !option->repeatable &&
                       std::any_of(given.begin(), given.end(), [&](const auto& g) { return g.first == option->name; });
    if (!again) {
      if (std::optional<std::string> error = option->read(value, runStart, scan.options)) {
        scan.error = std::move(error);
        return scan;
      }
      given.emplace_back(option->name, value);
    }
    // The option goes with the blanks after it, or before it at the end.
    std::size_t cutFrom = at, cutTo = rest.find_first_not_of(' ', end);
    if (cutTo == std::string::npos) {
      cutTo = rest.size();
      while (cutFrom > 0 && rest[cutFrom - 1] == ' ') --cutFrom;
    }
    rest.erase(cutFrom, cutTo - cutFrom);
    at = cutFrom;
  }
  scan.rest = std::move(rest);
  return scan;
}

std::optional<std::string> ValidateDomain(std::string_view commandText) {
  bool accepted = commandText.find('.') != std::string_view::npos &&
                  commandText.find(' ') == std::string_view::npos && commandText.back() == '.' &&
                  IsWellFormedName(commandText);
  if (accepted) return std::nullopt;
  return "Error: The domain name \"" + Shown(commandText) + "\" is not a fully qualified Internet domain name!";
}

CommandDecision DecideCommand(std::string_view commandTail, std::int64_t runStart) {
  CommandDecision decision;
  if (WantsHelp(commandTail)) {
    decision.action = CommandDecision::Action::ShowHelp;
    return decision;
  }
  if (WantsVersion(commandTail)) {
    decision.action = CommandDecision::Action::ShowVersion;
    return decision;
  }
  OptionScan options = TakeOptions(commandTail, runStart);
  if (options.error) {
    decision.lines.push_back(std::move(*options.error));
    decision.exitStatus = 1;
    return decision;
  }
  SwitchScan scan = ParseCommandLine(std::move(options.rest), "ABC");
  decision.lines = std::move(scan.lines);
  decision.detailClasses = std::move(scan.detailClasses);
  if (!scan.accepted) {
    decision.exitStatus = 1;
    return decision;
  }
  if (std::optional<std::string> error = ValidateDomain(scan.commandText)) {
    decision.lines.push_back(std::move(*error));
    decision.exitStatus = 1;
    return decision;
  }
  decision.action = CommandDecision::Action::Generate;
  // Prefixes alone detail only themselves; a switch's block is added to them.
  if (!options.options.detail.empty() && decision.detailClasses == "ABC") decision.detailClasses.clear();
  options.options.detail = MergeRanges(std::move(options.options.detail));
  decision.lines.insert(decision.lines.end(), options.options.lines.begin(), options.options.lines.end());
  decision.options = std::move(options.options);
  decision.privateDomain = std::move(scan.commandText);
  platform::LowerCase(decision.privateDomain);
  return decision;
}
