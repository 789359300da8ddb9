// A read-only property bag over stored keys and values, as a form's design or
// a saved record holds them. A key that is not stored gives the default;
// writing is refused (error 5).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/container.h"
#include "host/error.h"

namespace marklet {

class StoredPropertyBag final : public PropertyBag {
 public:
  using Entries = std::vector<std::pair<std::u16string, Variant>>;

  // `beforeRead` runs ahead of every read (a host may refuse it by throwing).
  explicit StoredPropertyBag(const Entries& stored, std::function<void()> beforeRead = {})
      : stored_(stored), beforeRead_(std::move(beforeRead)) {}

  Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override {
    if (beforeRead_) beforeRead_();
    for (const auto& [key, value] : stored_)
      if (key == name) return value;
    return defaultValue;
  }
  void WriteProperty(const std::u16string&, const Variant&, const Variant&) override {
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Invalid procedure call or argument: stored properties are read only");
  }

 private:
  const Entries& stored_;
  std::function<void()> beforeRead_;
};

}  // namespace marklet
