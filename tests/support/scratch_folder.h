// A test fixture with a folder of its own under the temporary directory,
// made before each test and removed after it, for tests that run the tool
// on files they write.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace marklet::testing {

class ScratchFolderTest : public ::testing::Test {
 protected:
  // The folder is named from `prefix` and the process id, so parallel test
  // processes never share one.
  explicit ScratchFolderTest(std::string prefix) : prefix_(std::move(prefix)) {}
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / (prefix_ + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return Path(name);
  }

  std::filesystem::path dir_;

 private:
  std::string prefix_;
};

}  // namespace marklet::testing
