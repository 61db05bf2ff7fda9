#include "validation/CustomReport.h"

#include <utility>

namespace tessaro {

void TReportList::Add(TCustomReport report) {
  const std::lock_guard<std::mutex> hold(lock_);
  items_.push_back(std::move(report));
}

void TReportList::Clear() {
  std::vector<TCustomReport> gone;
  const std::lock_guard<std::mutex> hold(lock_);
  gone.swap(items_);
}

size_t TReportList::Count() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return items_.size();
}

std::vector<TCustomReport> TReportList::Items() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return items_;
}

}  // namespace tessaro
