#include "inputs/read_inputs.h"

#include <algorithm>

#include <iterator>

#include "inputs/hosts.h"
#include "inputs/leases.h"
#include "inputs/records.h"
#include "output/console.h"
#include "output/errors.h"
#include "output/platform.h"
#include "zones/zone_plan.h"

namespace {

// Read whole, or the error line.
std::optional<std::string> ReadWhole(const std::string& name, std::string& text) {
  if (platform::ErrorCode e = platform::ReadWholeFile(name, text))
    return "Error: could not read " + Shown(name) + ": " + ErrorText(e);
  return std::nullopt;
}

}  // namespace

std::string TidyPath(std::string_view path) {
  // A drive or the root stays; "." goes; ".." takes the part before it.
  std::size_t rootSize = path.substr(0, 1) == "/" ? 1 : path.size() > 2 && path[1] == ':' && path[2] == '/' ? 3 : 0;
  std::vector<std::string_view> parts;
  for (std::size_t at = rootSize; at <= path.size();) {
    const std::size_t end = std::min(path.find('/', at), path.size());
    const std::string_view part = path.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") parts.pop_back();
      else if (rootSize == 0) parts.push_back(part);
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string tidy(path.substr(0, rootSize));
  for (std::size_t i = 0; i < parts.size(); ++i) tidy.append(i ? "/" : "").append(parts[i]);
  return tidy.empty() ? "." : tidy;
}

std::optional<std::string> ReadOutsideFiles(const OutsideFiles& files, ZoneInputs& inputs,
                                            std::vector<std::string>& lines) {
  std::vector<HostsFile> hostsFiles;
  for (const std::string& name : files.hosts) {
    hostsFiles.push_back({name, {}});
    if (std::optional<std::string> error = ReadWhole(name, hostsFiles.back().text)) return error;
  }
  if (!hostsFiles.empty() || !files.leases.empty()) {
    HostsParse hosts = ParseHosts(hostsFiles, inputs.PrivateDomain, inputs.Ipv6);
    if (hosts.error) return hosts.error;
    for (const SkippedEntries& skipped : hosts.skipped) lines.push_back(SkipLine(skipped, hostsFiles.size() > 1));
    if (!files.leases.empty()) {
      // The leases' names as one more hosts file, after the others.
      std::vector<Lease> leases;
      for (const std::string& name : files.leases) {
        LeasesFile file{name, {}};
        if (std::optional<std::string> error = ReadWhole(name, file.text)) return error;
        if (file.text.rfind("address,", 0) == 0) {
          // Kea's cleanup keeps the leases in FILE.2 (and FILE.1 while it
          // runs); Kea reads them first at its start, and so do we.
          std::string older, text;
          for (const char* suffix : {".2", ".1"})
            if (!ReadWhole(name + suffix, text)) older += text + "\n", text.clear();
          file.text = older + file.text;
        }
        LeasesRead read = ReadLeases(file, files.now);
        if (read.error) return read.error;
        lines.insert(lines.end(), read.lines.begin(), read.lines.end());
        std::move(read.leases.begin(), read.leases.end(), std::back_inserter(leases));
      }
      LeaseNames named = NameLeases(std::move(leases), hosts.table, inputs.PrivateDomain, inputs.Ipv6);
      const auto count = std::count(named.hostsText.begin(), named.hostsText.end(), '\n');
      lines.push_back(" + Leases: " + std::to_string(count) + " hosts named");
      lines.insert(lines.end(), named.lines.begin(), named.lines.end());
      hostsFiles.push_back({"leases", std::move(named.hostsText)});
      hosts = ParseHosts(hostsFiles, inputs.PrivateDomain, inputs.Ipv6);
      if (hosts.error) return hosts.error;
    }
    inputs.Hosts = std::move(hosts.table);
  }
  if (files.records.empty()) return std::nullopt;
  // No file of this run's own: a server would read what the run is writing.
  std::vector<std::string> outputs;
  for (std::string_view output : PlannedFileNames(inputs)) outputs.push_back(platform::FileIdentity(std::string(output)));
  std::vector<RecordsFile> recordsFiles;
  for (const std::string& name : files.records) {
    const std::string identity = platform::FileIdentity(name);
    const auto same = std::find(outputs.begin(), outputs.end(), identity);
    if (!identity.empty() && same != outputs.end())
      return "Error: --records: " + Shown(name) + " is " +
             std::string(PlannedFileNames(inputs)[static_cast<std::size_t>(same - outputs.begin())]) +
             ", a file this run writes";
    recordsFiles.push_back({name, {}});
    if (std::optional<std::string> error = ReadWhole(name, recordsFiles.back().text)) return error;
  }
  RecordsParse records = ParseRecords(recordsFiles, {inputs.PrivateDomain, inputs.Ttl, &inputs.Hosts});
  if (records.error) return records.error;
  for (std::size_t i = 0; i < files.records.size(); ++i) {
    const std::string path = platform::AbsolutePath(files.records[i]);
    lines.push_back(" + Records of " + Shown(TidyPath(path.empty() ? files.records[i] : path)) + " checked: " +
                    std::to_string(records.counts[i]) + " in rfc1918.nam");
  }
  inputs.Records = std::move(records.lines);
  return std::nullopt;
}
