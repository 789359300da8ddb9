// Every scenario file under tests/scenarios runs and prints exactly the
// records written under its commands.
#include <filesystem>

#include <gtest/gtest.h>

#include "support/scenario_harness.h"

namespace {

std::vector<std::string> ScenarioFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(MARKLET_SCENARIO_DIR))
    if (entry.path().extension() == ".scn") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

class ScenarioFile : public ::testing::TestWithParam<std::string> {};

TEST_P(ScenarioFile, PrintsTheExpectedRecords) {
  std::string diff = marklet::testing::CheckScenarioFile(GetParam());
  EXPECT_TRUE(diff.empty()) << diff;
}

INSTANTIATE_TEST_SUITE_P(All, ScenarioFile, ::testing::ValuesIn(ScenarioFiles()),
                         [](const auto& info) {
                           std::string name = std::filesystem::path(info.param).stem().string();
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
