#include "hex/HexView.h"

#include <algorithm>

#include "core/Diagnostics.h"
#include "core/TextHelpers.h"

namespace tessaro {
namespace {

constexpr int kHexPartWidth = 50;

// a * b / c rounded to the nearest integer, without overflow.
int64_t ScaleRounded(int64_t a, int64_t b, int64_t c) {
  if (c <= 0) return 0;
  const __int128 product = static_cast<__int128>(a) * b;
  return static_cast<int64_t>((2 * product + c) / (2 * static_cast<__int128>(c)));
}

}  // namespace

bool MemToStrLines2(const uint8_t* bytes, int64_t count, std::vector<std::string>& strings) {
  return Guarded("MemToStrLines2", false, [&] {
    if (bytes == nullptr || count < 1) return false;
    for (int64_t line = 0; line < count; line += THexView::kBytesPerLine) {
      const int64_t end = std::min<int64_t>(line + THexView::kBytesPerLine, count);
      std::string hex;
      std::string chars;
      hex.reserve(kHexPartWidth);
      for (int64_t i = line; i < end; ++i) {
        hex += ByteToHexStr(bytes[i]);
        hex += ' ';
        chars += DumpChar(bytes[i]);
      }
      strings.push_back(PadRightStr(hex, kHexPartWidth) + chars);
    }
    return true;
  });
}

bool THexView::OpenFile(const std::string& path) {
  return Guarded("THexView.OpenFile", false, [&] {
    CloseFile();
    stream_ = TFileStream::Open(path, TFileStream::Mode::Read);
    if (!stream_) return false;
    current_ = 0;
    RefreshFileData(0);
    return true;
  });
}

void THexView::CloseFile() {
  GuardedVoid("THexView.CloseFile", [&] {
    stream_.reset();
    lines_.clear();
    highlight_.clear();
    firstLine_ = 0;
  });
}

int64_t THexView::FileSize() const { return stream_ ? std::max<int64_t>(stream_->Size(), 0) : 0; }

bool THexView::RefreshFileData(int64_t offset) {
  return Guarded("THexView.RefreshFileData", false, [&] {
    if (!stream_) return false;
    if (offset < 0) offset = current_;
    // The size is asked of the file each time: a recording may still grow.
    if (offset >= FileSize()) return false;
    const int64_t start = offset - offset % kBytesPerLine;
    const auto want = static_cast<size_t>(lineCount_) * kBytesPerLine;
    buffer_.assign(want, 0);
    const int64_t n = stream_->ReadAt(start, buffer_.data(), static_cast<int64_t>(want));
    lines_.clear();
    MemToStrLines2(buffer_.data(), n, lines_);
    if (static_cast<int>(lines_.size()) > lineCount_) lines_.resize(static_cast<size_t>(lineCount_));
    for (size_t i = 0; i < lines_.size(); ++i)
      lines_[i] = "0x" + HexDigits(static_cast<uint64_t>(start) + i * kBytesPerLine, 16) + "   " + lines_[i];
    firstLine_ = start;
    current_ = offset;
    return true;
  });
}

int THexView::ScrollPosition() const {
  return static_cast<int>(std::clamp<int64_t>(ScaleRounded(current_, kScrollRange, FileSize()), 0, kScrollRange));
}

std::optional<int> THexView::KeyDown(THexKey key, int selectedLine) {
  return Guarded("THexView.FListBoxKeyDown", std::optional<int>{}, [&]() -> std::optional<int> {
    if (!stream_) return std::nullopt;
    const int64_t size = FileSize();
    const int last = std::max(static_cast<int>(lines_.size()) - 1, 0);
    const int64_t page = int64_t{kBytesPerLine} * lineCount_;
    switch (key) {
      case THexKey::Up:
        if (selectedLine != 0) return std::nullopt;
        RefreshFileData(std::max<int64_t>(current_ - kBytesPerLine, 0));
        return 0;
      case THexKey::Down:
        if (selectedLine != last) return std::nullopt;
        RefreshFileData(std::min(current_ + kBytesPerLine, size - 1));
        return static_cast<int>(lines_.size()) - 1;
      case THexKey::PageUp:
        if (selectedLine != 0) return std::nullopt;
        RefreshFileData(std::max<int64_t>(current_ - page, 0));
        return 0;
      case THexKey::PageDown:
        if (selectedLine != last) return std::nullopt;
        RefreshFileData(std::min(current_ + page, size - 1));
        return static_cast<int>(lines_.size()) - 1;
      case THexKey::Home:
        RefreshFileData(0);
        return 0;
      case THexKey::End:
        RefreshFileData(size - 1);
        return static_cast<int>(lines_.size()) - 1;
    }
    return std::nullopt;
  });
}

std::optional<int> THexView::Scroll(THexScroll action, int position, int selectedLine) {
  return Guarded("THexView.CustomScrollEvent", std::optional<int>{}, [&]() -> std::optional<int> {
    if (!stream_) return std::nullopt;
    const int64_t size = FileSize();
    const int last = std::max(static_cast<int>(lines_.size()) - 1, 0);
    const int64_t page = int64_t{kBytesPerLine} * lineCount_;
    switch (action) {
      case THexScroll::LineUp:
        if (selectedLine > 0) return selectedLine - 1;
        RefreshFileData(std::max<int64_t>(current_ - kBytesPerLine, 0));
        return 0;
      case THexScroll::LineDown:
        if (selectedLine < last) return selectedLine + 1;
        RefreshFileData(std::min(current_ + kBytesPerLine, size - 1));
        return static_cast<int>(lines_.size()) - 1;
      case THexScroll::PageUp:
        if (selectedLine > 0) return 0;
        RefreshFileData(std::max<int64_t>(current_ - page, 0));
        return 0;
      case THexScroll::PageDown:
        if (selectedLine < last) return last;
        RefreshFileData(std::min(current_ + page, size - 1));
        return static_cast<int>(lines_.size()) - 1;
      case THexScroll::ThumbTrack:
        RefreshFileData(std::min(ScaleRounded(size, position, kScrollRange), size - 1));
        return std::max(selectedLine, 0);
      case THexScroll::Other:
        break;
    }
    return std::nullopt;
  });
}

std::array<bool, THexView::kBytesPerLine> THexView::HighlightedBytes(int line) const {
  std::array<bool, kBytesPerLine> marked{};
  if (line < 0 || line >= static_cast<int>(lines_.size())) return marked;
  const int64_t lineStart = firstLine_ + int64_t{line} * kBytesPerLine;
  for (const TSpan& span : highlight_) {
    const int64_t first = span.offset * 8 + span.bit;
    const int64_t end = first + span.bits;
    for (int b = 0; b < kBytesPerLine; ++b) {
      const int64_t byteBits = (lineStart + b) * 8;
      if (byteBits < end && first < byteBits + 8) marked[static_cast<size_t>(b)] = true;
    }
  }
  return marked;
}

bool THexView::Shows(int64_t offset) const {
  return !lines_.empty() && offset >= firstLine_ &&
         offset < firstLine_ + static_cast<int64_t>(lines_.size()) * kBytesPerLine;
}

}  // namespace tessaro
