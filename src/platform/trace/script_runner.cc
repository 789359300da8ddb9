#include "platform/trace/script_runner.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "control/dispatch.h"
#include "host/error.h"
#include "platform/files/replace_file.h"
#include "platform/trace/bag_file.h"
#include "platform/trace/json.h"
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

// ---- Built-in commands ----

namespace {

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

EventId EventArg(const Token& t) {
  const EventInfo* e = FindEvent(t.value);
  if (!e) throw ScriptArgumentError("unknown event: " + t.text);
  return e->id;
}

}  // namespace

void ScriptRunner::RegisterBuiltins() {
  AddCommand("screen", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 3, 3, "screen tpp X Y");
    if (a[0].text != "tpp") throw ScriptArgumentError("usage: screen tpp X Y");
    double x = Number(a[1]), y = Number(a[2]);
    if (!(x > 0 && y > 0 && x <= 1440 && y <= 1440)) throw ScriptArgumentError("twips per pixel must be in 0..1440");
    r.world().tppX = static_cast<Single>(x);
    r.world().tppY = static_cast<Single>(y);
    // The surface keeps its font's point size; its pixel height follows the screen.
    auto& st = r.main().traceSurface().state();
    st.fontPixels = r.main().traceSurface().PixelsForSize(8.25f);
  });

  AddCommand("ambient", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.empty()) throw ScriptArgumentError("usage: ambient name|backcolor|font ...");
    std::string what = Lower(a[0].text);
    if (what == "name") {
      Need(a, 2, 2, "ambient name \"NAME\"");
      r.main().ambientName = a[1].value;
    } else if (what == "backcolor") {
      Need(a, 2, 2, "ambient backcolor COLOR");
      r.main().ambientBackColor = static_cast<OleColor>(ValueOf(a[1]).ToLong());
    } else if (what == "font") {
      r.main().ambientFont = FontArgs(a, 1);
    } else {
      throw ScriptArgumentError("unknown ambient property: " + a[0].text);
    }
  });

  AddCommand("surface", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 2, 6, "surface PROPERTY VALUE");
    auto& st = r.main().traceSurface().state();
    std::string p = Lower(a[0].text);
    Variant v = p == "font" ? Variant() : ValueOf(a[1]);
    if (p == "width") st.width = v.ToSingle();
    else if (p == "height") st.height = v.ToSingle();
    else if (p == "backstyle") st.backStyle = v.ToInteger();
    else if (p == "appearance") st.appearance = v.ToInteger();
    else if (p == "borderstyle") st.borderStyle = v.ToInteger();
    else if (p == "enabled") st.enabled = v.ToBool();
    else if (p == "forecolor") st.foreColor = static_cast<OleColor>(v.ToLong());
    else if (p == "backcolor") st.backColor = static_cast<OleColor>(v.ToLong());
    else if (p == "fontname") st.fontName = v.ToString();
    else if (p == "fontsize") st.fontPixels = r.main().traceSurface().PixelsForSize(v.ToSingle());
    else if (p == "fontbold") st.bold = v.ToBool();
    else if (p == "fontitalic") st.italic = v.ToBool();
    else if (p == "fontunderline") st.underline = v.ToBool();
    else if (p == "mousepointer") st.mousePointer = v.ToInteger();
    else if (p == "font") {
      FontDesc f = FontArgs(a, 1);
      st.fontName = f.name;
      st.fontPixels = r.main().traceSurface().PixelsForSize(f.size);
      st.bold = f.bold;
      st.italic = f.italic;
    } else {
      throw ScriptArgumentError("unknown surface property: " + a[0].text);
    }
  });

  AddCommand("new", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "new");
    if (r.main().control()) throw ScriptArgumentError("a control exists already; `terminate` it first");
    r.main().CreateControl();
    Marklet& c = *r.main().control();
    r.main().Deliver("Initialize", [&] { c.Initialize(); });
    r.main().Deliver("InitProperties", [&] { c.InitProperties(); });
  });

  AddCommand("load", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "load BAGFILE");
    if (r.main().control()) throw ScriptArgumentError("a control exists already; `terminate` it first");
    // The file is read whole before the control exists, so a bad file loads nothing.
    std::unique_ptr<PropertyBagFile> bag;
    try {
      bag = std::make_unique<PropertyBagFile>(PropertyBagFile::Load(a[0].value, r.main(), r.world().root()));
    } catch (const MarkletError& e) {
      r.PrintError(e.number(), e.what());
      return;
    }
    r.main().CreateControl();
    Marklet& c = *r.main().control();
    r.main().Deliver("Initialize", [&] { c.Initialize(); });
    r.main().Deliver("ReadProperties", [&] { ReadNamingSource(*bag, [&] { c.ReadProperties(*bag); }); });
  });

  AddCommand("save", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "save BAGFILE");
    Marklet& c = r.control();
    // Under a root the file's folder is found (and held open) first, so a
    // file outside is refused before the control is asked for anything.
    std::optional<files::WriteTarget> target;
    if (r.world().fileRoot) {
      try {
        target = files::ResolveForWriting(U16ToUtf8(a[0].value), r.world().root());
      } catch (const MarkletError& e) {
        r.PrintError(e.number(), e.what());
        return;
      }
    }
    PropertyBagFile bag(r.main());
    r.main().Deliver("WriteProperties", [&] {
      c.WriteProperties(bag);
      if (target) files::ReplaceContents(*target, bag.Format());
      else bag.Save(a[0].value);
    });
  });

  AddCommand("set", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.size() < 2) throw ScriptArgumentError("usage: set PROPERTY VALUE");
    Marklet& c = r.control();
    std::string p = Lower(a[0].text);
    if (p == "font") {
      FontDesc f = FontArgs(a, 1);
      r.Guard([&] { c.SetFont(f); });
      return;
    }
    Need(a, 2, 2, "set PROPERTY VALUE");
    if (p == "picture") {
      r.Guard([&] {
        Picture pic;
        if (!a[1].value.empty()) pic = r.main().LoadPicture(a[1].value);
        c.SetPicture(pic);
      });
      return;
    }
    Variant v = ValueOf(a[1]);
    if (!FindMember(a[0].value)) throw ScriptArgumentError("unknown property: " + a[0].text);
    r.Guard([&] { Invoke(c, a[0].value, InvokeKind::Put, std::span<const Variant>(&v, 1)); });
  });

  AddCommand("get", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "get PROPERTY");
    Marklet& c = r.control();
    const MemberInfo* m = FindMember(a[0].value);
    if (!m || m->kind != MemberKind::Property) throw ScriptArgumentError("unknown property: " + a[0].text);
    r.Guard([&] {
      Variant v = Invoke(c, m->dispid, InvokeKind::Get);
      r.world().log().Emit("value", ValueJson(v, static_cast<int>(m->type)));
    });
  });

  AddCommand("call", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "call About|Refresh");
    Marklet& c = r.control();
    const MemberInfo* m = FindMember(a[0].value);
    if (!m || m->kind != MemberKind::Method) throw ScriptArgumentError("unknown method: " + a[0].text);
    r.Guard([&] { Invoke(c, m->dispid, InvokeKind::Call); });
  });

  AddCommand("paint", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "paint");
    Marklet& c = r.control();
    r.main().Deliver("Paint", [&] { c.Paint(); });
  });

  AddCommand("resize", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 2, 2, "resize W H");
    Marklet& c = r.control();
    double w = Number(a[0]), h = Number(a[1]);
    if (!(w >= 0 && h >= 0 && w < 2147483647.0 && h < 2147483647.0)) throw ScriptArgumentError("sizes must be 0 or more");
    r.main().traceSurface().SetSizeQuietly(static_cast<Single>(w), static_cast<Single>(h));
    r.main().Deliver("Resize", [&] { c.Resize(); });
  });

  AddCommand("show", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "show");
    Marklet& c = r.control();
    r.main().Deliver("Show", [&] { c.Show(); });
  });

  AddCommand("move", [](ScriptRunner& r, const std::vector<Token>& a) {
    Integer b, s;
    Single x, y;
    MouseArgs(a, 0, b, s, x, y);
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceMouseMove(b, s, x, y); });
  });
  AddCommand("down", [](ScriptRunner& r, const std::vector<Token>& a) {
    Integer b, s;
    Single x, y;
    MouseArgs(a, 0, b, s, x, y);
    if (a.size() == 2) b = 1;
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceMouseDown(b, s, x, y); });
  });
  AddCommand("up", [](ScriptRunner& r, const std::vector<Token>& a) {
    Integer b, s;
    Single x, y;
    MouseArgs(a, 0, b, s, x, y);
    if (a.size() == 2) b = 1;
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceMouseUp(b, s, x, y); });
  });
  AddCommand("click", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "click");
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceClick(); });
  });
  AddCommand("dblclick", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "dblclick");
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceDblClick(); });
  });
  AddCommand("keydown", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 2, 2, "keydown CODE SHIFT");
    Integer code = IntArg(a[0]), shift = IntArg(a[1]);
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceKeyDown(code, shift); });
  });
  AddCommand("keypress", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "keypress ASCII");
    Integer ascii = IntArg(a[0]);
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceKeyPress(ascii); });
  });
  AddCommand("keyup", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 2, 2, "keyup CODE SHIFT");
    Integer code = IntArg(a[0]), shift = IntArg(a[1]);
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceKeyUp(code, shift); });
  });
  AddCommand("imgmove", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.empty()) throw ScriptArgumentError("usage: imgmove INDEX X Y [BUTTON SHIFT]");
    Integer index = IntArg(a[0]), b, s;
    Single x, y;
    MouseArgs(a, 1, b, s, x, y);
    Marklet& c = r.control();
    r.Guard([&] { c.ImageMouseMove(index, b, s, x, y); });
  });
  AddCommand("imgup", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.empty()) throw ScriptArgumentError("usage: imgup INDEX X Y [BUTTON SHIFT]");
    Integer index = IntArg(a[0]), b, s;
    Single x, y;
    MouseArgs(a, 1, b, s, x, y);
    if (a.size() == 3) b = 1;
    Marklet& c = r.control();
    r.Guard([&] { c.ImageMouseUp(index, b, s, x, y); });
  });
  AddCommand("leave", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "leave");
    r.world().windows().DeliverMouseLeave(r.main().traceSurface().state().hwnd);
  });

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

  AddCommand("fail", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 2, "fail OPERATION [NUMBER]");
    static const char* kOperations[] = {
        "Cls", "BackColor", "ForeColor", "FontName", "FontSize", "FontBold", "FontItalic",
        "FontUnderline", "CurrentX", "CurrentY", "Print", "TextWidth", "TextHeight", "Height",
        "MousePointer", "Refresh", "PropertyChanged", "ReadProperty", "WriteProperty", "Ambient",
        "LoadPicture", "Picture", "Enabled", "Appearance", "BorderStyle", "BackStyle", "ScaleX",
        "ScaleY", "imgC"};
    bool known = false;
    for (const char* op : kOperations) known = known || a[0].text == op;
    if (!known) throw ScriptArgumentError("unknown operation: " + a[0].text);
    double number = a.size() == 2 ? Number(a[1]) : 5;
    if (!(number >= -2147483648.0 && number <= 2147483647.0)) throw ScriptArgumentError("out of range: " + a[1].text);
    r.world().failures().Arm(a[0].text, static_cast<int>(number));
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

  AddCommand("dump", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "dump");
    Marklet& c = r.control();
    r.world().log().Emit("dump", DumpJson(c, r.main()));
  });

  AddCommand("terminate", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "terminate");
    Marklet& c = r.control();
    r.main().Deliver("Terminate", [&] { c.Terminate(); });
    r.main().DestroyControl();
  });
}

// ---- dump ----

std::string DumpJson(Marklet& c, TraceContainer&) {
  std::string runs = "[";
  for (std::size_t i = 0; i < c.Runs().size(); ++i) {
    const RunRecord& r = c.Runs()[i];
    if (i) runs += ",";
    runs += JsonObject()
                .Num("kind", r.Kind)
                .Num("linkIndex", r.LinkIndex)
                .Num("imageIndex", r.ImageIndex)
                .Bool("bold", r.Bold)
                .Bool("underline", r.Underline)
                .Bool("italic", r.Italic)
                .Str("fontName", r.FontName)
                .Sng("fontSize", r.FontSize)
                .Raw("color", JsonColor(r.Color))
                .Str("text", r.Text)
                .Num("sourceLine", r.SourceLine)
                .Num("width", r.Width)
                .str();
  }
  runs += "]";
  std::string links = "[";
  for (std::size_t i = 0; i < c.Links().size(); ++i) {
    const LinkRecord& l = c.Links()[i];
    if (i) links += ",";
    links += JsonObject()
                 .Bool("isImage", l.IsImage)
                 .Str("linkText", l.LinkText)
                 .Str("drawnText", l.DrawnText)
                 .Str("fontName", l.FontName)
                 .Sng("fontSize", l.FontSize)
                 .Bool("bold", l.Bold)
                 .Bool("italic", l.Italic)
                 .Str("linkKey", l.LinkKey)
                 .Sng("left", l.Left)
                 .Sng("top", l.Top)
                 .Sng("right", l.Right)
                 .Sng("bottom", l.Bottom)
                 .str();
  }
  links += "]";
  std::string images = "[";
  for (std::size_t i = 0; i < c.Images().size(); ++i) {
    const ImageRecord& im = c.Images()[i];
    if (i) images += ",";
    images += JsonObject()
                  .Num("offsetX", im.OffsetX)
                  .Num("offsetY", im.OffsetY)
                  .Num("width", im.Picture ? im.Picture->widthHiMetric : 0)
                  .Num("height", im.Picture ? im.Picture->heightHiMetric : 0)
                  .str();
  }
  images += "]";
  std::string segments = "[";
  for (std::size_t i = 0; i < c.LinkSegments().size(); ++i) {
    const LinkSegment& s = c.LinkSegments()[i];
    if (i) segments += ",";
    segments += JsonObject()
                    .Num("linkIndex", s.LinkIndex)
                    .Str("text", s.Text)
                    .Sng("left", s.Left)
                    .Sng("top", s.Top)
                    .Sng("right", s.Right)
                    .Sng("bottom", s.Bottom)
                    .str();
  }
  segments += "]";
  const StyleState& st = c.Style();
  std::string style = JsonObject()
                          .Bool("bold", st.StyleBold)
                          .Bool("underline", st.StyleUnderline)
                          .Bool("italic", st.StyleItalic)
                          .Str("fontName", st.CurFontName)
                          .Sng("fontSize", st.CurFontSize)
                          .Raw("color", JsonColor(st.CurColor))
                          .Str("baseFontName", st.BaseFontName)
                          .Sng("baseFontSize", st.BaseFontSize)
                          .Raw("baseColor", JsonColor(st.BaseColor))
                          .str();
  return JsonObject()
      .Raw("runs", runs)
      .Num("lastRun", c.LastRun())
      .Raw("links", links)
      .Num("linkCount", c.LinkCount())
      .Raw("images", images)
      .Num("imageCount", c.ImageCount())
      .Raw("segments", segments)
      .Bool("moreLinkShown", c.MoreLinkShown())
      .Bool("layoutReady", c.LayoutReady())
      .Num("hoverLink", c.HoverLink())
      .Num("hoverSegment", c.HoverSegment())
      .Str("formatedText", c.FormatedText())
      .Raw("style", style)
      .str();
}

}  // namespace marklet::trace
