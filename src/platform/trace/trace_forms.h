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

#include "host/form_lifecycle.h"

namespace marklet::trace {

class TraceWorld;
class TraceContainer;

class TraceForm : public FormLifecycle {
 public:
  TraceForm(TraceWorld& world, const FormDesign& design, std::vector<Picture> pictures,
            std::unique_ptr<FormCode> code);
  ~TraceForm() override;

  HWND hWnd() override { return Loaded() ? hwnd_ : 0; }
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
  void RunModal(HWND owner) override;
  void OpenWindow(HWND owner) override;
  std::unique_ptr<FormSite> MakeSite(const FormDesign::Control& control) override;
  void Report(const char* step) override { Emit(step); }
  void ReportError(const char* where, const MarkletError& error) override;
  void CloseWindow() override;
  void Emit(const std::string& op, const std::string& extra = {});

  TraceWorld& world_;
  HWND hwnd_ = 0;
};

class TraceFormHost : public FormRegistry<TraceForm> {
 public:
  explicit TraceFormHost(TraceWorld& world) : world_(world) {}
  ~TraceFormHost() override;
  // The form of that name when it is loaded, else null.
  TraceForm* LoadedForm(const std::u16string& name);

 private:
  Picture Decode(std::span<const unsigned char> bytes, const std::string& what) override;
  std::unique_ptr<TraceForm> MakeForm(const FormDesign& design, std::vector<Picture> pictures,
                                      std::unique_ptr<FormCode> code) override;
  void Created(TraceForm& form) override;

  TraceWorld& world_;
};

}  // namespace marklet::trace
