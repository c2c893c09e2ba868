#include "zones/address.h"
#include "zones/names.h"
#include "zones/zone_table.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// The text an append form writes for an address.
std::string Form(char* (*append)(char*, Ipv4Value), Ipv4Value v) {
  char buffer[AppendedQuadSpace];
  return std::string(buffer, append(buffer, v));
}

// An address's generic label as the writers lay it down: the /24's stem,
// then the last octet.
std::string Label(Ipv4Value v) {
  char buffer[AppendedQuadSpace + 4];
  return std::string(buffer, AppendOctet(AppendGenericStem(buffer, v), Octet(v, 3)));
}

// The forms for every octet value in every position, with the other
// octets of every width; and the edges of the blocks, written out.
TEST(AddressForms, EveryOctetInEveryPosition) {
  const std::tuple<const char*, const char*, const char*> edges[] = {
      {"0.0.0.0", "0.0.0.0", "0-0-0-0"},
      {"10.0.0.1", "1.0.0.10", "10-0-0-1"},
      {"192.168.255.255", "255.255.168.192", "192-168-255-255"},
      {"172.16.5.9", "9.5.16.172", "172-16-5-9"},
      {"192.168.0.1", "1.0.168.192", "192-168-0-1"},
  };
  for (const auto& [dotted, reverse, label] : edges) {
    EXPECT_EQ(FormatDottedQuad(Q(dotted)), dotted);
    EXPECT_EQ(Form(AppendReverseQuad, Q(dotted)), reverse);
    EXPECT_EQ(Label(Q(dotted)), label);
  }
  const unsigned others[] = {0, 7, 42, 255};
  for (int position = 0; position < 4; ++position) {
    for (unsigned other : others) {
      for (unsigned value = 0; value < 256; ++value) {
        unsigned o[4] = {other, other, other, other};
        o[position] = value;
        const Ipv4Value v = Quad(o[0], o[1], o[2], o[3]);
        ASSERT_EQ(FormatDottedQuad(v), OctetsText(v, '.'));
        ASSERT_EQ(Form(AppendReverseQuad, v), OctetsText(v, '.', true));
        ASSERT_EQ(Label(v), OctetsText(v, '-'));
      }
    }
  }
}

// Every RFC 4291 spelling of an address is the one address, written back
// in RFC 5952's form; anything else is no address.
TEST(Ipv6, SpellingsAndCanonicalText) {
  const std::pair<const char*, const char*> cases[] = {
      {"fd00::", "fd00::"},
      {"FD00:0001:0002:0003:0000:0000:0000:0005", "fd00:1:2:3::5"},
      {"fd00:1:2:3:0:0:0:5", "fd00:1:2:3::5"},
      {"::1", "::1"},
      {"::", "::"},
      {"fe80::1%eth0", "fe80::1"},
      {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},  // the first of two equal runs
      {"2001:0:0:1:0:0:0:1", "2001:0:0:1::1"},        // the longest run
      {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},  // one zero group stays
      {"::ffff:10.0.0.1", "::ffff:a00:1"},
      {"1:2:3:4:5:6:1.2.3.4", "1:2:3:4:5:6:102:304"},
      {"fdff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", "fdff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
      {"1::", "1::"},
      {"::1.2.3.4", "::102:304"},  // "::" right before the dotted tail
      {"fd00::10.0.0.1", "fd00::a00:1"},
      {"1:2:3:4:5::1.2.3.4", "1:2:3:4:5:0:102:304"},
  };
  for (const auto& [text, canonical] : cases) {
    const std::optional<Ipv6Value> v = ParseIpv6(text);
    ASSERT_TRUE(v) << text;
    EXPECT_EQ(FormatIpv6(*v), canonical) << text;
    EXPECT_EQ(ParseIpv6(canonical), v) << text;
  }
  for (const char* bad : {"", ":", ":::", "1::2::3", "1:2:3:4:5:6:7", "1:2:3:4:5:6:7:8:9", "12345::", "g::", ":1::",
                          "1:", "1:2:3:4:5:6:7:1.2.3.4", "::1.2.3", "fe80::1%", "10.0.0.1",
                          "1:2:3:4::5:6:7:8", "::1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8::", "1:2:3:4:5::6:1.2.3.4", "1:2:3:4:5:6::1.2.3.4"})
    EXPECT_FALSE(ParseIpv6(bad)) << bad;
}

// The values of the blocks' edges, and the blocks and zones that the table
// makes of them.
TEST(ZoneTable, BlockEdges) {
  const std::pair<const char*, Ipv4Value> values[] = {
      {"192.168.0.0", -1062731776}, {"192.168.255.255", -1062666241}, {"172.16.0.0", -1408237568},
      {"172.31.255.255", -1407188993}, {"10.0.0.0", 167772160}, {"10.255.255.255", 184549375},
      {"128.0.0.0", INT32_MIN}, {"127.255.255.255", INT32_MAX},
  };
  for (const auto& [text, value] : values) EXPECT_EQ(Q(text), value) << text;
  const struct {
    const char* prefix;
    const char* last;
    std::size_t zones;
    const char* firstFile;
  } blocks[] = {{"192.168.0.0/16", "192.168.255.255", 1, "r192168.rev"},
                {"172.16.0.0/12", "172.31.255.255", 16, "r17216.rev"},
                {"10.0.0.0/8", "10.255.255.255", 1, "r10.rev"}};
  ASSERT_EQ(BlockPlan.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(PrefixText(BlockPlan[i]), blocks[i].prefix);
    EXPECT_EQ(BlockPlan[i].Last(), Q(blocks[i].last));
    EXPECT_EQ(BlockPlan[i].Zones.size(), blocks[i].zones);
    EXPECT_EQ(BlockPlan[i].Zones.front().FileName, blocks[i].firstFile);
  }
  // Each zone a /16 (r10.rev the /8), as its names say.
  for (const ExpectedZone& e : ExpectedReverseZones()) {
    auto z = std::find_if(ReverseZones.begin(), ReverseZones.end(), [&](const ZoneEntry& z) { return z.FileName == e.file; });
    ASSERT_NE(z, ReverseZones.end()) << e.file;
    const bool slash8 = e.letter == 'A';
    EXPECT_EQ(z->First, Q(e.net + (slash8 ? ".0.0.0" : ".0.0"))) << e.file;
    EXPECT_EQ(z->Last, Q(e.net + (slash8 ? ".255.255.255" : ".255.255"))) << e.file;
    EXPECT_EQ(z->ZoneName, e.reverse + ".in-addr.arpa.");
  }
  EXPECT_EQ(PrivateBlocksText(), "10.0.0.0/8, 172.16.0.0/12 and 192.168.0.0/16");
  EXPECT_EQ(PrivateBlockOf(Q("172.15.255.255")), nullptr);
  EXPECT_EQ(PrivateBlockOf(Q("172.16.0.0")), &BlockPlan[1]);
  EXPECT_EQ(PrivateBlockOf(Q("10.255.255.255")), &BlockPlan[2]);
  EXPECT_EQ(PrivateBlockOf(Q("192.169.0.0")), nullptr);
}

std::vector<Ipv4Value> Walk(Ipv4Value first, Ipv4Value last) {
  std::vector<Ipv4Value> seen;
  ForEachAddress(first, last, [&](Ipv4Value a) { seen.push_back(a); });
  return seen;
}

TEST(ForEachAddress, Bounds) {
  Ipv4Value first = Q("192.168.0.0");
  Ipv4Value last = Q("192.168.255.255");
  std::vector<Ipv4Value> all = Walk(first, last);
  ASSERT_EQ(all.size(), 65536u);
  EXPECT_EQ(FormatDottedQuad(all.front()), "192.168.0.0");
  EXPECT_EQ(FormatDottedQuad(all[256]), "192.168.1.0");
  EXPECT_EQ(FormatDottedQuad(all.back()), "192.168.255.255");

  EXPECT_TRUE(Walk(first + 1, first).empty());
  EXPECT_EQ(Walk(first, first), std::vector<Ipv4Value>{first});
  // Ends at the largest value without stepping past it.
  EXPECT_EQ(Walk(INT32_MAX - 1, INT32_MAX), (std::vector<Ipv4Value>{INT32_MAX - 1, INT32_MAX}));
  EXPECT_EQ(Walk(-1, 0), (std::vector<Ipv4Value>{-1, 0}));
}

}  // namespace

namespace {

// User input: addresses read strictly, prefixes checked against the blocks.
TEST(ParsePrivatePrefix, GoodAndBad) {
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "01.2.3.4", "1.2.3.256", "+1.2.3.4", " 1.2.3.4", "1.2.3.4 ", "1..3.4",
                          "1.2.3.-0", "4294967306"})
    EXPECT_FALSE(ParseStrictDottedQuad(bad).has_value()) << bad;
  EXPECT_EQ(ParseStrictDottedQuad("10.0.255.0"), Quad(10, 0, 255, 0));
  const std::string malformed = "is not a prefix a.b.c.d/n with n from 8 to 32";
  const std::string outside = "lies outside 10.0.0.0/8, 172.16.0.0/12 and 192.168.0.0/16";
  const struct {
    const char* text;
    const char* first;
    const char* last;
    std::string reason;
  } cases[] = {
      {"10.0.0.0/8", "10.0.0.0", "10.255.255.255", ""},
      {"10.1.2.0/25", "10.1.2.0", "10.1.2.127", ""},
      {"172.16.0.0/12", "172.16.0.0", "172.31.255.255", ""},
      {"172.20.16.0/20", "172.20.16.0", "172.20.31.255", ""},
      {"192.168.7.9/32", "192.168.7.9", "192.168.7.9", ""},
      {"10.1.2.3/16", "", "", "does not begin its prefix (10.1.0.0/16)"},
      {"10.0.0.0/7", "", "", malformed},
      {"10.0.0.0/33", "", "", malformed},
      {"10.0.0.0/08", "", "", malformed},
      {"10.0.0.0/", "", "", malformed},
      {"10.0.0.0/8x99999999999", "", "", malformed},
      {"10.0.0.0/00000000000000000008", "", "", malformed},
      {"10.0.0.0/99999999999999999999", "", "", malformed},
      {"10.0.0.0", "", "", malformed},
      {"10.0.0.00/24", "", "", malformed},
      {"172.0.0.0/8", "", "", outside},
      {"172.32.0.0/16", "", "", outside},
      {"192.168.0.0/15", "", "", outside},
      {"192.168.0.0/8", "", "", "does not begin its prefix (192.0.0.0/8)"},
      {"8.8.8.0/24", "", "", outside},
  };
  for (const auto& c : cases) {
    PrefixParse p = ParsePrivatePrefix(c.text);
    EXPECT_EQ(p.reason, c.reason) << c.text;
    if (c.reason.empty() && p.range) {
      EXPECT_EQ(p.range->first, Q(c.first)) << c.text;
      EXPECT_EQ(p.range->last, Q(c.last)) << c.text;
    }
    EXPECT_EQ(p.range.has_value(), c.reason.empty()) << c.text;
  }
  auto range = [](const char* a, const char* b) { return AddressRange{Q(a), Q(b)}; };
  const std::vector<AddressRange> merged = MergeRanges({range("192.168.1.0", "192.168.1.255"), range("10.0.0.0", "10.0.0.9"),
                                                        range("10.0.0.10", "10.0.0.20"), range("192.168.0.0", "192.168.3.255"),
                                                        range("172.16.0.0", "172.16.0.0")});
  ASSERT_EQ(merged.size(), 3u);
  EXPECT_EQ(merged[0].last, Q("10.0.0.20"));
  EXPECT_EQ(merged[1].first, Q("172.16.0.0"));
  EXPECT_EQ(merged[2].first, Q("192.168.0.0"));
  EXPECT_EQ(merged[2].last, Q("192.168.3.255"));
}

}  // namespace
