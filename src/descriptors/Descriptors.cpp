// The descriptor lists: one walk over a loop's bytes through the registry, and
// the display of what it kept.
#include "descriptors/Descriptors.h"

#include <utility>

#include "core/Diagnostics.h"
#include "core/TextHelpers.h"
#include "descriptors/DescriptorForm.h"
#include "descriptors/DescriptorOwners.h"

namespace tessaro {
namespace {

constexpr const char* kUnknownTag = "zrk: Error in Tdescriptor.Parse_descriptor - unknown descriptor tag.";

}  // namespace

TDescriptorList::TDescriptorList(TDescriptorList&& other) noexcept
    : records_(std::move(other.records_)),
      tags_(other.tags_),
      count_(std::exchange(other.count_, 0)),
      reader_(other.reader_),
      list_(other.list_),
      names_(other.names_) {}

TDescriptorList& TDescriptorList::operator=(TDescriptorList&& other) noexcept {
  if (this != &other) {
    records_ = std::move(other.records_);
    tags_ = other.tags_;
    count_ = std::exchange(other.count_, 0);
    reader_ = other.reader_;
    list_ = other.list_;
    names_ = other.names_;
  }
  return *this;
}

TDescriptorList::~TDescriptorList() {
  GuardedVoid(names_->destroy, [&] { ClearDescriptors(); });
}

bool TDescriptorList::ParseDescriptors(const uint8_t* bytes, int32_t length) {
  return Guarded(names_->parse, false, [&] { return Walk(bytes, length); });
}

bool TDescriptorList::Walk(const uint8_t* bytes, int32_t length) {
  ClearDescriptors();
  if (length < 1) return true;
  if (bytes == nullptr) return false;
  // Each descriptor starts descriptor_length + 2 bytes after the one before,
  // whatever its parse routine read.
  int64_t pos = 0;
  while (true) {
    if (count_ == kMaxDescriptors) {
      DebugOutput(std::string("zrk: Error in ") + names_->parse + " - more than 1024 descriptors in the loop.");
      return false;
    }
    const auto remaining = static_cast<int32_t>(length - pos);
    const uint8_t* at = bytes + pos;
    const uint8_t tag = *at;
    const TDescriptorEntry& row = FindDescriptor(tag);
    if (!row.AcceptedBy(list_)) {
      DebugOutput(kUnknownTag);
      return false;
    }
    if (!row.Decoded()) {
      DebugOutput(std::string("zrk: Error in ") + names_->parse + " - no decoder for descriptor tag 0x" +
                  ByteToHexStr(tag) + ".");
      return false;
    }
    std::unique_ptr<TDescriptorRecord> record = row.create();
    bool accepted = false;
    if (row.parseSystems != nullptr) {
      accepted = row.parseSystems(at, remaining, *record);
    } else {
      reader_.SetData(at, remaining);
      accepted = row.parseDVB(reader_, *record);
    }
    if (!accepted) return false;
    pos += static_cast<int64_t>(record->descriptor_length & 0xFF) + 2;
    tags_[count_] = tag;
    records_[count_] = std::move(record);
    ++count_;
    if (pos >= length) return true;
  }
}

bool TDescriptorList::TreeViewUpdateDescriptors(TTreeNode& parent) const {
  return Guarded(names_->update, false, [&] {
    TDescriptorOwner owner;
    for (int32_t i = 0; i < count_; ++i) {
      const TDescriptorEntry& row = FindDescriptor(static_cast<uint8_t>(tags_[i]));
      if (row.display == nullptr || records_[i] == nullptr) continue;
      const size_t before = parent.children.size();
      row.display(parent, *records_[i]);
      if (!DecodedValuesShown()) continue;
      // A private descriptor's node gains the name of the owner that a
      // registration or private_data_specifier before it in the loop gives.
      const std::string name = owner.Next(tags_[i], *records_[i]);
      if (parent.children.size() > before) AppendMeaning(*parent.children[before], name);
    }
    return true;
  });
}

void TDescriptorList::ClearDescriptors() {
  GuardedVoid(names_->clear, [&] {
    for (int32_t i = 0; i < count_; ++i) {
      records_[i].reset();
      tags_[i] = 0;
    }
    count_ = 0;
  });
}

int32_t TDescriptorList::Tag(int32_t index) const { return index >= 0 && index < count_ ? tags_[index] : 0; }

const TDescriptorRecord* TDescriptorList::Record(int32_t index) const {
  return index >= 0 && index < count_ ? records_[index].get() : nullptr;
}

namespace {

constexpr TDescriptorList::TRoutineNames kProgramLoopNames{"Tdescriptors.ParseDescriptors",
                                                           "Tdescriptors.TreeViewUpdateDescriptors",
                                                           "Tdescriptors.ClearDescriptors", "Tdescriptors.Destroy"};
constexpr TDescriptorList::TRoutineNames kSILoopNames{"TDVBdescriptors.ParseDescriptors",
                                                      "TDVBdescriptors.TreeViewUpdateDescriptors",
                                                      "TDVBdescriptors.ClearDescriptors", "TDVBdescriptors.Destroy"};

}  // namespace

Tdescriptors::Tdescriptors() : TDescriptorList(kProgramLoops, kProgramLoopNames) {}
TDVBdescriptors::TDVBdescriptors() : TDescriptorList(kSILoops, kSILoopNames) {}

}  // namespace tessaro
