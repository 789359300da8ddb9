// `marklet script`: drives a control on the trace container from a text
// scenario, one command a line, and prints every observable effect as JSON
// Lines.
#pragma once

#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/trace/trace_container.h"

namespace marklet::trace {

struct Token {
  enum Kind { Word, String } kind = Word;
  std::string text;     // the word as written, or the decoded string (UTF-8)
  std::u16string value; // the decoded string as UTF-16
};

// Splits a scenario line into tokens: bare words, "double-quoted" strings with
// JSON escapes and 'single-quoted' raw strings. Throws std::invalid_argument
// with a message on an unterminated string or a bad escape.
std::vector<Token> Tokenize(const std::string& line);

// A scenario value: "string" or 'string', True/False, decimal or &H numbers.
Variant ValueOf(const Token& token);

// Renders a value the way `get` prints it, by the member's automation type.
std::string ValueJson(const Variant& value, int autoType);

class ScriptRunner;
using ScriptCommand = std::function<void(ScriptRunner&, const std::vector<Token>& args)>;

// Thrown by a command whose arguments cannot be read; printed as a scriptError.
struct ScriptArgumentError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ScriptRunner {
 public:
  explicit ScriptRunner(std::ostream& out);
  ~ScriptRunner();

  // Runs every line of a scenario, then delivers what is still queued.
  void Run(std::istream& in);
  // Reads and runs the next line of the scenario being run; false at its end.
  // A modal loop calls it (through the world) to run the lines that follow
  // the command that opened a modal form.
  bool RunNextLine();
  // Runs one top-level line, then delivers the queue (unless it was `post`).
  void RunLine(const std::string& line, int lineNumber);
  // Runs one command without delivering the queue afterwards.
  void Execute(const std::vector<Token>& tokens);
  void Finish();

  // Later features add commands; existing ones never change.
  void AddCommand(const std::string& name, ScriptCommand command);

  TraceWorld& world() { return world_; }
  TraceContainer& main() { return *main_; }
  Marklet& control();  // the main control; ScriptArgumentError when none was created
  int currentLine() const { return line_; }

  // Runs an operation of the control and prints the error it returns.
  void Guard(const std::function<void()>& action);
  void PrintError(int number, const std::string& description);

  // Event handlers installed with `on`.
  struct Handler {
    enum Kind { SetProperty, AssignArg } kind;
    std::u16string target;
    Token value;
  };
  std::map<EventId, Handler>& handlers() { return handlers_; }
  void RunHandler(TraceContainer& container, Marklet& control, EventId id, EventArgs& args);

 private:
  void RegisterBuiltins();
  TraceWorld world_;
  std::unique_ptr<TraceContainer> main_;
  std::map<std::string, ScriptCommand> commands_;
  std::map<EventId, Handler> handlers_;
  int line_ = 0;
  std::istream* input_ = nullptr;
  int inputLine_ = 0;
};

// The control's tables and state as the `dump` record prints them.
std::string DumpJson(Marklet& control, TraceContainer& container);

}  // namespace marklet::trace
