// DVB text (EN 300 468 Annex A) to UTF-8: the character table chosen by the
// text's first bytes, converted by the system's iconv, with the control codes
// of the 0x80..0x9F range handled apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessaro {

// How emphasis and CR/LF control codes appear: as visible marks in a decode
// tree, or as a plain one-line name (CR/LF a blank, emphasis nothing).
enum class TTextMarks { Shown, Plain };

struct TDVBText {
  std::string text;      // UTF-8; U+FFFD stands for a byte sequence the table cannot map
  std::string table;     // "ISO/IEC 6937", "ISO/IEC 8859-5", "UTF-8", ...
  bool decoded = false;  // false: a table without a converter; text stays empty
};

inline constexpr const char* kEmphasisOnMark = "\u27E8";   // ⟨
inline constexpr const char* kEmphasisOffMark = "\u27E9";  // ⟩
inline constexpr const char* kLineBreakMark = "\u21B5";    // ↵

TDVBText DecodeDVBText(const uint8_t* data, size_t length, TTextMarks marks = TTextMarks::Shown);

// Bytes as upper-case hex pairs without blanks: what a name shows when its
// table cannot be decoded.
std::string HexText(const uint8_t* data, size_t length);

}  // namespace tessaro
