// The walker of record field lists: one field read into its member, one node
// made from it.
#include "core/RecordFields.h"

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

TFieldPlace ReadRecordField(TBitStream4& reader, const TFieldDesc& form, TFieldRef field, int64_t limitBit) {
  const int64_t at = reader.BitOffset();
  const int64_t end = at + form.bits;
  if (end > int64_t{reader.Size} * 8) {
    // The field does not lie whole in the data, and a value made up partly of
    // zeros would show bits the file does not hold: it is not read. The
    // reader moves to the end of its data, so every later field lies past it.
    field.Store(0);
    if (TFieldPositions* positions = ActivePositions()) positions->Assign(field.Address(), {});
    while (reader.BitsLeft > 0) reader.GetBits(static_cast<int>(std::min<int64_t>(reader.BitsLeft, 32)));
    return TFieldPlace::PastData;
  }
  uint64_t value = 0;
  if (form.bits > 32) {
    value = static_cast<uint64_t>(reader.GetBits(form.bits - 32)) << 32;
    value |= reader.GetBits(32);
  } else {
    value = reader.GetBits(form.bits);
  }
  field.Store(value);
  NoteField(field.Address(), reader.Data, at, form.bits);
  return end > limitBit ? TFieldPlace::PastLimit : TFieldPlace::Inside;
}

TNodeText RecordFieldNode(const TFieldDesc& form, TFieldRef field, const char* note) {
  TNodeText node{FieldText(form, field.Load()), SpansOf(field.Address()), ShowsMeaning(form)};
  if (note != nullptr) node.text += note;
  return node;
}

}  // namespace tessaro
