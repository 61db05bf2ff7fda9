// Pelvanor.pvm: the MPEG-2 TS Validator (module id 4). The thin shell of the
// module contract around the stream checker: the file is opened and its
// packet slots found on SetMediaFile, the checks run on the module's thread
// after Start with the settings of the module's own dialog, the progress is
// the share of the file's bytes done, and Stop cancels the scan within one
// block read. A run that could not read the whole file says so through the
// run state interface as well as in its findings. The settings dialog is a library of its own, loaded when it is
// asked for (ValidatorSettingsDialog.h).
#include <dlfcn.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "ValidatorSettings.h"
#include "core/Diagnostics.h"
#include "core/FileStream.h"
#include "core/PacketScanner.h"
#include "core/PacketSizeProbe.h"
#include "validation/ReportNames.h"
#include "validation/StreamChecker.h"
#include "validation/ValidatorControlBase.h"

namespace tessaro {
namespace {

// PelvanorSettings.so in the module's own folder.
std::string SettingsLibraryPath() {
  Dl_info self{};
  if (::dladdr(reinterpret_cast<void*>(&SettingsLibraryPath), &self) == 0 || self.dli_fname == nullptr) return {};
  return (std::filesystem::path(self.dli_fname).parent_path() / "PelvanorSettings.so").string();
}

// Reads of half a megabyte: a block stays in the processor's cache while it
// is checked.
constexpr int64_t kBlock = 512 * 1024;

class TMPEGTSValidatorControl final : public TValidatorControlBase {
 public:
  TMPEGTSValidatorControl() : TValidatorControlBase(kMPEG2TSValidatorId, L"MPEG-2 TS Validator") {}

  HRESULT ShowSettings(intptr_t /*ownerWindow*/) override {
    return Guarded("TMPEGTSValidatorControl.ShowSettings", kHResultFail, [] {
      using TEditSettings = bool (*)(TCheckSettings*);
      // Never unloaded: the toolkit keeps hold of what the dialog registered.
      void* library = ::dlopen(SettingsLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
      auto* edit =
          library != nullptr ? reinterpret_cast<TEditSettings>(::dlsym(library, "PelvanorEditSettings")) : nullptr;
      if (edit == nullptr) {
        DebugOutput("zrk: Error in TMPEGTSValidatorControl.ShowSettings - cannot load " + SettingsLibraryPath() + ".");
        return kHResultFail;
      }
      TCheckSettings settings = LoadValidatorSettings();
      if (edit(&settings) && !SaveValidatorSettings(settings)) {
        DebugOutput("zrk: Error in TMPEGTSValidatorControl.ShowSettings - cannot save " + ValidatorSettingsPath() +
                    ".");
        return kHResultFail;
      }
      return kHResultOk;
    });
  }

 protected:
  bool OpenMedia(const std::string& fileName) override {
    int32_t packetSize = 0;
    int32_t start = 0;
    if (!IsTS(fileName, packetSize, start)) return false;
    stream_ = TFileStream::Open(fileName, TFileStream::Mode::Read);
    packetSize_ = packetSize;
    start_ = start;
    return stream_ != nullptr;
  }

  void CloseMedia() override { stream_.reset(); }

  void Validate(const std::atomic<bool>& cancel) override {
    if (!stream_) return;
    TPacketScanner scanner(kBlock);
    scanner.SetCancel(&cancel);
    scanner.SetProgress([this](int64_t done, int64_t total) {
      SetProgress(total > 0 ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 0.0);
    });
    TStreamChecker checker(LoadValidatorSettings(),
                           [this](int32_t type, const std::string& message) { Report(type, message); });
    checker.Check(*stream_, packetSize_, start_, scanner);
    SetMediaRead(checker.BytesRead(), checker.StartSize());
  }

 private:
  std::unique_ptr<TFileStream> stream_;
  int32_t packetSize_ = 188;
  int32_t start_ = 0;
};

}  // namespace
}  // namespace tessaro

extern "C" __attribute__((visibility("default"))) tessaro::HRESULT GetMediaValidatorControl(
    tessaro::IMediaValidatorControl** control) {
  if (control == nullptr) return tessaro::kHResultPointer;
  *control = tessaro::Guarded("GetMediaValidatorControl", static_cast<tessaro::IMediaValidatorControl*>(nullptr),
                              [] { return new tessaro::TMPEGTSValidatorControl; });
  return *control != nullptr ? tessaro::kHResultOk : tessaro::kHResultFail;
}
