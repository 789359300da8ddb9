// What the reference (`marklet doc properties`) says about each member and
// event beyond what the member table already carries. Rows are matched to
// the member and event tables by name, so a DISPID is written only there; a
// test keeps every member and event covered exactly once.
#pragma once

#include <span>

namespace marklet {

struct MemberDoc {
  const char* name;
  // The value a freshly created control reports, before anything is loaded.
  const char* newValue;
  // The property-bag key it is saved under (empty when it is not saved) and
  // the default that key is read with: a value equal to it is not written.
  const char* key;
  const char* keyDefault;
  // The values a set accepts and what it does with the rest.
  const char* range;
  // What the member does, in a sentence or a short paragraph (Markdown).
  const char* summary;
  // The errors a get, set or call can raise, with their numbers.
  const char* errors;
};

struct EventDoc {
  const char* name;
  // When the control raises it and what its arguments carry (Markdown).
  const char* when;
};

// A saved key that no property shows.
struct HiddenKeyDoc {
  const char* key;
  const char* keyDefault;
  const char* summary;
};

std::span<const MemberDoc> MemberDocs();
std::span<const EventDoc> EventDocs();
std::span<const HiddenKeyDoc> HiddenKeyDocs();

const MemberDoc* FindMemberDoc(const char* name);
const EventDoc* FindEventDoc(const char* name);

}  // namespace marklet
