// The form lifecycle every host shares, on a host that only records its
// hooks: the order of a load and an unload, a failed load, an unload asked
// for during a call, during the code's Load or during the code's Unload, an
// unload a host finishes from its own loop, and the forms kept by name.
#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/form_lifecycle.h"

namespace marklet {
namespace {

using Log = std::vector<std::string>;

// Never asked for anything: the recorded controls do not use their container.
class NoContainer : public Container {
 public:
  Surface& surface() override { throw std::logic_error("surface"); }
  ImageArray& imgC() override { throw std::logic_error("imgC"); }
  WindowSystem& windows() override { throw std::logic_error("windows"); }
  void PropertyChanged(const std::u16string&) override {}
  std::u16string AmbientDisplayName() override { return {}; }
  OleColor AmbientBackColor() override { return 0; }
  FontDesc AmbientFont() override { return {}; }
  void DoEvents() override {}
  void RaiseEvent(EventId, EventArgs&) override {}
  Picture LoadPicture(const std::u16string&) override { return {}; }
  Single ScreenTwipsPerPixelX() override { return 15; }
  Single ScreenTwipsPerPixelY() override { return 15; }
  int MsgBox(const std::u16string&, int, const std::u16string&) override { return 1; }
};

class RecordedControl : public SiteControl {
 public:
  explicit RecordedControl(Log& log) : log_(log) {}
  void Initialize() override { log_.push_back("Initialize"); }
  void ReadProperties(PropertyBag& bag) override {
    log_.push_back("ReadProperties " + U16ToUtf8(bag.ReadProperty(u"Text", Variant::FromString(u"-")).ToString()));
  }
  void Paint() override {}
  void Resize() override {}
  void Terminate() override { log_.push_back("Terminate"); }
  void MouseDown(Integer&, Integer&, Single&, Single&) override {}
  void MouseMove(Integer&, Integer&, Single&, Single&) override {}
  void MouseUp(Integer&, Integer&, Single&, Single&) override {}
  void Click() override { log_.push_back("Click"); }
  Variant GetProperty(const std::u16string&) override { return {}; }
  void SetProperty(const std::u16string&, const Variant&) override {}

 private:
  Log& log_;
};

class RecordedSite : public FormSite {
 public:
  RecordedSite(const std::u16string& name, Log& log) : FormSite(name), log_(log) {}
  SiteControl& control() override { return *control_; }
  std::u16string ToolTipText() override { return {}; }
  void SetToolTipText(const std::u16string&) override {}
  Container& container() override { return container_; }
  void Attach(std::unique_ptr<SiteControl> control) override { control_ = std::move(control); }
  void Deliver(const char* notification, const std::function<void()>& action) override {
    try {
      action();
    } catch (const MarkletError& e) {
      log_.push_back(std::string("error in ") + notification + ": " + e.what());
    }
  }
  void Detach() override {
    control_->Terminate();
    control_.reset();
  }

 private:
  Log& log_;
  NoContainer container_;
  std::unique_ptr<SiteControl> control_;
};

// What the form's code does at each step is up to each case.
class ScriptedCode : public FormCode {
 public:
  explicit ScriptedCode(Log& log) : log_(log) {}
  std::function<void(Form&)> onLoad, onUnload, onClick;
  void Load(Form& form) override {
    log_.push_back("code Load");
    if (onLoad) onLoad(form);
  }
  void Unload(Form& form) override {
    log_.push_back("code Unload");
    if (onUnload) onUnload(form);
  }
  void ButtonClick(Form& form, const std::u16string& button) override {
    log_.push_back("code ButtonClick " + U16ToUtf8(button));
    if (onClick) onClick(form);
  }
  void ControlEvent(Form&, const std::u16string&, EventId, EventArgs&) override {}

 private:
  Log& log_;
};

// A host whose modal loop runs `whileShown` once, then ends the show the
// way a user closing the window would.
class RecordedForm : public FormLifecycle {
 public:
  RecordedForm(const FormDesign& design, std::unique_ptr<FormCode> code, Log& log)
      : FormLifecycle(design, std::vector<Picture>(design.controls.size()), std::move(code)), log_(log) {}
  ~RecordedForm() override { DiscardSites(); }

  HWND hWnd() override { return Loaded() ? 0x40 : 0; }
  WindowSystem& windows() override { throw std::logic_error("windows"); }

  std::function<void(RecordedForm&)> whileShown;
  bool finishesUnloadItself = false;
  bool windowFails = false;

  // What the host's input does: a click of a button, counted as a call.
  void Click(const std::u16string& button) {
    Call([&] { code().ButtonClick(*this, button); });
  }
  using FormLifecycle::Call;
  using FormLifecycle::TakeDown;

 private:
  void RunModal(HWND owner) override {
    Load(owner);
    if (!Loaded()) return;
    log_.push_back("show");
    if (whileShown) whileShown(*this);
    Unload();
  }
  void OpenWindow(HWND owner) override {
    if (windowFails) throw MarkletError(7, "Out of memory: no window");
    log_.push_back("open window over " + std::to_string(owner));
  }
  void PlaceControl(std::size_t index) override { log_.push_back("place " + U16ToUtf8(design().controls[index].name)); }
  std::unique_ptr<FormSite> MakeSite(const FormDesign::Control& control) override {
    log_.push_back("make site " + U16ToUtf8(control.name));
    return std::make_unique<RecordedSite>(control.name, log_);
  }
  void ControlsLoaded() override { log_.push_back("controls loaded"); }
  void Report(const char* step) override { log_.push_back(std::string("report ") + step); }
  void ReportError(const char* where, const MarkletError& error) override {
    log_.push_back(std::string("error in ") + where + ": " + std::to_string(error.number()) + " " + error.what());
  }
  void ReleaseSites() override { log_.push_back("release sites"); }
  void CloseWindow() override { log_.push_back("close window"); }
  void UnloadWhenIdle() override {
    if (finishesUnloadItself) log_.push_back("unload later");
    else TakeDown();
  }

  Log& log_;
};

FormDesign TwoControls() {
  FormDesign design;
  design.name = u"frmTest";
  FormDesign::Control picture;
  picture.kind = FormDesign::Kind::PictureBox;
  picture.name = u"Picture1";
  design.controls.push_back(picture);
  FormDesign::Control site;
  site.kind = FormDesign::Kind::ControlSite;
  site.name = u"Text1";
  site.stored = {{u"Text", Variant::FromString(u"stored")}};
  design.controls.push_back(site);
  FormDesign::Control button;
  button.kind = FormDesign::Kind::CommandButton;
  button.name = u"btnOk";
  design.controls.push_back(button);
  return design;
}

struct Fixture {
  Log log;
  ScriptedCode* code = nullptr;
  std::unique_ptr<RecordedForm> form;

  explicit Fixture(FormDesign design = TwoControls()) {
    for (auto& control : design.controls) {
      if (control.kind != FormDesign::Kind::ControlSite) continue;
      control.create = [this](Container&) -> std::unique_ptr<SiteControl> {
        log.push_back("create control");
        return std::make_unique<RecordedControl>(log);
      };
    }
    auto scripted = std::make_unique<ScriptedCode>(log);
    code = scripted.get();
    form = std::make_unique<RecordedForm>(design, std::move(scripted), log);
  }
  // The log from its first entry equal to `from`.
  Log From(const std::string& from) const {
    for (std::size_t i = 0; i < log.size(); ++i)
      if (log[i] == from) return Log(log.begin() + static_cast<std::ptrdiff_t>(i), log.end());
    return {};
  }
};

TEST(FormLifecycle, LoadsInDesignOrderAndUnloadsInReverse) {
  Fixture f;
  f.form->whileShown = [&](RecordedForm& form) {
    EXPECT_TRUE(form.Loaded());
    EXPECT_EQ(&form.Site(u"Text1"), &form.Site(u"Text1"));
    f.log.push_back("shown");
  };
  f.form->ShowModal(0x20);
  EXPECT_EQ(f.log, (Log{"report load", "open window over 32", "place Picture1", "make site Text1", "create control",
                        "Initialize", "ReadProperties stored", "place btnOk", "controls loaded", "code Load", "show",
                        "shown", "report unload", "code Unload", "release sites", "Terminate", "close window"}));
  EXPECT_FALSE(f.form->Loaded());
  EXPECT_EQ(f.form->hWnd(), 0u);
  // A form shows again after it unloaded.
  f.log.clear();
  f.form->whileShown = nullptr;
  f.form->ShowModal(0);
  EXPECT_EQ(f.log.front(), "report load");
  EXPECT_EQ(f.log.back(), "close window");
}

TEST(FormLifecycle, RefusesASecondShowAndNamesAMissingSite) {
  Fixture f;
  f.form->whileShown = [&](RecordedForm& form) {
    try {
      form.ShowModal(0);
      ADD_FAILURE() << "a form showed twice";
    } catch (const MarkletError& e) {
      EXPECT_EQ(e.number(), 400);
    }
    try {
      form.Site(u"Text2");
      ADD_FAILURE() << "a site that is not there";
    } catch (const MarkletError& e) {
      EXPECT_EQ(e.number(), 5);
      EXPECT_NE(std::string(e.what()).find("no control site 'Text2'"), std::string::npos) << e.what();
    }
  };
  f.form->ShowModal(0);
  EXPECT_EQ(std::count(f.log.begin(), f.log.end(), "report load"), 1);
  // Unloading a form that is not loaded does nothing.
  f.log.clear();
  f.form->Unload();
  EXPECT_TRUE(f.log.empty());
}

TEST(FormLifecycle, AFailedLoadUnloadsAgainAndFailsTheShow) {
  Fixture f;
  f.code->onLoad = [](Form&) { throw MarkletError(7, "Out of memory"); };
  try {
    f.form->ShowModal(0);
    FAIL() << "the show succeeded though the load failed";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 7);
  }
  EXPECT_FALSE(f.form->Loaded());
  EXPECT_EQ(f.From("code Load"), (Log{"code Load", "report unload", "code Unload", "release sites", "Terminate",
                                      "close window"}));

  // No window: nothing to take down, the code's Unload does not run.
  Fixture g;
  g.form->windowFails = true;
  EXPECT_THROW(g.form->ShowModal(0), MarkletError);
  EXPECT_FALSE(g.form->Loaded());
  EXPECT_EQ(g.log, (Log{"report load"}));
}

TEST(FormLifecycle, AnUnloadDuringACallWaitsForTheOutermostCall) {
  Fixture f;
  f.code->onClick = [&](Form& form) {
    form.Unload();
    // The form is whole until the click has returned.
    EXPECT_TRUE(form.Loaded());
    f.log.push_back("still here: " + U16ToUtf8(static_cast<FormSite&>(form.Site(u"Text1")).name()));
  };
  f.form->whileShown = [&](RecordedForm& form) {
    form.Call([&] {
      form.Click(u"btnOk");
      EXPECT_TRUE(form.Loaded());
      EXPECT_TRUE(form.UnloadPending());
      f.log.push_back("outer call ends");
    });
    EXPECT_FALSE(form.Loaded());
  };
  f.form->ShowModal(0);
  EXPECT_EQ(f.From("code ButtonClick btnOk"),
            (Log{"code ButtonClick btnOk", "still here: Text1", "outer call ends", "report unload", "code Unload",
                 "release sites", "Terminate", "close window"}));

  // A call that fails still lets the waiting unload happen; its error passes.
  Fixture g;
  g.form->whileShown = [&](RecordedForm& form) {
    EXPECT_THROW(form.Call([&] {
      form.Unload();
      throw MarkletError(13, "Type mismatch");
    }),
                 MarkletError);
    EXPECT_FALSE(form.Loaded());
  };
  g.form->ShowModal(0);
  EXPECT_EQ(std::count(g.log.begin(), g.log.end(), "code Unload"), 1);
}

TEST(FormLifecycle, AnUnloadAskedForDuringTheLoadComesAfterItAndSkipsTheShow) {
  Fixture f;
  f.code->onLoad = [&](Form& form) {
    form.Unload();
    EXPECT_TRUE(form.Loaded());
    form.Site(u"Text1").control().Click();
  };
  f.form->ShowModal(0);
  EXPECT_FALSE(f.form->Loaded());
  EXPECT_EQ(f.From("code Load"), (Log{"code Load", "Click", "report unload", "code Unload", "release sites",
                                      "Terminate", "close window"}));
}

TEST(FormLifecycle, TheFormGoesWhateverItsCodesUnloadRaises) {
  struct Case {
    std::function<void()> raise;
    std::string reported;
  };
  const Case cases[] = {
      {[] { throw MarkletError(9, "Subscript out of range"); }, "error in Unload: 9 Subscript out of range"},
      {[] { throw std::runtime_error("broken"); }, "error in Unload: 5 broken"},
      {[] { throw std::bad_alloc(); }, "error in Unload: 7 Out of memory"},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.code->onUnload = [&](Form& form) {
      // Asked again from inside its own Unload: no second unload, no second show.
      form.Unload();
      EXPECT_THROW(form.ShowModal(0), MarkletError);
      c.raise();
    };
    f.form->ShowModal(0);
    EXPECT_FALSE(f.form->Loaded());
    EXPECT_EQ(f.From("code Unload"), (Log{"code Unload", c.reported, "release sites", "Terminate", "close window"}));
    // And it loads again afterwards.
    f.code->onUnload = nullptr;
    f.form->ShowModal(0);
    EXPECT_FALSE(f.form->Loaded());
  }
}

TEST(FormLifecycle, AHostMayFinishTheUnloadFromItsOwnLoop) {
  Fixture f;
  f.form->finishesUnloadItself = true;
  f.form->whileShown = [&](RecordedForm& form) {
    form.Unload();
    EXPECT_TRUE(form.Loaded());
    EXPECT_TRUE(form.UnloadPending());
    form.TakeDown();
    EXPECT_FALSE(form.Loaded());
    EXPECT_FALSE(form.UnloadPending());
  };
  f.form->ShowModal(0);
  EXPECT_EQ(f.From("show"), (Log{"show", "unload later", "report unload", "code Unload", "release sites", "Terminate",
                                 "close window"}));
}

Picture SizedPicture(std::size_t width) {
  auto picture = std::make_shared<PictureObject>();
  picture->widthHiMetric = static_cast<Long>(width);
  return picture;
}

class RecordedRegistry : public FormRegistry<RecordedForm> {
 public:
  explicit RecordedRegistry(Log& log) : log_(log) {}

 private:
  Picture Decode(std::span<const unsigned char> bytes, const std::string& what) override {
    if (bytes.front() != 'P') throw MarkletError(481, "Invalid picture: " + what);
    return SizedPicture(bytes.size());
  }
  std::unique_ptr<RecordedForm> MakeForm(const FormDesign& design, std::vector<Picture>,
                                         std::unique_ptr<FormCode> code) override {
    return std::make_unique<RecordedForm>(design, std::move(code), log_);
  }
  void Created(RecordedForm& form) override { log_.push_back("created " + U16ToUtf8(form.name())); }
  Log& log_;
};

TEST(FormRegistry, KeepsOneFormANameAndNothingOfADesignItRefuses) {
  Log log;
  RecordedRegistry registry(log);
  static const unsigned char kPicture[] = {'P', 'I', 'C'};
  static const unsigned char kNotAPicture[] = {'n', 'o'};
  FormDesign design = TwoControls();
  design.controls[0].image = kNotAPicture;
  design.controls[1].create = [](Container&) -> std::unique_ptr<SiteControl> { return nullptr; };
  try {
    registry.CreateForm(design, std::make_unique<ScriptedCode>(log));
    FAIL() << "an undecodable picture was accepted";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 481);
    EXPECT_STREQ(e.what(), "Invalid picture: the picture of Picture1");
  }
  FormDesign noControl = TwoControls();
  try {
    registry.CreateForm(noControl, std::make_unique<ScriptedCode>(log));
    FAIL() << "a site with nothing to make its control";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_NE(std::string(e.what()).find("no control for the site 'Text1'"), std::string::npos) << e.what();
  }
  EXPECT_EQ(registry.FindForm(u"frmTest"), nullptr);
  EXPECT_TRUE(log.empty());

  design.controls[0].image = kPicture;
  Form& form = registry.CreateForm(design, std::make_unique<ScriptedCode>(log));
  EXPECT_EQ(registry.FindForm(u"frmTest"), &form);
  EXPECT_EQ(log, (Log{"created frmTest"}));
  try {
    registry.CreateForm(design, std::make_unique<ScriptedCode>(log));
    FAIL() << "a second form of the same name";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 5);
  }
  // The pictures are decoded by control; the form keeps no view of the bytes.
  std::vector<Picture> pictures = DecodeFormPictures(
      design, [](std::span<const unsigned char> bytes, const std::string&) { return SizedPicture(bytes.size()); });
  ASSERT_EQ(pictures.size(), 3u);
  ASSERT_TRUE(pictures[0]);
  EXPECT_EQ(pictures[0]->widthHiMetric, 3);
  EXPECT_FALSE(pictures[1]);
  EXPECT_FALSE(pictures[2]);
  EXPECT_TRUE(static_cast<RecordedForm&>(form).design().controls[0].image.empty());
}

}  // namespace
}  // namespace marklet
