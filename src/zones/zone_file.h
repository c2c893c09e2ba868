// The header of every zone file and the reverse zone files.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_file.h"
#include "zones/address.h"
#include "zones/line_block.h"
#include "zones/shared_state.h"

// The PTR lines of a reverse zone: the absolute reverse name, then the host
// label in the private domain. A bare d.c.b.a would be taken relative to
// the zone.
class PtrLines {
 public:
  // Z, the longest piece: "." + the domain + the line end.
  static_assert(1 + MaxDomainLength + 2 <= LineBlock::kLongestPiece, "the longest Z piece must fit");
  explicit PtrLines(const std::string& domain) { block_.SetZ("." + domain + std::string(platform::LineEnd)); }
  // The pieces for a's /24: X empty, Y ".c.b.a.in-addr.arpa. IN PTR a-b-c-".
  const LineBlock& For(Ipv4Value a) {
    char y[64];
    char* p = y;
    for (int i = 2; i >= 0; --i) {
      *p++ = '.';
      p = AppendOctet(p, Octet(a, i));
    }
    constexpr std::string_view kMiddle = ".in-addr.arpa. IN PTR ";
    std::memcpy(p, kMiddle.data(), kMiddle.size());
    p += kMiddle.size();
    for (int i = 0; i < 3; ++i) {
      p = AppendOctet(p, Octet(a, i));
      *p++ = '-';
    }
    block_.SetY(std::string_view(y, static_cast<std::size_t>(p - y)));
    return block_;
  }

 private:
  LineBlock block_;
};

void WriteZoneHeader(OutputFile& file);
void WriteDetailedReverseZone(std::string_view fileName, Ipv4Value first, Ipv4Value last);
void WriteWildcardReverseZone(std::string_view fileName);
// A zone of which only some addresses are written: the detailed ranges (in
// address order, inside the zone) and the addresses the hosts file names.
// Every address not written answers with the wildcard's name: a wildcard
// stands at the top and under every name whose 256 children are not all
// there, since a wildcard does not reach below a name that exists.
void WritePartialReverseZone(std::string_view fileName, AddressRange zone, const std::vector<AddressRange>& detail);
