// The run's few shared values: set once by the command line, read by the
// zone writers.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view BannerText = "Talvenor Zonquist ";
inline constexpr int BuildStamp = 20070118;  // always shown as its eight digits

extern std::string BootIncludeName;
extern std::string DetailClasses;
extern std::string PrivateDomain;  // lower case, ends in "."
