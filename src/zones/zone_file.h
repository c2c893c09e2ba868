// The header of every zone file and the reverse zone files.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "output/output_file.h"
#include "zones/address.h"

// A fixed piece of every line of a zone, copied with one move of constant
// size when it is short, as it nearly always is.
class LinePiece {
 public:
  static constexpr std::size_t kShort = 64;
  explicit LinePiece(std::string text) : text_(std::move(text)) {
    std::memcpy(short_.data(), text_.data(), std::min(text_.size(), kShort));
  }
  // Writes at most Room() bytes; returns the end of the piece.
  char* PutAt(char* out) const {
    if (text_.size() <= kShort)
      std::memcpy(out, short_.data(), kShort);
    else
      std::memcpy(out, text_.data(), text_.size());
    return out + text_.size();
  }
  std::size_t Room() const { return std::max(text_.size(), kShort); }

 private:
  std::string text_;
  std::array<char, kShort> short_{};
};

// One PTR line with its line end: the absolute reverse name, then the host
// label in the private domain.
class PtrLineForm {
 public:
  explicit PtrLineForm(const std::string& domain)
      : middle_(".in-addr.arpa. IN PTR "), target_("." + domain + std::string(platform::LineEnd)) {}
  std::size_t Room() const { return 2 * AppendedQuadSpace + middle_.Room() + target_.Room(); }
  char* PutAt(char* out, Ipv4Value a) const {
    return target_.PutAt(AppendHostLabel(middle_.PutAt(AppendReverseQuad(out, a)), a));
  }

 private:
  LinePiece middle_;
  LinePiece target_;
};

void WriteZoneHeader(OutputFile& file);
void WriteDetailedReverseZone(std::string_view fileName, Ipv4Value first, Ipv4Value last);
void WriteWildcardReverseZone(std::string_view fileName);
