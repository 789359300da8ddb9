// What the suites that put the control in a window of their own share: a
// host frame at a fixed place, waiting until what was asked is on the
// screen, and a small picture file to show.
#pragma once

#include "platform/win32/win_api.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "control/marklet.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_window_system.h"
#include "suite_runner.h"

namespace marklet::win32 {

// One host frame at (60, 60) around a control window of the given size,
// titled with the suite's name. A suite's fixture sets its own hooks on
// container(), then creates the control and shows the frame; one whose hooks
// write into its own members calls Close() in its destructor, before they go.
class HostedControl {
 public:
  HostedControl(int width, int height, const char16_t* title) {
    HostOptions options;
    options.widthPx = width;
    options.heightPx = height;
    options.x = 60;
    options.y = 60;
    options.title = title;
    host_ = std::make_unique<Win32Host>(options);
    container().onError = [](const char* where, int number, const std::string& description) {
      std::printf("  (control error in %s: %d %s)\n", where, number, description.c_str());
    };
    // A link click must not start a browser or mailer on the test machine.
    Win32WindowSystem::Instance().shellExecuteEnabled = false;
  }
  ~HostedControl() {
    Close();
    PumpFor(50);
  }
  HostedControl(const HostedControl&) = delete;
  HostedControl& operator=(const HostedControl&) = delete;

  Win32Container& container() { return host_->container(); }
  Marklet& control() { return *container().control(); }
  ::HWND window() { return container().window(); }
  ::HWND frame() { return host_->frame(); }

  // Sets the text and waits until it is painted and shown.
  bool ShowText(const std::u16string& text) {
    control().SetText(text);
    return Settle();
  }
  // Waits until no paint is pending and the window shows the surface.
  bool Settle() {
    bool ok = PumpUntil([&] { return !container().PaintPending() && !::GetUpdateRect(window(), nullptr, FALSE); });
    PumpFor(50);
    return ok;
  }

 protected:
  void Show() { host_->Show(); }
  // Destroys the frame and the control.
  void Close() { host_.reset(); }

 private:
  std::unique_ptr<Win32Host> host_;
};

// A 16 x 8 blue picture as a 24-bit BMP file called `name` in the temporary
// folder, which becomes the current one: a picture item names its file
// without a folder, as a colon in the name would end the item's file name.
inline std::u16string WriteBluePicture(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  ::GetTempPathW(MAX_PATH, folder);
  ::SetCurrentDirectoryW(folder);
  const int w = 16, h = 8;
  std::vector<unsigned char> bytes(54 + w * h * 3);
  auto put32 = [&](int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  bytes[0] = 'B', bytes[1] = 'M';
  put32(2, static_cast<std::uint32_t>(bytes.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, w);
  put32(22, h);
  bytes[26] = 1, bytes[28] = 24;
  for (std::size_t i = 54; i < bytes.size(); i += 3) bytes[i] = 255;  // B, G, R
  HANDLE file = ::CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ::DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<::DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  return FromWide(name);
}

}  // namespace marklet::win32
