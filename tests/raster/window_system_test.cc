// The raster host's window-system layer and what forms need of its
// container: system menus and their close command, the shell hook, one window
// system shared by the containers of a host (so each control's leave message
// reaches that control), site controls, and the form service.
#include <gtest/gtest.h>

#include "control/hosted_marklet.h"
#include "control/marklet.h"
#include "host/error.h"
#include "platform/raster/raster_container.h"

namespace marklet::raster {
namespace {

TEST(SimpleWindowSystem, TrimmingTheLastTwoMenuItemsRemovesTheCloseCommand) {
  SimpleWindowSystem windows;
  HWND hwnd = windows.CreateWindow();
  std::vector<HWND> drawn;
  windows.onMenuBarDrawn = [&](HWND h) { drawn.push_back(h); };
  EXPECT_TRUE(windows.HasCloseCommand(hwnd));

  HMENU menu = windows.GetSystemMenu(hwnd, false);
  ASSERT_NE(menu, 0u);
  int count = windows.GetMenuItemCount(menu);
  EXPECT_EQ(count, 7);
  // Removing the first item keeps the close command.
  EXPECT_TRUE(windows.RemoveMenu(menu, 0, MF_BYPOSITION | MF_REMOVE));
  EXPECT_TRUE(windows.HasCloseCommand(hwnd));
  count = windows.GetMenuItemCount(menu);
  EXPECT_TRUE(windows.RemoveMenu(menu, static_cast<UINT>(count - 1), MF_BYPOSITION | MF_REMOVE));
  EXPECT_TRUE(windows.RemoveMenu(menu, static_cast<UINT>(count - 2), MF_BYPOSITION | MF_REMOVE));
  EXPECT_FALSE(windows.HasCloseCommand(hwnd));
  EXPECT_TRUE(windows.DrawMenuBar(hwnd));
  EXPECT_EQ(drawn, std::vector<HWND>{hwnd});

  // Positions past the end and removals by command are refused.
  EXPECT_FALSE(windows.RemoveMenu(menu, 4, MF_BYPOSITION | MF_REMOVE));
  EXPECT_FALSE(windows.RemoveMenu(menu, 0, MF_REMOVE));
  EXPECT_EQ(windows.GetMenuItemCount(menu), 4);

  // Reverting restores the standard menu.
  EXPECT_EQ(windows.GetSystemMenu(hwnd, true), 0u);
  EXPECT_TRUE(windows.HasCloseCommand(hwnd));
  EXPECT_EQ(windows.GetMenuItemCount(menu), 7);

  windows.DestroyWindow(hwnd);
  EXPECT_EQ(windows.GetSystemMenu(hwnd, false), 0u);
  EXPECT_EQ(windows.GetMenuItemCount(menu), -1);
  EXPECT_FALSE(windows.DrawMenuBar(hwnd));
  EXPECT_FALSE(windows.HasCloseCommand(hwnd));
}

TEST(SimpleWindowSystem, ShellExecuteReportsWhatItsHookDid) {
  SimpleWindowSystem windows;
  HWND hwnd = windows.CreateWindow();
  // Nothing can open anything without a hook.
  EXPECT_EQ(windows.ShellExecuteA(hwnd, "open", "mailto:a@b", "", "", 0), 31);
  std::string seen;
  windows.onShellExecute = [&](HWND h, const std::string& op, const std::string& file) -> LONG_PTR {
    seen = op + " " + file + (h == hwnd ? " (window)" : "");
    return 42;
  };
  EXPECT_EQ(windows.ShellExecuteA(hwnd, "open", "mailto:a@b", "", "", 0), 42);
  EXPECT_EQ(seen, "open mailto:a@b (window)");
}

// A control on a link at the top left of its surface, painted once.
void ShowLink(RasterContainer& container, Marklet& control) {
  control.SetText(u"#ekey<link text> plain");
  container.QueuePaint();
  container.Pump();
}

TEST(RasterContainer, ContainersSharingAWindowSystemGetTheirOwnLeaveMessages) {
  RasterContainer main;
  main.CreateControl();
  RasterContainer site({}, &main.simpleWindows());
  ASSERT_NE(site.rasterSurface().hWnd(), main.rasterSurface().hWnd());
  site.SetSiteControl(HostedMarklet::Create(site));
  auto& hosted = static_cast<HostedMarklet&>(*site.siteControl());
  hosted.Initialize();
  hosted.control().InitProperties();

  std::vector<std::string> mainEvents, siteEvents;
  main.onEvent = [&](EventId id, EventArgs&) { mainEvents.push_back(EventName(id)); };
  site.onEvent = [&](EventId id, EventArgs&) { siteEvents.push_back(EventName(id)); };
  ShowLink(main, *main.control());
  ShowLink(site, hosted.control());

  // Both hover their links (the site's last), so both ask for a leave message.
  Integer button = 0, shift = 0;
  Single x = 30, y = 30;
  main.control()->SurfaceMouseMove(button, shift, x, y);
  hosted.MouseMove(button, shift, x, y);
  ASSERT_TRUE(main.simpleWindows().LeaveRequested(main.rasterSurface().hWnd()));
  ASSERT_TRUE(main.simpleWindows().LeaveRequested(site.rasterSurface().hWnd()));
  mainEvents.clear();
  siteEvents.clear();

  EXPECT_TRUE(main.simpleWindows().DeliverMouseLeave(main.rasterSurface().hWnd()));
  EXPECT_EQ(mainEvents, std::vector<std::string>{"MouseOut"});
  EXPECT_TRUE(siteEvents.empty());
  EXPECT_TRUE(site.simpleWindows().DeliverMouseLeave(site.rasterSurface().hWnd()));
  EXPECT_EQ(siteEvents, std::vector<std::string>{"MouseOut"});
  EXPECT_EQ(mainEvents.size(), 1u);
}

// Records the notifications a container delivers to its site control.
class RecordingControl : public SiteControl {
 public:
  explicit RecordingControl(std::vector<std::string>& log) : log_(log) {}
  void Initialize() override { log_.push_back("Initialize"); }
  void ReadProperties(PropertyBag&) override {}
  void Paint() override {
    log_.push_back("Paint");
    if (failPaint) throw MarkletError(ErrorNumber::InvalidPropertyValue, "paint failed");
  }
  void Resize() override { log_.push_back("Resize"); }
  void Terminate() override { log_.push_back("Terminate"); }
  void MouseDown(Integer&, Integer&, Single&, Single&) override {}
  void MouseMove(Integer&, Integer&, Single&, Single&) override {}
  void MouseUp(Integer&, Integer&, Single&, Single&) override {}
  void Click() override {}
  Variant GetProperty(const std::u16string&) override { return {}; }
  void SetProperty(const std::u16string&, const Variant&) override {}
  bool failPaint = false;

 private:
  std::vector<std::string>& log_;
};

TEST(RasterContainer, DeliversPaintResizeAndTerminateToASiteControl) {
  std::vector<std::string> log;
  RasterContainer site;
  auto control = std::make_unique<RecordingControl>(log);
  RecordingControl* raw = control.get();
  site.SetSiteControl(std::move(control));
  std::vector<std::string> errors;
  site.onError = [&](const char* where, int number, const std::string&) {
    errors.push_back(std::string(where) + " " + std::to_string(number));
  };
  site.QueuePaint();
  site.QueuePaint();
  site.Pump();
  site.Pump();  // one paint for the two requests
  site.DeliverResize();
  raw->failPaint = true;
  site.QueuePaint();
  site.Pump();
  EXPECT_EQ(errors, std::vector<std::string>{"Paint 380"});
  site.DestroyControl();
  EXPECT_EQ(site.siteControl(), nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"Paint", "Resize", "Paint", "Terminate"}));
}

class NoForms : public FormHost {
 public:
  Form* FindForm(const std::u16string&) override { return nullptr; }
  Form& CreateForm(const FormDesign&, std::unique_ptr<FormCode>) override {
    throw MarkletError(ErrorNumber::InvalidProcedureCall, "none");
  }
};

TEST(RasterContainer, FormsComeFromTheHostThatGivesThem) {
  RasterContainer container;
  try {
    container.forms();
    FAIL() << "a container without a form host showed forms";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 438);
  }
  NoForms forms;
  container.SetFormHost(&forms);
  EXPECT_EQ(&container.forms(), &forms);
  // The About method reaches the host: this one cannot create the dialog.
  container.CreateControl();
  try {
    container.control()->About();
    FAIL();
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 5);
  }
}

}  // namespace
}  // namespace marklet::raster
