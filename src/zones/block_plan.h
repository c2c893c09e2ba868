// The three private blocks, their reverse zones, and the forward zone.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_file.h"
#include "zones/address.h"
#include "zones/line_block.h"
#include "zones/shared_state.h"
#include "zones/zone_file.h"
#include "zones/zone_table.h"

enum class OwnerForm { BareLabel, QualifiedLabel };

struct AddressBlock {
  char ClassLetter;
  std::string_view ProgressLine;
  std::string_view FirstText;
  std::string_view LastText;
  OwnerForm Owner;
  std::span<const ZoneEntry> ReverseZones;
};

extern const std::array<AddressBlock, 3> BlockPlan;

// The A lines of a block: the host label, bare or with the domain, then
// the address.
class ALines {
 public:
  ALines(OwnerForm owner, const std::string& domain)
      : middle_((owner == OwnerForm::QualifiedLabel ? "." + domain : "") + " IN A ") {
    block_.SetZ(platform::LineEnd);
  }
  // The pieces for a's /24: X "a-b-c-", Y the middle and "a.b.c.".
  const LineBlock& For(Ipv4Value a) {
    char x[16];
    char* p = x;
    for (int i = 0; i < 3; ++i) {
      p = AppendOctet(p, Octet(a, i));
      *p++ = '-';
    }
    block_.SetX(std::string_view(x, static_cast<std::size_t>(p - x)));
    // No allocation per /24: the middle is at most a domain and " IN A ".
    static_assert(1 + MaxDomainLength + 6 + 12 <= LineBlock::kLongestPiece, "the longest Y piece must fit");
    char y[LineBlock::kPieceRoom + 16];
    std::size_t size = std::min(middle_.size(), LineBlock::kPieceRoom);
    std::memcpy(y, middle_.data(), size);
    p = y + size;
    for (int i = 0; i < 3; ++i) {
      p = AppendOctet(p, Octet(a, i));
      *p++ = '.';
    }
    block_.SetY(std::string_view(y, static_cast<std::size_t>(p - y)));
    return block_;
  }

 private:
  std::string middle_;
  LineBlock block_;
};

// Every file a run writes, in the order it writes them.
std::vector<std::string_view> OutputFileNames();

void ProcessAddressBlock(const AddressBlock& block, OutputFile& forwardZone);
void WriteForwardZone();
