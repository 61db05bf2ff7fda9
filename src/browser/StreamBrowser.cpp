#include "browser/StreamBrowser.h"

#include <algorithm>

#include "core/Diagnostics.h"
#include "core/PacketHeaderView.h"
#include "core/PacketSizeProbe.h"
#include "decode/PacketTree.h"

namespace tessaro {

// Searches read 1 MiB at a time, as dd bs=1M does: enough to stream from the
// page cache at full speed, and a small constant memory.
TStreamBrowser::TStreamBrowser()
    : FScanner(kSearchBlock), FBuffer(std::make_unique_for_overwrite<uint8_t[]>(kBufferSize)), FRows(kMaxRows) {}

TStreamBrowser::~TStreamBrowser() = default;

// ---- Opening and closing -------------------------------------------------

void TStreamBrowser::ClearViews() {
  FSeen.Clear();
  FTree.Clear();
  FTreeOffset = -1;
}

std::string TStreamBrowser::Caption() const {
  std::string caption = "Tessaro ";
  if (!FFileName.empty()) caption += "(" + FFileName + ")";
  return caption;
}

int64_t TStreamBrowser::FileSize() const { return FFileStream ? std::max<int64_t>(FFileStream->Size(), 0) : 0; }

int64_t TStreamBrowser::SlotCount() const { return FPacketSize > 0 ? FileSize() / FPacketSize : 0; }

bool TStreamBrowser::LoadFile(const std::string& fileName) {
  auto fail = [this] {
    FFileName.clear();
    FFileStream.reset();
    FRowCount = 0;
    RefreshPosition(0);
    ClearViews();
    return false;
  };
  try {
    ClearViews();
    FFileName = fileName;
    FFileStream.reset();
    FScrollPosition = 0;
    FFileStream = TFileStream::Open(fileName, TFileStream::Mode::ReadWrite);
    // A file we may read but not write is still shown; writing commands refuse it.
    if (!FFileStream) FFileStream = TFileStream::Open(fileName, TFileStream::Mode::Read);
    int32_t packetSize = 0;
    int32_t startOffset = 0;
    if (!FFileStream || !IsTS(fileName, packetSize, startOffset)) return fail();
    FPacketSize = packetSize;
    FStartOffset = startOffset;
    FTopOffset = FStartOffset;
    RefreshPosition(FTopOffset);
    SearchForSeenPackets();
    if (FRowCount > 0) RefreshTSPacket(FRows[0].Offset);
    return true;
  } catch (...) {
    ReportRoutineFailure("TForm1.LoadFile");
    return fail();
  }
}

bool TStreamBrowser::UnloadFile() {
  FFileName.clear();
  FFileStream.reset();
  FRowCount = 0;
  RefreshPosition(0);
  ClearViews();
  return true;
}

// ---- Paging ------------------------------------------------------------------

bool TStreamBrowser::RefreshPosition(int64_t offset) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  FVisibleRows = visibleRows_;
  FPageKept = false;
  if (!FFileStream) return false;
  FTopOffset = offset;
  SearchLastPATAndPMT(offset);
  const int64_t n = FFileStream->ReadAt(offset, FBuffer.get(), int64_t{FPacketSize} * kPageSlots);
  int32_t size = 0;
  int32_t start = 0;
  if (!GetTSStreamType(FBuffer.get(), n, size, start)) {
    FPageKept = true;
    return false;
  }
  FillRows(offset, n, FPacketSize);
  return true;
}

int TStreamBrowser::LoadRowsFrom(int64_t offset) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  FVisibleRows = visibleRows_;
  FPageKept = false;
  if (!FFileStream) return 0;
  FTopOffset = offset;
  const int64_t n = FFileStream->ReadAt(offset, FBuffer.get(), int64_t{FPacketSize} * kPageSlots);
  return FillRows(offset, n, kTSPacketSize);
}

bool TStreamBrowser::SelectPacket(int64_t offset) {
  // The last packets of a file are too few for a page of their own.
  if (!RefreshPosition(offset)) LoadRowsFrom(offset);
  bool isRow = false;
  for (int row = 0; row < FRowCount && !isRow; ++row) isRow = FRows[static_cast<size_t>(row)].Offset == offset;
  if (isRow) RefreshTSPacket(offset);
  return isRow;
}

void TStreamBrowser::WalkPages(const std::function<bool()>& page, int64_t offset) {
  if (!FFileStream) return;
  visibleRows_ = kPageSlots;
  const int64_t size = FileSize();
  for (int64_t position = offset < 0 ? FStartOffset : offset; position < size;) {
    if (!RefreshPosition(position) && LoadRowsFrom(position) == 0) {
      position += int64_t{FPacketSize} * kPageSlots;
      continue;
    }
    if (FRowCount == 0 || !page()) return;
    position = FRows[static_cast<size_t>(FRowCount - 1)].Offset + FPacketSize;
  }
}

int TStreamBrowser::FillRows(int64_t offset, int64_t byteCount, int32_t packetBytes) {
  const int rowLimit = std::clamp(FVisibleRows, 1, kMaxRows);
  FRowCount = 0;
  int64_t i = 0;
  while (i <= byteCount - packetBytes) {
    if (FBuffer[static_cast<size_t>(i)] == 0x47) {
      ParseTSPacket(FRowCount, FBuffer.get() + i, byteCount - i, offset + i);
      if (++FRowCount >= rowLimit) break;
      i += FPacketSize;
    } else {
      ++i;  // re-synchronise on the next 0x47
    }
  }
  return FRowCount;
}

bool TStreamBrowser::KeyPaging(TPagingKey key, int selectedRow) {
  if (!FFileStream) return false;
  const int64_t ps = FPacketSize;
  const int64_t pageStep = std::max(FVisibleRows, 1);
  // The page at the navigation scroll bar's position, not synchronised.
  auto pageJump = [&](int64_t position) {
    FScrollPosition = std::clamp<int64_t>(position, 0, ScrollMaximum());
    RefreshPosition(FScrollPosition * ps);
    return true;
  };
  switch (key) {
    case TPagingKey::Up:
      if (selectedRow != 0) return false;
      RefreshPosition(std::max<int64_t>(FTopOffset - ps, 0));
      FScrollPosition = FTopOffset / ps;
      return true;
    case TPagingKey::Down:
      if (selectedRow != FRowCount - 1 || FRowCount != FVisibleRows) return false;
      RefreshPosition(std::min(FTopOffset + ps, FileSize() - ps));
      FScrollPosition = FTopOffset / ps;
      return true;
    case TPagingKey::PageUp:
      return pageJump(FScrollPosition - pageStep);
    case TPagingKey::PageDown:
      return pageJump(FScrollPosition + pageStep);
    case TPagingKey::Home:
      return pageJump(0);
    case TPagingKey::End:
      // The last slots, with the last row near the bottom of the list.
      FScrollPosition = ScrollMaximum();
      RefreshPosition(std::max<int64_t>(FScrollPosition * ps - (FVisibleRows - 2) * ps, 0));
      return true;
  }
  return false;
}

void TStreamBrowser::ScrollPaging(int64_t position) {
  if (!FFileStream) return;
  FScrollPosition = std::clamp<int64_t>(position, 0, ScrollMaximum());
  const int64_t ps = FPacketSize;
  // The bar's last position shows the last three slots.
  RefreshPosition(std::max<int64_t>(std::min(FScrollPosition * ps + FStartOffset, FileSize() - 3 * ps), 0));
}

TStreamBrowser::TWheelStep TStreamBrowser::WheelStep(int selectedRow, int shownRows, bool up) const {
  const int last = std::max(shownRows - 1, 0);
  return {up ? std::max(selectedRow - 1, 0) : std::min(selectedRow + 1, last),
          up ? selectedRow == 0 : selectedRow == last};
}

bool TStreamBrowser::ParseTSPacket(int row, const uint8_t* packet, int64_t available, int64_t offset) {
  return Guarded("TForm1.ParseTSPacket", false, [&] {
    if (available < kTSPacketSize || row < 0 || row >= kMaxRows) return false;
    TPacketRow& r = FRows[static_cast<size_t>(row)];
    r.Offset = offset;
    if (FPacketParser.ParseData(packet, kTSPacketSize) != S_OK) return false;
    const TTSHeader& h = FPacketParser.Header;
    CheckAddSeenPID(static_cast<uint16_t>(h.PID));
    if (h.PID == 0x0000) DecodePATAt(packet, offset);
    r.Header = FPacketParser.Header;
    r.PSIKind = PSIKindOf(r.Header.PID, offset, FFileStream.get(), FPacketSize, FDecoders.PAT, FBigPSIParser);
    // A fresh record that holds nothing until ParsePES reads it: a row never
    // shows the PES header of the row that stood here on an older page.
    r.PES = TPESPacketHeader{};
    r.PES.truncated_at = TPESField::packet_start_code_prefix;
    if (r.PSIKind < 0 && r.Header.payload_unit_start_indicator == 1 && FPacketParser.PayloadLength > 0)
      ParsePES(FPacketParser.Payload, FPacketParser.PayloadLength, r.PES);
    return true;
  });
}

void TStreamBrowser::DecodePATAt(const uint8_t* packet, int64_t offset) {
  TMPEGTSPATPacketParserEx& pat = FDecoders.PAT;
  pat.ParseData(packet, FPacketSize, offset, FFileStream.get());
  for (int32_t i = 0; i < pat.EntryCount(); ++i) CheckAddSeenProgram(pat.program_number[i]);
}

std::string TStreamBrowser::RowText(int row, TColumn column) const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (row < 0 || row >= FRowCount || row >= FVisibleRows) return {};
  return ColumnText(FRows[static_cast<size_t>(row)], column);
}

// ---- Decode tree ---------------------------------------------------------------

void TStreamBrowser::RefreshTSPacket(int64_t offset) {
  constexpr const char* kUnread = "zrk: Error in TForm1.RefreshTSPacket - can not read packet.";
  if (!FFileStream) {
    DebugOutput(kUnread);
    return;
  }
  GuardedVoid("TForm1.RefreshTSPacket", [&] {
    const TPacketDecode decoded = FPacketDecoder.Decode(*FFileStream, FPacketSize, offset, FTree);
    if (decoded == TPacketDecode::Unread) DebugOutput(kUnread);
    if (decoded != TPacketDecode::Decoded) return;
    FTreeOffset = offset;
    const int32_t pid = FPacketDecoder.Header().PID;
    CheckAddSeenPID(static_cast<uint16_t>(pid));
    if (pid == 0x0000) {
      const TMPEGTSPATPacketParserEx& pat = FDecoders.PAT;
      for (int32_t i = 0; i < pat.EntryCount(); ++i) CheckAddSeenProgram(pat.program_number[i]);
    }
  });
}

void TStreamBrowser::SetDecodedValues(bool shown) {
  if (shown == FPacketDecoder.DecodedValues()) return;
  FPacketDecoder.SetDecodedValues(shown);
  if (FFileStream && FTreeOffset >= 0 && !FTree.children.empty()) RefreshTSPacket(FTreeOffset);
}

// ---- Reading the whole file ------------------------------------------------------

TScanEnd TStreamBrowser::ReadFile(int64_t chunkSize, const std::function<bool(const uint8_t*, int64_t)>& chunk,
                                  int64_t& bytesRead) {
  bytesRead = 0;
  FScanCancelled = false;
  if (!FFileStream) return TScanEnd::Finished;
  const TScanEnd end = FScanner.Blocks(*FFileStream, 0, chunkSize, [&](const uint8_t* data, int64_t n, int64_t) {
    bytesRead += n;
    return chunk(data, n);
  });
  // Pages the file lost under the map were handed over as zeros: the bytes
  // read end where they begin.
  bytesRead = std::min(bytesRead, FScanner.ReadEnd());
  FScanCancelled = end == TScanEnd::Cancelled;
  return end;
}

// ---- Seen PIDs and programs ------------------------------------------------------

bool TStreamBrowser::SeenPacket(const uint8_t* packet, int64_t offset) {
  if (packet[0] != 0x47 || FPacketParser.ParseData(packet, kTSPacketSize) != S_OK) return false;
  CheckAddSeenPID(static_cast<uint16_t>(FPacketParser.Header.PID));
  if (FPacketParser.Header.PID != 0x0000) return false;
  DecodePATAt(packet, offset);
  return true;
}

void TStreamBrowser::SearchForSeenPackets() {
  GuardedVoid("TForm1.SearchForSeenPackets", [&] {
    if (!FFileStream) return;
    // The first 10000 slots, at most the 2 MiB the window reads at once.
    const int64_t end = std::min<int64_t>(int64_t{FPacketSize} * kSeenScanSlots, kBufferSize);
    FQuietScanner.Scan(*FFileStream, FPacketSize, 0, end, {TSyncRule::ByteResync, FPacketSize},
                       [&](const uint8_t* packet, int64_t at) {
                         SeenPacket(packet, at);
                         return true;
                       });
  });
}

bool TStreamBrowser::SearchLastPATAndPMT(int64_t offset) {
  return Guarded("TForm1.SearchLastPATAndPMT", false, [&] {
    if (!FFileStream || offset < 0) return false;
    const int64_t ps = FPacketSize;
    const uint8_t* b = FBuffer.get();

    // Backward phase: up to 200 slots before the page, nearest PAT first.
    const int64_t back = std::max<int64_t>(offset - kNearestPATSlots * ps, 0);
    if (offset - back >= ps) {
      const int64_t n = FFileStream->ReadAt(back, FBuffer.get(), offset - back);
      int64_t q = (offset - back) - ps;
      while (q - ps >= 0 && !(q + kTSPacketSize <= n && b[q] == 0x47 && b[q - ps] == 0x47)) --q;
      if (q - ps >= 0) {
        for (; q >= 0; q -= ps) {
          if (q + kTSPacketSize <= n && SeenPacket(b + q, back + q)) return true;
        }
      }
    }

    // Forward phase: the first PAT within 37600 bytes from the page.
    const int64_t m = std::min<int64_t>(FileSize() - offset, kNearestPATSlots * int64_t{kTSPacketSize});
    if (m <= 0) return false;
    const TScanEnd end =
        FQuietScanner.Scan(*FFileStream, FPacketSize, offset, offset + m, {TSyncRule::SyncOnceStopAtLoss},
                           [&](const uint8_t* packet, int64_t at) { return !SeenPacket(packet, at); });
    return end == TScanEnd::Stopped;
  });
}

}  // namespace tessaro
