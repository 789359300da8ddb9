// The automation layer: the member table of the control's dispatch interface
// and its event interface, and invocation by DISPID or by name with
// arguments coerced as automation hosts coerce them.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "control/marklet.h"
#include "control/type_library.h"
#include "host/values.h"

namespace marklet {

// The type a member's value has on the automation surface.
enum class AutoType { Integer, Long, Byte, Single, Boolean, OleColor, String, Font, Picture,
                      Apariencia, Borde, LinkDisplay, Void };

enum class MemberKind { Property, Method };

// One row of the dispatch interface. Everything that describes or calls the
// interface reads these rows: Invoke, the IDL and type-library writers, and
// the Windows object's vtable accessors, so a member is added by adding a row
// (and, for the Windows object, declaring its accessors at the vtable's end).
struct MemberInfo {
  const char* name;
  Long dispid;
  MemberKind kind;
  AutoType type;
  // Reads a property; runs a method, whose value is empty.
  Variant (*get)(Marklet& control);
  // Assigns a property a value already coerced to `type`; null when read-only.
  void (*put)(Marklet& control, const Variant& value);

  bool canPut() const { return put != nullptr; }
  // Font and Picture are assigned by reference (Set), the rest by value (Let).
  bool putsByReference() const { return type == AutoType::Font || type == AutoType::Picture; }
};

struct EventParam {
  const char* name;
  AutoType type;
};

struct EventInfo {
  const char* name;
  EventId id;
  std::vector<EventParam> params;
};

struct EnumMember {
  const char* name;  // UTF-8; Sólido carries its accented letter
  Long value;
};

struct EnumInfo {
  const char* name;
  AutoType type;  // the member type that uses it; Void when no member does
  Guid guid;
  std::vector<EnumMember> members;  // each one's help string is its own name
};

// In interface order. An event's DISPID is its EventId.
std::span<const MemberInfo> Members();
std::span<const EventInfo> Events();
std::span<const EnumInfo> Enumerations();
const EnumInfo* FindEnumeration(AutoType type);

const MemberInfo* FindMember(std::u16string_view name);  // case-insensitive
const MemberInfo* FindMember(Long dispid);
const EventInfo* FindEvent(std::u16string_view name);    // case-insensitive
const EventInfo* FindEvent(EventId id);

enum class InvokeKind { Get, Put, Call };

// Invokes a member. Get returns the value; Put takes one argument; Call takes
// none. Errors: 13 / 6 from coercion, 383 for a put on a read-only property,
// 5 for a member that does not take this kind of call, 438 for an unknown one.
Variant Invoke(Marklet& control, Long dispid, InvokeKind kind, std::span<const Variant> args = {});
Variant Invoke(Marklet& control, std::u16string_view name, InvokeKind kind,
               std::span<const Variant> args = {});

// Coerces a variant to a member's automation type.
Variant CoerceTo(AutoType type, const Variant& value);

}  // namespace marklet
