#include "descriptors/FieldTable.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "core/Diagnostics.h"
#include "core/TextHelpers.h"
#include "descriptors/DescriptorForm.h"

namespace tessaro {
namespace {

std::span<const TFieldDesc> Body(const TFieldDesc& d) { return {d.body, d.bodyCount}; }

// Walks a description list. Parsing, it reads each field from the reader and
// appends it to the record (with its spans while positions are active);
// showing, it takes the same values back from the record in the same order
// and adds nodes carrying those spans. Lengths, counters and conditions are
// worked out from the values either way, so both walks take the same path.
class TFieldWalker {
 public:
  TFieldWalker(TBitStream4& reader, int32_t available, TFieldRecord& record, bool loopsEndWithData = false)
      : reader_(&reader),
        available_(available),
        out_(&record),
        in_(record),
        loopsEndWithData_(loopsEndWithData),
        positions_(ActivePositions() != nullptr) {}
  explicit TFieldWalker(const TFieldRecord& record, bool loopsEndWithData = false)
      : in_(record), loopsEndWithData_(loopsEndWithData) {}

  // False when a Needs entry refuses the descriptor (parsing only). parent is
  // null while parsing and for loop entries that are not shown.
  bool Walk(std::span<const TFieldDesc> list, TTreeNode* parent) {
    for (const TFieldDesc& d : list) {
      switch (d.kind) {
        case TFieldKind::Needs:
          if (Parsing() && available_ < static_cast<int64_t>(d.value)) return false;
          break;
        case TFieldKind::Field: {
          const size_t slot = NextValue(d.bits);
          const uint64_t value = in_.values[slot];
          scope_.emplace_back(d.label, value);
          if (parent != nullptr && d.show != TFieldShow::Hidden)
            parent->Add(TNodeText{FieldText(d, value, Related(d)), SpansAt(slot), ShowsMeaning(d)});
          break;
        }
        case TFieldKind::Marker:
          if (parent != nullptr) parent->Add(EmptyField(d.label, ""));
          break;
        case TFieldKind::Run: {
          const uint8_t* data = nullptr;
          size_t slot = 0;
          const int32_t count = NextRun(Resolve(d.length), data, slot);
          if (parent == nullptr) break;
          TTreeNode& group = AddByteRunGroup(*parent, d.label, data, count, SpansAt(slot));
          if (d.text) AddDecodedText(group, data, count, SpansAt(slot));
          break;
        }
        case TFieldKind::When:
          if (Lookup(d.label) == d.value && !Walk(Body(d), parent)) return false;
          break;
        case TFieldKind::Loop:
          if (!WalkLoop(d, parent)) return false;
          break;
      }
    }
    return true;
  }

 private:
  bool Parsing() const { return reader_ != nullptr; }

  bool WalkLoop(const TFieldDesc& d, TTreeNode* parent) {
    int64_t counter = Resolve(d.length);
    const int64_t entryBytes = std::max(d.entry.bytes, 1);
    const int64_t shown = d.wholeEntriesOnly ? std::max<int64_t>(counter, 0) / entryBytes : kMaxLoopEntries;
    TTreeNode* group = (parent != nullptr && d.label[0] != '\0') ? &parent->Add(d.label) : parent;
    // Loops cut at the end of the data: the parse notes how many entries it
    // read ahead of them, and the display walks exactly that many.
    size_t countSlot = 0;
    uint64_t entries = kMaxLoopEntries;
    if (loopsEndWithData_ && Parsing()) {
      countSlot = Keep(0, 0, 0);
    } else if (loopsEndWithData_) {
      entries = in_.values[NextValue(0)];
    }
    int32_t i = 0;
    for (; counter > 0 && i < kMaxLoopEntries && static_cast<uint64_t>(i) < entries; ++i) {
      if (loopsEndWithData_ && Parsing() && reader_->BitsLeft <= 0) break;
      const size_t outer = scope_.size();
      TTreeNode* entry =
          (group != nullptr && i < shown) ? &group->Add(EntryText(d.entryPrefix, static_cast<size_t>(i))) : nullptr;
      if (!Walk(Body(d), entry)) return false;
      int64_t size = d.entry.bytes;
      for (const char* field : d.entry.lengthFields)
        if (field != nullptr) size += static_cast<int64_t>(Lookup(field));
      counter -= std::max<int64_t>(size, 1);
      scope_.resize(outer);
    }
    if (loopsEndWithData_ && Parsing()) out_->values[countSlot] = static_cast<uint64_t>(i);
    return true;
  }

  // The slot in the record of the next value: read and kept while parsing,
  // the next one kept while showing.
  size_t NextValue(int bits) {
    if (!Parsing()) {
      if (valueAt_ >= in_.values.size()) throw std::out_of_range("record holds fewer values than its table");
      return valueAt_++;
    }
    const int64_t at = reader_->BitOffset();
    uint64_t value = 0;
    if (bits > 32) {
      value = static_cast<uint64_t>(reader_->GetBits(bits - 32)) << 32;
      value |= reader_->GetBits(32);
    } else {
      value = reader_->GetBits(bits);
    }
    return Keep(value, at, bits);
  }

  // Appends a value read from bits [at, at + bits) of the reader's data.
  size_t Keep(uint64_t value, int64_t at, int64_t bits) {
    out_->values.push_back(value);
    if (positions_) out_->spans.push_back(SpansInReader(*reader_, at, bits));
    return out_->values.size() - 1;
  }

  const TSpans& SpansAt(size_t slot) const {
    static const TSpans kNone;
    return slot < in_.spans.size() ? in_.spans[slot] : kNone;
  }

  // Returns the bytes of the run that lie inside the data; slot is that of
  // the run's byte count. data is set only while showing.
  int32_t NextRun(int64_t declared, const uint8_t*& data, size_t& slot) {
    if (!Parsing()) {
      slot = NextValue(0);
      const uint64_t count = in_.values[slot];
      if (count > in_.bytes.size() - byteAt_) throw std::out_of_range("record holds fewer bytes than its runs");
      data = in_.bytes.data() + byteAt_;
      byteAt_ += count;
      return static_cast<int32_t>(count);
    }
    const int64_t at = reader_->BitOffset();
    const int32_t room = std::max(reader_->BytesRemaining(), 0);
    const size_t start = out_->bytes.size();
    out_->bytes.resize(start + static_cast<size_t>(room));
    const int32_t copied = ReadByteRun(*reader_, declared, out_->bytes.data() + start, room);
    out_->bytes.resize(start + static_cast<size_t>(copied));
    slot = Keep(static_cast<uint64_t>(copied), at, int64_t{copied} * 8);
    return copied;
  }

  // The value of the field a meaning depends on: the latest one of that
  // label read so far, else the next value of the record (showing only).
  uint64_t Related(const TFieldDesc& d) const {
    if (d.meaning == nullptr || d.related == nullptr || !DecodedValuesShown()) return 0;
    for (auto it = scope_.rbegin(); it != scope_.rend(); ++it)
      if (std::strcmp(it->first, d.related) == 0) return it->second;
    return !Parsing() && valueAt_ < in_.values.size() ? in_.values[valueAt_] : 0;
  }

  uint64_t Lookup(const char* label) const {
    for (auto it = scope_.rbegin(); it != scope_.rend(); ++it)
      if (std::strcmp(it->first, label) == 0) return it->second;
    throw std::logic_error("field table refers to a field it has not read");
  }

  int64_t Resolve(const TLengthSource& length) const {
    const uint64_t base = length.field != nullptr ? Lookup(length.field) : in_.descriptor_length;
    return static_cast<int64_t>(std::min<uint64_t>(base, std::numeric_limits<uint32_t>::max())) - length.minus;
  }

  TBitStream4* reader_ = nullptr;
  int64_t available_ = 0;
  TFieldRecord* out_ = nullptr;
  const TFieldRecord& in_;
  size_t valueAt_ = 0;
  size_t byteAt_ = 0;
  bool loopsEndWithData_ = false;
  bool positions_ = false;
  std::vector<std::pair<const char*, uint64_t>> scope_;
};

}  // namespace

bool ParseSystemsFields(const char* routine, const TFieldTable& table, const uint8_t* bytes, int32_t available,
                        TFieldRecord& record) {
  return Guarded(routine, false, [&] {
    TBitStream4 reader;
    if (!StartSystemsRecord(reader, bytes, available, table.needs, table.lengthMustFit, record)) return false;
    return TFieldWalker(reader, available, record).Walk({table.fields, table.count}, nullptr);
  });
}

bool ParseDVBFields(const char* routine, const TFieldTable& table, TBitStream4& reader, TFieldRecord& record) {
  return Guarded(routine, false, [&] {
    StartRecord(reader, record);
    TFieldWalker(reader, std::numeric_limits<int32_t>::max(), record, table.loopsEndWithData)
        .Walk({table.fields, table.count}, nullptr);
    return true;
  });
}

bool ShowFields(const char* routine, const char* name, const TFieldTable& table, TTreeNode& parent,
                const TFieldRecord& record) {
  return Guarded(routine, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, name, record);
    TFieldWalker(record, table.loopsEndWithData).Walk({table.fields, table.count}, &node);
    return true;
  });
}

}  // namespace tessaro
