// How a cheap framed export scales with threads: SHA-256 of 64 bytes through
// BCMGenHashMessage on 1, 2, 4 and 8 threads. Every call opens the error
// trail, so a trail shared between threads would show here as calls per
// second that stop growing with the thread count. A table of total calls
// per second (median of the repetitions) and the speed-up over one thread
// follows the usual output.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "tolvaris/bcm_core.h"

namespace {

void BM_HashMessage64(benchmark::State& state) {
  unsigned char msg[64] = {static_cast<unsigned char>(state.thread_index())};
  unsigned char md[32];
  for (auto _ : state) {
    int len = sizeof md;
    if (BCMGenHashMessage(1, msg, sizeof msg, md, &len) != 0) state.SkipWithError("digest failed");
    benchmark::DoNotOptimize(md);
    msg[0]++;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HashMessage64)->ThreadRange(1, 8)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(false);

// Collects the total items per second of each run, by thread count.
class ScalingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration) continue;
      auto it = r.counters.find("items_per_second");
      if (it != r.counters.end()) rates_[r.threads].push_back(it->second.value);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintTable() {
    if (rates_.empty()) return;
    const double one = Median(rates_.begin()->second);
    std::printf("\nSHA-256 of 64 bytes through BCMGenHashMessage (median of repetitions)\n");
    std::printf("%-8s %16s %10s\n", "threads", "calls/s", "speed-up");
    for (auto& [threads, v] : rates_)
      std::printf("%-8d %16.0f %9.2fx\n", threads, Median(v), one > 0 ? Median(v) / one : 0.0);
  }

 private:
  static double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  }
  std::map<int, std::vector<double>> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  ScalingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintTable();
  benchmark::Shutdown();
  return 0;
}
