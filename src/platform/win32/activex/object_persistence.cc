// The object's persistence: property bags (IPersistPropertyBag) and streams
// (IPersistStreamInit), both through the control's own read and write
// orders, keys, types and defaults.
#include "control/type_library.h"
#include "host/stored_property_bag.h"
#include "platform/win32/activex/marklet_object.h"
#include "platform/win32/activex/module.h"
#include "platform/win32/activex/property_stream.h"

namespace marklet::win32::activex {
namespace {

// A bag call that failed: the bag's own HRESULT goes back to the container.
struct BagFailure {
  HRESULT hr;
};

// Reads from the container's property bag. A key the bag does not hold
// (E_INVALIDARG, as bags say it) gives the default.
class ComBagReader final : public PropertyBag {
 public:
  ComBagReader(IPropertyBag* bag, IErrorLog* log) : bag_(bag), log_(log) {}
  Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override {
    VARIANT value;
    ::VariantInit(&value);
    HRESULT hr = bag_->Read(Wide(name), &value, log_);
    if (hr == E_INVALIDARG) return defaultValue;
    if (FAILED(hr)) throw BagFailure{hr};
    try {
      Variant out = FromVariant(value);
      ::VariantClear(&value);
      return out.IsEmpty() ? defaultValue : out;
    } catch (...) {
      ::VariantClear(&value);
      throw;
    }
  }
  void WriteProperty(const std::u16string&, const Variant&, const Variant&) override {}

 private:
  IPropertyBag* bag_;
  IErrorLog* log_;
};

// The VARIANT a stored value is written as: its own type.
void StoredVariant(const Variant& value, VARIANT* out) {
  switch (value.type()) {
    case VarType::Empty: ::VariantInit(out); return;
    case VarType::Bool: ToVariant(value, AutoType::Boolean, out); return;
    case VarType::Integer: ToVariant(value, AutoType::Integer, out); return;
    case VarType::Long: ToVariant(value, AutoType::Long, out); return;
    case VarType::Byte: ToVariant(value, AutoType::Byte, out); return;
    case VarType::Single: ToVariant(value, AutoType::Single, out); return;
    case VarType::Double:
      ::VariantInit(out);
      V_VT(out) = VT_R8;
      V_R8(out) = value.ToDouble();
      return;
    case VarType::String: ToVariant(value, AutoType::String, out); return;
    case VarType::Font: ToVariant(value, AutoType::Font, out); return;
    case VarType::Picture: ToVariant(value, AutoType::Picture, out); return;
  }
}

// Writes to the container's property bag: only values that differ from
// their defaults, unless the container asks for all of them.
class ComBagWriter final : public PropertyBag {
 public:
  ComBagWriter(IPropertyBag* bag, bool saveAll) : bag_(bag), saveAll_(saveAll) {}
  Variant ReadProperty(const std::u16string&, const Variant& defaultValue) override { return defaultValue; }
  void WriteProperty(const std::u16string& name, const Variant& value, const Variant& defaultValue) override {
    if (!saveAll_ && value == defaultValue) return;
    VARIANT stored;
    StoredVariant(value, &stored);
    HRESULT hr = bag_->Write(Wide(name), &stored);
    ::VariantClear(&stored);
    if (FAILED(hr)) throw BagFailure{hr};
  }

 private:
  IPropertyBag* bag_;
  bool saveAll_;
};

// Collects what the control writes, for a stream.
class RecordingBag final : public PropertyBag {
 public:
  Variant ReadProperty(const std::u16string&, const Variant& defaultValue) override { return defaultValue; }
  void WriteProperty(const std::u16string& name, const Variant& value, const Variant& defaultValue) override {
    if (!(value == defaultValue)) written.push_back({name, value});
  }
  std::vector<StoredProperty> written;
};

const GUID& PersistIid() { return IID_IPersistStreamInit; }

}  // namespace

HRESULT MarkletObject::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = ToGuid(kClassGuid);
  return S_OK;
}

HRESULT MarkletObject::InitNew() {
  if (initialisedByHost_) return E_UNEXPECTED;
  initialisedByHost_ = true;
  initialised_ = true;
  try {
    control().InitProperties();
    container_->RequestPaint();
    return S_OK;
  } catch (...) {
    return ReportCurrentException(PersistIid());
  }
}

HRESULT MarkletObject::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  if (initialisedByHost_) return E_UNEXPECTED;
  initialisedByHost_ = true;
  initialised_ = true;
  try {
    ComBagReader reader(bag, log);
    control().ReadProperties(reader);
    container_->RequestPaint();
    ShowFontOnObject();  // a font object handed out before now shows the loaded font
    dirty_ = false;
    return S_OK;
  } catch (const BagFailure& failure) {
    return failure.hr;
  } catch (...) {
    return ReportCurrentException(IID_IPersistPropertyBag);
  }
}

HRESULT MarkletObject::Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) {
  if (!bag) return E_POINTER;
  try {
    EnsureInitialised();
    ComBagWriter writer(bag, saveAll != FALSE);
    control().WriteProperties(writer);
    if (clearDirty) dirty_ = false;
    return S_OK;
  } catch (const BagFailure& failure) {
    return failure.hr;
  } catch (...) {
    return ReportCurrentException(IID_IPersistPropertyBag);
  }
}

HRESULT MarkletObject::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT MarkletObject::Load(LPSTREAM stream) {
  if (!stream) return E_POINTER;
  if (initialisedByHost_) return E_UNEXPECTED;
  try {
    std::string data;
    HRESULT hr = ReadRecord(stream, data);
    if (FAILED(hr)) return hr;
    StoredPropertyBag::Entries stored;
    for (StoredProperty& p : DecodeProperties(data)) stored.emplace_back(std::move(p.key), std::move(p.value));
    StoredPropertyBag bag(stored);
    initialisedByHost_ = true;
    initialised_ = true;
    control().ReadProperties(bag);
    container_->RequestPaint();
    ShowFontOnObject();
    dirty_ = false;
    return S_OK;
  } catch (...) {
    return ReportCurrentException(PersistIid());
  }
}

HRESULT MarkletObject::Save(LPSTREAM stream, BOOL clearDirty) {
  if (!stream) return E_POINTER;
  try {
    EnsureInitialised();
    RecordingBag bag;
    control().WriteProperties(bag);
    HRESULT hr = WriteRecord(stream, EncodeProperties(bag.written));
    if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
    return hr;
  } catch (...) {
    return ReportCurrentException(PersistIid());
  }
}

HRESULT MarkletObject::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  try {
    EnsureInitialised();
    RecordingBag bag;
    control().WriteProperties(bag);
    size->QuadPart = EncodeProperties(bag.written).size();
    return S_OK;
  } catch (...) {
    return ReportCurrentException(PersistIid());
  }
}

}  // namespace marklet::win32::activex
