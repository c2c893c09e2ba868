// The header of every zone file and the reverse zone files.
#pragma once

#include <cstdint>
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

// The first lines of every zone: the tool's line, $TTL when given, the SOA
// with this serial, and the NS record (ns. of the domain unless named).
void WriteZoneHeader(OutputFile& file, const ZoneInputs& inputs, std::uint32_t serial, std::string_view nameServer = {});
// The serial of a zone that the tool wrote, from the file's first bytes;
// nothing for any other file.
std::optional<std::uint32_t> WrittenSerial(std::string_view start);
// RFC 1982: whether serial a is lower than b, which a secondary takes for
// an older zone (exactly half the space apart counts as lower: it is
// undefined).
inline constexpr bool SerialBelow(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t ahead = b - a;
  return ahead != 0 && ahead <= 0x80000000u;
}
// The serial after s; 0 is skipped, as no run writes it.
inline constexpr std::uint32_t NextSerial(std::uint32_t s) { return s == 0xFFFFFFFFu ? 1 : s + 1; }
// How many first bytes WrittenSerial needs at most.
inline constexpr std::size_t ZoneHeaderRoom = 1024;

// A reverse zone as planned: the generic ranges and the named addresses.
// Every address not written answers with the wildcard's name: a wildcard
// stands at the top and under every name whose 256 children are not all
// there, since a wildcard does not reach below a name that exists.
void WriteReverseZone(OutputFile& file, const ZonePlan& plan, const ZoneInputs& inputs, std::uint32_t serial);
