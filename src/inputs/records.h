// Records of the administrator's own, in zone-file syntax, read whole and
// checked against every name the run writes before anything is opened;
// what passes is written into the forward zone in one form that every
// server reads alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zones/host_table.h"

struct RecordsFile {
  std::string name;  // as given, for the error lines
  std::string text;
};

// What the records are checked against.
struct RecordsContext {
  std::string_view domain;  // lower case, ends in "."
  std::int64_t ttl = -1;    // --ttl, or -1
  const HostTable* hosts = nullptr;
};

struct RecordsParse {
  std::optional<std::string> error;  // the error line
  // The lines for the forward zone: owner and names absolute, class IN.
  std::vector<std::string> lines;
  std::vector<std::size_t> counts;  // records of each file
};

// The types that all seven servers load alike as written.
inline constexpr std::string_view AcceptedRecordTypes = "A, AAAA, CNAME, MX, NS, SRV and TXT";

RecordsParse ParseRecords(const std::vector<RecordsFile>& files, const RecordsContext& context);
