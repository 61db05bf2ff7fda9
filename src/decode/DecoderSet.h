// The thirteen section decoders the window keeps, one long-lived instance of
// each. The PAT decoder's program table is the current PAT: it decides which
// PIDs carry PMTs and which one the NIT.
#pragma once

#include "decode/DVBParsers.h"
#include "decode/PATParser.h"
#include "decode/PSIParsers.h"
#include "decode/TableRegistry.h"

namespace tessaro {

struct TSectionDecoders {
  TMPEGTSPATPacketParserEx PAT;
  TMPEGTSCATPacketParserEx CAT;
  TMPEGTSPMTPacketParserEx PMT;
  TMPEGTSNITPacketParserEx NIT;
  TMPEGTSBATPacketParserEx BAT;
  TMPEGTSSDTPacketParserEx SDT;
  TMPEGTSEITPacketParserEx EIT;
  TMPEGTSTDTPacketParserEx TDT;
  TMPEGTSTOTPacketParserEx TOT;
  TMPEGTSRSTPacketParserEx RST;
  TMPEGTSSTPacketParserEx ST;
  TMPEGTSDITPacketParserEx DIT;
  TMPEGTSSITPacketParserEx SIT;

  // The decoder of a table, or null for a table nothing decodes.
  TSectionDecoder* For(const TTableEntry& table) { return table.decoder != nullptr ? table.decoder(*this) : nullptr; }
};

}  // namespace tessaro
