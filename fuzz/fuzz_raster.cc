// libFuzzer target: see RunRaster in fuzz_entries.h.
#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
  marklet::fuzz::RunRaster(data, size);
  return 0;
}
