// TStreamBrowser: the open stream and every routine of the main window that
// does not draw: opening and closing, page loading and row texts, the Search
// menu, the seen lists and the nearest-PAT bookkeeping, and the decode tree of
// the selected packet. The window forwards to it; the command line and the
// tests drive it through the same methods.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "browser/PacketRow.h"
#include "browser/SeenLists.h"
#include "browser/StreamSearch.h"
#include "core/FileStream.h"
#include "core/PacketParser.h"
#include "core/PacketScanner.h"
#include "core/TreeNode.h"
#include "decode/DecoderSet.h"
#include "decode/PacketDecoder.h"
#include "decode/TableRegistry.h"

namespace tessaro {

// The keys that page the packet list.
enum class TPagingKey : uint8_t { Up, Down, PageUp, PageDown, Home, End };

class TStreamBrowser {
 public:
  static constexpr int kPageSlots = 100;
  static constexpr int kMaxRows = 256;
  static constexpr int kBufferSize = 2097152;
  static constexpr int kSearchChunkSlots = 1024;
  static constexpr int kSeenScanSlots = 10000;
  static constexpr int kNearestPATSlots = 200;
  static constexpr int64_t kSearchBlock = 1024 * 1024;

  TStreamBrowser();
  ~TStreamBrowser();
  TStreamBrowser(const TStreamBrowser&) = delete;
  TStreamBrowser& operator=(const TStreamBrowser&) = delete;

  // ---- Opening and closing. A file that cannot be written opens read-only.
  bool LoadFile(const std::string& fileName);
  bool UnloadFile();
  bool IsLoaded() const { return !FFileName.empty(); }
  bool IsReadOnly() const { return FFileStream && !FFileStream->IsWritable(); }
  const std::string& FileName() const { return FFileName; }
  std::string Caption() const;
  int64_t FileSize() const;
  const TFileStream* Stream() const { return FFileStream.get(); }
  // The open stream for in-place edits (null when none is open); after a
  // write the caller loads the page again.
  TFileStream* WritableStream() { return FFileStream.get(); }
  int32_t PacketSize() const { return FPacketSize; }
  int32_t StartOffset() const { return FStartOffset; }

  // ---- Paging. The window tells how many rows its list can show.
  void SetVisibleRows(int rows) { visibleRows_ = rows; }
  int32_t VisibleRows() const { return FVisibleRows; }
  // The offset the current page was loaded from.
  int64_t TopOffset() const { return FTopOffset; }
  // Where the navigation scroll bar stands.
  int64_t ScrollPosition() const { return FScrollPosition; }
  void SetScrollPosition(int64_t position) { FScrollPosition = position; }
  // Loads the page at offset, which becomes the top offset; false when no
  // stream is open or the bytes there hold no packet pattern (the rows then
  // stay as they were).
  bool RefreshPosition(int64_t offset);
  // Whether the last page load found no packet pattern and kept the rows of
  // the page before (TopOffset() is where it looked).
  bool PageKept() const { return FPageKept; }
  // Fills the rows from the packets at offset without asking for a packet
  // pattern first, and takes a last packet whose slot is cut short as long as
  // its 188 bytes are there (the end of a file); returns the row count.
  int LoadRowsFrom(int64_t offset);
  // Selects the packet at offset as the list does: the page there is loaded
  // (the last rows of the file when too few bytes remain for a page), so the
  // current PAT is the one that page makes current, then the packet's tree
  // is built. False, with no tree built, when no packet starts at offset.
  bool SelectPacket(int64_t offset);
  // Every page from offset (default: the first packet) to the end of the
  // file, each loaded at the slot after the previous page's last row, with
  // pages of kPageSlots rows. A place where no page loads is passed by a
  // page's worth of slots and the walk goes on, so every packet of the file
  // is visited once, garbage in the middle or not. page() runs after each
  // page is loaded; false from it ends the walk.
  void WalkPages(const std::function<bool()>& page, int64_t offset = -1);
  bool ParseTSPacket(int row, const uint8_t* packet, int64_t available, int64_t offset);
  int RowCount() const { return FRowCount; }
  const TPacketRow& Row(int index) const { return FRows[static_cast<size_t>(index)]; }
  // The owner-data texts of a row (empty beyond the rows or FVisibleRows).
  std::string RowText(int row, TColumn column) const;
  // Number of positions of the navigation scroll bar (file size div slot size).
  int64_t SlotCount() const;

  // Keyboard paging with the row selectedRow selected (the list moves its own
  // selection as usual): Up on the first row and Down on the last one step a
  // slot, the other keys jump by the scroll bar's page step or to an end.
  // True when a page was loaded.
  bool KeyPaging(TPagingKey key, int selectedRow);
  // The navigation scroll bar was moved to position: the page there.
  void ScrollPaging(int64_t position);
  // A wheel step in a list of shownRows rows with selectedRow selected: the
  // row whose packet the tree then shows, and whether the step is at an edge
  // of the list (the key it becomes then pages, and the tree is shown again).
  struct TWheelStep {
    int row = 0;
    bool atEdge = false;
  };
  TWheelStep WheelStep(int selectedRow, int shownRows, bool up) const;
  // The last position of the navigation scroll bar.
  int64_t ScrollMaximum() const { return std::max<int64_t>(SlotCount() - 1, 0); }

  // ---- Forward scans; true with the hit offset in found.
  bool SearchPIDFromPos(uint16_t pid, int64_t start, int64_t& found);
  bool SearchPayloadStartFromPos(int64_t start, int64_t& found);
  bool SearchPCRFromPos(int64_t start, int64_t& found);
  bool SearchPMTFromPos(int64_t start, int64_t& found);
  bool IsPMT(int32_t pid) const { return FDecoders.PAT.IsPMT(pid); }
  bool IsNIT(int32_t pid) const { return FDecoders.PAT.IsNIT(pid); }
  // Progress of the scans (bytes done out of bytes to do) and a flag that
  // cancels them; a cancelled search reports so and changes nothing.
  void SetScanProgress(TPacketScanner::TProgress progress) { FScanner.SetProgress(std::move(progress)); }
  void SetScanCancel(const std::atomic<bool>* cancel) { FScanner.SetCancel(cancel); }
  // Whether the last scan or ReadFile was cancelled.
  bool ScanCancelled() const { return FScanCancelled; }
  // The whole file from offset 0 in reads of chunkSize bytes, with the scans'
  // progress and cancel; false from chunk stops. bytesRead: what was read.
  TScanEnd ReadFile(int64_t chunkSize, const std::function<bool(const uint8_t*, int64_t)>& chunk, int64_t& bytesRead);

  // ---- Search menu commands, run with the row at selectedOffset selected; a
  // hit becomes the first row of a new page.
  // The offset a search runs from with the row selected: the selected row's
  // packet, or the first row's when none is selected.
  int64_t SelectedOffset(int selectedRow) const;
  TSearchOutcome FindPID(uint16_t pid, int64_t selectedOffset);
  TSearchOutcome SearchAgain(int64_t selectedOffset);
  TSearchOutcome FindNext(const TFindNextCommand& command, int64_t selectedOffset);
  void ShowHit(int64_t offset);
  uint16_t LastSearchPID() const { return FLastSearchPID; }

  // ---- Seen PIDs and programs.
  void CheckAddSeenPID(uint16_t pid) { FSeen.CheckAddSeenPID(pid); }
  void CheckAddSeenProgram(int32_t programNumber) { FSeen.CheckAddSeenProgram(programNumber); }
  void SearchForSeenPackets();
  bool SearchLastPATAndPMT(int64_t offset);
  const TSeenLists& Seen() const { return FSeen; }

  // ---- The decode tree of the packet at offset (a top-level "Packet" node
  // under Tree()); a packet that cannot be read leaves the tree as it was.
  void RefreshTSPacket(int64_t offset);
  const TTreeNode& Tree() const { return FTree; }
  // Decoded values beside the raw ones (View > Decoded Values); the tree
  // shown is built again with the new setting.
  void SetDecodedValues(bool shown);
  bool DecodedValues() const { return FPacketDecoder.DecodedValues(); }
  // The header of the packet whose tree was built last.
  const TTSHeader& SelectedHeader() const { return FPacketDecoder.Header(); }
  // The section decoders; the PAT decoder's table is the current PAT.
  const TSectionDecoders& Decoders() const { return FDecoders; }

 private:
  template <class Hit>
  bool ScanForward(int64_t start, int64_t& found, Hit&& hit);
  // The hit shown as a new page, or why there is none.
  TSearchOutcome Outcome(bool hit, int64_t offset);
  bool FindSection(const TTableEntry& table, int64_t start, int64_t& found);
  // Rows from FBuffer; a row needs packetBytes from its sync byte.
  int FillRows(int64_t offset, int64_t byteCount, int32_t packetBytes);
  void DecodePATAt(const uint8_t* packet, int64_t offset);
  // A packet met by the seen-list scans: its PID is seen, and a PAT is
  // decoded (true) with its programs seen.
  bool SeenPacket(const uint8_t* packet, int64_t offset);
  void ClearViews();
  // Where a search starts: the selected packet, or the slot after it.
  int64_t SelectedStart(int64_t selectedOffset, bool nextSlot) const;

  // Open-stream state, named as the window names it.
  std::string FFileName;
  std::unique_ptr<TFileStream> FFileStream;
  int32_t FPacketSize = 188;
  int32_t FStartOffset = 0;
  int32_t FVisibleRows = 0;
  int32_t FRowCount = 0;
  int64_t FTopOffset = 0;
  int64_t FScrollPosition = 0;
  uint16_t FLastSearchPID = 0;
  bool FScanCancelled = false;
  bool FPageKept = false;

  TMPEGTSBasePacketParser FPacketParser;
  TSectionDecoders FDecoders;
  TBigPSIParser FBigPSIParser;
  TPacketDecoder FPacketDecoder{FDecoders};
  TPacketScanner FScanner;       // the Search menu's scans: progress and cancel
  TPacketScanner FQuietScanner;  // the seen-list scans of opening and paging

  int visibleRows_ = kPageSlots;
  // Only the bytes a read put there are looked at: left uninitialised, so
  // that opening a file does not clear 2 MiB it may never use.
  std::unique_ptr<uint8_t[]> FBuffer;
  std::vector<TPacketRow> FRows;
  // Guards the rows against the list asking for texts while a page loads.
  mutable std::recursive_mutex FLock;
  TSeenLists FSeen;
  TTreeNode FTree;
  int64_t FTreeOffset = -1;  // the packet FTree shows, -1 for none
};

}  // namespace tessaro
