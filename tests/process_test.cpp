// The built binary, run in a temporary folder: console bytes, exit status
// and the files it leaves.
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/command_line.h"
#include "test_support.h"
#include "zone_expectations.h"

namespace {

const std::string kBanner = "Talvenor Zonquist 20070118";

TEST(Process, HelpAndRejectionsWriteNoFile) {
  const std::string notFqdn = "\" is not a fully qualified Internet domain name!";
  TempDir inputs;
  WriteFile(inputs / "bad", "10.1.2.2 db\n10.1.2.3 my_host\n");
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> transcript;
    int status;
  } cases[] = {
      {{}, HelpTranscript(), 0},
      {{"/?"}, HelpTranscript(), 0},
      {{"lan.internal.", "?"}, HelpTranscript(), 0},
      {{"--help"}, HelpTranscript(), 0},
      {{"/C", "lan.internal.", "-V"}, {kBanner}, 0},
      {{"10.in-addr.arpa."},
       {kBanner, "Error: The domain name \"10.in-addr.arpa.\" lies under in-addr.arpa., whose zones this run writes: "
                 "name a private forward domain"},
       1},
      {{"/X", "lan.internal."}, {kBanner, "Error: invalid command line switch."}, 1},
      {{"/A"}, {kBanner, " + Including class A block detail only", "Error: The domain name \"" + notFqdn}, 1},
      {{"lan"}, {kBanner, "Error: The domain name \"lan" + notFqdn}, 1},
      {{"lan", ".internal."}, {kBanner, "Error: The domain name \"lan .internal." + notFqdn}, 1},
      {{"."}, {kBanner, "Error: The domain name \"." + notFqdn}, 1},
      {{"--serial", "0", "/C", "lan.internal."},
       {kBanner, "Error: --serial takes a number from 1 to 4294967295, unixtime or next, not \"0\""}, 1},
      {{"lan.internal.", "--ttl=1h"}, {kBanner, "Error: --ttl takes a number of seconds from 0 to 2147483647, not \"1h\""}, 1},
      {{"--hosts/x", "lan.internal."}, {kBanner, "Error: unknown option --hosts/x"}, 1},
      {{"--hosts", inputs / "none", "lan.internal."},
       {kBanner, "Error: could not read " + inputs / "none" + ": " +
                     (BuildLineEnd() == "\r\n" ? "File not found" : "No such file or directory")},  // Wine's words
       1},
      {{"/C", "--hosts=" + inputs / "bad", "lan.internal."},
       {kBanner, " + Including class C block detail only", "Error: " + inputs / "bad" + ":2: not a host name: my_host"}, 1},
      {{"--detail", "10.1.2.3/16", "lan.internal."},
       {kBanner, "Error: --detail: \"10.1.2.3/16\" does not begin its prefix (10.1.0.0/16)"}, 1},
      {{"--records", inputs / "none", "lan.internal."},
       {kBanner, "Error: could not read " + inputs / "none" + ": " +
                     (BuildLineEnd() == "\r\n" ? "File not found" : "No such file or directory")},
       1},
      // A records file is checked whole, and may not be one of the run's own.
      {{"--records", inputs / "my records", "lan.internal."},
       {kBanner, "Error: " + inputs / "my records" + ":2: the type CNAM is not one that every server loads alike; "
                 "accepted: A, AAAA, CNAME, MX, NS, SRV and TXT"},
       1},
      {{"--records", "r10.rev", "lan.internal."}, {kBanner, "Error: --records: r10.rev is r10.rev, a file this run writes"}, 1},
      {{"--hosts", inputs / "good", "--hosts", inputs / "generic", "lan.internal."},
       {kBanner, "Error: " + inputs / "generic" + ":1: 10-1-2-7 is the generic name of 10.1.2.7, not of this address"}, 1},
  };
  WriteFile(inputs / "good", "10.1.2.2 db\n");
  WriteFile(inputs / "my records", "@ IN MX 10 mail\nwiki IN CNAM fs\n");
  WriteFile(inputs / "generic", "10.9.9.9 10-1-2-7\n");
  for (const Case& c : cases) {
    TempDir dir;
    RunResult r = RunZonquistIn(dir.path(), c.args);
    ExpectConsole(r, c.transcript, c.status);
    EXPECT_TRUE(ListDirectory(dir.path()).empty());
  }
}

// An argument's own trailing blank reaches the domain test. (On Windows the
// raw command line decides; its tests are elsewhere.)
TEST(Process, TrailingBlankArgumentIsRejected) {
  TempDir dir;
  RunResult r = RunZonquistIn(dir.path(), {"lan.internal. "});
  ExpectConsole(r, {kBanner, "Error: The domain name \"lan.internal. \" is not a fully qualified Internet domain name!"}, 1);
  EXPECT_TRUE(ListDirectory(dir.path()).empty());
}

}  // namespace

namespace {

// The full runs write the whole 10/8 block: about 2 GB each.
TEST(Process, ClassSwitchRuns) {
  struct Case {
    std::vector<std::string> args;
    std::string classes;
  } cases[] = {
      {{"/C", "lan.internal."}, "C"},
      {{"/b", "LAN.Internal."}, "B"},
      {{"lan.internal."}, "ABC"},
      {{"/A", "lan.internal."}, "A"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    struct statvfs fs {};
    if (c.classes.find('A') != std::string::npos &&
        (statvfs(dir.path().c_str(), &fs) != 0 || static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < (5ull << 30)))
      GTEST_SKIP() << "less than 5 GB free in " << dir.path() << ": full runs skipped";
    RunResult r = RunZonquistIn(dir.path(), c.args);
    EXPECT_EQ(r.out, JoinLines(RunTranscript(c.classes)));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    ExpectRunFiles(dir.path(), c.classes);
    if (c.classes != "B") continue;
    // One ascending run of A records across each /16 of the block.
    std::vector<std::string> lines = SplitLines(ReadFile(dir / "rfc1918.nam"));
    ASSERT_EQ(lines.size(), 3u + 1048576u);
    EXPECT_EQ(lines[3 + 65535], "172-16-255-255 IN A 172.16.255.255");
    EXPECT_EQ(lines[3 + 65536], "172-17-0-0 IN A 172.17.0.0");
    EXPECT_EQ(lines[3 + 256], "172-16-1-0 IN A 172.16.1.0");
  }
}

// The options reach every zone file's header, and only the header.
TEST(Process, SerialAndTtlRun) {
  TempDir dir;
  RunResult r = RunZonquistIn(dir.path(), {"--serial=9", "/C", "lan.internal.", "--ttl", "60"});
  std::vector<std::string> transcript = RunTranscript("C");
  transcript.insert(transcript.begin() + 2, {" + Serial 9 in every zone", " + TTL 60 on every record"});
  EXPECT_EQ(r.out, JoinLines(transcript));
  EXPECT_EQ(r.status, 0);
  const std::string header = JoinLines({"; Created by Talvenor Zonquist 20070118", "$TTL 60",
                                        "@ IN SOA ns.lan.internal. postmaster.lan.internal. 9 86400 3600 604800 86400",
                                        " IN NS ns.lan.internal."});
  for (const std::string name : {"rfc1918.nam", "r192168.rev", "r10.rev"})
    EXPECT_EQ(ReadFile(dir / name).substr(0, header.size()), header) << name;
  EXPECT_EQ(ReadFile(dir / "r10.rev"), header + JoinLines({"* IN PTR private.ip-address.lan.internal."}));
}

// A prefix alone and a hosts file: its names first, wildcards for the rest.
TEST(Process, DetailAndHostsRun) {
  TempDir dir, inputs;
  WriteFile(inputs / "hosts", "192.168.1.20 fs  # the file server\n127.0.0.1 localhost\n10.1.2.2 db\n");
  RunResult r = RunZonquistIn(dir.path(), {"--detail", "10.1.2.0/30", "lan.internal.", "--hosts", inputs / "hosts"});
  std::vector<std::string> transcript = RunTranscript("");
  transcript.insert(transcript.begin() + 1,
                    {" + Including detail for 10.1.2.0/30", " + Skipped 1 hosts entries (loopback): line 2"});
  EXPECT_EQ(r.out, JoinLines(transcript));
  EXPECT_EQ(r.status, 0);
  const std::vector<std::string> header(kZoneHeader.begin(), kZoneHeader.end());
  auto file = [&](std::vector<std::string> lines) {
    lines.insert(lines.begin(), header.begin(), header.end());
    return JoinLines(lines);
  };
  const std::string w = " IN PTR private.ip-address.lan.internal.";
  EXPECT_EQ(ReadFile(dir / "r10.rev"),
            file({"*" + w, "*.1.10.in-addr.arpa." + w, "*.2.1.10.in-addr.arpa." + w,
                  "0.2.1.10.in-addr.arpa. IN PTR 10-1-2-0.lan.internal.", "1.2.1.10.in-addr.arpa. IN PTR 10-1-2-1.lan.internal.",
                  "2.2.1.10.in-addr.arpa. IN PTR db.lan.internal.", "3.2.1.10.in-addr.arpa. IN PTR 10-1-2-3.lan.internal."}));
  EXPECT_EQ(ReadFile(dir / "r192168.rev"),
            file({"*" + w, "*.1.168.192.in-addr.arpa." + w, "20.1.168.192.in-addr.arpa. IN PTR fs.lan.internal."}));
  EXPECT_EQ(ReadFile(dir / "r17231.rev"), file({"*" + w}));
  EXPECT_EQ(ReadFile(dir / "rfc1918.nam"),
            file({"10-1-2-0.lan.internal. IN A 10.1.2.0", "10-1-2-1.lan.internal. IN A 10.1.2.1",
                  "10-1-2-2.lan.internal. IN A 10.1.2.2", "10-1-2-3.lan.internal. IN A 10.1.2.3",
                  "fs.lan.internal. IN A 192.168.1.20", "db.lan.internal. IN A 10.1.2.2"}));
  // The hosts alone: their names and the wildcards, a small run; records
  // of one's own written in after them, their path said tidied.
  TempDir alone;
  WriteFile(alone / "own.zone", "@ IN MX 10 mail\n");
  ASSERT_EQ(mkdir((alone / "sub").c_str(), 0755), 0);
  r = RunZonquistIn(alone.path(), {"--hosts", inputs / "hosts", "lan.internal.", "--records", "./sub/../own.zone"});
  const std::string own = std::string(BuildLineEnd() == "\r\n" ? "Z:" : "") + alone / "own.zone";
  transcript[1] = " + Skipped 1 hosts entries (loopback): line 2";
  transcript[2] = " + Records of " + own + " checked: 1 in rfc1918.nam";
  EXPECT_EQ(r.out, JoinLines(transcript));
  EXPECT_EQ(ReadFile(alone / "r10.rev"),
            file({"*" + w, "*.1.10.in-addr.arpa." + w, "*.2.1.10.in-addr.arpa." + w, "2.2.1.10.in-addr.arpa. IN PTR db.lan.internal."}));
  EXPECT_EQ(ReadFile(alone / "rfc1918.nam"),
            file({"fs.lan.internal. IN A 192.168.1.20", "db.lan.internal. IN A 10.1.2.2",
                  "lan.internal. IN MX 10 mail.lan.internal."}));
  // With --ipv6: a twenty-first file, its zone listed last, counted too.
  TempDir six;
  WriteFile(inputs / "dual", "10.1.2.2 db\nfd00::2 db\n");
  ASSERT_EQ(mkdir((six / "rfd.rev").c_str(), 0755), 0);
  r = RunZonquistIn(six.path(), {"--ipv6", "--hosts", inputs / "dual", "lan.internal."});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(SplitLines(r.out).back(), "Not done: 1 of 21 files not written.");
  EXPECT_EQ(SplitLines(ReadFile(six / "BOOT.INC")).back(), "PRIMARY  d.f.ip6.arpa.          rfd.rev");
  EXPECT_EQ(SplitLines(ReadFile(six / "rfc1918.nam")).back(), "db.lan.internal. IN AAAA fd00::2");
}

TEST(Process, RerunReplacesFilesAndIsByteIdentical) {
  TempDir first, second;
  ASSERT_EQ(RunZonquistIn(first.path(), {"/C", "lan.internal."}).status, 0);
  // Longer leftovers of an earlier run and a stray file must not matter.
  WriteFile(second / "r10.rev", std::string(3 << 20, 'x'));
  WriteFile(second / "BOOT.INC", std::string(100000, 'x'));
  ASSERT_EQ(RunZonquistIn(second.path(), {"/A", "/C", "lan.internal."}).status, 0);
  ASSERT_EQ(RunZonquistIn(second.path(), {"/C", "lan.internal."}).status, 0);
  for (const std::string& name : ListDirectory(first.path()))
    EXPECT_TRUE(ReadFile(first / name) == ReadFile(second / name)) << name;
  EXPECT_EQ(ListDirectory(first.path()), ListDirectory(second.path()));
}

}  // namespace

namespace {

// A file's identity and times: untouched means all of them kept.
std::string Stamp(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "missing";
  return std::to_string(st.st_ino) + " " + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

std::string SerialIn(const std::string& path) {
  unsigned long serial = 0;
  const std::string text = ReadFile(path);
  const std::size_t soa = text.find("@ IN SOA ");
  return soa != std::string::npos && std::sscanf(text.c_str() + soa, "@ IN SOA %*s %*s %lu", &serial) == 1
             ? std::to_string(serial) : "none";
}

// --serial next keeps every unchanged file as it is, gives a changed zone
// the serial after its own (across the wrap too), and a new zone the run's
// start; no run writes a serial that a secondary would take as older.
TEST(Process, SerialNextAndNoLowering) {
  TempDir dir, in;
  const std::string hosts = in / "hosts";
  WriteFile(hosts, "10.1.2.5 build\n192.168.1.1 gw\n");
  const std::vector<std::string> base = {"/C", "lan.internal.", "--hosts", hosts, "--catalog", "zones.invalid."};
  auto run = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    return RunZonquistIn(dir.path(), args);
  };
  ASSERT_EQ(run({"--serial", "4294967295"}).status, 0);
  std::map<std::string, std::string> before;
  for (const std::string& name : ListDirectory(dir.path())) before[name] = Stamp(dir / name);
  ASSERT_EQ(before.size(), 21u);
  RunResult r = run({"--serial", "next"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(SplitLines(r.out).back(), "Done.");
  EXPECT_EQ(SplitLines(r.out)[4], "Keeping BOOT.INC: unchanged");
  EXPECT_EQ(SplitLines(r.out)[5], "Keeping rfc1918.nam: unchanged, serial 4294967295");
  for (const auto& [name, stamp] : before) EXPECT_EQ(Stamp(dir / name), stamp) << name;
  // One hosts line changed: its two zones, nothing else.
  WriteFile(hosts, "10.1.2.6 build\n192.168.1.1 gw\n");
  EXPECT_EQ(run({"--serial=next"}).status, 0);
  for (const auto& [name, stamp] : before) {
    const bool changed = name == "rfc1918.nam" || name == "r10.rev";
    EXPECT_EQ(Stamp(dir / name) != stamp, changed) << name;
    if (name != "BOOT.INC") {
      EXPECT_EQ(SerialIn(dir / name), changed ? "1" : "4294967295") << name;
    }
  }
  EXPECT_EQ(ReadFile(dir / "r10.rev").find("5.2.1.10.in-addr.arpa."), std::string::npos);
  // A serial lower in RFC 1982 terms than a file's is refused, whatever
  // gives it; an equal one, or one ahead across the wrap, is not.
  const std::string refusal = " is lower, and secondaries would keep the old records: use --serial next, or a serial above ";
  const struct {
    std::vector<std::string> first, second;
    std::string error;  // empty: accepted
  } rows[] = {
      {{"--serial", "1796700000"}, {}, "rfc1918.nam holds serial 1796700000; 1" + refusal + "1796700000"},
      {{"--serial", "2147483658"}, {"--serial", "10"}, "rfc1918.nam holds serial 2147483658; 10" + refusal + "2147483658"},
      {{"--serial", "1796700000"}, {"--serial", "1796699999", "--ipv6"}, "rfc1918.nam holds serial 1796700000; 1796699999" + refusal + "1796700000"},
      {{"--serial", "4294967295"}, {"--serial", "3"}, ""},
      {{"--serial", "2147483659"}, {"--serial", "10"}, ""},
      {{"--serial", "5"}, {"--serial", "5"}, ""},
      {{}, {}, ""},
      {{"--serial", "9"}, {"--serial", "unixtime"}, ""},
      {{"--serial", "3000000000"}, {"--serial", "unixtime"}, "rfc1918.nam holds serial 3000000000; "},
  };
  for (const auto& row : rows) {
    TempDir fresh;
    std::vector<std::string> first = {"/C", "lan.internal."}, second = first;
    first.insert(first.end(), row.first.begin(), row.first.end());
    second.insert(second.end(), row.second.begin(), row.second.end());
    ASSERT_EQ(RunZonquistIn(fresh.path(), first).status, 0);
    const std::string kept = ReadFile(fresh / "r10.rev");
    r = RunZonquistIn(fresh.path(), second);
    SCOPED_TRACE(row.error);
    EXPECT_EQ(r.status, row.error.empty() ? 0 : 1);
    EXPECT_EQ(r.err.substr(0, 7 + row.error.size()), row.error.empty() ? "" : "Error: " + row.error);
    if (!row.error.empty()) {
      EXPECT_EQ(ReadFile(fresh / "r10.rev"), kept);
      EXPECT_EQ(ListDirectory(fresh.path()).size(), 20u);
    }
  }
}

}  // namespace
