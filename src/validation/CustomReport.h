// TCustomReport: one finding of a validation module. TReportList keeps them
// in arrival order; a module may report from threads of its own while the
// window polls, so every access to the list is serialised.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tessaro {

class TCustomReport {
 public:
  int32_t ModuleId = 0;
  int32_t ReportType = 0;
  std::string Message;
};

class TReportList {
 public:
  void Add(TCustomReport report);
  void Clear();
  size_t Count() const;
  // A copy of every report, in arrival order.
  std::vector<TCustomReport> Items() const;
  // visit(report) for each report in arrival order, the list held meanwhile.
  template <class Visit>
  void ForEach(Visit&& visit) const {
    const std::lock_guard<std::mutex> hold(lock_);
    for (const TCustomReport& report : items_) visit(report);
  }

 private:
  mutable std::mutex lock_;
  std::vector<TCustomReport> items_;
};

}  // namespace tessaro
