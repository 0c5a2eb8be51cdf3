#include "platform/failure.h"

#include <utility>

#include "platform/platform.h"

namespace tolvarine::platform {

namespace {
FailureObserver& Observer() {
  static FailureObserver observer;
  return observer;
}
}  // namespace

void SetFailureObserver(FailureObserver observer) { Observer() = std::move(observer); }

void ReportFailure(const char* call, const std::string& text) {
  if (Observer()) Observer()(std::string(call) + ": " + text);
}

}  // namespace tolvarine::platform
