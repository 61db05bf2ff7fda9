// The Search menu of the browser: the forward scans (a PID, a payload start,
// a PCR, a program's PMT, a table's section) and the commands built on them,
// run with a row selected; a hit becomes the first row of a new page.
#include "browser/StreamSearch.h"

#include "browser/StreamBrowser.h"
#include "core/Diagnostics.h"
#include "core/PacketHeaderView.h"

namespace tessaro {

const std::vector<TFindNextCommand>& FindNextCommands() {
  using TScan = TFindNextCommand::TScan;
  static const std::vector<TFindNextCommand> commands = [] {
    auto table = [](TTableId id) {
      const TTableEntry& t = Table(id);
      return TFindNextCommand{TScan::Table, &t, t.findWord};
    };
    return std::vector<TFindNextCommand>{
        table(TTableId::PAT),         table(TTableId::PMT),
        table(TTableId::CAT),         {TScan::PayloadStart, nullptr, "payload-start"},
        {TScan::PCR, nullptr, "pcr"}, table(TTableId::NIT),
        table(TTableId::SDT),         table(TTableId::EIT),
        table(TTableId::TDT),         table(TTableId::BAT),
        table(TTableId::RST),         table(TTableId::TOT),
    };
  }();
  return commands;
}

const TFindNextCommand* FindNextCommand(std::string_view word) {
  for (const TFindNextCommand& command : FindNextCommands())
    if (word == command.word) return &command;
  return nullptr;
}

template <class Hit>
bool TStreamBrowser::ScanForward(int64_t start, int64_t& found, Hit&& hit) {
  if (!FFileStream || start < 0) return false;
  // Windows of 1024 slots, synchronised once each at their start.
  const TScanRule rule{TSyncRule::WindowSync, kTSPacketSize, kSearchChunkSlots};
  const TScanEnd end = FScanner.Scan(*FFileStream, FPacketSize, start, TPacketScanner::kToEndOfFile, rule,
                                     [&](const uint8_t* packet, int64_t at) {
                                       if (!hit(packet)) return true;
                                       found = at;
                                       return false;
                                     });
  FScanCancelled = end == TScanEnd::Cancelled;
  // A hit in pages the file lost under the map (read as zeros) is none.
  return end == TScanEnd::Stopped && found + kTSPacketSize <= FScanner.ReadEnd();
}

// The hit conditions test the header bytes exactly as the header parser
// would read them, without a full parse per packet.
namespace {

bool PacketStartsUnit(const uint8_t* p) {
  const TPacketHeaderView header(p);
  return header.Synced() && header.PayloadUnitStart();
}
bool PacketHasPCR(const uint8_t* p) {
  const TPacketHeaderView header(p);
  return header.Synced() && header.HasPCR();
}

}  // namespace

bool TStreamBrowser::SearchPIDFromPos(uint16_t pid, int64_t start, int64_t& found) {
  return Guarded("TForm1.SearchPIDFromPos", false, [&] {
    // The sync byte and the PID in one comparison.
    const uint32_t want = TPacketHeaderView::SyncPID(pid);
    return ScanForward(start, found, [want](const uint8_t* p) {
      return (TPacketHeaderView(p).Word() & TPacketHeaderView::kSyncPIDBits) == want;
    });
  });
}

bool TStreamBrowser::SearchPayloadStartFromPos(int64_t start, int64_t& found) {
  return Guarded("TForm1.SearchPayloadStartFromPos", false,
                 [&] { return ScanForward(start, found, PacketStartsUnit); });
}

bool TStreamBrowser::SearchPCRFromPos(int64_t start, int64_t& found) {
  return Guarded("TForm1.SearchPCRFromPos", false, [&] { return ScanForward(start, found, PacketHasPCR); });
}

bool TStreamBrowser::SearchPMTFromPos(int64_t start, int64_t& found) {
  return Guarded("TForm1.SearchPMTFromPos", false, [&] {
    return ScanForward(start, found,
                       [this](const uint8_t* p) { return PacketStartsUnit(p) && IsPMT(TPacketHeaderView(p).PID()); });
  });
}

void TStreamBrowser::ShowHit(int64_t offset) {
  RefreshPosition(offset);
  if (FPacketSize > 0) FScrollPosition = offset / FPacketSize;
}

int64_t TStreamBrowser::SelectedOffset(int selectedRow) const {
  if (selectedRow >= 0 && selectedRow < FRowCount) return FRows[static_cast<size_t>(selectedRow)].Offset;
  return FRowCount > 0 ? FRows[0].Offset : 0;
}

int64_t TStreamBrowser::SelectedStart(int64_t selectedOffset, bool nextSlot) const {
  return nextSlot ? selectedOffset + FPacketSize : selectedOffset;
}

TSearchOutcome TStreamBrowser::Outcome(bool hit, int64_t offset) {
  if (FScanCancelled) return {false, true, -1, {}};
  if (!hit) return {false, false, -1, "Not found"};
  ShowHit(offset);
  return {true, false, offset, {}};
}

TSearchOutcome TStreamBrowser::FindPID(uint16_t pid, int64_t selectedOffset) {
  if (!IsLoaded() || FRowCount == 0) return {false, false, -1, "No file loaded."};
  FScanCancelled = false;
  FLastSearchPID = pid;
  int64_t found = -1;
  const bool hit = SearchPIDFromPos(pid, SelectedStart(selectedOffset, false), found);
  return Outcome(hit, found);
}

TSearchOutcome TStreamBrowser::SearchAgain(int64_t selectedOffset) {
  if (!IsLoaded()) return {false, false, -1, "No file loaded."};
  FScanCancelled = false;
  int64_t found = -1;
  const bool hit = SearchPIDFromPos(FLastSearchPID, SelectedStart(selectedOffset, true), found);
  return Outcome(hit, found);
}

bool TStreamBrowser::FindSection(const TTableEntry& table, int64_t start, int64_t& found) {
  while (SearchPIDFromPos(table.firstPID, start, found)) {
    int32_t tableId = 0;
    if (FBigPSIParser.GetTableID(*FFileStream, tableId, found, FPacketSize) && table.HasTableId(tableId)) return true;
    start = found + FPacketSize;
  }
  return false;
}

TSearchOutcome TStreamBrowser::FindNext(const TFindNextCommand& command, int64_t selectedOffset) {
  if (!IsLoaded()) return {false, false, -1, "No file loaded."};
  FScanCancelled = false;
  const int64_t start = SelectedStart(selectedOffset, true);
  int64_t found = -1;
  bool hit = false;
  switch (command.scan) {
    case TFindNextCommand::TScan::PayloadStart:
      hit = SearchPayloadStartFromPos(start, found);
      break;
    case TFindNextCommand::TScan::PCR:
      hit = SearchPCRFromPos(start, found);
      break;
    case TFindNextCommand::TScan::Table: {
      // A table that its PID alone tells is found by PID, a PMT through the
      // current PAT, the others by PID and then the table_id of the section.
      const TTableEntry& table = *command.table;
      if (table.kindRule == TKindRule::PID) {
        hit = SearchPIDFromPos(table.firstPID, start, found);
      } else if (table.kindRule == TKindRule::PAT) {
        hit = SearchPMTFromPos(start, found);
      } else {
        hit = FindSection(table, start, found);
      }
      break;
    }
  }
  return Outcome(hit, found);
}

}  // namespace tessaro
