// TMediaValidation: a validation run over one media file, as the "Media
// Validation" window drives it and the command line repeats it: the loaded
// module, the report list its findings go to (it is the module's report
// sink), starting and stopping, the progress poll and the XML report.
// Diagnostic lines name the window's routines, whose logic this is.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "validation/CustomReport.h"
#include "validation/MediaValidatorContract.h"
#include "validation/ValidatorModule.h"

namespace tessaro {

class TMediaValidation final : public IMediaValidatorReportSink {
 public:
  TMediaValidation() = default;
  ~TMediaValidation() { UnloadPlugin(); }
  TMediaValidation(const TMediaValidation&) = delete;
  TMediaValidation& operator=(const TMediaValidation&) = delete;

  // The sink's references are counted, but its owner frees it.
  HRESULT QueryInterface(const TGUID& iid, void** object) override;
  uint32_t AddRef() override { return ++references_; }
  uint32_t Release() override { return --references_; }
  // Appends the finding, its message converted to an 8-bit string; from any thread.
  HRESULT Report(int32_t moduleId, int32_t reportType, const wchar_t* message) override;

  // False when the module cannot be used; the reason is written to the
  // diagnostic channel and kept in LoadError().
  bool LoadPlugin(const std::string& modulePath);
  void UnloadPlugin();
  bool IsLoaded() const { return module_.IsLoaded(); }
  const std::string& ModuleName() const { return module_.Name(); }
  const std::string& LoadError() const { return loadError_; }

  // Frees the reports, hands the file to the module and starts it.
  bool StartValidation(const std::string& mediaFileName);
  // Stops the module and lets it release the file.
  bool StopValidation();
  // The module's progress in percent, or nothing when it does not answer.
  std::optional<double> Progress();
  // After a run has ended: "only N of M bytes could be read" when the module
  // says the run did not read the whole file (the bytes it read, and the
  // file's size when the run started); nothing when it read it all or the
  // module cannot tell.
  std::optional<std::string> ReadShortfall();
  // 100 within 0.01 is the end of the run.
  static bool IsFinished(double progress);
  // "Progress: " and the progress with two decimals and a percent sign.
  static std::string ProgressText(double progress);
  bool ShowSettings();

  // The media file of the last start: the report's FILE_NAME.
  const std::string& MediaFileName() const { return mediaFileName_; }
  const TReportList& Reports() const { return reports_; }
  void ClearReports() { reports_.Clear(); }
  // Writes (or safely replaces) the XML report; nothing when written, else
  // the message to show. The media file itself is never written over.
  std::optional<std::string> SaveReportXML(const std::string& fileName) const;

 private:
  TValidatorModule module_;
  TReportList reports_;
  std::string mediaFileName_;
  std::string loadError_;
  std::atomic<uint32_t> references_{0};
};

}  // namespace tessaro
