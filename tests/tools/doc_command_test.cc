// `marklet doc properties` as `make docs` runs it: the committed reference is
// exactly what the tables generate, so a change to a member or its
// description that skips `make docs` fails here.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/subprocess.h"

namespace {

namespace fs = std::filesystem;
using marklet::testing::RunCommand;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(DocCommand, CommittedReferenceIsWhatTheTablesGenerate) {
  fs::path out = fs::temp_directory_path() / ("marklet-doc-" + std::to_string(getpid()) + ".md");
  ASSERT_EQ(RunCommand({MARKLET_TOOL, "doc", "properties", "-o", out.string()}), 0);
  std::string generated = Slurp(out);
  fs::remove(out);
  EXPECT_NE(generated.find("### LinkDisplay"), std::string::npos);
  EXPECT_EQ(generated, Slurp(fs::path(MARKLET_DOCS_DIR) / "properties.md"))
      << "docs/properties.md is stale: run `make docs` and commit it";
}

TEST(DocCommand, HelpAndBadArgumentsAnswerWithoutWriting) {
  EXPECT_EQ(RunCommand({MARKLET_TOOL, "doc", "properties", "--help"}), 0);
  EXPECT_EQ(RunCommand({MARKLET_TOOL, "doc", "--help"}), 0);
  EXPECT_EQ(RunCommand({MARKLET_TOOL, "doc"}), 2);
  EXPECT_EQ(RunCommand({MARKLET_TOOL, "doc", "methods"}), 2);
  EXPECT_EQ(RunCommand({MARKLET_TOOL, "doc", "properties", "-o"}), 2);
  EXPECT_EQ(RunCommand({MARKLET_TOOL, "doc", "properties", "-o", "/nonexistent-dir/x.md"}), 1);
}

}  // namespace
