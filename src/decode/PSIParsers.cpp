#include "decode/PSIParsers.h"

#include "core/TextHelpers.h"
#include "decode/DVBSectionReader.h"

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
  TBitStream4 bits;
  TSISectionReader r(bits, s);
  r.Read(table_id, 8);
  r.Read(section_syntax_indicator, 1);
  r.Read(zero_bit, 1);
  r.Read(reserved1, 2);
  r.Read(section_length, 12);
  r.Read(reserved2, 18);
  r.Read(version_number, 5);
  r.Read(current_next_indicator, 1);
  r.Read(section_number, 8);
  r.Read(last_section_number, 8);

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
  r.Read(CRC_32, 32);
  crcRead_ = true;
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
      node.Add(TextField("private_data_byte", HexBytesText(d.private_data_byte.data(), d.private_data_length))
                   .From(d.private_data_byte));
  }
  if (crcRead_) cat.Add(HexField("CRC_32", CRC_32, 8, " (32 bit)"));
}

// ---- TS_program_map_section -----------------------------------------------------------

void TMPEGTSPMTPacketParserEx::DecodeSection(const TByteView& s) {
  TProgramMapTable& t = Table;
  TBitStream4 bits;
  TSISectionReader r(bits, s);
  r.Read(t.table_id, 8);
  r.Read(t.section_syntax_indicator, 1);
  r.Read(t.zero_bit, 1);
  r.Read(t.reserved1, 2);
  r.Read(t.section_length, 12);
  r.Read(t.program_number, 16);
  r.Read(t.reserved2, 2);
  r.Read(t.version_number, 5);
  r.Read(t.current_next_indicator, 1);
  r.Read(t.section_number, 8);
  r.Read(t.last_section_number, 8);
  r.Read(t.reserved3, 3);
  r.Read(t.PCR_PID, 13);
  r.Read(t.reserved4, 4);
  r.Read(t.program_info_length, 12);

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
    r.Read(stream->stream_type, 8);
    r.Read(stream->reserved1, 3);
    r.Read(stream->elementary_PID, 13);
    r.Read(stream->reserved2, 4);
    r.Read(stream->ES_info_length, 12);
    parseLoop(stream->Descriptors, p + 5, stream->ES_info_length);
    p += 5 + stream->ES_info_length;
    n -= 5 + stream->ES_info_length;
    t.Streams.push_back(std::move(stream));
  }
  r.MoveTo(p);
  r.Read(t.CRC_32, 32);
}

void TMPEGTSPMTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const TProgramMapTable& t = Table;
  TTreeNode& pmt = psi.Add("PMT");
  pmt.Add(DecField("table_id", t.table_id, " (8 bits)"));
  pmt.Add(DecField("section_syntax_indicator", t.section_syntax_indicator, " (1 bit)"));
  pmt.Add(EmptyField("zero_bit", t.zero_bit, " (1 bit)"));
  pmt.Add(EmptyField("reserved", t.reserved1, " (2 bits)"));
  pmt.Add(DecField("section_length", t.section_length, " (12 bits)"));
  pmt.Add(DecField("program_number", t.program_number, " (16 bits)"));
  pmt.Add(EmptyField("reserved", t.reserved2, " (2 bits)"));
  pmt.Add(DecField("version_number", t.version_number, " (5 bits)"));
  pmt.Add(DecField("current_next_indicator", t.current_next_indicator, " (1 bit)"));
  pmt.Add(DecField("section_number", t.section_number, " (8 bits)"));
  pmt.Add(DecField("last_section_number", t.last_section_number, " (8 bit)"));
  pmt.Add(EmptyField("reserved", t.reserved3, " (3 bits)"));
  pmt.Add(HexField("PCR_PID", t.PCR_PID, 4, " (13 bits)"));
  pmt.Add(EmptyField("reserved", t.reserved4, " (4 bits)"));
  pmt.Add(DecField("program_info_length", t.program_info_length, " (12 bits)"));
  if (t.program_info_length > 0) t.Descriptors.TreeViewUpdateDescriptors(pmt.Add("descriptors"));
  pmt.Add(TextField("streams count", std::to_string(t.Streams.size())).From(t.section_length, t.program_info_length));
  for (size_t i = 0; i < t.Streams.size(); ++i) {
    const TProgram& stream = *t.Streams[i];
    TTreeNode& node = pmt.Add("Stream # " + std::to_string(i));
    node.Add(TextField("stream_type", std::to_string(stream.stream_type) + " " + GetStreamTypeName(stream.stream_type),
                       " (8 bits)")
                 .From(stream.stream_type));
    node.Add(EmptyField("reserved", stream.reserved1, " (3 bits)"));
    node.Add(HexField("elementary_PID", stream.elementary_PID, 4, " (13 bits)"));
    node.Add(EmptyField("reserved", stream.reserved2, " (4 bits)"));
    node.Add(DecField("ES_info_length", stream.ES_info_length, " (12 bits)"));
    if (stream.ES_info_length > 0) stream.Descriptors.TreeViewUpdateDescriptors(node.Add("descriptors"));
  }
  pmt.Add(HexField("CRC_32", t.CRC_32, 8, " (32 bits)"));
}

}  // namespace tessaro
