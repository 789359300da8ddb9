#include "platform/trace/script_arguments.h"

namespace marklet::trace {

void Need(const std::vector<Token>& args, std::size_t min, std::size_t max, const char* usage) {
  if (args.size() < min || args.size() > max) throw ScriptArgumentError(std::string("usage: ") + usage);
}

double Number(const Token& t) {
  double v;
  if (t.kind != Token::Word || !ParseNumericString(t.value, v)) {
    throw ScriptArgumentError("not a number: " + t.text);
  }
  return v;
}

Integer IntArg(const Token& t) {
  double v = Number(t);
  if (v < -32768 || v > 32767) throw ScriptArgumentError("out of range: " + t.text);
  return static_cast<Integer>(v);
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c += 32;
  return s;
}

FontDesc FontArgs(const std::vector<Token>& args, std::size_t from) {
  if (args.size() < from + 2) throw ScriptArgumentError("usage: \"name\" size [bold] [italic]");
  FontDesc f;
  f.name = args[from].value;
  f.size = static_cast<Single>(Number(args[from + 1]));
  for (std::size_t i = from + 2; i < args.size(); ++i) {
    std::string w = Lower(args[i].text);
    if (w == "bold") f.bold = true, f.weight = 700;
    else if (w == "italic") f.italic = true;
    else if (w == "underline") f.underline = true;
    else if (w == "strikethrough") f.strikethrough = true;
    else throw ScriptArgumentError("unknown font style: " + args[i].text);
  }
  return f;
}

void MouseArgs(const std::vector<Token>& args, std::size_t from, Integer& b, Integer& s, Single& x,
               Single& y) {
  if (args.size() != from + 2 && args.size() != from + 4) {
    throw ScriptArgumentError("usage: X Y [BUTTON SHIFT]");
  }
  x = static_cast<Single>(Number(args[from]));
  y = static_cast<Single>(Number(args[from + 1]));
  b = args.size() == from + 4 ? IntArg(args[from + 2]) : 0;
  s = args.size() == from + 4 ? IntArg(args[from + 3]) : 0;
}

}  // namespace marklet::trace
