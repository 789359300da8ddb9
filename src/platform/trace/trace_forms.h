// Modal forms on the trace container. Every step is recorded with the form's
// name as "source": {"form":{"op":"create"|"control"|"load"|"show"|"click"|
// "close"|"unload",...}}; a site's tooltip changes print {"tooltip":TEXT}
// with the site's name. While a form is shown modally the scenario's next
// lines run inside the modal loop, until the form unloads or the scenario
// ends (which unloads it).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/forms.h"

namespace marklet::trace {

class TraceWorld;
class TraceContainer;

class TraceForm : public Form {
 public:
  TraceForm(TraceWorld& world, const FormDesign& design, std::vector<Picture> pictures,
            std::unique_ptr<FormCode> code);
  ~TraceForm() override;

  const std::u16string& name() const override { return design_.name; }
  void ShowModal(HWND owner) override;
  void Unload() override;
  bool Loaded() const override { return loaded_; }
  HWND hWnd() override;
  ControlSite& Site(const std::u16string& name) override;
  WindowSystem& windows() override;

  // What a user does on the shown form.
  void PressButton(const std::u16string& name);
  // Runs an input notification of a site's control. An unload the form's
  // code asks for meanwhile waits until the control has returned.
  void Dispatch(const std::u16string& site, const std::function<void(SiteControl&)>& action);
  // The title bar's close button: unloads unless the system menu lost its close command.
  void CloseFromTitleBar();
  // The trace container of a loaded site (error 5 when there is none).
  TraceContainer& SiteContainer(const std::u16string& name);

 private:
  class LoadedSite;
  void Load();
  void Emit(const std::string& op, const std::string& extra = {});
  LoadedSite& FindSite(const std::u16string& name);

  TraceWorld& world_;
  FormDesign design_;
  std::vector<Picture> pictures_;  // by control, decoded once
  std::unique_ptr<FormCode> code_;
  bool loaded_ = false;
  bool unloading_ = false;
  int dispatching_ = 0;
  bool unloadPending_ = false;
  HWND hwnd_ = 0;
  std::vector<std::unique_ptr<LoadedSite>> sites_;
};

class TraceFormHost : public FormHost {
 public:
  explicit TraceFormHost(TraceWorld& world) : world_(world) {}
  ~TraceFormHost() override;
  Form* FindForm(const std::u16string& name) override;
  Form& CreateForm(const FormDesign& design, std::unique_ptr<FormCode> code) override;
  // The form of that name when it is loaded, else null.
  TraceForm* LoadedForm(const std::u16string& name);

 private:
  TraceWorld& world_;
  std::vector<std::unique_ptr<TraceForm>> forms_;
};

}  // namespace marklet::trace
