#include "cli/command_line.h"
#include "output/command_tail.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Action = CommandDecision::Action;

const std::string kNotFqdn = "\" is not a fully qualified Internet domain name!";
std::string Rejected(const std::string& text) { return "Error: The domain name \"" + text + kNotFqdn; }
const std::string kLineA = " + Including class A block detail only";
const std::string kLineB = " + Including class B block detail only";
const std::string kLineC = " + Including class C block detail only";
const std::string kBadSwitch = "Error: invalid command line switch.";

struct Case {
  std::string tail;
  Action action;
  std::vector<std::string> lines;
  std::string classes;  // when generating
  std::string domain;   // when generating
};

void Check(const Case& c) {
  CommandDecision d = DecideCommand(c.tail);
  EXPECT_EQ(d.action, c.action) << "[" << c.tail << "]";
  EXPECT_EQ(d.lines, c.lines) << "[" << c.tail << "]";
  EXPECT_EQ(d.exitStatus, c.action == Action::Reject ? 1 : 0) << "[" << c.tail << "]";
  if (c.action == Action::Generate) {
    EXPECT_EQ(d.detailClasses, c.classes) << "[" << c.tail << "]";
    EXPECT_EQ(d.privateDomain, c.domain) << "[" << c.tail << "]";
  }
}

TEST(DecideCommand, EdgeTable) {
  const Case cases[] = {
      {"", Action::ShowHelp, {}, "", ""},
      {"/?", Action::ShowHelp, {}, "", ""},
      {"lan.internal. ?", Action::ShowHelp, {}, "", ""},
      {"lan.internal.", Action::Generate, {}, "ABC", "lan.internal."},
      {"/a lan.internal.", Action::Generate, {kLineA}, "A", "lan.internal."},
      {"lan.internal. /C", Action::Generate, {kLineC}, "C", "lan.internal."},
      {"/A /C lan.internal.", Action::Generate, {kLineA, kLineC}, "C", "lan.internal."},
      {"/X lan.internal.", Action::Reject, {kBadSwitch}, "", ""},
      {"/A /X lan.internal.", Action::Reject, {kLineA, kBadSwitch}, "", ""},
      {"/A", Action::Reject, {kLineA, Rejected("")}, "", ""},
      {"lan.internal", Action::Reject, {Rejected("lan.internal")}, "", ""},
      {"lan", Action::Reject, {Rejected("lan")}, "", ""},
      {"lan .internal.", Action::Reject, {Rejected("lan .internal.")}, "", ""},
      {"LAN.Internal.", Action::Generate, {}, "ABC", "lan.internal."},
      {"lan.internal. ", Action::Reject, {Rejected("lan.internal. ")}, "", ""},
      {"/b   lan.internal.   ", Action::Generate, {kLineB}, "B", "lan.internal."},
      {"  /c lan.internal.", Action::Generate, {kLineC}, "C", "lan.internal."},
      // A "/" inside the name is taken as a switch.
      {"lan/internal.", Action::Reject, {kBadSwitch}, "", ""},
      {"/", Action::Reject, {kBadSwitch}, "", ""},
  };
  for (const Case& c : cases) Check(c);
}

// Mend: only a blank after a switch goes with it.
TEST(DecideCommand, GluedSwitchKeepsTheDomainWhole) {
  const Case cases[] = {
      {"/Alan.internal.", Action::Generate, {kLineA}, "A", "lan.internal."},
      {"/clan.internal.", Action::Generate, {kLineC}, "C", "lan.internal."},
      {"lan.internal./B", Action::Generate, {kLineB}, "B", "lan.internal."},
      {"/A/Blan.internal.", Action::Generate, {kLineA, kLineB}, "B", "lan.internal."},
  };
  for (const Case& c : cases) Check(c);
}

// Mend: names that would make broken zone files are refused.
TEST(ValidateDomain, RefusesNamesThatBreakZoneFiles) {
  const std::string label63(63, 'a');
  const std::string name235 = label63 + "." + label63 + "." + label63 + "." + std::string(42, 'c') + ".";
  ASSERT_EQ(name235.size(), 235u);

  const std::string accepted[] = {
      "lan.internal.", "a.", "x-1-y.corp.", "a--b.c1.", "1a.", label63 + ".", name235, "A.B.", "xin-addr.arpa.", "in-addr.arpa.x.",
  };
  for (const std::string& name : accepted) EXPECT_FALSE(ValidateDomain(name).has_value()) << name;

  const std::string refused[] = {
      ".", "a..b.", ".a.", "lan;x.internal.", "l\xe4n.internal.", "lan.internal..", label63 + "a.",
      "b" + name235, "lan.in\"ternal.",
      // Host names only: BIND refuses the rest (check-names).
      "my_lan.internal.", "lan-.internal.", "-lan.internal.", "lan.-x.", "lan.x-.",
      // The reverse tree is not a private domain.
      "in-addr.arpa.", "10.in-addr.arpa.", "16.172.IN-ADDR.Arpa.",
  };
  for (const std::string& name : refused) EXPECT_EQ(ValidateDomain(name), Rejected(name)) << name;
}

// Mend: a rejected name never reaches the terminal with its control bytes.
TEST(ValidateDomain, ShowsControlBytesAsQuestionMarks) {
  const std::pair<std::string, std::string> cases[] = {
      {"lan\t.internal.", "lan?.internal."},
      {"\x1b]2;pwned\a.x.", "?]2;pwned?.x."},
      {"lan.int\x1b[2J.", "lan.int?[2J."},
      {std::string("a\0\x1f\x7f\x80.", 6), std::string("a????.")},
      {"lan\x9b" "2J\x9f\xa0.", "lan?2J?\xa0."},
  };
  for (const auto& [name, shown] : cases) EXPECT_EQ(ValidateDomain(name), Rejected(shown)) << shown;
}

// --help, -h, --version and -V are words of the command text, anywhere.
TEST(DecideCommand, UnixHelpAndVersionWords) {
  const std::pair<std::string, Action> cases[] = {
      {"--help", Action::ShowHelp},       {"-h", Action::ShowHelp},
      {"/C lan.internal. --help", Action::ShowHelp}, {"--version", Action::ShowVersion},
      {"-V", Action::ShowVersion},        {"lan.internal. -V", Action::ShowVersion},
      {"--version -h", Action::ShowHelp}, {"-hx lan.internal.", Action::Reject},
      {"x--helping.", Action::Generate}, {"--helping.", Action::Reject}, {"-v", Action::Reject},
  };
  for (const auto& [tail, action] : cases) EXPECT_EQ(DecideCommand(tail).action, action) << tail;
}

TEST(WindowsCommandTail, ProgramNameForms) {
  struct Case {
    const char* line;
    const char* tail;
  } cases[] = {
      {"ZONQUIST /C lan.internal.", "/C lan.internal."},
      {"\"C:\\Program Files\\zonquist.exe\" /C lan.internal.", "/C lan.internal."},
      {"\"C:\\zq\\zonquist.exe\"lan.internal.", "lan.internal."},
      {"zonquist", ""},
      {"zonquist    ", ""},
      {"zonquist\tlan.internal.", "\tlan.internal."},
      {"zonquist  lan.internal.  ", "lan.internal.  "},
      {"\"unclosed name lan.internal.", ""},
      {"  zonquist lan.internal.", "zonquist lan.internal."},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::WindowsCommandTail(c.line), c.tail) << c.line;
}

}  // namespace

#include "switch_scan_oracle.h"

namespace {

// Tails that try to break the scan or slip something into the zones: each
// is either refused with exactly one error line as the last, or gives a
// clean domain.
TEST(DecideCommand, WorstTails) {
  std::string manySwitches;
  for (int i = 0; i < 350000; ++i) manySwitches += i % 2 ? "/a " : "/C ";  // about a megabyte
  const std::string cases[] = {
      std::string(1 << 20, 'a') + ".",
      std::string(1 << 20, '.'),
      manySwitches + "lan.internal.",
      manySwitches + "   ",
      "  " + manySwitches + "  lan.internal.  ",
      "lan.internal.\r\n",
      std::string("lan\0.internal.", 14),
      "\x1b]2;owned\a.lan.",
      "\x1b[2J lan.internal.",
      "l\xc3\xa4n.internal.",
      "\xff\xfe.",
      "/",
      "//",
      "/ /",
      "/A/",
      "\"lan.internal.\"",
      "'lan.internal.'",
      "/A /B /C /a /b /c lan.internal.",
      "/A                      ",
      "lan.internal. /",
  };
  for (const std::string& tail : cases) {
    CommandDecision d = DecideCommand(tail);
    std::string shown = tail.substr(0, 40);
    ASSERT_NE(d.action, CommandDecision::Action::ShowHelp) << shown;
    if (d.action == CommandDecision::Action::Reject) {
      ASSERT_FALSE(d.lines.empty()) << shown;
      EXPECT_EQ(d.lines.back().rfind("Error: ", 0), 0u) << shown;
      for (std::size_t i = 0; i + 1 < d.lines.size(); ++i) EXPECT_NE(d.lines[i].rfind("Error: ", 0), 0u);
      EXPECT_EQ(d.exitStatus, 1);
    } else {
      EXPECT_FALSE(ValidateDomain(d.privateDomain).has_value()) << shown;
      EXPECT_EQ(d.exitStatus, 0);
    }
  }
  EXPECT_EQ(DecideCommand(manySwitches + "Lan.Internal.").privateDomain, "lan.internal.");
  EXPECT_EQ(DecideCommand(manySwitches + "lan.internal.").detailClasses, "A");
}

TEST(ParseCommandLine, AgreesWithPlainScan) {
  // Every tail of up to six characters over an alphabet that exercises the
  // cuts, the blanks on both ends and the glued forms.
  const std::string alphabet = "/ aCx.";
  std::vector<std::string> tails{""};
  for (int length = 1; length <= 6; ++length) {
    std::vector<std::string> longer;
    for (const std::string& t : tails)
      if (t.size() == static_cast<std::size_t>(length - 1))
        for (char c : alphabet) longer.push_back(t + c);
    tails.insert(tails.end(), longer.begin(), longer.end());
  }
  for (const std::string& tail : tails)
    ASSERT_TRUE(SameScan(ParseCommandLine(tail, "ABC"), PlainSwitchScan(tail, "ABC"))) << "[" << tail << "]";
}

}  // namespace
