// The section reader: lists of fixed fields, descriptor loops and entry loops
// held inside the section.
#include "decode/DVBSectionReader.h"

#include <algorithm>

namespace tessaro {

TSISectionReader::TSISectionReader(TBitStream4& bits, const TSectionBytes& bytes)
    : bits_(bits), section_(bytes.section) {
  // An empty reader (no data) reads zeros: SetData refuses empty sections and
  // would otherwise leave the reader on the previous section's bytes.
  bits_ = TBitStream4{};
  const TByteView& data = bytes.gathered.Size() >= section_.Size() ? bytes.gathered : section_;
  bits_.SetData(data.Data(), data.Size());
}

int32_t TSISectionReader::RunEnd(int32_t length, int32_t limit) const {
  const int64_t end = static_cast<int64_t>(Position()) + std::max(length, 0);
  return static_cast<int32_t>(std::min<int64_t>(end, std::min(limit, End())));
}

void TSISectionReader::MoveTo(int32_t position) {
  const int32_t target = std::min(position, End());
  if (target > Position()) bits_.SkipBytes(target - Position());
}

void TSISectionReader::DescriptorLoop(TDVBdescriptors& list, int32_t length, int32_t limit) {
  const int32_t end = RunEnd(length, limit);
  if (length > 0) {
    const TByteView loop = section_.Sub(Position(), end - Position());
    list.ParseDescriptors(loop.Data(), loop.Size());
  }
  MoveTo(end);
}

}  // namespace tessaro
