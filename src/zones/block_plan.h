// The three private blocks, their reverse zones, and the forward zone.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "output/output_file.h"

enum class OwnerForm { BareLabel, QualifiedLabel };

struct ReverseZoneEntry {
  std::string_view FileName;
  std::string_view FirstText;
  std::string_view LastText;
};

struct AddressBlock {
  char ClassLetter;
  std::string_view ProgressLine;
  std::string_view FirstText;
  std::string_view LastText;
  OwnerForm Owner;
  std::span<const ReverseZoneEntry> ReverseZones;
};

extern const std::array<AddressBlock, 3> BlockPlan;

inline constexpr std::string_view ForwardZoneFile = "rfc1918.nam";

void ProcessAddressBlock(const AddressBlock& block, OutputFile& forwardZone);
void WriteForwardZone();
