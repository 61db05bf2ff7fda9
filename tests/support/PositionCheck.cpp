#include "support/PositionCheck.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro::test {

TFileBytes::TFileBytes(std::span<const uint8_t> bytes, int64_t base, int64_t size)
    : bytes_(bytes), base_(base), size_(size) {}

TFileBytes::TFileBytes(std::function<uint8_t(int64_t)> byteAt, int64_t size)
    : size_(size), byteAt_(std::move(byteAt)) {}

bool TFileBytes::Has(int64_t offset) const {
  if (offset < 0 || offset >= size_) return false;
  if (byteAt_) return true;
  return offset >= base_ && offset - base_ < static_cast<int64_t>(bytes_.size());
}

uint8_t TFileBytes::At(int64_t offset) const {
  if (!Has(offset)) return 0;
  return byteAt_ ? byteAt_(offset) : bytes_[static_cast<size_t>(offset - base_)];
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

struct TWidthSuffix {
  int bits = 0;
  size_t valueEnd = 0;  // where the value text ends: before the blank and "("
};

// A node's text without the note in square brackets that may follow its
// width suffix (" [beyond section_length]").
std::string_view WithoutNote(std::string_view text) {
  if (!text.ends_with(']')) return text;
  const size_t open = text.rfind(" [");
  return open == std::string_view::npos ? text : text.substr(0, open);
}

// The width suffix at the end of text, read from the right.
std::optional<TWidthSuffix> WidthSuffixOf(std::string_view text) {
  if (text.size() < 6 || text.back() != ')') return std::nullopt;
  size_t at = text.size() - 1;
  if (text[at - 1] == 's') --at;
  if (at < 4 || text.substr(at - 3, 3) != "bit") return std::nullopt;
  at -= 3;
  if (text[at - 1] == ' ') --at;
  const size_t digitsEnd = at;
  while (at > 0 && IsDigit(text[at - 1])) --at;
  if (at == digitsEnd || digitsEnd - at > 6 || at == 0 || text[at - 1] != '(') return std::nullopt;
  TWidthSuffix suffix;
  for (size_t i = at; i < digitsEnd; ++i) suffix.bits = suffix.bits * 10 + (text[i] - '0');
  suffix.valueEnd = at - 1;
  if (suffix.valueEnd > 0 && text[suffix.valueEnd - 1] == ' ') --suffix.valueEnd;
  return suffix;
}

struct TNumber {
  uint64_t magnitude = 0;
  bool negative = false;
};

// The number a value text shows, if it shows one.
std::optional<TNumber> NumberOf(std::string_view value) {
  TNumber number;
  size_t at = 0;
  const bool hex = value.starts_with("0x");
  if (hex) {
    at = 2;
  } else if (value.starts_with("-")) {
    number.negative = true;
    at = 1;
  }
  const size_t first = at;
  for (; at < value.size(); ++at) {
    const int digit = hex ? HexValue(value[at]) : (IsDigit(value[at]) ? value[at] - '0' : -1);
    if (digit < 0) break;
    const uint64_t base = hex ? 16 : 10;
    if (number.magnitude > (UINT64_MAX - static_cast<uint64_t>(digit)) / base) return std::nullopt;
    number.magnitude = number.magnitude * base + static_cast<uint64_t>(digit);
  }
  if (at == first) return std::nullopt;
  // "6647399 [eng]" and "2 (ITU-T ...)" show a number; "12 34 56" does not.
  if (at < value.size() && (value[at] != ' ' || (at + 1 < value.size() && IsDigit(value[at + 1])))) return std::nullopt;
  return number;
}

// The bytes a dump line shows: n groups "XX " from the first column, blanks
// to column 60, then n characters. Empty for any other text.
std::vector<uint8_t> DumpLineBytes(std::string_view text) {
  constexpr size_t kHexColumns = 60;
  if (text.size() <= kHexColumns || text.size() > kHexColumns + 16) return {};
  const size_t count = text.size() - kHexColumns;
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) {
    const int high = HexValue(text[3 * i]);
    const int low = HexValue(text[3 * i + 1]);
    if (high < 0 || low < 0 || text[3 * i + 2] != ' ') return {};
    bytes[i] = static_cast<uint8_t>(high * 16 + low);
  }
  for (size_t i = 3 * count; i < kHexColumns; ++i)
    if (text[i] != ' ') return {};
  return bytes;
}

int64_t BitAddress(const TSpan& span) { return span.offset * 8 + span.bit; }

class TChecker {
 public:
  TChecker(const TFileBytes& file, const TPositionCheckOptions& options) : file_(file), options_(options) {}

  void Walk(const TTreeNode& node, const TSpans* parentSpans) {
    path_.push_back(&node);
    for (const TSpan& span : node.spans) CheckSpan(span, parentSpans);
    if (node.children.empty()) {
      CheckLeaf(node);
    } else {
      const TSpans merged = MergeSpans(node.spans);
      for (const auto& child : node.children) Walk(*child, node.spans.empty() ? nullptr : &merged);
    }
    path_.pop_back();
  }

  int64_t Checked() const { return checked_; }

 private:
  // The texts from the walk's root to the current node.
  std::string Where() const {
    std::string where;
    for (const TTreeNode* node : path_) {
      if (!where.empty()) where += " > ";
      where += "\"" + node->text + "\"";
    }
    return where + " spans " + SpansText(path_.back()->spans);
  }

  void CheckSpan(const TSpan& span, const TSpans* parentSpans) {
    const bool inFile = span.offset >= 0 && span.bit >= 0 && span.bit < 8 && span.bits > 0 &&
                        BitAddress(span) + span.bits <= file_.Size() * 8;
    EXPECT_TRUE(inFile) << "span " << SpanText(span) << " outside the file of " << file_.Size() << " bytes at "
                        << Where();
    if (parentSpans == nullptr) return;
    bool inside = false;
    for (const TSpan& outer : *parentSpans) {
      if (BitAddress(span) >= BitAddress(outer) && BitAddress(span) + span.bits <= BitAddress(outer) + outer.bits) {
        inside = true;
        break;
      }
    }
    EXPECT_TRUE(inside) << "span " << SpanText(span) << " outside the parent's spans at " << Where();
  }

  void CheckLeaf(const TTreeNode& node) {
    const std::string_view text = node.text;
    if (const std::optional<TWidthSuffix> width = WidthSuffixOf(WithoutNote(text))) {
      ++checked_;
      const int64_t bits = SpanBits(node.spans);
      // A cut field: its first bits at the spans, the missing ones read as zeros.
      const bool cut = options_.allowCutFields && bits < width->bits;
      if (!cut) {
        EXPECT_EQ(bits, width->bits) << "bits of the spans of " << Where();
      }
      if ((bits != width->bits && !cut) || width->bits > 64) return;
      const size_t colon = text.find(" : ");
      if (colon == std::string_view::npos || colon + 3 > width->valueEnd) return;
      const std::optional<TNumber> number = NumberOf(text.substr(colon + 3, width->valueEnd - colon - 3));
      if (!number) return;
      uint64_t shown = number->magnitude;
      if (number->negative) {
        shown = 0 - shown;
        if (bits < 64) shown &= (uint64_t{1} << bits) - 1;
      }
      std::optional<uint64_t> read = Read(node.spans);
      ASSERT_TRUE(read.has_value()) << "bits not inside the bytes given at " << Where();
      if (cut) *read = width->bits - bits >= 64 ? 0 : *read << (width->bits - bits);
      EXPECT_EQ(*read, shown) << "value at the spans of " << Where();
      return;
    }
    const std::vector<uint8_t> shown = DumpLineBytes(text);
    if (shown.empty()) return;
    ++checked_;
    EXPECT_EQ(SpanBits(node.spans), static_cast<int64_t>(shown.size()) * 8) << "bits of the spans of " << Where();
    std::vector<uint8_t> read;
    uint64_t byte = 0;
    int64_t bits = 0;
    const bool readable = ForEachBit(node.spans, [&](uint32_t bit) {
      byte = (byte << 1) | bit;
      if (++bits % 8 == 0) read.push_back(static_cast<uint8_t>(byte));
    });
    EXPECT_TRUE(readable) << "bits not inside the bytes given at " << Where();
    EXPECT_EQ(read, shown) << "bytes at the spans of " << Where();
  }

  // Calls take with every bit at the spans in their order; false when one
  // lies outside the bytes given.
  template <class Take>
  bool ForEachBit(const TSpans& spans, Take&& take) const {
    for (const TSpan& span : spans) {
      const int64_t first = BitAddress(span);
      for (int64_t bit = first; bit < first + span.bits; ++bit) {
        if (!file_.Has(bit / 8)) return false;
        take((file_.At(bit / 8) >> (7 - bit % 8)) & 1u);
      }
    }
    return true;
  }

  // The bits at the spans, in their order, as one number (the last 64 bits).
  std::optional<uint64_t> Read(const TSpans& spans) const {
    uint64_t value = 0;
    if (!ForEachBit(spans, [&](uint32_t bit) { value = (value << 1) | bit; })) return std::nullopt;
    return value;
  }

  const TFileBytes& file_;
  const TPositionCheckOptions& options_;
  std::vector<const TTreeNode*> path_;
  int64_t checked_ = 0;
};

}  // namespace

int64_t CheckFieldPositions(const TTreeNode& node, const TFileBytes& file, const TPositionCheckOptions& options) {
  TChecker checker(file, options);
  checker.Walk(node, nullptr);
  return checker.Checked();
}

}  // namespace tessaro::test
