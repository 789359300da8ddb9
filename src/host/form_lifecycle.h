// The life of a modal form, the same on every host. A form is made once from
// its design, its pictures decoded then. Each show loads it: the window, then
// the design's controls in order (a site gets its control, which is
// initialized and reads its stored properties), then the code's Load; a
// failure there unloads the form again and fails the show. The host's modal
// loop runs until the form unloads: the code's Unload, the sites' controls
// terminated, the window gone.
//
// The form's code may ask for the unload from inside a call into itself or
// into a site's control (a button's click, a control's event). The form then
// stays whole until the outermost such call has returned, so no call returns
// into a form that is gone.
//
// A host adds its windows, its modal loop and what it records by overriding
// the hooks; it counts the calls it makes into the form with Call.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/container.h"
#include "host/error.h"
#include "host/forms.h"

namespace marklet {

// A site of a loaded form: the host's container for one control.
class FormSite : public ControlSite {
 public:
  explicit FormSite(std::u16string name) : name_(std::move(name)) {}
  const std::u16string& name() const { return name_; }

  // The container the site's control is made on; it takes the control in.
  virtual Container& container() = 0;
  virtual void Attach(std::unique_ptr<SiteControl> control) = 0;
  // Runs a notification of the control the host's way (it records the
  // notification, or reports the error it raises).
  virtual void Deliver(const char* notification, const std::function<void()>& action) = 0;
  // Terminates the control and lets it go.
  virtual void Detach() = 0;
  // Runs ahead of every value the control reads from its stored properties;
  // a host may refuse the read by throwing.
  virtual void BeforeRead() {}

 private:
  std::u16string name_;
};

class FormLifecycle : public Form {
 public:
  ~FormLifecycle() override;

  const std::u16string& name() const final { return design_.name; }
  // Error 400 when the form is showing already; else the host's RunModal.
  void ShowModal(HWND owner) final;
  void Unload() final;
  bool Loaded() const final { return loaded_; }
  ControlSite& Site(const std::u16string& name) final { return FindSite(name); }

  // The design, its image bytes dropped once decoded into the pictures.
  const FormDesign& design() const { return design_; }
  // A picture box's picture, by control index (empty for other controls).
  const Picture& picture(std::size_t index) const { return pictures_[index]; }
  // While the code's Unload runs.
  bool Unloading() const { return unloading_; }
  // An unload was asked for and waits for the calls under way.
  bool UnloadPending() const { return unloadPending_; }

  // Error 5 naming what the form has no part of that name.
  [[noreturn]] static void RaiseNoSuch(const char* what, const std::u16string& name);

 protected:
  FormLifecycle(const FormDesign& design, std::vector<Picture> pictures, std::unique_ptr<FormCode> code);

  // ---- For the host ----
  // Loads the form: RunModal calls it first, or, where the system makes the
  // window inside its own modal loop, once that window exists. Returns with
  // the form loaded, or unloaded again when the code's Load asked for it.
  void Load(HWND owner);
  // Takes the loaded form down now, whatever calls are under way.
  void TakeDown();
  // Runs a call into the form's code or a site's control; an unload asked
  // for meanwhile waits until the outermost call has returned. Errors pass.
  void Call(const std::function<void()>& action);
  // Hands an event of a site's control to the form's code.
  void RaiseControlEvent(const std::u16string& site, EventId id, EventArgs& args);
  FormCode& code() { return *code_; }
  // The site of that name while loaded; error 5 for none.
  FormSite& FindSite(const std::u16string& name);
  const std::vector<std::unique_ptr<FormSite>>& sites() const { return sites_; }
  // Drops the sites without a word to their controls or the code: a form
  // still loaded when its host ends goes quietly. For the host's destructor.
  void DiscardSites();

  // ---- What a host supplies ----
  // Loads the form (Load), shows it, and returns once it has unloaded; a
  // load that unloaded the form again returns at once.
  virtual void RunModal(HWND owner) = 0;
  // Makes the form's window, or readies the one the modal loop made. The
  // form counts as loaded from here on; a throw here leaves it unloaded.
  virtual void OpenWindow(HWND owner) = 0;
  // A picture box or command button, for hosts that make a window of it.
  virtual void PlaceControl(std::size_t index) { (void)index; }
  // A control site's site: its container, with the form's ambient values and
  // its control's events going to RaiseControlEvent.
  virtual std::unique_ptr<FormSite> MakeSite(const FormDesign::Control& control) = 0;
  // Every control is in place; the code's Load comes next.
  virtual void ControlsLoaded() {}
  // A step begins: "load" (before the window), "unload" (before the code's Unload).
  virtual void Report(const char* step) { (void)step; }
  // An error of the form's code that the form outlives (its Unload's).
  virtual void ReportError(const char* where, const MarkletError& error) = 0;
  // After the code's Unload, before the sites go: the host lets go of what
  // points at them.
  virtual void ReleaseSites() {}
  // After the sites went.
  virtual void CloseWindow() = 0;
  // An unload was asked for and no call is under way. The default takes the
  // form down now; a host whose system may still be inside the form's
  // windows finishes it from its message loop with TakeDown.
  virtual void UnloadWhenIdle() { TakeDown(); }

 private:
  void LoadSite(const FormDesign::Control& control);
  void EndCall();

  FormDesign design_;
  std::vector<Picture> pictures_;  // by control, decoded once
  std::unique_ptr<FormCode> code_;
  std::vector<std::unique_ptr<FormSite>> sites_;
  bool loaded_ = false;
  bool unloading_ = false;
  bool unloadPending_ = false;
  int calls_ = 0;
};

// Decodes a picture box's image bytes; `what` names it for the error (481).
using FormPictureDecoder = std::function<Picture(std::span<const unsigned char> bytes, const std::string& what)>;

// The pictures of a design, by control, decoded before a host makes a form
// of it. Error 5 when a control site has nothing to make its control with;
// the decoder's error for a picture it cannot decode.
std::vector<Picture> DecodeFormPictures(const FormDesign& design, const FormPictureDecoder& decode);

// The forms a host keeps, by name, each made once from its design.
template <class HostForm>
class FormRegistry : public FormHost {
 public:
  Form* FindForm(const std::u16string& name) final { return Find(name); }

  Form& CreateForm(const FormDesign& design, std::unique_ptr<FormCode> code) final {
    if (Find(design.name)) RaiseNameTaken(design.name);
    std::vector<Picture> pictures = DecodeFormPictures(
        design, [this](std::span<const unsigned char> bytes, const std::string& what) { return Decode(bytes, what); });
    forms_.push_back(MakeForm(design, std::move(pictures), std::move(code)));
    HostForm& form = *forms_.back();
    Created(form);
    return form;
  }

 protected:
  HostForm* Find(const std::u16string& name) {
    for (auto& form : forms_)
      if (form->name() == name) return form.get();
    return nullptr;
  }
  virtual Picture Decode(std::span<const unsigned char> bytes, const std::string& what) = 0;
  virtual std::unique_ptr<HostForm> MakeForm(const FormDesign& design, std::vector<Picture> pictures,
                                             std::unique_ptr<FormCode> code) = 0;
  // After a form was made and kept.
  virtual void Created(HostForm& form) { (void)form; }

  std::vector<std::unique_ptr<HostForm>> forms_;

 private:
  [[noreturn]] static void RaiseNameTaken(const std::u16string& name) {
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Invalid procedure call or argument: a form '" + U16ToUtf8(name) + "' exists already");
  }
};

}  // namespace marklet
