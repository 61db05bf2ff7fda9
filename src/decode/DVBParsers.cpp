// The DVB SI section decoders: each section's fixed fields as lists, read and
// shown by one walker; loops, counts and descriptor groups around them.
#include "decode/DVBParsers.h"

#include <array>
#include <string>

#include "core/TextHelpers.h"
#include "descriptors/FieldMeanings.h"

namespace tessaro {
namespace {

using namespace fields;
using TSLoop = TTransportStreamLoopSection;
using SDT = Tservice_description_section_class;
using EIT = Tevent_information_section_class;
using TOT = Ttime_offset_section_class;
using SIT = Tselection_information_section_class;
using TDT = TMPEGTSTDTPacketParserEx;
using DIT = TMPEGTSDITPacketParserEx;

// The fields of ETSI EN 300 468 section syntax tables in their order; the SI
// decoders show reserved bits with their values.
// clang-format off

// The start every SI section shares. The EIT writes " (1 bits)" after
// section_syntax_indicator; the SIT names the reserved bits its own way.
constexpr TRecordField<TSISectionStart> kStart[] = {
    Dec<&TSISectionStart::table_id>("table_id", 8),
    Dec<&TSISectionStart::section_syntax_indicator>("section_syntax_indicator", 1),
    Dec<&TSISectionStart::reserved_future_use>("reserved_future_use", 1),
    Dec<&TSISectionStart::reserved>("reserved", 2),
    Dec<&TSISectionStart::section_length>("section_length", 12),
};
constexpr TRecordField<TSISectionStart> kEITStart[] = {
    Dec<&TSISectionStart::table_id>("table_id", 8),
    Dec<&TSISectionStart::section_syntax_indicator>("section_syntax_indicator", 1, " (1 bits)"),
    Dec<&TSISectionStart::reserved_future_use>("reserved_future_use", 1),
    Dec<&TSISectionStart::reserved>("reserved", 2),
    Dec<&TSISectionStart::section_length>("section_length", 12),
};
constexpr TRecordField<TSISectionStart> kSITStart[] = {
    Dec<&TSISectionStart::table_id>("table_id", 8),
    Dec<&TSISectionStart::section_syntax_indicator>("section_syntax_indicator", 1),
    Dec<&TSISectionStart::reserved_future_use>("DVB_reserved_future_use", 1),
    Dec<&TSISectionStart::reserved>("ISO_reserved", 2),
    Dec<&TSISectionStart::section_length>("section_length", 12),
};

// The CRC_32 after the loops, in hex (the TOT alone shows it in decimal).
template <class R>
constexpr TRecordField<R> kCrc[] = {
    Hex<&R::CRC_32>("CRC_32", 32, " (32 bit)"),
};

// network_information_section and bouquet_association_section: the same
// fields, the identifier and the first loop's length named apart.
using TTransportStreamLoopHeader = std::array<TRecordField<TSLoop>, 8>;
constexpr TTransportStreamLoopHeader TransportStreamLoopHeader(const char* identifier, const char* descriptorsLength) {
  return {{
      Dec<&TSLoop::identifier>(identifier, 16),
      Dec<&TSLoop::reserved2>("reserved", 2),
      Dec<&TSLoop::version_number>("version_number", 5),
      Dec<&TSLoop::current_next_indicator>("current_next_indicator", 1),
      Dec<&TSLoop::section_number>("section_number", 8),
      Dec<&TSLoop::last_section_number>("last_section_number", 8),
      Dec<&TSLoop::reserved_future_use2>("reserved_future_use", 4),
      Dec<&TSLoop::descriptors_length>(descriptorsLength, 12),
  }};
}
constexpr auto kNITHeader = TransportStreamLoopHeader("network_id", "network_descriptors_length");
constexpr auto kBATHeader = TransportStreamLoopHeader("bouquet_id", "bouquet_descriptors_length");
constexpr TRecordField<TSLoop> kTransportStreamLoopLength[] = {
    Dec<&TSLoop::reserved_future_use3>("reserved_future_use", 4),
    Dec<&TSLoop::transport_stream_loop_length>("transport_stream_loop_length", 12),
};
constexpr TRecordField<TTransportStreamEntry> kTransportStream[] = {
    Dec<&TTransportStreamEntry::transport_stream_id>("transport_stream_id", 16),
    Dec<&TTransportStreamEntry::original_network_id>("original_network_id", 16),
    Dec<&TTransportStreamEntry::reserved_future_use>("reserved_future_use", 4),
    Dec<&TTransportStreamEntry::transport_descriptors_length>("transport_descriptors_length", 12),
};

constexpr TRecordField<SDT> kSDTHeader[] = {
    Dec<&SDT::transport_stream_id>("transport_stream_id", 16),
    Dec<&SDT::reserved2>("reserved", 2),
    Dec<&SDT::version_number>("version_number", 5),
    Dec<&SDT::current_next_indicator>("current_next_indicator", 1),
    Dec<&SDT::section_number>("section_number", 8),
    Dec<&SDT::last_section_number>("last_section_number", 8),
    Dec<&SDT::original_network_id>("original_network_id", 16),
    Dec<&SDT::reserved_future_use2>("reserved_future_use", 8),
};
constexpr TRecordField<TServiceEntry> kService[] = {
    Dec<&TServiceEntry::service_id>("service_id", 16),
    Dec<&TServiceEntry::reserved_future_use>("reserved_future_use", 6),
    Dec<&TServiceEntry::EIT_schedule_flag>("EIT_schedule_flag", 1),
    Dec<&TServiceEntry::EIT_present_following_flag>("EIT_present_following_flag", 1),
    Dec<&TServiceEntry::running_status>("running_status", 3),
    Dec<&TServiceEntry::free_CA_mode>("free_CA_mode", 1),
    Dec<&TServiceEntry::descriptors_loop_length>("descriptors_loop_length", 12),
};

// start_time is 16 bits of MJD and 24 of BCD time, duration 24 bits of BCD,
// each shown as one number and, with decoded values, as a date and a time.
constexpr TRecordField<EIT> kEITHeader[] = {
    Dec<&EIT::service_id>("service_id", 16),
    Dec<&EIT::reserved2>("reserved", 2),
    Dec<&EIT::version_number>("version_number", 5),
    Dec<&EIT::current_next_indicator>("current_next_indicator", 1),
    Dec<&EIT::section_number>("section_number", 8),
    Dec<&EIT::last_section_number>("last_section_number", 8),
    Dec<&EIT::transport_stream_id>("transport_stream_id", 16),
    Dec<&EIT::original_network_id>("original_network_id", 16),
    Dec<&EIT::segment_last_section_number>("segment_last_section_number", 8),
    Dec<&EIT::last_table_id>("last_table_id", 8),
};
constexpr TRecordField<TEventEntry> kEvent[] = {
    Dec<&TEventEntry::event_id>("event_id", 16),
    Dec<&TEventEntry::start_time>("start_time", 40).Means(meanings::MJDTime),
    Dec<&TEventEntry::duration>("duration", 24).Means(meanings::Duration),
    Dec<&TEventEntry::running_status>("running_status", 3),
    Dec<&TEventEntry::free_CA_mode>("free_CA_mode", 1),
    Dec<&TEventEntry::descriptors_loop_length>("descriptors_loop_length", 12),
};

constexpr TRecordField<TDT> kTDT[] = {
    Dec<&TDT::UTC_time>("UTC_time", 40).Means(meanings::MJDTime),
};
constexpr TRecordField<TOT> kTOTHeader[] = {
    Dec<&TOT::UTC_time>("UTC_time", 40).Means(meanings::MJDTime),
    Dec<&TOT::reserved_1>("reserved_1", 4),
    Dec<&TOT::descriptors_loop_length>("descriptors_loop_length", 12),
};
// Unsigned, so that a CRC with its top bit set does not read as negative.
constexpr TRecordField<TOT> kTOTCrc[] = {
    Dec<&TOT::CRC_32>("CRC_32", 32, " (32 bit)"),
};

constexpr TRecordField<TRunningStatusEntry> kRunningStatus[] = {
    Dec<&TRunningStatusEntry::transport_stream_id>("transport_stream_id", 16),
    Dec<&TRunningStatusEntry::original_network_id>("original_network_id", 16),
    Dec<&TRunningStatusEntry::service_id>("service_id", 16),
    Dec<&TRunningStatusEntry::event_id>("event_id", 16),
    Dec<&TRunningStatusEntry::reserved_future_use>("reserved_future_use", 5),
    Dec<&TRunningStatusEntry::running_status>("running_status", 3),
};

constexpr TRecordField<DIT> kDIT[] = {
    Dec<&DIT::transition_flag>("transition_flag", 1),
    Dec<&DIT::reserved_future_use2>("reserved_future_use", 7),
};

constexpr TRecordField<SIT> kSITHeader[] = {
    Dec<&SIT::DVB_reserved_future_use2>("DVB_reserved_future_use", 16),
    Dec<&SIT::ISO_reserved2>("ISO_reserved", 2),
    Dec<&SIT::version_number>("version_number", 5),
    Dec<&SIT::current_next_indicator>("current_next_indicator", 1),
    Dec<&SIT::section_number>("section_number", 8),
    Dec<&SIT::last_section_number>("last_section_number", 8),
    Dec<&SIT::DVB_reserved_for_future_use>("DVB_reserved_for_future_use", 4),
    Dec<&SIT::transmission_info_loop_length>("transmission_info_loop_length", 12),
};
constexpr TRecordField<TSelectionServiceEntry> kSelectionService[] = {
    Dec<&TSelectionServiceEntry::service_id>("service_id", 16),
    Dec<&TSelectionServiceEntry::DVB_reserved_future_use>("DVB_reserved_future_use", 1),
    Dec<&TSelectionServiceEntry::running_status>("running_status", 3, " (3 bit)"),
    Dec<&TSelectionServiceEntry::service_loop_length>("service_loop_length", 12, " (12 bit)"),
};
// clang-format on

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

std::string Count(int32_t count) { return std::to_string(count); }

// The entries of a loop that ends at loopEnd: each its fixed fields, then the
// descriptor loop whose length its length field gives. Returns their count.
template <class Entry, class List>
int32_t ReadEntries(TSISectionReader& r, int32_t loopEnd, const List& fields, int32_t Entry::*length,
                    std::array<Entry, kSILoopEntries>& entries, const char* routine) {
  return r.Entries(loopEnd, ListBytes(fields), kSILoopEntries, routine, [&](int32_t i) {
    Entry& e = entries[static_cast<size_t>(i)];
    r.Fields(fields, e);
    r.DescriptorLoop(EntryList(e.descriptors), e.*length, loopEnd);
  });
}

// The loop's group and, under it, a node per entry: prefix and index, then
// the entry's fields and descriptors.
template <class Entry, class List>
void AddEntries(TTreeNode& parent, const char* group, const char* prefix, const List& fields, int32_t Entry::*length,
                const std::array<Entry, kSILoopEntries>& entries, int32_t count) {
  TTreeNode& loop = parent.Add(group);
  for (int32_t i = 0; i < count; ++i) {
    const Entry& e = entries[static_cast<size_t>(i)];
    TTreeNode& node = loop.Add(prefix + std::to_string(i));
    AddSectionFields(node, fields, e);
    AddDescriptorsGroup(node, e.*length, e.descriptors.get());
  }
}

void DecodeTransportStreamLoopSection(TSISectionReader& r, TTransportStreamLoopSection& t,
                                      const TTransportStreamLoopHeader& header, TSectionExtents& extents,
                                      const char* routine) {
  r.Fields(kStart, t);
  extents.header = r.Fields(header, t);
  r.DescriptorLoop(t.descriptors, t.descriptors_length, r.End());
  extents.between = r.Fields(kTransportStreamLoopLength, t);
  const int32_t loopEnd = r.RunEnd(t.transport_stream_loop_length, r.End());
  t.transport_stream_count = ReadEntries(
      r, loopEnd, kTransportStream, &TTransportStreamEntry::transport_descriptors_length, t.transport_streams, routine);
  extents.crc = r.Fields(kCrc<TSLoop>, t);
}

void AddTransportStreamLoopNodes(TTreeNode& table, const TTransportStreamLoopSection& t,
                                 const TTransportStreamLoopHeader& header, const TSectionExtents& extents) {
  AddSectionFields(table, kStart, t);
  AddSectionFields(table, header, t, extents.header);
  AddDescriptorsGroup(table, t.descriptors_length, &t.descriptors);
  AddSectionFields(table, kTransportStreamLoopLength, t, extents.between);
  table.Add(TextField("transport stream count", Count(t.transport_stream_count)).From(t.transport_stream_loop_length));
  AddEntries(table, "transport_streams", "transport_stream #", kTransportStream,
             &TTransportStreamEntry::transport_descriptors_length, t.transport_streams, t.transport_stream_count);
  AddSectionFields(table, kCrc<TSLoop>, t, extents.crc);
}

}  // namespace

// ---- NIT and BAT ----------------------------------------------------------------

void TMPEGTSNITPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  TSISectionReader r(BitStream, bytes);
  DecodeTransportStreamLoopSection(r, Section, kNITHeader, extents_, "TMPEGTSNITPacketParserEx.ParseData");
}

void TMPEGTSNITPacketParserEx::AddTableNodes(TTreeNode& psi) {
  AddTransportStreamLoopNodes(psi.Add("NIT"), Section, kNITHeader, extents_);
}

void TMPEGTSBATPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  TSISectionReader r(BitStream, bytes);
  DecodeTransportStreamLoopSection(r, Section, kBATHeader, extents_, "TMPEGTSBATPacketParserEx.ParseData");
}

void TMPEGTSBATPacketParserEx::AddTableNodes(TTreeNode& psi) {
  AddTransportStreamLoopNodes(psi.Add("BAT"), Section, kBATHeader, extents_);
}

// ---- SDT: service_description_section ---------------------------------------------

void TMPEGTSSDTPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  Tservice_description_section_class& t = Section;
  TSISectionReader r(BitStream, bytes);
  r.Fields(kStart, t);
  extents_.header = r.Fields(kSDTHeader, t);
  // The service loop runs to the CRC_32: section_length less the 8 bytes
  // above it and the 4 of the CRC.
  const int32_t loopEnd = r.RunEnd(t.section_length - 12, r.End());
  t.service_count = ReadEntries(r, loopEnd, kService, &TServiceEntry::descriptors_loop_length, t.services,
                                "TMPEGTSSDTPacketParserEx.ParseData");
  extents_.crc = r.Fields(kCrc<SDT>, t);
}

void TMPEGTSSDTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const Tservice_description_section_class& t = Section;
  TTreeNode& sdt = psi.Add("SDT");
  AddSectionFields(sdt, kStart, t);
  AddSectionFields(sdt, kSDTHeader, t, extents_.header);
  sdt.Add(TextField("services count", Count(t.service_count)).From(t.section_length));
  AddEntries(sdt, "services", "service #", kService, &TServiceEntry::descriptors_loop_length, t.services,
             t.service_count);
  AddSectionFields(sdt, kCrc<SDT>, t, extents_.crc);
}

// ---- EIT: event_information_section -----------------------------------------------

void TMPEGTSEITPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  Tevent_information_section_class& t = Section;
  TSISectionReader r(BitStream, bytes);
  r.Fields(kEITStart, t);
  extents_.header = r.Fields(kEITHeader, t);
  // The event loop runs to the CRC_32: section_length less the 11 bytes
  // above it and the 4 of the CRC.
  const int32_t loopEnd = r.RunEnd(t.section_length - 15, r.End());
  t.event_count = ReadEntries(r, loopEnd, kEvent, &TEventEntry::descriptors_loop_length, t.events,
                              "TMPEGTSEITPacketParserEx.ParseData");
  extents_.crc = r.Fields(kCrc<EIT>, t);
}

void TMPEGTSEITPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const Tevent_information_section_class& t = Section;
  TTreeNode& eit = psi.Add("EIT");
  AddSectionFields(eit, kEITStart, t);
  AddSectionFields(eit, kEITHeader, t, extents_.header);
  eit.Add(TextField("events count", Count(t.event_count)).From(t.section_length));
  AddEntries(eit, "events", "event #", kEvent, &TEventEntry::descriptors_loop_length, t.events, t.event_count);
  AddSectionFields(eit, kCrc<EIT>, t, extents_.crc);
}

// ---- TDT and TOT: time_date_section and time_offset_section ------------------------

void TMPEGTSTDTPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  TSISectionReader r(BitStream, bytes);
  r.Fields(kStart, *this);
  extents_.header = r.Fields(kTDT, *this);
}

void TMPEGTSTDTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  TTreeNode& tdt = psi.Add("TDT");
  AddSectionFields(tdt, kStart, *this);
  AddSectionFields(tdt, kTDT, *this, extents_.header);
}

void TMPEGTSTOTPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  Ttime_offset_section_class& t = Section;
  TSISectionReader r(BitStream, bytes);
  r.Fields(kStart, t);
  extents_.header = r.Fields(kTOTHeader, t);
  r.DescriptorLoop(t.descriptors, t.descriptors_loop_length, r.End());
  extents_.crc = r.Fields(kTOTCrc, t);
}

void TMPEGTSTOTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const Ttime_offset_section_class& t = Section;
  TTreeNode& tot = psi.Add("TOT");
  AddSectionFields(tot, kStart, t);
  AddSectionFields(tot, kTOTHeader, t, extents_.header);
  AddDescriptorsGroup(tot, t.descriptors_loop_length, &t.descriptors);
  AddSectionFields(tot, kTOTCrc, t, extents_.crc);
}

// ---- RST: running_status_section, which has no CRC_32 ----------------------------

void TMPEGTSRSTPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  Trunning_status_section_class& t = Section;
  TSISectionReader r(BitStream, bytes);
  r.Fields(kStart, t);
  const int32_t loopEnd = r.RunEnd(t.section_length, r.End());
  t.event_count = r.Entries(loopEnd, ListBytes(kRunningStatus), kSILoopEntries, "TMPEGTSRSTPacketParserEx.ParseData",
                            [&](int32_t i) { r.Fields(kRunningStatus, t.events[static_cast<size_t>(i)]); });
}

void TMPEGTSRSTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const Trunning_status_section_class& t = Section;
  TTreeNode& rst = psi.Add("RST");
  AddSectionFields(rst, kStart, t);
  rst.Add(TextField("event count", Count(t.event_count)).From(t.section_length));
  TTreeNode& loop = rst.Add("events");
  for (int32_t i = 0; i < t.event_count; ++i)
    AddSectionFields(loop.Add("event #" + std::to_string(i)), kRunningStatus, t.events[static_cast<size_t>(i)]);
}

// ---- ST and DIT: stuffing_section and discontinuity_information_section ----------

void TMPEGTSSTPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  TSISectionReader r(BitStream, bytes);
  r.Fields(kStart, *this);
}

void TMPEGTSSTPacketParserEx::AddTableNodes(TTreeNode& psi) {
  TTreeNode& st = psi.Add("ST");
  AddSectionFields(st, kStart, *this);
  st.Add(EmptyField("data_byte", ""));
}

void TMPEGTSDITPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  TSISectionReader r(BitStream, bytes);
  r.Fields(kStart, *this);
  extents_.header = r.Fields(kDIT, *this);
}

void TMPEGTSDITPacketParserEx::AddTableNodes(TTreeNode& psi) {
  TTreeNode& dit = psi.Add("DIT");
  AddSectionFields(dit, kStart, *this);
  AddSectionFields(dit, kDIT, *this, extents_.header);
}

// ---- SIT: selection_information_section -------------------------------------------

void TMPEGTSSITPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  Tselection_information_section_class& t = Section;
  TSISectionReader r(BitStream, bytes);
  r.Fields(kSITStart, t);
  extents_.header = r.Fields(kSITHeader, t);
  r.DescriptorLoop(t.transmission_descriptors, t.transmission_info_loop_length, r.End());
  // The service loop runs to the CRC_32: section_length less the 7 bytes
  // above the transmission loop, that loop and the 4 bytes of the CRC.
  const int32_t loopEnd = r.RunEnd(t.section_length - t.transmission_info_loop_length - 11, r.End());
  t.service_count = ReadEntries(r, loopEnd, kSelectionService, &TSelectionServiceEntry::service_loop_length, t.services,
                                "TMPEGTSSITPacketParserEx.ParseData");
  extents_.crc = r.Fields(kCrc<SIT>, t);
}

void TMPEGTSSITPacketParserEx::AddTableNodes(TTreeNode& psi) {
  const Tselection_information_section_class& t = Section;
  TTreeNode& sit = psi.Add("SIT");
  AddSectionFields(sit, kSITStart, t);
  AddSectionFields(sit, kSITHeader, t, extents_.header);
  AddDescriptorsGroup(sit, t.transmission_info_loop_length, &t.transmission_descriptors);
  sit.Add(TextField("service count", Count(t.service_count)).From(t.section_length, t.transmission_info_loop_length));
  AddEntries(sit, "services", "service #", kSelectionService, &TSelectionServiceEntry::service_loop_length, t.services,
             t.service_count);
  AddSectionFields(sit, kCrc<SIT>, t, extents_.crc);
}

}  // namespace tessaro
