// What a captured run costs the launcher beyond starting the child, and how fast a large
// output streams through it. Prints figures; it checks nothing.
//
//   captured_run_bench [runs]
//
// The start cost compares, run by run in turn, a captured run of a child that ends at once
// with RunAndWait of the same child (the same start and wait, without pipe, polling or
// collection). "CPU" is this process's own CPU time per run, which the child's never counts in.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "process/captured_run.h"
#include "process/run_and_wait.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
  double wall_us;
  double cpu_us;
};

template <typename Body>
Sample Measure(Body body) {
  std::clock_t cpu_start = std::clock();
  Clock::time_point start = Clock::now();
  body();
  double wall = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  double cpu = 1e6 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  return Sample{wall, cpu};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (double value : values) sum += value;
  return sum / static_cast<double>(values.size());
}

void Report(const char* name, const std::vector<Sample>& samples) {
  std::vector<double> wall, cpu;
  for (const Sample& sample : samples) {
    wall.push_back(sample.wall_us);
    cpu.push_back(sample.cpu_us);
  }
  std::printf("%-34s wall median %8.1f us  mean %8.1f us   CPU mean %6.1f us\n", name, Median(wall),
              Mean(wall), Mean(cpu));
}

void StartCost(const std::string& program, int runs) {
  std::vector<Sample> direct, captured;
  for (int run = -10; run < runs; ++run) {  // The first ten only warm up.
    Sample a = Measure([&] { tolvarine::RunAndWait(program, tolvarine::kShowNormal); });
    Sample b = Measure([&] {
      std::string output;
      tolvarine::RunCaptured(program, output);
    });
    if (run < 0) continue;
    direct.push_back(a);
    captured.push_back(b);
  }
  std::printf("A child that ends at once (%s), %d runs each:\n", program.c_str(), runs);
  Report("  started directly (RunAndWait)", direct);
  Report("  captured run (RunCaptured)", captured);
  std::vector<double> extra_wall, extra_cpu;
  for (int i = 0; i < runs; ++i) {
    extra_wall.push_back(captured[i].wall_us - direct[i].wall_us);
    extra_cpu.push_back(captured[i].cpu_us - direct[i].cpu_us);
  }
  std::printf("  launcher-side cost of capturing:   wall median %8.1f us  CPU mean %6.1f us\n",
              Median(extra_wall), Mean(extra_cpu));
}

void Throughput(std::size_t megabytes) {
  std::filesystem::path file =
      std::filesystem::temp_directory_path() / "tolvarine-bench-output.bin";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::string block(1 << 20, 'x');
    for (std::size_t i = 0; i < megabytes; ++i) out.write(block.data(), block.size());
  }
  std::string command = "cat \"" + file.string() + "\"";
  std::string output;
  Sample sample = Measure([&] { tolvarine::RunCaptured(command, output); });
  std::filesystem::remove(file);
  std::printf("A child that writes %zu MiB (cat): %.2f s, %.0f MiB/s, launcher CPU %.2f s, %s\n",
              megabytes, sample.wall_us / 1e6, megabytes / (sample.wall_us / 1e6),
              sample.cpu_us / 1e6,
              output.size() == megabytes << 20 ? "every byte kept" : "BYTES LOST");
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 300;
  StartCost("/bin/true", runs);
  Throughput(256);
  return 0;
}
