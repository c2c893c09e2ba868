// The three private blocks, their reverse zones, and the forward zone.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "output/output_file.h"
#include "zones/address.h"
#include "zones/zone_file.h"

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

// One A line with its line end; the qualified owner carries the domain.
class ALineForm {
 public:
  ALineForm(OwnerForm owner, const std::string& domain)
      : middle_((owner == OwnerForm::QualifiedLabel ? "." + domain : "") + " IN A "), end_(std::string(platform::LineEnd)) {}
  std::size_t Room() const { return 2 * AppendedQuadSpace + middle_.Room() + end_.Room(); }
  char* PutAt(char* out, Ipv4Value a) const {
    return end_.PutAt(AppendDottedQuad(middle_.PutAt(AppendHostLabel(out, a)), a));
  }

 private:
  LinePiece middle_;
  LinePiece end_;
};

inline constexpr std::string_view ForwardZoneFile = "rfc1918.nam";

void ProcessAddressBlock(const AddressBlock& block, OutputFile& forwardZone);
void WriteForwardZone();
