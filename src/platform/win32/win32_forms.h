// The component's modal forms as real dialog boxes: each show builds the
// dialog from its design (picture boxes, push buttons and control sites, each
// a child window placed in twips converted to pixels), runs the system's
// modal loop with the owner window disabled, and takes the controls down
// before the dialog's window goes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/forms.h"
#include "platform/win32/win_api.h"

namespace marklet::win32 {

class Win32Container;

class Win32Form : public Form {
 public:
  Win32Form(const FormDesign& design, std::vector<Picture> pictures, std::unique_ptr<FormCode> code);
  ~Win32Form() override;

  const std::u16string& name() const override { return design_.name; }
  void ShowModal(HWND owner) override;
  // Takes the controls down and ends the dialog once every call into the
  // form's controls has returned.
  void Unload() override;
  bool Loaded() const override { return loaded_; }
  HWND hWnd() override { return loaded_ ? Handle(hwnd_) : 0; }
  ControlSite& Site(const std::u16string& name) override;
  WindowSystem& windows() override;

  // The container of a loaded site (error 5 when there is none).
  Win32Container& SiteContainer(const std::u16string& name);

 private:
  class LoadedSite;
  static INT_PTR CALLBACK DialogProcedure(::HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void Build();
  void TakeDown();
  bool Busy() const;
  LoadedSite& FindSite(const std::u16string& name);

  FormDesign design_;
  std::vector<Picture> pictures_;
  std::unique_ptr<FormCode> code_;
  ::HWND hwnd_ = nullptr;
  ::HWND owner_ = nullptr;
  HFONT font_ = nullptr;
  bool loaded_ = false;
  bool unloadRequested_ = false;
  bool loadFailed_ = false;
  int loadErrorNumber_ = 0;
  std::string loadErrorMessage_;
  std::vector<std::unique_ptr<LoadedSite>> sites_;
  std::vector<::HWND> children_;
};

class Win32FormHost : public FormHost {
 public:
  // The one form host of the process: the component keeps one About dialog.
  static Win32FormHost& Instance();

  Form* FindForm(const std::u16string& name) override;
  Form& CreateForm(const FormDesign& design, std::unique_ptr<FormCode> code) override;

  // Told when a form's site has its control and has read its stored
  // properties (host programs and tests watch the dialog's controls).
  std::function<void(Win32Form& form, const std::u16string& site, Win32Container& container)> onSiteLoaded;
  // Told when a form's dialog window exists, before its code's Load.
  std::function<void(Win32Form& form)> onFormLoaded;

 private:
  Win32FormHost() = default;
  std::vector<std::unique_ptr<Win32Form>> forms_;
};

}  // namespace marklet::win32
