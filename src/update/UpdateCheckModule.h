// The update check as a module of its own (TessaroUpdate.so) for tessaro-cli:
// the program loads it only for `version --check-update`, so that no other
// command starts the network and toolkit libraries. The module runs the
// window's own check (TPublishedVersionFetch) in an event loop of its own.
#pragma once

namespace tessaro {

inline constexpr const char* kUpdateModuleFile = "TessaroUpdate.so";
inline constexpr const char* kUpdateModuleEntry = "TessaroNewerPublishedVersion";

// The entry: 1 with the published version's text in version[0..size) when it
// is newer than the executable's own, 0 when it is not (or there is no
// answer), -1 when the arguments cannot be used.
using TNewerPublishedVersion = int (*)(const char* executable, char* version, int size);

}  // namespace tessaro
