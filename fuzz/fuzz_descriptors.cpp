// Arbitrary bytes as one descriptor loop, walked and shown by both descriptor
// lists; and the same bytes handed to every systems parse routine directly,
// as the CAT decoder hands its loop to Parse_CA_descriptor.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzFile.h"
#include "core/Diagnostics.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorRegistry.h"
#include "descriptors/Descriptors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  const auto length = static_cast<int32_t>(std::min<size_t>(size, 1 << 20));

  tessaro::Tdescriptors programLoop;
  tessaro::TDVBdescriptors siLoop;
  for (tessaro::TDescriptorList* list :
       {static_cast<tessaro::TDescriptorList*>(&programLoop), static_cast<tessaro::TDescriptorList*>(&siLoop)}) {
    list->ParseDescriptors(data, length);
    tessaro::TTreeNode root("descriptors");
    list->TreeViewUpdateDescriptors(root);
  }

  for (int tag = 0; tag < 256; ++tag) {
    const tessaro::TDescriptorEntry& row = tessaro::FindDescriptor(static_cast<uint8_t>(tag));
    if (row.tag != tag || row.parseSystems == nullptr) continue;
    auto record = row.create();
    if (row.parseSystems(data, length, *record)) {
      tessaro::TTreeNode root;
      row.display(root, *record);
    }
  }
  return 0;
}
