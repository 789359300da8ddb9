// Small JSON text helpers for the trace records.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/numeric.h"
#include "host/values.h"

namespace marklet::trace {

// A JSON string literal. UTF-16 input keeps lone surrogates as \u escapes, so
// no code unit is lost.
std::string JsonString(std::u16string_view text);
std::string JsonString(std::string_view utf8);
inline std::string JsonBool(bool v) { return v ? "true" : "false"; }
inline std::string JsonSingle(Single v) { return FormatSingle(v); }
inline std::string JsonColor(OleColor v) { return std::to_string(v); }
std::string JsonFont(const FontDesc& font);
std::string JsonPicture(const Picture& picture);
// Event arguments as a JSON array: strings, Booleans, Singles, whole numbers.
std::string JsonArgs(const std::vector<Variant>& args);

// Builds one JSON object, key by key, in insertion order.
class JsonObject {
 public:
  JsonObject& Raw(std::string_view key, const std::string& json);
  JsonObject& Str(std::string_view key, std::u16string_view value) { return Raw(key, JsonString(value)); }
  JsonObject& Str(std::string_view key, std::string_view value) { return Raw(key, JsonString(value)); }
  JsonObject& Num(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }
  JsonObject& Sng(std::string_view key, Single value) { return Raw(key, JsonSingle(value)); }
  JsonObject& Bool(std::string_view key, bool value) { return Raw(key, JsonBool(value)); }
  std::string str() const { return "{" + body_ + "}"; }

 private:
  std::string body_;
};

}  // namespace marklet::trace
