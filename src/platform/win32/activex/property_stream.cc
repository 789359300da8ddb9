#include "platform/win32/activex/property_stream.h"

#include <cstdio>
#include <cstring>
#include <set>

#include "host/error.h"
#include "platform/win32/activex/com_values.h"
#include "platform/win32/ole_picture.h"

namespace marklet::win32::activex {
namespace {

class Writer {
 public:
  void Bytes(const void* data, size_t size) { out_.append(static_cast<const char*>(data), size); }
  template <typename T>
  void Value(T v) {
    Bytes(&v, sizeof v);
  }
  void Text16(const std::u16string& text) {
    Value<std::uint16_t>(static_cast<std::uint16_t>(text.size()));
    Bytes(text.data(), text.size() * 2);
  }
  void Text32(const std::u16string& text) {
    Value<std::uint32_t>(static_cast<std::uint32_t>(text.size()));
    Bytes(text.data(), text.size() * 2);
  }
  std::string& out() { return out_; }

 private:
  std::string out_;
};

[[noreturn]] void Damaged(const std::string& what) {
  throw MarkletError(ErrorNumber::TypeMismatch, "The control's stored properties are damaged: " + what);
}

class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}
  const char* Take(size_t size) {
    if (size > data_.size() - position_) Damaged("they end early");
    const char* at = data_.data() + position_;
    position_ += size;
    return at;
  }
  template <typename T>
  T Value() {
    T v;
    std::memcpy(&v, Take(sizeof v), sizeof v);
    return v;
  }
  std::u16string Text(size_t length) {
    if (length > (data_.size() - position_) / 2) Damaged("a text runs past their end");
    std::u16string text(length, u'\0');
    std::memcpy(text.data(), Take(length * 2), length * 2);
    return text;
  }
  bool AtEnd() const { return position_ == data_.size(); }

 private:
  std::string_view data_;
  size_t position_ = 0;
};

// The picture's file bytes, as the picture object saves itself.
std::string PictureBytes(const Picture& picture) {
  IPicture* object = PictureInterface(picture);
  if (!object) throw MarkletError(ErrorNumber::InvalidPropertyValue, "Invalid property value: the picture cannot be saved");
  IStream* stream = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream))) throw std::bad_alloc();
  // The picture object saves itself as its persistent form (a short header
  // and the image file), which the picture loader reads back.
  IPersistStream* persist = nullptr;
  HRESULT hr = object->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
  if (SUCCEEDED(hr)) {
    hr = persist->Save(stream, TRUE);
    persist->Release();
  }
  std::string bytes;
  HGLOBAL memory = nullptr;
  if (SUCCEEDED(hr) && SUCCEEDED(::GetHGlobalFromStream(stream, &memory))) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    size_t length = static_cast<size_t>(stat.cbSize.QuadPart);
    if (void* p = ::GlobalLock(memory)) {
      bytes.assign(static_cast<const char*>(p), length);
      ::GlobalUnlock(memory);
    }
  }
  stream->Release();
  if (FAILED(hr) || bytes.empty()) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       std::string("Invalid property value: the picture cannot be saved (") + code + ")");
  }
  return bytes;
}

}  // namespace

std::string EncodeProperties(const std::vector<StoredProperty>& properties) {
  Writer w;
  w.Value<std::uint32_t>(static_cast<std::uint32_t>(properties.size()));
  for (const StoredProperty& p : properties) {
    w.Text16(p.key);
    const Variant& v = p.value;
    w.Value<std::uint8_t>(static_cast<std::uint8_t>(v.type()));
    switch (v.type()) {
      case VarType::Empty: break;
      case VarType::Bool: w.Value<std::int16_t>(v.AsBool() ? -1 : 0); break;
      case VarType::Integer: w.Value<std::int16_t>(v.ToInteger()); break;
      case VarType::Long: w.Value<std::int32_t>(v.ToLong()); break;
      case VarType::Byte: w.Value<std::uint8_t>(v.ToByte()); break;
      case VarType::Single: w.Value<float>(v.ToSingle()); break;
      case VarType::Double: w.Value<double>(v.ToDouble()); break;
      case VarType::String: w.Text32(v.AsString()); break;
      case VarType::Font: {
        const FontDesc& f = v.AsFont();
        w.Text16(f.name);
        w.Value<float>(f.size);
        w.Value<std::int16_t>(f.weight);
        w.Value<std::int16_t>(f.charset);
        w.Value<std::uint8_t>(static_cast<std::uint8_t>(f.bold | f.italic << 1 | f.underline << 2 |
                                                        f.strikethrough << 3));
        break;
      }
      case VarType::Picture: {
        std::string bytes = v.AsPicture() ? PictureBytes(v.AsPicture()) : std::string();
        w.Value<std::uint32_t>(static_cast<std::uint32_t>(bytes.size()));
        w.Bytes(bytes.data(), bytes.size());
        break;
      }
    }
  }
  Writer record;
  record.Bytes(kStreamMagic, sizeof kStreamMagic);
  record.Value<std::uint32_t>(kStreamVersion);
  record.Value<std::uint32_t>(static_cast<std::uint32_t>(w.out().size()));
  record.out() += w.out();
  return record.out();
}

std::vector<StoredProperty> DecodeProperties(std::string_view data) {
  Reader r(data);
  std::uint32_t count = r.Value<std::uint32_t>();
  // Each key takes at least three bytes, so a count beyond that is damage, not a reason to allocate.
  if (count > data.size() / 3) Damaged("they claim " + std::to_string(count) + " keys");
  std::vector<StoredProperty> out;
  std::set<std::u16string> seen;
  for (std::uint32_t i = 0; i < count; ++i) {
    StoredProperty p;
    p.key = r.Text(r.Value<std::uint16_t>());
    if (!seen.insert(p.key).second) Damaged("the key '" + U16ToUtf8(p.key) + "' comes twice");
    std::uint8_t type = r.Value<std::uint8_t>();
    switch (static_cast<VarType>(type)) {
      case VarType::Empty: break;
      case VarType::Bool: p.value = Variant::FromBool(r.Value<std::int16_t>() != 0); break;
      case VarType::Integer: p.value = Variant::FromInteger(r.Value<std::int16_t>()); break;
      case VarType::Long: p.value = Variant::FromLong(r.Value<std::int32_t>()); break;
      case VarType::Byte: p.value = Variant::FromByte(r.Value<std::uint8_t>()); break;
      case VarType::Single: p.value = Variant::FromSingle(r.Value<float>()); break;
      case VarType::Double: p.value = Variant::FromDouble(r.Value<double>()); break;
      case VarType::String: p.value = Variant::FromString(r.Text(r.Value<std::uint32_t>())); break;
      case VarType::Font: {
        FontDesc f;
        f.name = r.Text(r.Value<std::uint16_t>());
        f.size = r.Value<float>();
        f.weight = r.Value<std::int16_t>();
        f.charset = r.Value<std::int16_t>();
        std::uint8_t flags = r.Value<std::uint8_t>();
        f.bold = flags & 1;
        f.italic = flags & 2;
        f.underline = flags & 4;
        f.strikethrough = flags & 8;
        p.value = Variant::FromFont(f);
        break;
      }
      case VarType::Picture: {
        std::uint32_t length = r.Value<std::uint32_t>();
        if (length == 0) {
          p.value = Variant::FromPicture(nullptr);
        } else {
          const char* bytes = r.Take(length);
          p.value = Variant::FromPicture(DecodePictureBytes(
              std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(bytes), length),
              "the stored picture '" + U16ToUtf8(p.key) + "'"));
        }
        break;
      }
      default: Damaged("the key '" + U16ToUtf8(p.key) + "' has an unknown type " + std::to_string(type));
    }
    out.push_back(std::move(p));
  }
  if (!r.AtEnd()) Damaged("bytes follow the last key");
  return out;
}

HRESULT WriteRecord(IStream* stream, const std::string& record) {
  ULONG written = 0;
  HRESULT hr = stream->Write(record.data(), static_cast<ULONG>(record.size()), &written);
  if (SUCCEEDED(hr) && written != record.size()) hr = STG_E_MEDIUMFULL;
  return hr;
}

namespace {

HRESULT ReadExactly(IStream* stream, void* into, ULONG size) {
  ULONG read = 0;
  HRESULT hr = stream->Read(into, size, &read);
  if (FAILED(hr)) return hr;
  return read == size ? S_OK : S_FALSE;
}

}  // namespace

HRESULT ReadRecord(IStream* stream, std::string& data) {
  char header[12];
  HRESULT hr = ReadExactly(stream, header, sizeof header);
  if (FAILED(hr)) return hr;
  if (hr == S_FALSE) Damaged("the stream ends inside their header");
  if (std::memcmp(header, kStreamMagic, 4) != 0) Damaged("the stream does not hold them");
  std::uint32_t version, length;
  std::memcpy(&version, header + 4, 4);
  std::memcpy(&length, header + 8, 4);
  if (version != kStreamVersion) Damaged("they were written in version " + std::to_string(version));
  if (length > kMaxStreamBytes) Damaged("they claim " + std::to_string(length) + " bytes");
  data.assign(length, '\0');
  hr = ReadExactly(stream, data.data(), length);
  if (FAILED(hr)) return hr;
  if (hr == S_FALSE) Damaged("the stream ends early");
  return S_OK;
}

}  // namespace marklet::win32::activex
