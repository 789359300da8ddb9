// The control's live font object: `Font` hands out one standard font object
// for the life of the control, `Set Font = f` copies f into it, and a change
// of one of its attributes is handled by the control as a Font set.
#include "platform/win32/activex/marklet_object.h"

#include "control/dispatch.h"
#include "control/type_library.h"

namespace marklet::win32::activex {

IFontDisp* MarkletObject::FontObject() {
  if (!fontLink_) {
    fontLink_ = FontLink::Create(control().Font(), [this] { FontObjectChanged(); });
  } else {
    ShowFontOnObject();
  }
  return fontLink_->Object();
}

// Keeps the object showing the font the control keeps, whichever way that
// changed (Set Font, loading, a change through the object itself).
void MarkletObject::ShowFontOnObject() {
  if (fontLink_) fontLink_->Show(control().Font());
}

// A change through the object. The surface's refusal cannot go back to the
// object's caller: it goes to the container's error path, and the object
// returns to the font the control kept.
void MarkletObject::FontObjectChanged() {
  AddRef();
  try {
    FontDesc changed = fontLink_->Read();
    container_->Deliver("FontChanged", [&] { control().SurfaceFontChanged(changed); });
    ShowFontOnObject();
  } catch (...) {
    ReportCurrentException(ToGuid(kInterfaceGuid));
  }
  Release();
}

void MarkletObject::RecordError(const char* notification, int number, const std::string& description) {
  ReportError(MarkletError(number, description + " (in " + notification + ")"), ToGuid(kInterfaceGuid));
}

HRESULT MarkletObject::get_Font(IFontDisp** value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  try {
    EnsureInitialised();
    *value = FontObject();
    return S_OK;
  } catch (...) {
    return ReportCurrentException(ToGuid(kInterfaceGuid));
  }
}

// The control keeps its own object: f's values are copied, f itself is not
// kept, so a later change to f does not reach the control.
HRESULT MarkletObject::putref_Font(IFontDisp* value) {
  try {
    return PutProperty(FindMember(u"Font")->dispid, Variant::FromFont(FontOf(value)));
  } catch (...) {
    return ReportCurrentException(ToGuid(kInterfaceGuid));
  }
}

}  // namespace marklet::win32::activex
