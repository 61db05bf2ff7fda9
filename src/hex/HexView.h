// THexView: the hex dump of the open file in the main window's bottom panel,
// without the widgets: the lines shown for an offset, the keys and the scroll
// bar that move through the whole file, and which bytes of the lines shown a
// selected field or packet covers. It reads the file through a handle of its
// own and only one screenful at a time, whatever the file size.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/FieldPositions.h"
#include "core/FileStream.h"

namespace tessaro {

// One string per 16 bytes: the hex part (two upper-case digits and a blank a
// byte, padded to 50 characters), then one character a byte (0x00 to 0x13 as
// "."). False when count < 1 or a pointer is missing.
bool MemToStrLines2(const uint8_t* bytes, int64_t count, std::vector<std::string>& strings);

enum class THexKey : uint8_t { Up, Down, PageUp, PageDown, Home, End };
enum class THexScroll : uint8_t { LineUp, LineDown, PageUp, PageDown, ThumbTrack, Other };

class THexView {
 public:
  static constexpr int kBytesPerLine = 16;
  static constexpr int kScrollRange = 100000;
  // Where a line's hex and character parts start in its text.
  static constexpr int kHexColumn = 2 + 16 + 3;
  static constexpr int kCharColumn = kHexColumn + 50;

  // Closes the file, when one is open, and opens path read-only; the view
  // then shows offset 0. False when the file cannot be opened.
  bool OpenFile(const std::string& path);
  void CloseFile();
  bool IsOpen() const { return stream_ != nullptr; }
  int64_t FileSize() const;

  // How many lines the list shows (at least 1).
  void SetLineCount(int lines) { lineCount_ = std::max(lines, 1); }
  int LineCount() const { return lineCount_; }

  // Shows the file from the line that holds offset (a negative offset: the
  // current one). False, and nothing changes, without a file or when the
  // offset is not below the file size.
  bool RefreshFileData(int64_t offset);
  // The lines shown: "0x", 16 hex digits of the line's offset, three blanks,
  // the hex part and the character part.
  const std::vector<std::string>& Lines() const { return lines_; }
  int64_t FirstLineOffset() const { return firstLine_; }
  int64_t CurrentOffset() const { return current_; }
  // The scroll bar's position for the current offset: 0 to 100,000.
  int ScrollPosition() const;

  // A key in the list with selectedLine selected: the line to select after
  // the view moved, or nullopt when the list moves its selection itself.
  std::optional<int> KeyDown(THexKey key, int selectedLine);
  // A scroll-bar event (position: the thumb's for ThumbTrack): the line to
  // select afterwards, or nullopt when nothing happens.
  std::optional<int> Scroll(THexScroll action, int position, int selectedLine);

  // The bits to show as selected: a field's spans, or a packet's.
  void SetHighlight(TSpans spans) { highlight_ = std::move(spans); }
  const TSpans& Highlight() const { return highlight_; }
  // Which of the 16 bytes of a shown line the highlight touches (a field
  // narrower than a byte marks its byte).
  std::array<bool, kBytesPerLine> HighlightedBytes(int line) const;
  // Whether the byte at offset is on one of the lines shown.
  bool Shows(int64_t offset) const;

 private:
  std::unique_ptr<TFileStream> stream_;
  int lineCount_ = 1;
  int64_t current_ = 0;
  int64_t firstLine_ = 0;
  std::vector<std::string> lines_;
  std::vector<uint8_t> buffer_;
  TSpans highlight_;
};

}  // namespace tessaro
