// What the PSI and SI agreement tests share: the notation of descriptor loops
// in the expectation files, and the table the decode tree shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "browser/StreamBrowser.h"
#include "core/TextHelpers.h"
#include "descriptors/DescriptorRegistry.h"
#include "support/TreeText.h"

namespace tessaro::test {

inline std::string Hex(uint64_t value, int digits) { return "0x" + HexDigits(value, digits); }

// "L:TT/L,..." for a loop whose length field is loopLength. A loop of length
// 0 is not parsed (its list keeps what it held) and shows no descriptor.
inline std::string LoopText(int32_t loopLength, const TDescriptorList* list) {
  std::vector<std::string> items;
  for (int32_t i = 0; loopLength > 0 && list != nullptr && i < list->Count(); ++i) {
    const TDescriptorRecord* record = list->Record(i);
    items.push_back(HexDigits(list->Tag(i), 2) + "/" +
                    std::to_string(record != nullptr ? record->descriptor_length : 9999u));
  }
  return std::to_string(loopLength) + ":" + Join(items, ',');
}

// An expected "...L:TT/L,..." cut before the first tag the given loops do not
// decode: the list walk ends there.
inline std::string DecodableLoop(const std::string& field, TDescriptorLists loops) {
  const size_t colon = field.find(':');
  if (colon == std::string::npos || colon + 1 == field.size()) return field;
  std::vector<std::string> kept;
  for (const std::string& item : Split(field.substr(colon + 1), ',')) {
    const TDescriptorEntry& row = FindDescriptor(static_cast<uint8_t>(std::stoul(item.substr(0, 2), nullptr, 16)));
    if (!row.AcceptedBy(loops) || !row.Decoded()) break;
    kept.push_back(item);
  }
  return field.substr(0, colon + 1) + Join(kept, ',');
}

// The same for each entry of a list joined by ";".
inline std::string DecodableEntries(const std::string& entries, TDescriptorLists loops) {
  std::vector<std::string> kept;
  for (const std::string& entry : Split(entries, ';')) kept.push_back(DecodableLoop(entry, loops));
  return Join(kept, ';');
}

// The table group the decode tree shows under "PSI", or null.
inline const TTreeNode* TreeTable(const TStreamBrowser& browser) {
  if (browser.Tree().children.empty()) return nullptr;
  for (const auto& node : browser.Tree().children.front()->children)
    if (node->text == "PSI")
      for (const auto& child : node->children)
        if (!child->children.empty()) return child.get();
  return nullptr;
}

inline std::string TreeTableName(const TStreamBrowser& browser) {
  const TTreeNode* table = TreeTable(browser);
  return table != nullptr ? table->text : "";
}

}  // namespace tessaro::test
