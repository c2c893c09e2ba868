#include "zones/shared_state.h"

std::string BootIncludeName = "BOOT.INC";
std::string DetailClasses = "ABC";
std::string PrivateDomain;
