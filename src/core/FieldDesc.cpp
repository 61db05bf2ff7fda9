// Node texts of fixed fields.
#include "core/FieldDesc.h"

#include "core/DVBValues.h"
#include "core/TextHelpers.h"
#include "core/TreeNode.h"

namespace tessaro {

std::string BitsSuffix(int bits) {
  return bits == 1 ? std::string(" (1 bit)") : " (" + std::to_string(bits) + " bits)";
}

std::string DescriptorFieldText(std::string_view label, uint64_t value, std::string_view suffix) {
  return TextField(label, std::to_string(value), suffix).text;
}

std::string ISO639FieldText(uint32_t code) {
  return TextField("ISO_639_language_code", std::to_string(code & 0xFFFFFF) + " [" + ISO639Text(code) + "]",
                   " (24 bits)")
      .text;
}

namespace {

std::string RawFieldText(const TFieldDesc& d, uint64_t value) {
  const std::string suffix = d.suffix != nullptr ? std::string(d.suffix) : BitsSuffix(d.bits);
  switch (d.show) {
    case TFieldShow::Hex:
      return TextField(d.label, "0x" + HexDigits(value, (d.bits + 7) / 8 * 2), suffix).text;
    case TFieldShow::ISO639:
      return ISO639FieldText(static_cast<uint32_t>(value));
    case TFieldShow::NoValue:
      return EmptyField(d.label, suffix);
    case TFieldShow::Named:
      if (d.nameOf != nullptr)
        return TextField(d.label, std::to_string(value) + " " + d.nameOf(static_cast<int32_t>(value)), suffix).text;
      return DescriptorFieldText(d.label, value, suffix);
    default:
      return DescriptorFieldText(d.label, value, suffix);
  }
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
