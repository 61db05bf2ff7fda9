#include "decode/DVBParsers.h"

#include <string>
#include <string_view>

#include "core/TextHelpers.h"

namespace tessaro {
namespace {

// The list of a loop entry, made the first time the entry is filled.
TDVBdescriptors& EntryList(std::unique_ptr<TDVBdescriptors>& list) {
  if (!list) list = std::make_unique<TDVBdescriptors>();
  return *list;
}

// The "descriptors" group of a loop whose length field is not 0.
void AddDescriptorsGroup(TTreeNode& parent, int32_t loopLength, const TDVBdescriptors* list) {
  if (loopLength <= 0) return;
  TTreeNode& group = parent.Add("descriptors");
  if (list != nullptr) list->TreeViewUpdateDescriptors(group);
}

struct TStartLabels {
  std::string_view syntaxSuffix = " (1 bit)";
  std::string_view reservedFutureUse = "reserved_future_use";
  std::string_view reserved = "reserved";
};

void AddStartNodes(TTreeNode& table, const TSISectionStart& s, const TStartLabels& labels = {}) {
  table.Add(DecField("table_id", s.table_id, " (8 bits)"));
  table.Add(DecField("section_syntax_indicator", s.section_syntax_indicator, labels.syntaxSuffix));
  table.Add(DecField(labels.reservedFutureUse, s.reserved_future_use, " (1 bit)"));
  table.Add(DecField(labels.reserved, s.reserved, " (2 bits)"));
  table.Add(DecField("section_length", s.section_length, " (12 bits)"));
}

std::string Count(int32_t count) { return std::to_string(count); }

// network_information_section and bouquet_association_section (ETSI EN 300 468).
void DecodeTransportStreamLoopSection(TSISectionReader& r, TTransportStreamLoopSection& t, const char* routine) {
  r.ReadStart(t);
  r.Read(t.identifier, 16);
  r.Read(t.reserved2, 2);
  r.Read(t.version_number, 5);
  r.Read(t.current_next_indicator, 1);
  r.Read(t.section_number, 8);
  r.Read(t.last_section_number, 8);
  r.Read(t.reserved_future_use2, 4);
  r.Read(t.descriptors_length, 12);
  r.DescriptorLoop(t.descriptors, t.descriptors_length, r.End());
  r.Read(t.reserved_future_use3, 4);
  r.Read(t.transport_stream_loop_length, 12);
  const int32_t loopEnd = r.RunEnd(t.transport_stream_loop_length, r.End());
  t.transport_stream_count = r.Entries(loopEnd, 6, kSILoopEntries, routine, [&](int32_t i) {
    TTransportStreamEntry& e = t.transport_streams[static_cast<size_t>(i)];
    r.Read(e.transport_stream_id, 16);
    r.Read(e.original_network_id, 16);
    r.Read(e.reserved_future_use, 4);
    r.Read(e.transport_descriptors_length, 12);
    r.DescriptorLoop(EntryList(e.descriptors), e.transport_descriptors_length, loopEnd);
  });
  r.Read(t.CRC_32, 32);
}

void AddTransportStreamLoopNodes(TTreeNode& table, const TTransportStreamLoopSection& t,
                                 std::string_view identifierLabel, std::string_view descriptorsLengthLabel) {
  AddStartNodes(table, t);
  table.Add(DecField(identifierLabel, t.identifier, " (16 bits)"));
  table.Add(DecField("reserved", t.reserved2, " (2 bits)"));
  table.Add(DecField("version_number", t.version_number, " (5 bits)"));
  table.Add(DecField("current_next_indicator", t.current_next_indicator, " (1 bit)"));
  table.Add(DecField("section_number", t.section_number, " (8 bits)"));
  table.Add(DecField("last_section_number", t.last_section_number, " (8 bits)"));
  table.Add(DecField("reserved_future_use", t.reserved_future_use2, " (4 bits)"));
  table.Add(DecField(descriptorsLengthLabel, t.descriptors_length, " (12 bits)"));
  AddDescriptorsGroup(table, t.descriptors_length, &t.descriptors);
  table.Add(DecField("reserved_future_use", t.reserved_future_use3, " (4 bits)"));
  table.Add(DecField("transport_stream_loop_length", t.transport_stream_loop_length, " (12 bits)"));
  table.Add(TextField("transport stream count", Count(t.transport_stream_count)).From(t.transport_stream_loop_length));
  TTreeNode& loop = table.Add("transport_streams");
  for (int32_t i = 0; i < t.transport_stream_count; ++i) {
    const TTransportStreamEntry& e = t.transport_streams[static_cast<size_t>(i)];
    TTreeNode& node = loop.Add("transport_stream #" + std::to_string(i));
    node.Add(DecField("transport_stream_id", e.transport_stream_id, " (16 bits)"));
    node.Add(DecField("original_network_id", e.original_network_id, " (16 bits)"));
    node.Add(DecField("reserved_future_use", e.reserved_future_use, " (4 bits)"));
    node.Add(DecField("transport_descriptors_length", e.transport_descriptors_length, " (12 bits)"));
    AddDescriptorsGroup(node, e.transport_descriptors_length, e.descriptors.get());
  }
  table.Add(HexField("CRC_32", t.CRC_32, 8, " (32 bit)"));
}

}  // namespace

// ---- NIT and BAT ----------------------------------------------------------------

void TMPEGTSNITPacketParserEx::DecodeSection(const TByteView& section) {
  TSISectionReader r(BitStream, section);
  DecodeTransportStreamLoopSection(r, Section, "TMPEGTSNITPacketParserEx.ParseData");
}

void TMPEGTSNITPacketParserEx::AddTableNodes(TTreeNode& psi) {
  AddTransportStreamLoopNodes(psi.Add("NIT"), Section, "network_id", "network_descriptors_length");
}

void TMPEGTSBATPacketParserEx::DecodeSection(const TByteView& section) {
  TSISectionReader r(BitStream, section);
  DecodeTransportStreamLoopSection(r, Section, "TMPEGTSBATPacketParserEx.ParseData");
}

void TMPEGTSBATPacketParserEx::AddTableNodes(TTreeNode& psi) {
  AddTransportStreamLoopNodes(psi.Add("BAT"), Section, "bouquet_id", "bouquet_descriptors_length");
}

// ---- SDT: service_description_section ---------------------------------------------

void TMPEGTSSDTPacketParserEx::DecodeSection(const TByteView& section) {
  Tservice_description_section_class& t = Section;
  TSISectionReader r(BitStream, section);
  r.ReadStart(t);
  r.Read(t.transport_stream_id, 16);
  r.Read(t.reserved2, 2);
  r.Read(t.version_number, 5);
  r.Read(t.current_next_indicator, 1);
  r.Read(t.section_number, 8);
  r.Read(t.last_section_number, 8);
  r.Read(t.original_network_id, 16);
  r.Read(t.reserved_future_use2, 8);
  // The service loop runs to the CRC_32: section_length less the 8 bytes
  // above it and the 4 of the CRC.
  const int32_t loopEnd = r.RunEnd(t.section_length - 12, r.End());
  t.service_count = r.Entries(loopEnd, 5, kSILoopEntries, "TMPEGTSSDTPacketParserEx.ParseData", [&](int32_t i) {
    TServiceEntry& e = t.services[static_cast<size_t>(i)];
    r.Read(e.service_id, 16);
    r.Read(e.reserved_future_use, 6);
    r.Read(e.EIT_schedule_flag, 1);
    r.Read(e.EIT_present_following_flag, 1);
    r.Read(e.running_status, 3);
    r.Read(e.free_CA_mode, 1);
    r.Read(e.descriptors_loop_length, 12);
    r.DescriptorLoop(EntryList(e.descriptors), e.descriptors_loop_length, loopEnd);
  });
  r.Read(t.CRC_32, 32);
}

void TMPEGTSSDTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const Tservice_description_section_class& t = Section;
  TTreeNode& sdt = psi.Add("SDT");
  AddStartNodes(sdt, t);
  sdt.Add(DecField("transport_stream_id", t.transport_stream_id, " (16 bits)"));
  sdt.Add(DecField("reserved", t.reserved2, " (2 bits)"));
  sdt.Add(DecField("version_number", t.version_number, " (5 bits)"));
  sdt.Add(DecField("current_next_indicator", t.current_next_indicator, " (1 bit)"));
  sdt.Add(DecField("section_number", t.section_number, " (8 bits)"));
  sdt.Add(DecField("last_section_number", t.last_section_number, " (8 bits)"));
  sdt.Add(DecField("original_network_id", t.original_network_id, " (16 bits)"));
  sdt.Add(DecField("reserved_future_use", t.reserved_future_use2, " (8 bits)"));
  sdt.Add(TextField("services count", Count(t.service_count)).From(t.section_length));
  TTreeNode& loop = sdt.Add("services");
  for (int32_t i = 0; i < t.service_count; ++i) {
    const TServiceEntry& e = t.services[static_cast<size_t>(i)];
    TTreeNode& node = loop.Add("service #" + std::to_string(i));
    node.Add(DecField("service_id", e.service_id, " (16 bits)"));
    node.Add(DecField("reserved_future_use", e.reserved_future_use, " (6 bits)"));
    node.Add(DecField("EIT_schedule_flag", e.EIT_schedule_flag, " (1 bit)"));
    node.Add(DecField("EIT_present_following_flag", e.EIT_present_following_flag, " (1 bit)"));
    node.Add(DecField("running_status", e.running_status, " (3 bits)"));
    node.Add(DecField("free_CA_mode", e.free_CA_mode, " (1 bit)"));
    node.Add(DecField("descriptors_loop_length", e.descriptors_loop_length, " (12 bits)"));
    AddDescriptorsGroup(node, e.descriptors_loop_length, e.descriptors.get());
  }
  sdt.Add(HexField("CRC_32", t.CRC_32, 8, " (32 bit)"));
}

// ---- EIT: event_information_section -----------------------------------------------

void TMPEGTSEITPacketParserEx::DecodeSection(const TByteView& section) {
  Tevent_information_section_class& t = Section;
  TSISectionReader r(BitStream, section);
  r.ReadStart(t);
  r.Read(t.service_id, 16);
  r.Read(t.reserved2, 2);
  r.Read(t.version_number, 5);
  r.Read(t.current_next_indicator, 1);
  r.Read(t.section_number, 8);
  r.Read(t.last_section_number, 8);
  r.Read(t.transport_stream_id, 16);
  r.Read(t.original_network_id, 16);
  r.Read(t.segment_last_section_number, 8);
  r.Read(t.last_table_id, 8);
  // The event loop runs to the CRC_32: section_length less the 11 bytes
  // above it and the 4 of the CRC.
  const int32_t loopEnd = r.RunEnd(t.section_length - 15, r.End());
  t.event_count = r.Entries(loopEnd, 12, kSILoopEntries, "TMPEGTSEITPacketParserEx.ParseData", [&](int32_t i) {
    TEventEntry& e = t.events[static_cast<size_t>(i)];
    r.Read(e.event_id, 16);
    r.Read(e.start_time, 40);
    r.Read(e.duration, 24);
    r.Read(e.running_status, 3);
    r.Read(e.free_CA_mode, 1);
    r.Read(e.descriptors_loop_length, 12);
    r.DescriptorLoop(EntryList(e.descriptors), e.descriptors_loop_length, loopEnd);
  });
  r.Read(t.CRC_32, 32);
}

void TMPEGTSEITPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const Tevent_information_section_class& t = Section;
  TTreeNode& eit = psi.Add("EIT");
  AddStartNodes(eit, t, {.syntaxSuffix = " (1 bits)"});
  eit.Add(DecField("service_id", t.service_id, " (16 bits)"));
  eit.Add(DecField("reserved", t.reserved2, " (2 bits)"));
  eit.Add(DecField("version_number", t.version_number, " (5 bits)"));
  eit.Add(DecField("current_next_indicator", t.current_next_indicator, " (1 bit)"));
  eit.Add(DecField("section_number", t.section_number, " (8 bits)"));
  eit.Add(DecField("last_section_number", t.last_section_number, " (8 bits)"));
  eit.Add(DecField("transport_stream_id", t.transport_stream_id, " (16 bits)"));
  eit.Add(DecField("original_network_id", t.original_network_id, " (16 bits)"));
  eit.Add(DecField("segment_last_section_number", t.segment_last_section_number, " (8 bits)"));
  eit.Add(DecField("last_table_id", t.last_table_id, " (8 bits)"));
  eit.Add(TextField("events count", Count(t.event_count)).From(t.section_length));
  TTreeNode& loop = eit.Add("events");
  for (int32_t i = 0; i < t.event_count; ++i) {
    const TEventEntry& e = t.events[static_cast<size_t>(i)];
    TTreeNode& node = loop.Add("event #" + std::to_string(i));
    node.Add(DecField("event_id", e.event_id, " (16 bits)"));
    node.Add(DecField("start_time", e.start_time, " (40 bits)"));
    node.Add(DecField("duration", e.duration, " (24 bits)"));
    node.Add(DecField("running_status", e.running_status, " (3 bits)"));
    node.Add(DecField("free_CA_mode", e.free_CA_mode, " (1 bit)"));
    node.Add(DecField("descriptors_loop_length", e.descriptors_loop_length, " (12 bits)"));
    AddDescriptorsGroup(node, e.descriptors_loop_length, e.descriptors.get());
  }
  eit.Add(HexField("CRC_32", t.CRC_32, 8, " (32 bit)"));
}

// ---- TDT and TOT: time_date_section and time_offset_section ------------------------

void TMPEGTSTDTPacketParserEx::DecodeSection(const TByteView& section) {
  TSISectionReader r(BitStream, section);
  r.ReadStart(*this);
  r.Read(UTC_time, 40);
}

void TMPEGTSTDTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  TTreeNode& tdt = psi.Add("TDT");
  AddStartNodes(tdt, *this);
  tdt.Add(DecField("UTC_time", UTC_time, " (40 bits)"));
}

void TMPEGTSTOTPacketParserEx::DecodeSection(const TByteView& section) {
  Ttime_offset_section_class& t = Section;
  TSISectionReader r(BitStream, section);
  r.ReadStart(t);
  r.Read(t.UTC_time, 40);
  r.Read(t.reserved_1, 4);
  r.Read(t.descriptors_loop_length, 12);
  r.DescriptorLoop(t.descriptors, t.descriptors_loop_length, r.End());
  r.Read(t.CRC_32, 32);
}

void TMPEGTSTOTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const Ttime_offset_section_class& t = Section;
  TTreeNode& tot = psi.Add("TOT");
  AddStartNodes(tot, t);
  tot.Add(DecField("UTC_time", t.UTC_time, " (40 bits)"));
  tot.Add(DecField("reserved_1", t.reserved_1, " (4 bits)"));
  tot.Add(DecField("descriptors_loop_length", t.descriptors_loop_length, " (12 bits)"));
  AddDescriptorsGroup(tot, t.descriptors_loop_length, &t.descriptors);
  // The TOT alone shows its CRC in decimal; as an unsigned 32-bit value, so
  // that a CRC with its top bit set does not read as a negative number.
  tot.Add(DecField("CRC_32", t.CRC_32, " (32 bit)"));
}

// ---- RST: running_status_section, which has no CRC_32 ----------------------------

void TMPEGTSRSTPacketParserEx::DecodeSection(const TByteView& section) {
  Trunning_status_section_class& t = Section;
  TSISectionReader r(BitStream, section);
  r.ReadStart(t);
  const int32_t loopEnd = r.RunEnd(t.section_length, r.End());
  t.event_count = r.Entries(loopEnd, 9, kSILoopEntries, "TMPEGTSRSTPacketParserEx.ParseData", [&](int32_t i) {
    TRunningStatusEntry& e = t.events[static_cast<size_t>(i)];
    r.Read(e.transport_stream_id, 16);
    r.Read(e.original_network_id, 16);
    r.Read(e.service_id, 16);
    r.Read(e.event_id, 16);
    r.Read(e.reserved_future_use, 5);
    r.Read(e.running_status, 3);
  });
}

void TMPEGTSRSTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const Trunning_status_section_class& t = Section;
  TTreeNode& rst = psi.Add("RST");
  AddStartNodes(rst, t);
  rst.Add(TextField("event count", Count(t.event_count)).From(t.section_length));
  TTreeNode& loop = rst.Add("events");
  for (int32_t i = 0; i < t.event_count; ++i) {
    const TRunningStatusEntry& e = t.events[static_cast<size_t>(i)];
    TTreeNode& node = loop.Add("event #" + std::to_string(i));
    node.Add(DecField("transport_stream_id", e.transport_stream_id, " (16 bits)"));
    node.Add(DecField("original_network_id", e.original_network_id, " (16 bits)"));
    node.Add(DecField("service_id", e.service_id, " (16 bits)"));
    node.Add(DecField("event_id", e.event_id, " (16 bits)"));
    node.Add(DecField("reserved_future_use", e.reserved_future_use, " (5 bits)"));
    node.Add(DecField("running_status", e.running_status, " (3 bits)"));
  }
}

// ---- ST and DIT: stuffing_section and discontinuity_information_section ----------

void TMPEGTSSTPacketParserEx::DecodeSection(const TByteView& section) {
  TSISectionReader r(BitStream, section);
  r.ReadStart(*this);
}

void TMPEGTSSTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  TTreeNode& st = psi.Add("ST");
  AddStartNodes(st, *this);
  st.Add(EmptyField("data_byte", ""));
}

void TMPEGTSDITPacketParserEx::DecodeSection(const TByteView& section) {
  TSISectionReader r(BitStream, section);
  r.ReadStart(*this);
  r.Read(transition_flag, 1);
  r.Read(reserved_future_use2, 7);
}

void TMPEGTSDITPacketParserEx::AddTableNodes(TTreeNode& psi) {
  TTreeNode& dit = psi.Add("DIT");
  AddStartNodes(dit, *this);
  dit.Add(DecField("transition_flag", transition_flag, " (1 bit)"));
  dit.Add(DecField("reserved_future_use", reserved_future_use2, " (7 bits)"));
}

// ---- SIT: selection_information_section -------------------------------------------

void TMPEGTSSITPacketParserEx::DecodeSection(const TByteView& section) {
  Tselection_information_section_class& t = Section;
  TSISectionReader r(BitStream, section);
  r.ReadStart(t);
  r.Read(t.DVB_reserved_future_use2, 16);
  r.Read(t.ISO_reserved2, 2);
  r.Read(t.version_number, 5);
  r.Read(t.current_next_indicator, 1);
  r.Read(t.section_number, 8);
  r.Read(t.last_section_number, 8);
  r.Read(t.DVB_reserved_for_future_use, 4);
  r.Read(t.transmission_info_loop_length, 12);
  r.DescriptorLoop(t.transmission_descriptors, t.transmission_info_loop_length, r.End());
  // The service loop runs to the CRC_32: section_length less the 7 bytes
  // above the transmission loop, that loop and the 4 bytes of the CRC.
  const int32_t loopEnd = r.RunEnd(t.section_length - t.transmission_info_loop_length - 11, r.End());
  t.service_count = r.Entries(loopEnd, 4, kSILoopEntries, "TMPEGTSSITPacketParserEx.ParseData", [&](int32_t i) {
    TSelectionServiceEntry& e = t.services[static_cast<size_t>(i)];
    r.Read(e.service_id, 16);
    r.Read(e.DVB_reserved_future_use, 1);
    r.Read(e.running_status, 3);
    r.Read(e.service_loop_length, 12);
    r.DescriptorLoop(EntryList(e.descriptors), e.service_loop_length, loopEnd);
  });
  r.Read(t.CRC_32, 32);
}

void TMPEGTSSITPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const Tselection_information_section_class& t = Section;
  TTreeNode& sit = psi.Add("SIT");
  AddStartNodes(sit, t, {.reservedFutureUse = "DVB_reserved_future_use", .reserved = "ISO_reserved"});
  sit.Add(DecField("DVB_reserved_future_use", t.DVB_reserved_future_use2, " (16 bits)"));
  sit.Add(DecField("ISO_reserved", t.ISO_reserved2, " (2 bits)"));
  sit.Add(DecField("version_number", t.version_number, " (5 bits)"));
  sit.Add(DecField("current_next_indicator", t.current_next_indicator, " (1 bit)"));
  sit.Add(DecField("section_number", t.section_number, " (8 bits)"));
  sit.Add(DecField("last_section_number", t.last_section_number, " (8 bits)"));
  sit.Add(DecField("DVB_reserved_for_future_use", t.DVB_reserved_for_future_use, " (4 bits)"));
  sit.Add(DecField("transmission_info_loop_length", t.transmission_info_loop_length, " (12 bits)"));
  AddDescriptorsGroup(sit, t.transmission_info_loop_length, &t.transmission_descriptors);
  sit.Add(TextField("service count", Count(t.service_count)).From(t.section_length, t.transmission_info_loop_length));
  TTreeNode& loop = sit.Add("services");
  for (int32_t i = 0; i < t.service_count; ++i) {
    const TSelectionServiceEntry& e = t.services[static_cast<size_t>(i)];
    TTreeNode& node = loop.Add("service #" + std::to_string(i));
    node.Add(DecField("service_id", e.service_id, " (16 bits)"));
    node.Add(DecField("DVB_reserved_future_use", e.DVB_reserved_future_use, " (1 bit)"));
    node.Add(DecField("running_status", e.running_status, " (3 bit)"));
    node.Add(DecField("service_loop_length", e.service_loop_length, " (12 bit)"));
    AddDescriptorsGroup(node, e.service_loop_length, e.descriptors.get());
  }
  sit.Add(HexField("CRC_32", t.CRC_32, 8, " (32 bit)"));
}

}  // namespace tessaro
