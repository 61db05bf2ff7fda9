// TStreamBrowser: the open stream and every routine of the main window that
// does not draw: opening and closing, page loading and row texts, the Search
// menu, the seen lists and the nearest-PAT bookkeeping. The window forwards to
// it; the command line and the tests drive it directly.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "browser/PacketRow.h"
#include "browser/SeenLists.h"
#include "core/FileStream.h"
#include "core/PacketChain.h"
#include "core/PacketParser.h"
#include "core/TreeNode.h"
#include "decode/DVBParsers.h"
#include "decode/PATParser.h"
#include "decode/PES.h"
#include "decode/PSIParsers.h"

namespace tessaro {

// The Find Next commands of the Search menu.
enum class TSearchKind { PAT, PMT, CAT, NIT, SDT, EIT, TDT, BAT, RST, TOT, PayloadStart, PCR };

struct TFindNextCommand {
  TSearchKind kind;
  const char* name;  // the command line's KIND word
  const char* menuText;
};
const std::vector<TFindNextCommand>& FindNextCommands();

// Outcome of a Search menu command: the hit, or the message the user sees.
struct TSearchOutcome {
  bool found = false;
  int64_t offset = -1;
  std::string message;  // "No file loaded." or "Not found" when not found
};

class TStreamBrowser {
 public:
  static constexpr int kPageSlots = 100;
  static constexpr int kMaxRows = 256;
  static constexpr int kBufferSize = 2097152;
  static constexpr int kSearchChunkSlots = 1024;
  static constexpr int kSeenScanSlots = 10000;
  static constexpr int kNearestPATSlots = 200;

  TStreamBrowser();
  ~TStreamBrowser();
  TStreamBrowser(const TStreamBrowser&) = delete;
  TStreamBrowser& operator=(const TStreamBrowser&) = delete;

  // Opening and closing. A file that cannot be written opens read-only.
  bool LoadFile(const std::string& fileName);
  bool UnloadFile();
  bool IsLoaded() const { return !FFileName.empty(); }
  bool IsReadOnly() const { return FFileStream && !FFileStream->IsWritable(); }
  std::string Caption() const;
  int64_t FileSize() const;
  const TFileStream* Stream() const { return FFileStream.get(); }

  // Paging. The window tells how many rows its list can show.
  void SetVisibleRows(int rows) { visibleRows_ = rows; }
  // Loads the page at offset; false when no stream is open or the bytes there
  // hold no packet pattern (the rows then stay as they were).
  bool RefreshPosition(int64_t offset);
  // Fills the rows from the packets at offset without asking for a packet
  // pattern first, and takes a last packet whose slot is cut short as long as
  // its 188 bytes are there (the end of a file); returns the row count.
  int LoadRowsFrom(int64_t offset);
  bool ParseTSPacket(int row, const uint8_t* packet, int64_t available, int64_t offset);
  int RowCount() const { return FRowCount; }
  const TPacketRow& Row(int index) const { return FRows[static_cast<size_t>(index)]; }
  // The owner-data texts of a row (empty beyond the rows or FVisibleRows).
  std::string RowText(int row, TColumn column) const;
  // Number of positions of the navigation scroll bar (file size div slot size).
  int64_t SlotCount() const;

  // Forward scans; true with the hit offset in found.
  bool SearchPIDFromPos(uint16_t pid, int64_t start, int64_t& found);
  bool SearchPayloadStartFromPos(int64_t start, int64_t& found);
  bool SearchPCRFromPos(int64_t start, int64_t& found);
  bool SearchPMTFromPos(int64_t start, int64_t& found);
  bool IsPMT(int32_t pid) const { return FPATParser.IsPMT(pid); }
  bool IsNIT(int32_t pid) const { return FPATParser.IsNIT(pid); }

  // Search menu commands run with the row at selectedOffset selected; a hit
  // becomes the first row of a new page.
  TSearchOutcome FindPID(uint16_t pid, int64_t selectedOffset);
  TSearchOutcome SearchAgain(int64_t selectedOffset);
  TSearchOutcome FindNext(TSearchKind kind, int64_t selectedOffset);
  void ShowHit(int64_t offset);

  // Seen PIDs and programs.
  void CheckAddSeenPID(uint16_t pid) { FSeen.CheckAddSeenPID(pid); }
  void CheckAddSeenProgram(int32_t programNumber) { FSeen.CheckAddSeenProgram(programNumber); }
  void SearchForSeenPackets();
  bool SearchLastPATAndPMT(int64_t offset);
  const TSeenLists& Seen() const { return FSeen; }

  // The decode tree of the packet at offset (a top-level "Packet" node under
  // Tree()); a packet that cannot be read leaves the tree as it was.
  void RefreshTSPacket(int64_t offset);
  const TTreeNode& Tree() const { return FTree; }

  // Open-stream state, named as the window names it.
  std::string FFileName;
  std::unique_ptr<TFileStream> FFileStream;
  int32_t FPacketSize = 188;
  int32_t FStartOffset = 0;
  int32_t FVisibleRows = 0;
  int32_t FRowCount = 0;
  int64_t FTopOffset = 0;
  int64_t FScrollPosition = 0;  // where the navigation scroll bar stands
  uint16_t FLastSearchPID = 0;

  TMPEGTSBasePacketParser FPacketParser;
  TMPEGTSPATPacketParserEx FPATParser;
  TMPEGTSCATPacketParserEx FCATParser;
  TMPEGTSPMTPacketParserEx FPMTParser;
  TMPEGTSNITPacketParserEx FNITParser;
  TMPEGTSBATPacketParserEx FBATParser;
  TMPEGTSSDTPacketParserEx FSDTParser;
  TMPEGTSEITPacketParserEx FEITParser;
  TMPEGTSTDTPacketParserEx FTDTParser;
  TMPEGTSTOTPacketParserEx FTOTParser;
  TMPEGTSRSTPacketParserEx FRSTParser;
  TMPEGTSSTPacketParserEx FSTParser;
  TMPEGTSDITPacketParserEx FDITParser;
  TMPEGTSSITPacketParserEx FSITParser;
  TBigPSIParser FBigPSIParser;
  TPESPacketHeader FSelectedPES;

 private:
  template <class Hit>
  bool ScanForward(int64_t start, int64_t& found, Hit&& hit);
  // The hit shown as a new page, or "Not found".
  TSearchOutcome Outcome(bool hit, int64_t offset);
  bool FindSection(uint16_t pid, bool (*tableMatches)(int32_t), int64_t start, int64_t& found);
  // Rows from FBuffer; a row needs packetBytes from its sync byte.
  int FillRows(int64_t offset, int64_t byteCount, int32_t packetBytes);
  int32_t PSIKindOf(int32_t pid, int64_t offset);
  void DecodePATAt(const uint8_t* packet, int64_t offset);
  TSectionDecoder* ChooseSectionDecoder(int32_t pid, int32_t kind);
  void ClearViews();
  int64_t SelectedStart(int64_t selectedOffset, bool nextSlot) const;

  int visibleRows_ = kPageSlots;
  std::vector<uint8_t> FBuffer;
  std::vector<TPacketRow> FRows;
  mutable std::recursive_mutex FLock;
  TSeenLists FSeen;
  TTreeNode FTree;
};

}  // namespace tessaro
