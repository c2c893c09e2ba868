#include "zones/catalog_zone.h"

#include "zones/zone_file.h"

std::string CatalogMemberId(std::string_view zoneName) {
  // FNV-1a of the lower-case name: a label of 16 hex digits.
  std::uint64_t hash = 14695981039346656037ull;
  for (char c : zoneName) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) id[static_cast<std::size_t>(i)] = kHex[hash & 0xF];
  return id;
}

void WriteCatalogZone(OutputFile& file, const RunPlan& plan, const ZoneInputs& inputs, std::uint32_t serial) {
  // "invalid." as RFC 9432 recommends: no one is to ask a catalog's servers.
  WriteZoneHeader(file, inputs, serial, "invalid.");
  WriteFileLine(file, "version IN TXT \"2\"");
  for (const ZoneEntry& zone : plan.Zones) {
    if (zone.FileName == CatalogZone.FileName) continue;
    WriteFileLine(file, CatalogMemberId(zone.ZoneName) + ".zones IN PTR " + std::string(zone.ZoneName));
  }
}
