// A link wrapped over many lines: `#ek<ab ab ab ...>` of 2,000 to 32,000
// characters drawn 20 pixels wide with ShowMoreLink and AutoSizeHeight off,
// as `marklet render --width 20` draws it. Every line measures what is left
// of the link, so the cost per character shows whether that stays linear.
// Prints the time per character at each length and the 32k/2k ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "control/marklet.h"
#include "platform/raster/raster_container.h"

namespace {

constexpr int kWidthPx = 20;
constexpr int kHeightPx = 160;
constexpr double kTpp = 15;

std::u16string LinkText(int characters) {
  std::u16string body;
  while (static_cast<int>(body.size()) < characters) body += u"ab ";
  body.resize(static_cast<std::size_t>(characters));
  return u"#ek<" + body + u">";
}

void BM_WrappedLink(benchmark::State& state) {
  const int characters = static_cast<int>(state.range(0));
  const std::u16string text = LinkText(characters);
  for (auto _ : state) {
    state.PauseTiming();
    auto c = std::make_unique<marklet::raster::RasterContainer>();
    c->rasterSurface().SetSize(static_cast<float>(kWidthPx * kTpp), static_cast<float>(kHeightPx * kTpp));
    c->CreateControl();
    c->control()->SetShowMoreLink(false);
    c->control()->SetAutoSizeHeight(false);
    c->Pump();
    state.ResumeTiming();
    c->control()->SetText(text);
    c->Pump();
    benchmark::DoNotOptimize(c->rasterSurface().image());
    state.PauseTiming();
    c.reset();
    state.ResumeTiming();
  }
  // Seconds per character (shown in ns as "per_char").
  state.counters["per_char"] = benchmark::Counter(static_cast<double>(characters),
                                                  benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

BENCHMARK(BM_WrappedLink)->Arg(2000)->Arg(4000)->Arg(8000)->Arg(16000)->Arg(32000)->Unit(benchmark::kMillisecond);

class PerCharReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      auto it = run.counters.find("per_char");
      if (it != run.counters.end()) perChar[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> perChar;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  PerCharReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* n : {"2000", "4000", "8000", "16000", "32000"}) {
    auto it = reporter.perChar.find(std::string("BM_WrappedLink/") + n);
    if (it != reporter.perChar.end()) std::printf("%6s characters: %8.1f ns per character\n", n, it->second * 1e9);
  }
  auto small = reporter.perChar.find("BM_WrappedLink/2000");
  auto large = reporter.perChar.find("BM_WrappedLink/32000");
  if (small != reporter.perChar.end() && large != reporter.perChar.end() && small->second > 0) {
    std::printf("ratio 32k/2k per character: %.2f (target <= 3)\n", large->second / small->second);
  }
  benchmark::Shutdown();
  return 0;
}
