#include "platform/trace/script_runner.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "control/dispatch.h"
#include "host/error.h"
#include "platform/trace/json.h"
#include "platform/trace/script_arguments.h"
#include "platform/trace/script_commands.h"

namespace marklet::trace {

// ---- Tokens and values ----

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes a "..." string with JSON escapes starting at line[i] == '"'.
std::u16string ReadJsonString(const std::string& line, std::size_t& i) {
  std::string utf8;
  std::u16string out;
  auto flush = [&] {
    out += Utf8ToU16(utf8);
    utf8.clear();
  };
  ++i;
  while (true) {
    if (i >= line.size()) throw std::invalid_argument("unterminated string");
    char c = line[i++];
    if (c == '"') break;
    if (c != '\\') {
      utf8.push_back(c);
      continue;
    }
    if (i >= line.size()) throw std::invalid_argument("unterminated string");
    char e = line[i++];
    switch (e) {
      case '"': utf8.push_back('"'); break;
      case '\\': utf8.push_back('\\'); break;
      case '/': utf8.push_back('/'); break;
      case 'b': utf8.push_back('\b'); break;
      case 'f': utf8.push_back('\f'); break;
      case 'n': utf8.push_back('\n'); break;
      case 'r': utf8.push_back('\r'); break;
      case 't': utf8.push_back('\t'); break;
      case 'u': {
        if (i + 4 > line.size()) throw std::invalid_argument("bad \\u escape");
        unsigned v = 0;
        for (int k = 0; k < 4; ++k) {
          int d = HexDigit(line[i + k]);
          if (d < 0) throw std::invalid_argument("bad \\u escape");
          v = v * 16 + d;
        }
        i += 4;
        flush();
        out.push_back(static_cast<char16_t>(v));
        break;
      }
      default: throw std::invalid_argument(std::string("bad escape \\") + e);
    }
  }
  flush();
  return out;
}

}  // namespace

std::vector<Token> Tokenize(const std::string& line) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    Token t;
    if (c == '"') {
      t.kind = Token::String;
      t.value = ReadJsonString(line, i);
      t.text = U16ToUtf8(t.value);
    } else if (c == '\'') {
      std::size_t end = line.find('\'', i + 1);
      if (end == std::string::npos) throw std::invalid_argument("unterminated string");
      t.kind = Token::String;
      t.text = line.substr(i + 1, end - i - 1);
      t.value = Utf8ToU16(t.text);
      i = end + 1;
    } else {
      std::size_t end = i;
      while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r' &&
             line[end] != '\n')
        ++end;
      t.text = line.substr(i, end - i);
      t.value = Utf8ToU16(t.text);
      i = end;
    }
    tokens.push_back(std::move(t));
  }
  return tokens;
}

Variant ValueOf(const Token& token) {
  if (token.kind == Token::String) return Variant::FromString(token.value);
  if (token.text == "True" || token.text == "true") return Variant::FromBool(true);
  if (token.text == "False" || token.text == "false") return Variant::FromBool(false);
  double v;
  if (!ParseNumericString(token.value, v)) {
    throw ScriptArgumentError("not a value: " + token.text);
  }
  // &H literals above 16 bits keep their 32 bits, so &H8000000F is the system colour.
  // Whole numbers of 32 bits (signed or not) become Longs; the range is
  // tested before any conversion, which is undefined for larger values.
  const bool whole32 = v >= -2147483648.0 && v <= 4294967295.0 && v == std::trunc(v);
  auto asLong = [v] {
    return v > 2147483647.0 ? static_cast<Long>(static_cast<std::uint32_t>(v)) : static_cast<Long>(v);
  };
  if (token.text.size() > 2 && token.text[0] == '&' && (token.text[1] == 'H' || token.text[1] == 'h')) {
    if (!whole32) throw ScriptArgumentError("out of range: " + token.text);
    return Variant::FromLong(asLong());
  }
  if (whole32) return Variant::FromLong(asLong());
  return Variant::FromDouble(v);
}

std::string ValueJson(const Variant& value, int autoType) {
  switch (static_cast<AutoType>(autoType)) {
    case AutoType::Boolean: return JsonBool(value.ToBool());
    case AutoType::OleColor: return JsonColor(static_cast<OleColor>(value.ToLong()));
    case AutoType::String: return JsonString(value.ToString());
    case AutoType::Font: return JsonFont(value.AsFont());
    case AutoType::Picture: return JsonPicture(value.AsPicture());
    case AutoType::Single: return JsonSingle(value.ToSingle());
    case AutoType::Void: return "null";
    default: return std::to_string(static_cast<long long>(value.ToDouble()));
  }
}

// ---- Runner ----

ScriptRunner::ScriptRunner(std::ostream& out)
    : world_(out), main_(std::make_unique<TraceContainer>(world_)) {
  RegisterBuiltins();
  AddContainerCommands(*this);
  AddLifecycleCommands(*this);
  AddPropertyCommands(*this);
  AddInputCommands(*this);
  AddPaintCommands(*this);
  AddFileCommands(*this);
  AddFormCommands(*this);
  world_.SetNestedLineSource([this] {
    int outerLine = line_;
    bool ran = RunNextLine();
    line_ = outerLine;
    return ran;
  });
  main_->SetEventHandler([this](EventId id, EventArgs& args) {
    if (main_->control()) RunHandler(*main_, *main_->control(), id, args);
  });
}

ScriptRunner::~ScriptRunner() {
  // The control goes before its container.
  main_->DestroyControl();
}

Marklet& ScriptRunner::control() {
  if (!main_->control()) throw ScriptArgumentError("no control: use `new` or `load` first");
  return *main_->control();
}

void ScriptRunner::AddCommand(const std::string& name, ScriptCommand command) {
  commands_[name] = std::move(command);
}

void ScriptRunner::PrintError(int number, const std::string& description) {
  world_.log().Emit("error", ErrorJson(number, description));
}

void ScriptRunner::Guard(const std::function<void()>& action) {
  try {
    action();
  } catch (const MarkletError& e) {
    PrintError(e.number(), e.what());
  }
}

void ScriptRunner::Run(std::istream& in) {
  std::istream* outer = input_;
  int outerLine = inputLine_;
  input_ = &in;
  inputLine_ = 0;
  while (RunNextLine()) {
  }
  Finish();
  input_ = outer;
  inputLine_ = outerLine;
}

bool ScriptRunner::RunNextLine() {
  std::string line;
  if (!input_ || !std::getline(*input_, line)) return false;
  RunLine(line, ++inputLine_);
  return true;
}

void ScriptRunner::Finish() { world_.Pump(); }

void ScriptRunner::RunLine(const std::string& line, int lineNumber) {
  line_ = lineNumber;
  std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos || line[first] == '#') return;
  std::vector<Token> tokens;
  try {
    tokens = Tokenize(line);
  } catch (const std::exception& e) {
    world_.log().Emit("scriptError",
                      JsonObject().Num("line", lineNumber).Str("message", e.what()).str());
    return;
  }
  Execute(tokens);
  if (tokens.empty() || tokens[0].text != "post") world_.Pump();
}

void ScriptRunner::Execute(const std::vector<Token>& tokens) {
  if (tokens.empty()) return;
  const std::string& name = tokens[0].text;
  auto it = commands_.find(name);
  try {
    if (tokens[0].kind != Token::Word || it == commands_.end()) {
      throw ScriptArgumentError("unknown command: " + name);
    }
    std::vector<Token> args(tokens.begin() + 1, tokens.end());
    it->second(*this, args);
  } catch (const ScriptArgumentError& e) {
    world_.log().Emit("scriptError", JsonObject().Num("line", line_).Str("message", e.what()).str());
  } catch (const MarkletError& e) {
    PrintError(e.number(), e.what());
  }
}

void ScriptRunner::RunHandler(TraceContainer&, Marklet& target, EventId id, EventArgs& args) {
  auto it = handlers_.find(id);
  if (it == handlers_.end()) return;
  const Handler& h = it->second;
  const char* eventName = EventName(id);
  try {
    if (h.kind == Handler::SetProperty) {
      if (h.target == u"Picture" || h.target == u"picture") {
        Picture pic;
        if (!h.value.value.empty()) pic = main_->LoadPicture(h.value.value);
        target.SetPicture(pic);
      } else {
        Variant v = ValueOf(h.value);
        Invoke(target, h.target, InvokeKind::Put, std::span<const Variant>(&v, 1));
      }
    } else {
      const EventInfo* info = FindEvent(id);
      for (std::size_t i = 0; info && i < info->params.size() && i < args.size(); ++i) {
        std::u16string pname = Utf8ToU16(info->params[i].name);
        bool same = pname.size() == h.target.size();
        for (std::size_t k = 0; same && k < pname.size(); ++k)
          same = (pname[k] | 0x20) == (h.target[k] | 0x20);
        if (same) args[i] = CoerceTo(info->params[i].type, ValueOf(h.value));
      }
    }
  } catch (const MarkletError& e) {
    JsonObject record;
    record.Raw("error", ErrorJson(e.number(), e.what())).Str("in", eventName);
    world_.log().EmitObject(record.str());
  } catch (const ScriptArgumentError& e) {
    world_.log().Emit("scriptError", JsonObject().Num("line", line_).Str("message", e.what()).str());
  }
}

// ---- Built-in commands: queueing and event handlers ----

namespace {

EventId EventArg(const Token& t) {
  const EventInfo* e = FindEvent(t.value);
  if (!e) throw ScriptArgumentError("unknown event: " + t.text);
  return e->id;
}

}  // namespace

void ScriptRunner::RegisterBuiltins() {
  AddCommand("post", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.empty()) throw ScriptArgumentError("usage: post COMMAND");
    std::vector<Token> command = a;
    int line = r.currentLine();
    TraceWorld::Message m;
    m.deliver = [&r, command, line] {
      int saved = r.line_;
      r.line_ = line;
      r.Execute(command);
      r.line_ = saved;
    };
    r.world().Post(std::move(m));
  });

  AddCommand("on", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 4, 4, "on EVENT set PROPERTY VALUE | on EVENT assign ARG VALUE");
    EventId id = EventArg(a[0]);
    Handler h;
    if (a[1].text == "set") h.kind = Handler::SetProperty;
    else if (a[1].text == "assign") h.kind = Handler::AssignArg;
    else throw ScriptArgumentError("usage: on EVENT set|assign NAME VALUE");
    h.target = a[2].value;
    h.value = a[3];
    if (h.kind == Handler::SetProperty && !FindMember(h.target)) {
      throw ScriptArgumentError("unknown property: " + a[2].text);
    }
    if (h.kind == Handler::AssignArg) {
      const EventInfo* info = FindEvent(id);
      bool found = false;
      for (const auto& p : info->params) found = found || Lower(p.name) == Lower(a[2].text);
      if (!found) throw ScriptArgumentError("event has no argument " + a[2].text);
    }
    if (h.kind == Handler::SetProperty && Lower(a[2].text) != "picture") ValueOf(h.value);
    r.handlers()[id] = h;
  });

  AddCommand("off", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "off EVENT");
    r.handlers().erase(EventArg(a[0]));
  });
}

}  // namespace marklet::trace
