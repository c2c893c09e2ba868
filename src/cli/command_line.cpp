#include "cli/command_line.h"

#include <algorithm>
#include <initializer_list>

#include "output/console.h"
#include "output/platform.h"
#include "zones/shared_state.h"

const std::array<std::string_view, 17> UsageText = {
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

// Host-name characters (RFC 952, 1123): every A owner and PTR target
// carries the domain, and servers that check names refuse anything else.
bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// Names that would break the zone files: empty labels, characters that a
// master file reads otherwise, labels or names too long for DNS.
constexpr std::size_t kMaxLabel = 63;
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

bool IsWellFormedName(std::string_view name) {
  if (name.size() > kMaxName || IsReverseName(name)) return false;
  std::size_t label = 0;
  char previous = '.';
  for (char c : name) {
    if (c == '.') {
      if (label == 0 || previous == '-') return false;  // no empty label, none ending in a hyphen
      label = 0;
    } else if (!IsNameCharacter(c) || ++label > kMaxLabel || (c == '-' && previous == '.')) {
      return false;
    }
    previous = c;
  }
  return true;
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

std::optional<std::string> ValidateDomain(std::string_view commandText) {
  bool accepted = commandText.find('.') != std::string_view::npos &&
                  commandText.find(' ') == std::string_view::npos && commandText.back() == '.' &&
                  IsWellFormedName(commandText);
  if (accepted) return std::nullopt;
  std::string message = "Error: The domain name \"";
  // Control bytes shown as they are could drive the user's terminal; C1
  // bytes too (0x9b is an 8-bit CSI).
  for (char c : commandText) {
    const unsigned char b = static_cast<unsigned char>(c);
    message += b < 32 || (b >= 127 && b < 160) ? '?' : c;
  }
  message += "\" is not a fully qualified Internet domain name!";
  return message;
}

CommandDecision DecideCommand(std::string_view commandTail) {
  CommandDecision decision;
  if (WantsHelp(commandTail)) {
    decision.action = CommandDecision::Action::ShowHelp;
    return decision;
  }
  if (WantsVersion(commandTail)) {
    decision.action = CommandDecision::Action::ShowVersion;
    return decision;
  }
  SwitchScan scan = ParseCommandLine(std::string(commandTail), "ABC");
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
  decision.privateDomain = std::move(scan.commandText);
  platform::LowerCase(decision.privateDomain);
  return decision;
}
