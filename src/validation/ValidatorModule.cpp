#include "validation/ValidatorModule.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

#include "core/ModuleFiles.h"
#include "validation/ReportNames.h"

namespace tessaro {
namespace {

bool IsFile(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::string StatusText(HRESULT status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}

template <class Interface>
void ReleaseInterface(Interface*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

}  // namespace

std::string FindValidatorModule(const std::string& executableFolder) {
  return FindModuleFile(executableFolder, kValidatorModuleFile);
}

bool TValidatorModule::Load(const std::string& path, IMediaValidatorReportSink* sink, std::string& reason) {
  Unload();
  if (path.empty()) {
    reason = "no validation module (" + std::string(kValidatorModuleFile) + " was not found)";
    return false;
  }
  if (!IsFile(path)) {
    reason = "module file not found: " + path;
    return false;
  }
  // RTLD_LOCAL: the module's own copies of shared code stay its own.
  library_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library_ == nullptr) {
    const char* error = ::dlerror();
    reason = "cannot load " + path + ": " + (error != nullptr ? error : "unknown error");
    return false;
  }
  auto* get = reinterpret_cast<TGetMediaValidatorControl>(::dlsym(library_, kGetMediaValidatorControlName));
  if (get == nullptr) {
    reason = path + " does not export " + kGetMediaValidatorControlName;
    Unload();
    return false;
  }
  IMediaValidatorControl* control = nullptr;
  const HRESULT status = get(&control);
  if (!Succeeded(status) || control == nullptr) {
    reason = std::string(kGetMediaValidatorControlName) + " of " + path + " failed (status " + StatusText(status) +
             (control == nullptr ? ", no interface" : "") + ")";
    if (control != nullptr) control->Release();
    Unload();
    return false;
  }
  control_ = control;
  const wchar_t* name = nullptr;
  name_ = Succeeded(control_->GetValidatorName(&name)) ? DisplayedValidatorName(Latin1FromWide(name)) : "";
  void* extra = nullptr;
  if (Succeeded(control_->QueryInterface(IID_IMediaValidatorExtra, &extra)))
    extra_ = static_cast<IMediaValidatorExtra*>(extra);
  void* source = nullptr;
  if (!Succeeded(control_->QueryInterface(IID_IMediaValidatorReportSource, &source)) || source == nullptr) {
    reason = path + " has no report source interface";
    Unload();
    return false;
  }
  source_ = static_cast<IMediaValidatorReportSource*>(source);
  const HRESULT handed = source_->SetReportSink(sink);
  if (!Succeeded(handed)) {
    reason = path + " refused the report sink (status " + StatusText(handed) + ")";
    Unload();
    return false;
  }
  return true;
}

void TValidatorModule::Unload() {
  // The sink is taken back first: a module must not report into a window
  // that is going away.
  if (source_ != nullptr) source_->SetReportSink(nullptr);
  ReleaseInterface(source_);
  ReleaseInterface(extra_);
  ReleaseInterface(control_);
  name_.clear();
  if (library_ != nullptr) ::dlclose(library_);
  library_ = nullptr;
}

}  // namespace tessaro
