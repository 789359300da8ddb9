// The live host's form service apart from the dialog a user sees: access-key
// captions, the desktop opener (a stand-in xdg-open on PATH records what it
// was given), and the form host's refusals, in process on a private display.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "control/about/about_dialog.h"
#include "host/error.h"
#include "platform/x11/command_button.h"
#include "platform/x11/desktop_open.h"
#include "platform/x11/x11_form_host.h"
#include "platform/x11/x11_host.h"
// Last: Xlib's macros clash with the project's names.
#include "x11/live_window.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using marklet::testing::LiveWindow;

TEST(AccessCaption, MarksTheCharacterAfterTheFirstAmpersand) {
  auto a = marklet::x11::ParseAccessCaption(u"&Aceptar");
  EXPECT_EQ(a.text, u"Aceptar");
  EXPECT_EQ(a.key, 0);
  auto b = marklet::x11::ParseAccessCaption(u"Save && &Quit &Now");
  EXPECT_EQ(b.text, u"Save & Quit Now");
  EXPECT_EQ(b.key, 7);
  auto c = marklet::x11::ParseAccessCaption(u"R&&D&");
  EXPECT_EQ(c.text, u"R&D&");
  EXPECT_EQ(c.key, -1);
}

class DesktopOpen : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/marklet-open-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    const char* path = getenv("PATH");
    oldPath_ = path ? path : "";
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    fs::remove_all(dir_);
  }
  // An xdg-open that writes its arguments, one a line, to a file.
  void FakeOpener() {
    std::string script = dir_ + "/xdg-open";
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" << dir_ << "/args.tmp'\nmv '" << dir_
                          << "/args.tmp' '" << dir_ << "/args'\n";
    chmod(script.c_str(), 0755);
  }
  std::string WaitArgs() {
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!fs::exists(dir_ + "/args") && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
    std::ifstream in(dir_ + "/args");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string dir_, oldPath_;
};

TEST_F(DesktopOpen, HandsTheTargetToXdgOpenOnPath) {
  FakeOpener();
  setenv("PATH", ("/nonexistent::" + dir_ + ":/usr/bin:/bin").c_str(), 1);
  EXPECT_EQ(marklet::x11::FindOnPath("xdg-open"), dir_ + "/xdg-open");
  EXPECT_TRUE(marklet::x11::OpenWithDesktop("mailto:info@marklet.example?subject=a b;c"));
  // One argument, as given: no shell splits or interprets it.
  EXPECT_EQ(WaitArgs(), "mailto:info@marklet.example?subject=a b;c\n");
}

TEST_F(DesktopOpen, RefusesWhatTheOpenerWouldTakeForAnOptionAndMissingOpeners) {
  FakeOpener();
  setenv("PATH", dir_.c_str(), 1);
  EXPECT_FALSE(marklet::x11::OpenWithDesktop("--help"));
  EXPECT_FALSE(marklet::x11::OpenWithDesktop(""));
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(fs::exists(dir_ + "/args"));
  // Not executable, or not there: nothing to open with.
  chmod((dir_ + "/xdg-open").c_str(), 0644);
  EXPECT_EQ(marklet::x11::FindOnPath("xdg-open"), "");
  EXPECT_FALSE(marklet::x11::OpenWithDesktop("https://marklet.example/"));
  setenv("PATH", "/nonexistent", 1);
  EXPECT_FALSE(marklet::x11::OpenWithDesktop("https://marklet.example/"));
}

TEST_F(DesktopOpen, StartDetachedTellsWhetherTheProgramStarted) {
  EXPECT_TRUE(marklet::x11::StartDetached({"/bin/sh", "-c", "echo started > '" + dir_ + "/args'"}));
  EXPECT_EQ(WaitArgs(), "started\n");
  EXPECT_FALSE(marklet::x11::StartDetached({dir_ + "/missing"}));
  EXPECT_FALSE(marklet::x11::StartDetached({}));
}

// A form's code whose load fails.
class FailingLoad : public marklet::FormCode {
 public:
  void Load(marklet::Form&) override { throw marklet::MarkletError(7, "Out of memory"); }
  void Unload(marklet::Form&) override { ++unloads; }
  void ButtonClick(marklet::Form&, const std::u16string&) override {}
  void ControlEvent(marklet::Form&, const std::u16string&, marklet::EventId, marklet::EventArgs&) override {}
  int unloads = 0;
};

// A form's code that unloads its form from its Load.
class UnloadingLoad : public marklet::FormCode {
 public:
  void Load(marklet::Form& form) override { form.Unload(); }
  void Unload(marklet::Form&) override { ++unloads; }
  void ButtonClick(marklet::Form&, const std::u16string&) override {}
  void ControlEvent(marklet::Form&, const std::u16string&, marklet::EventId, marklet::EventArgs&) override {}
  int unloads = 0;
};

class LiveForms : public LiveWindow {};

TEST_F(LiveForms, RefusesBadPicturesAndFailsTheShowWhenTheLoadFails) {
  marklet::x11::ViewOptions options;
  marklet::x11::X11Host host(options, name_.c_str());
  marklet::x11::X11FormHost& forms = host.forms();
  std::vector<std::string> steps;
  forms.onForm = [&](const std::u16string&, const std::string& op, const std::u16string&) { steps.push_back(op); };

  marklet::FormDesign bad = marklet::AboutFormDesign();
  static const unsigned char kNotAPicture[] = {'n', 'o', 't', ' ', 'a', ' ', 'G', 'I', 'F'};
  bad.controls[0].image = kNotAPicture;
  try {
    forms.CreateForm(bad, std::make_unique<FailingLoad>());
    FAIL() << "an undecodable picture was accepted";
  } catch (const marklet::MarkletError& e) {
    EXPECT_EQ(e.number(), 481);
  }
  EXPECT_EQ(forms.FindForm(marklet::kAboutFormName), nullptr);

  auto code = std::make_unique<FailingLoad>();
  FailingLoad* failing = code.get();
  marklet::Form& form = forms.CreateForm(marklet::AboutFormDesign(), std::move(code));
  EXPECT_EQ(forms.FindForm(marklet::kAboutFormName), &form);
  try {
    forms.CreateForm(marklet::AboutFormDesign(), std::make_unique<FailingLoad>());
    FAIL() << "a second form of the same name";
  } catch (const marklet::MarkletError& e) {
    EXPECT_EQ(e.number(), 5);
  }
  try {
    form.ShowModal(host.container().rasterSurface().hWnd());
    FAIL() << "the show succeeded though the load failed";
  } catch (const marklet::MarkletError& e) {
    EXPECT_EQ(e.number(), 7);
  }
  // The failed load unloaded the form again: no window, no modal state left.
  EXPECT_FALSE(form.Loaded());
  EXPECT_EQ(form.hWnd(), 0u);
  EXPECT_EQ(static_cast<marklet::x11::X11Form&>(form).window(), 0u);
  EXPECT_EQ(forms.ModalForm(), nullptr);
  EXPECT_EQ(failing->unloads, 1);
  EXPECT_EQ(steps, (std::vector<std::string>{"create", "load", "unload"}));
}

TEST_F(LiveForms, AFormUnloadedByItsLoadIsNeverShown) {
  marklet::x11::ViewOptions options;
  marklet::x11::X11Host host(options, name_.c_str());
  marklet::x11::X11FormHost& forms = host.forms();
  std::vector<std::string> steps;
  forms.onForm = [&](const std::u16string&, const std::string& op, const std::u16string&) { steps.push_back(op); };
  auto code = std::make_unique<UnloadingLoad>();
  UnloadingLoad* unloading = code.get();
  marklet::Form& form = forms.CreateForm(marklet::AboutFormDesign(), std::move(code));
  form.ShowModal(host.container().rasterSurface().hWnd());
  EXPECT_FALSE(form.Loaded());
  EXPECT_EQ(static_cast<marklet::x11::X11Form&>(form).window(), 0u);
  EXPECT_EQ(forms.ModalForm(), nullptr);
  EXPECT_EQ(unloading->unloads, 1);
  EXPECT_EQ(steps, (std::vector<std::string>{"create", "load", "unload"}));
}

}  // namespace
