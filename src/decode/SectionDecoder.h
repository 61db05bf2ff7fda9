// The shape every PSI/SI section decoder shares: its own header parser, a copy
// of the header of the packet it was given, pointer_field, a 5120-byte section
// buffer, ParseData (gather, then decode) and UpdateTreeViewNode. Its class
// name and PID gate come from the table registry.
#pragma once

#include <cstdint>
#include <string>

#include "core/ByteView.h"
#include "core/FileStream.h"
#include "core/PacketParser.h"
#include "core/SectionGatherer.h"
#include "core/TreeNode.h"
#include "decode/DVBSectionReader.h"
#include "decode/TableRegistry.h"

namespace tessaro {

class TSectionDecoder {
 public:
  explicit TSectionDecoder(TTableId table);
  virtual ~TSectionDecoder() = default;
  TSectionDecoder(const TSectionDecoder&) = delete;
  TSectionDecoder& operator=(const TSectionDecoder&) = delete;

  // Gathers and decodes the section starting in the packet at offset. S_OK,
  // or the header parser's failure code. A section that does not start here,
  // fails the PID gate or cannot be gathered whole is not decoded: the
  // record keeps the previous section's fields, but the tree shows none.
  uint32_t ParseData(const uint8_t* packet, int32_t packetSize, int64_t offset, const TFileStream* stream);
  // Adds "PSI" with pointer_field and, when the last ParseData decoded a
  // section, the table's nodes under parent.
  uint32_t UpdateTreeViewNode(TTreeNode& parent);

  const TTableEntry& Entry() const { return table_; }
  // Whether the last ParseData decoded a section.
  bool Decoded() const { return decoded_; }

  TTSHeader Header;
  uint8_t pointer_field = 0;

 protected:
  virtual void DecodeSection(const TSectionBytes& bytes) = 0;
  // Adds the table's group and its fields under the "PSI" node.
  virtual void AddTableNodes(TTreeNode& psi) = 0;

  // Where the fixed runs of the last section decoded lay.
  TSectionExtents extents_;

 private:
  const TTableEntry& table_;
  std::string className_;
  TMPEGTSBasePacketParser parser_;
  TSectionBuffer sectionBuffer_{};
  bool pointerFieldRead_ = false;
  bool decoded_ = false;
};

}  // namespace tessaro
