// THexEditModel: what the Hex Edit dialog shows and changes, without the
// widgets. A byte range of the open file, 16 bytes a grid row, the texts of
// the cells as the user types them, the cells whose byte differs from the
// file, and the write of those bytes back into the file in place.
//
// Grid coordinates are the dialog's: column 0 holds the row's offset,
// columns 1 to 16 the bytes, column 17 their characters; row 0 is an empty
// header row and data row r (from 1) holds the bytes at start + 16 * (r - 1).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/FileStream.h"

namespace tessaro {

struct TChangedCell {
  int32_t column = 0;
  int32_t row = 0;
  uint8_t value = 0;
};

// The outcome of writing the changes: ok, or the message for the user.
struct THexSaveResult {
  bool ok = true;
  std::string message;
};

class THexEditModel {
 public:
  static constexpr int kColumns = 18;
  static constexpr int kCharColumn = 17;

  // Reads length bytes from start (fewer at the end of the file).
  bool Load(const TFileStream& stream, int64_t start, int64_t length);

  int64_t Start() const { return start_; }
  // Grid rows, the header row included.
  int RowCount() const { return static_cast<int>((length_ + 15) / 16) + 1; }
  std::string CellText(int column, int row) const;
  // A cell that holds a byte (column 1 to 16, not empty); only these can be selected.
  bool Selectable(int column, int row) const;
  bool IsChanged(int column, int row) const { return GetChangedCellIndex(column, row) >= 0; }

  // The text typed into a byte cell ("1G", "G1", " 5", "5 " ...): the rules
  // turn it into two hex digits, the byte is recorded as changed when it
  // differs from the file, and the cell's new text is returned.
  std::string SetEditText(int column, int row, const std::string& text);
  // Leaving a cell: a blank first digit becomes "0".
  void TidyCell(int column, int row);

  void AddChangedCell(int column, int row, uint8_t value);
  int GetChangedCellIndex(int column, int row) const;
  uint8_t GetOriginalValue(int column, int row) const;
  const std::vector<TChangedCell>& ChangedCells() const { return changed_; }

  // Writes every changed byte in place, one at a time, then flushes the file
  // to the disk and reads the bytes back. Nothing is written when the stream
  // was opened for reading only, or when the file no longer has the size and
  // the bytes it had when Load read it (another program changed it); no
  // write goes past the file's end. A write that fails, or a byte that reads
  // back otherwise, ends with a message naming the system's reason, the
  // offset and the bytes that were written before it.
  THexSaveResult SaveChanges(TFileStream& stream) const;

 private:
  int Index(int column, int row) const { return (row - 1) * 16 + (column - 1); }
  bool HoldsByte(int column, int row) const;
  // True when the file still has the size and the loaded bytes of Load.
  bool FileAsLoaded(const TFileStream& stream) const;

  int64_t start_ = 0;
  int64_t length_ = 0;
  int64_t fileSize_ = -1;  // the file's size when Load read it
  std::vector<uint8_t> initial_;
  std::vector<std::string> texts_;  // the byte cells' texts, by index
  std::vector<TChangedCell> changed_;
};

}  // namespace tessaro
