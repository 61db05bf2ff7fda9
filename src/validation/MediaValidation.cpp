#include "validation/MediaValidation.h"

#include <cmath>
#include <cstdio>

#include "core/Diagnostics.h"
#include "core/SafeReplace.h"
#include "validation/ReportNames.h"
#include "validation/ReportXML.h"

namespace tessaro {

HRESULT TMediaValidation::QueryInterface(const TGUID& iid, void** object) {
  if (object == nullptr) return kHResultPointer;
  if (iid == IID_IUnknown || iid == IID_IMediaValidatorReportSink) {
    *object = static_cast<IMediaValidatorReportSink*>(this);
    AddRef();
    return kHResultOk;
  }
  *object = nullptr;
  return kHResultNoInterface;
}

HRESULT TMediaValidation::Report(int32_t moduleId, int32_t reportType, const wchar_t* message) {
  return Guarded("TMediaValidationForm.Report", kHResultFail, [&] {
    reports_.Add({moduleId, reportType, Latin1FromWide(message)});
    return kHResultOk;
  });
}

bool TMediaValidation::LoadPlugin(const std::string& modulePath) {
  return Guarded("TMediaValidationForm.LoadPlugin", false, [&] {
    loadError_.clear();
    if (module_.Load(modulePath, this, loadError_)) return true;
    DebugOutput("zrk: Error in TMediaValidationForm.LoadPlugin - " + loadError_);
    return false;
  });
}

void TMediaValidation::UnloadPlugin() {
  GuardedVoid("TMediaValidationForm.UnloadPlugin", [&] { module_.Unload(); });
}

bool TMediaValidation::StartValidation(const std::string& mediaFileName) {
  return Guarded("TMediaValidationForm.StartValidation", false, [&] {
    reports_.Clear();
    mediaFileName_ = mediaFileName;
    IMediaValidatorControl* control = module_.Control();
    if (control == nullptr || !Succeeded(control->SetMediaFile(mediaFileName.c_str()))) {
      DebugOutput("zrk: Error in TMediaValidationForm.StartValidation - cannot validate file.");
      return false;
    }
    if (!Succeeded(control->Start())) {
      DebugOutput("zrk: Error in TMediaValidationForm.StartValidation - cannot start file validation.");
      return false;
    }
    return true;
  });
}

bool TMediaValidation::StopValidation() {
  return Guarded("TMediaValidationForm.StopValidation", false, [&] {
    IMediaValidatorControl* control = module_.Control();
    if (control == nullptr || !Succeeded(control->Stop())) {
      DebugOutput("zrk: Error in TMediaValidationForm.StopValidation - cannot stop file validation.");
      return false;
    }
    if (!Succeeded(control->ReleaseMediaFile())) {
      DebugOutput("zrk: Error in TMediaValidationForm.StopValidation - cannot unload file.");
      return false;
    }
    return true;
  });
}

std::optional<double> TMediaValidation::Progress() {
  IMediaValidatorControl* control = module_.Control();
  double progress = 0;
  if (control == nullptr || !Succeeded(control->GetProgress(&progress)) || !std::isfinite(progress))
    return std::nullopt;
  return progress;
}

std::optional<std::string> TMediaValidation::ReadShortfall() {
  IMediaValidatorControl* control = module_.Control();
  void* object = nullptr;
  // A module from before the run state interface answers no interface: nothing to tell.
  if (control == nullptr || !Succeeded(control->QueryInterface(IID_IMediaValidatorRunState, &object)) ||
      object == nullptr)
    return std::nullopt;
  auto* state = static_cast<IMediaValidatorRunState*>(object);
  int64_t read = 0;
  int64_t size = 0;
  const bool told = Succeeded(state->GetMediaRead(&read, &size));
  state->Release();
  if (!told || read >= size) return std::nullopt;
  return "only " + std::to_string(read) + " of " + std::to_string(size) + " bytes could be read";
}

bool TMediaValidation::IsFinished(double progress) { return std::fabs(progress - 100.0) <= 0.01; }

std::string TMediaValidation::ProgressText(double progress) {
  char text[64];
  std::snprintf(text, sizeof text, "Progress: %.2f%%", progress);
  return text;
}

bool TMediaValidation::ShowSettings() {
  IMediaValidatorControl* control = module_.Control();
  return control != nullptr && Succeeded(control->ShowSettings(0));
}

std::optional<std::string> TMediaValidation::SaveReportXML(const std::string& fileName) const {
  const std::optional<TFileIdentity> target = FileIdentityOf(fileName);
  if (target && target == FileIdentityOf(mediaFileName_)) return std::string(kOutputIsInput);
  return tessaro::SaveReportXML(fileName, mediaFileName_, reports_.Items());
}

}  // namespace tessaro
