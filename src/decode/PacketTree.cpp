// The transport header and adaptation field nodes, from the field lists the
// parser reads (core/PacketParser.h).
#include "decode/PacketTree.h"

#include "core/TextHelpers.h"

namespace tessaro {

namespace {

TNodeText ClockTime(std::string_view label, const int64_t& base) {
  return TextField(label, SecondsToTimeStr(static_cast<double>(base) / 90000.0)).From(base);
}

}  // namespace

void AddTransportHeaderNodes(TTreeNode& packet, const TTSHeader& h) {
  AddRecordFields(packet, packet_fields::kHeader, h);
}

void AddAdaptationFieldNodes(TTreeNode& packet, const TTSHeader& h) {
  TTreeNode& af = packet.Add("adaptation_field");
  // Parts up to the one the packet ended in; of that one, the fields it held.
  ForEachAdaptationPart(h, [&](TAdaptationPart part, std::span<const TRecordField<TTSHeader>> list) {
    const bool cut = static_cast<int32_t>(part) == h.cut_part;
    TFieldExtent extent;
    if (cut) extent.inData = h.cut_fields;
    AddRecordFields(af, list, h, extent);
    if (cut) return false;
    if (part == TAdaptationPart::PCR) af.Add(ClockTime("program_clock_reference", h.program_clock_reference_base));
    if (part == TAdaptationPart::OPCR)
      af.Add(ClockTime("original_program_clock_reference", h.original_program_clock_reference_base));
    if (part == TAdaptationPart::SeamlessSplice) {
      af.Add(DecField("DTS_next_AU", h.DTS_next_AU, " (33 bits)"));
      af.Add(EmptyField("3 marker bits", h.DTS_next_AU_marker_bits, " (3 bits)"));
    }
    return true;
  });
}

}  // namespace tessaro
