// A change made through the host's font object: one attribute changed the
// way the standard font object changes it, handed to the control as the whole
// changed font, with exactly the effect of a Font set, on the trace container
// and on the raster host.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/marklet.h"
#include "host/error.h"
#include "host/font_attribute.h"
#include "platform/raster/raster_container.h"
#include "platform/trace/trace_container.h"
#include "support/error_of.h"

namespace marklet {
namespace {

using testing::ErrorOf;

TEST(FontAttribute, ChangesOneAttributeAndMovesBoldWithWeight) {
  const FontDesc base{u"MS Sans Serif", 8.25f};
  EXPECT_EQ(WithFontAttribute(base, u"name", Variant::FromString(u"Tahoma")).name, u"Tahoma");
  EXPECT_EQ(WithFontAttribute(base, u"SIZE", Variant::FromString(u"14")).size, 14.0f);
  FontDesc bold = WithFontAttribute(base, u"Bold", Variant::FromBool(true));
  EXPECT_TRUE(bold.bold);
  EXPECT_EQ(bold.weight, 700);
  FontDesc plain = WithFontAttribute(bold, u"Bold", Variant::FromBool(false));
  EXPECT_EQ(plain.weight, 400);
  EXPECT_TRUE(WithFontAttribute(base, u"Weight", Variant::FromInteger(551)).bold);
  EXPECT_FALSE(WithFontAttribute(bold, u"Weight", Variant::FromInteger(550)).bold);
  FontDesc rest = base;
  rest = WithFontAttribute(rest, u"Italic", Variant::FromBool(true));
  rest = WithFontAttribute(rest, u"Underline", Variant::FromBool(true));
  rest = WithFontAttribute(rest, u"Strikethrough", Variant::FromBool(true));
  rest = WithFontAttribute(rest, u"Charset", Variant::FromInteger(2));
  EXPECT_TRUE(rest.italic && rest.underline && rest.strikethrough);
  EXPECT_EQ(rest.charset, 2);
  EXPECT_EQ(rest.name, base.name);
  EXPECT_EQ(rest.size, base.size);
}

TEST(FontAttribute, RefusesWhatTheObjectCannotTakeNamingTheAttribute) {
  const FontDesc base{u"MS Sans Serif", 8.25f};
  try {
    WithFontAttribute(base, u"Size", Variant::FromString(u"big"));
    ADD_FAILURE() << "no error";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 13);
    EXPECT_NE(std::string(e.what()).find("'Size'"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ErrorOf([&] { WithFontAttribute(base, u"Weight", Variant::FromLong(70000)); }), 6);
  EXPECT_EQ(ErrorOf([&] { WithFontAttribute(base, u"Colour", Variant::FromLong(1)); }), 438);
}

// The same font reaching the control as a Font set and as a change of the
// font object leaves the same records and the same state.
TEST(SurfaceFontChanged, HasExactlyTheEffectOfAFontSet) {
  for (const FontDesc& font : {FontDesc{u"Tahoma", 14.0f, true, false, false, false, 700, 0},
                               FontDesc{u"Arial", 9.0f, false, true, true, true, 400, 2}}) {
    std::ostringstream setOut, changedOut;
    trace::TraceWorld setWorld(setOut), changedWorld(changedOut);
    trace::TraceContainer setHost(setWorld), changedHost(changedWorld);
    setHost.CreateControl();
    changedHost.CreateControl();
    Marklet& set = *setHost.control();
    Marklet& changed = *changedHost.control();
    for (Marklet* c : {&set, &changed}) {
      c->Initialize();
      c->InitProperties();
      c->Paint();
    }
    const std::size_t setMark = setOut.str().size(), changedMark = changedOut.str().size();
    set.SetFont(font);
    changed.SurfaceFontChanged(font);
    EXPECT_EQ(setOut.str().substr(setMark), changedOut.str().substr(changedMark));
    EXPECT_NE(changedOut.str().find(R"({"notify":"Font"})", changedMark), std::string::npos);
    EXPECT_EQ(changed.Font(), set.Font());
    EXPECT_FALSE(changed.LayoutReady());
    EXPECT_EQ(changed.Font().size, font.size == 14.0f ? 14.25f : 9.0f);
  }
}

TEST(SurfaceFontChanged, RaisesTheRefusalAfterEveryStepAndKeepsTheFont) {
  std::ostringstream out;
  trace::TraceWorld world(out);
  trace::TraceContainer host(world);
  host.CreateControl();
  Marklet& c = *host.control();
  c.Initialize();
  c.InitProperties();
  c.Paint();
  ASSERT_TRUE(c.LayoutReady());
  const FontDesc kept = c.Font();
  FontDesc huge = kept;
  huge.size = 5000;
  const std::size_t mark = out.str().size();
  EXPECT_EQ(ErrorOf([&] { c.SurfaceFontChanged(huge); }), 380);
  EXPECT_NE(out.str().find(R"({"notify":"Font"})", mark), std::string::npos);
  EXPECT_NE(out.str().find(R"({"refresh":true})", mark), std::string::npos);
  EXPECT_FALSE(c.LayoutReady());
  EXPECT_EQ(c.Font(), kept);
  // The setter takes the same font and reports success.
  EXPECT_EQ(ErrorOf([&] { c.SetFont(huge); }), 0);
}

TEST(RasterFontObject, AChangeReachesTheControlAndARefusalGoesToTheErrorPath) {
  raster::RasterContainer host;
  std::vector<std::pair<std::string, int>> errors;
  std::vector<std::u16string> notices;
  host.onError = [&](const char* name, int number, const std::string&) { errors.emplace_back(name, number); };
  host.onPropertyChanged = [&](const std::u16string& name) { notices.push_back(name); };
  host.CreateControl();
  Marklet& c = *host.control();
  host.QueuePaint();
  host.Pump();
  ASSERT_TRUE(c.LayoutReady());
  notices.clear();

  host.ChangeFontAttribute(u"Size", Variant::FromInteger(14));
  EXPECT_EQ(notices, std::vector<std::u16string>{u"Font"});
  EXPECT_FALSE(c.LayoutReady());
  EXPECT_EQ(c.Font().size, 14.25f);
  host.Pump();
  EXPECT_TRUE(c.LayoutReady());

  host.ChangeFontAttribute(u"Bold", Variant::FromBool(true));
  EXPECT_TRUE(c.Font().bold);
  EXPECT_EQ(c.Font().size, 14.25f);
  EXPECT_TRUE(errors.empty());

  host.ChangeFontAttribute(u"Size", Variant::FromInteger(5000));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], (std::pair<std::string, int>{"FontChanged", 380}));
  EXPECT_EQ(c.Font().size, 14.25f);
  EXPECT_EQ(ErrorOf([&] { host.ChangeFontAttribute(u"Size", Variant::FromString(u"big")); }), 13);
}

}  // namespace
}  // namespace marklet
