// DVB text tables and stream_type names, checked against byte sequences whose
// meaning is known from the tables themselves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/DVBText.h"
#include "core/StreamTypes.h"

namespace tessaro {
namespace {

TDVBText Decode(const std::vector<uint8_t>& bytes, TTextMarks marks = TTextMarks::Shown) {
  return DecodeDVBText(bytes.data(), bytes.size(), marks);
}

TEST(DVBText, EveryTableSelectionDecodesToUTF8) {
  struct Case {
    std::vector<uint8_t> bytes;
    std::string table;
    std::string text;
  };
  // Of the tables one byte picks: the first, both sides of the reserved 0x08,
  // and the last. Two of those 0x10 and a number pick.
  const Case cases[] = {
      {{}, "ISO/IEC 6937", ""},
      // A non-spacing acute accent before its letter, and the DVB euro sign.
      {{'C', 'a', 'f', 0xC2, 'e', ' ', 0xA4}, "ISO/IEC 6937", "Caf\u00E9 \u20AC"},
      {{0x01, 0xBF, 0xD5, 0xE0, 0xD2, 0xEB, 0xD9}, "ISO/IEC 8859-5", "\u041F\u0435\u0440\u0432\u044B\u0439"},
      {{0x07, 0xA1}, "ISO/IEC 8859-11", "\u0E01"},
      {{0x09, 0xD0}, "ISO/IEC 8859-13", "\u0160"},
      {{0x0B, 0xA4}, "ISO/IEC 8859-15", "\u20AC"},
      {{0x10, 0x00, 0x01, 0xE9}, "ISO/IEC 8859-1", "\u00E9"},
      {{0x10, 0x00, 0x09, 0xFD}, "ISO/IEC 8859-9", "\u0131"},
      {{0x11, 0x04, 0x1F, 0x00, 'a'}, "ISO/IEC 10646 (UCS-2)", "\u041Fa"},
      {{0x12, 0xB0, 0xA1}, "KS X 1001", "\uAC00"},
      {{0x13, 0xD6, 0xD0}, "GB 2312", "\u4E2D"},
      {{0x14, 0xA4, 0xA4}, "Big5", "\u4E2D"},
      {{0x15, 0xC3, 0xA9, 't', 0xC3, 0xA9}, "UTF-8", "\u00E9t\u00E9"},
  };
  for (const Case& c : cases) {
    const TDVBText text = Decode(c.bytes);
    EXPECT_TRUE(text.decoded) << c.table;
    EXPECT_EQ(text.table, c.table);
    EXPECT_EQ(text.text, c.text) << c.table;
  }
}

TEST(DVBText, TablesWithoutConverterAreNamedNotGuessed) {
  for (const auto& [bytes, table] : std::vector<std::pair<std::vector<uint8_t>, std::string>>{
           {{0x08, 'a'}, "reserved table 0x08"},
           {{0x0C, 'a'}, "reserved table 0x0C"},
           {{0x1F, 0x01, 'a'}, "encoding_type_id 0x01"},
           {{0x10, 0x00, 0x0C, 'a'}, "ISO/IEC 8859 table 0x000C"},
           {{0x10, 0x00}, "ISO/IEC 8859 (table number cut off)"},
       }) {
    const TDVBText text = Decode(bytes);
    EXPECT_FALSE(text.decoded) << table;
    EXPECT_EQ(text.table, table);
    EXPECT_EQ(text.text, "");
  }
}

TEST(DVBText, ControlCodesBecomeMarksOrBlanks) {
  const std::vector<uint8_t> single{'A', 0x86, 'B', 0x87, 0x8A, 'C', 0x80, 0x0D, 'D'};
  EXPECT_EQ(Decode(single).text, "A\u27E8B\u27E9\u21B5CD");
  EXPECT_EQ(Decode(single, TTextMarks::Plain).text, "AB CD");
  const std::vector<uint8_t> ucs2{0x11, 0x00, 'A', 0xE0, 0x8A, 0x00, 'B'};
  EXPECT_EQ(Decode(ucs2).text, "A\u21B5B");
  const std::vector<uint8_t> utf8{0x15, 'A', 0xEE, 0x82, 0x8A, 'B'};
  EXPECT_EQ(Decode(utf8, TTextMarks::Plain).text, "A B");
}

TEST(DVBText, BrokenSequencesBecomeReplacementCharacters) {
  // Cut inside a multi-byte character, in UTF-8 and in UCS-2.
  EXPECT_EQ(Decode({0x15, 'a', 0xE2, 0x82}).text, "a\uFFFD");
  EXPECT_EQ(Decode({0x11, 0x00, 'a', 0x04}).text, "a\uFFFD");
  // A byte no table position holds, between valid ones.
  EXPECT_EQ(Decode({0x15, 'a', 0xFF, 'b'}).text, "a\uFFFDb");
  EXPECT_EQ(Decode({'a', 0xC9, 'b'}).text.substr(0, 1), "a");
  // Only the selection byte: an empty text in that table.
  const TDVBText empty = Decode({0x15});
  EXPECT_TRUE(empty.decoded);
  EXPECT_EQ(empty.text, "");
}

TEST(StreamTypes, AssignedValuesAreNamedReservedStayReserved) {
  EXPECT_EQ(GetStreamTypeName(0x36), "(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 Reserved)");
  EXPECT_EQ(GetStreamTypeName(0x7E), "(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 Reserved)");
  EXPECT_EQ(GetStreamTypeName(0x100), "Unknown");
  for (int type = 0x0F; type <= 0x35; ++type) EXPECT_EQ(GetStreamTypeName(type).find("Reserved"), std::string::npos);

  EXPECT_EQ(StreamTypeCodec(0x36).codec, "");
  EXPECT_EQ(StreamKindName(StreamTypeCodec(0x33).kind), "video");
}

}  // namespace
}  // namespace tessaro
