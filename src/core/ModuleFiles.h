// Where the programs find the modules they load at run time: beside the
// executable first, then in the installed module folder (../lib/tessaro/
// from the executable's folder).
#pragma once

#include <string>

namespace tessaro {

// The folder of the running executable; empty when it cannot be told.
std::string ExecutableFolder();
// fileName beside the executable's folder, else in the installed module
// folder; empty when neither holds it.
std::string FindModuleFile(const std::string& executableFolder, const std::string& fileName);

}  // namespace tessaro
