#include "validation/ValidatorControlBase.h"

#include <algorithm>
#include <utility>

#include "core/Diagnostics.h"
#include "validation/ReportNames.h"

namespace tessaro {

TValidatorControlBase::TValidatorControlBase(int32_t moduleId, std::wstring name)
    : moduleId_(moduleId), name_(std::move(name)) {}

TValidatorControlBase::~TValidatorControlBase() {
  StopWorker();
  if (sink_ != nullptr) sink_->Release();
}

HRESULT TValidatorControlBase::QueryInterface(const TGUID& iid, void** object) {
  if (object == nullptr) return kHResultPointer;
  if (iid == IID_IUnknown || iid == IID_IMediaValidatorControl) {
    *object = static_cast<IMediaValidatorControl*>(this);
  } else if (iid == IID_IMediaValidatorReportSource) {
    *object = static_cast<IMediaValidatorReportSource*>(this);
  } else if (iid == IID_IMediaValidatorExtra) {
    *object = static_cast<IMediaValidatorExtra*>(this);
  } else if (iid == IID_IMediaValidatorRunState) {
    *object = static_cast<IMediaValidatorRunState*>(this);
  } else {
    *object = nullptr;
    return kHResultNoInterface;
  }
  AddRef();
  return kHResultOk;
}

uint32_t TValidatorControlBase::AddRef() { return ++references_; }

uint32_t TValidatorControlBase::Release() {
  const uint32_t left = --references_;
  if (left == 0) {
    // The derived object's members are still there while its run is stopped.
    StopWorker();
    CloseMedia();
    delete this;
  }
  return left;
}

HRESULT TValidatorControlBase::GetValidatorName(const wchar_t** name) {
  if (name == nullptr) return kHResultPointer;
  *name = name_.c_str();
  return kHResultOk;
}

HRESULT TValidatorControlBase::SetMediaFile(const char* fileName) {
  const std::lock_guard<std::mutex> hold(control_);
  if (fileName == nullptr) return kHResultPointer;
  if (Running()) return kHResultFail;
  CloseMedia();
  hasMedia_ = Guarded("TValidatorControlBase.SetMediaFile", false, [&] { return OpenMedia(fileName); });
  return hasMedia_ ? kHResultOk : kHResultFail;
}

HRESULT TValidatorControlBase::ReleaseMediaFile() {
  const std::lock_guard<std::mutex> hold(control_);
  StopWorker();
  CloseMedia();
  hasMedia_ = false;
  return kHResultOk;
}

HRESULT TValidatorControlBase::Start() {
  const std::lock_guard<std::mutex> hold(control_);
  if (Running() || !hasMedia_) return kHResultFail;
  StopWorker();  // a run that ended by itself
  cancel_ = false;
  finished_ = false;
  progress_ = 0;
  bytesRead_ = -1;
  startSize_ = -1;
  worker_ = std::thread([this] {
    const bool completed = Guarded("TValidatorControlBase.Validate", false, [this] {
      Validate(cancel_);
      return true;
    });
    // A run cut short by a failure says so rather than passing for a whole one.
    if (!completed) Report(kReportError, "Validation ended early: internal error.");
    finished_ = true;
    if (!cancel_) progress_ = 100;
  });
  return kHResultOk;
}

HRESULT TValidatorControlBase::Stop() {
  const std::lock_guard<std::mutex> hold(control_);
  StopWorker();
  return kHResultOk;
}

HRESULT TValidatorControlBase::GetProgress(double* percent) {
  if (percent == nullptr) return kHResultPointer;
  *percent = progress_;
  return kHResultOk;
}

HRESULT TValidatorControlBase::SetReportSink(IMediaValidatorReportSink* sink) {
  const std::lock_guard<std::mutex> hold(control_);
  if (Running()) return kHResultFail;
  if (sink != nullptr) sink->AddRef();
  if (sink_ != nullptr) sink_->Release();
  sink_ = sink;
  return kHResultOk;
}

HRESULT TValidatorControlBase::GetMediaRead(int64_t* bytesRead, int64_t* startSize) {
  if (bytesRead == nullptr || startSize == nullptr) return kHResultPointer;
  const std::lock_guard<std::mutex> hold(control_);
  if (Running() || bytesRead_ < 0) return kHResultFail;
  *bytesRead = bytesRead_;
  *startSize = startSize_;
  return kHResultOk;
}

void TValidatorControlBase::SetMediaRead(int64_t bytesRead, int64_t startSize) {
  bytesRead_ = bytesRead;
  startSize_ = startSize;
}

void TValidatorControlBase::SetProgress(double percent) { progress_ = std::clamp(percent, 0.0, kRunningProgressLimit); }

void TValidatorControlBase::Report(int32_t moduleId, int32_t reportType, const std::string& message) const {
  if (sink_ != nullptr) sink_->Report(moduleId, reportType, WideFromLatin1(message).c_str());
}

void TValidatorControlBase::StopWorker() {
  if (!worker_.joinable()) return;
  cancel_ = true;
  worker_.join();
}

}  // namespace tessaro
