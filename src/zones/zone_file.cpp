#include "zones/zone_file.h"

#include <cstring>
#include <string>

#include "output/console.h"
#include "zones/progress.h"
#include "zones/shared_state.h"

// The commit puts the first line back over the guard, byte for byte.
static_assert(GuardLine.size() == std::string_view("; Created by ").size() + BannerText.size() + 8,
              "the guard is as long as a zone file's first line");

void WriteZoneHeader(OutputFile& file) {
  const std::string& d = PrivateDomain;
  // ";" opens a comment in a master file; "#" would be read as a record.
  const std::string eol(platform::LineEnd);
  std::string header = "; Created by " + std::string(BannerText) + std::to_string(BuildStamp) + eol;
  if (ZoneTtl >= 0) header += "$TTL " + std::to_string(ZoneTtl) + eol;
  header += "@ IN SOA ns." + d + " postmaster." + d + " " + std::to_string(ZoneSerial) + " 86400 3600 604800 86400" +
            eol + " IN NS ns." + d;
  WriteFileLine(file, header);
}

void WriteDetailedReverseZone(std::string_view fileName, Ipv4Value first, Ipv4Value last) {
  PrintLine("Creating " + std::string(fileName) + " (" + FormatDottedQuad(first) + " - " +
            FormatDottedQuad(last) + ")");
  OutputFile file = OpenOutputFile(fileName);
  WriteZoneHeader(file);
  PtrLines lines(PrivateDomain);
  WriteLineBlocks(file, lines, first, last, UpdateProgressTitle);
  CloseOutputFile(file);
}

void WriteWildcardReverseZone(std::string_view fileName) {
  PrintLine("Creating " + std::string(fileName));
  OutputFile file = OpenOutputFile(fileName);
  WriteZoneHeader(file);
  WriteFileLine(file, "* IN PTR private.ip-address." + PrivateDomain);
  CloseOutputFile(file);
}
