// The forward zone's lines: its header, each block's A records, then the
// named hosts' records and the administrator's own.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "output/output_file.h"
#include "zones/address.h"
#include "zones/line_block.h"
#include "zones/names.h"
#include "zones/shared_state.h"
#include "zones/zone_plan.h"

// The A lines of a block: the generic label, bare or with the domain, then
// the address.
class ALines {
 public:
  ALines(OwnerForm owner, std::string_view domain) {
    if (owner == OwnerForm::QualifiedLabel) middle_ = GenericNameTail(domain);
    middle_ += " IN A ";
    block_.SetZ(platform::LineEnd);
  }
  // The pieces for a's /24: X "a-b-c-", Y the middle and "a.b.c.".
  const LineBlock& For(Ipv4Value a) {
    char x[16];
    block_.SetX(std::string_view(x, static_cast<std::size_t>(AppendGenericStem(x, a) - x)));
    // No allocation per /24: the middle is at most a domain and " IN A ".
    static_assert(1 + MaxDomainLength + 6 + 12 <= LineBlock::kLongestPiece, "the longest Y piece must fit");
    char y[LineBlock::kPieceRoom + 16];
    std::size_t size = std::min(middle_.size(), LineBlock::kPieceRoom);
    std::memcpy(y, middle_.data(), size);
    char* p = y + size;
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

// The generic A records of one block.
void WriteBlockARecords(OutputFile& forwardZone, const BlockSteps& steps, const ZoneInputs& inputs);
// The names of the hosts files in the private domain, then the
// administrator's own records.
void WriteNamedRecords(OutputFile& forwardZone, const ZoneInputs& inputs);
