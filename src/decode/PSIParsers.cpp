#include "decode/PSIParsers.h"

#include "core/TextHelpers.h"

namespace tessaro {

std::string GetStreamTypeName(int32_t streamType) {
  static const char* const kNames[] = {
      "(ITU-T | ISO/IEC Reserved)",
      "(ISO/IEC 11172 Video)",
      "(ITU-T Rec. H.262 | ISO/IEC 13818-2 Video or ISO/IEC 11172-2 constrained parameter video stream)",
      "(ISO/IEC 11172 Audio)",
      "(ISO/IEC 13818-3 Audio)",
      "(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 private_sections)",
      "(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 PES packets containing private data)",
      "(ISO/IEC 13522 MHEG)",
      "(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 Annex A DSM CC)",
      "(ITU-T Rec. H.222.1)",
      "(ISO/IEC 13818-6 type A)",
      "(ISO/IEC 13818-6 type B)",
      "(ISO/IEC 13818-6 type C)",
      "(ISO/IEC 13818-6 type D)",
      "(ISO/IEC 13818-1 auxiliary)",
  };
  if (streamType >= 0 && streamType <= 0x0E) return kNames[streamType];
  if (streamType >= 0x0F && streamType <= 0x7F) return "(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 Reserved)";
  if (streamType >= 0x80 && streamType <= 0xFF) return "(User Private)";
  return "Unknown";
}

// ---- CA_section -----------------------------------------------------------------

void TMPEGTSCATPacketParserEx::DecodeSection(const TByteView& s) {
  table_id = static_cast<int32_t>(s.U8(0));
  section_syntax_indicator = static_cast<int32_t>(s.U8(1) >> 7);
  zero_bit = static_cast<int32_t>((s.U8(1) >> 6) & 1);
  reserved1 = static_cast<int32_t>((s.U8(1) >> 4) & 3);
  section_length = static_cast<int32_t>(s.U16(1) & 0x0FFF);
  reserved2 = static_cast<int32_t>((s.U8(3) << 10) | (s.U8(4) << 2) | (s.U8(5) >> 6));
  version_number = static_cast<int32_t>((s.U8(5) >> 1) & 0x1F);
  current_next_indicator = static_cast<int32_t>(s.U8(5) & 1);
  section_number = static_cast<int32_t>(s.U8(6));
  last_section_number = static_cast<int32_t>(s.U8(7));

  // Every descriptor of the loop is read as a CA_descriptor; a short one ends it.
  descriptor_count = 0;
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
  CRC_32 = s.U32(p);
}

void TMPEGTSCATPacketParserEx::AddTableNodes(TTreeNode& psi) {
  TTreeNode& cat = psi.Add("CAT");
  cat.Add(DecField("table_id", table_id, " (8 bits)"));
  cat.Add(DecField("section_syntax_indicator", section_syntax_indicator, " (1 bit)"));
  cat.Add(DecField("zero_bit", zero_bit, " (1 bit)"));
  cat.Add(DecField("reserved1", reserved1, " (2 bits)"));
  cat.Add(DecField("section_length", section_length, " (12 bits)"));
  cat.Add(DecField("reserved2", reserved2, " (18 bits)"));
  cat.Add(DecField("version_number", version_number, " (5 bits)"));
  cat.Add(DecField("current_next_indicator", current_next_indicator, " (1 bit)"));
  cat.Add(DecField("section_number", section_number, " (8 bit)"));
  cat.Add(DecField("last_section_number", last_section_number, " (8 bit)"));
  TTreeNode& list = cat.Add("CA_descriptors");
  for (int32_t i = 0; i < descriptor_count; ++i) {
    const TCA_descriptor_class& d = descriptors[static_cast<size_t>(i)];
    TTreeNode& node = list.Add("CA_descriptor #" + std::to_string(i));
    node.Add(DecField("descriptor_tag", d.descriptor_tag, " (8 bits)"));
    node.Add(DecField("descriptor_length", d.descriptor_length, " (8 bits)"));
    node.Add(DecField("CA_system_ID", d.CA_system_ID, " (16 bits)"));
    node.Add(DecField("reserved", d.reserved, " (3 bits)"));
    node.Add(DecField("CA_PID", d.CA_PID, " (13 bits)"));
    if (d.descriptor_length > 4)
      node.Add(TextField("private_data_byte", HexBytesText(d.private_data_byte.data(), d.private_data_length)));
  }
  cat.Add(HexField("CRC_32", CRC_32, 8, " (32 bit)"));
}

// ---- TS_program_map_section -----------------------------------------------------------

void TMPEGTSPMTPacketParserEx::DecodeSection(const TByteView& s) {
  TProgramMapTable& t = Table;
  t.table_id = static_cast<int32_t>(s.U8(0));
  t.section_syntax_indicator = static_cast<int32_t>(s.U8(1) >> 7);
  t.zero_bit = static_cast<int32_t>((s.U8(1) >> 6) & 1);
  t.reserved1 = static_cast<int32_t>((s.U8(1) >> 4) & 3);
  t.section_length = static_cast<int32_t>(s.U16(1) & 0x0FFF);
  t.program_number = static_cast<int32_t>(s.U16(3));
  t.reserved2 = static_cast<int32_t>(s.U8(5) >> 6);
  t.version_number = static_cast<int32_t>((s.U8(5) >> 1) & 0x1F);
  t.current_next_indicator = static_cast<int32_t>(s.U8(5) & 1);
  t.section_number = static_cast<int32_t>(s.U8(6));
  t.last_section_number = static_cast<int32_t>(s.U8(7));
  t.reserved3 = static_cast<int32_t>(s.U8(8) >> 5);
  t.PCR_PID = static_cast<int32_t>(s.U16(8) & 0x1FFF);
  t.reserved4 = static_cast<int32_t>(s.U8(10) >> 4);
  t.program_info_length = static_cast<int32_t>(s.U16(10) & 0x0FFF);

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
    stream->stream_type = static_cast<int32_t>(s.U8(p));
    stream->reserved1 = static_cast<int32_t>(s.U8(p + 1) >> 5);
    stream->elementary_PID = static_cast<int32_t>(s.U16(p + 1) & 0x1FFF);
    stream->reserved2 = static_cast<int32_t>(s.U8(p + 3) >> 4);
    stream->ES_info_length = static_cast<int32_t>(s.U16(p + 3) & 0x0FFF);
    parseLoop(stream->Descriptors, p + 5, stream->ES_info_length);
    p += 5 + stream->ES_info_length;
    n -= 5 + stream->ES_info_length;
    t.Streams.push_back(std::move(stream));
  }
  t.CRC_32 = s.U32(p);
}

void TMPEGTSPMTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const TProgramMapTable& t = Table;
  TTreeNode& pmt = psi.Add("PMT");
  pmt.Add(DecField("table_id", t.table_id, " (8 bits)"));
  pmt.Add(DecField("section_syntax_indicator", t.section_syntax_indicator, " (1 bit)"));
  pmt.Add(EmptyField("zero_bit", " (1 bit)"));
  pmt.Add(EmptyField("reserved", " (2 bits)"));
  pmt.Add(DecField("section_length", t.section_length, " (12 bits)"));
  pmt.Add(DecField("program_number", t.program_number, " (16 bits)"));
  pmt.Add(EmptyField("reserved", " (2 bits)"));
  pmt.Add(DecField("version_number", t.version_number, " (5 bits)"));
  pmt.Add(DecField("current_next_indicator", t.current_next_indicator, " (1 bit)"));
  pmt.Add(DecField("section_number", t.section_number, " (8 bits)"));
  pmt.Add(DecField("last_section_number", t.last_section_number, " (8 bit)"));
  pmt.Add(EmptyField("reserved", " (3 bits)"));
  pmt.Add(HexField("PCR_PID", static_cast<uint32_t>(t.PCR_PID), 4, " (13 bits)"));
  pmt.Add(EmptyField("reserved", " (4 bits)"));
  pmt.Add(DecField("program_info_length", t.program_info_length, " (12 bits)"));
  if (t.program_info_length > 0) t.Descriptors.TreeViewUpdateDescriptors(pmt.Add("descriptors"));
  pmt.Add(TextField("streams count", std::to_string(t.Streams.size())));
  for (size_t i = 0; i < t.Streams.size(); ++i) {
    const TProgram& stream = *t.Streams[i];
    TTreeNode& node = pmt.Add("Stream # " + std::to_string(i));
    node.Add(TextField("stream_type", std::to_string(stream.stream_type) + " " + GetStreamTypeName(stream.stream_type),
                       " (8 bits)"));
    node.Add(EmptyField("reserved", " (3 bits)"));
    node.Add(HexField("elementary_PID", static_cast<uint32_t>(stream.elementary_PID), 4, " (13 bits)"));
    node.Add(EmptyField("reserved", " (4 bits)"));
    node.Add(DecField("ES_info_length", stream.ES_info_length, " (12 bits)"));
    if (stream.ES_info_length > 0) stream.Descriptors.TreeViewUpdateDescriptors(node.Add("descriptors"));
  }
  pmt.Add(HexField("CRC_32", t.CRC_32, 8, " (32 bits)"));
}

}  // namespace tessaro
