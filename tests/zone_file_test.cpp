#include "zones/zone_file.h"

#include <string>

#include <gtest/gtest.h>

#include "test_support.h"
#include "zones/boot_include.h"
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
