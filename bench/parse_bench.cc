// Parsing throughput: a generated ~100 KB document of ordinary paragraphs
// (bold words, links, font changes) parsed on the trace container, against a
// baseline that only copies the same text and scans it once, the floor any
// parser has to pay. Prints both in MB/s (10^6 bytes of UTF-8 source text a
// second) and their ratio.
#include <cstdio>
#include <map>
#include <ostream>
#include <string>

#include <benchmark/benchmark.h>

#include "host/error.h"
#include "markup/parser.h"
#include "platform/trace/trace_container.h"

namespace marklet {
namespace {

// Ordinary paragraphs a thousand characters or so long, one a source line.
std::u16string MakeDocument(std::size_t targetChars) {
  static const char16_t* const kWords[] = {
      u"the",    u"label",  u"shows",   u"text",   u"with",    u"links",  u"and",   u"pictures",
      u"a",      u"word",   u"wraps",   u"at",     u"the",     u"edge",   u"of",    u"its",
      u"window", u"when",   u"it",      u"does",   u"not",     u"fit",    u"every", u"line",
      u"starts", u"where",  u"margin",  u"says",   u"readers", u"click",  u"on",    u"keys"};
  constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  std::u16string doc;
  std::size_t paragraphStart = 0;
  int link = 0;
  while (doc.size() < targetChars) {
    const std::u16string word = kWords[next(kWordCount)];
    switch (next(40)) {
      case 0: doc += u"&b" + word + u"\\b "; break;
      case 1: doc += u"#ek" + std::u16string(1, static_cast<char16_t>(u'a' + link++ % 26)) + u"<" + word + u" here> "; break;
      case 2: doc += u"#f<s:10;c:255>" + word + u" \\f "; break;
      case 3: doc += u"&i" + word + u"\\i, "; break;
      default: doc += word + u" "; break;
    }
    if (doc.size() - paragraphStart > 1000) {
      doc += u"\\n";
      paragraphStart = doc.size();
    }
  }
  return doc;
}

std::size_t Utf8Bytes(const std::u16string& text) { return U16ToUtf8(text).size(); }

const std::u16string& Document() {
  static const std::u16string doc = MakeDocument(100 * 1000);
  return doc;
}

void BM_ParseText(benchmark::State& state) {
  std::ostream nowhere(nullptr);
  trace::TraceWorld world(nowhere);
  trace::TraceContainer container(world);
  MarkupParser parser(container.surface(), container.imgC(),
                      [&](const std::u16string& path) { return container.LoadPicture(path); });
  // A new control's settings.
  ParseSettings settings;
  settings.tabSize = 5;
  settings.linkColor = 0xFF0000;
  settings.moreLinkText = u"...+";
  settings.twipsPerPixelX = settings.twipsPerPixelY = 15;
  ParsedText parsed;
  const std::u16string& doc = Document();
  try {
    parser.Parse(doc, settings, parsed);
  } catch (const MarkletError& e) {
    state.SkipWithError(e.what());
    return;
  }
  for (auto _ : state) {
    parser.Parse(doc, settings, parsed);
    benchmark::DoNotOptimize(parsed.runs.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Utf8Bytes(doc)));
  state.SetLabel(std::to_string(parsed.lastRun) + " runs, " + std::to_string(parsed.linkCount) +
                 " links");
}

// Copies the text and looks at every character once.
void BM_CopyAndScanBaseline(benchmark::State& state) {
  const std::u16string& doc = Document();
  for (auto _ : state) {
    std::u16string copy = doc;
    std::size_t spaces = 0;
    for (char16_t c : copy) spaces += c == u' ';
    benchmark::DoNotOptimize(spaces);
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Utf8Bytes(doc)));
}

BENCHMARK(BM_ParseText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyAndScanBaseline)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's throughput so the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end() && !run.error_occurred) rates[run.run_name.function_name] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

}  // namespace
}  // namespace marklet

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  marklet::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto parse = reporter.rates.find("BM_ParseText");
  auto base = reporter.rates.find("BM_CopyAndScanBaseline");
  if (parse != reporter.rates.end() && base != reporter.rates.end() && parse->second > 0) {
    std::printf("document: %zu bytes\n", marklet::Utf8Bytes(marklet::Document()));
    std::printf("parse: %.1f MB/s   copy-and-scan baseline: %.1f MB/s   ratio: %.1f%% (baseline %.1fx faster)\n",
                parse->second / 1e6, base->second / 1e6, 100.0 * parse->second / base->second,
                base->second / parse->second);
  }
  benchmark::Shutdown();
  return 0;
}
