#include "host/form_lifecycle.h"

#include <new>

#include "host/stored_property_bag.h"

namespace marklet {

FormLifecycle::FormLifecycle(const FormDesign& design, std::vector<Picture> pictures, std::unique_ptr<FormCode> code)
    : design_(design), pictures_(std::move(pictures)), code_(std::move(code)) {
  // The image bytes belong to the caller; the pictures hold what they showed.
  for (auto& control : design_.controls) control.image = {};
}

FormLifecycle::~FormLifecycle() = default;

void FormLifecycle::RaiseNoSuch(const char* what, const std::u16string& name) {
  throw MarkletError(ErrorNumber::InvalidProcedureCall,
                     std::string("Invalid procedure call or argument: no ") + what + " '" + U16ToUtf8(name) + "'");
}

FormSite& FormLifecycle::FindSite(const std::u16string& name) {
  for (auto& site : sites_)
    if (site->name() == name) return *site;
  RaiseNoSuch("control site", name);
}

void FormLifecycle::ShowModal(HWND owner) {
  if (loaded_) throw MarkletError(400, "Form already displayed; can't show modally");
  RunModal(owner);
}

void FormLifecycle::Load(HWND owner) {
  Report("load");
  loaded_ = true;
  try {
    OpenWindow(owner);
  } catch (...) {
    loaded_ = false;
    throw;
  }
  // The whole load counts as one call: an unload the code or a control asks
  // for meanwhile comes once the code's Load has returned.
  ++calls_;
  try {
    for (std::size_t i = 0; i < design_.controls.size(); ++i) {
      if (design_.controls[i].kind == FormDesign::Kind::ControlSite) LoadSite(design_.controls[i]);
      else PlaceControl(i);
    }
    ControlsLoaded();
    code_->Load(*this);
  } catch (...) {
    --calls_;
    TakeDown();
    throw;
  }
  EndCall();
}

void FormLifecycle::LoadSite(const FormDesign::Control& control) {
  std::unique_ptr<FormSite> made = MakeSite(control);
  made->Attach(control.create(made->container()));
  FormSite& site = *made;
  sites_.push_back(std::move(made));
  site.Deliver("Initialize", [&] { site.control().Initialize(); });
  StoredPropertyBag bag(control.stored, [&site] { site.BeforeRead(); });
  site.Deliver("ReadProperties", [&] { site.control().ReadProperties(bag); });
}

void FormLifecycle::Unload() {
  if (!loaded_ || unloading_) return;
  unloadPending_ = true;
  if (calls_ == 0) UnloadWhenIdle();
}

void FormLifecycle::TakeDown() {
  if (!loaded_ || unloading_) return;
  unloading_ = true;
  unloadPending_ = false;
  Report("unload");
  // The form goes whatever its code says.
  try {
    code_->Unload(*this);
  } catch (const MarkletError& e) {
    ReportError("Unload", e);
  } catch (const std::bad_alloc&) {
    ReportError("Unload", MarkletError(7, "Out of memory"));
  } catch (const std::exception& e) {
    ReportError("Unload", MarkletError(ErrorNumber::InvalidProcedureCall, e.what()));
  }
  ReleaseSites();
  for (auto& site : sites_) site->Detach();
  sites_.clear();
  CloseWindow();
  loaded_ = false;
  unloading_ = false;
}

void FormLifecycle::Call(const std::function<void()>& action) {
  ++calls_;
  try {
    action();
  } catch (...) {
    EndCall();
    throw;
  }
  EndCall();
}

void FormLifecycle::EndCall() {
  if (--calls_ == 0 && unloadPending_) Unload();
}

void FormLifecycle::RaiseControlEvent(const std::u16string& site, EventId id, EventArgs& args) {
  code_->ControlEvent(*this, site, id, args);
}

void FormLifecycle::DiscardSites() { sites_.clear(); }

std::vector<Picture> DecodeFormPictures(const FormDesign& design, const FormPictureDecoder& decode) {
  std::vector<Picture> pictures;
  for (const auto& control : design.controls) {
    Picture picture;
    if (control.kind == FormDesign::Kind::PictureBox && !control.image.empty()) {
      picture = decode(control.image, "the picture of " + U16ToUtf8(control.name));
    }
    if (control.kind == FormDesign::Kind::ControlSite && !control.create) {
      FormLifecycle::RaiseNoSuch("control for the site", control.name);
    }
    pictures.push_back(picture);
  }
  return pictures;
}

}  // namespace marklet
