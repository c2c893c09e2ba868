// Times the tool against the write floor, alternating them (ABBA) on the
// names and sizes that the tool's own run leaves, and prints one row per
// class switch.
//   bench_runner TOOL FLOOR DIR PAIRS LABEL [SWITCH]...
// Each SWITCH is a row's arguments, separated by blanks: a class switch
// ("/A", "/B", "/C"), options, or "-" for a full run.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Sample {
  double seconds = 0;
  long peakKiB = 0;
};

// Each sample starts with no writeback pending from the one before.
Sample Run(const std::string& dir, const std::vector<std::string>& argv, const char* output = "/dev/null") {
  sync();
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> raw;
    for (const std::string& a : argv) raw.push_back(const_cast<char*>(a.c_str()));
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  Sample s;
  s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  s.peakKiB = usage.ru_maxrss;
  if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0)) {
    std::fprintf(stderr, "%s failed with status %d\n", argv[0].c_str(), status);
    std::exit(2);
  }
  return s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Lines of the zone files less their one comment line each: all records.
unsigned long long CountRecords(const std::string& dir, const std::vector<std::string>& names) {
  unsigned long long records = 0;
  std::vector<char> block(1 << 20);
  for (const std::string& name : names) {
    if (name == "BOOT.INC") continue;
    std::ifstream in(dir + "/" + name, std::ios::binary);
    while (in) {
      in.read(block.data(), static_cast<std::streamsize>(block.size()));
      records += static_cast<unsigned long long>(std::count(block.data(), block.data() + in.gcount(), '\n'));
    }
    --records;
  }
  return records;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr, "usage: bench_runner TOOL FLOOR DIR PAIRS LABEL SWITCH...\n");
    return 2;
  }
  std::string tool = argv[1], floor = argv[2], dir = argv[3], label = argv[5];
  int pairs = std::atoi(argv[4]);
  for (int c = 6; c < argc; ++c) {
    // A row's words, separated by blanks; "-" for none.
    std::string sw = argv[c];
    std::vector<std::string> toolArgs{tool};
    for (std::size_t at = 0; sw != "-" && at < sw.size();) {
      const std::size_t end = std::min(sw.find(' ', at), sw.size());
      toolArgs.push_back(sw.substr(at, end - at));
      at = end + 1;
    }
    toolArgs.push_back("lan.internal.");

    // The floor writes the same files in the same order as the tool does,
    // as its console says: BOOT.INC, rfc1918.nam, then each reverse zone.
    const std::string transcript = dir + ".console";
    Sample warm = Run(dir, toolArgs, transcript.c_str());
    // --serial next: the first run writes what the row before left; the
    // second finds it unchanged, and that is the run measured.
    if (sw.find("next") != std::string::npos) warm = Run(dir, toolArgs, transcript.c_str());
    // A file the run kept (--serial next, nothing changed) is not written
    // by the floor either.
    std::vector<std::string> names;
    {
      std::ifstream console(transcript);
      bool keptHead[2] = {false, false};
      std::vector<std::string> reverse;
      for (std::string line; std::getline(console, line);) {
        if (line.rfind("Keeping BOOT.INC", 0) == 0) keptHead[0] = true;
        if (line.rfind("Keeping rfc1918.nam", 0) == 0) keptHead[1] = true;
        if (line.rfind("Creating r", 0) != 0) continue;
        std::string name = line.substr(9);
        reverse.push_back(name.substr(0, name.find_first_of(" \r")));
      }
      if (!keptHead[0]) names.push_back("BOOT.INC");
      if (!keptHead[1]) names.push_back("rfc1918.nam");
      names.insert(names.end(), reverse.begin(), reverse.end());
    }
    std::remove(transcript.c_str());
    std::vector<std::string> floorArgs{floor};
    unsigned long long bytes = 0;
    for (const std::string& n : names) {
      struct stat st {};
      stat((dir + "/" + n).c_str(), &st);
      floorArgs.push_back(n);
      floorArgs.push_back(std::to_string(st.st_size));
      bytes += static_cast<unsigned long long>(st.st_size);
    }
    unsigned long long records = CountRecords(dir, names);

    std::vector<double> toolTimes, floorTimes, ratios;
    long peak = warm.peakKiB;
    for (int i = 0; i < pairs; ++i) {
      bool floorFirst = i % 2 == 0;  // ABBA
      Sample a = Run(dir, floorFirst ? floorArgs : toolArgs);
      Sample b = Run(dir, floorFirst ? toolArgs : floorArgs);
      const Sample& t = floorFirst ? b : a;
      const Sample& f = floorFirst ? a : b;
      toolTimes.push_back(t.seconds);
      floorTimes.push_back(f.seconds);
      ratios.push_back(t.seconds / f.seconds);
      peak = std::max(peak, t.peakKiB);
    }
    double seconds = Median(toolTimes);
    auto [lo, hi] = std::minmax_element(ratios.begin(), ratios.end());
    const double floorSeconds = Median(floorTimes);
    // A hosts file is named by its role, not its temporary path.
    const bool hosts = sw.rfind("--hosts=", 0) == 0;
    const std::string shown = sw == "-"                           ? "full"
                              : sw == "--serial=next"             ? "full, next, unchanged"
                              : sw.find("--records=") != sw.npos  ? "--hosts + 10,000 records"
                              : sw.find("-same-") != sw.npos      ? "20,000 equal hosts lines"
                              : sw.find("-isc-") != sw.npos       ? "--leases ISC (100,000)"
                              : sw.find("-kea-") != sw.npos       ? "--leases Kea (100,000)"
                              : sw.find("-dnsmasq-") != sw.npos   ? "--leases dnsmasq (100,000)"
                              : sw.rfind("--ipv6 ", 0) == 0       ? "--ipv6 --hosts (100,000)"
                              : hosts && sw.find(' ') != sw.npos ? "full --hosts (100,000)"
                              : hosts                             ? "--hosts alone (100,000)"
                                                                  : sw;
    std::printf("| %-5s | %-22s | %10llu | %10llu | %7.3f | %7.3f | %10.2f | %7.1f | %8.2f | %8.1f | %5.2f (%.2f-%.2f) |\n",
                label.c_str(), shown.c_str(), records, bytes, seconds, floorSeconds,
                static_cast<double>(bytes) / 1e9 / floorSeconds, static_cast<double>(bytes) / 1e6 / seconds,
                seconds / (static_cast<double>(bytes) / 1e9),
                static_cast<double>(peak) / 1024.0, Median(ratios), *lo, *hi);
    std::fflush(stdout);
  }
  return 0;
}
