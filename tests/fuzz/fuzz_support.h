// What the fuzz targets share: a stop that names the broken property, so that libFuzzer keeps
// the input that broke it and the log says what went wrong.
#ifndef TOLVARINE_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define TOLVARINE_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <cstdio>
#include <cstdlib>

/// Ends the run as a crash when `condition` does not hold.
#define FUZZ_CHECK(condition) \
  ((condition) ? void() : (std::fprintf(stderr, "broken: %s\n", #condition), std::abort()))

#endif  // TOLVARINE_TESTS_FUZZ_FUZZ_SUPPORT_H_
