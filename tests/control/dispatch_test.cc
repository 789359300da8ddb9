// The automation layer on a control hosted by the trace container: lookup by
// DISPID and by name, argument coercion, and the calls it refuses.
#include "control/dispatch.h"

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/error.h"
#include "platform/trace/trace_container.h"

namespace marklet {
namespace {

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    container_.CreateControl();
    control().Initialize();
    control().InitProperties();
    out_.str("");
  }
  void TearDown() override {
    control().Terminate();
    container_.DestroyControl();
  }

  Marklet& control() { return *container_.control(); }
  std::string Records() const { return out_.str(); }

  Variant Get(Long dispid) { return Invoke(control(), dispid, InvokeKind::Get); }
  Variant Get(std::u16string_view name) { return Invoke(control(), name, InvokeKind::Get); }
  void Put(std::u16string_view name, const Variant& value) {
    Invoke(control(), name, InvokeKind::Put, std::span<const Variant>(&value, 1));
  }
  void Put(Long dispid, const Variant& value) {
    Invoke(control(), dispid, InvokeKind::Put, std::span<const Variant>(&value, 1));
  }

  // The error number an invocation raises, or 0 when it succeeds.
  template <typename F>
  int ErrorOf(F&& operation) {
    try {
      operation();
    } catch (const MarkletError& e) {
      return e.number();
    }
    return 0;
  }

  std::ostringstream out_;
  trace::TraceWorld world_{out_};
  trace::TraceContainer container_{world_};
};

TEST_F(DispatchTest, InvokesByDispidAndByNameInAnyCase) {
  Put(0x6803000B, Variant::FromString(u"7"));  // TabSize
  EXPECT_EQ(Get(u"tabsize"), Variant::FromByte(7));
  EXPECT_EQ(Get(u"TABSIZE"), Variant::FromByte(7));

  Put(u"lINEsPACING", Variant::FromDouble(12.5));  // rounds half to even
  EXPECT_EQ(Get(0x68030016), Variant::FromInteger(12));
  EXPECT_EQ(control().LineSpacing(), 12);

  Put(u"multiline", Variant::FromString(u"False"));
  EXPECT_EQ(Get(0x68030011), Variant::FromBool(false));
  Put(u"Text", Variant::FromInteger(5));
  EXPECT_EQ(Get(u"text"), Variant::FromString(u"5"));

  EXPECT_NE(Records().find(R"({"notify":"TabSize"})"), std::string::npos) << Records();
  EXPECT_NE(Records().find(R"({"notify":"LineSpacing"})"), std::string::npos) << Records();
}

TEST_F(DispatchTest, ColoursKeepAllThirtyTwoBits) {
  Put(u"BackColor", Variant::FromString(u"&H8000000F"));
  EXPECT_EQ(control().BackColor(), 0x8000000Fu);
  EXPECT_EQ(static_cast<OleColor>(Get(0x68030014).ToLong()), 0x8000000Fu);
  Put(0x68030009, Variant::FromDouble(2147483666.0));  // LinkColor, unsigned &H80000012
  EXPECT_EQ(control().LinkColor(), 0x80000012u);
}

TEST_F(DispatchTest, CoercionErrorsChangeNothing) {
  EXPECT_EQ(ErrorOf([&] { Put(u"TabSize", Variant::FromString(u"abc")); }), 13);
  EXPECT_EQ(ErrorOf([&] { Put(u"TabSize", Variant::FromInteger(300)); }), 6);
  EXPECT_EQ(ErrorOf([&] { Put(u"TabSize", Variant::FromString(u"-1")); }), 6);
  EXPECT_EQ(ErrorOf([&] { Put(u"LeftMargin", Variant::FromLong(40000)); }), 6);
  EXPECT_EQ(ErrorOf([&] { Put(u"ShowMoreLink", Variant::FromString(u"maybe")); }), 13);
  EXPECT_EQ(ErrorOf([&] { Put(u"Font", Variant::FromString(u"Arial")); }), 13);
  EXPECT_EQ(ErrorOf([&] { Put(u"Picture", Variant::FromInteger(1)); }), 13);
  // Appearance and BorderStyle take a Long and narrow it to 16 bits.
  EXPECT_EQ(ErrorOf([&] { Put(u"Appearance", Variant::FromLong(40000)); }), 6);
  EXPECT_EQ(ErrorOf([&] { Put(u"BorderStyle", Variant::FromLong(-32769)); }), 6);

  EXPECT_EQ(control().TabSize(), 5);
  EXPECT_EQ(control().LeftMargin(), 0);
  EXPECT_TRUE(control().ShowMoreLink());
  EXPECT_EQ(Records(), "") << "a refused value must not notify";
}

TEST_F(DispatchTest, FormatedTextIsReadOnly) {
  EXPECT_EQ(Get(u"FormatedText").type(), VarType::String);
  EXPECT_EQ(ErrorOf([&] { Put(u"formatedtext", Variant::FromString(u"x")); }), 383);
  EXPECT_EQ(ErrorOf([&] { Put(0x68030007, Variant::FromString(u"x")); }), 383);
  EXPECT_EQ(Records(), "");
}

TEST_F(DispatchTest, UnknownMembersAreNotSupported) {
  EXPECT_EQ(ErrorOf([&] { Get(u"Caption"); }), 438);
  EXPECT_EQ(ErrorOf([&] { Get(u"TabSizes"); }), 438);
  EXPECT_EQ(ErrorOf([&] { Get(u"TabSiz"); }), 438);
  EXPECT_EQ(ErrorOf([&] { Get(0x68030003); }), 438);  // the one DISPID no member uses
  EXPECT_EQ(ErrorOf([&] { Put(u"", Variant::FromInteger(1)); }), 438);
}

TEST_F(DispatchTest, MethodsAndAccessorsTakeOnlyTheirArguments) {
  EXPECT_FALSE(world_.PaintQueued(&container_));
  Invoke(control(), u"refresh", InvokeKind::Call);
  EXPECT_TRUE(world_.PaintQueued(&container_));
  Invoke(control(), kDispidAboutBox, InvokeKind::Call);

  Variant one = Variant::FromInteger(1);
  std::span<const Variant> oneArg(&one, 1);
  EXPECT_EQ(ErrorOf([&] { Invoke(control(), u"Refresh", InvokeKind::Call, oneArg); }), 5);
  EXPECT_EQ(ErrorOf([&] { Invoke(control(), kDispidAboutBox, InvokeKind::Call, oneArg); }), 5);
  EXPECT_EQ(ErrorOf([&] { Invoke(control(), u"Refresh", InvokeKind::Put, oneArg); }), 5);
  EXPECT_EQ(ErrorOf([&] { Invoke(control(), u"TabSize", InvokeKind::Get, oneArg); }), 5);
  EXPECT_EQ(ErrorOf([&] { Invoke(control(), u"TabSize", InvokeKind::Put); }), 5);
  EXPECT_EQ(control().TabSize(), 5);
}

// A value of the member's type other than `now`.
Variant Another(const MemberInfo& m, const Variant& now) {
  switch (m.type) {
    case AutoType::Integer: return Variant::FromInteger(static_cast<Integer>(now.ToInteger() + 3));
    case AutoType::Byte: return Variant::FromByte(static_cast<Byte>(now.ToByte() + 1));
    case AutoType::Boolean: return Variant::FromBool(!now.ToBool());
    case AutoType::OleColor: return Variant::FromLong(now.ToLong() ^ 0x00102030);
    case AutoType::Apariencia:
    case AutoType::Borde:
    case AutoType::LinkDisplay: return Variant::FromLong(now.ToLong() == 0 ? 1 : 0);
    case AutoType::String: return Variant::FromString(now.ToString() + u"x");
    case AutoType::Font: {
      FontDesc font = now.ToFont();
      font.size = font.size == 12 ? 9 : 12;  // sizes the control keeps as given
      return Variant::FromFont(font);
    }
    case AutoType::Picture: {
      auto picture = std::make_shared<PictureObject>();
      picture->widthHiMetric = picture->heightHiMetric = 100;
      return Variant::FromPicture(picture);
    }
    default: return Variant();
  }
}

// Each row's getter and setter reach the property the row names and no other:
// a changed value reads back by the row's DISPID, the notice carries the
// row's name, and every other member reads as before (but the plain text,
// which follows the text).
TEST_F(DispatchTest, EveryRowReadsAndWritesItsOwnProperty) {
  auto snapshot = [&] {
    std::vector<Variant> values;
    for (const MemberInfo& m : Members())
      values.push_back(m.kind == MemberKind::Property ? Get(m.dispid) : Variant());
    return values;
  };
  const MemberInfo* text = FindMember(u"Text");
  const MemberInfo* plain = FindMember(u"FormatedText");
  std::size_t written = 0;
  for (const MemberInfo& m : Members()) {
    if (!m.canPut()) continue;
    SCOPED_TRACE(m.name);
    std::vector<Variant> before = snapshot();
    Variant value = Another(m, Get(m.dispid));
    out_.str("");
    Put(m.dispid, value);
    EXPECT_EQ(Get(m.dispid), value);
    std::string notice = std::string(R"({"notify":")") + m.name + "\"}";
    EXPECT_NE(Records().find(notice), std::string::npos) << Records();
    std::vector<Variant> after = snapshot();
    for (std::size_t i = 0; i < Members().size(); ++i) {
      const MemberInfo& other = Members()[i];
      if (&other == &m || (&m == text && &other == plain)) continue;
      EXPECT_EQ(after[i], before[i]) << other.name << " changed";
    }
    ++written;
  }
  EXPECT_EQ(written, 20u);
}

TEST_F(DispatchTest, EventsAreFoundByNameInAnyCaseAndById) {
  ASSERT_NE(FindEvent(u"onlinkclick"), nullptr);
  EXPECT_EQ(FindEvent(u"onlinkclick")->id, EventId::OnLinkClick);
  EXPECT_EQ(FindEvent(u"Mouse"), nullptr);
  ASSERT_NE(FindEvent(EventId::MouseMove), nullptr);
  EXPECT_STREQ(FindEvent(EventId::MouseMove)->name, "MouseMove");
  EXPECT_EQ(FindEvent(EventId::MouseMove)->params.size(), 6u);
}

}  // namespace
}  // namespace marklet
