#include "zones/zone_file.h"

#include <string>

#include <gtest/gtest.h>

#include "test_support.h"
#include "zones/boot_include.h"
#include "zones/hosts.h"
#include "zones/shared_state.h"

namespace {

const std::string kHeader = Native(
    "; Created by Talvenor Zonquist 20070118\n"
    "@ IN SOA ns.lan.internal. postmaster.lan.internal. 1 86400 3600 604800 86400\n"
    " IN NS ns.lan.internal.\n");

class ZoneFiles : public testing::Test {
 protected:
  void SetUp() override { PrivateDomain = "lan.internal."; }
  TempDir dir;
  InDirectory in{dir.path()};
};

TEST_F(ZoneFiles, DetailedReverseZoneRanges) {
  struct Case {
    const char* first;
    const char* last;
    std::string console;
    std::string records;
  } cases[] = {
      {"192.168.7.9", "192.168.7.9", "Creating z.rev (192.168.7.9 - 192.168.7.9)\n",
       "9.7.168.192.in-addr.arpa. IN PTR 192-168-7-9.lan.internal.\n"},
      {"192.168.7.9", "192.168.7.8", "Creating z.rev (192.168.7.9 - 192.168.7.8)\n", ""},
      {"10.0.0.254", "10.0.1.0", "Creating z.rev (10.0.0.254 - 10.0.1.0)\n",
       "254.0.0.10.in-addr.arpa. IN PTR 10-0-0-254.lan.internal.\n"
       "255.0.0.10.in-addr.arpa. IN PTR 10-0-0-255.lan.internal.\n"
       "0.1.0.10.in-addr.arpa. IN PTR 10-0-1-0.lan.internal.\n"},
      {"172.31.255.255", "172.31.255.255", "Creating z.rev (172.31.255.255 - 172.31.255.255)\n",
       "255.255.31.172.in-addr.arpa. IN PTR 172-31-255-255.lan.internal.\n"},
  };
  for (const Case& c : cases) {
    WriteFile("z.rev", std::string(100000, 'o'));
    testing::internal::CaptureStdout();
    WriteDetailedReverseZone("z.rev", ParseDottedQuad(c.first), ParseDottedQuad(c.last));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), Native(c.console));
    EXPECT_EQ(ReadFile("z.rev"), kHeader + Native(c.records)) << c.first;
  }
}

TEST_F(ZoneFiles, WildcardReverseZone) {
  testing::internal::CaptureStdout();
  WriteWildcardReverseZone("r10.rev");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), Native("Creating r10.rev\n"));
  EXPECT_EQ(ReadFile("r10.rev"), kHeader + Native("* IN PTR private.ip-address.lan.internal.\n"));
}

// The serial in every SOA, and $TTL right after the first line.
TEST_F(ZoneFiles, HeaderOptions) {
  const struct {
    std::uint32_t serial;
    std::int64_t ttl;
    std::string header;
  } cases[] = {
      {1, -1, kHeader},
      {4294967295u, 0, Native("; Created by Talvenor Zonquist 20070118\n$TTL 0\n"
                              "@ IN SOA ns.lan.internal. postmaster.lan.internal. 4294967295 86400 3600 604800 86400\n"
                              " IN NS ns.lan.internal.\n")},
      {7, 2147483647, Native("; Created by Talvenor Zonquist 20070118\n$TTL 2147483647\n"
                             "@ IN SOA ns.lan.internal. postmaster.lan.internal. 7 86400 3600 604800 86400\n"
                             " IN NS ns.lan.internal.\n")},
  };
  for (const auto& c : cases) {
    ZoneSerial = c.serial;
    ZoneTtl = c.ttl;
    testing::internal::CaptureStdout();
    WriteWildcardReverseZone("r10.rev");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ReadFile("r10.rev"), c.header + Native("* IN PTR private.ip-address.lan.internal.\n")) << c.serial;
  }
  ZoneSerial = 1;
  ZoneTtl = -1;
}

// A wildcard at the top and under every name whose 256 children are not
// all written: every other address still answers.
TEST_F(ZoneFiles, PartlyWrittenZones) {
  auto r = [](const char* first, const char* last) { return AddressRange{ParseDottedQuad(first), ParseDottedQuad(last)}; };
  const AddressRange r10 = r("10.0.0.0", "10.255.255.255"), r17220 = r("172.20.0.0", "172.20.255.255");
  const std::string w = " IN PTR private.ip-address.lan.internal.";
  const struct {
    AddressRange zone;
    std::vector<AddressRange> detail;
    std::vector<std::string> wildcards;  // in file order
    std::size_t ptr;
  } cases[] = {
      {r10, {r("10.1.2.0", "10.1.2.127")}, {"*" + w, "*.1.10.in-addr.arpa." + w, "*.2.1.10.in-addr.arpa." + w}, 128},
      {r10, {r("10.1.2.0", "10.1.2.255")}, {"*" + w, "*.1.10.in-addr.arpa." + w}, 256},
      {r10, {r("10.1.0.0", "10.1.255.255")}, {"*" + w}, 65536},
      {r10, {r("10.1.2.0", "10.1.2.255"), r("10.1.3.0", "10.1.3.127"), r("10.9.0.255", "10.9.0.255")},
       {"*" + w, "*.1.10.in-addr.arpa." + w, "*.3.1.10.in-addr.arpa." + w, "*.9.10.in-addr.arpa." + w, "*.0.9.10.in-addr.arpa." + w},
       385},
      {r17220, {r("172.20.16.0", "172.20.31.255")}, {"*" + w, "*.3.20.172.in-addr.arpa." + w}, 4097},
      {r17220, {r("172.20.0.0", "172.20.255.255")}, {}, 65536},
      {r17220, {}, {"*" + w, "*.3.20.172.in-addr.arpa." + w}, 1},
  };
  Hosts.text = "build.lan.internal.printer.other.org.";
  Hosts.names = {{ParseDottedQuad("10.1.2.5"), 0, 19}, {ParseDottedQuad("172.20.3.4"), 19, 18}};  // in address order
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.ptr) + " PTR records");
    testing::internal::CaptureStdout();
    WritePartialReverseZone("z.rev", c.zone, c.detail);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), Native("Creating z.rev\n"));
    std::vector<std::string> lines = SplitLines(ReadFile("z.rev")), wildcards;
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "@ IN SOA ns.lan.internal. postmaster.lan.internal. 1 86400 3600 604800 86400");
    std::size_t ptr = 0;
    for (std::size_t i = 3; i < lines.size(); ++i) {
      if (lines[i][0] == '*') wildcards.push_back(lines[i]);
      else ++ptr;
      for (const std::string named : {"5.2.1.10.in-addr.arpa. IN PTR build.lan.internal.",
                                       "4.3.20.172.in-addr.arpa. IN PTR printer.other.org.",
                                       "6.2.1.10.in-addr.arpa. IN PTR 10-1-2-6.lan.internal."}) {
        if (lines[i].substr(0, lines[i].find(' ')) == named.substr(0, named.find(' '))) {
          EXPECT_EQ(lines[i], named);
        }
      }
    }
    EXPECT_EQ(wildcards, c.wildcards);
    EXPECT_EQ(ptr, c.ptr);
  }
  Hosts = {};
}

// The hosts file: every address's first entry names it, each name in the
// private domain gets its A record once; what cannot be right is refused.
TEST(ParseHosts, GoodAndBad) {
  const std::string text =
      "# a comment\n\n127.0.0.1 localhost\n::1 localhost ip6-localhost\nfe80::1%eth0 link\n::ffff:10.0.0.1 mapped\r\n"
      "192.168.1.20\tFS fileserver.lan.internal  # the file server\n10.1.2.5 build.lan.internal. build\n"
      "10.1.2.5 alias\n192.168.1.20 fs\n172.20.3.4 printer.other.org\n8.8.8.8 public.example\n";
  HostsParse p = ParseHosts(text, "hosts", "lan.internal.");
  ASSERT_FALSE(p.error) << *p.error;
  std::vector<std::string> names, forward;
  for (const HostName& h : p.table.names) names.push_back(FormatDottedQuad(h.address) + " " + std::string(p.table.NameOf(h)));
  for (const HostName& h : p.table.forward) forward.push_back(std::string(p.table.NameOf(h)) + " " + FormatDottedQuad(h.address));
  EXPECT_EQ(names, (std::vector<std::string>{"10.1.2.5 build.lan.internal.", "172.20.3.4 printer.other.org.",
                                             "192.168.1.20 fs.lan.internal."}));
  EXPECT_EQ(forward, (std::vector<std::string>{"fs.lan.internal. 192.168.1.20", "fileserver.lan.internal. 192.168.1.20",
                                               "build.lan.internal. 10.1.2.5", "alias.lan.internal. 10.1.2.5"}));
  EXPECT_EQ(p.table.skipped, 5u);
  const std::pair<std::string, std::string> bad[] = {
      {"10.0.0.1\n", "hosts:1: an address and no name"},
      {"\n10.0.0.01 x\n", "hosts:2: not an IPv4 or IPv6 address: 10.0.0.01"},
      {"10.0.0.1.2 x\n", "hosts:1: not an IPv4 or IPv6 address: 10.0.0.1.2"},
      {"fe80::1::2 x\n", "hosts:1: not an IPv4 or IPv6 address: fe80::1::2"},
      {"1:2:3:4:5:6:7 x\n", "hosts:1: not an IPv4 or IPv6 address: 1:2:3:4:5:6:7"},
      {"10.0.0.1 ok my_host\n", "hosts:1: not a host name: my_host"},
      {"127.0.0.1 -x\n", "hosts:1: not a host name: -x"},
      {"10.0.0.1 a..b\n", "hosts:1: not a host name: a..b"},
      {"10.0.0.1 " + std::string(64, 'a') + "\n", "hosts:1: not a host name: " + std::string(64, 'a')},
  };
  for (const auto& [input, error] : bad) EXPECT_EQ(ParseHosts(input, "hosts", "lan.internal.").error, "Error: " + error);
}

TEST_F(ZoneFiles, BootIncludeLines) {
  PrivateDomain = "a-very-long-name.example.corp.";
  WriteFile("BOOT.INC", std::string(5000, 'o'));
  testing::internal::CaptureStdout();
  WriteBootInclude();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            Native("Creating BOOT.NAM include file (BOOT.INC) to include in your BOOT.NAM file.\n"));
  std::vector<std::string> lines = SplitLines(ReadFile("BOOT.INC"));
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[0], "; Reverse DNS for all RFC1918 private address blocks. (Makes Windows and Linux happy.)");
  EXPECT_EQ(lines[1], "PRIMARY  a-very-long-name.example.corp. rfc1918.nam");
  EXPECT_EQ(lines[2], "PRIMARY  10.in-addr.arpa.       r10.rev");
  EXPECT_EQ(lines[19], "PRIMARY  168.192.in-addr.arpa.  r192168.rev");
  for (int i = 0; i < 16; ++i) {
    std::string n = std::to_string(16 + i);
    EXPECT_EQ(lines[static_cast<std::size_t>(3 + i)], "PRIMARY  " + n + ".172.in-addr.arpa.   r172" + n + ".rev");
  }
  for (std::size_t i = 2; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].find_first_not_of(' ', 7), 9u) << lines[i];
    EXPECT_EQ(lines[i].find('r', 9 + lines[i].substr(9).find(' ')), 32u) << lines[i];
    EXPECT_NE(lines[i].back(), ' ');
  }
}

}  // namespace

#include "zones/block_plan.h"

namespace {

// The class test is case-sensitive: letters that name no block detail none.
TEST_F(ZoneFiles, ForwardZoneWithoutDetailedBlocks) {
  for (const char* classes : {"abc", "", "XYZ"}) {
    DetailClasses = classes;
    testing::internal::CaptureStdout();
    WriteForwardZone();
    std::vector<std::string> console = SplitLines(testing::internal::GetCapturedStdout());
    ASSERT_EQ(console.size(), 19u) << classes;
    EXPECT_EQ(console[0], "Creating RFC1918.NAM");
    EXPECT_EQ(console[1], "Creating r192168.rev");
    EXPECT_EQ(console[18], "Creating r10.rev");
    EXPECT_EQ(ReadFile("rfc1918.nam"), kHeader) << classes;
    EXPECT_EQ(ReadFile("r17231.rev"), kHeader + Native("* IN PTR private.ip-address.lan.internal.\n"));
  }
  DetailClasses = "ABC";
}

}  // namespace

namespace {

// Lines laid down a /24 at a time equal lines built one by one from the
// address forms: every last octet, ranges cut anywhere, short and long
// domains, in all three forms; the progress call comes once per address.
TEST(LineBlocks, EqualLinesBuiltOneByOne) {
  TempDir dir;
  const std::string eol(platform::LineEnd);
  const std::string longDomain = std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." +
                                 std::string(42, 'd') + ".";
  const std::pair<const char*, const char*> ranges[] = {
      {"10.0.0.0", "10.0.2.255"},       {"192.168.7.9", "192.168.7.9"},   {"172.16.0.9", "172.16.0.10"},
      {"172.31.254.99", "172.31.255.100"}, {"10.255.255.254", "10.255.255.255"}, {"10.1.2.1", "10.1.2.0"},
  };
  for (const std::string& domain : {std::string("lan.internal."), longDomain}) {
    for (const auto& range : ranges) {
      const char* firstText = range.first;  // a plain name: lambdas below use it
      const Ipv4Value first = ParseDottedQuad(range.first), last = ParseDottedQuad(range.second);
      std::string ptr, bare, qualified;
      std::vector<Ipv4Value> walked;
      ForEachAddress(first, last, [&](Ipv4Value a) {
        ptr += FormatReverseQuad(a) + ".in-addr.arpa. IN PTR " + FormatHostLabel(a) + "." + domain + eol;
        bare += FormatHostLabel(a) + " IN A " + FormatDottedQuad(a) + eol;
        qualified += FormatHostLabel(a) + "." + domain + " IN A " + FormatDottedQuad(a) + eol;
        walked.push_back(a);
      });
      auto write = [&](auto form, const std::string& expected) {
        std::vector<Ipv4Value> called;
        OutputFile file = OpenOutputFile(dir / "lines");
        WriteLineBlocks(file, form, first, last, [&](Ipv4Value a) { called.push_back(a); });
        CloseOutputFile(file);
        EXPECT_TRUE(ReadFile(dir / "lines") == expected) << firstText << " " << domain.size();
        EXPECT_EQ(called, walked);
      };
      write(PtrLines(domain), ptr);
      write(ALines(OwnerForm::BareLabel, domain), bare);
      write(ALines(OwnerForm::QualifiedLabel, domain), qualified);
    }
  }
}

}  // namespace
