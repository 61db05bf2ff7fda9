// The walker of record field lists: one field read into its member, one node
// made from it.
#include "descriptors/RecordFields.h"

#include <algorithm>

namespace tessaro {

uint64_t TFieldRef::Load() const {
  switch (type_) {
    case TType::Int32:
      return static_cast<uint64_t>(*static_cast<const int32_t*>(at_));
    case TType::UInt32:
      return *static_cast<const uint32_t*>(at_);
    case TType::Int64:
      return static_cast<uint64_t>(*static_cast<const int64_t*>(at_));
  }
  return 0;
}

void TFieldRef::Store(uint64_t value) const {
  switch (type_) {
    case TType::Int32:
      *static_cast<int32_t*>(const_cast<void*>(at_)) = static_cast<int32_t>(value);
      break;
    case TType::UInt32:
      *static_cast<uint32_t*>(const_cast<void*>(at_)) = static_cast<uint32_t>(value);
      break;
    case TType::Int64:
      *static_cast<int64_t*>(const_cast<void*>(at_)) = static_cast<int64_t>(value);
      break;
  }
}

void ReadRecordField(TBitStream4& reader, const TFieldDesc& form, TFieldRef field) {
  const int64_t at = reader.BitOffset();
  uint64_t value = 0;
  if (form.bits > 32) {
    // As the reader's own wide reads: refused whole when it would end more
    // than 32 bits past the data.
    if (reader.BitsLeft >= form.bits - 32) {
      value = static_cast<uint64_t>(reader.GetBits(form.bits - 32)) << 32;
      value |= reader.GetBits(32);
    }
  } else {
    value = reader.GetBits(form.bits);
  }
  field.Store(value);
  // A field read past the end of the data: its bits inside the data only.
  const int64_t inData = std::max<int64_t>(int64_t{reader.Size} * 8 - at, 0);
  NoteField(field.Address(), reader.Data, at, std::min<int64_t>(form.bits, inData));
}

TNodeText RecordFieldNode(const TFieldDesc& form, TFieldRef field) {
  return {FieldText(form, field.Load()), SpansOf(field.Address())};
}

}  // namespace tessaro
