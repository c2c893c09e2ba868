#include "inputs/read_inputs.h"

#include "inputs/hosts.h"
#include "output/console.h"
#include "output/errors.h"
#include "output/platform.h"

namespace {

// Why a path cannot follow $INCLUDE in a zone file as it is (unquoted: two
// servers refuse a quoted one), or nothing.
std::optional<std::string> IncludePathProblem(std::string_view path) {
  for (unsigned char c : path) {
    if (c == ' ' || c == '\t') return "a blank";
    if (c == ';') return "a \";\", which opens a comment";
    if (c == '"') return "a double quote";
    if (c == '(' || c == ')') return "a parenthesis";
    if (c == '\\') return "a backslash, an escape in a zone file";
    if (c < 33 || c > 126) return "a byte outside printable ASCII";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadOutsideFiles(const OutsideFiles& files, ZoneInputs& inputs,
                                            std::vector<std::string>& lines) {
  if (!files.hosts.empty()) {
    std::vector<HostsFile> hostsFiles;
    for (const std::string& name : files.hosts) {
      hostsFiles.push_back({name, {}});
      if (platform::ErrorCode e = platform::ReadWholeFile(name, hostsFiles.back().text))
        return "Error: could not read " + Shown(name) + ": " + ErrorText(e);
    }
    HostsParse hosts = ParseHosts(hostsFiles, inputs.PrivateDomain, inputs.Ipv6);
    if (hosts.error) return hosts.error;
    inputs.Hosts = std::move(hosts.table);
    for (const SkippedEntries& skipped : hosts.skipped) lines.push_back(SkipLine(skipped, hostsFiles.size() > 1));
  }
  for (const std::string& name : files.records) {
    // There when the run starts; the servers read it at each load.
    std::string text;
    if (platform::ErrorCode e = platform::ReadWholeFile(name, text))
      return "Error: could not read " + Shown(name) + ": " + ErrorText(e);
    const std::string path = platform::AbsolutePath(name);
    if (path.empty()) return "Error: --records: could not tell the absolute path of " + Shown(name);
    if (std::optional<std::string> problem = IncludePathProblem(path))
      return "Error: --records: " + Shown(path) + " cannot stand in a zone file: it holds " + *problem +
             "; name a link to it from a path without one";
    lines.push_back(" + Records of " + path + " included in rfc1918.nam");
    inputs.Records.push_back(path);
  }
  return std::nullopt;
}
