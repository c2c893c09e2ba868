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
  std::string tail;  // taken apart as Windows does, unless args are given
  Action action;
  std::vector<std::string> lines;
  std::string classes;  // when generating
  std::string domain;   // when generating
  std::uint32_t serial = 1;
  std::int64_t ttl = -1;
  std::string detail = "";               // "first-last ...", when given
  std::vector<std::string> hosts = {};   // the files, when generating
  std::vector<std::string> args = {};    // the arguments as a shell gives them
};

std::string RangesText(const std::vector<AddressRange>& ranges) {
  std::string text;
  for (const AddressRange& r : ranges) text += (text.empty() ? "" : " ") + FormatDottedQuad(r.first) + "-" + FormatDottedQuad(r.last);
  return text;
}

void Check(const Case& c) {
  CommandDecision d = c.args.empty() ? DecideCommand(c.tail) : DecideCommand(platform::JoinedArguments(c.args));
  const std::string shown = "[" + c.tail + "]";
  EXPECT_EQ(d.action, c.action) << shown;
  // The error, for standard error, after the console lines.
  std::vector<std::string> said = d.lines;
  if (d.error) said.push_back(*d.error);
  EXPECT_EQ(said, c.lines) << shown;
  EXPECT_EQ(d.error.has_value(), c.action == Action::Reject) << shown;
  EXPECT_EQ(d.exitStatus, c.action == Action::Reject ? 1 : 0) << shown;
  if (c.action == Action::Generate) {
    EXPECT_EQ(d.detailClasses, c.classes) << shown;
    EXPECT_EQ(d.inputs.PrivateDomain, c.domain) << shown;
    EXPECT_EQ(d.inputs.Serial, c.serial) << shown;
    EXPECT_EQ(d.inputs.Ttl, c.ttl) << shown;
    EXPECT_EQ(d.files.hosts, c.hosts) << shown;
    if (!c.detail.empty()) {
      EXPECT_EQ(RangesText(d.inputs.Detail), c.detail == "none" ? "" : c.detail) << shown;
    }
  }
}

// The command line's edge cases; options anywhere, with their value as the
// next word or after "="; what is left is scanned as before.
TEST(DecideCommand, EdgeTable) {
  const std::string s5 = " + Serial 5 in every zone", t300 = " + TTL 300 on every record";
  auto bad = [](const std::string& what) { return std::vector<std::string>{"Error: " + what}; };
  const std::string serialRange = "--serial takes a number from 1 to 4294967295, unixtime or next, not ";
  const std::string ttlRange = "--ttl takes a number of seconds from 0 to 2147483647, not ";
  const std::string all = "10.0.0.0-10.255.255.255 172.16.0.0-172.31.255.255 192.168.0.0-192.168.255.255";
  const Case cases[] = {
      {"", Action::ShowHelp, {}, "", ""},
      {"/?", Action::ShowHelp, {}, "", ""},
      {"lan.internal. ?", Action::ShowHelp, {}, "", ""},
      {"lan.internal.", Action::Generate, {}, "ABC", "lan.internal.", 1, -1, all},
      {"/a lan.internal.", Action::Generate, {kLineA}, "A", "lan.internal.", 1, -1, "10.0.0.0-10.255.255.255"},
      {"lan.internal. /C", Action::Generate, {kLineC}, "C", "lan.internal."},
      {"/A /C lan.internal.", Action::Generate, {kLineA, kLineC}, "C", "lan.internal.", 1, -1, "192.168.0.0-192.168.255.255"},
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
      // Mend: only a blank after a switch goes with it.
      {"/Alan.internal.", Action::Generate, {kLineA}, "A", "lan.internal."},
      {"/clan.internal.", Action::Generate, {kLineC}, "C", "lan.internal."},
      {"lan.internal./B", Action::Generate, {kLineB}, "B", "lan.internal."},
      {"/A/Blan.internal.", Action::Generate, {kLineA, kLineB}, "B", "lan.internal."},
      // Options.
      {"/C lan.internal. --serial 5 --ttl=300", Action::Generate, {kLineC, s5, t300}, "C", "lan.internal.", 5, 300},
      {"--ttl 300 --serial=5 /c  lan.internal.", Action::Generate, {kLineC, t300, s5}, "C", "lan.internal.", 5, 300},
      {"lan.internal. --serial 4294967295 --ttl 0", Action::Generate,
       {" + Serial 4294967295 in every zone", " + TTL 0 on every record"}, "ABC", "lan.internal.", 4294967295u, 0},
      {"--ttl 300 lan.internal. --ttl=300", Action::Generate, {t300}, "ABC", "lan.internal.", 1, 300},
      {"/A --ttl 2147483647 /C lan.internal.", Action::Generate, {kLineA, kLineC, " + TTL 2147483647 on every record"},
       "C", "lan.internal.", 1, 2147483647},
      {"lan --ttl 300 .internal.", Action::Reject, {Rejected("lan .internal.")}, "", ""},
      {"/X --ttl 300 lan.internal.", Action::Reject, {kBadSwitch}, "", ""},
      {"--serial 0 lan.internal.", Action::Reject, bad(serialRange + "\"0\""), "", ""},
      {"--serial 4294967296 lan.internal.", Action::Reject, bad(serialRange + "\"4294967296\""), "", ""},
      {"--serial soon lan.internal.", Action::Reject, bad(serialRange + "\"soon\""), "", ""},
      {"--serial=007 lan.internal.", Action::Reject, bad(serialRange + "\"007\""), "", ""},
      {"--serial= lan.internal.", Action::Reject, bad(serialRange + "\"\""), "", ""},
      {"--serial +5 lan.internal.", Action::Reject, bad(serialRange + "\"+5\""), "", ""},
      {"--ttl -1 lan.internal.", Action::Reject, bad(ttlRange + "\"-1\""), "", ""},
      {"--ttl 1h lan.internal.", Action::Reject, bad(ttlRange + "\"1h\""), "", ""},
      {"--ttl 2147483648 lan.internal.", Action::Reject, bad(ttlRange + "\"2147483648\""), "", ""},
      {"--ttl=\x1b[2J lan.internal.", Action::Reject, bad(ttlRange + "\"?[2J\""), "", ""},
      {"--serial 5 --serial=6 lan.internal.", Action::Reject, bad("--serial given twice, as \"5\" and \"6\""), "", ""},
      {"lan.internal. --serial", Action::Reject, bad("--serial needs a value"), "", ""},
      {"lan.internal. --ttl   ", Action::Reject, bad("--ttl needs a value"), "", ""},
      {"--frobnicate lan.internal.", Action::Reject, bad("unknown option --frobnicate"), "", ""},
      {"/C --frobnicate=3 lan.internal.", Action::Reject, bad("unknown option --frobnicate"), "", ""},
      {"--detail 10.1.0.0/16 lan.internal.", Action::Generate, {" + Including detail for 10.1.0.0/16"}, "ABC",
       "lan.internal.", 1, -1, "10.1.0.0-10.1.255.255"},
      {"/C --detail=10.1.2.0/25 --hosts /etc/hosts --detail 172.20.16.0/20 lan.internal.", Action::Generate,
       {kLineC, " + Including detail for 10.1.2.0/25", " + Including detail for 172.20.16.0/20"}, "C", "lan.internal.", 1,
       -1, "10.1.2.0-10.1.2.127 172.20.16.0-172.20.31.255 192.168.0.0-192.168.255.255", {"/etc/hosts"}},
      {"--detail 10.1.0.0/24 --detail 10.1.0.128/25 --detail 10.1.1.0/24 x.", Action::Generate,
       {" + Including detail for 10.1.0.0/24", " + Including detail for 10.1.0.128/25", " + Including detail for 10.1.1.0/24"},
       "ABC", "x.", 1, -1, "10.1.0.0-10.1.1.255"},
      {"--hosts=a/b lan.internal. --hosts a/b", Action::Generate, {}, "ABC", "lan.internal.", 1, -1, "", {"a/b", "a/b"}},
      {"--hosts a --hosts b lan.internal.", Action::Generate, {}, "ABC", "lan.internal.", 1, -1, "", {"a", "b"}},
      // Hosts alone detail only their names; with a switch, its block too.
      {"--hosts h x.", Action::Generate, {}, "ABC", "x.", 1, -1, "none", {"h"}},
      {"--hosts h /B x.", Action::Generate, {kLineB}, "B", "x.", 1, -1, "172.16.0.0-172.31.255.255", {"h"}},
      {"--hosts= lan.internal.", Action::Reject, bad("--hosts needs a file name"), "", ""},
      {"--records= lan.internal.", Action::Reject, bad("--records needs a file name"), "", ""},
      // The domain taken as a file is said to be missing, with what took it.
      {"--records lan.internal.", Action::Reject,
       bad("The domain name is missing: --records took \"lan.internal.\" as its value"), "", ""},
      {"/C --ttl 5 --hosts lan.internal.", Action::Reject,
       {kLineC, "Error: The domain name is missing: --hosts took \"lan.internal.\" as its value"}, "", ""},
      {"--ipv6 /C x.", Action::Generate, {kLineC, " + Including IPv6 unique local addresses (fd00::/8)"}, "C", "x."},
      {"--ipv6=yes x.", Action::Reject, bad("--ipv6 takes no value"), "", ""},
      {"--detail fd00::/64 x.", Action::Reject,
       bad("--detail: \"fd00::/64\" is an IPv6 prefix: IPv6 addresses get no generic names (2^120 cannot be written); "
           "name them in a hosts file and give --ipv6"), "", ""},
      {"--detail 10.1.2.3/16 lan.internal.", Action::Reject,
       bad("--detail: \"10.1.2.3/16\" does not begin its prefix (10.1.0.0/16)"), "", ""},
      {"lan.internal. --detail 8.8.8.0/24", Action::Reject,
       bad("--detail: \"8.8.8.0/24\" lies outside 10.0.0.0/8, 172.16.0.0/12 and 192.168.0.0/16"), "", ""},
      {"--detail lan.internal.", Action::Reject,
       bad("--detail: \"lan.internal.\" is not a prefix a.b.c.d/n with n from 8 to 32"), "", ""},
      {"--serial unixtime lan.internal.", Action::Reject,
       bad("--serial unixtime: the clock reads 0, not a serial from 1 to 4294967295"), "", ""},
      // Mend: a value is one word as the platform gives it, whatever it holds.
      {"--hosts \"C:\\my hosts\" lan.internal.", Action::Generate, {}, "ABC", "lan.internal.", 1, -1, "", {"C:\\my hosts"}},
      {"--hosts \"a\\\"b\" lan.internal.", Action::Generate, {}, "ABC", "lan.internal.", 1, -1, "", {"a\"b"}},
      {"linux", Action::Generate, {}, "ABC", "lan.internal.", 1, -1, "", {"/srv/dns/my hosts"},
       {"--hosts", "/srv/dns/my hosts", "lan.internal."}},
      {"linux", Action::Generate, {}, "ABC", "lan.internal.", 1, -1, "", {"h?x"}, {"--hosts", "h?x", "lan.internal."}},
      {"linux", Action::Generate, {}, "ABC", "lan.internal.", 1, -1, "", {"-h"}, {"lan.internal.", "--hosts", "-h"}},
      {"linux", Action::Reject, {Rejected("lan.internal. ")}, "", "", 1, -1, "", {}, {"lan.internal. "}},
      {"linux", Action::Reject, {Rejected(" lan.internal.")}, "", "", 1, -1, "", {}, {"", "lan.internal."}},
  };
  for (const Case& c : cases) Check(c);
  CommandDecision now = DecideCommand("--serial unixtime lan.internal.", 1796700000);
  EXPECT_EQ(now.inputs.Serial, 1796700000u);
  EXPECT_EQ(now.lines, std::vector<std::string>{" + Serial 1796700000 in every zone"});
}

// Mend: names that would make broken zone files are refused.
TEST(ValidateDomain, RefusesNamesThatBreakZoneFiles) {
  const std::string label63(63, 'a');
  const std::string name235 = label63 + "." + label63 + "." + label63 + "." + std::string(42, 'c') + ".";
  ASSERT_EQ(name235.size(), 235u);

  const std::string accepted[] = {
      "lan.internal.", "a.", "x-1-y.corp.", "a--b.c1.", "1a.", label63 + ".", name235, "A.B.", "xarpa.", "arpa.x.",
  };
  for (const std::string& name : accepted) EXPECT_FALSE(ValidateDomain(name).has_value()) << name;

  const std::string refused[] = {
      ".", "a..b.", ".a.", "lan;x.internal.", "l\xe4n.internal.", "lan.internal..", label63 + "a.",
      "b" + name235, "lan.in\"ternal.",
      // Host names only: BIND refuses the rest (check-names).
      "my_lan.internal.", "lan-.internal.", "-lan.internal.", "lan.-x.", "lan.x-.",
  };
  for (const std::string& name : refused) EXPECT_EQ(ValidateDomain(name), Rejected(name)) << name;
  // The reverse tree is not a private domain, and that is said.
  for (const std::string name : {"in-addr.arpa.", "10.in-addr.arpa.", "16.172.IN-ADDR.Arpa."})
    EXPECT_EQ(ValidateDomain(name), "Error: The domain name \"" + name +
                                        "\" lies under in-addr.arpa., whose zones this run writes: name a private forward domain");
  for (const std::string name : {"arpa.", "ip6.arpa.", "d.f.IP6.arpa.", "xin-addr.arpa."})
    EXPECT_EQ(ValidateDomain(name), "Error: The domain name \"" + name +
                                        "\" lies under arpa., the tree of reverse zones: name a private forward domain");
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

// The tail after the program name, and its words as Windows programs take
// them.
TEST(WindowsCommandTail, ProgramNameForms) {
  struct Case {
    const char* line;
    const char* tail;
    const char* words;  // joined by "|"
  } cases[] = {
      {"ZONQUIST /C lan.internal.", "/C lan.internal.", "/C|lan.internal."},
      {"\"C:\\Program Files\\zonquist.exe\" /C lan.internal.", "/C lan.internal.", "/C|lan.internal."},
      {"\"C:\\zq\\zonquist.exe\"lan.internal.", "lan.internal.", "lan.internal."},
      {"zonquist", "", ""},
      {"zonquist    ", "", ""},
      {"zonquist\tlan.internal.", "\tlan.internal.", "lan.internal."},
      {"zonquist  lan.internal.  ", "lan.internal.  ", "lan.internal."},
      {"\"unclosed name lan.internal.", "", ""},
      {"  zonquist lan.internal.", "zonquist lan.internal.", "zonquist|lan.internal."},
      {"", "", ""},
      {"zq --hosts \"C:\\a b\\h\" x.", "--hosts \"C:\\a b\\h\" x.", "--hosts|C:\\a b\\h|x."},
      {"zq a\\\\\"b c\" \"a\"\"b\" \\\\\\\"x \"\" y\\", "a\\\\\"b c\" \"a\"\"b\" \\\\\\\"x \"\" y\\", "a\\b c|a\"b|\\\"x||y\\"},
  };
  for (const Case& c : cases) {
    const std::string_view tail = platform::WindowsCommandTail(c.line);
    EXPECT_EQ(tail, c.tail) << c.line;
    std::string words;
    for (const platform::CommandWord& w : platform::WindowsCommandWords(tail).words) words += "|" + w.value;
    EXPECT_EQ(words, *c.words ? "|" + std::string(c.words) : "") << c.line;
  }
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
      ASSERT_TRUE(d.error) << shown;
      EXPECT_EQ(d.error->rfind("Error: ", 0), 0u) << shown;
      for (const std::string& line : d.lines) EXPECT_NE(line.rfind("Error: ", 0), 0u);
      EXPECT_EQ(d.exitStatus, 1);
    } else {
      EXPECT_FALSE(ValidateDomain(d.inputs.PrivateDomain).has_value()) << shown;
      EXPECT_EQ(d.exitStatus, 0);
    }
  }
  EXPECT_EQ(DecideCommand(manySwitches + "Lan.Internal.").inputs.PrivateDomain, "lan.internal.");
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
    ASSERT_TRUE(SameScan(ParseCommandLine(tail), PlainSwitchScan(tail, "ABC"))) << "[" << tail << "]";
}

}  // namespace
