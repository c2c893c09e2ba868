// The header of every zone file and the reverse zone files.
#pragma once

#include <string_view>

#include "output/output_file.h"
#include "zones/address.h"

// The longest line a zone writer makes: two address forms, the record
// pieces and a domain of at most 235 characters, with room for the
// address forms' overrun.
inline constexpr std::size_t ZoneLineSpace = 512;

void WriteZoneHeader(OutputFile& file);
void WriteDetailedReverseZone(std::string_view fileName, Ipv4Value first, Ipv4Value last);
void WriteWildcardReverseZone(std::string_view fileName);
