#include "zones/zone_file.h"

#include <array>
#include <cstring>
#include <string>

#include "output/console.h"
#include "zones/shared_state.h"

void WriteZoneHeader(OutputFile& file) {
  const std::string& d = PrivateDomain;
  // ";" opens a comment in a master file; "#" would be read as a record.
  std::string header = "; Created by " + std::string(BannerText) + std::to_string(BuildStamp) +
                       "\r\n@ IN SOA ns." + d + " postmaster." + d + " 1 86400 3600 604800 86400" +
                       "\r\n IN NS ns." + d;
  WriteFileLine(file, header);
}

void WriteDetailedReverseZone(std::string_view fileName, Ipv4Value first, Ipv4Value last) {
  PrintLine("Creating " + std::string(fileName) + " (" + FormatDottedQuad(first) + " - " +
            FormatDottedQuad(last) + ")");
  OutputFile file = OpenOutputFile(fileName);
  WriteZoneHeader(file);
  // Absolute owners: a bare d.c.b.a would be taken relative to the zone.
  static constexpr std::string_view kMiddle = ".in-addr.arpa. IN PTR ";
  const std::string target = "." + PrivateDomain;
  std::array<char, ZoneLineSpace> line;
  ForEachAddress(first, last, [&](Ipv4Value a) {
    UpdateProgressTitle(a);
    char* p = AppendReverseQuad(line.data(), a);
    std::memcpy(p, kMiddle.data(), kMiddle.size());
    p = AppendHostLabel(p + kMiddle.size(), a);
    std::memcpy(p, target.data(), target.size());
    p += target.size();
    WriteFileLine(file, std::string_view(line.data(), static_cast<std::size_t>(p - line.data())));
  });
  CloseOutputFile(file);
}

void WriteWildcardReverseZone(std::string_view fileName) {
  PrintLine("Creating " + std::string(fileName));
  OutputFile file = OpenOutputFile(fileName);
  WriteZoneHeader(file);
  WriteFileLine(file, "* IN PTR private.ip-address." + PrivateDomain);
  CloseOutputFile(file);
}
