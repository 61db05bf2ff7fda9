// TValidatorModule: a validation module loaded at run time. It finds the
// module file, loads the library, calls its GetMediaValidatorControl, takes
// the module's name and its report source and extra interfaces, and hands it
// the sink its findings go to; unloading releases the interfaces and frees
// the library.
#pragma once

#include <string>

#include "validation/MediaValidatorContract.h"

namespace tessaro {

inline constexpr const char* kValidatorModuleFile = "Pelvanor.pvm";

// The module beside the executable, else in the installed module folder
// (../lib/tessaro/ from the executable's folder); empty when neither exists.
std::string FindValidatorModule(const std::string& executableFolder);

class TValidatorModule {
 public:
  TValidatorModule() = default;
  ~TValidatorModule() { Unload(); }
  TValidatorModule(const TValidatorModule&) = delete;
  TValidatorModule& operator=(const TValidatorModule&) = delete;

  // False with the reason when the module cannot be used: its file is
  // missing, the library does not load, it lacks the export, the export or
  // the sink hand-over fails. Nothing stays loaded then.
  bool Load(const std::string& path, IMediaValidatorReportSink* sink, std::string& reason);
  void Unload();

  bool IsLoaded() const { return control_ != nullptr; }
  IMediaValidatorControl* Control() const { return control_; }
  // The module's own name, as the window shows it.
  const std::string& Name() const { return name_; }

 private:
  void* library_ = nullptr;
  IMediaValidatorControl* control_ = nullptr;
  IMediaValidatorExtra* extra_ = nullptr;
  IMediaValidatorReportSource* source_ = nullptr;
  std::string name_;
};

}  // namespace tessaro
