// libFuzzer target over the records reader: no text crashes it; what it
// accepts reads back as itself; and the zones it accepts are kept (in
// ZONQUIST_FUZZ_ZONES, at most 200) for BIND's and Knot's checkers to load.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "inputs/records.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static int kept = 0;
  const RecordsContext context{"lan.internal.", -1, nullptr};
  const RecordsParse parse = ParseRecords({{"own", std::string(reinterpret_cast<const char*>(data), size)}}, context);
  if (parse.error) {
    Require(parse.lines.empty() && parse.error->rfind("Error: own:", 0) == 0);
    return 0;
  }
  std::string written;
  for (const std::string& line : parse.lines) {
    Require(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
    written += line + "\n";
  }
  const RecordsParse again = ParseRecords({{"own", written}}, context);
  Require(!again.error && again.lines == parse.lines);
  const char* folder = std::getenv("ZONQUIST_FUZZ_ZONES");
  if (folder != nullptr && !parse.lines.empty() && kept < 200) {
    std::ofstream zone(std::string(folder) + "/zone" + std::to_string(kept++));
    zone << "@ IN SOA ns.lan.internal. postmaster.lan.internal. 1 86400 3600 604800 86400\n"
         << " IN NS ns.lan.internal.\nns.lan.internal. IN A 10.0.0.53\n"
         << written;
  }
  return 0;
}
