#include "platform/failure.h"

#include <utility>

#include "platform/platform.h"

namespace tolvarine::platform {

namespace {
FailureObserver& Observer() {
  static FailureObserver observer;
  return observer;
}
std::string& Step() {
  static std::string step;
  return step;
}
}  // namespace

void SetFailureObserver(FailureObserver observer) { Observer() = std::move(observer); }

void ReportFailure(const char* call, const std::string& text) {
  if (!Observer()) return;
  Observer()((Step().empty() ? std::string() : Step() + ": ") + call + ": " + text);
}

FailureStep::FailureStep(std::string name) : outer_(std::move(Step())) { Step() = std::move(name); }

FailureStep::~FailureStep() { Step() = std::move(outer_); }

}  // namespace tolvarine::platform
