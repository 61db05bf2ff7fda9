#include "hex/HexEdit.h"

#include <algorithm>
#include <cstring>

#include "core/Diagnostics.h"
#include "core/TextHelpers.h"

namespace tessaro {
namespace {

constexpr const char* kReadOnly = "The file is read-only and cannot be edited.";
constexpr const char* kFileChanged = "The file has changed since the dialog opened. Nothing was saved.";

bool IsHexDigitOrBlank(char c) { return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

std::string OffsetHex(int64_t offset) { return "0x" + HexDigits(static_cast<uint64_t>(offset), 16); }

// "at 0x..., 0x... and 0x..." for the offsets of the bytes written.
std::string WrittenText(const std::vector<int64_t>& written) {
  if (written.empty()) return "No byte was written.";
  std::string text =
      written.size() == 1 ? "The byte written before it stays written: " : "The bytes written before it stay written: ";
  for (size_t i = 0; i < written.size(); ++i) text += (i > 0 ? ", " : "") + OffsetHex(written[i]);
  return text + ".";
}

// "Cannot write to the file: " and the system's reason for error.
std::string CannotWrite(int error) { return std::string("Cannot write to the file: ") + std::strerror(error) + ". "; }

}  // namespace

bool THexEditModel::Load(const TFileStream& stream, int64_t start, int64_t length) {
  return Guarded("THexEditForm.FormShow", false, [&] {
    start_ = std::max<int64_t>(start, 0);
    length_ = std::max<int64_t>(length, 0);
    fileSize_ = stream.Size();
    changed_.clear();
    initial_.assign(static_cast<size_t>(length_), 0);
    const int64_t n = stream.ReadAt(start_, initial_.data(), length_);
    initial_.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
    texts_.clear();
    for (const uint8_t byte : initial_) texts_.push_back(ByteToHexStr(byte));
    return true;
  });
}

bool THexEditModel::HoldsByte(int column, int row) const {
  return row >= 1 && column >= 1 && column <= 16 && Index(column, row) < static_cast<int>(texts_.size());
}

std::string THexEditModel::CellText(int column, int row) const {
  if (row < 1 || row >= RowCount()) return {};
  if (column == 0) return OffsetHex(start_ + int64_t{row - 1} * 16);
  if (column == kCharColumn) {
    std::string chars;
    for (int c = 1; c <= 16 && HoldsByte(c, row); ++c) {
      const std::string& text = texts_[static_cast<size_t>(Index(c, row))];
      chars += DumpChar(static_cast<uint8_t>(std::stoul(text, nullptr, 16)));
    }
    return chars;
  }
  return HoldsByte(column, row) ? texts_[static_cast<size_t>(Index(column, row))] : std::string();
}

bool THexEditModel::Selectable(int column, int row) const {
  if (!HoldsByte(column, row)) return false;
  const std::string& text = texts_[static_cast<size_t>(Index(column, row))];
  return !text.empty() && text != "  ";
}

std::string THexEditModel::SetEditText(int column, int row, const std::string& typed) {
  if (!HoldsByte(column, row)) return {};
  std::string text = typed.substr(0, 2);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  text.resize(2, ' ');
  if (text == "  " || !IsHexDigitOrBlank(text[0])) {
    text = "00";
  } else if (!IsHexDigitOrBlank(text[1])) {
    text[1] = '0';
  }
  // A half-typed byte reads as it will show: "5 " is 0x50, " 5" is 0x05.
  if (text[0] == ' ') text[0] = '0';
  if (text[1] == ' ') text[1] = '0';
  texts_[static_cast<size_t>(Index(column, row))] = text;
  AddChangedCell(column, row, static_cast<uint8_t>(std::stoul(text, nullptr, 16)));
  return text;
}

void THexEditModel::TidyCell(int column, int row) {
  if (!HoldsByte(column, row)) return;
  std::string& text = texts_[static_cast<size_t>(Index(column, row))];
  if (!text.empty() && text != "  " && text[0] == ' ') text[0] = '0';
}

void THexEditModel::AddChangedCell(int column, int row, uint8_t value) {
  GuardedVoid("THexEditForm.AddChangedCell", [&] {
    const int index = GetChangedCellIndex(column, row);
    const bool differs = value != GetOriginalValue(column, row);
    if (index < 0) {
      if (differs) changed_.push_back({column, row, value});
    } else if (differs) {
      changed_[static_cast<size_t>(index)].value = value;
    } else {
      changed_.erase(changed_.begin() + index);
    }
  });
}

int THexEditModel::GetChangedCellIndex(int column, int row) const {
  for (size_t i = 0; i < changed_.size(); ++i)
    if (changed_[i].column == column && changed_[i].row == row) return static_cast<int>(i);
  return -1;
}

uint8_t THexEditModel::GetOriginalValue(int column, int row) const {
  const int index = Index(column, row);
  return index >= 0 && index < static_cast<int>(initial_.size()) ? initial_[static_cast<size_t>(index)] : 0;
}

bool THexEditModel::FileAsLoaded(const TFileStream& stream) const {
  if (stream.Size() != fileSize_) return false;
  std::vector<uint8_t> now(initial_.size());
  const auto count = static_cast<int64_t>(now.size());
  return stream.ReadAt(start_, now.data(), count) == count && now == initial_;
}

THexSaveResult THexEditModel::SaveChanges(TFileStream& stream) const {
  return Guarded(
      "THexEditForm.SaveChanges", THexSaveResult{false, "The changes could not be saved."}, [&]() -> THexSaveResult {
        if (changed_.empty()) return {true, {}};
        if (!stream.IsWritable()) return {false, kReadOnly};
        // Bytes typed over what another program has changed since would
        // mix two edits: the user decided on the bytes shown.
        if (!FileAsLoaded(stream)) return {false, kFileChanged};
        std::vector<int64_t> written;
        for (const TChangedCell& cell : changed_) {
          const int64_t offset = start_ + Index(cell.column, cell.row);
          // Edits stay in place: a file cut short meanwhile is not extended.
          if (offset >= stream.Size()) {
            if (written.empty()) return {false, kFileChanged};
            return {false, "The file has changed while the changes were saved: it now ends before offset " +
                               OffsetHex(offset) + ". " + WrittenText(written)};
          }
          if (!stream.WriteAt(offset, &cell.value, 1))
            return {false, CannotWrite(stream.LastError()) + "The byte at offset " + OffsetHex(offset) +
                               " could not be written. " + WrittenText(written)};
          written.push_back(offset);
        }
        if (!stream.Flush())
          return {false, CannotWrite(stream.LastError()) + "The changes could not be flushed to the disk. " +
                             WrittenText(written)};
        // What the disk holds now, byte by byte.
        for (const TChangedCell& cell : changed_) {
          const int64_t offset = start_ + Index(cell.column, cell.row);
          uint8_t back = 0;
          if (stream.ReadAt(offset, &back, 1) != 1 || back != cell.value)
            return {false, "The byte at offset " + OffsetHex(offset) + " reads back as " + ByteToHexStr(back) +
                               ", not as the " + ByteToHexStr(cell.value) + " written."};
        }
        return {true, {}};
      });
}

}  // namespace tessaro
