// Marklet on the raster surface against Pango's own markup path, on the same
// generated 100 KB document at 600 pixels wide:
//   (a) Marklet: parse + first paint
//   (b) Marklet: repaint after a resize (no parse)
//   (c) Pango:   pango_layout_set_markup + wrap + pango_cairo_show_layout
// Prints the ratios a/c and b/c, and the peak memory of one parse + paint.
#include <benchmark/benchmark.h>
#include <pango/pangocairo.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "control/marklet.h"
#include "platform/raster/raster_container.h"

namespace {

constexpr int kWidthPx = 600;
constexpr double kTpp = 15;

struct Document {
  std::string marklet;  // the control's markup
  std::string pango;    // the same content in Pango markup
  int heightPx = 0;     // Pango's layout height at kWidthPx
};

// About 100 KB of paragraphs; about 10% bold and 2% link words.
const Document& Doc() {
  static Document doc = [] {
    static const char* kWords[] = {"lorem", "ipsum", "dolor", "sit", "amet", "consectetur", "adipiscing",
                                   "elit", "sed", "do", "eiusmod", "tempor", "incididunt", "ut", "labore",
                                   "et", "dolore", "magna", "aliqua", "enim", "minim", "veniam", "quis",
                                   "nostrud", "exercitation", "ullamco", "laboris", "nisi", "aliquip"};
    std::mt19937 rng(42);
    Document d;
    int word = 0;
    while (d.marklet.size() < 100 * 1024) {
      int paragraphWords = 60 + static_cast<int>(rng() % 60);
      for (int i = 0; i < paragraphWords; ++i, ++word) {
        std::string w = kWords[rng() % (sizeof kWords / sizeof *kWords)];
        unsigned roll = rng() % 100;
        const char* sep = i + 1 < paragraphWords ? " " : "";
        if (roll < 10) {
          d.marklet += "&b" + w + "\\b" + sep;
          d.pango += "<b>" + w + "</b>" + sep;
        } else if (roll < 12) {
          d.marklet += "#el" + std::to_string(word) + "<" + w + ">" + sep;
          d.pango += "<span foreground=\"#0000FF\" underline=\"single\">" + w + "</span>" + sep;
        } else {
          d.marklet += w + sep;
          d.pango += w + sep;
        }
      }
      d.marklet += "\\n";
      d.pango += "\n";
    }
    return d;
  }();
  return doc;
}

PangoLayout* PangoLayoutFor(cairo_t* cr, const std::string& markup) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* desc = pango_font_description_from_string("Liberation Sans");
  pango_font_description_set_absolute_size(desc, 11 * PANGO_SCALE);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  pango_layout_set_width(layout, kWidthPx * PANGO_SCALE);
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
  pango_layout_set_markup(layout, markup.data(), static_cast<int>(markup.size()));
  return layout;
}

int PangoHeight() {
  static int height = [] {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidthPx, 10);
    cairo_t* cr = cairo_create(s);
    PangoLayout* layout = PangoLayoutFor(cr, Doc().pango);
    int w, h;
    pango_layout_get_pixel_size(layout, &w, &h);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return h;
  }();
  return height;
}

std::unique_ptr<marklet::raster::RasterContainer> NewControl() {
  auto c = std::make_unique<marklet::raster::RasterContainer>();
  c->rasterSurface().SetSize(static_cast<float>(kWidthPx * kTpp), static_cast<float>(PangoHeight() * kTpp));
  c->ambientBackColor = 0xFFFFFF;
  c->CreateControl();
  c->control()->SetAutoSizeHeight(false);
  c->control()->SetFont(marklet::FontDesc{u"Arial", 8.25f});
  c->Pump();
  return c;
}

void BM_MarkletParseAndFirstPaint(benchmark::State& state) {
  std::u16string text = marklet::Utf8ToU16(Doc().marklet);
  for (auto _ : state) {
    state.PauseTiming();
    auto c = NewControl();
    state.ResumeTiming();
    c->control()->SetText(text);
    benchmark::DoNotOptimize(c->rasterSurface().image());
    state.PauseTiming();
    c.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Doc().marklet.size());
}

void BM_MarkletRepaintAfterResize(benchmark::State& state) {
  auto c = NewControl();
  c->control()->SetText(marklet::Utf8ToU16(Doc().marklet));
  bool narrow = false;
  for (auto _ : state) {
    narrow = !narrow;
    float width = static_cast<float>((narrow ? kWidthPx - 10 : kWidthPx) * kTpp);
    c->rasterSurface().SetSize(width, static_cast<float>(PangoHeight() * kTpp));
    c->control()->Resize();
    benchmark::DoNotOptimize(c->rasterSurface().image());
  }
}

void BM_PangoMarkupLayoutAndRender(benchmark::State& state) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidthPx, PangoHeight());
  for (auto _ : state) {
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    PangoLayout* layout = PangoLayoutFor(cr, Doc().pango);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    cairo_destroy(cr);
  }
  cairo_surface_destroy(s);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Doc().pango.size());
}

BENCHMARK(BM_MarkletParseAndFirstPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarkletRepaintAfterResize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PangoMarkupLayoutAndRender)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration so the ratios can be printed.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs)
      if (run.run_type == Run::RT_Iteration) {
        times[run.benchmark_name()] = run.GetAdjustedRealTime();
        cpu[run.benchmark_name()] = run.GetAdjustedCPUTime();
      }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times, cpu;
};

// Peak memory of one parse + first paint, measured in a child process from
// after the fonts are loaded.
long PeakMemoryKb(long& surfaceKb) {
  surfaceKb = static_cast<long>(kWidthPx) * PangoHeight() * 4 / 1024;
  int pipefd[2];
  if (pipe(pipefd) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    close(pipefd[0]);
    {
      // Load the fonts first, on a small control.
      marklet::raster::RasterContainer warm;
      warm.rasterSurface().SetSize(static_cast<float>(kWidthPx * kTpp), static_cast<float>(50 * kTpp));
      warm.CreateControl();
      warm.control()->SetFont(marklet::FontDesc{u"Arial", 8.25f});
      warm.control()->SetText(u"warm &bup\\b #ek<link>");
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    {
      auto c = NewControl();
      c->control()->SetText(marklet::Utf8ToU16(Doc().marklet));
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    long delta = after.ru_maxrss - before.ru_maxrss;
    if (write(pipefd[1], &delta, sizeof delta) != sizeof delta) _exit(1);
    _exit(0);
  }
  close(pipefd[1]);
  long delta = -1;
  if (read(pipefd[0], &delta, sizeof delta) != sizeof delta) delta = -1;
  close(pipefd[0]);
  int status;
  waitpid(pid, &status, 0);
  return delta;
}

}  // namespace

int main(int argc, char** argv) {
  // Memory first, in a child forked while this process is still small.
  long surfaceKb = 0;
  long peak = PeakMemoryKb(surfaceKb);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double a = reporter.times["BM_MarkletParseAndFirstPaint"];
  double b = reporter.times["BM_MarkletRepaintAfterResize"];
  double c = reporter.times["BM_PangoMarkupLayoutAndRender"];
  if (c > 0) {
    std::printf("document: %zu bytes, %d x %d px\n", Doc().marklet.size(), kWidthPx, PangoHeight());
    double ca = reporter.cpu["BM_MarkletParseAndFirstPaint"], cb = reporter.cpu["BM_MarkletRepaintAfterResize"],
           cc = reporter.cpu["BM_PangoMarkupLayoutAndRender"];
    std::printf("ratio a/c (parse + first paint vs Pango markup layout + render): %.3f wall, %.3f cpu (target <= 0.5)\n",
                a / c, ca / cc);
    std::printf("ratio b/c (repaint after resize vs Pango markup layout + render): %.3f wall, %.3f cpu (target <= 0.25)\n",
                b / c, cb / cc);
  }
  std::printf("peak memory of one parse + first paint: %ld KB above the process with fonts loaded; "
              "surface %ld KB, so %ld KB beyond it (target <= 10240 KB)\n",
              peak, surfaceKb, peak - surfaceKb);
  benchmark::Shutdown();
  return 0;
}
