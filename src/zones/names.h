// The names a run makes up, and the rules of the names it takes: change a
// made-up name here and every file follows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "zones/address.h"

// What every address without a record of its own answers: the wildcard's
// target, this label in the private domain.
inline constexpr std::string_view WildcardLabel = "private.ip-address.";
std::string WildcardTarget(std::string_view domain);

// What follows an address's generic label in its name: "." and the domain.
std::string GenericNameTail(std::string_view domain);

// An address's generic name is its host label, a-b-c-d, in the private
// domain. The line writers lay it down a /24 at a time: the stem "a-b-c-"
// that the /24 shares, then the last octet, then the domain.
inline char* AppendGenericStem(char* out, Ipv4Value address) {
  for (int i = 0; i < 3; ++i) {
    out = AppendOctet(out, Octet(address, i));
    *out++ = '-';
  }
  return out;
}
// The address whose generic label this is ("10-1-2-7"), if it is one.
std::optional<Ipv4Value> GenericLabelAddress(std::string_view label);

// Whether a fully qualified name is the domain or lies under it.
bool InDomain(std::string_view name, std::string_view domain);

// A name (fully qualified, lower case) that the run makes up itself: the
// wildcard's target (its label alone too: a search list adds the domain),
// or the generic name of a private address. Either answers for addresses
// that are not a host's own, so nothing else may take it.
struct MadeUpName {
  bool wildcard = false;
  std::optional<Ipv4Value> generic;  // the address, inside the private blocks
};
MadeUpName MadeUpNameOf(std::string_view name, std::string_view domain);

// Names are ASCII host names: case is folded on ASCII letters alone.
void LowerCase(std::string& text);
void UpperCase(std::string& text);

// Every label of a name ending in ".": letters, digits and "-", 1 to 63 of
// them, no "-" at either end.
bool HasHostNameLabels(std::string_view name);
