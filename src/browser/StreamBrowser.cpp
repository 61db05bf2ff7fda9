#include "browser/StreamBrowser.h"

#include <algorithm>

#include "core/Diagnostics.h"
#include "core/StreamType.h"
#include "decode/PacketTree.h"

namespace tessaro {

const std::vector<TFindNextCommand>& FindNextCommands() {
  static const std::vector<TFindNextCommand> commands{
      {TSearchKind::PAT, "pat", "Find Next PAT"},
      {TSearchKind::PMT, "pmt", "Find Next PMT"},
      {TSearchKind::CAT, "cat", "Find Next CAT"},
      {TSearchKind::PayloadStart, "payload-start", "Find Next Payload Start"},
      {TSearchKind::PCR, "pcr", "Find Next PCR"},
      {TSearchKind::NIT, "nit", "Find Next NIT"},
      {TSearchKind::SDT, "sdt", "Find Next SDT"},
      {TSearchKind::EIT, "eit", "Find Next EIT"},
      {TSearchKind::TDT, "tdt", "Find Next TDT"},
      {TSearchKind::BAT, "bat", "Find Next BAT"},
      {TSearchKind::RST, "rst", "Find Next RST"},
      {TSearchKind::TOT, "tot", "Find Next TOT"},
  };
  return commands;
}

TStreamBrowser::TStreamBrowser() : FBuffer(kBufferSize), FRows(kMaxRows) {}

TStreamBrowser::~TStreamBrowser() = default;

// ---- Opening and closing -------------------------------------------------

void TStreamBrowser::ClearViews() {
  FSeen.Clear();
  FTree.Clear();
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
  if (!FFileStream) return false;
  SearchLastPATAndPMT(offset);
  const int64_t n = FFileStream->ReadAt(offset, FBuffer.data(), int64_t{FPacketSize} * kPageSlots);
  int32_t size = 0;
  int32_t start = 0;
  if (!GetTSStreamType(FBuffer.data(), n, size, start)) return false;
  FillRows(offset, n, FPacketSize);
  return true;
}

int TStreamBrowser::LoadRowsFrom(int64_t offset) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  FVisibleRows = visibleRows_;
  if (!FFileStream) return 0;
  const int64_t n = FFileStream->ReadAt(offset, FBuffer.data(), int64_t{FPacketSize} * kPageSlots);
  return FillRows(offset, n, kTSPacketSize);
}

int TStreamBrowser::FillRows(int64_t offset, int64_t byteCount, int32_t packetBytes) {
  const int rowLimit = std::clamp(FVisibleRows, 1, kMaxRows);
  FRowCount = 0;
  int64_t i = 0;
  while (i <= byteCount - packetBytes) {
    if (FBuffer[static_cast<size_t>(i)] == 0x47) {
      ParseTSPacket(FRowCount, FBuffer.data() + i, byteCount - i, offset + i);
      if (++FRowCount >= rowLimit) break;
      i += FPacketSize;
    } else {
      ++i;  // re-synchronise on the next 0x47
    }
  }
  return FRowCount;
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
    r.PSIKind = PSIKindOf(r.Header.PID, offset);
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
  FPATParser.ParseData(packet, FPacketSize, offset, FFileStream.get());
  for (int32_t i = 0; i < FPATParser.EntryCount(); ++i) CheckAddSeenProgram(FPATParser.program_number[i]);
}

int32_t TStreamBrowser::PSIKindOf(int32_t pid, int64_t offset) {
  auto tableKind = [&](bool (*accepted)(int32_t)) {
    int32_t tableId = 0;
    if (!FFileStream || !FBigPSIParser.GetTableID(*FFileStream, tableId, offset, FPacketSize)) return kPSIKindNone;
    return accepted(tableId) ? tableId : kPSIKindNone;
  };
  switch (pid) {
    case 0x0000: return 0;
    case 0x0001: return 1;
    case 0x0002: return 3;
    case 0x0010: return tableKind([](int32_t t) { return t == 0x40 || t == 0x41 || t == 0x72; });
    case 0x0011: return tableKind([](int32_t t) { return t == 0x42 || t == 0x46 || t == 0x4A || t == 0x72; });
    case 0x0012: return tableKind([](int32_t t) { return (t >= 0x4E && t <= 0x6F) || t == 0x72; });
    case 0x0013: return tableKind([](int32_t t) { return t == 0x71 || t == 0x72; });
    case 0x0014: return tableKind([](int32_t t) { return t == 0x70 || t == 0x72 || t == 0x73; });
    case 0x001E: return 0x7E;
    case 0x001F: return 0x7F;
    default: return IsPMT(pid) ? kPSIKindPMT : kPSIKindNone;
  }
}

std::string TStreamBrowser::RowText(int row, TColumn column) const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (row < 0 || row >= FRowCount || row >= FVisibleRows) return {};
  return ColumnText(FRows[static_cast<size_t>(row)], column);
}

// ---- Decode tree ---------------------------------------------------------------

TSectionDecoder* TStreamBrowser::ChooseSectionDecoder(int32_t pid, int32_t kind) {
  if (pid == 0x0000) return &FPATParser;
  if (pid == 0x0001) return &FCATParser;
  if (IsPMT(pid)) return &FPMTParser;
  if (IsNIT(pid)) return &FNITParser;
  // A NIT on PID 0x0010 that the PAT does not announce (no program 0) is
  // still a NIT: its row says so, and its tree should show the section.
  if (kind == 0x40 || kind == 0x41) return &FNITParser;
  // The other DVB SI tables by the table_id the packet list recorded, whatever the PID.
  if (kind == 0x4A) return &FBATParser;
  if (kind == 0x42 || kind == 0x46) return &FSDTParser;
  if (kind >= 0x4E && kind <= 0x6F) return &FEITParser;
  if (kind == 0x70) return &FTDTParser;
  if (kind == 0x73) return &FTOTParser;
  if (kind == 0x71) return &FRSTParser;
  if (kind == 0x72) return &FSTParser;
  if (kind == 0x7E) return &FDITParser;
  if (kind == 0x7F) return &FSITParser;
  return nullptr;
}

void TStreamBrowser::RefreshTSPacket(int64_t offset) {
  std::array<uint8_t, 212> packet{};
  if (!FFileStream || FPacketSize > static_cast<int32_t>(packet.size()) ||
      FFileStream->ReadAt(offset, packet.data(), FPacketSize) < FPacketSize) {
    DebugOutput("zrk: Error in TForm1.RefreshTSPacket - can not read packet.");
    return;
  }
  FTree.Clear();
  GuardedVoid("TForm1.RefreshTSPacket", [&] {
    // A slot that does not start a packet has no header to show.
    if (FPacketParser.ParseData(packet.data(), kTSPacketSize) != S_OK) return;
    const TTSHeader header = FPacketParser.Header;
    const uint8_t* payload = FPacketParser.Payload;
    const int32_t payloadLength = FPacketParser.PayloadLength;
    CheckAddSeenPID(static_cast<uint16_t>(header.PID));
    if (header.PID == 0x0000) {
      FPATParser.ParseData(packet.data(), FPacketSize, offset, FFileStream.get());
      for (int32_t i = 0; i < FPATParser.EntryCount(); ++i) CheckAddSeenProgram(FPATParser.program_number[i]);
    }
    TTreeNode& root = FTree.Add("Packet");
    AddTransportHeaderNodes(root, header);
    if (header.HasAdaptationField()) AddAdaptationFieldNodes(root, header);

    int32_t kind = kPSIKindNone;
    for (int32_t i = 0; i < FRowCount; ++i)
      if (FRows[static_cast<size_t>(i)].Offset == offset) kind = FRows[static_cast<size_t>(i)].PSIKind;

    if (header.payload_unit_start_indicator == 1) {
      if (TSectionDecoder* decoder = ChooseSectionDecoder(header.PID, kind)) {
        decoder->ParseData(packet.data(), FPacketSize, offset, FFileStream.get());
        decoder->UpdateTreeViewNode(root);
      }
    }
    if (kind < 0 && header.payload_unit_start_indicator == 1) {
      // A fresh record that holds nothing until ParsePES reads from the
      // payload: a packet without payload shows neither an older header nor
      // one made of zeros.
      FSelectedPES = TPESPacketHeader{};
      FSelectedPES.truncated_at = TPESField::packet_start_code_prefix;
      ParsePES(payload, payloadLength, FSelectedPES);
      UpdatePESTreeView(root.Add("Payload").Add("PES"), FSelectedPES);
    }
  });
}

// ---- Searching ---------------------------------------------------------------

template <class Hit>
bool TStreamBrowser::ScanForward(int64_t start, int64_t& found, Hit&& hit) {
  if (!FFileStream || start < 0) return false;
  const int64_t ps = FPacketSize;
  int64_t position = start;
  for (;;) {
    const int64_t chunk = position;
    const int64_t read = FFileStream->ReadAt(chunk, FBuffer.data(), ps * kSearchChunkSlots);
    int64_t n = read;
    if (n <= ps) return false;
    const uint8_t* b = FBuffer.data();
    int64_t i = 0;
    // Synchronise once per chunk: a sync byte with another one a slot later.
    while (n >= ps && !(b[i] == 0x47 && (n <= ps || b[i + ps] == 0x47))) {
      ++i;
      --n;
    }
    for (; n >= ps; i += ps, n -= ps) {
      if (hit(b + i)) {
        found = chunk + i;
        return true;
      }
    }
    // Read the packet cut by the chunk end again with the next chunk.
    position = chunk + read - ps;
  }
}

// The hit conditions test the header bytes exactly as the header parser
// would read them, without a full parse per packet.
namespace {

int32_t PacketPID(const uint8_t* p) { return ((p[1] & 0x1F) << 8) | p[2]; }
bool PacketStartsUnit(const uint8_t* p) { return p[0] == 0x47 && (p[1] & 0x40) != 0; }
bool PacketHasPCR(const uint8_t* p) { return p[0] == 0x47 && (p[3] & 0x20) != 0 && p[4] > 0 && (p[5] & 0x10) != 0; }

}  // namespace

bool TStreamBrowser::SearchPIDFromPos(uint16_t pid, int64_t start, int64_t& found) {
  return Guarded("TForm1.SearchPIDFromPos", false, [&] {
    return ScanForward(start, found, [pid](const uint8_t* p) { return p[0] == 0x47 && PacketPID(p) == pid; });
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
    return ScanForward(start, found, [this](const uint8_t* p) { return PacketStartsUnit(p) && IsPMT(PacketPID(p)); });
  });
}

void TStreamBrowser::ShowHit(int64_t offset) {
  FTopOffset = offset;
  RefreshPosition(offset);
  if (FPacketSize > 0) FScrollPosition = offset / FPacketSize;
}

int64_t TStreamBrowser::SelectedStart(int64_t selectedOffset, bool nextSlot) const {
  return nextSlot ? selectedOffset + FPacketSize : selectedOffset;
}

TSearchOutcome TStreamBrowser::Outcome(bool hit, int64_t offset) {
  if (!hit) return {false, -1, "Not found"};
  ShowHit(offset);
  return {true, offset, {}};
}

TSearchOutcome TStreamBrowser::FindPID(uint16_t pid, int64_t selectedOffset) {
  if (!IsLoaded() || FRowCount == 0) return {false, -1, "No file loaded."};
  FLastSearchPID = pid;
  int64_t found = -1;
  const bool hit = SearchPIDFromPos(pid, SelectedStart(selectedOffset, false), found);
  return Outcome(hit, found);
}

TSearchOutcome TStreamBrowser::SearchAgain(int64_t selectedOffset) {
  if (!IsLoaded()) return {false, -1, "No file loaded."};
  int64_t found = -1;
  const bool hit = SearchPIDFromPos(FLastSearchPID, SelectedStart(selectedOffset, true), found);
  return Outcome(hit, found);
}

bool TStreamBrowser::FindSection(uint16_t pid, bool (*tableMatches)(int32_t), int64_t start, int64_t& found) {
  while (SearchPIDFromPos(pid, start, found)) {
    int32_t tableId = 0;
    if (FBigPSIParser.GetTableID(*FFileStream, tableId, found, FPacketSize) && tableMatches(tableId)) return true;
    start = found + FPacketSize;
  }
  return false;
}

TSearchOutcome TStreamBrowser::FindNext(TSearchKind kind, int64_t selectedOffset) {
  if (!IsLoaded()) return {false, -1, "No file loaded."};
  const int64_t start = SelectedStart(selectedOffset, true);
  TSearchOutcome outcome;
  auto byPID = [&](uint16_t pid) { return SearchPIDFromPos(pid, start, outcome.offset); };
  auto bySection = [&](uint16_t pid, bool (*matches)(int32_t)) {
    return FindSection(pid, matches, start, outcome.offset);
  };
  bool hit = false;
  switch (kind) {
    case TSearchKind::PAT: hit = byPID(0x0000); break;
    case TSearchKind::CAT: hit = byPID(0x0001); break;
    case TSearchKind::PayloadStart: hit = SearchPayloadStartFromPos(start, outcome.offset); break;
    case TSearchKind::PCR: hit = SearchPCRFromPos(start, outcome.offset); break;
    case TSearchKind::PMT: hit = SearchPMTFromPos(start, outcome.offset); break;
    case TSearchKind::NIT: hit = bySection(0x0010, [](int32_t t) { return t == 0x40 || t == 0x41; }); break;
    case TSearchKind::SDT: hit = bySection(0x0011, [](int32_t t) { return t == 0x42 || t == 0x46; }); break;
    case TSearchKind::BAT: hit = bySection(0x0011, [](int32_t t) { return t == 0x4A; }); break;
    case TSearchKind::EIT: hit = bySection(0x0012, [](int32_t t) { return t >= 0x4E && t <= 0x6F; }); break;
    case TSearchKind::RST: hit = bySection(0x0013, [](int32_t t) { return t == 0x71; }); break;
    case TSearchKind::TDT: hit = bySection(0x0014, [](int32_t t) { return t == 0x70; }); break;
    case TSearchKind::TOT: hit = bySection(0x0014, [](int32_t t) { return t == 0x73; }); break;
  }
  return Outcome(hit, outcome.offset);
}

// ---- Seen PIDs and programs ------------------------------------------------------

void TStreamBrowser::SearchForSeenPackets() {
  GuardedVoid("TForm1.SearchForSeenPackets", [&] {
    if (!FFileStream) return;
    const int64_t ps = FPacketSize;
    int64_t n = FFileStream->ReadAt(0, FBuffer.data(), std::min<int64_t>(ps * kSeenScanSlots, kBufferSize));
    int64_t i = 0;
    while (n >= ps) {
      while (FBuffer[static_cast<size_t>(i)] != 0x47) {
        ++i;
        if (--n < ps) return;
      }
      if (FPacketParser.ParseData(FBuffer.data() + i, kTSPacketSize) == S_OK) {
        CheckAddSeenPID(static_cast<uint16_t>(FPacketParser.Header.PID));
        if (FPacketParser.Header.PID == 0x0000) DecodePATAt(FBuffer.data() + i, i);
      }
      i += ps;
      n -= ps;
    }
  });
}

bool TStreamBrowser::SearchLastPATAndPMT(int64_t offset) {
  return Guarded("TForm1.SearchLastPATAndPMT", false, [&] {
    if (!FFileStream || offset < 0) return false;
    const int64_t ps = FPacketSize;
    const uint8_t* b = FBuffer.data();
    auto visit = [&](int64_t q, int64_t fileOffset) {
      if (b[q] != 0x47 || FPacketParser.ParseData(b + q, kTSPacketSize) != S_OK) return false;
      CheckAddSeenPID(static_cast<uint16_t>(FPacketParser.Header.PID));
      if (FPacketParser.Header.PID != 0x0000) return false;
      DecodePATAt(b + q, fileOffset);
      return true;
    };

    // Backward phase: up to 200 slots before the page, nearest PAT first.
    const int64_t back = std::max<int64_t>(offset - kNearestPATSlots * ps, 0);
    if (offset - back >= ps) {
      const int64_t n = FFileStream->ReadAt(back, FBuffer.data(), offset - back);
      int64_t q = (offset - back) - ps;
      while (q - ps >= 0 && !(q + kTSPacketSize <= n && b[q] == 0x47 && b[q - ps] == 0x47)) --q;
      if (q - ps >= 0) {
        for (; q >= 0; q -= ps) {
          if (q + kTSPacketSize <= n && visit(q, back + q)) return true;
        }
      }
    }

    // Forward phase: the first PAT within 37600 bytes from the page.
    const int64_t m = std::min<int64_t>(FileSize() - offset, kNearestPATSlots * int64_t{kTSPacketSize});
    if (m <= 0) return false;
    const int64_t n = FFileStream->ReadAt(offset, FBuffer.data(), m);
    int64_t q = 0;
    while (q + ps < n && !(b[q] == 0x47 && b[q + ps] == 0x47)) ++q;
    for (; q + kTSPacketSize < n && b[q] == 0x47; q += ps) {
      if (visit(q, offset + q)) return true;
    }
    return false;
  });
}

}  // namespace tessaro
