// BOOT.INC: the PRIMARY lines of all nineteen zones.
#pragma once

#include <array>
#include <string_view>

// Lines 3 to 20: the reverse zones in network order, file names aligned.
extern const std::array<std::string_view, 18> ReversePrimaryLines;

void WriteBootInclude();
