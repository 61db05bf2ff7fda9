// The update check as a module of its own (TessaroUpdate.so) for tessaro-cli:
// the program loads it only for `version --check-update`, so that no other
// command starts the network and toolkit libraries. The module runs the
// window's own check (TPublishedVersionFetch) in an event loop of its own.
#pragma once

namespace tessaro {

inline constexpr const char* kUpdateModuleFile = "TessaroUpdate.so";
inline constexpr const char* kUpdateModuleEntry = "TessaroNewerPublishedVersion";
inline constexpr const char* kUpdateCheckEntry = "TessaroCheckPublishedVersion";

// The first entry, kept for programs built before the second: 1 with the
// published version's text in version[0..size) when it is newer than the
// executable's own, 0 when it is not (or there is no answer), -1 when the
// arguments cannot be used.
using TNewerPublishedVersion = int (*)(const char* executable, char* version, int size);

// The entry that tells a failed check from one that found nothing newer: as
// the first, and kCheckFailed with the reason in reason[0..reasonSize) (cut to
// fit) when the list could not be fetched or read.
inline constexpr int kCheckFailed = -2;
using TCheckPublishedVersion = int (*)(const char* executable, char* version, int versionSize, char* reason,
                                       int reasonSize);

}  // namespace tessaro
