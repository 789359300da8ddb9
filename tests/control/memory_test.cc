// Memory stays flat while a control parses, paints and is hovered over for
// a long time: what one cycle allocates the next one gives back.
#include <unistd.h>

#include <cstdio>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "control/marklet.h"
#include "host/error.h"
#include "platform/trace/trace_container.h"

#if defined(__SANITIZE_ADDRESS__)
#define MARKLET_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MARKLET_ASAN 1
#endif
#endif

namespace marklet {
namespace {

// Resident memory in bytes, from the kernel's page counts.
long ResidentBytes() {
  long pages = 0, resident = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (!statm) return -1;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = -1;
  std::fclose(statm);
  return resident < 0 ? -1 : resident * ::sysconf(_SC_PAGESIZE);
}

TEST(Memory, StaysFlatOverTenThousandParsePaintHoverCycles) {
#ifdef MARKLET_ASAN
  GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine; its leak check covers this build";
#endif
  if (ResidentBytes() < 0) GTEST_SKIP() << "no /proc/self/statm to read resident memory from";
  std::ostream discard(nullptr);
  trace::TraceWorld world(discard);
  trace::TraceContainer container(world);
  container.CreateControl();
  Marklet& c = *container.control();
  c.Initialize();
  c.InitProperties();
  c.SetAutoSizeHeight(true);
  // Texts of different sizes, with links, a wrapped link, fonts and a
  // picture, so every table grows and shrinks.
  const std::u16string texts[] = {
      u"ab #ek1<go> x #f<s:14>big\\f #ek2<a link whose words wrap over the lines> end",
      u"#i<dot16x8.png> #ik<dot16x8.png> &bbold\\b #m<20>margin\\nnext line #ea<one> #eb<two>",
      u"short",
      u"#ek<x> #ek<y> #ek<z> #ek<w> #ek<v> #ek<u> #ek<t> #ek<s> #ek<r> #ek<q> #ek<p> #ek<o>"};
  auto cycle = [&](int i) {
    c.SetText(texts[i % 4]);
    world.Pump();
    for (Single x : {45.0f, 300.0f, 700.0f, 1200.0f}) {
      Integer button = 0, shift = 0;
      Single px = x, py = static_cast<Single>(i % 3 * 200 + 100);
      c.SurfaceMouseMove(button, shift, px, py);
      world.Pump();
    }
    world.windows().DeliverMouseLeave(container.traceSurface().state().hwnd);
    world.Pump();
  };
  for (int i = 0; i < 500; ++i) cycle(i);  // warm-up: tables and caches reach their size
  long before = ResidentBytes();
  for (int i = 0; i < 10000; ++i) cycle(i);
  long growth = ResidentBytes() - before;
  EXPECT_LT(growth, 4L << 20) << "resident memory grew by " << growth << " bytes";
  c.Terminate();
}

}  // namespace
}  // namespace marklet
