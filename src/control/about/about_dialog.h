// frmAbout: the component's About dialog. Its text is shown by a Marklet of
// its own; link clicks open the link's key through the shell and the
// pointer over a link shows the key as a tooltip.
#pragma once

#include <string>
#include <string_view>

#include "host/forms.h"

namespace marklet {

inline constexpr char16_t kAboutFormName[] = u"frmAbout";

// The form's caption, controls, positions and the stored properties of its
// Marklet1, as designed.
FormDesign AboutFormDesign();

// The dialog text in the control's markup: the bold title with the version
// after three tab escapes, two blank lines, and the contact block.
std::u16string ComposeAboutText(int major, int minor, int revision);

class AboutDialog : public FormCode {
 public:
  void Load(Form& form) override;
  void Unload(Form& form) override;
  void ButtonClick(Form& form, const std::u16string& button) override;
  void ControlEvent(Form& form, const std::u16string& site, EventId id, EventArgs& args) override;
};

}  // namespace marklet
