// DVB text decoding. The table selection follows EN 300 468 Annex A.2; the
// tables themselves are iconv's, except the euro sign that the DVB variant
// of ISO/IEC 6937 adds at 0xA4.
#include "core/DVBText.h"

#include <iconv.h>

#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

#include "core/TextHelpers.h"

namespace tessaro {

namespace {

constexpr const char* kReplacement = "\uFFFD";

enum class TUnit { Byte, UCS2, UTF8, MultiByte };

struct TTable {
  const char* iconvName = nullptr;  // nullptr: nothing converts it
  std::string name;
  TUnit unit = TUnit::Byte;
  size_t skip = 0;  // selection bytes before the text
};

TTable SelectTable(const uint8_t* data, size_t length) {
  if (length == 0 || data[0] >= 0x20) return {"ISO_6937", "ISO/IEC 6937", TUnit::Byte, 0};
  const uint8_t first = data[0];
  static const char* const kSingle[] = {"ISO-8859-5",  "ISO-8859-6",  "ISO-8859-7",  "ISO-8859-8",
                                        "ISO-8859-9",  "ISO-8859-10", "ISO-8859-11", nullptr,
                                        "ISO-8859-13", "ISO-8859-14", "ISO-8859-15"};
  if (first >= 0x01 && first <= 0x0B) {
    const char* iconvName = kSingle[first - 1];
    if (iconvName == nullptr) return {nullptr, "reserved table 0x08", TUnit::Byte, 1};
    return {iconvName, std::string("ISO/IEC ") + (iconvName + 4), TUnit::Byte, 1};
  }
  switch (first) {
    case 0x10: {
      if (length < 3) return {nullptr, "ISO/IEC 8859 (table number cut off)", TUnit::Byte, length};
      const int part = (data[1] << 8) | data[2];
      if (part < 1 || part > 15 || part == 12)
        return {nullptr, "ISO/IEC 8859 table 0x" + HexDigits(part, 4), TUnit::Byte, 3};
      static const char* const kParts[] = {"",           "ISO-8859-1",  "ISO-8859-2",  "ISO-8859-3",
                                           "ISO-8859-4", "ISO-8859-5",  "ISO-8859-6",  "ISO-8859-7",
                                           "ISO-8859-8", "ISO-8859-9",  "ISO-8859-10", "ISO-8859-11",
                                           "",           "ISO-8859-13", "ISO-8859-14", "ISO-8859-15"};
      return {kParts[part], std::string("ISO/IEC ") + (kParts[part] + 4), TUnit::Byte, 3};
    }
    case 0x11:
      return {"UCS-2BE", "ISO/IEC 10646 (UCS-2)", TUnit::UCS2, 1};
    case 0x12:
      return {"EUC-KR", "KS X 1001", TUnit::MultiByte, 1};
    case 0x13:
      return {"GB2312", "GB 2312", TUnit::MultiByte, 1};
    case 0x14:
      return {"BIG5", "Big5", TUnit::MultiByte, 1};
    case 0x15:
      return {"UTF-8", "UTF-8", TUnit::UTF8, 1};
    case 0x1F:
      if (length < 2) return {nullptr, "encoding_type_id (cut off)", TUnit::Byte, length};
      return {nullptr, "encoding_type_id 0x" + HexDigits(data[1], 2), TUnit::Byte, 2};
    default:
      return {nullptr, "reserved table 0x" + HexDigits(first, 2), TUnit::Byte, 1};
  }
}

class TConverter {
 public:
  explicit TConverter(const char* from) : cd_(iconv_open("UTF-8", from)) {}
  ~TConverter() {
    if (Ok()) iconv_close(cd_);
  }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;
  bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Appends the UTF-8 of bytes; a sequence the table cannot map becomes
  // U+FFFD and the converter steps over one unit.
  void Append(const uint8_t* bytes, size_t length, size_t unit, std::string& out) {
    char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes));
    size_t left = length;
    char buffer[256];
    while (left > 0) {
      char* to = buffer;
      size_t room = sizeof(buffer);
      const size_t result = iconv(cd_, &in, &left, &to, &room);
      out.append(buffer, static_cast<size_t>(to - buffer));
      if (result != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) continue;
      out += kReplacement;
      if (errno == EINVAL) break;  // the text ends inside a character
      const size_t step = std::min(unit, left);
      in += step;
      left -= step;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  }

 private:
  iconv_t cd_;
};

// The converter of a table for this thread, opened at its first use and kept:
// opening one costs more than decoding a whole name. nullptr when iconv has
// no such table.
TConverter* ConverterFor(const char* from) {
  thread_local std::map<std::string, std::unique_ptr<TConverter>, std::less<>> converters;
  auto it = converters.find(std::string_view(from));
  if (it == converters.end()) it = converters.emplace(from, std::make_unique<TConverter>(from)).first;
  return it->second->Ok() ? it->second.get() : nullptr;
}

// The control code at position i of the text, or -1 for a character.
// Single-byte tables use 0x80..0x9F; UCS-2 and UTF-8 use U+E080..U+E09F.
int ControlAt(const uint8_t* p, size_t left, TUnit unit, size_t& width) {
  switch (unit) {
    case TUnit::Byte:
      width = 1;
      return p[0] >= 0x80 && p[0] <= 0x9F ? p[0] : p[0] < 0x20 ? 0x100 : -1;
    case TUnit::UCS2:
      width = 2;
      if (left >= 2 && p[0] == 0xE0 && p[1] >= 0x80 && p[1] <= 0x9F) return p[1];
      return left >= 2 && p[0] == 0x00 && p[1] < 0x20 ? 0x100 : -1;
    case TUnit::UTF8:
      width = 3;
      if (left >= 3 && p[0] == 0xEE && p[1] == 0x82 && p[2] >= 0x80 && p[2] <= 0x9F) return p[2];
      width = 1;
      return p[0] < 0x20 ? 0x100 : -1;
    case TUnit::MultiByte:
      width = 1;
      return p[0] < 0x20 ? 0x100 : -1;
  }
  return -1;
}

void AppendControl(int code, TTextMarks marks, std::string& out) {
  const bool shown = marks == TTextMarks::Shown;
  if (code == 0x86 && shown) out += kEmphasisOnMark;
  if (code == 0x87 && shown) out += kEmphasisOffMark;
  if (code == 0x8A) out += shown ? kLineBreakMark : " ";
  // Other codes (user-defined, reserved, C0 controls) show nothing.
}

}  // namespace

TDVBText DecodeDVBText(const uint8_t* data, size_t length, TTextMarks marks) {
  TDVBText result;
  if (data == nullptr) length = 0;
  TTable table = SelectTable(data, length);
  result.table = table.name;
  if (table.iconvName == nullptr) return result;
  TConverter* const found = ConverterFor(table.iconvName);
  if (found == nullptr) return result;
  TConverter& converter = *found;
  result.decoded = true;

  const uint8_t* text = data + std::min(table.skip, length);
  const size_t size = length - std::min(table.skip, length);
  const size_t unit = table.unit == TUnit::UCS2 ? 2 : 1;
  size_t runStart = 0;
  auto flush = [&](size_t end) {
    for (size_t i = runStart; i < end;) {
      // The euro sign of the DVB default table; iconv's ISO 6937 leaves 0xA4 empty.
      size_t stop = i;
      if (table.unit == TUnit::Byte && table.skip == 0) {
        while (stop < end && text[stop] != 0xA4) ++stop;
      } else {
        stop = end;
      }
      converter.Append(text + i, stop - i, unit, result.text);
      if (stop < end) {
        result.text += "\u20AC";
        ++stop;
      }
      i = stop;
    }
  };
  for (size_t i = 0; i < size;) {
    size_t width = 1;
    const int code = ControlAt(text + i, size - i, table.unit, width);
    if (code < 0) {
      i += table.unit == TUnit::UCS2 ? 2 : 1;
      continue;
    }
    flush(i);
    AppendControl(code, marks, result.text);
    i += width;
    runStart = i;
  }
  flush(size);
  return result;
}

std::string HexText(const uint8_t* data, size_t length) {
  std::string out;
  out.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) out += HexDigits(data[i], 2);
  return out;
}

}  // namespace tessaro
