#include "core/FileMap.h"

#include <signal.h>
#include <sys/mman.h>

#include <atomic>

namespace tessaro {
namespace {

constexpr uintptr_t kPage = 4096;
constexpr uintptr_t kLargePage = uintptr_t{2} << 20;

// The mapped windows the handler knows, by address range; their ranges never
// overlap, so the handler needs no thread's help to find the window of a
// fault. A window that finds no free entry is not mapped.
struct TWindowEntry {
  std::atomic<bool> taken{false};
  std::atomic<uintptr_t> begin{0};
  std::atomic<uintptr_t> end{0};    // 0 while the window changes
  std::atomic<uintptr_t> fault{0};  // the first page that faulted
};
constexpr int kEntries = 64;
TWindowEntry gWindows[kEntries];
static_assert(std::atomic<uintptr_t>::is_always_lock_free);

struct sigaction gPrevious {};

void Forward(int signal, siginfo_t* info, void* context) {
  if ((gPrevious.sa_flags & SA_SIGINFO) != 0) {
    if (gPrevious.sa_sigaction != nullptr) gPrevious.sa_sigaction(signal, info, context);
    return;
  }
  if (gPrevious.sa_handler == SIG_DFL || gPrevious.sa_handler == SIG_IGN) {
    // Back to the default, which ends the process as it would have: the
    // signal comes again as soon as the handler returns, whether it was a
    // fault or sent.
    ::signal(SIGBUS, SIG_DFL);
    ::raise(SIGBUS);
    return;
  }
  gPrevious.sa_handler(signal);
}

void OnBus(int signal, siginfo_t* info, void* context) {
  const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
  for (TWindowEntry& window : gWindows) {
    const uintptr_t end = window.end.load(std::memory_order_acquire);
    if (at >= end || at < window.begin.load(std::memory_order_relaxed)) continue;
    // The file lost this page: zeros from here to the window's end, so the
    // walk runs on to where its reader looks at Vanished().
    const uintptr_t page = at & ~(kPage - 1);
    if (::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) ==
        MAP_FAILED)
      break;
    const uintptr_t fault = window.fault.load(std::memory_order_relaxed);
    if (fault == 0 || page < fault) window.fault.store(page, std::memory_order_relaxed);
    return;
  }
  Forward(signal, info, context);
}

// Set before any module can be loaded, and taken back when a module that
// holds this code unloads, as long as no handler came after it.
struct THandler {
  THandler() {
    struct sigaction action {};
    action.sa_sigaction = OnBus;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    installed = ::sigaction(SIGBUS, &action, &gPrevious) == 0;
  }
  ~THandler() {
    struct sigaction now {};
    if (installed && ::sigaction(SIGBUS, nullptr, &now) == 0 && (now.sa_flags & SA_SIGINFO) != 0 &&
        now.sa_sigaction == OnBus)
      ::sigaction(SIGBUS, &gPrevious, nullptr);
  }
  bool installed = false;
} gHandler;

}  // namespace

TFileMap::~TFileMap() {
  Unmap();
  Unreserve();
}

void TFileMap::Unreserve() {
  if (slot_ >= 0) {
    gWindows[slot_].end.store(0, std::memory_order_release);
    gWindows[slot_].taken.store(false, std::memory_order_release);
    slot_ = -1;
  }
  if (reserved_ != nullptr) ::munmap(reserved_, reservedBytes_);
  reserved_ = nullptr;
  reservedBytes_ = 0;
  window_ = nullptr;
  windowBytes_ = 0;
}

const uint8_t* TFileMap::Map(int fd, int64_t offset, int64_t length) {
  if (!gHandler.installed || fd < 0 || offset < 0 || length <= 0 || offset % static_cast<int64_t>(kPage) != 0)
    return nullptr;
  if (slot_ < 0) {
    for (int i = 0; i < kEntries && slot_ < 0; ++i)
      if (!gWindows[i].taken.exchange(true, std::memory_order_acq_rel)) slot_ = i;
    if (slot_ < 0) return nullptr;
  }
  TWindowEntry& entry = gWindows[slot_];
  const uintptr_t within = static_cast<uintptr_t>(offset) % kLargePage;
  const size_t bytes = (static_cast<size_t>(length) + kPage - 1) & ~(kPage - 1);
  // Room for the window at any place within a large page, after rounding
  // the start up to one.
  const size_t needed = bytes + 2 * kLargePage;
  if (needed > reservedBytes_) {
    Unmap();
    if (reserved_ != nullptr) ::munmap(reserved_, reservedBytes_);
    reserved_ = nullptr;
    reservedBytes_ = 0;
    void* range = ::mmap(nullptr, needed, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (range == MAP_FAILED) return nullptr;
    reserved_ = static_cast<uint8_t*>(range);
    reservedBytes_ = needed;
  }
  const uintptr_t base = (reinterpret_cast<uintptr_t>(reserved_) + kLargePage - 1) & ~(kLargePage - 1);
  auto* at = reinterpret_cast<uint8_t*>(base + within);
  // The handler must not take the last window's zeros for this one's.
  entry.end.store(0, std::memory_order_release);
  entry.fault.store(0, std::memory_order_relaxed);
  window_ = nullptr;
  void* mapped = ::mmap(at, bytes, PROT_READ, MAP_SHARED | MAP_FIXED, fd, static_cast<off_t>(offset));
  if (mapped == MAP_FAILED) {
    // A failed fixed map may have taken the old pages out of the range:
    // give the whole range back rather than keep a hole in it.
    Unreserve();
    return nullptr;
  }
  // Read in order, so the system reads ahead of the window from the disk;
  // then the pages are brought in at once rather than a fault at a time.
  // Where the system knows neither, the walk's faults bring them in.
  ::madvise(at, bytes, MADV_SEQUENTIAL);
#ifdef MADV_POPULATE_READ
  ::madvise(at, bytes, MADV_POPULATE_READ);
#endif
  window_ = at;
  windowBytes_ = bytes;
  windowOffset_ = offset;
  entry.begin.store(reinterpret_cast<uintptr_t>(at), std::memory_order_relaxed);
  entry.end.store(reinterpret_cast<uintptr_t>(at) + bytes, std::memory_order_release);
  return at;
}

void TFileMap::Unmap() {
  if (window_ == nullptr) return;
  if (slot_ >= 0) gWindows[slot_].end.store(0, std::memory_order_release);
  // The file's pages leave; the range stays reserved, or goes whole when it
  // cannot be kept without a hole.
  if (::mmap(window_, windowBytes_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0) ==
      MAP_FAILED)
    Unreserve();
  window_ = nullptr;
  windowBytes_ = 0;
}

int64_t TFileMap::Vanished() const {
  if (window_ == nullptr || slot_ < 0) return -1;
  const uintptr_t fault = gWindows[slot_].fault.load(std::memory_order_relaxed);
  if (fault == 0) return -1;
  return windowOffset_ + static_cast<int64_t>(fault - reinterpret_cast<uintptr_t>(window_));
}

}  // namespace tessaro
