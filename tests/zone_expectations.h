// What a run with given detail classes must leave in its folder, checked
// file by file without reading a whole file into memory.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

inline const std::vector<std::string> kZoneHeader = {
    "; Created by Talvenor Zonquist 20070118",
    "@ IN SOA ns.lan.internal. postmaster.lan.internal. 1 86400 3600 604800 86400",
    " IN NS ns.lan.internal.",
};

inline void ExpectHeader(const FileScan& scan, const std::string& file) {
  ASSERT_GE(scan.first.size(), 3u) << file;
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(scan.first[i], kZoneHeader[i]) << file;
}

inline void ExpectReverseZone(const std::string& dir, const ExpectedZone& z, bool detailed) {
  FileScan scan = ScanLines(dir + "/" + z.file);
  EXPECT_TRUE(scan.wellFormed) << z.file;
  ExpectHeader(scan, z.file);
  std::string label = z.net;
  for (char& c : label) c = c == '.' ? '-' : c;
  if (!detailed) {
    EXPECT_EQ(scan.lines, 4u) << z.file;
    EXPECT_EQ(scan.last, "* IN PTR private.ip-address.lan.internal.") << z.file;
    return;
  }
  bool whole8 = z.net == "10";
  EXPECT_EQ(scan.lines, whole8 ? 16777219u : 65539u) << z.file;
  ASSERT_GE(scan.first.size(), 4u);
  EXPECT_EQ(scan.first[3], (whole8 ? "0.0.0.10" : "0.0." + z.reverse) + ".in-addr.arpa. IN PTR " +
                               (whole8 ? "10-0-0-0" : label + "-0-0") + ".lan.internal.");
  EXPECT_EQ(scan.last, (whole8 ? "255.255.255.10" : "255.255." + z.reverse) + ".in-addr.arpa. IN PTR " +
                           (whole8 ? "10-255-255-255" : label + "-255-255") + ".lan.internal.");
}

// rfc1918.nam: the header, then the A records of each detailed block.
inline FileScan ExpectForwardZone(const std::string& dir, const std::string& classes) {
  struct Block {
    char letter;
    std::size_t records;
    std::string first, last;
  } blocks[] = {
      {'C', 65536, "192-168-0-0 IN A 192.168.0.0", "192-168-255-255 IN A 192.168.255.255"},
      {'B', 1048576, "172-16-0-0 IN A 172.16.0.0", "172-31-255-255 IN A 172.31.255.255"},
      {'A', 16777216, "10-0-0-0.lan.internal. IN A 10.0.0.0",
       "10-255-255-255.lan.internal. IN A 10.255.255.255"},
  };
  std::size_t records = 0;
  std::string first, last;
  for (const Block& b : blocks) {
    if (classes.find(b.letter) == std::string::npos) continue;
    records += b.records;
    if (first.empty()) first = b.first;
    last = b.last;
  }
  FileScan scan = ScanLines(dir + "/rfc1918.nam");
  EXPECT_TRUE(scan.wellFormed);
  ExpectHeader(scan, "rfc1918.nam");
  EXPECT_EQ(scan.lines, 3 + records);
  if (records > 0) {
    EXPECT_EQ(scan.first.at(3), first);
    EXPECT_EQ(scan.last, last);
  }
  return scan;
}

inline void ExpectRunFiles(const std::string& dir, const std::string& classes) {
  std::vector<std::string> names{"BOOT.INC", "rfc1918.nam"};
  for (const ExpectedZone& z : ExpectedReverseZones()) {
    names.push_back(z.file);
    ExpectReverseZone(dir, z, classes.find(z.letter) != std::string::npos);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(ListDirectory(dir), names);
  ExpectForwardZone(dir, classes);
  FileScan boot = ScanLines(dir + "/BOOT.INC");
  EXPECT_EQ(boot.lines, 20u);
  EXPECT_EQ(boot.first.at(1), "PRIMARY  lan.internal. rfc1918.nam");
}
