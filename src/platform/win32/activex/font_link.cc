#include "platform/win32/activex/font_link.h"

#include <cmath>
#include <new>

#include "host/error.h"
#include "platform/win32/activex/com_values.h"

namespace marklet::win32::activex {
namespace {

// Sizes travel as currency: ten-thousandths of a point.
LONGLONG ToCurrency(Single points) { return std::llround(static_cast<double>(points) * 10000.0); }

}  // namespace

ComRef<FontLink> FontLink::Create(const FontDesc& font, std::function<void()> changed) {
  ComRef<FontLink> link(new (std::nothrow) FontLink());
  if (!link) throw MarkletError(7, "Out of memory: the font object");
  ComRef<IFontDisp> object(NewFontObject(font));
  object->QueryInterface(IID_IFont, reinterpret_cast<void**>(link->font_.put()));
  if (!link->font_) throw MarkletError(ErrorNumber::InvalidPropertyValue, "Invalid property value: the font cannot be made");
  link->changed_ = std::move(changed);
  ComRef<IConnectionPointContainer> points;
  // A font object without change notices still works as a snapshot; the
  // control then takes changes only through Set Font.
  if (SUCCEEDED(link->font_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(points.put()))) &&
      SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, link->point_.put()))) {
    if (FAILED(link->point_->Advise(static_cast<IPropertyNotifySink*>(link.get()), &link->cookie_))) {
      link->point_.reset();
      link->cookie_ = 0;
    }
  }
  return link;
}

IFontDisp* FontLink::Object() {
  IFontDisp* out = nullptr;
  font_->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(&out));
  return out;
}

FontDesc FontLink::Read() { return FontOf(font_.get()); }

void FontLink::Show(const FontDesc& font) {
  FontDesc now = Read();
  ++writing_;
  if (now.name != font.name) {
    BSTR name = ToBstr(font.name);
    font_->put_Name(name);
    ::SysFreeString(name);
  }
  if (ToCurrency(now.size) != ToCurrency(font.size)) {
    CY size{};
    size.int64 = ToCurrency(font.size);
    font_->put_Size(size);
  }
  // The object's bold is its weight above 550; a font whose bold and weight
  // disagree is written with the bold's own weight.
  if (now.weight != font.weight) font_->put_Weight(static_cast<SHORT>(font.weight));
  if ((font.weight > 550) != font.bold) font_->put_Bold(font.bold ? TRUE : FALSE);
  if (now.italic != font.italic) font_->put_Italic(font.italic ? TRUE : FALSE);
  if (now.underline != font.underline) font_->put_Underline(font.underline ? TRUE : FALSE);
  if (now.strikethrough != font.strikethrough) font_->put_Strikethrough(font.strikethrough ? TRUE : FALSE);
  if (now.charset != font.charset) font_->put_Charset(static_cast<SHORT>(font.charset));
  --writing_;
}

void FontLink::Disconnect() {
  changed_ = nullptr;
  if (point_ && cookie_) point_->Unadvise(cookie_);
  point_.reset();
  cookie_ = 0;
}

HRESULT FontLink::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IPropertyNotifySink)) return E_NOINTERFACE;
  *out = static_cast<IPropertyNotifySink*>(this);
  AddRef();
  return S_OK;
}

ULONG FontLink::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG FontLink::Release() {
  LONG left = ::InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT FontLink::OnChanged(DISPID) {
  if (writing_ > 0 || !changed_) return S_OK;
  // The callback may rewrite the object and so re-enter here; keep this alive.
  ComRef<FontLink> self = ComRef<FontLink>::Share(this);
  std::function<void()> changed = changed_;
  changed();
  return S_OK;
}

HRESULT FontLink::OnRequestEdit(DISPID) { return S_OK; }

}  // namespace marklet::win32::activex
