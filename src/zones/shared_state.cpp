#include "zones/shared_state.h"

std::string BootIncludeName = "BOOT.INC";
std::string DetailClasses = "ABC";
std::string PrivateDomain;
std::uint32_t ZoneSerial = 1;
std::int64_t ZoneTtl = -1;
std::vector<AddressRange> DetailRanges;
