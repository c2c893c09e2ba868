// Zone lines a /24 at a time. Consecutive lines differ only in the last
// octet, so each line is laid down from three pieces fixed for the /24:
//   X d Y d Z
// where d is the last octet and Z ends the line. Pieces are copied in whole
// 16-byte chunks; each copy's overrun is overwritten by the next one, and
// within a run of lines of equal digit count every store lands at a fixed
// offset from the line's start.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "output/output_file.h"
#include "zones/address.h"

class LineBlock {
 public:
  static constexpr std::size_t kChunk = 16;
  static constexpr std::size_t kPieceRoom = 304;  // the longest piece, a chunk's overrun and more

  void SetX(std::string_view text) { x_.Set(text); }
  void SetY(std::string_view text) { y_.Set(text); }
  void SetZ(std::string_view text) { z_.Set(text); }

  // Bytes that count lines need in the buffer, overruns included.
  std::size_t Room(unsigned count) const { return count * (x_.size + y_.size + z_.size + 6) + kPieceRoom; }

  // The lines of `count` addresses from `first` on, all in one /24; calls
  // before(address) for each of them first, in address order (a call
  // between two lines would cost the line loop its registers). Returns the
  // end of the last line.
  template <class Before>
  char* Put(char* out, Ipv4Value first, unsigned count, Before&& before) const {
    for (unsigned i = 0; i < count; ++i) before(first + static_cast<Ipv4Value>(i));
    unsigned d = Octet(first, 3);
    const unsigned end = d + count;
    const GroupWriter* writers = Writers();
    if (d < 10) out = writers[0](*this, out, d, end < 10 ? end : 10), d = 10;
    if (d < end && d < 100) out = writers[1](*this, out, d, end < 100 ? end : 100), d = 100;
    if (d < end) out = writers[2](*this, out, d, end);
    return out;
  }

 private:
  struct Piece {
    alignas(kChunk) char bytes[kPieceRoom] = {};
    std::size_t size = 0;
    std::size_t chunks = 0;
    // The longest text a piece takes; the longest domain's pieces fit (see
    // the static_asserts of the line forms).
    static constexpr std::size_t kLongest = kPieceRoom - kChunk;
    void Set(std::string_view text) {
      size = text.size() < kLongest ? text.size() : kLongest;
      std::memcpy(bytes, text.data(), size);
      chunks = (size + kChunk - 1) / kChunk;
    }
    // Chunks copies of one store each; 0 for as many as the piece has.
    template <std::size_t Chunks>
    void CopyTo(char* out) const {
      if constexpr (Chunks == 0) {
        for (std::size_t i = 0; i < chunks; ++i) std::memcpy(out + i * kChunk, bytes + i * kChunk, kChunk);
      } else {
        for (std::size_t i = 0; i < Chunks; ++i) std::memcpy(out + i * kChunk, bytes + i * kChunk, kChunk);
      }
    }
  };

  // The lines of last octets from..to-1, all of Digits digits, with the
  // pieces' chunk counts fixed at compile time where they are small, so
  // that every store of a line is at a fixed offset and the pieces stay in
  // registers.
  template <unsigned Digits, std::size_t XChunks, std::size_t YChunks, std::size_t ZChunks>
  static char* Group(const LineBlock& b, char* out, unsigned from, unsigned to) {
    const std::size_t dAt = b.x_.size, yAt = dAt + Digits, d2At = yAt + b.y_.size, zAt = d2At + Digits;
    const std::size_t length = zAt + b.z_.size;
    for (unsigned d = from; d < to; ++d) {
      const char* digits = detail::kDotOctets[d].text;  // the digits and one byte more
      if (XChunks != 0 || dAt != 0) b.x_.CopyTo<XChunks>(out);
      std::memcpy(out + dAt, digits, 4);
      b.y_.CopyTo<YChunks>(out + yAt);
      std::memcpy(out + d2At, digits, 4);
      b.z_.CopyTo<ZChunks>(out + zAt);
      out += length;
    }
    return out;
  }

  using GroupWriter = char* (*)(const LineBlock&, char*, unsigned, unsigned);

  template <std::size_t X, std::size_t Y, std::size_t Z>
  static constexpr std::array<GroupWriter, 3> kWriters = {Group<1, X, Y, Z>, Group<2, X, Y, Z>, Group<3, X, Y, Z>};

  // Writers for the chunk counts of lan.internal.-like domains; any longer
  // piece takes the general ones.
  const GroupWriter* Writers() const {
    const std::size_t x = x_.chunks, y = y_.chunks, z = z_.chunks;
    if (x == 0 && z == 1) {
      if (y == 2) return kWriters<0, 2, 1>.data();
      if (y == 3) return kWriters<0, 3, 1>.data();
    }
    if (x == 1 && z == 1) {
      if (y == 1) return kWriters<1, 1, 1>.data();
      if (y == 2) return kWriters<1, 2, 1>.data();
      if (y == 3) return kWriters<1, 3, 1>.data();
    }
    return kWriters<0, 0, 0>.data();
  }

  Piece x_, y_, z_;

 public:
  static constexpr std::size_t kLongestPiece = Piece::kLongest;
};
// A /24's lines of the longest pieces, overruns included, fit in one
// reservation of the file's buffer.
static_assert(256 * (3 * LineBlock::kLongestPiece + 6) + LineBlock::kPieceRoom <= OutputBufferSize,
              "a /24 of lines must fit in the buffer");

// Walks first..last inclusive a /24 at a time: the form sets its pieces for
// the /24, room is taken once for its lines, and each address gets its
// progress call, then its line. A file that takes no more lines still sees
// every progress call.
template <class Form, class Before>
void WriteLineBlocks(OutputFile& file, Form& form, Ipv4Value first, Ipv4Value last, Before&& before) {
  if (first > last) return;
  for (Ipv4Value a = first;;) {
    Ipv4Value blockLast = a | 0xFF;
    if (blockLast > last) blockLast = last;
    const unsigned count = static_cast<unsigned>(blockLast - a) + 1;
    const LineBlock& block = form.For(a);
    if (char* p = ReserveLine(file, block.Room(count))) {
      CommitLine(file, block.Put(p, a, count, before));
    } else {
      ForEachAddress(a, blockLast, before);
    }
    if (blockLast == last) return;
    a = blockLast + 1;
  }
}
