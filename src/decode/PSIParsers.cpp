// The CAT and PMT decoders: their fixed fields as lists, read and shown by one walker.
#include "decode/PSIParsers.h"

#include "core/TextHelpers.h"
#include "decode/DVBSectionReader.h"

namespace tessaro {

// ---- CA_section -----------------------------------------------------------------

namespace {

using namespace fields;
using CAT = TMPEGTSCATPacketParserEx;
using PMT = TProgramMapTable;

// CA_section (ISO/IEC 13818-1, Table 2-32); the CAT shows its zero and
// reserved bits with their values.
// clang-format off
constexpr TRecordField<CAT> kCATHeader[] = {
    Dec<&CAT::table_id>("table_id", 8),
    Dec<&CAT::section_syntax_indicator>("section_syntax_indicator", 1),
    Dec<&CAT::zero_bit>("zero_bit", 1),
    Dec<&CAT::reserved1>("reserved1", 2),
    Dec<&CAT::section_length>("section_length", 12),
    Dec<&CAT::reserved2>("reserved2", 18),
    Dec<&CAT::version_number>("version_number", 5),
    Dec<&CAT::current_next_indicator>("current_next_indicator", 1),
    Dec<&CAT::section_number>("section_number", 8, " (8 bit)"),
    Dec<&CAT::last_section_number>("last_section_number", 8, " (8 bit)"),
};
constexpr TRecordField<CAT> kCATCrc[] = {
    Hex<&CAT::CRC_32>("CRC_32", 32, " (32 bit)"),
};

// TS_program_map_section (ISO/IEC 13818-1, Table 2-33); the PMT shows its
// zero and reserved bits without value.
constexpr TRecordField<PMT> kPMTHeader[] = {
    Dec<&PMT::table_id>("table_id", 8),
    Dec<&PMT::section_syntax_indicator>("section_syntax_indicator", 1),
    NoValue<&PMT::zero_bit>("zero_bit", 1),
    NoValue<&PMT::reserved1>("reserved", 2),
    Dec<&PMT::section_length>("section_length", 12),
    Dec<&PMT::program_number>("program_number", 16),
    NoValue<&PMT::reserved2>("reserved", 2),
    Dec<&PMT::version_number>("version_number", 5),
    Dec<&PMT::current_next_indicator>("current_next_indicator", 1),
    Dec<&PMT::section_number>("section_number", 8),
    Dec<&PMT::last_section_number>("last_section_number", 8, " (8 bit)"),
    NoValue<&PMT::reserved3>("reserved", 3),
    Hex<&PMT::PCR_PID>("PCR_PID", 13),
    NoValue<&PMT::reserved4>("reserved", 4),
    Dec<&PMT::program_info_length>("program_info_length", 12),
};
constexpr TRecordField<TProgram> kPMTStream[] = {
    Named<&TProgram::stream_type>("stream_type", 8, GetStreamTypeName),
    NoValue<&TProgram::reserved1>("reserved", 3),
    Hex<&TProgram::elementary_PID>("elementary_PID", 13),
    NoValue<&TProgram::reserved2>("reserved", 4),
    Dec<&TProgram::ES_info_length>("ES_info_length", 12),
};
constexpr TRecordField<PMT> kPMTCrc[] = {
    Hex<&PMT::CRC_32>("CRC_32", 32),
};
// clang-format on

}  // namespace

void TMPEGTSCATPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  const TByteView& s = bytes.section;
  TBitStream4 bits;
  TSISectionReader r(bits, bytes);
  extents_.header = r.Fields(kCATHeader, *this);

  // Every descriptor of the loop is read as a CA_descriptor; a short one ends
  // it, and the CRC_32 after the loop is then not read.
  descriptor_count = 0;
  crcRead_ = false;
  int32_t p = 8;
  int32_t n = section_length - 9;
  while (n > 0 && descriptor_count < kMaxDescriptors) {
    const TByteView loop = s.Sub(p, n);
    TCA_descriptor_class& record = descriptors[static_cast<size_t>(descriptor_count)];
    if (!Parse_CA_descriptor(loop.Data(), loop.Size(), record)) return;
    const int32_t step = static_cast<int32_t>(record.descriptor_length) + 2;
    p += step;
    n -= step;
    ++descriptor_count;
  }
  r.MoveTo(p);
  extents_.crc = r.Fields(kCATCrc, *this);
  crcRead_ = true;
}

void TMPEGTSCATPacketParserEx::AddTableNodes(TTreeNode& psi) {
  TTreeNode& cat = psi.Add("CAT");
  AddSectionFields(cat, kCATHeader, *this, extents_.header);
  TTreeNode& list = cat.Add("CA_descriptors");
  for (int32_t i = 0; i < descriptor_count; ++i) {
    const TCA_descriptor_class& d = descriptors[static_cast<size_t>(i)];
    TTreeNode& node = list.Add("CA_descriptor #" + std::to_string(i));
    // Read by Parse_CA_descriptor; the CAT shows the tag in decimal.
    node.Add(DecField("descriptor_tag", d.descriptor_tag, " (8 bits)"));
    node.Add(DecField("descriptor_length", d.descriptor_length, " (8 bits)"));
    AddRecordFields(node, kCA_descriptorFields, d);
    if (d.descriptor_length > 4)
      node.Add(TextField("private_data_byte", HexBytesText(d.private_data_byte.data(), d.private_data_length))
                   .From(d.private_data_byte));
  }
  if (crcRead_) AddSectionFields(cat, kCATCrc, *this, extents_.crc);
}

// ---- TS_program_map_section -----------------------------------------------------------

void TMPEGTSPMTPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  const TByteView& s = bytes.section;
  TProgramMapTable& t = Table;
  TBitStream4 bits;
  TSISectionReader r(bits, bytes);
  extents_.header = r.Fields(kPMTHeader, t);

  // Loops that claim more than the section holds are cut at its end.
  // An empty loop clears the list, so no older section's descriptors linger.
  auto parseLoop = [&](Tdescriptors& list, int32_t at, int32_t length) {
    const TByteView loop = s.Sub(at, length);
    if (length > 0 && loop.Size() > 0) {
      list.ParseDescriptors(loop.Data(), loop.Size());
    } else {
      list.ClearDescriptors();
    }
  };
  parseLoop(t.Descriptors, 12, t.program_info_length);

  t.ClearProgramList();
  int32_t p = 12 + t.program_info_length;
  int32_t n = t.section_length - t.program_info_length - 13;
  while (n > 0 && s.Contains(p, 5)) {
    auto stream = std::make_unique<TProgram>();
    r.MoveTo(p);
    r.Fields(kPMTStream, *stream);
    parseLoop(stream->Descriptors, p + 5, stream->ES_info_length);
    p += 5 + stream->ES_info_length;
    n -= 5 + stream->ES_info_length;
    t.Streams.push_back(std::move(stream));
  }
  r.MoveTo(p);
  extents_.crc = r.Fields(kPMTCrc, t);
}

void TMPEGTSPMTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const TProgramMapTable& t = Table;
  TTreeNode& pmt = psi.Add("PMT");
  AddSectionFields(pmt, kPMTHeader, t, extents_.header);
  if (t.program_info_length > 0) t.Descriptors.TreeViewUpdateDescriptors(pmt.Add("descriptors"));
  pmt.Add(TextField("streams count", std::to_string(t.Streams.size())).From(t.section_length, t.program_info_length));
  for (size_t i = 0; i < t.Streams.size(); ++i) {
    const TProgram& stream = *t.Streams[i];
    TTreeNode& node = pmt.Add("Stream # " + std::to_string(i));
    AddSectionFields(node, kPMTStream, stream);
    if (stream.ES_info_length > 0) stream.Descriptors.TreeViewUpdateDescriptors(node.Add("descriptors"));
  }
  AddSectionFields(pmt, kPMTCrc, t, extents_.crc);
}

}  // namespace tessaro
