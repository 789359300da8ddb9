// The component's modal forms as real dialog boxes: each show builds the
// dialog from its design (picture boxes, push buttons and control sites, each
// a child window placed in twips converted to pixels) inside the system's
// modal loop, which disables the owner window, and takes the controls down
// before the dialog's window goes. The lifecycle is FormLifecycle's.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/form_lifecycle.h"
#include "platform/win32/win_api.h"

namespace marklet::win32 {

class Win32Container;

class Win32Form : public FormLifecycle {
 public:
  Win32Form(const FormDesign& design, std::vector<Picture> pictures, std::unique_ptr<FormCode> code);
  ~Win32Form() override;

  HWND hWnd() override { return Loaded() ? Handle(hwnd_) : 0; }
  WindowSystem& windows() override;

  // The container of a loaded site (error 5 when there is none).
  Win32Container& SiteContainer(const std::u16string& name);

 private:
  class LoadedSite;
  static INT_PTR CALLBACK DialogProcedure(::HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  // The lifecycle's hooks.
  void RunModal(HWND owner) override;
  void OpenWindow(HWND owner) override;
  void PlaceControl(std::size_t index) override;
  std::unique_ptr<FormSite> MakeSite(const FormDesign::Control& control) override;
  void ControlsLoaded() override;
  // The form goes whatever its code says; nothing is reported.
  void ReportError(const char*, const MarkletError&) override {}
  void CloseWindow() override;
  // The unload ends the dialog from its own message loop, once no call into
  // a site's control is under way (the clicked button may still be inside
  // its own notification).
  void UnloadWhenIdle() override;

  bool Busy() const;
  static LoadedSite& Own(FormSite& site);

  ::HWND hwnd_ = nullptr;
  ::HWND owner_ = nullptr;
  HWND ownerHandle_ = 0;
  HFONT font_ = nullptr;
  double tppX_ = 15, tppY_ = 15;  // the screen's twips per pixel
  bool loadFailed_ = false;
  int loadErrorNumber_ = 0;
  std::string loadErrorMessage_;
  std::vector<::HWND> children_;
  std::vector<::HWND> pictureBoxes_;
};

class Win32FormHost : public FormRegistry<Win32Form> {
 public:
  // The one form host of the process: the component keeps one About dialog.
  static Win32FormHost& Instance();

  // Told when a form's site has its control and has read its stored
  // properties (host programs and tests watch the dialog's controls).
  std::function<void(Win32Form& form, const std::u16string& site, Win32Container& container)> onSiteLoaded;
  // Told when a form's dialog window exists, before its code's Load.
  std::function<void(Win32Form& form)> onFormLoaded;

 private:
  Win32FormHost() = default;
  Picture Decode(std::span<const unsigned char> bytes, const std::string& what) override;
  std::unique_ptr<Win32Form> MakeForm(const FormDesign& design, std::vector<Picture> pictures,
                                      std::unique_ptr<FormCode> code) override;
};

}  // namespace marklet::win32
