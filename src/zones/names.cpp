#include "zones/names.h"

#include "zones/zone_table.h"

std::string WildcardTarget(std::string_view domain) {
  std::string target(WildcardLabel);
  return target.append(domain);
}

std::string GenericNameTail(std::string_view domain) {
  std::string tail(".");
  return tail.append(domain);
}

bool InDomain(std::string_view name, std::string_view domain) {
  return name == domain || (name.size() > domain.size() && name[name.size() - domain.size() - 1] == '.' &&
                            name.substr(name.size() - domain.size()) == domain);
}

MadeUpName MadeUpNameOf(std::string_view name, std::string_view domain) {
  MadeUpName made;
  // Compared in place: this is asked of every name of a large hosts file.
  made.wildcard = name == WildcardLabel || (name.size() == WildcardLabel.size() + domain.size() &&
                                            name.substr(0, WildcardLabel.size()) == WildcardLabel &&
                                            name.substr(WildcardLabel.size()) == domain);
  if (InDomain(name, domain) && name.size() > domain.size()) {
    const std::optional<Ipv4Value> generic = GenericLabelAddress(name.substr(0, name.size() - domain.size() - 1));
    if (generic && PrivateBlockOf(*generic) != nullptr) made.generic = generic;
  }
  return made;
}

std::optional<Ipv4Value> GenericLabelAddress(std::string_view label) {
  // Most names are no address at all: only digits and three "-" may be.
  if (label.size() < 7 || label.size() > 15 || label.find_first_not_of("0123456789-") != std::string_view::npos)
    return std::nullopt;
  char dotted[15];
  for (std::size_t i = 0; i < label.size(); ++i) dotted[i] = label[i] == '-' ? '.' : label[i];
  return ParseStrictDottedQuad(std::string_view(dotted, label.size()));
}

void LowerCase(std::string& text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

void UpperCase(std::string& text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

bool HasHostNameLabels(std::string_view name) {
  std::size_t label = 0;
  char previous = '.';
  for (char c : name) {
    const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (c == '.') {
      if (label == 0 || previous == '-') return false;  // no empty label, none ending in a hyphen
      label = 0;
    } else if (!(letterOrDigit || c == '-') || ++label > 63 || (c == '-' && previous == '.')) {
      return false;
    }
    previous = c;
  }
  return !name.empty() && name.back() == '.';
}
