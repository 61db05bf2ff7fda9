// Where the user stands in the open stream: the packet slot that holds a
// byte, packet numbers and counts, the text Search > Go To Offset reads, and
// the texts the window's status bar shows. Packets are counted from 1 in
// slots of the packet size from the first sync byte.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

// The stream's layout as these routines need it.
struct TSlotLayout {
  int64_t fileSize = 0;
  int32_t packetSize = 188;
  int32_t startOffset = 0;
};

// Whole packets in the file: slots whose 188 bytes are all there (a last
// slot cut short after its packet counts).
int64_t PacketCount(const TSlotLayout& layout);
// The number of the slot that holds the byte at offset (1 before the first sync byte).
int64_t PacketNumber(const TSlotLayout& layout, int64_t offset);
// The offset of the slot that holds the byte at offset.
int64_t PacketSlotOf(const TSlotLayout& layout, int64_t offset);

// What Go To Offset reads from its input box: the offset of the packet slot
// to select, or the message that says why there is none.
struct TGoToTarget {
  int64_t offset = -1;
  std::string message;
};
// "0x" and hex digits or decimal digits: a byte offset; "#" and digits: a
// packet number. Blanks around the text are passed over.
TGoToTarget ReadGoToText(const std::string& text, const TSlotLayout& layout);

// 5678901 as "5,678,901".
std::string GroupDigits(int64_t value);
// "188-byte packets".
std::string SlotSizeText(int32_t packetSize);
// "packet 12,345 of 5,678,901".
std::string PacketPositionText(const TSlotLayout& layout, int64_t offset);
// "1,234,567 bytes".
std::string FileSizeText(int64_t fileSize);
// A page load that found no packet pattern at offset and kept the rows shown.
std::string KeptPageText(int64_t offset);

}  // namespace tessaro
