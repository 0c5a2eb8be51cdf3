// Times the producer patch on one file, as the launcher does it after a successful run.
//
//   patch_timer FILE RUNS
//
// FILE must hold the converter's producer text once. Each run patches it (timed) and puts the
// converter's text back (not timed), so every run finds the same file. Prints the median and
// the smallest time in microseconds, or "not-found".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "output/producer_patch.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string path = argv[1];
  const int runs = std::max(1, std::atoi(argv[2]));
  std::vector<double> micros;
  for (int run = 0; run < runs; ++run) {
    auto start = std::chrono::steady_clock::now();
    bool found = tolvarine::ReplaceTextInFile(path, tolvarine::kConverterProducerText,
                                              tolvarine::kProductProducerText, true);
    auto stop = std::chrono::steady_clock::now();
    if (!found || !tolvarine::ReplaceTextInFile(path, tolvarine::kProductProducerText,
                                                tolvarine::kConverterProducerText, true)) {
      std::printf("not-found\n");
      return 1;
    }
    micros.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
  }
  std::sort(micros.begin(), micros.end());
  std::printf("%.1f %.1f\n", micros[micros.size() / 2], micros.front());
  return 0;
}
