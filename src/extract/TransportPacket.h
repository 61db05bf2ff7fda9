// Builders and parsers of single transport packets, field for field as
// ISO/IEC 13818-1 lays them out: Ttransport_packet_class (transport_packet
// and adaptation_field, Tables 2-2 and 2-6), Tpsi_transport_packet_class (the
// pointer_field of a packet that starts a section) and
// Tprogram_association_section_class (program_association_section, Table
// 2-30, with its CRC_32). BuildPacket and SetData mirror each other.
//
// The packet type code chooses the slot size. In a 192-byte slot the 4-byte
// TP_extra_header comes first and the packet follows it; the other slots
// carry their extra bytes after the packet.
#pragma once

#include <array>
#include <cstdint>

#include "core/PacketParser.h"

namespace tessaro {

// 1 = 188, 2 = 204, 3 = 196, 4 = 212, 5 = 192 bytes.
inline constexpr int32_t kMaxSlotSize = 212;
bool IsPacketType(int32_t code);
// The slot size of a code; an unknown code means 188.
int32_t PacketSizeOfType(int32_t code);
// The code of a slot size; 0 for a size no code has.
int32_t PacketTypeOfSize(int32_t size);
// Where the sync byte lies in a slot of that size.
inline constexpr int32_t SlotSyncOffset(int32_t slotSize) { return slotSize == 192 ? 4 : 0; }

// The 13-bit PID of bytes 1 and 2, or -1 for a missing buffer or fewer than 4 bytes.
int32_t GetPacketPID(const uint8_t* buffer, int32_t length);

// program_association_section.
struct Tprogram_association_section_fields {
  static constexpr int kMaxPrograms = 256;
  uint8_t table_id = 0;
  uint8_t section_syntax_indicator = 0;
  uint8_t zero_bit = 0;
  uint8_t reserved1 = 0;
  uint16_t section_length = 0;
  uint16_t transport_stream_id = 0;
  uint8_t reserved2 = 0;
  uint8_t version_number = 0;
  uint8_t current_next_indicator = 0;
  uint8_t section_number = 0;
  uint8_t last_section_number = 0;
  int32_t N = 0;  // entries of the program loop
  std::array<uint16_t, kMaxPrograms> program_number{};
  std::array<uint8_t, kMaxPrograms> reserved{};
  std::array<uint16_t, kMaxPrograms> PID{};  // network_PID or program_map_PID
  uint32_t CRC_32 = 0;
};

class Ttransport_packet_class {
 public:
  explicit Ttransport_packet_class(int32_t packetType);
  virtual ~Ttransport_packet_class() = default;
  Ttransport_packet_class(const Ttransport_packet_class&) = delete;
  Ttransport_packet_class& operator=(const Ttransport_packet_class&) = delete;

  // A slot of exactly the packet size: copied and parsed into the fields
  // (refused without its sync byte).
  virtual bool SetData(const uint8_t* buffer, int32_t length);
  // The slot as last built or set; valid until the next build or the object's end.
  virtual bool GetData(const uint8_t*& buffer, int32_t& length) const;
  // Writes the slot from the fields. False (a refusal) when they do not fit in a packet.
  virtual bool BuildPacket();

  bool ParsePacket();
  // continuity_counter + 1 modulo 16, written into byte 3; nothing else changes.
  bool Increment_continuity_counter();
  // The TP_extra_header of a 192-byte slot (4 bytes); other slots have none.
  void SetSlotPrefix(const uint8_t* prefix);

  // The header and adaptation field: the record the header parser fills.
  // Flags hold 0 or 1; the reserved and marker fields are read back as they
  // are but always built as 1s.
  TTSHeader& HeaderFields() { return fields_; }
  int32_t PacketType() const { return packetType_; }
  int32_t PacketSize() const { return packetSize_; }
  // Bytes from the sync byte to the first payload byte.
  int32_t HeaderLength() const { return headerLength_; }

 protected:
  // The 188 bytes of the packet within the slot.
  uint8_t* Packet() { return buffer_.data() + SlotSyncOffset(packetSize_); }
  const uint8_t* Packet() const { return buffer_.data() + SlotSyncOffset(packetSize_); }

 private:
  int32_t packetType_;
  int32_t packetSize_;
  std::array<uint8_t, kMaxSlotSize> buffer_{};
  TTSHeader fields_;
  int32_t headerLength_ = 0;
};

class Tpsi_transport_packet_class : public Ttransport_packet_class {
 public:
  using Ttransport_packet_class::Ttransport_packet_class;
  bool SetData(const uint8_t* buffer, int32_t length) override;
  bool BuildPacket() override;

  uint8_t pointer_field = 0;

 protected:
  // Packet offset of the first section byte.
  int32_t SectionStart() const { return HeaderLength() + 1 + pointer_field; }
};

class Tprogram_association_section_class : public Tpsi_transport_packet_class {
 public:
  using Tpsi_transport_packet_class::Tpsi_transport_packet_class;
  bool SetData(const uint8_t* buffer, int32_t length) override;
  // Refuses N outside 0..256 and a section that does not fit in the packet.
  bool BuildPacket() override;

  Tprogram_association_section_fields& SectionFields() { return section_; }

 private:
  Tprogram_association_section_fields section_;
};

}  // namespace tessaro
