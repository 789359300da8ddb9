// Runs scenario text through the script runner and returns its records.
#pragma once

#include <string>
#include <vector>

namespace marklet::testing {

// Runs the scenario lines and returns the output lines.
std::vector<std::string> RunScenario(const std::string& scenario);

// A scenario file interleaves commands with the records they must print:
//   > {"notify":"Text"}     the next record, exactly
//   >~ "parse"              the next record contains this text
// `@TMPDIR@` in a command line stands for a fresh temporary folder made for
// the scenario (and removed after it); records show that folder as @TMPDIR@.
// Returns an empty string when the output matches, else a readable diff.
std::string CheckScenarioFile(const std::string& path);

}  // namespace marklet::testing
