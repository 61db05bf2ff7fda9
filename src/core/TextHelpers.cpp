#include "core/TextHelpers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tessaro {

std::string PadRightStr(std::string_view text, int width) {
  std::string out(text);
  if (static_cast<int>(out.size()) < width) out.append(static_cast<size_t>(width) - out.size(), ' ');
  return out;
}

std::string ByteToHexStr(uint8_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::string SecondsToTimeStr(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  // Each part is kept modulo 256 (a byte) and that kept value is subtracted.
  auto take = [](double& x, double unit) {
    const int part = static_cast<int>(std::fmod(std::trunc(x / unit), 256.0));
    x -= part * unit;
    return part;
  };
  double x = seconds;
  const int h = take(x, 3600.0);
  const int m = take(x, 60.0);
  const int s = take(x, 1.0);
  // x holds the rounding error of the subtractions above; a clock of exactly
  // 1.44 s must not show 1.43. 90 kHz values lie at least 1/900 of a
  // hundredth apart, far above the nudge.
  const int cs = std::min(static_cast<int>(std::trunc(100.0 * x + 1e-6)), 99);
  char text[32];
  std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d.%.2d", h, m, s, cs);
  return text;
}

std::string HexDigits(uint64_t value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string HexBytesText(const uint8_t* data, int length) {
  std::string out;
  if (data == nullptr) return out;
  out.reserve(static_cast<size_t>(std::max(length, 0)) * 3);
  for (int i = 0; i < length; ++i) {
    out += ByteToHexStr(data[i]);
    out += ' ';
  }
  return out;
}

char DumpChar(uint8_t value) { return value <= 0x13 ? '.' : static_cast<char>(value); }

bool MemToStrLinesShort(const uint8_t* data, int length, TTreeNode& parent, const TSpans& spans) {
  if (data == nullptr) return true;
  std::string hex;
  std::string chars;
  int lineStart = 0;
  auto emit = [&](int end) {
    parent.Add(PadRightStr(hex, 60) + chars, SliceSpans(spans, int64_t{lineStart} * 8, int64_t{end - lineStart} * 8));
    hex.clear();
    chars.clear();
    lineStart = end;
  };
  for (int i = 0; i < length; ++i) {
    if (i > 0 && i % 16 == 0) emit(i);
    hex += ByteToHexStr(data[i]);
    hex += ' ';
    chars += DumpChar(data[i]);
  }
  if (!hex.empty()) emit(length);
  return true;
}

std::string FieldLabel(std::string_view label, int width) { return PadRightStr(label, width) + " : "; }

std::string EmptyField(std::string_view label, std::string_view suffix, int width) {
  return FieldLabel(label, width) + std::string(suffix);
}

TNodeText TextField(std::string_view label, std::string_view value, std::string_view suffix, int width) {
  return {FieldLabel(label, width) + std::string(value) + std::string(suffix), {}};
}

}  // namespace tessaro
