// Decode-tree nodes of the transport packet header and its adaptation field
// (ISO/IEC 13818-1, transport_packet and adaptation_field syntax).
#pragma once

#include "core/PacketParser.h"
#include "core/TreeNode.h"

namespace tessaro {

void AddTransportHeaderNodes(TTreeNode& packet, const TTSHeader& h);
// Adds the "adaptation_field" group with its fields under packet.
void AddAdaptationFieldNodes(TTreeNode& packet, const TTSHeader& h);

}  // namespace tessaro
