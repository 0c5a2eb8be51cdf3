// What the fuzz targets share: a stop that names the broken property, so that libFuzzer keeps
// the input that broke it and the log says what went wrong.
#ifndef TOLVARINE_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define TOLVARINE_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <cstdio>
#include <cstdlib>

/// Ends the run as a crash when `condition` does not hold.
#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)

#endif  // TOLVARINE_TESTS_FUZZ_FUZZ_SUPPORT_H_
