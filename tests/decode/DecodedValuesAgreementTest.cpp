// The decoded values of the decode tree (View > Decoded Values) against an
// independent reading. tests/data/expected/<stream>.values.tsv holds what
// tshark's DVB dissectors make of every time, duration, local time offset,
// satellite delivery value and DVB text of the EIT, TDT, TOT, SDT, NIT and
// BAT sections of a capture or fixture (scripts/make_values_expected.sh),
// keyed by the raw bytes. Every SI packet that starts a section is selected
// as the window selects it, with decoded values on, and each bracketed value
// and text node of its tree is looked up by the bytes it was decoded from.
//
// Differences that are not disagreements, and how they are compared:
// - tshark shows a start time of all ones (undefined) as no date, and
//   converts MJD through a 1970-based time, so it shows no date for an MJD
//   below 40587; the tree shows "undefined" and the date. Such values are
//   not in the file and are not compared.
// - A duration with a BCD nibble above 9: tshark writes the nibbles as
//   numbers above 99 ("165:165:165"); the tree shows "invalid BCD". The test
//   checks that tshark's reading indeed holds such a number.
// - Numbers: tshark writes 11.919 (GHz), 29.9 (Msymbol/s), 13 (degrees,
//   with the flag apart); the tree writes its units. Compared as numbers.
// - Texts in the default table: tshark reads them as ASCII, bytes above 0x7F
//   becoming U+FFFD, C0 bytes written as \xHH; the tree applies ISO/IEC 6937.
//   tshark's parts between those marks must appear, in order, in the tree's
//   text. Tables tshark has no converter for (0x11 to 0x14, 0x1F) give it
//   no text to compare.
// - tshark ends a text at a 0x00 byte; the tree's text must start with
//   tshark's.
// - The tree marks emphasis and line breaks (U+27E8, U+27E9, U+21B5); they
//   are left out before comparing.
// - A section is gathered from the next packet of its PID with the expected
//   continuity_counter, wherever it lies; after a dropped packet that is a
//   packet of another section, which tshark never joins to this one. The
//   values of such a tree are not tshark's to check and are not compared.
// - Only the section a packet's pointer_field leads to is in its tree, so
//   values of other sections are not all met; every value the tree shows
//   must be in the file, except those above.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "browser/StreamBrowser.h"
#include "core/DVBText.h"
#include "core/TreeNode.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

constexpr const char* kSuffix = ".values.tsv";

std::string Unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

using TExpected = std::map<std::pair<std::string, std::string>, std::string>;

TExpected ReadExpected(const std::string& name) {
  TExpected expected;
  std::ifstream in(test::TestDataPath("expected/" + name + kSuffix));
  for (std::string line; std::getline(in, line);) {
    const size_t a = line.find('\t');
    const size_t b = line.find('\t', a + 1);
    if (a == std::string::npos || b == std::string::npos) {
      ADD_FAILURE() << name << kSuffix << ": malformed line: " << line;
      continue;
    }
    expected[{line.substr(0, a), line.substr(a + 1, b - a - 1)}] = Unescaped(line.substr(b + 1));
  }
  return expected;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* const kDigits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) out += {kDigits[b >> 4], kDigits[b & 15]};
  return out;
}

std::string HexOf(uint64_t value, int digits) {
  std::string out(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) out[static_cast<size_t>(i)] = "0123456789abcdef"[value & 15];
  return out;
}

std::string Without(std::string text, const std::string& mark) {
  for (size_t at; (at = text.find(mark)) != std::string::npos;) text.erase(at, mark.size());
  return text;
}

// tshark's text split at its marks of what it did not decode.
std::vector<std::string> DecodedParts(const std::string& text) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 3, "\uFFFD") == 0) {
      parts.emplace_back();
      i += 3;
    } else if (text.compare(i, 2, "\\x") == 0 && i + 4 <= text.size()) {
      parts.emplace_back();
      i += 4;
    } else {
      parts.back() += text[i++];
    }
  }
  return parts;
}

class TAgreement {
 public:
  TAgreement(std::string name, std::string path, TExpected expected)
      : name_(std::move(name)), file_(path, std::ios::binary), expected_(std::move(expected)) {}

  void Walk(const TTreeNode& node, const TTreeNode* parent, int64_t offset) {
    static const std::regex kField(R"(^(\S+) *: (\d+) \(\d+ bits?\) \[([^\]]*)\])");
    std::smatch m;
    if (std::regex_search(node.text, m, kField)) Field(m[1], std::stoull(m[2]), m[3], parent, offset);
    if (node.text.rfind('[', 0) == 0 && node.children.empty() && parent != nullptr) Text(node, offset);
    for (const auto& child : node.children) Walk(*child, &node, offset);
  }

  int compared = 0;

 private:
  const std::string* Find(const std::string& kind, const std::string& raw, int64_t offset, const std::string& ours) {
    const auto it = expected_.find({kind, raw});
    if (it != expected_.end()) return &it->second;
    ADD_FAILURE() << name_ << " packet " << offset << ": tshark shows no " << kind << " for " << raw
                  << " (tree: " << ours << ")";
    return nullptr;
  }

  void Field(const std::string& label, uint64_t value, const std::string& meaning, const TTreeNode* parent,
             int64_t offset) {
    const std::string where = name_ + " packet " + std::to_string(offset) + " " + label;
    if (label == "start_time" || label == "UTC_time" || label == "time_of_change") {
      if (meaning == "undefined" || (value >> 24) < 40587) return;
      if (const std::string* t = Find("time", HexOf(value, 10), offset, meaning)) {
        EXPECT_EQ(meaning, *t + " UTC") << where;
        ++compared;
      }
    } else if (label == "duration") {
      const std::string* t = Find("duration", HexOf(value, 6), offset, meaning);
      if (t == nullptr) return;
      ++compared;
      if (meaning == "invalid BCD") {
        EXPECT_TRUE(std::regex_search(*t, std::regex(R"(\d{3})"))) << where << ": tshark shows " << *t;
      } else {
        EXPECT_EQ(meaning, *t) << where;
      }
    } else if (label == "local_time_offset" || label == "next_time_offset") {
      const std::string polarity = Sibling(parent, "local_time_offset_polarity");
      if (const std::string* t = Find("offset", HexOf(value, 4) + "/" + polarity, offset, meaning)) {
        EXPECT_EQ(meaning, *t) << where;
        ++compared;
      }
    } else if (parent != nullptr && parent->text == "satellite_delivery_system_descriptor") {
      const char* kind = label == "frequency"          ? "satellite_frequency"
                         : label == "symbol_rate"      ? "symbol_rate"
                         : label == "orbital_position" ? "orbital_position"
                                                       : nullptr;
      if (kind == nullptr) return;
      const int digits = label == "orbital_position" ? 4 : label == "symbol_rate" ? 7 : 8;
      if (const std::string* t = Find(kind, HexOf(value, digits), offset, meaning)) {
        EXPECT_NEAR(std::stod(meaning), std::stod(*t), 1e-9) << where << ": " << meaning << " / " << *t;
        ++compared;
      }
    }
  }

  static std::string Sibling(const TTreeNode* parent, const std::string& label) {
    if (parent == nullptr) return "?";
    for (const auto& child : parent->children)
      if (child->text.rfind(label + " ", 0) == 0) return child->text.substr(child->text.find(" : ") + 3, 1);
    return "?";
  }

  void Text(const TTreeNode& node, int64_t offset) {
    std::vector<uint8_t> bytes;
    for (const TSpan& span : node.spans) {
      std::vector<uint8_t> part(static_cast<size_t>(span.bits / 8));
      file_.clear();
      file_.seekg(span.offset);
      file_.read(reinterpret_cast<char*>(part.data()), static_cast<std::streamsize>(part.size()));
      bytes.insert(bytes.end(), part.begin(), part.end());
    }
    if (bytes.empty()) return;
    const uint8_t first = bytes[0];
    if ((first >= 0x11 && first <= 0x14) || first == 0x1F) return;
    const std::string* t = Find("text", Hex(bytes), offset, node.text);
    if (t == nullptr) return;
    ++compared;
    // The node is "[" text "]", and " [" table "]" after a selection byte.
    std::string ours = node.text.substr(1);
    ours = ours.substr(0, first < 0x20 ? ours.rfind("] [") : ours.size() - 1);
    ours = Without(Without(Without(ours, kEmphasisOnMark), kEmphasisOffMark), kLineBreakMark);
    const std::vector<std::string> parts = DecodedParts(*t);
    // Where tshark decoded every byte the texts are equal.
    if (parts.size() == 1 && std::find(bytes.begin(), bytes.end(), 0) == bytes.end()) {
      EXPECT_EQ(ours, *t) << name_ << " packet " << offset << ": text " << Hex(bytes);
      return;
    }
    size_t at = 0;
    for (const std::string& part : parts) {
      const size_t found = ours.find(part, at);
      if (found == std::string::npos) {
        ADD_FAILURE() << name_ << " packet " << offset << ": text " << Hex(bytes) << "\n  tree:   " << ours
                      << "\n  tshark: " << *t;
        return;
      }
      at = found + part.size();
    }
  }

  std::string name_;
  std::ifstream file_;
  TExpected expected_;
};

// Whether the tree's section was gathered past a packet of its own PID that
// it skipped (a continuity gap): the packets its spans lie in, in file order,
// have another packet of the PID between them.
void CollectPackets(const TTreeNode& node, int64_t start, int64_t size, std::vector<int64_t>& packets) {
  for (const TSpan& span : node.spans) packets.push_back(start + (span.offset - start) / size * size);
  for (const auto& child : node.children) CollectPackets(*child, start, size, packets);
}

bool GatheredAcrossGap(const TStreamBrowser& browser, const std::string& path, int64_t offset) {
  std::vector<int64_t> packets;
  CollectPackets(browser.Tree(), browser.StartOffset(), browser.PacketSize(), packets);
  std::sort(packets.begin(), packets.end());
  packets.erase(std::unique(packets.begin(), packets.end()), packets.end());
  std::ifstream file(path, std::ios::binary);
  uint8_t header[3] = {};
  auto pidAt = [&](int64_t at) {
    file.seekg(at);
    return file.read(reinterpret_cast<char*>(header), 3) ? ((header[1] & 0x1F) << 8) | header[2] : -1;
  };
  const int pid = pidAt(offset);
  for (size_t i = 1; i < packets.size(); ++i)
    for (int64_t at = packets[i - 1] + browser.PacketSize(); at < packets[i]; at += browser.PacketSize())
      if (pidAt(at) == pid) return true;
  return false;
}

// Calls visit(offset) for each packet of the stream that starts a section on
// a PID of the NIT, SDT/BAT, EIT and TDT/TOT.
template <class Visit>
void ForEachSIStart(const TStreamBrowser& browser, const std::string& path, Visit visit) {
  std::ifstream file(path, std::ios::binary);
  uint8_t header[4] = {};
  for (int64_t offset = browser.StartOffset(); offset + 188 <= browser.FileSize(); offset += browser.PacketSize()) {
    file.seekg(offset);
    if (!file.read(reinterpret_cast<char*>(header), 4)) break;
    const int pid = ((header[1] & 0x1F) << 8) | header[2];
    if (header[0] != 0x47 || (header[1] & 0x40) == 0 || pid < 0x10 || pid > 0x14 || pid == 0x13) continue;
    visit(offset);
  }
}

// The stream's file: a fixture, else a shared capture (empty: skip).
std::string StreamPath(const std::string& name) {
  const std::string fixture = test::TestDataPath(name + ".ts");
  if (std::ifstream(fixture)) return fixture;
  const std::string capture = test::SharedStreamPath(name + ".ts");
  return std::ifstream(capture) ? capture : std::string();
}

class DecodedValuesAgreement : public ::testing::TestWithParam<std::string> {};

TEST_P(DecodedValuesAgreement, TreeValuesEqualTsharks) {
  const std::string name = GetParam();
  const std::string path = StreamPath(name);
  if (path.empty()) GTEST_SKIP() << name << ".ts is neither a fixture nor in the shared captures";
  TExpected expected = ReadExpected(name);
  if (expected.empty()) GTEST_SKIP() << name << " holds no SI value tshark decodes";
  TStreamBrowser browser;
  browser.SetDecodedValues(true);
  ASSERT_TRUE(browser.LoadFile(path));
  TAgreement agreement(name, path, std::move(expected));
  ForEachSIStart(browser, path, [&](int64_t offset) {
    browser.SelectPacket(offset);
    if (GatheredAcrossGap(browser, path, offset)) return;
    for (const auto& node : browser.Tree().children) agreement.Walk(*node, nullptr, offset);
  });
  EXPECT_GT(agreement.compared, 0) << name << ": no decoded value of the tree was compared";
}

// With decoded values on, a tree differs from the plain one only by bracketed
// parts at the end of node texts and by text nodes ("[" ...) without
// children; what remains is the plain tree byte for byte.
void ExpectOnlyAdditions(const TTreeNode& plain, const TTreeNode& decoded, const std::string& where, int& added) {
  if (plain.text != decoded.text) {
    const bool addition = decoded.text.size() > plain.text.size() + 3 &&
                          decoded.text.compare(0, plain.text.size(), plain.text) == 0 &&
                          decoded.text.compare(plain.text.size(), 2, " [") == 0 && decoded.text.back() == ']';
    // A note after the value ("[beyond section_length]") stays last.
    const size_t note = plain.text.rfind(" [");
    const bool beforeNote =
        note != std::string::npos && plain.text.back() == ']' &&
        decoded.text.compare(0, note, plain.text, 0, note) == 0 && decoded.text.size() > plain.text.size() &&
        decoded.text.compare(decoded.text.size() - (plain.text.size() - note), std::string::npos, plain.text, note) ==
            0;
    EXPECT_TRUE(addition || beforeNote) << where << "\n  plain:   " << plain.text << "\n  decoded: " << decoded.text;
    ++added;
  }
  size_t j = 0;
  for (const auto& child : plain.children) {
    while (j < decoded.children.size() && decoded.children[j]->text != child->text &&
           decoded.children[j]->text.rfind('[', 0) == 0 && decoded.children[j]->children.empty() &&
           child->text.rfind('[', 0) != 0) {
      ++added;
      ++j;
    }
    if (j == decoded.children.size()) {
      ADD_FAILURE() << where << ": the decoded tree lacks " << child->text;
      return;
    }
    ExpectOnlyAdditions(*child, *decoded.children[j++], where, added);
  }
  for (; j < decoded.children.size(); ++j) {
    EXPECT_TRUE(decoded.children[j]->text.rfind('[', 0) == 0 && decoded.children[j]->children.empty())
        << where << ": node added that is no text node: " << decoded.children[j]->text;
    ++added;
  }
}

TEST_P(DecodedValuesAgreement, DecodedTreeIsThePlainTreeWithBrackets) {
  const std::string name = GetParam();
  const std::string path = StreamPath(name);
  if (path.empty()) GTEST_SKIP() << name << ".ts is neither a fixture nor in the shared captures";
  TStreamBrowser plain;
  TStreamBrowser decoded;
  decoded.SetDecodedValues(true);
  ASSERT_TRUE(plain.LoadFile(path));
  ASSERT_TRUE(decoded.LoadFile(path));
  int added = 0;
  int packets = 0;
  ForEachSIStart(plain, path, [&](int64_t offset) {
    plain.SelectPacket(offset);
    decoded.SelectPacket(offset);
    ++packets;
    ExpectOnlyAdditions(plain.Tree(), decoded.Tree(), name + " packet " + std::to_string(offset), added);
  });
  if (packets > 0 && !ReadExpected(name).empty()) {
    EXPECT_GT(added, 0) << name << ": decoded values added nothing";
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, DecodedValuesAgreement, ::testing::ValuesIn(test::ExpectationNames(kSuffix)),
                         test::ParamName);

}  // namespace
}  // namespace tessaro
