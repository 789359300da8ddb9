#include "platform/win32/activex/com_values.h"

#include <cmath>
#include <new>

#include "control/type_library.h"
#include "platform/win32/ole_picture.h"

namespace marklet::win32::activex {

HRESULT ErrorResult(int number) {
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number) & 0xFFFFu);
}

namespace {

// The error of the exception being handled, as a number and a description.
MarkletError CurrentError() {
  try {
    throw;
  } catch (const MarkletError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return MarkletError(7, "Out of memory");
  } catch (const std::exception& e) {
    return MarkletError(ErrorNumber::InvalidProcedureCall, e.what());
  } catch (...) {
    return MarkletError(ErrorNumber::InvalidProcedureCall, "Unexpected failure");
  }
}

std::wstring WideOf(const std::string& utf8) {
  std::u16string text;
  try {
    text = Utf8ToU16(utf8);
  } catch (const MarkletError&) {
    text = u"?";
  }
  return std::wstring(text.begin(), text.end());
}

}  // namespace

HRESULT ReportError(const MarkletError& error, REFIID iid) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(::CreateErrorInfo(&create))) {
    std::wstring source = WideOf(kProgId), description = WideOf(error.what());
    create->SetGUID(iid);
    create->SetSource(source.data());
    create->SetDescription(description.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      ::SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return error.number() == 7 ? E_OUTOFMEMORY : ErrorResult(error.number());
}

HRESULT ReportCurrentException(REFIID iid) { return ReportError(CurrentError(), iid); }

HRESULT FillExceptionInfo(EXCEPINFO* info) {
  MarkletError error = CurrentError();
  if (info) {
    *info = EXCEPINFO{};
    std::wstring source = WideOf(kProgId), description = WideOf(error.what());
    info->bstrSource = ::SysAllocString(source.c_str());
    info->bstrDescription = ::SysAllocString(description.c_str());
    info->scode = error.number() == 7 ? E_OUTOFMEMORY : ErrorResult(error.number());
  }
  return DISP_E_EXCEPTION;
}

std::u16string FromBstr(BSTR text) {
  return text ? FromWide(text, ::SysStringLen(text)) : std::u16string();
}

BSTR ToBstr(const std::u16string& text) {
  BSTR out = ::SysAllocStringLen(Wide(text), static_cast<UINT>(text.size()));
  if (!out) throw std::bad_alloc();
  return out;
}

namespace {

Variant FromObject(IUnknown* object) {
  if (!object) return Variant::FromPicture(nullptr);
  IFont* font = nullptr;
  if (SUCCEEDED(object->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font)))) {
    font->Release();
    return Variant::FromFont(FontOf(object));
  }
  IPicture* picture = nullptr;
  if (SUCCEEDED(object->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&picture)))) {
    picture->Release();
    return Variant::FromPicture(PictureOf(object));
  }
  // Another object stands for its default value.
  IDispatch* dispatch = nullptr;
  if (SUCCEEDED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    ::VariantInit(&result);
    HRESULT hr = dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                  &result, nullptr, nullptr);
    dispatch->Release();
    if (SUCCEEDED(hr) && V_VT(&result) != VT_DISPATCH && V_VT(&result) != VT_UNKNOWN) {
      try {
        Variant value = FromVariant(result);
        ::VariantClear(&result);
        return value;
      } catch (...) {
        ::VariantClear(&result);
        throw;
      }
    }
    ::VariantClear(&result);
  }
  throw MarkletError(ErrorNumber::TypeMismatch, "Type mismatch: the object has no value the control can take");
}

}  // namespace

Variant FromVariant(const VARIANT& value) {
  const VARIANT* v = &value;
  // A reference to a variant, as hosts pass ByRef arguments.
  if (V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
  if (!v) throw MarkletError(ErrorNumber::TypeMismatch, "Type mismatch: a null reference");
  VARTYPE type = V_VT(v);
  bool byRef = (type & VT_BYREF) != 0;
  type = static_cast<VARTYPE>(type & ~VT_BYREF);
  if (byRef && !V_BYREF(v)) throw MarkletError(ErrorNumber::TypeMismatch, "Type mismatch: a null reference");
  switch (type) {
    case VT_EMPTY: return Variant();
    case VT_BOOL: return Variant::FromBool((byRef ? *V_BOOLREF(v) : V_BOOL(v)) != VARIANT_FALSE);
    case VT_I2: return Variant::FromInteger(byRef ? *V_I2REF(v) : V_I2(v));
    case VT_I4: return Variant::FromLong(byRef ? *V_I4REF(v) : V_I4(v));
    case VT_UI1: return Variant::FromByte(byRef ? *V_UI1REF(v) : V_UI1(v));
    case VT_R4: return Variant::FromSingle(byRef ? *V_R4REF(v) : V_R4(v));
    case VT_R8: return Variant::FromDouble(byRef ? *V_R8REF(v) : V_R8(v));
    case VT_BSTR: return Variant::FromString(FromBstr(byRef ? *V_BSTRREF(v) : V_BSTR(v)));
    case VT_DISPATCH: return FromObject(byRef ? *V_DISPATCHREF(v) : V_DISPATCH(v));
    case VT_UNKNOWN: return FromObject(byRef ? *V_UNKNOWNREF(v) : V_UNKNOWN(v));
    case VT_NULL: throw MarkletError(94, "Invalid use of Null");
    case VT_I1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_INT: case VT_UINT:
    case VT_CY: case VT_DECIMAL: case VT_DATE: {
      // Other numbers go through a double, as automation widens them.
      VARIANT wide;
      ::VariantInit(&wide);
      if (FAILED(::VariantChangeType(&wide, const_cast<VARIANT*>(v), 0, VT_R8))) {
        throw MarkletError(ErrorNumber::Overflow, "Overflow");
      }
      return Variant::FromDouble(V_R8(&wide));
    }
    default:
      throw MarkletError(ErrorNumber::TypeMismatch,
                         "Type mismatch: the control does not take a value of variant type " + std::to_string(type));
  }
}

VARTYPE VarTypeOf(AutoType type) {
  switch (type) {
    case AutoType::Integer: return VT_I2;
    case AutoType::Long:
    case AutoType::OleColor:
    case AutoType::Apariencia:
    case AutoType::Borde:
    case AutoType::LinkDisplay: return VT_I4;
    case AutoType::Byte: return VT_UI1;
    case AutoType::Single: return VT_R4;
    case AutoType::Boolean: return VT_BOOL;
    case AutoType::String: return VT_BSTR;
    case AutoType::Font:
    case AutoType::Picture: return VT_DISPATCH;
    case AutoType::Void: return VT_EMPTY;
  }
  return VT_EMPTY;
}

void ToVariant(const Variant& value, AutoType type, VARIANT* out) {
  ::VariantInit(out);
  switch (type) {
    case AutoType::Integer: V_VT(out) = VT_I2; V_I2(out) = value.ToInteger(); return;
    case AutoType::Long:
    case AutoType::OleColor:
    case AutoType::Apariencia:
    case AutoType::Borde:
    case AutoType::LinkDisplay: V_VT(out) = VT_I4; V_I4(out) = value.ToLong(); return;
    case AutoType::Byte: V_VT(out) = VT_UI1; V_UI1(out) = value.ToByte(); return;
    case AutoType::Single: V_VT(out) = VT_R4; V_R4(out) = value.ToSingle(); return;
    case AutoType::Boolean: V_VT(out) = VT_BOOL; V_BOOL(out) = value.ToBool() ? VARIANT_TRUE : VARIANT_FALSE; return;
    case AutoType::String: V_BSTR(out) = ToBstr(value.ToString()); V_VT(out) = VT_BSTR; return;
    case AutoType::Font: V_DISPATCH(out) = NewFontObject(value.ToFont()); V_VT(out) = VT_DISPATCH; return;
    case AutoType::Picture: V_DISPATCH(out) = PictureDispOf(value.ToPicture()); V_VT(out) = VT_DISPATCH; return;
    case AutoType::Void: return;
  }
}

IFontDisp* NewFontObject(const FontDesc& font) {
  std::u16string name = font.name;
  FONTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.lpstrName = const_cast<LPOLESTR>(reinterpret_cast<const wchar_t*>(name.c_str()));
  // The size in points as a currency value: ten-thousandths of a point.
  desc.cySize.int64 = std::llround(static_cast<double>(font.size) * 10000.0);
  desc.sWeight = static_cast<SHORT>(font.weight);
  desc.sCharset = static_cast<SHORT>(font.charset);
  desc.fItalic = font.italic;
  desc.fUnderline = font.underline;
  desc.fStrikethrough = font.strikethrough;
  IFontDisp* object = nullptr;
  HRESULT hr = ::OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(&object));
  if (FAILED(hr) || !object) throw MarkletError(ErrorNumber::InvalidPropertyValue, "Invalid property value: the font cannot be made");
  return object;
}

FontDesc FontOf(IUnknown* object) {
  IFont* font = nullptr;
  if (!object || FAILED(object->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font)))) {
    throw MarkletError(ErrorNumber::TypeMismatch, "Type mismatch: not a font object");
  }
  FontDesc out;
  BSTR name = nullptr;
  if (SUCCEEDED(font->get_Name(&name))) out.name = FromBstr(name);
  ::SysFreeString(name);
  CY size{};
  if (SUCCEEDED(font->get_Size(&size))) out.size = static_cast<Single>(static_cast<double>(size.int64) / 10000.0);
  BOOL flag = FALSE;
  if (SUCCEEDED(font->get_Bold(&flag))) out.bold = flag != FALSE;
  if (SUCCEEDED(font->get_Italic(&flag))) out.italic = flag != FALSE;
  if (SUCCEEDED(font->get_Underline(&flag))) out.underline = flag != FALSE;
  if (SUCCEEDED(font->get_Strikethrough(&flag))) out.strikethrough = flag != FALSE;
  SHORT number = 0;
  if (SUCCEEDED(font->get_Weight(&number))) out.weight = number;
  if (SUCCEEDED(font->get_Charset(&number))) out.charset = number;
  font->Release();
  return out;
}

IPictureDisp* PictureDispOf(const Picture& picture) {
  if (!picture) return nullptr;
  IPicture* object = PictureInterface(picture);
  if (!object) throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: not a picture object");
  IPictureDisp* disp = nullptr;
  if (FAILED(object->QueryInterface(IID_IPictureDisp, reinterpret_cast<void**>(&disp)))) {
    throw MarkletError(ErrorNumber::InvalidPicture, "Invalid picture: not a picture object");
  }
  return disp;
}

Picture PictureOf(IUnknown* object) {
  if (!object) return nullptr;
  IPicture* picture = nullptr;
  if (FAILED(object->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&picture)))) {
    throw MarkletError(ErrorNumber::TypeMismatch, "Type mismatch: not a picture object");
  }
  Picture out = WrapPicture(picture);
  picture->Release();
  return out;
}

}  // namespace marklet::win32::activex
