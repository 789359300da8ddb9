// A Marklet placed on a host form's site: the site's notifications go to the
// control, and the form's code reaches its properties by name.
#pragma once

#include <memory>

#include "control/marklet.h"
#include "host/forms.h"

namespace marklet {

class HostedMarklet : public SiteControl {
 public:
  explicit HostedMarklet(Container& container) : control_(container) {}
  static std::unique_ptr<SiteControl> Create(Container& container) {
    return std::make_unique<HostedMarklet>(container);
  }

  void Initialize() override { control_.Initialize(); }
  void ReadProperties(PropertyBag& bag) override { control_.ReadProperties(bag); }
  void Paint() override { control_.Paint(); }
  void Resize() override { control_.Resize(); }
  void Terminate() override { control_.Terminate(); }
  void MouseDown(Integer& button, Integer& shift, Single& x, Single& y) override {
    control_.SurfaceMouseDown(button, shift, x, y);
  }
  void MouseMove(Integer& button, Integer& shift, Single& x, Single& y) override {
    control_.SurfaceMouseMove(button, shift, x, y);
  }
  void MouseUp(Integer& button, Integer& shift, Single& x, Single& y) override {
    control_.SurfaceMouseUp(button, shift, x, y);
  }
  void Click() override { control_.SurfaceClick(); }
  // Through the automation layer, with its coercions and errors.
  Variant GetProperty(const std::u16string& name) override;
  void SetProperty(const std::u16string& name, const Variant& value) override;

  Marklet& control() { return control_; }

 private:
  Marklet control_;
};

}  // namespace marklet
