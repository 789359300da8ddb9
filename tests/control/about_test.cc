// The About dialog's code: its text, the system-menu trimming on menus that
// are not standard, and the form host's handling of an unload asked for from
// inside a control's event.
#include <gtest/gtest.h>

#include <sstream>

#include "control/about/about_dialog.h"
#include "control/hosted_marklet.h"
#include "host/container.h"
#include "host/error.h"
#include "platform/trace/trace_container.h"

namespace marklet {
namespace {

TEST(AboutText, TitleWithTheVersionThenTheContactBlock) {
  std::u16string text = ComposeAboutText(1, 2, 3);
  EXPECT_EQ(text.rfind(u"\\n\\t\\t\\t&bOCX Marklet 1.2.3\\b\\n\\n\\n\\t", 0), 0u);
  EXPECT_NE(text.find(u"\\tWeb: #ehttps://marklet.example/<[Marklet]>\\n"), std::u16string::npos);
  EXPECT_NE(text.find(u"\\tCorreo: #emailto:info@marklet.example<info@marklet.example>"), std::u16string::npos);
}

// A form whose window system answers the menu calls as told and records them.
class MenuWindows : public WindowSystem {
 public:
  HMENU menu = 0x501;
  int count = 7;
  std::vector<std::string> calls;

  LONG_PTR SetWindowLongA(HWND, int, LONG_PTR) override { return 0; }
  LONG_PTR GetWindowLongA(HWND, int) override { return 0; }
  LRESULT CallWindowProcA(LONG_PTR, HWND, UINT, WPARAM, LPARAM) override { return 0; }
  LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) override { return 0; }
  bool TrackMouseEvent(TRACKMOUSEEVENT&) override { return true; }
  HMENU GetSystemMenu(HWND, bool) override {
    calls.push_back("get");
    return menu;
  }
  int GetMenuItemCount(HMENU) override {
    calls.push_back("count");
    return count;
  }
  bool RemoveMenu(HMENU, UINT position, UINT flags) override {
    calls.push_back("remove " + std::to_string(position) + " " + std::to_string(flags));
    return true;
  }
  bool DrawMenuBar(HWND) override {
    calls.push_back("draw");
    return true;
  }
  LONG_PTR ShellExecuteA(HWND, const std::string&, const std::string&, const std::string&,
                         const std::string&, int) override {
    return 33;
  }
};

class TextOnly : public SiteControl, public ControlSite {
 public:
  std::u16string text;
  void Initialize() override {}
  void ReadProperties(PropertyBag&) override {}
  void Paint() override {}
  void Resize() override {}
  void Terminate() override {}
  void MouseDown(Integer&, Integer&, Single&, Single&) override {}
  void MouseMove(Integer&, Integer&, Single&, Single&) override {}
  void MouseUp(Integer&, Integer&, Single&, Single&) override {}
  void Click() override {}
  Variant GetProperty(const std::u16string&) override { return Variant::FromString(text); }
  void SetProperty(const std::u16string& name, const Variant& value) override {
    if (name == u"Text") text = value.AsString();
  }
  SiteControl& control() override { return *this; }
  std::u16string ToolTipText() override { return {}; }
  void SetToolTipText(const std::u16string&) override {}
};

class MenuForm : public Form {
 public:
  MenuWindows windowSystem;
  TextOnly site;
  std::u16string formName = kAboutFormName;
  const std::u16string& name() const override { return formName; }
  void ShowModal(HWND) override {}
  void Unload() override {}
  bool Loaded() const override { return true; }
  HWND hWnd() override { return 0x400; }
  ControlSite& Site(const std::u16string&) override { return site; }
  WindowSystem& windows() override { return windowSystem; }
};

TEST(AboutLoad, TrimsOnlyAMenuThatHasItemsAndAlwaysSetsTheText) {
  struct Case {
    HMENU menu;
    int count;
    std::vector<std::string> calls;
  } cases[] = {
      {0x501, 7, {"get", "count", "remove 6 5120", "remove 5 5120", "draw"}},
      {0, 7, {"get"}},            // no system menu
      {0x501, 0, {"get", "count"}},   // an empty one
      {0x501, -1, {"get", "count"}},  // the count failed
      {0x501, 1, {"get", "count", "remove 0 5120", "draw"}},
  };
  for (const auto& c : cases) {
    MenuForm form;
    form.windowSystem.menu = c.menu;
    form.windowSystem.count = c.count;
    AboutDialog().Load(form);
    EXPECT_EQ(form.windowSystem.calls, c.calls) << c.count;
    EXPECT_EQ(form.site.text.rfind(u"\\n\\t\\t\\t&bOCX Marklet ", 0), 0u);
  }
}

// Code that unloads its form from inside the control's MouseMove event.
class UnloadOnMove : public FormCode {
 public:
  int unloads = 0;
  std::u16string key;
  void Load(Form&) override {}
  void Unload(Form&) override { ++unloads; }
  void ButtonClick(Form&, const std::u16string&) override {}
  void ControlEvent(Form& form, const std::u16string&, EventId id, EventArgs& args) override {
    if (id != EventId::MouseMove) return;
    key = args.at(1).ToString();
    form.Unload();
  }
};

// A test form holding one control, Marklet1.
FormDesign SiteOnly() {
  FormDesign design;
  design.name = u"frmTest";
  FormDesign::Control site;
  site.kind = FormDesign::Kind::ControlSite;
  site.name = u"Marklet1";
  site.width = 1000;
  site.height = 500;
  site.create = &HostedMarklet::Create;
  design.controls.push_back(site);
  return design;
}

TEST(TraceForms, AnUnloadFromInsideAControlEventWaitsForTheControl) {
  std::ostringstream log;
  trace::TraceWorld world(log);
  FormDesign design = SiteOnly();
  auto code = std::make_unique<UnloadOnMove>();
  UnloadOnMove& seen = *code;
  auto& form = static_cast<trace::TraceForm&>(world.forms().CreateForm(design, std::move(code)));
  bool moved = false;
  world.SetNestedLineSource([&] {
    if (moved) return false;
    moved = true;
    form.Dispatch(u"Marklet1", [](SiteControl& c) {
      // Over a link the control still has work to do after its event.
      c.SetProperty(u"Text", Variant::FromString(u"#ek<link>"));
      Integer b = 0, s = 0;
      Single x = 100, y = 100;
      c.MouseMove(b, s, x, y);
    });
    EXPECT_FALSE(form.Loaded());
    return true;
  });
  form.ShowModal(0);
  EXPECT_EQ(seen.key, u"k");
  EXPECT_EQ(seen.unloads, 1);
  EXPECT_NE(log.str().find("{\"form\":{\"op\":\"unload\"},\"source\":\"frmTest\"}"), std::string::npos);
}

// Code that unloads its form from its button's click or from its Load, and
// reaches the site after asking.
class UnloadEarly : public FormCode {
 public:
  bool fromLoad = false;
  std::u16string tooltipAfter;
  void Load(Form& form) override {
    if (fromLoad) Leave(form);
  }
  void Unload(Form&) override {}
  void ButtonClick(Form& form, const std::u16string&) override { Leave(form); }
  void ControlEvent(Form&, const std::u16string&, EventId, EventArgs&) override {}

 private:
  void Leave(Form& form) {
    form.Unload();
    form.Site(u"Marklet1").SetToolTipText(u"still here");
    tooltipAfter = form.Site(u"Marklet1").ToolTipText();
  }
};

FormDesign SiteAndButton() {
  FormDesign design = SiteOnly();
  FormDesign::Control button;
  button.kind = FormDesign::Kind::CommandButton;
  button.name = u"btnOk";
  design.controls.push_back(button);
  return design;
}

TEST(TraceForms, AnUnloadFromTheClickOrTheLoadWaitsForItToReturn) {
  std::ostringstream log;
  trace::TraceWorld world(log);
  auto code = std::make_unique<UnloadEarly>();
  UnloadEarly& seen = *code;
  auto& form = static_cast<trace::TraceForm&>(world.forms().CreateForm(SiteAndButton(), std::move(code)));
  world.SetNestedLineSource([&] {
    form.PressButton(u"btnOk");
    EXPECT_FALSE(form.Loaded());
    return true;
  });
  form.ShowModal(0);
  EXPECT_EQ(seen.tooltipAfter, u"still here");
  std::string records = log.str();
  std::size_t click = records.find("{\"form\":{\"op\":\"click\",\"name\":\"btnOk\"}");
  std::size_t tooltip = records.find("{\"tooltip\":\"still here\",\"source\":\"Marklet1\"}");
  std::size_t unload = records.find("{\"form\":{\"op\":\"unload\"}");
  ASSERT_NE(unload, std::string::npos) << records;
  EXPECT_LT(click, tooltip);
  EXPECT_LT(tooltip, unload);

  // Unloaded from its Load, the form is never shown.
  log.str("");
  seen.fromLoad = true;
  seen.tooltipAfter.clear();
  world.SetNestedLineSource([] {
    ADD_FAILURE() << "a modal loop ran for a form that unloaded in its Load";
    return false;
  });
  form.ShowModal(0);
  EXPECT_FALSE(form.Loaded());
  EXPECT_EQ(seen.tooltipAfter, u"still here");
  EXPECT_NE(log.str().find("{\"form\":{\"op\":\"unload\"}"), std::string::npos);
  EXPECT_EQ(log.str().find("\"op\":\"show\""), std::string::npos) << log.str();
}

TEST(TraceForms, APictureThatDoesNotDecodeKeepsNoForm) {
  std::ostringstream log;
  trace::TraceWorld world(log);
  FormDesign design;
  design.name = u"frmBad";
  static const unsigned char kNotAnImage[] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
  FormDesign::Control picture;
  picture.kind = FormDesign::Kind::PictureBox;
  picture.name = u"Picture1";
  picture.image = kNotAnImage;
  design.controls.push_back(picture);
  try {
    world.forms().CreateForm(design, std::make_unique<UnloadOnMove>());
    ADD_FAILURE() << "a form was made";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 481);
  }
  EXPECT_EQ(world.forms().FindForm(u"frmBad"), nullptr);
  EXPECT_TRUE(log.str().empty());
}

}  // namespace
}  // namespace marklet
