// A property bag kept as text (bag_syntax.h), loaded from and saved to files.
// Hosts bind it to their own picture loading and failure reporting.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/container.h"
#include "platform/bag/bag_syntax.h"

namespace marklet::bag {

class TextPropertyBag : public PropertyBag {
 public:
  struct Hooks {
    // Runs at the start of every ReadProperty and WriteProperty with that
    // name; it may throw to make the call fail.
    std::function<void(const char* operation)> check;
    // Loads a stored picture file when its key is read.
    std::function<Picture(const std::u16string& path)> loadPicture;
  };

  explicit TextPropertyBag(Hooks hooks = {}) : hooks_(std::move(hooks)) {}

  // Reads a whole bag text or file; nothing is kept from one that is not well
  // formed (error 13 naming the line). A missing file is error 53.
  static TextPropertyBag Parse(std::string_view text, Hooks hooks, std::string_view origin = {});
  static TextPropertyBag LoadFile(const std::u16string& path, Hooks hooks);

  std::string Format() const { return FormatBagText(entries_); }
  // Writes a new file and renames it over the old one (bag_file_io.h).
  void SaveFile(const std::u16string& path, const std::function<void()>& beforeReplace = {}) const;

  // Keys match exactly, case included.
  Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override;
  // Leaves out a value equal to its default (numbers compare by value, so an
  // Integer 0 equals a Long 0) and removes an earlier value of that key.
  // Error 5 for a key the text cannot hold; 380 or 481 for a value it cannot.
  void WriteProperty(const std::u16string& name, const Variant& value,
                     const Variant& defaultValue) override;

  const std::vector<BagEntry>& entries() const { return entries_; }

  // "key 'K', line N of 'FILE'" for the stored value ReadProperty last
  // returned; empty after a read that gave the default or failed.
  std::string SourceOfLastRead() const override;

 private:
  Hooks hooks_;
  std::vector<BagEntry> entries_;
  std::string origin_;  // the file it was read from, for messages
  std::size_t lastRead_ = kNone;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
};

// Whether a stored value equals a default: numbers (Booleans as -1 and 0) by
// value, strings and fonts exactly, pictures by identity.
bool EqualsDefault(const Variant& value, const Variant& defaultValue);

}  // namespace marklet::bag
