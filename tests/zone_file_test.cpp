#include "zones/zone_file.h"

#include <string>

#include <gtest/gtest.h>

#include "test_support.h"
#include "zones/boot_include.h"
#include "inputs/hosts.h"
#include "zones/shared_state.h"
#include "zones/zone_table.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

const std::string kHeader = Native(
    "; Created by Talvenor Zonquist 20070118\n"
    "@ IN SOA ns.lan.internal. postmaster.lan.internal. 1 86400 3600 604800 86400\n"
    " IN NS ns.lan.internal.\n");

class ZoneFiles : public testing::Test {
 protected:
  void SetUp() override { inputs.PrivateDomain = "lan.internal."; }
  TempDir dir;
  InDirectory in{dir.path()};
  ZoneInputs inputs;
};

void WriteZone(const std::string& name, const ZonePlan& plan, const ZoneInputs& inputs, std::uint32_t serial) {
  OutputFile file = OpenOutputFile(name);
  WriteReverseZone(file, plan, inputs, serial);
  CloseOutputFile(file);
}

const ZoneEntry& Zone(std::string_view file) {
  return *std::find_if(ReverseZones.begin(), ReverseZones.end(), [&](const ZoneEntry& z) { return z.FileName == file; });
}

// A reverse zone as planned: a wildcard at the top and under every name
// whose 256 children are not all written, so every other address still
// answers; every written address its own name or its generic one.
TEST_F(ZoneFiles, ReverseZones) {
  auto r = [](const char* first, const char* last) { return AddressRange{Q(first), Q(last)}; };
  const std::string w = " IN PTR private.ip-address.lan.internal.";
  const struct {
    const char* file;
    std::vector<AddressRange> detail;
    std::vector<std::string> wildcards;  // in file order
    std::size_t ptr;
    const char* range;  // in the console line: the zone is whole
    std::uint32_t serial = 1;
    std::int64_t ttl = -1;  // -1: no $TTL line
    std::string header = kHeader;
  } cases[] = {
      {"r10.rev", {r("10.1.2.0", "10.1.2.127")}, {"*" + w, "*.0.10.in-addr.arpa." + w, "*.0.0.10.in-addr.arpa." + w,
       "*.1.10.in-addr.arpa." + w, "*.2.1.10.in-addr.arpa." + w, "*.255.10.in-addr.arpa." + w,
       "*.255.255.10.in-addr.arpa." + w}, 130, ""},
      {"r10.rev", {r("10.1.2.0", "10.1.2.255")}, {"*" + w, "*.0.10.in-addr.arpa." + w, "*.0.0.10.in-addr.arpa." + w,
       "*.1.10.in-addr.arpa." + w, "*.255.10.in-addr.arpa." + w, "*.255.255.10.in-addr.arpa." + w}, 258, ""},
      {"r10.rev", {r("10.0.0.0", "10.0.255.255"), r("10.255.0.0", "10.255.255.255")},
       {"*" + w, "*.1.10.in-addr.arpa." + w, "*.2.1.10.in-addr.arpa." + w}, 131073, ""},
      {"r10.rev", {r("10.1.2.0", "10.1.2.255"), r("10.1.3.0", "10.1.3.127"), r("10.9.0.255", "10.9.0.255")},
       {"*" + w, "*.0.10.in-addr.arpa." + w, "*.0.0.10.in-addr.arpa." + w, "*.1.10.in-addr.arpa." + w,
        "*.3.1.10.in-addr.arpa." + w, "*.9.10.in-addr.arpa." + w, "*.0.9.10.in-addr.arpa." + w,
        "*.255.10.in-addr.arpa." + w, "*.255.255.10.in-addr.arpa." + w}, 387, ""},
      {"r17220.rev", {r("172.20.16.0", "172.20.31.255")}, {"*" + w, "*.3.20.172.in-addr.arpa." + w}, 4097, ""},
      {"r17220.rev", {r("172.20.0.0", "172.20.255.255")}, {}, 65536, " (172.20.0.0 - 172.20.255.255)"},
      {"r17220.rev", {r("172.20.0.0", "172.20.255.254")}, {"*" + w, "*.255.20.172.in-addr.arpa." + w}, 65535, ""},
      {"r17220.rev", {}, {"*" + w, "*.3.20.172.in-addr.arpa." + w}, 1, ""},
      {"r17231.rev", {}, {"*" + w}, 0, ""},
      // The serial in every SOA, and $TTL right after the first line.
      {"r17231.rev", {}, {"*" + w}, 0, "", 4294967295u, 0,
       Native("; Created by Talvenor Zonquist 20070118\n$TTL 0\n"
              "@ IN SOA ns.lan.internal. postmaster.lan.internal. 4294967295 86400 3600 604800 86400\n"
              " IN NS ns.lan.internal.\n")},
      {"r17231.rev", {}, {"*" + w}, 0, "", 7, 2147483647,
       Native("; Created by Talvenor Zonquist 20070118\n$TTL 2147483647\n"
              "@ IN SOA ns.lan.internal. postmaster.lan.internal. 7 86400 3600 604800 86400\n"
              " IN NS ns.lan.internal.\n")},
      // Prefixes at the zone's edges.
      {"r17231.rev", {r("172.31.0.0", "172.31.0.0"), r("172.31.255.255", "172.31.255.255")},
       {"*" + w, "*.0.31.172.in-addr.arpa." + w, "*.255.31.172.in-addr.arpa." + w}, 2, ""},
      {"r192168.rev", {r("192.168.0.0", "192.168.255.255")}, {}, 65536, " (192.168.0.0 - 192.168.255.255)"},
  };
  // Named addresses, at zone edges too.
  inputs.Hosts = ParseHosts("10.0.0.0 net\n10.1.2.5 build\n10.255.255.255 top.other.org.\n172.20.3.4 printer.other.org.\n"
                            "192.168.0.0 c0\n192.168.255.255 c1\n", "hosts", "lan.internal.").table;
  const std::map<Ipv4Value, std::string> named = {
      {Q("10.0.0.0"), "net.lan.internal."},           {Q("10.1.2.5"), "build.lan.internal."},
      {Q("10.255.255.255"), "top.other.org."},        {Q("172.20.3.4"), "printer.other.org."},
      {Q("192.168.0.0"), "c0.lan.internal."},         {Q("192.168.255.255"), "c1.lan.internal."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + ", " + std::to_string(c.ptr) + " PTR records, serial " + std::to_string(c.serial));
    inputs.Ttl = c.ttl;
    const ZonePlan plan = PlanZone(Zone(c.file), c.detail, inputs.Hosts);
    EXPECT_EQ(ConsoleLine(plan), "Creating " + std::string(c.file) + c.range);
    WriteZone(c.file, plan, inputs, c.serial);
    std::vector<std::string> lines = SplitLines(ReadFile(c.file)), wildcards;
    const std::size_t body = c.ttl < 0 ? 3 : 4;
    ASSERT_GE(lines.size(), body);
    EXPECT_EQ(JoinLines(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(body))), c.header);
    std::size_t ptr = 0;
    for (std::size_t i = body; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      if (line[0] == '*') {
        wildcards.push_back(line);
        continue;
      }
      ++ptr;
      // The owner's octets, backwards, name the address.
      unsigned o[4] = {};
      ASSERT_EQ(std::sscanf(line.c_str(), "%u.%u.%u.%u.in-addr.arpa. IN PTR ", &o[3], &o[2], &o[1], &o[0]), 4) << line;
      const Ipv4Value a = Quad(o[0], o[1], o[2], o[3]);
      const auto name = named.find(a);
      ASSERT_EQ(line.substr(line.find(" IN PTR ") + 8),
                name != named.end() ? name->second : OctetsText(a, '-') + ".lan.internal.");
    }
    EXPECT_EQ(wildcards, c.wildcards);
    EXPECT_EQ(ptr, c.ptr);
  }
}

// The IPv6 zone: a wildcard at its top and under every nibble node on the
// way to a named address, each once; owners written whole, in nibble order.
TEST_F(ZoneFiles, UniqueLocalZone) {
  inputs.Hosts = ParseHosts("fd00:9::1 h1\nfd00:1:2:3::6 h6\nfd00:1:2:3::5 h5\n", "hosts", "lan.internal.", true).table;
  const ZonePlan plan = PlanZone(UniqueLocalZone, {}, inputs.Hosts);
  EXPECT_EQ(ConsoleLine(plan), "Creating rfd.rev");
  WriteZone("rfd.rev", plan, inputs, 1);
  std::vector<std::string> lines = SplitLines(ReadFile("rfd.rev")), wildcards, named;
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[3], "* IN PTR private.ip-address.lan.internal.");
  for (std::size_t i = 4; i < lines.size(); ++i) (lines[i][0] == '*' ? wildcards : named).push_back(lines[i]);
  const std::string w = ".d.f.ip6.arpa. IN PTR private.ip-address.lan.internal.";
  // 29 on the way to the first, none more for its neighbour, 24 below fd00:0.
  ASSERT_EQ(wildcards.size(), 29u + 24u);
  EXPECT_EQ(wildcards[0], "*.0" + w);
  EXPECT_EQ(wildcards[28], "*.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.3.0.0.0.2.0.0.0.1.0.0.0.0.0" + w);
  EXPECT_EQ(wildcards[29], "*.9.0.0.0.0.0" + w);
  EXPECT_EQ(named, (std::vector<std::string>{
                       "5.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.3.0.0.0.2.0.0.0.1.0.0.0.0.0.d.f.ip6.arpa. IN PTR h5.lan.internal.",
                       "6.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.3.0.0.0.2.0.0.0.1.0.0.0.0.0.d.f.ip6.arpa. IN PTR h6.lan.internal.",
                       "1.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.9.0.0.0.0.0.d.f.ip6.arpa. IN PTR h1.lan.internal."}));
}

// Hosts files: every address's first entry names it, each name in the
// private domain gets its A record once, whatever its address; entries that
// name no host on a network are skipped and said; what could give a name to
// an address not its own is refused.
TEST(ParseHosts, GoodAndBad) {
  const std::string domain235 = std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." +
                                std::string(42, 'd') + ".";
  struct Case {
    std::vector<HostsFile> files;
    std::vector<std::string> names, forward, skipped;  // or the error, alone in names
    std::string domain = "lan.internal.";
    bool ipv6 = false;
  };
  auto one = [](std::string text) { return std::vector<HostsFile>{{"hosts", std::move(text)}}; };
  std::string loopbacks;
  for (int i = 0; i < 12; ++i) loopbacks += "127.0.0." + std::to_string(i) + " l\n";
  auto error = [](const std::string& what) { return std::vector<std::string>{"Error: hosts:" + what}; };
  const Case cases[] = {
      {one("# a comment\n\n127.0.0.1 localhost\n::1 localhost ip6-localhost\nfe80::1%eth0 link\n::ffff:10.0.0.1 mapped\r\n"
           "192.168.1.20\tFS fileserver.lan.internal  # the file server\n10.1.2.5 build.lan.internal. build\n"
           "10.1.2.5 alias\n192.168.1.20 fs\n172.20.3.4 printer.other.org\n8.8.8.8 public.example\n"),
       {"10.1.2.5 build.lan.internal.", "172.20.3.4 printer.other.org.", "192.168.1.20 fs.lan.internal."},
       {"fs.lan.internal. 192.168.1.20", "fileserver.lan.internal. 192.168.1.20", "build.lan.internal. 10.1.2.5",
        "alias.lan.internal. 10.1.2.5"},
       {" + Skipped 5 hosts entries (loopback, link-local, IPv4-mapped, outside the blocks with no name in the domain): "
        "lines 3, 4, 5, 6, 12"}},
      // Old Mac line ends, Windows ones and a byte-order mark; upper case.
      {one("\xEF\xBB\xBF" "10.0.0.5 a\r10.0.0.6 B\r\n10.0.0.7 c.LAN.Internal. Host.Other.ORG\r"),
       {"10.0.0.5 a.lan.internal.", "10.0.0.6 b.lan.internal.", "10.0.0.7 c.lan.internal."},
       {"a.lan.internal. 10.0.0.5", "b.lan.internal. 10.0.0.6", "c.lan.internal. 10.0.0.7"}, {}},
      // Names in the domain answer wherever they are; no host lives in
      // loopback, 0.0.0.0/8, link-local, multicast or reserved space. An
      // address may be named by its own generic name.
      {one("203.0.113.5 www\n100.64.0.1 vpn.lan.internal\n127.0.1.1 loop\n169.254.1.1 ll\n0.0.0.0 zero\n224.0.0.1 mc\n"
           "255.255.255.255 bc\n10.1.2.7 10-1-2-7\n10.0.0.0 net\n10.255.255.255 top\n"),
       {"10.0.0.0 net.lan.internal.", "10.1.2.7 10-1-2-7.lan.internal.", "10.255.255.255 top.lan.internal."},
       {"www.lan.internal. 203.0.113.5", "vpn.lan.internal. 100.64.0.1", "10-1-2-7.lan.internal. 10.1.2.7",
        "net.lan.internal. 10.0.0.0", "top.lan.internal. 10.255.255.255"},
       {" + Skipped 5 hosts entries (loopback, unspecified, link-local, multicast or reserved): lines 3, 4, 5, 6, 7"}},
      {one(loopbacks), {}, {}, {" + Skipped 12 hosts entries (loopback): lines 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 and 2 more"}},
      // Several files: the first entry of an address across them names it.
      {{{"a", "10.0.0.5 first\n127.0.0.1 x\n"}, {"b", "10.0.0.5 second\n10.0.0.6 other\n::1 y\n"}},
       {"10.0.0.5 first.lan.internal.", "10.0.0.6 other.lan.internal."},
       {"first.lan.internal. 10.0.0.5", "second.lan.internal. 10.0.0.5", "other.lan.internal. 10.0.0.6"},
       {" + Skipped 1 hosts entries of a (loopback): line 2", " + Skipped 1 hosts entries of b (loopback): line 3"}},
      // A skipped line's names are never written, so never refused; equal
      // entries count once wherever they stand; a generic-looking name of a
      // public address is its own.
      {one("0.0.0.0 ad_server.tracker.example\n::1 localhost my_host\n127.0.0.1 -x\n8.8.8.8 bad_x.example\n"
           "10.0.0.5 a\n10.0.0.5 a\n10.0.0.6 a\n10.0.0.5 a\n2001:db8::1 v6\n8.8.8.8 8-8-8-8\n"),
       {"10.0.0.5 a.lan.internal.", "10.0.0.6 a.lan.internal."},
       {"a.lan.internal. 10.0.0.5", "a.lan.internal. 10.0.0.6", "8-8-8-8.lan.internal. 8.8.8.8"},
       {" + Skipped 5 hosts entries (loopback, unspecified, outside the blocks with no name in the domain, IPv6, which "
        "--ipv6 writes): lines 1, 2, 3, 4, 9"}},
      {one("8.8.8.8 bad_x.example ok\n"), error("1: not a host name: bad_x.example"), {}, {}},
      {one("10.9.9.9 192-168-100-100\n"),
       error("1: 192-168-100-100 is the generic name of 192.168.100.100, not of this address"), {}, {}},
      // The longest name the domain leaves room for, and one more.
      {one("10.0.0.1 " + std::string(18, 'h') + "\n"), {"10.0.0.1 " + std::string(18, 'h') + "." + domain235},
       {std::string(18, 'h') + "." + domain235 + " 10.0.0.1"}, {}, domain235},
      {one("10.0.0.1 " + std::string(19, 'h') + "\n"),
       error("1: too long: " + std::string(19, 'h') + " makes a name of 255 characters with its final dot, and a name "
             "has at most 254"), {}, {}, domain235},
      {one("10.0.0.1\n"), error("1: an address and no name"), {}, {}},
      {one("\n10.0.0.01 x\n"), error("2: not an IPv4 or IPv6 address: 10.0.0.01"), {}, {}},
      {one("10.0.0.1.2 x\n"), error("1: not an IPv4 or IPv6 address: 10.0.0.1.2"), {}, {}},
      {one("fe80::1::2 x\n"), error("1: not an IPv4 or IPv6 address: fe80::1::2"), {}, {}},
      {one("1:2:3:4:5:6:7 x\n"), error("1: not an IPv4 or IPv6 address: 1:2:3:4:5:6:7"), {}, {}},
      {one("\x1b]2;x\x07 x\n"), error("1: not an IPv4 or IPv6 address: ?]2;x?"), {}, {}},
      {one("10.0.0.1 ok my_host\n"), error("1: not a host name: my_host"), {}, {}},
      {one("10.0.0.1 -x\n"), error("1: not a host name: -x"), {}, {}},
      {one("10.0.0.1 a..b\n"), error("1: not a host name: a..b"), {}, {}},
      {one("10.0.0.1 " + std::string(64, 'a') + "\n"), error("1: not a host name: " + std::string(64, 'a')), {}, {}},
      {one("10.9.9.9 10-1-2-7\n"), error("1: 10-1-2-7 is the generic name of 10.1.2.7, not of this address"), {}, {}},
      {one("fd00::1 10-1-2-7.LAN.internal.\n"),
       error("1: 10-1-2-7.LAN.internal. is the generic name of 10.1.2.7, not of this address"), {}, {}, "lan.internal.",
       true},
      {one("10.200.0.2 private.ip-address\n"),
       error("1: private.ip-address is the wildcard's name, which every unnamed private address answers"), {}, {}},
      {one("8.8.8.8 Private.IP-Address.lan.internal.\n"),
       error("1: Private.IP-Address.lan.internal. is the wildcard's name, which every unnamed private address answers"), {}, {}},
      // IPv6: a unique local address names a host, every spelling the one
      // address; any IPv6 name in the domain gets its AAAA record.
      {one("fd00:1:2:3::5 ula\nFD00:0001:0002:0003:0000:0000:0000:0005 again ula\n2001:db8::7 www\n::1 lo\n"
           "fe80::1%eth0 ll\nff02::1 all\n::ffff:10.0.0.1 mapped\n::2 x.other.org\nfd12::1 v6.other.org\n"
           "fec0::1 site\nfc00::1 fc\nfeff::1 edge.other.org\n"),
       {"fd00:1:2:3::5 ula.lan.internal.", "fd12::1 v6.other.org."},
       {"ula.lan.internal. fd00:1:2:3::5", "again.lan.internal. fd00:1:2:3::5", "www.lan.internal. 2001:db8::7",
        "site.lan.internal. fec0::1", "fc.lan.internal. fc00::1"},
       {" + Skipped 6 hosts entries (loopback, link-local, multicast or reserved, IPv4-mapped, outside the blocks with "
        "no name in the domain): lines 4, 5, 6, 7, 8, 12"},
       "lan.internal.", true},
      {one("192.168.1.20 fs 192.168.1.21 printer\n"),
       error("1: not a host name: 192.168.1.21 (its last label is a number; two entries on one line?)"), {}, {}},
  };
  for (const Case& c : cases) {
    HostsParse p = ParseHosts(c.files, c.domain, c.ipv6);
    std::vector<std::string> names, forward, skipped;
    if (p.error) names.push_back(*p.error);
    for (const HostName& h : p.table.names) names.push_back(FormatDottedQuad(h.address) + " " + std::string(p.table.NameOf(h)));
    for (const HostName6& h : p.table.names6) names.push_back(FormatIpv6(h.address) + " " + std::string(p.table.NameOf(h)));
    for (const HostName& h : p.table.forward) forward.push_back(std::string(p.table.NameOf(h)) + " " + FormatDottedQuad(h.address));
    for (const HostName6& h : p.table.forward6) forward.push_back(std::string(p.table.NameOf(h)) + " " + FormatIpv6(h.address));
    for (const SkippedEntries& s : p.skipped) skipped.push_back(SkipLine(s, c.files.size() > 1));
    EXPECT_EQ(names, c.names) << c.files[0].text.substr(0, 40);
    EXPECT_EQ(forward, c.forward) << c.files[0].text.substr(0, 40);
    EXPECT_EQ(skipped, c.skipped) << c.files[0].text.substr(0, 40);
  }
}

TEST_F(ZoneFiles, BootIncludeLines) {
  inputs.PrivateDomain = "a-very-long-name.example.corp.";
  WriteFile("BOOT.INC", std::string(5000, 'o'));
  OutputFile file = OpenOutputFile("BOOT.INC");
  WriteBootInclude(file, PlanRun(inputs));
  CloseOutputFile(file);
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

#include "cli/carry_out.h"
#include "zones/forward_zone.h"

namespace {

// Without detail or hosts: every zone a wildcard, no A record.
TEST_F(ZoneFiles, ForwardZoneWithoutDetail) {
  testing::internal::CaptureStdout();
  CarryOutPlan(PlanRun(inputs), inputs, {});
  std::vector<std::string> console = SplitLines(testing::internal::GetCapturedStdout());
  ASSERT_EQ(console.size(), 20u);
  EXPECT_EQ(console[1], "Creating RFC1918.NAM");
  EXPECT_EQ(console[2], "Creating r192168.rev");
  EXPECT_EQ(console[19], "Creating r10.rev");
  EXPECT_EQ(ReadFile("rfc1918.nam"), kHeader);
  EXPECT_EQ(ReadFile("r17231.rev"), kHeader + Native("* IN PTR private.ip-address.lan.internal.\n"));
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
      const Ipv4Value first = Q(range.first), last = Q(range.second);
      std::string ptr, bare, qualified;
      std::vector<Ipv4Value> walked;
      ForEachAddress(first, last, [&](Ipv4Value a) {
        ptr += OctetsText(a, '.', true) + ".in-addr.arpa. IN PTR " + OctetsText(a, '-') + "." + domain + eol;
        bare += OctetsText(a, '-') + " IN A " + OctetsText(a, '.') + eol;
        qualified += OctetsText(a, '-') + "." + domain + " IN A " + OctetsText(a, '.') + eol;
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

#include "inputs/records.h"
#include "output/console.h"

namespace {

// Records of one's own: every line read as every server would read it, then
// written in one form; a line that a server would refuse, or that would
// take a name the run writes, is an error with its file and line.
TEST(ParseRecords, GoodAndBad) {
  const HostTable hosts = ParseHosts("10.1.2.5 build wiki\nfd00::5 v6host\n", "hosts", "lan.internal.", true).table;
  struct Case {
    std::string text;
    std::vector<std::string> lines;  // or "Error: own:LINE: reason" alone
    std::int64_t ttl = -1;
  };
  auto error = [](const std::string& what) { return std::vector<std::string>{"Error: own:" + what}; };
  const std::string accepted = "accepted: A, AAAA, CNAME, MX, NS, SRV and TXT";
  const Case cases[] = {
      {"\xEF\xBB\xBF@ IN MX 10 mail\r\nmail 300 IN A 10.1.2.25\rmail IN 300 A 10.1.2.26\n ; only a comment\n\n"
       "_ldap._tcp.LAN.internal. SRV 0 100 389 build\n  TXT \"a;b\" \"c\\\"d\\\\e\\195\\169\" ; after\nv6 AAAA FD00:0::5\n"
       "alias CNAME www.other.org.\nsub NS ns1.sub\nns1.sub A 10.9.9.9\n@ MX 0 .\n",
       {"lan.internal. IN MX 10 mail.lan.internal.", "_ldap._tcp.lan.internal. IN SRV 0 100 389 build.lan.internal.",
        "_ldap._tcp.lan.internal. IN TXT \"a;b\" \"c\\\"d\\\\e\\195\\169\"", "v6.lan.internal. IN AAAA fd00::5",
        "alias.lan.internal. IN CNAME www.other.org.", "sub.lan.internal. IN NS ns1.sub.lan.internal.",
        "ns1.sub.lan.internal. IN A 10.9.9.9", "lan.internal. IN MX 0 .", "mail.lan.internal. 300 IN A 10.1.2.25",
        "mail.lan.internal. 300 IN A 10.1.2.26"}},
      // $TTL for the rest of its file, --ttl for what has none.
      {"a TXT \"1\"\n$TTL 60\nb TXT \"2\"\nc 5 TXT \"3\"\n",
       {"a.lan.internal. 7 IN TXT \"1\"", "b.lan.internal. 60 IN TXT \"2\"", "c.lan.internal. 5 IN TXT \"3\""}, 7},
      {"wiki IN CNAM fs\n", error("1: the type CNAM is not one that every server loads alike; " + accepted)},
      {"\nx IN CAA 0 issue \"ca.example\"\n", error("2: the type CAA is not one that every server loads alike; " + accepted)},
      {"x A 10.20.0.256\n", error("1: 10.20.0.256 is not an IPv4 address a.b.c.d (0 to 255 each, no leading zero)")},
      {"x AAAA fe80::1%eth0\n", error("1: fe80::1%eth0 is not an IPv6 address")},
      {"x TXT \"open\n", error("1: an unbalanced quote")},
      {"x TXT \"" + std::string(256, 'a') + "\"\n", error("1: a string of 256 bytes, and a TXT string holds at most 255")},
      {"x TXT \"\\256\"\n", error("1: \\256, which is no \\DDD byte from 000 to 255")},
      {"x TXT bare\n", error("1: TXT takes quoted strings, not bare")},
      {"x MX 70000 mail\n", error("1: the preference 70000 is not a number from 0 to 65535")},
      {"x A\n", error("1: A takes an address a.b.c.d")},
      {"x 1h A 10.0.0.1\n", error("1: the TTL 1h is not a number of seconds from 0 to 2147483647")},
      {"x CH TXT \"a\"\n", error("1: the class CH: every record here is IN")},
      {" A 10.0.0.1\n", error("1: a line that begins with a blank goes on with the owner before it, and there is none")},
      {"x MX 10 (\n", error("1: a parenthesis: write each record on one line")},
      {"$ORIGIN other.org.\n", error("1: $ORIGIN: every name here is relative to the private domain, or absolute")},
      {"$INCLUDE /etc/passwd\n", error("1: $INCLUDE: give the file its own --records, so that it is checked too")},
      {"$GENERATE 1-9 h$ A 10.0.0.$\n", error("1: $GENERATE: not every server reads it; write the records out")},
      {"@ SOA ns x 1 2 3 4 5\n", error("1: SOA: the run writes the zone's own")},
      {"@ NS ns.other.org.\n", error("1: NS at the domain itself: the run writes the zone's own")},
      {"www.other.org. A 10.0.0.1\n", error("1: the owner www.other.org. lies outside lan.internal.")},
      {"* A 10.0.0.1\n", error("1: the name * holds a wildcard, which would answer for unnamed addresses' names")},
      {"x\x1b A 10.0.0.1\n", error("1: the name x? holds \"?\", which no name here may hold")},
      {std::string(64, 'a') + " A 10.0.0.1\n", error("1: the name " + std::string(64, 'a') + " has a label longer than 63 characters")},
      {"bad_host A 10.0.0.1\n", error("1: the owner bad_host.lan.internal. of A is not a host name (letters, digits and -)")},
      {"@ MX 10 bad_host\n", error("1: the target bad_host is not a host name (letters, digits and -)")},
      // Names the run writes.
      {"10-20-0-99 A 10.20.0.98\n", error("1: 10-20-0-99.lan.internal. is the generic name of 10.20.0.99, which the run writes")},
      {"private.ip-address A 10.20.0.97\n",
       error("1: private.ip-address.lan.internal. is the wildcard's name, which every unnamed private address answers")},
      {"build A 10.1.2.6\n", error("1: build.lan.internal. is a hosts name: the hosts file gives its addresses")},
      {"v6host AAAA fd00::6\n", error("1: v6host.lan.internal. is a hosts name: the hosts file gives its addresses")},
      {"wiki IN CNAME fs\n", error("1: a CNAME at wiki.lan.internal., which the hosts file names")},
      {"ns CNAME fs\n", error("1: a CNAME at ns.lan.internal., the zone's name server")},
      {"@ CNAME fs\n", error("1: a CNAME at the domain itself, which holds the zone's SOA and NS")},
      {"a A 10.0.0.1\na CNAME b\n", error("2: a CNAME at a.lan.internal., which holds A at own:1")},
      {"a CNAME b\na CNAME c\n", error("2: a second CNAME at a.lan.internal., the first at own:1")},
      {"a CNAME b\na MX 1 c\n", error("2: a.lan.internal. holds a CNAME at own:1, and nothing else may stand beside it")},
      {"@ MX 10 a\na CNAME b\n", error("1: the target a.lan.internal. of MX is an alias (a CNAME)")},
      {"sub NS ns1.sub\n", error("1: the name server ns1.sub.lan.internal. has no A or AAAA record here")},
      {"sub NS ns.other.org.\nx.sub TXT \"t\"\n",
       error("2: x.sub.lan.internal. lies in sub.lan.internal., delegated at own:1: only NS there and glue A or AAAA below")},
      {"lan.internal. NS ns.other.org.\n", error("1: NS at the domain itself: the run writes the zone's own")},
  };
  for (const Case& c : cases) {
    RecordsParse p = ParseRecords({{"own", c.text}}, {"lan.internal.", c.ttl, &hosts});
    std::vector<std::string> lines = p.lines;
    if (p.error) lines.insert(lines.begin(), *p.error);
    EXPECT_EQ(lines, c.lines) << Shown(c.text.substr(0, 60));
  }
}

}  // namespace

#include "inputs/leases.h"

namespace {

// Lease files of the three daemons, told from their content: the last entry
// of an address decides, only active leases with a name count, and a
// client's name is never an error: what cannot name a host is said.
TEST(Leases, ReadAndNamed) {
  const std::int64_t now = 1796734800;  // 2026-12-08 13:00:00 UTC
  const std::string later = std::to_string(now + 1800), earlier = std::to_string(now - 60);
  const std::string isc =
      "# The format of this file is documented in the dhcpd.leases(5) manual page.\nauthoring-byte-order little-endian;\n"
      "server-duid \"\\000\\001\";\n"
      "lease 10.66.0.106 {\n  starts 2 2026/12/08 12:00:00;\n  ends 2 2026/12/08 14:00:00;\n  binding state active;\n"
      "  next binding state free;\n  client-hostname \"Laptop-Ann\";\n}\n"
      "lease 10.66.0.107 { starts 2 2026/12/08 12:30:00; ends never; binding state active; client-hostname \"Printer_2\"; }\n"
      "lease 10.66.0.108 { starts 2 2026/12/08 12:10:00; ends 2 2026/12/08 14:00:00; binding state active;"
      " client-hostname \"n\\141s\"; }\n"
      "lease 10.66.0.109 { starts 2 2026/12/08 11:00:00; ends 2 2026/12/08 12:00:00; binding state active;"
      " client-hostname \"old\"; }\n"
      "lease 10.66.0.108 { starts 2 2026/12/08 12:20:00; ends 2 2026/12/08 12:25:00; binding state free; }\n"
      "lease 10.66.0.110 { starts 2 2026/12/08 12:40:00; ends never; binding state active; client-hostname \"laptop-ann\";";
  const std::string kea4 = "address,hwaddr,client_id,valid_lifetime,expire,subnet_id,fqdn_fwd,fqdn_rev,hostname,state,user_context\n"
                           "10.66.0.120,52:54:00:00:00:01,,3600," + later + ",1,0,0,printer2,0,\n"
                           "10.66.0.121,52:54:00:00:00:02,,3600," + later + ",1,0,0,a&#x2cb,0,\n"
                           "10.66.0.122,52:54:00:00:00:03,,3600," + later + ",1,0,0,gone,0,\n"
                           "10.66.0.122,52:54:00:00:00:03,,0," + later + ",1,0,0,gone,0,\n"
                           "10.66.0.123,52:54:00:00:00:04,,3600," + later + ",1,0,0,,2,\n10.66.0.124,52:54";
  const std::string kea6 = "address,duid,valid_lifetime,expire,subnet_id,pref_lifetime,lease_type,iaid,prefix_len,fqdn_fwd,"
                           "fqdn_rev,hostname,hwaddr,state,user_context\n"
                           "fd00:66::10,00:01,3600," + later + ",1,1800,0,1,128,0,0,laptop-ann.,,0,\n"
                           "fd00:66:1::,00:01,3600," + later + ",1,1800,2,1,56,0,0,pd,,0,\n";
  const std::string dnsmasq = later + " 52:54:00:aa:bb:cc 10.66.0.130 phone 01:52\n0 52:54:00:aa:bb:cd 10.66.0.131 * *\n" +
                              earlier + " 52:54:00:aa:bb:ce 10.66.0.132 expired *\n" + later +
                              " 52:54:00:aa:bb:cf 10.66.0.133 10-66-0-9 *\n" + later +
                              " 52:54:00:aa:bb:d0 10.66.0.5 fs2 *\nduid 00:01:00:01\n" + later +
                              " 12345 2001:db8::20 tablet 00:01\n" + later + " 12346 fe80::1 ll 00:01\n";
  struct Case {
    std::vector<LeasesFile> files;
    bool ipv6;
    std::vector<std::string> expected;  // the hosts text's lines, then the lines said
  };
  const Case cases[] = {
      {{{"dhcpd.leases", isc}, {"kea-leases4.csv", kea4}, {"kea-leases6.csv", kea6}, {"dnsmasq.leases", dnsmasq}}, true,
       {"10.66.0.106 laptop-ann.lan.internal.", "10.66.0.120 printer2.lan.internal.", "10.66.0.130 phone.lan.internal.",
        "2001:db8::20 tablet.lan.internal.", "fd00:66::10 laptop-ann.lan.internal.",
        " + Ignored the last entry of dhcpd.leases: cut short, as a daemon writes it",
        " + Ignored the last entry of kea-leases4.csv: cut short, as a daemon writes it",
        " + Skipped 2 leases (not a host name): 10.66.0.107 printer_2, 10.66.0.121 a,b",
        " + Skipped 1 leases (a name the run gives itself): 10.66.0.133 10-66-0-9",
        " + Skipped 1 leases (named by a hosts file): 10.66.0.5 fs2",
        " + Skipped 1 leases (an address no host holds): fe80::1 ll"}},
      // Without --ipv6 the IPv6 leases are said; the newer of two keeps a name.
      {{{"a", later + " 1 10.66.0.1 dup *\n" + std::to_string(now + 900) + " 2 10.66.0.2 Dup. *\nduid 1\n" + later +
                  " 3 fd00::1 v6 4\n"}}, false,
       {"10.66.0.1 dup.lan.internal.", " + Skipped 1 leases (a name a newer lease holds): 10.66.0.2 dup.",
        " + Skipped 1 leases (IPv6 without --ipv6): fd00::1 v6"}},
      {{{"x.leases", "hello world\n"}}, false, {"Error: x.leases: not a lease file of ISC dhcpd, Kea or dnsmasq"}},
      {{{"k.csv", "address,hwaddr,client_id,valid_lifetime,expire,subnet_id,fqdn_fwd,fqdn_rev,hostname,state\n"
                  "10.0.0.1,x,,soon,1,1,0,0,h,0\n"}}, false,
       {"Error: k.csv:2: a row whose address, valid_lifetime, expire or state cannot be read"}},
      {{{"d.leases", "1 52:54 not-an-address h *\n"}}, false,
       {"Error: d.leases:1: not a lease line \"EXPIRY MAC ADDRESS NAME CLIENT-ID\""}},
      {{{"i.leases", "lease 10.0.0.1 {\n starts 2 2026/13/08 12:00:00;\n}\n"}}, false,
       {"Error: i.leases:2: a time that is not \"W YYYY/MM/DD HH:MM:SS\""}},
  };
  const HostTable hosts = ParseHosts("10.66.0.5 fs\n", "hosts", "lan.internal.").table;
  for (const Case& c : cases) {
    std::vector<Lease> leases;
    std::vector<std::string> said, lines;
    for (const LeasesFile& f : c.files) {
      LeasesRead read = ReadLeases(f, now);
      if (read.error) said.push_back(*read.error);
      said.insert(said.end(), read.lines.begin(), read.lines.end());
      leases.insert(leases.end(), read.leases.begin(), read.leases.end());
    }
    if (!said.empty() && said[0].rfind("Error", 0) == 0) {
      EXPECT_EQ(said, c.expected);
      continue;
    }
    LeaseNames named = NameLeases(leases, hosts, "lan.internal.", c.ipv6);
    lines = SplitLines(named.hostsText);
    lines.insert(lines.end(), said.begin(), said.end());
    lines.insert(lines.end(), named.lines.begin(), named.lines.end());
    EXPECT_EQ(lines, c.expected);
  }
}

}  // namespace
