// Inside the platform layer: how a failed system call's reason reaches the observer.
#ifndef TOLVARINE_PLATFORM_FAILURE_H_
#define TOLVARINE_PLATFORM_FAILURE_H_

#include <string>

namespace tolvarine::platform {

/// Hands "<call>: <text>" to the failure observer, if one is set.
void ReportFailure(const char* call, const std::string& text);

}  // namespace tolvarine::platform

#endif  // TOLVARINE_PLATFORM_FAILURE_H_
