// TValidatorControlBase: what every validation module built here shares. It
// implements the control, report source, extra and run state interfaces of
// the module contract (reference counting, interface ids, the sink), runs the
// module's Validate on a thread of its own after Start, stops it promptly on
// Stop and keeps the progress below 100 until the run has ended, so the window
// never takes a run for finished before its last report is in. A module derives
// from it, opens and closes its media and validates.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "validation/MediaValidatorContract.h"

namespace tessaro {

class TValidatorControlBase : public IMediaValidatorControl,
                              public IMediaValidatorReportSource,
                              public IMediaValidatorExtra,
                              public IMediaValidatorRunState {
 public:
  // The progress shown while a run is going on never reaches this.
  static constexpr double kRunningProgressLimit = 99.98;

  TValidatorControlBase(int32_t moduleId, std::wstring name);
  virtual ~TValidatorControlBase();
  TValidatorControlBase(const TValidatorControlBase&) = delete;
  TValidatorControlBase& operator=(const TValidatorControlBase&) = delete;

  HRESULT QueryInterface(const TGUID& iid, void** object) override;
  uint32_t AddRef() override;
  // The last release stops the run before the object goes.
  uint32_t Release() override;

  HRESULT GetValidatorName(const wchar_t** name) override;
  HRESULT SetMediaFile(const char* fileName) override;
  HRESULT ReleaseMediaFile() override;
  HRESULT ReservedSlot6() override { return kHResultNotImplemented; }
  HRESULT ReservedSlot7() override { return kHResultNotImplemented; }
  HRESULT Start() override;
  HRESULT Stop() override;
  HRESULT GetProgress(double* percent) override;
  HRESULT ShowSettings(intptr_t ownerWindow) override { return kHResultNotImplemented; }

  // Refused while a run is going on; null takes the sink back.
  HRESULT SetReportSink(IMediaValidatorReportSink* sink) override;

  // What the last run told with SetMediaRead; kHResultFail when it told nothing.
  HRESULT GetMediaRead(int64_t* bytesRead, int64_t* startSize) override;

 protected:
  // SetMediaFile: false when the file cannot be validated.
  virtual bool OpenMedia(const std::string& fileName) = 0;
  virtual void CloseMedia() = 0;
  // The run, on the module's thread; returns soon after cancel is set.
  virtual void Validate(const std::atomic<bool>& cancel) = 0;

  // The progress of the run in percent (held below kRunningProgressLimit).
  void SetProgress(double percent);
  // Where the bytes the run read end, and the file's size when it started.
  void SetMediaRead(int64_t bytesRead, int64_t startSize);
  // Sends a finding to the sink, from any thread of the run.
  void Report(int32_t reportType, const std::string& message) const { Report(moduleId_, reportType, message); }
  // The same under another module id (a module may speak for several).
  void Report(int32_t moduleId, int32_t reportType, const std::string& message) const;
  int32_t ModuleId() const { return moduleId_; }

 private:
  bool Running() const { return worker_.joinable() && !finished_; }
  void StopWorker();

  const int32_t moduleId_;
  const std::wstring name_;
  std::atomic<uint32_t> references_{1};
  // Start, Stop, the file and the sink change under this lock.
  std::mutex control_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};  // the run's thread has made its last report
  std::atomic<double> progress_{0};
  // Written by the run's thread, read once it has finished; -1: not told.
  int64_t bytesRead_ = -1;
  int64_t startSize_ = -1;
  bool hasMedia_ = false;
  // Set only while no run is going on, so the run's threads read it freely.
  IMediaValidatorReportSink* sink_ = nullptr;
};

}  // namespace tessaro
