#include "platform/trace/json.h"

#include <cstdio>

namespace marklet::trace {

namespace {

void AppendEscape(std::string& out, unsigned code) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04x", code);
  out += buf;
}

void AppendAscii(std::string& out, char16_t c) {
  switch (c) {
    case u'"': out += "\\\""; break;
    case u'\\': out += "\\\\"; break;
    case u'\n': out += "\\n"; break;
    case u'\r': out += "\\r"; break;
    case u'\t': out += "\\t"; break;
    case u'\b': out += "\\b"; break;
    case u'\f': out += "\\f"; break;
    default:
      if (c < 0x20 || c == 0x7F) AppendEscape(out, c);
      else out.push_back(static_cast<char>(c));
  }
}

}  // namespace

std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < 0x80) {
      AppendAscii(out, c);
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      out += U16ToUtf8(text.substr(i, 2));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendEscape(out, c);
    } else {
      out += U16ToUtf8(text.substr(i, 1));
    }
  }
  out += "\"";
  return out;
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (char ch : utf8) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80) AppendAscii(out, c);
    else out.push_back(ch);
  }
  out += "\"";
  return out;
}

std::string JsonFont(const FontDesc& font) {
  return JsonObject()
      .Str("name", font.name)
      .Sng("size", font.size)
      .Bool("bold", font.bold)
      .Bool("italic", font.italic)
      .Bool("underline", font.underline)
      .Bool("strikethrough", font.strikethrough)
      .Num("weight", font.weight)
      .Num("charset", font.charset)
      .str();
}

std::string JsonPicture(const Picture& picture) {
  if (!picture) return "null";
  return JsonObject()
      .Num("width", picture->widthHiMetric)
      .Num("height", picture->heightHiMetric)
      .str();
}

JsonObject& JsonObject::Raw(std::string_view key, const std::string& json) {
  if (!body_.empty()) body_ += ",";
  body_ += JsonString(key);
  body_ += ":";
  body_ += json;
  return *this;
}

std::string JsonArgs(const std::vector<Variant>& args) {
  std::string list = "[";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i) list += ",";
    const Variant& a = args[i];
    switch (a.type()) {
      case VarType::String: list += JsonString(a.AsString()); break;
      case VarType::Bool: list += JsonBool(a.AsBool()); break;
      case VarType::Single: list += JsonSingle(a.ToSingle()); break;
      case VarType::Double: list += FormatDouble(a.ToDouble()); break;
      case VarType::Empty: list += "null"; break;
      default: list += std::to_string(static_cast<long long>(a.ToDouble()));
    }
  }
  return list + "]";
}

}  // namespace marklet::trace
