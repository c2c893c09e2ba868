#include "zones/address.h"

#include <climits>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(AddressForms, EdgeTable) {
  struct Case {
    const char* text;
    const char* dotted;
    const char* reverse;
    const char* label;
  } cases[] = {
      {"0.0.0.0", "0.0.0.0", "0.0.0.0", "0-0-0-0"},
      {"10.0.0.1", "10.0.0.1", "1.0.0.10", "10-0-0-1"},
      {"172.16.5.9", "172.16.5.9", "9.5.16.172", "172-16-5-9"},
      {"192.168.255.255", "192.168.255.255", "255.255.168.192", "192-168-255-255"},
      {"192.168.0.1", "192.168.0.1", "1.0.168.192", "192-168-0-1"},
  };
  for (const Case& c : cases) {
    Ipv4Value v = ParseDottedQuad(c.text);
    EXPECT_EQ(FormatDottedQuad(v), c.dotted);
    EXPECT_EQ(FormatReverseQuad(v), c.reverse);
    EXPECT_EQ(FormatHostLabel(v), c.label);
  }
}

// The fast forms must agree with the general formatter for every octet
// value in every position, with the other octets of every width.
TEST(AddressForms, AgreeWithMaskFormatterForEveryOctet) {
  const int others[] = {0, 7, 42, 255};
  for (int position = 0; position < 4; ++position) {
    for (int other : others) {
      for (int value = 0; value < 256; ++value) {
        int o[4] = {other, other, other, other};
        o[position] = value;
        Ipv4Value v = static_cast<Ipv4Value>(static_cast<std::uint32_t>(o[0]) << 24 |
                                             static_cast<std::uint32_t>(o[1]) << 16 |
                                             static_cast<std::uint32_t>(o[2]) << 8 |
                                             static_cast<std::uint32_t>(o[3]));
        const int forward[] = {o[0], o[1], o[2], o[3]};
        const int backward[] = {o[3], o[2], o[1], o[0]};
        ASSERT_EQ(FormatDottedQuad(v), FormatByMask(DottedQuadMask, forward));
        ASSERT_EQ(FormatReverseQuad(v), FormatByMask(DottedQuadMask, backward));
        ASSERT_EQ(FormatHostLabel(v), FormatByMask(HostLabelMask, forward));
      }
    }
  }
}

TEST(FormatByMask, Fields) {
  struct Case {
    const char* mask;
    std::vector<int> numbers;
    const char* expected;
  } cases[] = {
      {"#", {0}, "0"},
      {"#", {9}, "9"},
      {"#", {10}, "10"},
      {"#", {255}, "255"},
      {"##", {5}, " 5"},
      {"##", {123}, "123"},
      {"###_.#", {7, 8}, "  7.8"},
      {"_#_#", {}, "##"},
      {"__#", {3}, "_3"},
      {"#_-##_-#", {1, 2, 3}, "1- 2-3"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatByMask(c.mask, c.numbers), c.expected) << c.mask;
}

TEST(ParseDottedQuad, BlockPlanTexts) {
  struct Case {
    const char* text;
    const char* hex;
    Ipv4Value value;
  } cases[] = {
      {"192.168.0.0", "&hC0A80000", -1062731776},  {"192.168.255.255", "&hC0A8FFFF", -1062666241},
      {"172.16.0.0", "&hAC100000", -1408237568},   {"172.31.255.255", "&hAC1FFFFF", -1407188993},
      {"10.0.0.0", "&h0A000000", 167772160},       {"10.255.255.255", "&h0AFFFFFF", 184549375},
      {"128.0.0.0", "&h80000000", INT32_MIN},      {"127.255.255.255", "&h7FFFFFFF", INT32_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DottedQuadHexText(c.text), c.hex) << c.text;
    EXPECT_EQ(ParseDottedQuad(c.text), c.value) << c.text;
  }
}

TEST(ParseDottedQuad, IrregularTexts) {
  struct Case {
    const char* text;
    const char* dotted;
  } cases[] = {
      {"10.1", "10.1.0.0"},
      {"1.2.3.4.5", "1.2.3.4"},
      {"256.300.-1.0", "0.44.255.0"},
      {" 10. 20.30 .40", "10.20.30.40"},
      {"\t1.\n2.+3.4", "1.2.3.4"},
      {"", "0.0.0.0"},
      {"x.y.z.w", "0.0.0.0"},
      {"99999999999999999999.0.0.1", "255.0.0.1"},  // 10^20 - 1 is 255 mod 256
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDottedQuad(ParseDottedQuad(c.text)), c.dotted) << c.text;
}

std::vector<Ipv4Value> Walk(Ipv4Value first, Ipv4Value last) {
  std::vector<Ipv4Value> seen;
  ForEachAddress(first, last, [&](Ipv4Value a) { seen.push_back(a); });
  return seen;
}

TEST(ForEachAddress, Bounds) {
  Ipv4Value first = ParseDottedQuad("192.168.0.0");
  Ipv4Value last = ParseDottedQuad("192.168.255.255");
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
  EXPECT_EQ(ParseStrictDottedQuad("10.0.255.0"), ParseDottedQuad("10.0.255.0"));
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
      EXPECT_EQ(p.range->first, ParseDottedQuad(c.first)) << c.text;
      EXPECT_EQ(p.range->last, ParseDottedQuad(c.last)) << c.text;
    }
    EXPECT_EQ(p.range.has_value(), c.reason.empty()) << c.text;
  }
  auto range = [](const char* a, const char* b) { return AddressRange{ParseDottedQuad(a), ParseDottedQuad(b)}; };
  const std::vector<AddressRange> merged = MergeRanges({range("192.168.1.0", "192.168.1.255"), range("10.0.0.0", "10.0.0.9"),
                                                        range("10.0.0.10", "10.0.0.20"), range("192.168.0.0", "192.168.3.255"),
                                                        range("172.16.0.0", "172.16.0.0")});
  ASSERT_EQ(merged.size(), 3u);
  EXPECT_EQ(merged[0].last, ParseDottedQuad("10.0.0.20"));
  EXPECT_EQ(merged[1].first, ParseDottedQuad("172.16.0.0"));
  EXPECT_EQ(merged[2].first, ParseDottedQuad("192.168.0.0"));
  EXPECT_EQ(merged[2].last, ParseDottedQuad("192.168.3.255"));
}

}  // namespace
