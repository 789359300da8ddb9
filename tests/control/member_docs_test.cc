// The reference rows beside the member table: every member, event and saved
// key is described once, and what the reference says a new instance holds
// and which keys are saved is what the control does.
#include "control/member_docs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "control/dispatch.h"
#include "control/marklet.h"
#include "markup/trace_host.h"

namespace marklet {
namespace {

TEST(MemberDocs, DescribeEachMemberAndEventExactlyOnce) {
  for (const MemberInfo& m : Members()) EXPECT_NE(FindMemberDoc(m.name), nullptr) << m.name;
  for (const EventInfo& e : Events()) EXPECT_NE(FindEventDoc(e.name), nullptr) << e.name;
  std::set<std::string> seen;
  for (const MemberDoc& d : MemberDocs()) {
    EXPECT_TRUE(seen.insert(d.name).second) << "described twice: " << d.name;
    EXPECT_NE(FindMember(Utf8ToU16(d.name)), nullptr) << "no such member: " << d.name;
    EXPECT_NE(*d.summary, '\0') << d.name;
    EXPECT_NE(*d.errors, '\0') << d.name;
  }
  for (const EventDoc& d : EventDocs()) {
    EXPECT_TRUE(seen.insert(d.name).second) << "described twice: " << d.name;
    EXPECT_NE(FindEvent(Utf8ToU16(d.name)), nullptr) << "no such event: " << d.name;
  }
}

class KeyRecorder : public PropertyBag {
 public:
  std::set<std::string> keys;
  Variant ReadProperty(const std::u16string&, const Variant& defaultValue) override { return defaultValue; }
  void WriteProperty(const std::u16string& name, const Variant&, const Variant&) override {
    keys.insert(U16ToUtf8(name));
  }
};

TEST(MemberDocs, NameExactlyTheKeysTheControlSaves) {
  testing::TraceHost host;
  Marklet& c = host.control();
  KeyRecorder bag;
  c.WriteProperties(bag);

  std::set<std::string> documented;
  for (const MemberDoc& d : MemberDocs())
    if (*d.key) documented.insert(d.key);
  for (const HiddenKeyDoc& k : HiddenKeyDocs()) documented.insert(k.key);
  EXPECT_EQ(documented, bag.keys);
}

// The leading True, False, decimal or &H number of a "New instance" entry;
// entries that name the container's or the surface's value have none.
bool LeadingValue(const char* text, std::string& value) {
  std::string s(text);
  s = s.substr(0, s.find(' '));
  if (s == "True" || s == "False") {
    value = s;
    return true;
  }
  if (s.rfind("&H", 0) == 0) {
    value = std::to_string(std::stol(s.substr(2), nullptr, 16));
    return true;
  }
  if (!s.empty() && s.find_first_not_of("0123456789") == std::string::npos) {
    value = s;
    return true;
  }
  return false;
}

TEST(MemberDocs, NewInstanceValuesAreWhatAFreshControlReports) {
  testing::TraceHost host;
  Marklet& c = host.control();
  int checked = 0;
  for (const MemberInfo& m : Members()) {
    if (m.kind != MemberKind::Property) continue;
    std::string expected;
    if (!LeadingValue(FindMemberDoc(m.name)->newValue, expected)) continue;
    Variant v = m.get(c);
    std::string actual = m.type == AutoType::Boolean ? (v.ToBool() ? "True" : "False")
                                                      : std::to_string(v.ToLong());
    EXPECT_EQ(actual, expected) << m.name;
    ++checked;
  }
  EXPECT_GE(checked, 15);
}

}  // namespace
}  // namespace marklet
