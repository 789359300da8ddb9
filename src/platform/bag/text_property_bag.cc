#include "platform/bag/text_property_bag.h"

#include <algorithm>
#include <cmath>

#include "host/error.h"
#include "platform/bag/bag_file_io.h"

namespace marklet::bag {

namespace {

bool IsNumeric(VarType t) {
  return t == VarType::Bool || t == VarType::Integer || t == VarType::Long || t == VarType::Byte ||
         t == VarType::Single || t == VarType::Double;
}

void CheckStorable(const Variant& value) {
  switch (value.type()) {
    case VarType::Single:
    case VarType::Double:
      if (!std::isfinite(value.ToDouble())) {
        throw MarkletError(ErrorNumber::InvalidPropertyValue,
                           "Invalid property value: a stored number must be finite");
      }
      break;
    case VarType::Font:
      if (!std::isfinite(value.AsFont().size)) {
        throw MarkletError(ErrorNumber::InvalidPropertyValue,
                           "Invalid property value: a stored font size must be finite");
      }
      break;
    case VarType::Picture:
      if (value.AsPicture() && value.AsPicture()->path.empty()) {
        throw MarkletError(ErrorNumber::InvalidPicture,
                           "Invalid picture: a picture that was not loaded from a file cannot be stored");
      }
      break;
    default: break;
  }
}

}  // namespace

bool EqualsDefault(const Variant& value, const Variant& defaultValue) {
  VarType a = value.type(), b = defaultValue.type();
  if (IsNumeric(a) && IsNumeric(b)) return value.ToDouble() == defaultValue.ToDouble();
  if (a != b) return false;
  switch (a) {
    case VarType::Empty: return true;
    case VarType::String: return value.AsString() == defaultValue.AsString();
    case VarType::Font: return value.AsFont() == defaultValue.AsFont();
    case VarType::Picture: return value.AsPicture() == defaultValue.AsPicture();
    default: return false;
  }
}

TextPropertyBag TextPropertyBag::Parse(std::string_view text, Hooks hooks, std::string_view origin) {
  TextPropertyBag bag(std::move(hooks));
  bag.entries_ = ParseBagText(text, origin);
  bag.origin_ = origin;
  return bag;
}

TextPropertyBag TextPropertyBag::LoadFile(const std::u16string& path, Hooks hooks) {
  std::string file = U16ToUtf8(path);
  return Parse(ReadWholeFile(file), std::move(hooks), file);
}

void TextPropertyBag::SaveFile(const std::u16string& path,
                               const std::function<void()>& beforeReplace) const {
  ReplaceFileAtomically(U16ToUtf8(path), Format(), beforeReplace);
}

Variant TextPropertyBag::ReadProperty(const std::u16string& name, const Variant& defaultValue) {
  lastRead_ = kNone;
  if (hooks_.check) hooks_.check("ReadProperty");
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const BagEntry& e) { return e.key == name; });
  if (it == entries_.end()) return defaultValue;
  if (it->pictureFile && it->value.IsEmpty()) {
    if (!hooks_.loadPicture) {
      throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: this bag cannot load pictures");
    }
    it->value = Variant::FromPicture(hooks_.loadPicture(*it->pictureFile));
  }
  lastRead_ = static_cast<std::size_t>(it - entries_.begin());
  return it->value;
}

std::string TextPropertyBag::SourceOfLastRead() const {
  if (lastRead_ >= entries_.size() || entries_[lastRead_].line <= 0) return {};
  const BagEntry& entry = entries_[lastRead_];
  std::string source = "key '" + U16ToUtf8(entry.key) + "', line " + std::to_string(entry.line);
  if (!origin_.empty()) source += " of '" + origin_ + "'";
  return source;
}

void TextPropertyBag::WriteProperty(const std::u16string& name, const Variant& value,
                                    const Variant& defaultValue) {
  lastRead_ = kNone;
  if (hooks_.check) hooks_.check("WriteProperty");
  if (!IsValidKey(name)) {
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Invalid procedure call or argument: a property name is letters, digits "
                       "and underscores ('" + U16ToUtf8(name) + "')");
  }
  CheckStorable(value);
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const BagEntry& e) { return e.key == name; });
  if (EqualsDefault(value, defaultValue)) {
    if (it != entries_.end()) entries_.erase(it);
    return;
  }
  BagEntry entry;
  entry.key = name;
  entry.value = value;
  if (value.type() == VarType::Picture && value.AsPicture()) entry.pictureFile = value.AsPicture()->path;
  if (it != entries_.end()) *it = std::move(entry);
  else entries_.push_back(std::move(entry));
}

}  // namespace marklet::bag
