// The About method: shows the component's one About dialog, modally over
// the control, creating it on first use.
#include <memory>

#include "control/about/about_dialog.h"
#include "control/marklet.h"

namespace marklet {

void Marklet::About() {
  FormHost& forms = container_.forms();
  Form* form = forms.FindForm(kAboutFormName);
  if (!form) form = &forms.CreateForm(AboutFormDesign(), std::make_unique<AboutDialog>());
  // While the dialog is up the host may end this control; nothing of it is
  // touched after the dialog closes.
  form->ShowModal(surface().hWnd());
}

}  // namespace marklet
