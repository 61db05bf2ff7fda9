// Checks the field positions of a decode tree against the file bytes they
// point at, with gtest expectations that name a failing node by its path. It
// is meant to run over every packet of whole captures, so it reads the node
// texts by hand instead of with a regular expression.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "core/TreeNode.h"

namespace tessaro::test {

// The file the spans point into.
class TFileBytes {
 public:
  // bytes are the file's bytes from offset base on; the file is size bytes long.
  TFileBytes(std::span<const uint8_t> bytes, int64_t base, int64_t size);
  // byteAt answers for every offset in [0, size).
  TFileBytes(std::function<uint8_t(int64_t)> byteAt, int64_t size);

  int64_t Size() const { return size_; }
  // Whether the byte at offset can be read: inside the file and, for a byte
  // view, inside the bytes given.
  bool Has(int64_t offset) const;
  uint8_t At(int64_t offset) const;

 private:
  std::span<const uint8_t> bytes_;
  int64_t base_ = 0;
  int64_t size_ = 0;
  std::function<uint8_t(int64_t)> byteAt_;
};

struct TPositionCheckOptions {
  // A field read past the end of its data shows zeros the file does not hold,
  // and a flag of an empty adaptation field shows a 0 that is not in the file
  // at all: their spans cover fewer bits than their width, or none. With this
  // set such a leaf passes when its value is the bits at its spans followed by
  // zeros for the bits missing; spans must still lie in the file.
  bool allowCutFields = false;
};

// Walks node and everything below it:
//  (a) every leaf whose text ends in a width suffix (" (N bits)", " (N bit)",
//      " (Nbit)"; the regular expression \((\d+) ?bits?\)$), or in one
//      followed by a note in square brackets, has spans totalling N bits;
//  (b) when such a leaf's value, the text between " : " and the suffix, is a
//      number (decimal, possibly negative and then compared modulo 2^N, or
//      "0x" and hex digits), alone or followed by a blank and text that does
//      not start with a digit, the bits at its spans, in their order, make
//      that number;
//  (c) every span of every node lies inside the file;
//  (d) when a node's parent has spans, each of the node's spans lies inside them;
//  (e) every byte dump line (MemToStrLinesShort) has spans holding exactly
//      the bytes it shows.
// Returns the number of leaves checked by (a) or (e).
int64_t CheckFieldPositions(const TTreeNode& node, const TFileBytes& file, const TPositionCheckOptions& options = {});

}  // namespace tessaro::test
