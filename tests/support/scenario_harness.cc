#include "support/scenario_harness.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/trace/script_runner.h"

namespace marklet::testing {

std::vector<std::string> RunScenario(const std::string& scenario) {
  std::ostringstream out;
  {
    std::istringstream in(scenario);
    marklet::trace::ScriptRunner runner(out);
    runner.Run(in);
  }
  std::vector<std::string> lines;
  std::istringstream result(out.str());
  std::string line;
  while (std::getline(result, line)) lines.push_back(line);
  return lines;
}

namespace {

constexpr char kTempMarker[] = "@TMPDIR@";

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// A fresh folder for the files one scenario writes, removed afterwards.
class ScenarioTempDir {
 public:
  ScenarioTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "marklet-scenario-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScenarioTempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::string CheckScenarioFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return "cannot open " + path;
  struct Expect {
    bool contains;
    std::string text;
    int line;
  };
  std::vector<Expect> expected;
  std::string commands, line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.rfind(">~ ", 0) == 0) {
      expected.push_back({true, line.substr(3), number});
      commands += "\n";
    } else if (line.rfind("> ", 0) == 0) {
      expected.push_back({false, line.substr(2), number});
      commands += "\n";
    } else {
      commands += line + "\n";
    }
  }
  // `@TMPDIR@` in a command stands for a fresh folder; records show it as written.
  std::vector<std::string> actual;
  if (commands.find(kTempMarker) != std::string::npos) {
    ScenarioTempDir temp;
    if (temp.path().empty()) return "cannot create a temporary folder for " + path;
    ReplaceAll(commands, kTempMarker, temp.path());
    actual = RunScenario(commands);
    for (auto& record : actual) ReplaceAll(record, temp.path(), kTempMarker);
  } else {
    actual = RunScenario(commands);
  }
  std::ostringstream diff;
  std::size_t n = std::max(expected.size(), actual.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (i >= expected.size()) {
      diff << "unexpected record " << i + 1 << ": " << actual[i] << "\n";
      continue;
    }
    const Expect& e = expected[i];
    if (i >= actual.size()) {
      diff << path << ":" << e.line << ": missing record: " << e.text << "\n";
      continue;
    }
    bool ok = e.contains ? actual[i].find(e.text) != std::string::npos : actual[i] == e.text;
    if (!ok) {
      diff << path << ":" << e.line << ":\n  expected " << (e.contains ? "a record containing " : "")
           << e.text << "\n  actual   " << actual[i] << "\n";
    }
  }
  return diff.str();
}

}  // namespace marklet::testing
