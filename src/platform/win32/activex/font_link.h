// The control's own font object: the standard font object that `Font` hands
// out for the life of the control, and the sink on its IPropertyNotifySink
// connection point through which each change of an attribute
// (`Marklet1.Font.Bold = True`) reaches the control.
//
// The object shows the font the control keeps: after each change it is
// rewritten with what the surface realised (14 points read back as 14.25),
// or with the old font when the surface refused the change. Those writes
// tell nobody, so the control is not told again.
#pragma once

#include <functional>

#include "host/values.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

class FontLink final : public IPropertyNotifySink {
 public:
  // A font object with `font`'s attributes, listened to; `changed` runs on
  // each change made by someone else. Error 380 when the object cannot be made.
  static ComRef<FontLink> Create(const FontDesc& font, std::function<void()> changed);

  // The object (a new reference).
  IFontDisp* Object();
  // What the object holds now.
  FontDesc Read();
  // Writes the attributes of `font` that differ from the object's, telling nobody.
  void Show(const FontDesc& font);
  // Stops listening; `changed` never runs again.
  void Disconnect();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IPropertyNotifySink
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override;
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID id) override;

 private:
  FontLink() = default;
  ~FontLink() = default;

  LONG references_ = 1;
  ComRef<IFont> font_;
  ComRef<IConnectionPoint> point_;
  ::DWORD cookie_ = 0;
  std::function<void()> changed_;
  int writing_ = 0;  // Show is writing: the notices it causes are its own
};

}  // namespace marklet::win32::activex
