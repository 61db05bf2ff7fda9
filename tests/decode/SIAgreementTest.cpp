// The DVB SI decoders against an independent reading. For every packet of a
// real capture whose pointer_field leads to a NIT, SDT, EIT, TDT or TOT
// section, tests/data/expected/<capture>.si.tsv holds what tshark's DVB
// dissectors read from that section (scripts/make_si_expected.sh): the header
// fields, every loop entry's ids, flags and descriptor tags and lengths, the
// 40-bit times, the CRC, and the network, service, provider and event names
// as bytes.
// Each such packet is selected as the window selects it (its page loaded,
// then RefreshTSPacket): the tree must show that table, and the decoder the
// browser chose must hold the same values.
//
// What is not compared, by design:
// - Sections on a PID the SI decoders do not serve. The decoders are chosen by
//   PID (0x0010 NIT, 0x0011 SDT, 0x0012 EIT, 0x0014 TDT/TOT) and the table_id
//   the packet list recorded there; eit-schedule.ts also carries EIT sections
//   on PID 0x0112, which the list records as no table. For these the test
//   checks that the tree shows no SI table instead.
// - Sections tshark marks malformed (tshark=malformed in the file; it stops
//   part-way where packets of a gathered section are missing). The tree must
//   still show the table. The gathering follows the continuity counters: where
//   a packet is missing it takes the next packet of the PID whose counter
//   continues the chain, however far on, so the two readings of such a section
//   differ by construction.
// - Section starts tshark read no section from (table "-", tshark=unfinished):
//   eit-schedule.ts ends in the middle of an EIT section. The decoder cannot
//   gather it either, and its packet's tree shows no section.
// - Descriptors after the first tag a DVB SI descriptor list does not accept
//   (the systems descriptors below 0x40 end the list walk): the expected
//   loop is compared up to that tag.
#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "decode/TsharkAgreement.h"
#include "descriptors/FieldTable.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

constexpr const char* kSuffix = ".si.tsv";
constexpr int kMaxReported = 10;

using TFields = std::vector<std::pair<std::string, std::string>>;

// One line of an expectation file.
struct TExpectedSection {
  std::string offsetText;
  int64_t offset = 0;
  int32_t pid = 0;
  std::string table;
  TFields fields;
  // tshark=malformed: tshark stopped part-way through the section.
  bool Malformed() const {
    return fields.size() == 1 && fields[0].first == "tshark" && fields[0].second == "malformed";
  }
  // tshark=unfinished, table "-": tshark read no section from this start.
  bool Unfinished() const { return table == "-"; }
};

using test::DecodableEntries;
using test::DecodableLoop;
using test::Hex;
using test::Join;
using test::LoopText;
using test::ReadLines;
using test::Split;
using test::TestDataPath;
using test::TreeTable;
using test::TreeTableName;

// The lines of a capture's expectation file; a malformed line fails the test.
std::vector<TExpectedSection> ReadExpectations(const std::string& capture) {
  std::vector<TExpectedSection> sections;
  for (const std::string& line : ReadLines(TestDataPath("expected/" + capture + kSuffix))) {
    const std::vector<std::string> cells = Split(line, '\t');
    if (cells.size() < 4) {
      ADD_FAILURE() << capture << kSuffix << ": malformed line: " << line;
      continue;
    }
    TExpectedSection s;
    s.offsetText = cells[0];
    s.offset = std::stoll(cells[0], nullptr, 16);
    s.pid = static_cast<int32_t>(std::stol(cells[1], nullptr, 16));
    s.table = cells[2];
    for (size_t i = 3; i < cells.size(); ++i) {
      const size_t equals = cells[i].find('=');
      if (equals == std::string::npos) {
        ADD_FAILURE() << capture << kSuffix << " " << s.offsetText << ": field without a value: " << cells[i];
        continue;
      }
      s.fields.emplace_back(cells[i].substr(0, equals), cells[i].substr(equals + 1));
    }
    sections.push_back(std::move(s));
  }
  return sections;
}

// ---- The expectation file's notation -----------------------------------------

// Bytes 0x20..0x7E stand for themselves except the separators and the escape
// character; every other byte is written \xHH.
std::string Escaped(const uint8_t* data, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t b = data[i];
    const bool plain = b >= 0x20 && b <= 0x7E && b != '\\' && b != '|' && b != ',' && b != ';';
    text += plain ? std::string(1, static_cast<char>(b)) : "\\x" + HexDigits(b, 2);
  }
  return text;
}

// The expected value with its descriptor loops cut as the list walk cuts them.
std::string Decodable(const std::string& key, const std::string& value) {
  if (key == "network_descriptors" || key == "descriptors") return DecodableLoop(value, kSILoops);
  if (key == "transport_streams" || key == "services" || key == "events") return DecodableEntries(value, kSILoops);
  return value;
}

// ---- The same fields from the decoders ------------------------------------------

// The byte runs of a table-driven descriptor record: runIndex counts the runs
// in walk order, valueIndex is the position of that run's byte count among the
// record's values. Empty when the record holds fewer.
std::string RunText(const TFieldRecord& record, const std::vector<size_t>& runValueIndexes, size_t runIndex) {
  size_t start = 0;
  for (size_t r = 0; r < runValueIndexes.size(); ++r) {
    const size_t at = runValueIndexes[r];
    if (at >= record.values.size()) return "<record too short>";
    const size_t count = static_cast<size_t>(record.values[at]);
    if (start + count > record.bytes.size()) return "<record too short>";
    if (r == runIndex) return Escaped(record.bytes.data() + start, count);
    start += count;
  }
  return "<no such run>";
}

// network_name_descriptor: the name run only. The names of the list, joined by ",".
std::string NetworkNames(int32_t loopLength, const TDescriptorList* list) {
  std::vector<std::string> names;
  for (int32_t i = 0; loopLength > 0 && list != nullptr && i < list->Count(); ++i) {
    if (list->Tag(i) != 0x40) continue;
    const auto* record = list->RecordAs<TFieldRecord>(i);
    names.push_back(record != nullptr ? RunText(*record, {0}, 0) : "<no record>");
  }
  return Join(names, ',');
}

// service_descriptor: service_type, provider length, provider run, name
// length, name run. "provider|name" per service_descriptor of the list.
std::string ServiceNames(int32_t loopLength, const TDescriptorList* list) {
  std::vector<std::string> names;
  for (int32_t i = 0; loopLength > 0 && list != nullptr && i < list->Count(); ++i) {
    if (list->Tag(i) != 0x48) continue;
    const auto* record = list->RecordAs<TFieldRecord>(i);
    if (record == nullptr) {
      names.push_back("<no record>");
      continue;
    }
    names.push_back(RunText(*record, {2, 4}, 0) + "|" + RunText(*record, {2, 4}, 1));
  }
  return Join(names, ',');
}

// short_event_descriptor: ISO_639_language_code, name length, name run, text
// length, text run. "language|name" per short_event_descriptor of the list.
std::string EventNames(int32_t loopLength, const TDescriptorList* list) {
  std::vector<std::string> names;
  for (int32_t i = 0; loopLength > 0 && list != nullptr && i < list->Count(); ++i) {
    if (list->Tag(i) != 0x4D) continue;
    const auto* record = list->RecordAs<TFieldRecord>(i);
    if (record == nullptr || record->values.empty()) {
      names.push_back("<no record>");
      continue;
    }
    const auto code = static_cast<uint32_t>(record->values[0]);
    const uint8_t language[3] = {static_cast<uint8_t>(code >> 16), static_cast<uint8_t>(code >> 8),
                                 static_cast<uint8_t>(code)};
    names.push_back(Escaped(language, 3) + "|" + RunText(*record, {2, 4}, 0));
  }
  return Join(names, ',');
}

TFields StartFields(const TSISectionStart& s) {
  return {{"table_id", Hex(static_cast<uint64_t>(s.table_id), 2)},
          {"section_length", std::to_string(s.section_length)}};
}

void Append(TFields& to, const TFields& more) { to.insert(to.end(), more.begin(), more.end()); }

template <class Section>
TFields HeaderFields(const Section& t) {
  return {{"version_number", std::to_string(t.version_number)},
          {"current_next_indicator", std::to_string(t.current_next_indicator)},
          {"section_number", std::to_string(t.section_number)},
          {"last_section_number", std::to_string(t.last_section_number)}};
}

TFields NITFields(const Tnetwork_information_section_class& t) {
  TFields f = StartFields(t);
  f.emplace_back("network_id", std::to_string(t.network_id()));
  Append(f, HeaderFields(t));
  std::vector<std::string> streams;
  for (int32_t i = 0; i < t.transport_stream_count; ++i) {
    const TTransportStreamEntry& e = t.transport_streams[static_cast<size_t>(i)];
    streams.push_back(std::to_string(e.transport_stream_id) + "/" + std::to_string(e.original_network_id) + "/" +
                      LoopText(e.transport_descriptors_length, e.descriptors.get()));
  }
  Append(f, {{"network_descriptors_length", std::to_string(t.network_descriptors_length())},
             {"network_descriptors", LoopText(t.network_descriptors_length(), &t.descriptors)},
             {"network_names", NetworkNames(t.network_descriptors_length(), &t.descriptors)},
             {"transport_stream_loop_length", std::to_string(t.transport_stream_loop_length)},
             {"transport_stream_count", std::to_string(t.transport_stream_count)},
             {"transport_streams", Join(streams, ';')},
             {"CRC_32", Hex(t.CRC_32, 8)}});
  return f;
}

TFields SDTFields(const Tservice_description_section_class& t) {
  TFields f = StartFields(t);
  f.emplace_back("transport_stream_id", std::to_string(t.transport_stream_id));
  Append(f, HeaderFields(t));
  std::vector<std::string> services;
  std::vector<std::string> names;
  for (int32_t i = 0; i < t.service_count; ++i) {
    const TServiceEntry& e = t.services[static_cast<size_t>(i)];
    services.push_back(std::to_string(e.service_id) + "/" + std::to_string(e.EIT_schedule_flag) + "/" +
                       std::to_string(e.EIT_present_following_flag) + "/" + std::to_string(e.running_status) + "/" +
                       std::to_string(e.free_CA_mode) + "/" + LoopText(e.descriptors_loop_length, e.descriptors.get()));
    names.push_back(ServiceNames(e.descriptors_loop_length, e.descriptors.get()));
  }
  Append(f, {{"original_network_id", std::to_string(t.original_network_id)},
             {"service_count", std::to_string(t.service_count)},
             {"services", Join(services, ';')},
             {"service_names", Join(names, ';')},
             {"CRC_32", Hex(t.CRC_32, 8)}});
  return f;
}

TFields EITFields(const Tevent_information_section_class& t) {
  TFields f = StartFields(t);
  f.emplace_back("service_id", std::to_string(t.service_id));
  Append(f, HeaderFields(t));
  std::vector<std::string> events;
  std::vector<std::string> names;
  for (int32_t i = 0; i < t.event_count; ++i) {
    const TEventEntry& e = t.events[static_cast<size_t>(i)];
    events.push_back(std::to_string(e.event_id) + "/" + Hex(static_cast<uint64_t>(e.start_time), 10) + "/" +
                     Hex(static_cast<uint64_t>(e.duration), 6) + "/" + std::to_string(e.running_status) + "/" +
                     std::to_string(e.free_CA_mode) + "/" + LoopText(e.descriptors_loop_length, e.descriptors.get()));
    names.push_back(EventNames(e.descriptors_loop_length, e.descriptors.get()));
  }
  Append(f, {{"transport_stream_id", std::to_string(t.transport_stream_id)},
             {"original_network_id", std::to_string(t.original_network_id)},
             {"segment_last_section_number", std::to_string(t.segment_last_section_number)},
             {"last_table_id", Hex(static_cast<uint64_t>(t.last_table_id), 2)},
             {"event_count", std::to_string(t.event_count)},
             {"events", Join(events, ';')},
             {"event_names", Join(names, ';')},
             {"CRC_32", Hex(t.CRC_32, 8)}});
  return f;
}

TFields TDTFields(const TMPEGTSTDTPacketParserEx& tdt) {
  TFields f = StartFields(tdt);
  f.emplace_back("UTC_time", Hex(static_cast<uint64_t>(tdt.UTC_time), 10));
  return f;
}

TFields TOTFields(const Ttime_offset_section_class& t) {
  TFields f = StartFields(t);
  Append(f, {{"UTC_time", Hex(static_cast<uint64_t>(t.UTC_time), 10)},
             {"descriptors_loop_length", std::to_string(t.descriptors_loop_length)},
             {"descriptors", LoopText(t.descriptors_loop_length, &t.descriptors)},
             {"CRC_32", Hex(t.CRC_32, 8)}});
  return f;
}

// The fields of the decoder that shows table in the tree.
TFields DecoderFields(const TStreamBrowser& browser, const std::string& table) {
  if (table == "NIT") return NITFields(browser.Decoders().NIT.Section);
  if (table == "SDT") return SDTFields(browser.Decoders().SDT.Section);
  if (table == "EIT") return EITFields(browser.Decoders().EIT.Section);
  if (table == "TDT") return TDTFields(browser.Decoders().TDT);
  if (table == "TOT") return TOTFields(browser.Decoders().TOT.Section);
  return {};
}

// ---- The tree ---------------------------------------------------------------------

// The loop count node the tree shows for a table ("" for the TDT and TOT).
std::string CountNodeText(const std::string& table, const TFields& ours) {
  const char* field = table == "NIT"   ? "transport_stream_count"
                      : table == "SDT" ? "service_count"
                      : table == "EIT" ? "event_count"
                                       : nullptr;
  const char* label = table == "NIT" ? "transport stream count" : table == "SDT" ? "services count" : "events count";
  if (field == nullptr) return {};
  for (const auto& [key, value] : ours)
    if (key == field) return TextField(label, value).text;
  return {};
}

bool HasChild(const TTreeNode& node, const std::string& text) {
  return std::any_of(node.children.begin(), node.children.end(),
                     [&](const auto& child) { return child->text == text; });
}

// Whether the browser decodes table on pid: the decoders' PID gates, and for
// the NIT also the network PID the current PAT announces.
bool Served(const TStreamBrowser& browser, const std::string& table, int32_t pid) {
  if (table == "NIT") return pid == 0x0010 || browser.IsNIT(pid);
  if (table == "SDT") return pid == 0x0011;
  if (table == "EIT") return pid == 0x0012;
  return pid == 0x0014;  // TDT, TOT
}

std::vector<std::string> CaptureNames() { return test::ExpectationNames(kSuffix); }

// ---- The comparison ---------------------------------------------------------------

class CaptureSITest : public ::testing::TestWithParam<std::string> {};

// Every NIT/SDT/EIT/TDT/TOT section start tshark reads: the tree shows that
// table and its decoder holds every value tshark read.
TEST_P(CaptureSITest, SectionsAgreeWithTshark) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  const std::string capture = GetParam();
  const std::vector<TExpectedSection> expected = ReadExpectations(capture);
  if (expected.empty()) GTEST_SKIP() << capture << " holds no NIT, SDT, EIT, TDT or TOT section";
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(test::SharedStreamPath(capture + ".ts"))) << capture;
  int differences = 0;
  int compared = 0;
  int values = 0;
  // A loop field is reported by its first differing entry.
  auto report = [&](const TExpectedSection& s, std::string field, std::string ours, std::string tshark) {
    const std::vector<std::string> mine = Split(ours, ';');
    const std::vector<std::string> theirs = Split(tshark, ';');
    if (mine.size() > 1 || theirs.size() > 1) {
      size_t i = 0;
      while (i < mine.size() && i < theirs.size() && mine[i] == theirs[i]) ++i;
      field += " entry #" + std::to_string(i) + " (of " + std::to_string(mine.size()) + " / " +
               std::to_string(theirs.size()) + ")";
      ours = i < mine.size() ? mine[i] : "(none)";
      tshark = i < theirs.size() ? theirs[i] : "(none)";
    }
    ADD_FAILURE() << capture << ".ts " << s.offsetText << " " << s.table << " " << field << "\n  decoder: " << ours
                  << "\n  tshark:  " << tshark;
    return ++differences >= kMaxReported;
  };
  for (const TExpectedSection& s : expected) {
    if (s.Unfinished()) continue;
    browser.SelectPacket(s.offset);
    const std::string shown = TreeTableName(browser);
    if (!Served(browser, s.table, s.pid)) {
      // No decoder serves this PID: the packet decodes as no SI table.
      if (!shown.empty() && report(s, "tree table on PID " + Hex(static_cast<uint64_t>(s.pid), 4), shown, "(none)"))
        return;
      continue;
    }
    if (shown != s.table) {
      if (report(s, "tree table", shown, s.table)) return;
      continue;
    }
    if (s.Malformed()) continue;
    ++compared;
    const TFields ours = DecoderFields(browser, s.table);
    for (const auto& [key, tshark] : s.fields) {
      const auto found = std::find_if(ours.begin(), ours.end(), [&](const auto& f) { return f.first == key; });
      const std::string mine = found != ours.end() ? found->second : "(no such field)";
      const std::string wanted = Decodable(key, tshark);
      ++values;
      if (mine != wanted && report(s, key, mine, wanted)) return;
    }
    // The tree is built from those same values.
    const std::string count = CountNodeText(s.table, ours);
    if (!count.empty() && !HasChild(*TreeTable(browser), count) && report(s, "tree count node", "(missing)", count))
      return;
  }
  EXPECT_EQ(differences, 0);
  RecordProperty("sections_compared", compared);
  RecordProperty("values_compared", values);
}

// The converse: every packet the decode tree shows as a NIT, SDT, EIT, TDT or
// TOT section start is one that tshark reads as such a section start.
TEST_P(CaptureSITest, EveryDecodedSectionStartIsExpected) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  const std::string capture = GetParam();
  std::set<int64_t> expected;
  for (const TExpectedSection& s : ReadExpectations(capture)) expected.insert(s.offset);
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(test::SharedStreamPath(capture + ".ts"))) << capture;
  int unexpected = 0;
  std::vector<int64_t> starts;
  // Page after page, as the list shows them: the rows on the SI PIDs whose
  // recorded table_id is one of the five tables.
  browser.WalkPages([&] {
    for (int row = 0; row < browser.RowCount(); ++row) {
      const TPacketRow& r = browser.Row(row);
      const int32_t kind = r.PSIKind;
      const bool siTable = kind == 0x40 || kind == 0x41 || kind == 0x42 || kind == 0x46 ||
                           (kind >= 0x4E && kind <= 0x6F) || kind == 0x70 || kind == 0x73;
      if (r.Header.payload_unit_start_indicator == 1 && siTable) starts.push_back(r.Offset);
    }
    return true;
  });
  for (int64_t offset : starts) {
    if (expected.count(offset) != 0) continue;
    browser.SelectPacket(offset);
    ADD_FAILURE() << capture << ".ts " << OffsetText(offset) << ": the tree shows " << TreeTableName(browser)
                  << ", tshark reads no NIT/SDT/EIT/TDT/TOT section starting there";
    if (++unexpected == kMaxReported) break;
  }
  EXPECT_EQ(unexpected, 0);
  EXPECT_EQ(starts.empty(), expected.empty()) << capture;
}

INSTANTIATE_TEST_SUITE_P(Captures, CaptureSITest, ::testing::ValuesIn(CaptureNames()), test::ParamName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CaptureSITest);

// Every capture has its expectation file (EveryDecodedSectionStartIsExpected
// finds an empty one where the capture holds such sections); and the files
// meet what makes the comparison worth something: each of the five tables,
// sections gathered across packets, and names.
TEST(CaptureSIExpectations, EveryCaptureHasOne) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  const std::vector<std::string> names = CaptureNames();
  for (const std::string& name : test::SharedCaptureNames()) {
    EXPECT_TRUE(std::find(names.begin(), names.end(), name) != names.end())
        << "no expected/" << name << kSuffix << "; run scripts/make_si_expected.sh";
  }
  std::set<std::string> tables;
  int gathered = 0;
  int named = 0;
  for (const std::string& name : names) {
    for (const TExpectedSection& s : ReadExpectations(name)) {
      if (s.Unfinished() || s.Malformed()) continue;
      tables.insert(s.table);
      for (const auto& [key, value] : s.fields) {
        if (key == "section_length" && std::stoi(value) + 3 > 183) ++gathered;
        if ((key == "network_names" || key == "service_names" || key == "event_names") && !value.empty()) ++named;
      }
    }
  }
  EXPECT_EQ(tables, (std::set<std::string>{"EIT", "NIT", "SDT", "TDT", "TOT"}));
  EXPECT_GT(gathered, 0);
  EXPECT_GT(named, 0);
}

}  // namespace
}  // namespace tessaro
