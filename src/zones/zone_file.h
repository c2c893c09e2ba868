// The header of every zone file and the reverse zone files.
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "output/output_file.h"
#include "zones/address.h"
#include "zones/line_block.h"
#include "zones/names.h"
#include "zones/shared_state.h"
#include "zones/zone_plan.h"

// The PTR lines of a reverse zone: the absolute reverse name, then the
// generic name. A bare d.c.b.a would be taken relative to the zone.
class PtrLines {
 public:
  // Z, the longest piece: "." + the domain + the line end.
  static_assert(1 + MaxDomainLength + 2 <= LineBlock::kLongestPiece, "the longest Z piece must fit");
  explicit PtrLines(std::string_view domain) {
    std::string z = GenericNameTail(domain);
    z.append(platform::LineEnd);
    block_.SetZ(z);
  }
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
    p = AppendGenericStem(p + kMiddle.size(), a);
    block_.SetY(std::string_view(y, static_cast<std::size_t>(p - y)));
    return block_;
  }

 private:
  LineBlock block_;
};

void WriteZoneHeader(OutputFile& file, const ZoneInputs& inputs);

// A reverse zone as planned: the generic ranges and the named addresses.
// Every address not written answers with the wildcard's name: a wildcard
// stands at the top and under every name whose 256 children are not all
// there, since a wildcard does not reach below a name that exists.
void WriteReverseZone(const ZonePlan& plan, const ZoneInputs& inputs);
