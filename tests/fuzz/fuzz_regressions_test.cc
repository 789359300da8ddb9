// Every input a fuzzer ever crashed on, replayed through the same entry code
// the fuzzers run (fuzz/fuzz_entries.h): fuzz/regressions/TARGET/*. An entry
// aborts on a broken invariant, so a passing test is a run that came back.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz_entries.h"

namespace marklet {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const std::string& target) {
  std::vector<fs::path> inputs;
  fs::path folder = fs::path(MARKLET_FUZZ_DIR) / "regressions" / target;
  if (!fs::is_directory(folder)) return inputs;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class FuzzRegressions : public ::testing::TestWithParam<const char*> {};

TEST_P(FuzzRegressions, EveryKeptInputRunsToTheEnd) {
  fuzz::Entry entry = fuzz::EntryNamed(GetParam());
  ASSERT_NE(entry, nullptr);
  for (const fs::path& input : InputsOf(GetParam())) {
    SCOPED_TRACE(input.string());
    std::string bytes = Bytes(input);
    entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions, ::testing::Values("markup", "bag", "script", "raster"));

// The entries also take what no fuzzer would keep: nothing at all, and a
// header with no text.
TEST(FuzzEntries, TakeEmptyAndHeaderOnlyInputs) {
  const std::uint8_t header[] = {0x87, 0x10, 0x00, 0x02};
  for (const char* name : {"markup", "bag", "script", "raster"}) {
    fuzz::Entry entry = fuzz::EntryNamed(name);
    entry(nullptr, 0);
    entry(header, sizeof header);
  }
}

}  // namespace
}  // namespace marklet
