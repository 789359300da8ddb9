// libFuzzer target: see RunScript in fuzz_entries.h.
#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
  marklet::fuzz::RunScript(data, size);
  return 0;
}
