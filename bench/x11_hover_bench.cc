// A pointer move over a text with 10,000 links: on the live X11 window (the
// message pump runs before every box test) against the same hit test on the
// trace container. Needs an X server ($DISPLAY); `make bench` runs it under
// Xvfb. Target: at most 100 µs per move on the live window.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <streambuf>
#include <string>

#include "control/marklet.h"
#include "platform/trace/trace_container.h"
#include "platform/x11/x11_host.h"

namespace {

constexpr int kLinks = 10000;

std::u16string LinksText() {
  std::string text;
  // Fifty links a source line keeps every line well inside the 16-bit limits.
  for (int i = 0; i < kLinks; ++i) {
    text += "#ek" + std::to_string(i) + "<w" + std::to_string(i % 100) + "> ";
    if (i % 50 == 49) text += "\\n";
  }
  return marklet::Utf8ToU16(text);
}

// Two points inside the last two links' boxes, so every move changes the hover.
void LastTwoLinkCentres(marklet::Marklet& c, float xy[4]) {
  const auto& links = c.Links();
  int n = c.LinkCount();
  for (int k = 0; k < 2; ++k) {
    const auto& l = links[n - 1 - k];
    xy[2 * k] = (l.Left + l.Right) / 2;
    xy[2 * k + 1] = (l.Top + l.Bottom) / 2;
  }
}

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

void BM_TraceContainerMove(benchmark::State& state) {
  NullBuffer buffer;
  std::ostream out(&buffer);
  marklet::trace::TraceWorld world(out);
  marklet::trace::TraceContainer container(world);
  container.traceSurface().SetSizeQuietly(600 * 15, 400 * 15);
  container.CreateControl();
  marklet::Marklet& c = *container.control();
  c.Initialize();
  c.InitProperties();
  c.SetLinkDisplay(marklet::NotC);
  c.SetText(LinksText());
  world.Pump();
  float xy[4];
  LastTwoLinkCentres(c, xy);
  int k = 0;
  for (auto _ : state) {
    marklet::Integer b = 0, s = 0;
    float x = xy[2 * k], y = xy[2 * k + 1];
    c.SurfaceMouseMove(b, s, x, y);
    k ^= 1;
  }
  benchmark::DoNotOptimize(c.HoverLink());
  container.DestroyControl();
}

void BM_LiveWindowMove(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) {
    state.SkipWithError("no X display: run under Xvfb (make bench does)");
    return;
  }
  marklet::x11::ViewOptions options;
  options.widthPx = 600;
  options.heightPx = 400;
  marklet::x11::X11Host host(options);
  auto& container = host.container();
  container.CreateControl();
  marklet::Marklet& c = *container.control();
  c.SetLinkDisplay(marklet::NotC);
  c.SetText(LinksText());
  container.Pump();
  host.Present();
  float xy[4];
  LastTwoLinkCentres(c, xy);
  int k = 0;
  for (auto _ : state) {
    marklet::Integer b = 0, s = 0;
    float x = xy[2 * k], y = xy[2 * k + 1];
    c.SurfaceMouseMove(b, s, x, y);
    host.Present();
    k ^= 1;
  }
  benchmark::DoNotOptimize(c.HoverLink());
}

BENCHMARK(BM_TraceContainerMove)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveWindowMove)->Unit(benchmark::kMicrosecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        times[run.benchmark_name()] = run.GetAdjustedRealTime();
        cpu[run.benchmark_name()] = run.GetAdjustedCPUTime();
      }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times, cpu;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double trace = reporter.times["BM_TraceContainerMove"];
  double live = reporter.times["BM_LiveWindowMove"];
  if (trace > 0 && live > 0) {
    double traceCpu = reporter.cpu["BM_TraceContainerMove"], liveCpu = reporter.cpu["BM_LiveWindowMove"];
    std::printf("pointer move over %d links: live window %.1f us wall / %.1f us cpu, trace container %.1f us wall / "
                "%.1f us cpu; ratio live/trace %.2f wall, %.2f cpu (target: live <= 100 us)\n",
                kLinks, live, liveCpu, trace, traceCpu, live / trace, liveCpu / traceCpu);
  }
  benchmark::Shutdown();
  return 0;
}
