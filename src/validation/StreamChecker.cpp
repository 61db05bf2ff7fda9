#include "validation/StreamChecker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <set>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "analysis/PCRTiming.h"
#include "analysis/SectionAssembler.h"
#include "analysis/StreamClock.h"
#include "core/ByteView.h"
#include "core/Crc32.h"
#include "core/FileStream.h"
#include "core/PacketHeaderView.h"
#include "validation/ReportNames.h"
#include "validation/SIDeadlines.h"
#include "validation/SIRules.h"

namespace tessaro {
namespace {

constexpr int32_t kNullPID = 0x1FFF;
constexpr int32_t kNoPID = -1;
// TR 101 290, 5.2.1 (1.1): five sync bytes in a row give sync, two missing lose it.
constexpr int32_t kAcquireSync = 5;
constexpr int32_t kLoseSync = 2;

// The PSI/SI tables a PID carries, for section gathering and CRC checks.
enum TTableRole : uint8_t {
  kRolePAT = 1,
  kRoleCAT = 2,
  kRolePMT = 4,
  kRoleNIT = 8,
  kRoleSDT = 16,  // SDT and BAT
  kRoleEIT = 32,
  kRoleTOT = 64,  // TDT and TOT
  kRoleRST = 128,
};

// Bytes after its first packet that a PID is watched for Unreferenced_PID
// while the stream has no clock yet.
constexpr int64_t kUntimedNaming = int64_t{4} << 20;

// Unreferenced_PID: where a PID stands.
enum TNaming : uint8_t {
  kNamingUnknown = 0,   // not met yet, or named
  kNamingPending = 1,   // met and not named yet: its packets take the full path
  kNamingReported = 2,  // its limit ran out, and that was reported
};

constexpr double kNever = std::numeric_limits<double>::infinity();

// What a PAT_error, PMT_error or PID_error gap is about, with its PID: the
// key of the place where its limit ran out.
enum TAbsence : uint32_t { kAbsentPAT = 0, kAbsentPMT = 1, kAbsentPID = 2 };
uint32_t AbsenceKey(TAbsence what, int32_t pid) { return (what << 16) | static_cast<uint32_t>(pid); }

// The sections of one PID, put together, and the last one whose CRC_32
// held: tables repeat, and the same bytes need no second CRC.
struct TSectionState {
  TSectionAssembler assembler;
  std::vector<uint8_t> verified;
};

// All zero is the state of a PID not met yet.
struct TPIDState {
  uint8_t cc = 0;
  bool ccKnown = false;
  bool duplicated = false;  // the last packet repeated the one before
  // 0x100 and the fourth header byte of a clear payload-only packet that
  // continues the count, when such a packet needs no more than that; 0: any
  // packet of the PID takes the full path.
  uint16_t next = 0;
  // While next is set, the fast path counts in it alone and cc lags: this
  // brings cc up to date (the counter of the last packet with payload).
  void SettleCounter() {
    if (next != 0) cc = static_cast<uint8_t>((next - 1) & 0x0F);
  }
  uint8_t roles = 0;
  bool present = false;
  bool met = false;  // listed in metPIDs_
  bool pcrKnown = false;
  bool ptsKnown = false;
  uint8_t naming = kNamingUnknown;
  bool namedOtherwise = false;  // a PCR_PID, or a CA_PID of a PMT or the CAT
  uint32_t references = 0;      // entries of current PMTs naming the PID
  uint16_t referencedBy = 0;
  int64_t referenceOffset = 0;
  double referenceTime = 0;  // TimeOf(referenceOffset)
  double since = 0;          // last packet, or when a PMT first named it
  int64_t pcr = 0;
  double pcrTime = 0;
  // The PCR before the last one, and whether the last one continued its
  // time base: PCR accuracy needs a PCR's neighbours on both sides.
  bool pcrContinuous = false;
  int64_t pcrOffset = 0;
  int64_t beforePCR = 0;
  int64_t beforeOffset = 0;
  double ptsTime = 0;
  double pmtTime = 0;  // last PMT section, or when the PAT named the PID
  double metTime = 0;  // first packet (Unreferenced_PID)
  int64_t metOffset = 0;
  TSectionState* sections = nullptr;
};

// A zero-filled array whose untouched pages cost nothing: calloc takes large
// blocks straight from the system, and their pages stay unmapped until written.
template <class T>
class TZeroedArray {
  static_assert(std::is_trivially_destructible_v<T>);

 public:
  explicit TZeroedArray(size_t count) : data_(static_cast<T*>(std::calloc(count, sizeof(T)))) {
    if (data_ == nullptr) throw std::bad_alloc();
  }
  ~TZeroedArray() { std::free(data_); }
  TZeroedArray(const TZeroedArray&) = delete;
  TZeroedArray& operator=(const TZeroedArray&) = delete;
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }

 private:
  T* data_;
};

// A PMT of one program on one PID, as last parsed.
struct TProgramStreams {
  uint32_t crc = 0;
  std::vector<uint16_t> pids;
};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

// Upper-case hex digits, zero-padded: findings can come by the thousand.
void AppendHex(std::string& text, uint64_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0x0F];
}

// Decimal digits, zero-padded to at least digits of them.
void AppendDecimal(std::string& text, uint64_t value, int digits) {
  char reversed[24];
  int n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (; n < digits; ++n) reversed[n] = '0';
  while (n > 0) text += reversed[--n];
}

std::string OffsetText(int64_t offset) {
  std::string text = "offset 0x";
  AppendHex(text, static_cast<uint64_t>(offset), 16);
  return text;
}

double Milliseconds(double seconds) { return seconds * 1000.0; }

// Streams whose PES packets have no optional header, so no PTS (ISO/IEC
// 13818-1, Table 2-21: program_stream_map, padding, private_stream_2, ECM,
// EMM, DSMCC, H.222.1 type E, program_stream_directory).
bool HasPESHeader(uint8_t streamId) {
  switch (streamId) {
    case 0xBC:
    case 0xBE:
    case 0xBF:
    case 0xF0:
    case 0xF1:
    case 0xF2:
    case 0xF8:
    case 0xFF:
      return false;
    default:
      return true;
  }
}

}  // namespace

class TStreamChecker::TState {
 public:
  TState(const TCheckSettings& settings, TReport report)
      : settings_(settings), report_(std::move(report)), pids_(kPIDCount), reported_(kPIDCount + 1) {
    SetRoles(0x0000, kRolePAT);
    SetRoles(0x0001, kRoleCAT);
    SetRoles(0x0010, kRoleNIT);
    SetRoles(0x0011, kRoleSDT);
    SetRoles(0x0012, kRoleEIT);
    SetRoles(0x0013, kRoleRST);
    SetRoles(0x0014, kRoleTOT);
  }

  // Every slot the scanner visits while in sync.
  __attribute__((always_inline)) void Slot(const uint8_t* b, int64_t offset) {
    if (offset != nextSlot_) Synchronised(offset);
    nextSlot_ = offset + packetSize_;
    lastOffset_ = offset;
    if (b[0] != 0x47) {
      Finding(TIndicator::Sync_byte_error, kNoPID, offset, [&] { return Format("sync_byte 0x%02X", b[0]); });
      if (++missing_ == kLoseSync) {
        lostAt_ = offset - int64_t{kLoseSync - 1} * packetSize_;
        pending_ = false;
        nextSlot_ = -1;  // whatever comes next is a new synchronisation
        return;
      }
      // In its place, it is a packet whose sync byte was hit, if the next slot
      // shows sync held; otherwise it was not a packet at all.
      std::memcpy(pendingPacket_.data(), b, pendingPacket_.size());
      pendingOffset_ = offset;
      pending_ = true;
      return;
    }
    if (missing_ != 0) {
      missing_ = 0;
      if (pending_) {
        pending_ = false;
        Packet(pendingPacket_.data(), pendingOffset_);
      }
    }
    Packet(b, offset);
  }

  // cancelled: the walk ended before the end of the file; readEnd: where the bytes read end.
  void Finish(bool cancelled, int64_t readEnd, int64_t start) {
    if (lostAt_ >= 0)
      Finding(TIndicator::TS_sync_loss, kNoPID, lostAt_,
              [] { return std::string("sync not regained before the end"); });
    if (!cancelled) EndOfStream();
    Stamp();
    if (!clock_.Running())
      report_(kReportWarning, "No PCR in the stream: PAT, PMT, PID, PTS and SI table intervals were not measured.");
    std::string summary = cancelled ? "Summary (stopped before the end): " : "Summary: ";
    for (int i = 0; i < kIndicatorCount; ++i) {
      const auto indicator = static_cast<TIndicator>(i);
      if (i > 0) summary += ", ";
      summary += IndicatorName(indicator);
      if (settings_.Checks(indicator)) {
        summary += ' ';
        summary += std::to_string(counts_[static_cast<size_t>(i)]);
      } else {
        summary += " off";
      }
    }
    const int64_t end = cancelled && lastOffset_ >= 0 ? lastOffset_ + packetSize_ : readEnd;
    summary +=
        "; " + std::to_string(packets_) + " packets in " + std::to_string(std::max<int64_t>(end - start, 0)) + " bytes";
    if (errorPackets_ > 0)
      summary +=
          "; " + std::to_string(errorPackets_) + " packets with transport_error_indicator set not checked further";
    report_(kReportInfo, summary);
  }

  void ReadShortfall(int64_t read, int64_t size) {
    Stamp();
    report_(kReportError, Format("Validation ended early: only %lld of %lld bytes of the file could be read.",
                                 static_cast<long long>(read), static_cast<long long>(size)));
  }

  void SetPacketSize(int32_t packetSize) { packetSize_ = packetSize; }
  int64_t Count(TIndicator indicator) const { return counts_[static_cast<size_t>(indicator)]; }
  int64_t Packets() const { return packets_; }

 private:
  // ---- Findings ---------------------------------------------------------------

  // Counts a finding and reports it, detail() giving its text, unless too
  // many were; time: the stream time of offset, negative when it has none.
  template <class Detail>
  void Finding(TIndicator indicator, int32_t pid, int64_t offset, Detail&& detail) {
    if (settings_.Checks(indicator)) FindingAt(indicator, pid, offset, kPendingTime, detail);
  }

  template <class Detail>
  void FindingAt(TIndicator indicator, int32_t pid, int64_t offset, double time, Detail&& detail) {
    if (!settings_.Checks(indicator)) return;
    const auto i = static_cast<size_t>(indicator);
    ++counts_[i];
    uint32_t& reported = reported_[pid < 0 ? kPIDCount : static_cast<size_t>(pid)][i];
    const auto perPID = static_cast<uint32_t>(std::max(settings_.findingsPerPID, 0));
    if (reported >= perPID) {
      // The first one past the limit says so; the rest are counted only.
      if (reported == perPID) {
        ++reported;
        Emit(kReportWarning,
             Head(indicator, pid, offset) + ", " + std::to_string(perPID) +
                 " findings reported; further ones are only counted",
             offset, time);
      }
      return;
    }
    if (reportedInRun_ >= settings_.findingsPerRun) {
      if (!runLimitWarned_) {
        runLimitWarned_ = true;
        Emit(kReportWarning,
             Head(indicator, pid, offset) + ", " + std::to_string(reportedInRun_) +
                 " findings reported in this run; further ones of every indicator are only counted",
             offset, time);
      }
      return;
    }
    ++reported;
    ++reportedInRun_;
    std::string message = Head(indicator, pid, offset);
    message += ", ";
    message += detail();
    Emit(kReportError, std::move(message), offset, time);
  }

  // ---- Stream time of findings ---------------------------------------------------

  // The time of a byte at or after the clock's last PCR is known only once
  // the next PCR tells the rate up to it: findings wait for it, so that their
  // times rise with their offsets as the PCRs do, whatever the rate does.
  // Between two PCRs of the clock the time is their interpolation.
  static constexpr double kPendingTime = -2.0;

  void Emit(int32_t type, std::string message, int64_t offset, double time) {
    if (time == kPendingTime && clock_.Running() && offset >= firstPCROffset_ && offset <= clockOffset_)
      time = std::max(clock_.Time(offset), 0.0);
    if (time == kPendingTime && (!clock_.Running() || offset < firstPCROffset_)) time = -1.0;
    if (time == kPendingTime || !waiting_.empty()) {
      waiting_.push_back({type, std::move(message), offset, time});
      return;
    }
    message += TimeText(time);
    report_(type, message);
  }

  // The findings waiting for their time, stamped as the clock now gives it
  // (at the end of the stream, by the last rate).
  void Stamp() {
    for (TWaiting& w : waiting_) {
      if (w.time == kPendingTime) w.time = std::max(clock_.Time(w.offset), 0.0);
      w.message += TimeText(w.time);
      report_(w.type, w.message);
    }
    waiting_.clear();
  }

  // Stream time from the first PCR (negative for bytes before it, which have
  // none), or kPendingTime when the next PCR is to give it.
  double TimeOf(int64_t offset) const {
    if (!clock_.Running() || offset < firstPCROffset_) return -1.0;
    return offset <= clockOffset_ ? std::max(clock_.Time(offset), 0.0) : kPendingTime;
  }

  // " at HH:MM:SS.mmm", or nothing for no time.
  static std::string TimeText(double time) {
    if (time < 0) return {};
    // The millisecond the time falls in; the small excess keeps a whole one
    // that the arithmetic took a hair below it.
    const auto ms = static_cast<long long>(std::floor(time * 1000.0 + 1e-6));
    if (ms < 0)
      return Format(" at %02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    // " at HH:MM:SS.mmm" by hand: every finding ends with it.
    std::string text = " at ";
    AppendDecimal(text, static_cast<uint64_t>(ms / 3600000), 2);
    text += ':';
    AppendDecimal(text, static_cast<uint64_t>(ms / 60000 % 60), 2);
    text += ':';
    AppendDecimal(text, static_cast<uint64_t>(ms / 1000 % 60), 2);
    text += '.';
    AppendDecimal(text, static_cast<uint64_t>(ms % 1000), 3);
    return text;
  }

  static std::string Head(TIndicator indicator, int32_t pid, int64_t offset) {
    // Room for the detail and the time the finding's message adds.
    std::string head;
    head.reserve(192);
    head += IndicatorName(indicator);
    head += ": ";
    if (pid >= 0) {
      head += "PID 0x";
      AppendHex(head, static_cast<uint64_t>(pid), 4);
      head += ", ";
    }
    head += "offset 0x";
    AppendHex(head, static_cast<uint64_t>(offset), 16);
    return head;
  }

  // ---- Synchronisation -------------------------------------------------------------

  // The first slot after the scanner found sync, at the start or after a loss.
  void Synchronised(int64_t offset) {
    if (firstOffset_ < 0) firstOffset_ = offset;
    syncedAt_ = offset;
    if (lostAt_ >= 0) {
      Finding(TIndicator::TS_sync_loss, kNoPID, lostAt_, [&] {
        return "sync regained at " + OffsetText(offset) + " after " + std::to_string(offset - lostAt_) + " bytes";
      });
      lostAt_ = -1;
    }
    missing_ = 0;
    pending_ = false;
  }

  // ---- Packets -----------------------------------------------------------------------

  // The packets most of a stream is made of take the first path: clear
  // payload-only packets of a PID that carries no table, continuing its
  // counter; null packets have nothing to check.
  __attribute__((always_inline)) void Packet(const uint8_t* b, int64_t offset) {
    ++packets_;
    if (offset >= deadlineOffset_) DeadlinePassed(offset);
    const uint32_t flags = b[1];
    const int32_t pid = TPacketHeaderView(b).PID();
    TPIDState& st = pids_[static_cast<size_t>(pid)];
    if ((flags & 0xC0) == 0 && (0x100u | b[3]) == st.next) {
      // The counter is kept in next alone here (SettleCounter): one store
      // per packet, and no byte store, which the compiler must assume may
      // change anything the loop holds.
      st.next = static_cast<uint16_t>(0x110 | ((b[3] + 1) & 0x0F));
      if (st.references > 0) Present(st, pid, offset, clock_.Time(offset));
      return;
    }
    if ((flags & 0x80) == 0 && pid == kNullPID) return;
    AnyPacket(b, offset, pid);
  }

  // A packet of a PID a PMT names: TR 101 290, 5.2.1 (1.6).
  void Present(TPIDState& st, int32_t pid, int64_t offset, double now) {
    if (now - st.since > settings_.pidPeriod && clock_.Running())
      Gap(TIndicator::PID_error, pid, AbsenceKey(kAbsentPID, pid), st.since, offset,
          [&] { return Format("not present for %.3f s (limit %g s)", now - st.since, settings_.pidPeriod); });
    st.since = now;
  }

  __attribute__((noinline)) void AnyPacket(const uint8_t* b, int64_t offset, int32_t pid) {
    const TPacketHeaderView header(b);
    if (header.TransportError()) {
      // transport_error_indicator: the header itself cannot be trusted.
      ++errorPackets_;
      Finding(TIndicator::Transport_error, pid, offset, [] { return std::string("transport_error_indicator set"); });
      return;
    }
    TPIDState& st = pids_[static_cast<size_t>(pid)];
    st.SettleCounter();
    if (!st.present || st.naming == kNamingPending) Naming(st, pid, offset);
    st.present = true;
    Met(static_cast<uint16_t>(pid));
    const bool unitStart = header.PayloadUnitStart();
    const int32_t scrambling = header.ScramblingControl();
    const int32_t afc = header.AdaptationFieldControl();
    const auto cc = static_cast<uint8_t>(header.ContinuityCounter());

    int32_t payloadStart = 4;
    bool discontinuity = false;
    if ((afc & 2) != 0) {
      const int32_t length = b[4];
      payloadStart = 5 + length;
      if (length > 0) {
        discontinuity = (b[5] & 0x80) != 0;
        if ((b[5] & 0x10) != 0 && length >= 7) PCR(st, pid, b + 6, offset, discontinuity);
      }
    }
    const double now = clock_.Time(offset);

    if (scrambling != 0) Scrambled(st, pid, offset, scrambling);

    // ISO/IEC 13818-1, 2.4.3.3: the counter steps with each packet that has a
    // payload; a packet may be sent twice in a row, once.
    bool broken = false;
    if ((afc & 1) != 0) {
      if (st.ccKnown && !discontinuity) {
        const uint8_t expected = (st.cc + 1) & 0x0F;
        if (cc == st.cc && !st.duplicated) {
          st.duplicated = true;
          st.next = 0;
          return;  // the same packet again: nothing new in it
        }
        // A third copy is an error as much as a counter out of step.
        st.duplicated = cc == st.cc;
        if (cc != expected) {
          broken = true;
          Finding(TIndicator::Continuity_count_error, pid, offset,
                  [&] { return "expected " + std::to_string(expected) + ", found " + std::to_string(cc); });
        }
      } else {
        st.duplicated = false;
      }
      st.cc = cc;
      st.ccKnown = true;
      st.next = st.roles == 0 && !st.duplicated && st.naming != kNamingPending
                    ? static_cast<uint16_t>(0x110 | ((cc + 1) & 0x0F))
                    : 0;
    }

    if (st.references > 0) Present(st, pid, offset, now);

    const int32_t payloadLength = kTSPacketSize - payloadStart;
    if ((afc & 1) == 0 || payloadLength <= 0 || scrambling != 0) return;
    const uint8_t* payload = b + payloadStart;
    if (st.roles != 0) {
      if (st.sections == nullptr) st.sections = sectionStates_.emplace_back(std::make_unique<TSectionState>()).get();
      st.sections->assembler.Feed(payload, payloadLength, unitStart, broken, offset,
                                  [&](const uint8_t* section, int32_t length, int64_t start) {
                                    Section(pid, st.roles, section, length, start, now);
                                  });
    } else if (unitStart) {
      PESStart(st, pid, payload, payloadLength, offset, now);
    }
  }

  void Scrambled(TPIDState& st, int32_t pid, int64_t offset, int32_t scrambling) {
    if (!scrambled_) {
      scrambled_ = true;
      scrambledOffset_ = offset;
      scrambledTime_ = TimeOf(offset);
      scrambledPID_ = pid;
    }
    if ((st.roles & kRolePAT) != 0)
      Finding(TIndicator::PAT_error, pid, offset,
              [&] { return Format("transport_scrambling_control %d on PID 0x0000", scrambling); });
    if ((st.roles & kRolePMT) != 0)
      Finding(TIndicator::PMT_error, pid, offset,
              [&] { return Format("transport_scrambling_control %d on a PMT PID", scrambling); });
  }

  // ---- Clocks -------------------------------------------------------------------------

  void PCR(TPIDState& st, int32_t pid, const uint8_t* p, int64_t offset, bool discontinuity) {
    const int64_t base =
        (int64_t{p[0]} << 25) | (int64_t{p[1]} << 17) | (int64_t{p[2]} << 9) | (int64_t{p[3]} << 1) | (p[4] >> 7);
    const int64_t value = base * 300 + (((p[4] & 1) << 8) | p[5]);
    // The first PID met with a PCR sets the stream time.
    if (clockPID_ < 0) clockPID_ = pid;
    if (pid == clockPID_) {
      const bool started = !clock_.Running();
      const int64_t before = clockOffset_;
      clock_.Reference(offset, value, discontinuity);
      clockOffset_ = offset;
      if (started) {
        firstPCROffset_ = offset;
        ClockStarted(offset);
      }
      if (!waiting_.empty()) Stamp();
      // The new rate may put a limit's end in this very packet.
      const double time = clock_.Time(offset);
      if (ranOutWaiting_) StampRanOut(before);
      if (time > absenceDue_) Absences(offset, time);
      Schedule(offset);  // the rate changed
    }
    const double now = clock_.Time(offset);
    if (st.pcrKnown) {
      // TR 101 290, 5.2.2 (2.3b): consecutive PCRs 0 to 100 ms apart unless a
      // discontinuity is signalled.
      const int64_t step = PCRDifference(st.pcr, value);
      if (!discontinuity && (step < 0 || step > kPCRTicksPerSecond / 10))
        Finding(TIndicator::PCR_discontinuity_indicator_error, pid, offset, [&] {
          return Format("PCR moves by %.3f ms (0 to 100 ms) without discontinuity_indicator",
                        Milliseconds(static_cast<double>(step) / kPCRTicksPerSecond));
        });
      // 2.3a: at most 40 ms (the set limit) between PCRs: the time between
      // their values on the PID's own time base, or stream time across a
      // discontinuity.
      const bool continuous = !discontinuity && step >= 0 && step <= TStreamClock::kLongestStep;
      const double interval = continuous         ? static_cast<double>(step) * (1.0 / kPCRTicksPerSecond)
                              : clock_.Running() ? now - st.pcrTime
                                                 : 0.0;
      if (interval > settings_.pcrRepetitionLimit)
        Finding(TIndicator::PCR_repetition_error, pid, offset, [&] {
          return Format("%.3f ms since the last PCR (limit %g ms)", Milliseconds(interval),
                        Milliseconds(settings_.pcrRepetitionLimit));
        });
      // 2.4: the last PCR against its neighbours, as the analysis pass measures it.
      const bool sameBase = !discontinuity && step > 0 && step <= TStreamClock::kLongestStep && offset > st.pcrOffset;
      if (sameBase && st.pcrContinuous) Accuracy(st, pid, offset, value);
      st.pcrContinuous = sameBase;
      st.beforePCR = st.pcr;
      st.beforeOffset = st.pcrOffset;
    }
    st.pcrOffset = offset;
    st.pcr = value;
    st.pcrTime = now;
    st.pcrKnown = true;
  }

  void Accuracy(const TPIDState& st, int32_t pid, int64_t afterOffset, int64_t afterPCR) {
    const double ticks = PCRAccuracy(st.beforeOffset, st.beforePCR, st.pcrOffset, st.pcr, afterOffset, afterPCR);
    const double seconds = ticks * (1.0 / kPCRTicksPerSecond);
    if (std::fabs(seconds) > settings_.pcrAccuracyLimit)
      Finding(TIndicator::PCR_accuracy_error, pid, st.pcrOffset, [&] {
        return Format("PCR %+.0f ns from the value its neighbours predict (limit %g ns)", seconds * 1e9,
                      settings_.pcrAccuracyLimit * 1e9);
      });
  }

  void PESStart(TPIDState& st, int32_t pid, const uint8_t* p, int32_t length, int64_t offset, double now) {
    // packet_start_code_prefix, stream_id, PES_packet_length, flags, PTS_DTS_flags and the PTS.
    if (length < 14 || p[0] != 0 || p[1] != 0 || p[2] != 1 || !HasPESHeader(p[3]) || (p[7] & 0x80) == 0) return;
    // TR 101 290, 5.2.2 (2.5): a PTS at least every 700 ms (the set limit).
    if (st.ptsKnown && clock_.Running() && now - st.ptsTime > settings_.ptsRepetitionLimit)
      Finding(TIndicator::PTS_error, pid, offset, [&] {
        return Format("%.1f ms since the last PTS (limit %g ms)", Milliseconds(now - st.ptsTime),
                      Milliseconds(settings_.ptsRepetitionLimit));
      });
    st.ptsTime = now;
    st.ptsKnown = true;
  }

  // ---- Sections ------------------------------------------------------------------------

  void Section(int32_t pid, uint8_t roles, const uint8_t* s, int32_t length, int64_t offset, double now) {
    const TByteView section(s, length);
    const uint32_t tableId = section.U8(0);
    if ((roles & kRolePAT) != 0) {
      if (tableId == 0x00) return PAT(section, offset, now);
      return Finding(TIndicator::PAT_error, pid, offset,
                     [&] { return Format("table_id 0x%02X on PID 0x0000", tableId); });
    }
    if ((roles & kRoleCAT) != 0) {
      if (tableId != 0x01)
        return Finding(TIndicator::CAT_error, pid, offset,
                       [&] { return Format("table_id 0x%02X on PID 0x0001", tableId); });
      catSeen_ = true;
      if (CRCHolds(pid, section, offset, "CAT") && (section.U8(1) & 0x80) != 0)
        NameCAPIDs(section, 8, section.Size() - 4);
      return;
    }
    if ((roles & kRolePMT) != 0 && tableId == 0x02) return PMT(pid, section, offset, now);
    const char* name = nullptr;
    if ((roles & kRoleNIT) != 0 && (tableId == 0x40 || tableId == 0x41)) name = "NIT";
    if ((roles & kRoleSDT) != 0 && (tableId == 0x42 || tableId == 0x46)) name = "SDT";
    if ((roles & kRoleSDT) != 0 && tableId == 0x4A) name = "BAT";
    if ((roles & kRoleEIT) != 0 && tableId >= 0x4E && tableId <= 0x6F) name = "EIT";
    if ((roles & kRoleTOT) != 0 && tableId == 0x73) name = "TOT";
    if (name != nullptr && !CRCHolds(pid, section, offset, name)) return;
    if (IsSIPID(pid) && settings_.thirdPriority) SI(pid, tableId, section, offset, now);
  }

  // Checks the section's CRC_32 (CRC_error when it is wrong); false for a wrong one.
  bool CRCHolds(int32_t pid, const TByteView& section, int64_t offset, const char* table) {
    const int32_t length = section.Size();
    if (length < 8) {
      Finding(TIndicator::CRC_error, pid, offset, [&] {
        return Format("%s section (table_id 0x%02X) of %d bytes, too short for its CRC_32", table, section.U8(0),
                      length);
      });
      return false;
    }
    std::vector<uint8_t>& verified = pids_[static_cast<size_t>(pid)].sections->verified;
    if (verified.size() == static_cast<size_t>(length) &&
        std::memcmp(verified.data(), section.Data(), verified.size()) == 0)
      return true;
    if (CalcCRC32(section.Data(), length) == 0) {
      verified.assign(section.Data(), section.Data() + length);
      return true;
    }
    Finding(TIndicator::CRC_error, pid, offset, [&] {
      return Format("%s section (table_id 0x%02X): CRC_32 0x%08X, computed 0x%08X", table, section.U8(0),
                    section.U32(length - 4), CalcCRC32(section.Data(), length - 4));
    });
    return false;
  }

  // ISO/IEC 13818-1, Table 2-30 (program_association_section).
  void PAT(const TByteView& s, int64_t offset, double now) {
    if (clock_.Running() && now - patTime_ > settings_.tableRepetitionLimit)
      Gap(TIndicator::PAT_error, 0, AbsenceKey(kAbsentPAT, 0), patTime_, offset, [&] {
        return Format("no PAT section for %.3f s (limit %g s)", now - patTime_, settings_.tableRepetitionLimit);
      });
    patTime_ = now;
    patSeen_ = true;
    if (!CRCHolds(0, s, offset, "PAT") || (s.U8(1) & 0x80) == 0 || (s.U8(5) & 0x01) == 0) return;
    const uint32_t crc = s.U32(s.Size() - 4);
    const uint32_t version = (s.U8(5) >> 1) & 0x1F;
    const uint32_t sectionNumber = s.U8(6);
    if (version != patVersion_) patSections_.clear();
    patVersion_ = version;
    auto [known, added] = patSections_.try_emplace(sectionNumber);
    if (!added && known->second.crc == crc) return;
    known->second.crc = crc;
    known->second.pids.clear();
    // program_number and PID pairs: the PMT PIDs, and the network PID of program 0.
    for (int32_t i = 8; i + 4 <= s.Size() - 4; i += 4) {
      known->second.pids.push_back(static_cast<uint16_t>(s.U16(i)));
      known->second.pids.push_back(static_cast<uint16_t>(s.U16(i + 2) & 0x1FFF));
    }
    ProgramsChanged(offset, now);
  }

  // The PMT and network PIDs of the current PAT. Programs it no longer
  // lists name no streams any more.
  void ProgramsChanged(int64_t offset, double now) {
    std::vector<uint8_t> named(kPIDCount, 0);
    named[0x0010] = kRoleNIT;
    patPrograms_.clear();
    for (const auto& [number, section] : patSections_) {
      for (size_t i = 0; i + 1 < section.pids.size(); i += 2) {
        const uint16_t program = section.pids[i];
        const uint16_t pid = section.pids[i + 1];
        named[pid] |= program == 0 ? kRoleNIT : kRolePMT;
        if (program != 0) patPrograms_.insert(ProgramKey(pid, program));
      }
    }
    for (auto it = programs_.begin(); it != programs_.end();) {
      if (patPrograms_.count(it->first) != 0) {
        ++it;
        continue;
      }
      for (const uint16_t es : it->second.pids) --pids_[es].references;
      it = programs_.erase(it);
    }
    // Only the PIDs named now or before: the states of the others stay untouched.
    std::vector<uint16_t> pids = namedPIDs_;
    namedPIDs_.clear();
    for (size_t pid = 0; pid < named.size(); ++pid) {
      if (named[pid] == 0) continue;
      namedPIDs_.push_back(static_cast<uint16_t>(pid));
      pids.push_back(static_cast<uint16_t>(pid));
    }
    for (const uint16_t pid : pids) {
      TPIDState& st = pids_[pid];
      if ((named[pid] & kRolePMT) != 0 && (st.roles & kRolePMT) == 0) {
        st.pmtTime = now;
        AbsenceFrom(now + settings_.tableRepetitionLimit, offset);
      }
      st.roles = static_cast<uint8_t>((st.roles & ~(kRolePMT | kRoleNIT)) | named[pid]);
      if (st.roles != 0) {
        st.SettleCounter();
        st.next = 0;
      }
      Met(pid);
    }
  }

  // A PID whose state is more than all zero: the end of the stream looks at these only.
  void Met(uint16_t pid) {
    TPIDState& st = pids_[pid];
    if (st.met) return;
    st.met = true;
    metPIDs_.push_back(pid);
  }

  static uint32_t ProgramKey(int32_t pid, uint32_t programNumber) {
    return (static_cast<uint32_t>(pid) << 16) | programNumber;
  }

  // ISO/IEC 13818-1, Table 2-33 (TS_program_map_section).
  void PMT(int32_t pid, const TByteView& s, int64_t offset, double now) {
    TPIDState& st = pids_[static_cast<size_t>(pid)];
    if (clock_.Running() && now - st.pmtTime > settings_.tableRepetitionLimit)
      Gap(TIndicator::PMT_error, pid, AbsenceKey(kAbsentPMT, pid), st.pmtTime, offset, [&] {
        return Format("no PMT section for %.3f s (limit %g s)", now - st.pmtTime, settings_.tableRepetitionLimit);
      });
    st.pmtTime = now;
    if (!CRCHolds(pid, s, offset, "PMT") || (s.U8(1) & 0x80) == 0 || (s.U8(5) & 0x01) == 0) return;
    // Only the PMT of a program the PAT puts on this PID names its streams.
    const uint32_t key = ProgramKey(pid, s.U16(3));
    if (patPrograms_.count(key) == 0) return;
    const uint32_t crc = s.U32(s.Size() - 4);
    auto [program, added] = programs_.try_emplace(key);
    if (!added && program->second.crc == crc) return;
    program->second.crc = crc;
    // The elementary streams: stream_type, elementary_PID, ES_info_length.
    std::vector<uint16_t> streams;
    const int32_t end = s.Size() - 4;
    const int32_t programInfoEnd = 12 + static_cast<int32_t>(s.U16(10) & 0x0FFF);
    NameOtherwise(static_cast<int32_t>(s.U16(8) & 0x1FFF));  // PCR_PID
    NameCAPIDs(s, 12, std::min(programInfoEnd, end));
    for (int32_t i = programInfoEnd; i + 5 <= end; i += 5 + static_cast<int32_t>(s.U16(i + 3) & 0x0FFF)) {
      streams.push_back(static_cast<uint16_t>(s.U16(i + 1) & 0x1FFF));
      NameCAPIDs(s, i + 5, std::min(i + 5 + static_cast<int32_t>(s.U16(i + 3) & 0x0FFF), end));
    }
    // Named again before the old names go, so that a PID a new version keeps
    // stays named all along.
    for (const uint16_t es : streams) Reference(es, pid, offset, now);
    for (const uint16_t es : program->second.pids) --pids_[es].references;
    program->second.pids = std::move(streams);
  }

  void Reference(uint16_t es, int32_t pmtPID, int64_t offset, double now) {
    TPIDState& st = pids_[es];
    if (st.references++ > 0) return;
    Met(es);
    st.referencedBy = static_cast<uint16_t>(pmtPID);
    st.referenceOffset = offset;
    st.referenceTime = TimeOf(offset);
    st.since = now;
    AbsenceFrom(now + settings_.pidPeriod, offset);
  }

  void SetRoles(int32_t pid, uint8_t roles) { pids_[static_cast<size_t>(pid)].roles |= roles; }

  // ---- Third priority: Unreferenced_PID ----------------------------------------------

  // The CA_PIDs of the CA_descriptors (ISO/IEC 13818-1, 2.6.16) in a
  // descriptor loop from begin to end of the section: ECM and EMM streams.
  void NameCAPIDs(const TByteView& s, int32_t begin, int32_t end) {
    for (int32_t i = begin; i + 2 <= end; i += 2 + s.U8(i + 1))
      if (s.U8(i) == 0x09 && s.U8(i + 1) >= 4 && i + 6 <= end)
        NameOtherwise(static_cast<int32_t>(s.U16(i + 4) & 0x1FFF));
  }

  void NameOtherwise(int32_t pid) {
    if (pid == kNullPID) return;
    pids_[static_cast<size_t>(pid)].namedOtherwise = true;
    Met(static_cast<uint16_t>(pid));
  }

  // TR 101 290, 5.2.3 (3.4): each PID but those of the PSI and SI (0x0000 to
  // 0x001F), the PMTs, the network and null packets is named by a PMT (or the
  // CAT) within 0.5 s of its first packet. Until it is, its packets come here.
  void Naming(TPIDState& st, int32_t pid, int64_t offset) {
    if (!st.present) {
      if (pid < 0x0020 || pid == kNullPID || !settings_.Checks(TIndicator::Unreferenced_PID)) return;
      st.metTime = clock_.Time(offset);
      st.metOffset = offset;
      st.naming = kNamingPending;
      st.next = 0;
    }
    if (st.references > 0 || st.namedOtherwise || (st.roles & (kRolePMT | kRoleNIT)) != 0) {
      st.naming = kNamingUnknown;
      return;
    }
    if (!clock_.Running()) {
      // Without a clock the limit cannot be told; the PID goes back to the
      // fast path before its packets cost the check much.
      if (offset - st.metOffset > kUntimedNaming) st.naming = kNamingUnknown;
      return;
    }
    if (clock_.Time(offset) - st.metTime <= settings_.unreferencedPeriod) return;
    Unreferenced(st, pid, offset, TimeOf(offset));
  }

  void Unreferenced(TPIDState& st, int32_t pid, int64_t offset, double time) {
    st.naming = kNamingReported;
    FindingAt(TIndicator::Unreferenced_PID, pid, offset, time, [&] {
      return Format("not named by a PMT or the CAT within %g s of its first packet at ", settings_.unreferencedPeriod) +
             OffsetText(st.metOffset);
    });
  }

  // ---- Third priority: SI tables -------------------------------------------------------

  // The tables that must come from the start: the NIT, SDT, EIT
  // present/following and TDT of the actual stream (TR 101 290, 3.1.a,
  // 3.5.a, 3.6.a and 3.8), their time counted from the first PCR.
  void ClockStarted(int64_t offset) {
    if (!settings_.thirdPriority) return;
    const double now = clock_.Time(offset);
    Expect(0x0010, 0x40, -1, 10.0, TIndicator::NIT_actual_error, now);
    Expect(0x0011, 0x42, -1, 2.0, TIndicator::SDT_actual_error, now);
    Expect(0x0012, 0x4E, 0, 2.0, TIndicator::EIT_actual_error, now);
    Expect(0x0012, 0x4E, 1, 2.0, TIndicator::EIT_actual_error, now);
    Expect(0x0014, 0x70, -1, 30.0, TIndicator::TDT_error, now);
  }

  // A track of a whole table (or of one section_number of all its sub-tables).
  static uint64_t TableKey(uint32_t tableId, int32_t section) {
    return (uint64_t{0xFF} << 56) | (uint64_t{tableId} << 8) | static_cast<uint64_t>(section + 1);
  }

  TSIDeadlines::TTrack* Expect(int32_t pid, uint32_t tableId, int32_t section, double limit, TIndicator indicator,
                               double now) {
    if (!settings_.Checks(indicator)) return nullptr;
    TSIDeadlines::TTrack track;
    track.indicator = indicator;
    track.tableId = static_cast<uint8_t>(tableId);
    track.pid = static_cast<uint16_t>(pid);
    track.section = section;
    track.limit = limit;
    track.last = now;
    return Track(TableKey(tableId, section), track);
  }

  TSIDeadlines::TTrack* Track(uint64_t key, const TSIDeadlines::TTrack& track) {
    TSIDeadlines::TTrack* found = deadlines_.Find(key, track);
    if (found == nullptr) TooManySITables();
    return found;
  }

  void TooManySITables() {
    if (siOverflowWarned_) return;
    siOverflowWarned_ = true;
    report_(kReportWarning, "More than " + std::to_string(TSIDeadlines::kMostTracks) +
                                " SI sub-tables or sections: the repetition of further ones is not checked.");
  }

  // A section of the SI PIDs 0x0010 to 0x0014 (its CRC_32, where it has one, holds).
  void SI(int32_t pid, uint32_t tableId, const TByteView& s, int64_t offset, double now) {
    if (!TableAllowed(pid, tableId)) {
      Finding(WrongTableIndicator(pid), pid, offset,
              [&] { return Format("table_id 0x%02X on PID 0x%04X", tableId, static_cast<unsigned>(pid)); });
      return;
    }
    const TSITable table = SITableOf(tableId);
    if (table.name == nullptr || !clock_.Running()) return;
    // The sub-table: table_id, table_id_extension and, for SDT and EIT, the
    // streams' ids after it (EN 300 468, 5.2.3 and 5.2.4).
    const bool longForm = (s.U8(1) & 0x80) != 0 && s.Size() >= 12;
    const bool eit = tableId >= 0x4E && tableId <= 0x6F;
    const uint32_t extension = longForm ? s.U16(3) : 0;
    const uint32_t section = longForm ? s.U8(6) : 0;
    const uint32_t tsid = longForm && eit ? s.U16(8) : 0;
    const uint32_t onid = !longForm ? 0 : eit ? s.U16(10) : tableId == 0x42 || tableId == 0x46 ? s.U16(8) : 0;
    const uint64_t subTable =
        (uint64_t{tableId} << 56) | (uint64_t{extension} << 40) | (uint64_t{tsid} << 24) | (uint64_t{onid} << 8);
    Shortest(pid, tableId, table, subTable, offset, now);

    const auto seen = [&](TSIDeadlines::TTrack* track) {
      if (track != nullptr) deadlines_.Seen(*track, now, offset);
    };
    // The tables' own limits: 3.1, 3.5, 3.6.a and b, 3.8.
    switch (tableId) {
      case 0x40:
      case 0x42:
      case 0x70:
        seen(Expect(pid, tableId, -1, table.longest, table.own, now));
        break;
      case 0x4E:
      case 0x4F:
        if (section <= 1)
          seen(Expect(pid, tableId, static_cast<int32_t>(section), tableId == 0x4E ? 2.0 : 10.0,
                      tableId == 0x4E ? TIndicator::EIT_actual_error : TIndicator::EIT_other_error, now));
        // 3.6.c: a present/following sub-table has both its sections.
        if (longForm && s.U8(7) == 0 && pfReported_.size() < TSIDeadlines::kMostTracks &&
            pfReported_.insert(subTable).second)
          Finding(TIndicator::EIT_PF_error, pid, offset, [&] {
            return Format("%s sub-table (table_id 0x%02X, service_id 0x%04X) without section 1 (last_section_number 0)",
                          table.name, tableId, extension);
          });
        break;
      case 0x41:
      case 0x46:
        if (longForm && settings_.Checks(tableId == 0x41 ? TIndicator::NIT_other_error : TIndicator::SDT_other_error))
          seen(SectionTrack(subTable | section, 0x80, pid, tableId, static_cast<int32_t>(extension),
                            static_cast<int32_t>(section), 10.0,
                            tableId == 0x41 ? TIndicator::NIT_other_error : TIndicator::SDT_other_error, now));
        break;
      default:
        break;
    }
    // 3.2: every section of every sub-table within its table's longest interval.
    if (table.longest > 0 && settings_.Checks(TIndicator::SI_repetition_error))
      seen(SectionTrack(subTable | section, 0, pid, tableId, longForm ? static_cast<int32_t>(extension) : -1,
                        longForm ? static_cast<int32_t>(section) : -1, table.longest, TIndicator::SI_repetition_error,
                        now));
    Schedule(offset);
  }

  // One section_number of one sub-table; kind keeps apart the tracks of two
  // indicators on the same section.
  TSIDeadlines::TTrack* SectionTrack(uint64_t key, uint64_t kind, int32_t pid, uint32_t tableId, int32_t extension,
                                     int32_t section, double limit, TIndicator indicator, double now) {
    TSIDeadlines::TTrack track;
    track.indicator = indicator;
    track.tableId = static_cast<uint8_t>(tableId);
    track.pid = static_cast<uint16_t>(pid);
    track.extension = extension;
    track.section = section;
    track.limit = limit;
    track.last = now;
    return Track(key | (kind << 56), track);
  }

  // TS 101 211, 4.4 and TR 101 290, 3.1.a, 3.5.a, 3.6.a, 3.7 and 3.8: 25 ms
  // at least from the end of a section to the start of the next of its
  // sub-table. SI_repetition_error besides the table's own indicator.
  void Shortest(int32_t pid, uint32_t tableId, const TSITable& table, uint64_t subTable, int64_t offset, double now) {
    auto found = subTableEnds_.find(subTable);
    if (found == subTableEnds_.end()) {
      if (subTableEnds_.size() >= TSIDeadlines::kMostTracks) return TooManySITables();
      subTableEnds_.emplace(subTable, now);
      return;
    }
    const double gap = clock_.Time(offset) - found->second;
    found->second = now;
    if (gap >= kSIShortestInterval) return;
    const auto detail = [&] {
      return Format("%s section (table_id 0x%02X) %.1f ms after the one before it (least %g ms)", table.name, tableId,
                    Milliseconds(std::max(gap, 0.0)), Milliseconds(kSIShortestInterval));
    };
    if (table.own != TIndicator::SI_repetition_error) Finding(table.own, pid, offset, detail);
    Finding(TIndicator::SI_repetition_error, pid, offset, detail);
  }

  // A limit ran out: the finding is at the packet where it did, and names no
  // PID, as no packet of the table's PID need be there.
  void Overdue(const TSIDeadlines::TTrack& t, int64_t offset) {
    Finding(t.indicator, kNoPID, offset, [&] {
      std::string text = "no ";
      text += SITableOf(t.tableId).name;
      text += " section";
      if (t.section >= 0) text += " " + std::to_string(t.section);
      text += t.extension >= 0 ? Format(" (table_id 0x%02X, table_id_extension 0x%04X)", t.tableId,
                                        static_cast<unsigned>(t.extension))
                               : Format(" (table_id 0x%02X)", t.tableId);
      text += Format(" on PID 0x%04X within %g s of ", static_cast<unsigned>(t.pid), t.limit);
      return text + (t.lastOffset < 0 ? std::string("the first PCR") : "the last at " + OffsetText(t.lastOffset));
    });
  }

  __attribute__((noinline)) void DeadlinePassed(int64_t offset) {
    const double now = clock_.Time(offset);
    if (now > deadlines_.Next()) deadlines_.Expire(now, [&](const TSIDeadlines::TTrack& t) { Overdue(t, offset); });
    if (now > absenceDue_) Absences(offset, now);
    Schedule(offset);
  }

  // Where the next limit runs out, at the clock's present rate; the next PCR
  // corrects it when the rate changes.
  void Schedule(int64_t offset) {
    deadlineOffset_ = std::numeric_limits<int64_t>::max();
    const double next = std::min(deadlines_.Next(), absenceDue_);
    if (!clock_.Running() || !std::isfinite(next)) return;
    constexpr int64_t kProbe = int64_t{1} << 20;
    const double now = clock_.Time(offset);
    const double perByte = (clock_.Time(offset + kProbe) - now) / static_cast<double>(kProbe);
    if (perByte <= 0) return;
    const double bytes = std::ceil(std::max(next - now, 0.0) / perByte);
    deadlineOffset_ =
        bytes < 1e15 ? offset + std::max<int64_t>(static_cast<int64_t>(bytes), 1) : std::numeric_limits<int64_t>::max();
  }

  // ---- Gaps of the PAT, the PMTs and the PIDs they name -------------------------------

  // These findings are told when the gap ends (or at the end of the stream),
  // as its length is known only then, but name the first packet past the
  // limit. A sweep records that place: it runs at the earliest time a limit
  // may run out, and the times the limits count from only move later, so no
  // per-packet work is needed to find it.
  struct TRanOut {
    double last;  // the time the gap counts from: a later gap needs a place of its own
    double due;   // last + the limit
    int64_t offset;
    double time;  // kPendingTime until the next PCR of the clock gives it
  };

  // Records a place for every limit that ran out by now, and when the next may.
  void Absences(int64_t offset, double now) {
    double due = kNever;
    const auto watch = [&](uint32_t key, double last, double limit) {
      if (now - last <= limit) {
        due = std::min(due, last + limit);
        return;
      }
      const TRanOut here{last, last + limit, offset, TimeOf(offset)};
      const auto [place, added] = ranOut_.try_emplace(key, here);
      if (!added && place->second.last == last) return;
      place->second = here;
      ranOutWaiting_ = ranOutWaiting_ || here.time == kPendingTime;
    };
    const double tableLimit = settings_.tableRepetitionLimit;
    watch(AbsenceKey(kAbsentPAT, 0), patTime_, tableLimit);
    for (const uint16_t pid : metPIDs_) {
      const TPIDState& st = pids_[pid];
      if ((st.roles & kRolePMT) != 0) watch(AbsenceKey(kAbsentPMT, pid), st.pmtTime, tableLimit);
      if (st.references > 0) watch(AbsenceKey(kAbsentPID, pid), st.since, settings_.pidPeriod);
    }
    absenceDue_ = due;
  }

  // A limit counted from now on: the sweep comes no later than its end.
  void AbsenceFrom(double due, int64_t offset) {
    if (due >= absenceDue_) return;
    absenceDue_ = due;
    Schedule(offset);
  }

  // The clock's new PCR gives the times of the packets after the one before
  // (at from), which the sweep could only foresee at the rate then: a place
  // it recorded there moves to the first packet whose time is past the
  // limit, or goes, for the sweep to find again, when there is none yet. The
  // packets lie every packetSize_ bytes from where sync was last found.
  void StampRanOut(int64_t from) {
    const int64_t first = std::max(from + 1, syncedAt_);
    for (auto it = ranOut_.begin(); it != ranOut_.end();) {
      TRanOut& place = it->second;
      if (place.time != kPendingTime || place.offset > clockOffset_) {
        ++it;
        continue;
      }
      const auto past = [&](int64_t offset) { return clock_.Time(offset) > place.due; };
      if (place.offset >= first) {
        while (place.offset - packetSize_ >= first && past(place.offset - packetSize_)) place.offset -= packetSize_;
        while (!past(place.offset) && place.offset + packetSize_ <= clockOffset_) place.offset += packetSize_;
        if (!past(place.offset)) {
          absenceDue_ = std::min(absenceDue_, place.due);
          it = ranOut_.erase(it);
          continue;
        }
      }
      place.time = std::max(clock_.Time(place.offset), 0.0);
      ++it;
    }
    ranOutWaiting_ = false;
  }

  // The finding of the gap that counts from last, at its recorded place; with
  // none (the limit ran out in a packet the sweep could not foresee), here.
  template <class Detail>
  void Gap(TIndicator indicator, int32_t pid, uint32_t key, double last, int64_t offset, Detail&& detail) {
    double time = kPendingTime;
    const auto place = ranOut_.find(key);
    if (place != ranOut_.end()) {
      if (place->second.last == last) {
        offset = place->second.offset;
        time = place->second.time;
      }
      ranOut_.erase(place);
    }
    FindingAt(indicator, pid, offset, time, detail);
  }

  // ---- End of the stream -----------------------------------------------------------

  void EndOfStream() {
    const double now = clock_.Time(lastOffset_);
    const bool timed = clock_.Running();
    const double tableLimit = settings_.tableRepetitionLimit;
    if (!patSeen_) {
      Finding(TIndicator::PAT_error, 0, std::max<int64_t>(firstOffset_, 0),
              [] { return std::string("no PAT section in the stream"); });
    } else if (timed && now - patTime_ > tableLimit) {
      Gap(TIndicator::PAT_error, 0, AbsenceKey(kAbsentPAT, 0), patTime_, lastOffset_,
          [&] { return Format("no PAT section for %.3f s until the end (limit %g s)", now - patTime_, tableLimit); });
    }
    std::sort(metPIDs_.begin(), metPIDs_.end());
    for (const uint16_t pid : metPIDs_) {
      const TPIDState& st = pids_[pid];
      if ((st.roles & kRolePMT) != 0 && timed && now - st.pmtTime > tableLimit)
        Gap(TIndicator::PMT_error, pid, AbsenceKey(kAbsentPMT, pid), st.pmtTime, lastOffset_, [&] {
          return Format("no PMT section for %.3f s until the end (limit %g s)", now - st.pmtTime, tableLimit);
        });
      if (st.references == 0) continue;
      if (!st.present) {
        FindingAt(TIndicator::PID_error, pid, st.referenceOffset, st.referenceTime, [&] {
          return Format("named by the PMT on PID 0x%04X and never present", static_cast<unsigned>(st.referencedBy));
        });
      } else if (timed && now - st.since > settings_.pidPeriod) {
        Gap(TIndicator::PID_error, pid, AbsenceKey(kAbsentPID, pid), st.since, lastOffset_, [&] {
          return Format("not present for %.3f s until the end (limit %g s)", now - st.since, settings_.pidPeriod);
        });
      }
    }
    // A PID whose limit ran out after its last packet: the finding is at its first.
    for (const uint16_t pid : metPIDs_) {
      TPIDState& st = pids_[pid];
      if (st.naming == kNamingPending && st.references == 0 && !st.namedOtherwise &&
          (st.roles & (kRolePMT | kRoleNIT)) == 0 && timed && now - st.metTime > settings_.unreferencedPeriod)
        Unreferenced(st, pid, st.metOffset, st.metOffset >= firstPCROffset_ ? st.metTime : -1.0);
    }
    // TR 101 290, 5.2.2 (2.6): scrambled packets call for a CAT.
    if (scrambled_ && !catSeen_)
      FindingAt(TIndicator::CAT_error, kNoPID, scrambledOffset_, scrambledTime_, [&] {
        return Format("scrambled packets (the first on PID 0x%04X) and no CAT section",
                      static_cast<unsigned>(scrambledPID_));
      });
  }

  const TCheckSettings settings_;
  const TReport report_;
  TZeroedArray<TPIDState> pids_;
  std::vector<std::unique_ptr<TSectionState>> sectionStates_;
  std::vector<uint16_t> metPIDs_;    // every PID whose state is not all zero
  std::vector<uint16_t> namedPIDs_;  // the PMT and network PIDs of the current PAT
  // Findings reported per PID (the last entry: those of no single PID) and indicator.
  TZeroedArray<std::array<uint32_t, kIndicatorCount>> reported_;
  std::array<int64_t, kIndicatorCount> counts_{};
  int64_t reportedInRun_ = 0;
  bool runLimitWarned_ = false;

  int32_t packetSize_ = kTSPacketSize;
  int64_t packets_ = 0;
  int64_t errorPackets_ = 0;
  int64_t firstOffset_ = -1;
  int64_t lastOffset_ = -1;

  // Synchronisation.
  int64_t nextSlot_ = -1;
  int64_t syncedAt_ = 0;  // the first slot since sync was last found
  int32_t missing_ = 0;   // slots in a row without a sync byte
  int64_t lostAt_ = -1;   // where sync was lost, until it is found again
  bool pending_ = false;  // a slot whose sync byte is wrong, waiting for the next
  int64_t pendingOffset_ = 0;
  std::array<uint8_t, kTSPacketSize> pendingPacket_{};

  TStreamClock clock_;
  int64_t firstPCROffset_ = -1;
  int64_t clockOffset_ = -1;  // the clock's last PCR
  struct TWaiting {
    int32_t type;
    std::string message;
    int64_t offset;
    double time;
  };
  std::vector<TWaiting> waiting_;  // findings in order, waiting for the next PCR to time them
  // Where the next limit of an SI table runs out (at the clock's present rate).
  int64_t deadlineOffset_ = std::numeric_limits<int64_t>::max();
  TSIDeadlines deadlines_;
  std::unordered_map<uint64_t, double> subTableEnds_;  // sub-table: end of its last section
  std::set<uint64_t> pfReported_;
  bool siOverflowWarned_ = false;
  // No PAT, PMT or PID limit runs out before this; below zero until the clock runs.
  double absenceDue_ = -1.0;
  std::unordered_map<uint32_t, TRanOut> ranOut_;  // by AbsenceKey
  bool ranOutWaiting_ = false;                    // a place waits for its time
  int32_t clockPID_ = -1;

  // Tables.
  bool patSeen_ = false;
  double patTime_ = 0;
  uint32_t patVersion_ = 0xFFFFFFFF;
  std::map<uint32_t, TProgramStreams> patSections_;  // by section_number: program_number and PID pairs
  std::set<uint32_t> patPrograms_;                   // PMT PID and program_number of each program
  std::map<uint32_t, TProgramStreams> programs_;     // by PMT PID and program_number: the streams
  bool catSeen_ = false;
  bool scrambled_ = false;
  int64_t scrambledOffset_ = 0;
  double scrambledTime_ = -1.0;
  int32_t scrambledPID_ = 0;
};

TStreamChecker::TStreamChecker(const TCheckSettings& settings, TReport report)
    : state_(std::make_unique<TState>(settings, std::move(report))) {}

TStreamChecker::~TStreamChecker() = default;

TScanEnd TStreamChecker::Check(const TFileStream& stream, int32_t packetSize, int64_t start, TPacketScanner& scanner) {
  TScanRule rule{TSyncRule::Hysteresis};
  rule.acquire = kAcquireSync;
  rule.lose = kLoseSync;
  state_->SetPacketSize(packetSize);
  TState& state = *state_;
  const int64_t size = stream.Size();
  const TScanEnd end = scanner.Scan(
      stream, packetSize, start, TPacketScanner::kToEndOfFile,
      rule, [&state](const uint8_t* slot, int64_t offset) __attribute__((always_inline)) {
        state.Slot(slot, offset);
        return true;
      });
  // Nothing more to read before the size the file had at the start: a read
  // failed or the file shrank. What was checked is not the whole file, and
  // the run says so instead of passing for a complete one.
  bytesRead_ = scanner.ReadEnd();
  startSize_ = size;
  const bool cutShort = end != TScanEnd::Cancelled && bytesRead_ < size;
  if (cutShort) state.ReadShortfall(bytesRead_, size);
  state.Finish(end == TScanEnd::Cancelled || cutShort, bytesRead_, start);
  return end;
}

int64_t TStreamChecker::Count(TIndicator indicator) const { return state_->Count(indicator); }

int64_t TStreamChecker::Packets() const { return state_->Packets(); }

}  // namespace tessaro
