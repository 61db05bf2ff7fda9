#include "core/FieldPositions.h"

#include <algorithm>
#include <cstdio>

namespace tessaro {
namespace {

thread_local TFieldPositions* tActive = nullptr;

// Bits in absolute terms: a file offset or a memory address times 8, plus the bit.
int64_t BitAddress(const TSpan& s) { return s.offset * 8 + s.bit; }

TSpan SpanFromBits(int64_t first, int64_t count) {
  return {first / 8, static_cast<int32_t>(first % 8), static_cast<int32_t>(count)};
}

}  // namespace

std::string SpanText(const TSpan& span) {
  char text[48];
  std::snprintf(text, sizeof text, "0x%016llX.%d+%d", static_cast<unsigned long long>(span.offset), span.bit,
                span.bits);
  return text;
}

std::string SpansText(const TSpans& spans) {
  std::string out;
  for (const TSpan& span : spans) {
    if (!out.empty()) out += ',';
    out += SpanText(span);
  }
  return out;
}

int64_t SpanBits(const TSpans& spans) {
  int64_t total = 0;
  for (const TSpan& span : spans) total += span.bits;
  return total;
}

TSpans MergeSpans(TSpans spans) {
  std::sort(spans.begin(), spans.end(), [](const TSpan& a, const TSpan& b) { return BitAddress(a) < BitAddress(b); });
  TSpans merged;
  for (const TSpan& span : spans) {
    if (span.bits <= 0) continue;
    if (!merged.empty()) {
      TSpan& last = merged.back();
      const int64_t lastEnd = BitAddress(last) + last.bits;
      if (BitAddress(span) <= lastEnd) {
        const int64_t end = std::max(lastEnd, BitAddress(span) + span.bits);
        last.bits = static_cast<int32_t>(end - BitAddress(last));
        continue;
      }
    }
    merged.push_back(span);
  }
  return merged;
}

TSpans SliceSpans(const TSpans& spans, int64_t from, int64_t count) {
  TSpans slice;
  int64_t at = 0;  // bits of the string before the current span
  const int64_t to = from + count;
  for (const TSpan& span : spans) {
    const int64_t first = std::max(from, at);
    const int64_t last = std::min(to, at + span.bits);
    if (first < last) slice.push_back(SpanFromBits(BitAddress(span) + (first - at), last - first));
    at += span.bits;
    if (at >= to) break;
  }
  return slice;
}

void TFieldPositions::MapBytes(const uint8_t* data, int64_t length, int64_t fileOffset) {
  if (data == nullptr || length <= 0 || fileOffset < 0) return;
  const auto begin = reinterpret_cast<uintptr_t>(data);
  const TRegion region{begin, begin + static_cast<uintptr_t>(length), fileOffset};
  std::erase_if(regions_, [&](const TRegion& r) { return r.begin < region.end && region.begin < r.end; });
  const auto at = std::lower_bound(regions_.begin(), regions_.end(), region,
                                   [](const TRegion& a, const TRegion& b) { return a.begin < b.begin; });
  regions_.insert(at, region);
}

TSpans TFieldPositions::Resolve(const uint8_t* base, int64_t bit, int64_t bits) const {
  TSpans spans;
  if (base == nullptr || bits <= 0 || bit < 0) return spans;
  // Memory bit addresses of the field: [first, first + bits).
  const auto first = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(base)) * 8 + static_cast<uint64_t>(bit);
  const uint64_t end = first + static_cast<uint64_t>(bits);
  for (const TRegion& r : regions_) {
    const uint64_t regionFirst = static_cast<uint64_t>(r.begin) * 8;
    const uint64_t regionEnd = static_cast<uint64_t>(r.end) * 8;
    const uint64_t from = std::max(first, regionFirst);
    const uint64_t to = std::min(end, regionEnd);
    if (from >= to) continue;
    const int64_t fileBit = r.fileOffset * 8 + static_cast<int64_t>(from - regionFirst);
    spans.push_back(SpanFromBits(fileBit, static_cast<int64_t>(to - from)));
  }
  return spans;
}

void TFieldPositions::Record(const void* field, const uint8_t* base, int64_t bit, int64_t bits) {
  fields_[field] = Resolve(base, bit, bits);
}

void TFieldPositions::Append(const void* field, const uint8_t* base, int64_t bit, int64_t bits) {
  TSpans more = Resolve(base, bit, bits);
  TSpans& spans = fields_[field];
  spans.insert(spans.end(), more.begin(), more.end());
}

void TFieldPositions::Assign(const void* field, TSpans spans) { fields_[field] = std::move(spans); }

const TSpans* TFieldPositions::Find(const void* field) const {
  const auto it = fields_.find(field);
  return it == fields_.end() ? nullptr : &it->second;
}

void TFieldPositions::Clear() {
  regions_.clear();
  fields_.clear();
}

TFieldPositions* ActivePositions() { return tActive; }

TPositionScope::TPositionScope(TFieldPositions* positions) : previous_(tActive) { tActive = positions; }

TPositionScope::~TPositionScope() { tActive = previous_; }

TSpans SpansOf(const void* field) {
  if (tActive == nullptr) return {};
  const TSpans* spans = tActive->Find(field);
  return spans != nullptr ? *spans : TSpans{};
}

}  // namespace tessaro
