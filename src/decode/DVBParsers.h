// The DVB SI section decoders (ETSI EN 300 468): network information (NIT),
// bouquet association (BAT), service description (SDT), event information
// (EIT), time and date (TDT), time offset (TOT), running status (RST),
// stuffing (ST), discontinuity information (DIT) and selection information
// (SIT). Each gathers its section like the PSI decoders, reads it with its
// own bit reader and keeps what it read until the next section replaces it.
//
// Loop entries are held in tables of 256; a loop with more entries stops at
// the 256th. Descriptor loops go to TDVBdescriptors lists: the first-level
// list of a record lives with the record, the list of a loop entry is made
// the first time that entry is filled and reused afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/BitStream.h"
#include "decode/DVBSectionReader.h"
#include "decode/SectionDecoder.h"
#include "descriptors/Descriptors.h"

namespace tessaro {

inline constexpr int kSILoopEntries = 256;

// ---- Records ----------------------------------------------------------------

// One transport stream of the NIT or BAT loop.
struct TTransportStreamEntry {
  int32_t transport_stream_id = 0;
  int32_t original_network_id = 0;
  int32_t reserved_future_use = 0;
  int32_t transport_descriptors_length = 0;
  std::unique_ptr<TDVBdescriptors> descriptors;
};

// network_information_section and bouquet_association_section share their
// layout; only the identifier and the first descriptor loop are named apart
// (network_id / bouquet_id, network_ / bouquet_descriptors_length).
class TTransportStreamLoopSection : public TSISectionStart {
 public:
  int32_t identifier = 0;
  int32_t reserved2 = 0;
  int32_t version_number = 0;
  int32_t current_next_indicator = 0;
  int32_t section_number = 0;
  int32_t last_section_number = 0;
  int32_t reserved_future_use2 = 0;  // 4 bits
  int32_t descriptors_length = 0;
  TDVBdescriptors descriptors;
  int32_t reserved_future_use3 = 0;  // 4 bits
  int32_t transport_stream_loop_length = 0;
  int32_t transport_stream_count = 0;
  std::array<TTransportStreamEntry, kSILoopEntries> transport_streams{};
  uint32_t CRC_32 = 0;
};

class Tnetwork_information_section_class : public TTransportStreamLoopSection {
 public:
  int32_t network_id() const { return identifier; }
  int32_t network_descriptors_length() const { return descriptors_length; }
};

class Tbouquet_association_section_class : public TTransportStreamLoopSection {
 public:
  int32_t bouquet_id() const { return identifier; }
  int32_t bouquet_descriptors_length() const { return descriptors_length; }
};

struct TServiceEntry {
  int32_t service_id = 0;
  int32_t reserved_future_use = 0;  // 6 bits
  int32_t EIT_schedule_flag = 0;
  int32_t EIT_present_following_flag = 0;
  int32_t running_status = 0;
  int32_t free_CA_mode = 0;
  int32_t descriptors_loop_length = 0;
  std::unique_ptr<TDVBdescriptors> descriptors;
};

class Tservice_description_section_class : public TSISectionStart {
 public:
  int32_t transport_stream_id = 0;
  int32_t reserved2 = 0;
  int32_t version_number = 0;
  int32_t current_next_indicator = 0;
  int32_t section_number = 0;
  int32_t last_section_number = 0;
  int32_t original_network_id = 0;
  int32_t reserved_future_use2 = 0;  // 8 bits
  int32_t service_count = 0;
  std::array<TServiceEntry, kSILoopEntries> services{};
  uint32_t CRC_32 = 0;
};

struct TEventEntry {
  int32_t event_id = 0;
  int64_t start_time = 0;  // 16-bit MJD then six BCD digits, as read
  int32_t duration = 0;    // six BCD digits, as read
  int32_t running_status = 0;
  int32_t free_CA_mode = 0;
  int32_t descriptors_loop_length = 0;
  std::unique_ptr<TDVBdescriptors> descriptors;
};

class Tevent_information_section_class : public TSISectionStart {
 public:
  int32_t service_id = 0;
  int32_t reserved2 = 0;
  int32_t version_number = 0;
  int32_t current_next_indicator = 0;
  int32_t section_number = 0;
  int32_t last_section_number = 0;
  int32_t transport_stream_id = 0;
  int32_t original_network_id = 0;
  int32_t segment_last_section_number = 0;
  int32_t last_table_id = 0;
  int32_t event_count = 0;
  std::array<TEventEntry, kSILoopEntries> events{};
  uint32_t CRC_32 = 0;
};

class Ttime_offset_section_class : public TSISectionStart {
 public:
  int64_t UTC_time = 0;
  int32_t reserved_1 = 0;
  int32_t descriptors_loop_length = 0;
  TDVBdescriptors descriptors;
  uint32_t CRC_32 = 0;
};

struct TRunningStatusEntry {
  int32_t transport_stream_id = 0;
  int32_t original_network_id = 0;
  int32_t service_id = 0;
  int32_t event_id = 0;
  int32_t reserved_future_use = 0;  // 5 bits
  int32_t running_status = 0;
};

class Trunning_status_section_class : public TSISectionStart {
 public:
  int32_t event_count = 0;
  std::array<TRunningStatusEntry, kSILoopEntries> events{};
};

struct TSelectionServiceEntry {
  int32_t service_id = 0;
  int32_t DVB_reserved_future_use = 0;  // 1 bit
  int32_t running_status = 0;
  int32_t service_loop_length = 0;
  std::unique_ptr<TDVBdescriptors> descriptors;
};

// The start's reserved_future_use and reserved are the SIT's
// DVB_reserved_future_use and ISO_reserved.
class Tselection_information_section_class : public TSISectionStart {
 public:
  int32_t DVB_reserved_future_use2 = 0;  // 16 bits
  int32_t ISO_reserved2 = 0;
  int32_t version_number = 0;
  int32_t current_next_indicator = 0;
  int32_t section_number = 0;
  int32_t last_section_number = 0;
  int32_t DVB_reserved_for_future_use = 0;  // 4 bits
  int32_t transmission_info_loop_length = 0;
  TDVBdescriptors transmission_descriptors;
  int32_t service_count = 0;
  std::array<TSelectionServiceEntry, kSILoopEntries> services{};
  uint32_t CRC_32 = 0;
};

// ---- Decoders ---------------------------------------------------------------

// The part every DVB SI decoder adds to the section decoder: its bit reader.
class TSIDecoder : public TSectionDecoder {
 public:
  using TSectionDecoder::TSectionDecoder;

  TBitStream4 BitStream;
};

class TMPEGTSNITPacketParserEx : public TSIDecoder {
 public:
  TMPEGTSNITPacketParserEx() : TSIDecoder(TTableId::NIT) {}
  Tnetwork_information_section_class Section;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

class TMPEGTSBATPacketParserEx : public TSIDecoder {
 public:
  TMPEGTSBATPacketParserEx() : TSIDecoder(TTableId::BAT) {}
  Tbouquet_association_section_class Section;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

class TMPEGTSSDTPacketParserEx : public TSIDecoder {
 public:
  TMPEGTSSDTPacketParserEx() : TSIDecoder(TTableId::SDT) {}
  Tservice_description_section_class Section;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

class TMPEGTSEITPacketParserEx : public TSIDecoder {
 public:
  TMPEGTSEITPacketParserEx() : TSIDecoder(TTableId::EIT) {}
  Tevent_information_section_class Section;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

class TMPEGTSTDTPacketParserEx : public TSIDecoder, public TSISectionStart {
 public:
  TMPEGTSTDTPacketParserEx() : TSIDecoder(TTableId::TDT) {}
  int64_t UTC_time = 0;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

class TMPEGTSTOTPacketParserEx : public TSIDecoder {
 public:
  TMPEGTSTOTPacketParserEx() : TSIDecoder(TTableId::TOT) {}
  Ttime_offset_section_class Section;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

class TMPEGTSRSTPacketParserEx : public TSIDecoder {
 public:
  TMPEGTSRSTPacketParserEx() : TSIDecoder(TTableId::RST) {}
  Trunning_status_section_class Section;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

// Stuffing: the data bytes are never read.
class TMPEGTSSTPacketParserEx : public TSIDecoder, public TSISectionStart {
 public:
  TMPEGTSSTPacketParserEx() : TSIDecoder(TTableId::ST) {}

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

class TMPEGTSDITPacketParserEx : public TSIDecoder, public TSISectionStart {
 public:
  TMPEGTSDITPacketParserEx() : TSIDecoder(TTableId::DIT) {}
  int32_t transition_flag = 0;
  int32_t reserved_future_use2 = 0;  // 7 bits

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

class TMPEGTSSITPacketParserEx : public TSIDecoder {
 public:
  TMPEGTSSITPacketParserEx() : TSIDecoder(TTableId::SIT) {}
  Tselection_information_section_class Section;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

}  // namespace tessaro
