// Node texts of fixed fields.
#include "core/FieldDesc.h"

#include <algorithm>
#include <charconv>

#include "core/DVBValues.h"
#include "core/TextHelpers.h"
#include "core/TreeNode.h"

namespace tessaro {

namespace {

void AppendDecimal(std::string& text, uint64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  text.append(digits, end);
}

void AppendBitsSuffix(std::string& text, int bits) {
  if (bits == 1) {
    text += " (1 bit)";
    return;
  }
  text += " (";
  AppendDecimal(text, static_cast<uint64_t>(bits));
  text += " bits)";
}

// The padded label and " : ", with room for a value and a suffix after it.
std::string LabelText(std::string_view label) {
  constexpr auto kWidth = static_cast<size_t>(kLabelWidth);
  std::string text;
  text.reserve(std::max(label.size(), kWidth) + 48);
  text += label;
  if (label.size() < kWidth) text.append(kWidth - label.size(), ' ');
  text += " : ";
  return text;
}

}  // namespace

std::string BitsSuffix(int bits) {
  std::string suffix;
  AppendBitsSuffix(suffix, bits);
  return suffix;
}

std::string DescriptorFieldText(std::string_view label, uint64_t value, std::string_view suffix) {
  std::string text = LabelText(label);
  AppendDecimal(text, value);
  text += suffix;
  return text;
}

std::string ISO639FieldText(uint32_t code) {
  return TextField("ISO_639_language_code", std::to_string(code & 0xFFFFFF) + " [" + ISO639Text(code) + "]",
                   " (24 bits)")
      .text;
}

namespace {

// The text is built in one string: a tree shows many of these fields.
std::string RawFieldText(const TFieldDesc& d, uint64_t value) {
  if (d.show == TFieldShow::ISO639) return ISO639FieldText(static_cast<uint32_t>(value));
  std::string text = LabelText(d.label);
  switch (d.show) {
    case TFieldShow::Hex:
      text += "0x";
      text += HexDigits(value, (d.bits + 7) / 8 * 2);
      break;
    case TFieldShow::NoValue:
      break;
    case TFieldShow::Named:
      AppendDecimal(text, value);
      if (d.nameOf != nullptr) {
        text += ' ';
        text += d.nameOf(static_cast<int32_t>(value));
      }
      break;
    default:
      AppendDecimal(text, value);
      break;
  }
  if (d.suffix != nullptr) {
    text += d.suffix;
  } else {
    AppendBitsSuffix(text, d.bits);
  }
  return text;
}

}  // namespace

void AppendMeaning(std::string& text, const std::string& meaning) {
  if (meaning.empty()) return;
  text += " [";
  text += meaning;
  text += ']';
}

bool ShowsMeaning(const TFieldDesc& d) { return d.meaning != nullptr && DecodedValuesShown(); }

std::string FieldText(const TFieldDesc& d, uint64_t value, uint64_t related) {
  std::string text = RawFieldText(d, value);
  if (ShowsMeaning(d)) AppendMeaning(text, d.meaning(value, related));
  return text;
}

}  // namespace tessaro
