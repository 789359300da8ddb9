// The control's properties in a stream (IPersistStreamInit): the keys and
// values the control writes, each with its type, behind a header that gives
// the data's length, so a container can keep several objects in one stream.
//
//   "MKLT"  u32 version (1)  u32 length of what follows
//   u32 count, then per key: u16 length + UTF-16 key, u8 type, value
//     Bool/Integer i16, Long i32, Byte u8, Single f32, Double f64,
//     String u32 length + UTF-16, Font (name, size f32, weight i16,
//     charset i16, u8 bold|italic<<1|underline<<2|strikethrough<<3),
//     Picture u32 length + the picture file's bytes (0: none)
// Little-endian throughout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/values.h"
#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

struct StoredProperty {
  std::u16string key;
  Variant value;
};

inline constexpr char kStreamMagic[4] = {'M', 'K', 'L', 'T'};
inline constexpr std::uint32_t kStreamVersion = 1;
inline constexpr std::uint32_t kMaxStreamBytes = 64u << 20;

// The whole record, header included. A picture that is not a picture object
// here gives error 380.
std::string EncodeProperties(const std::vector<StoredProperty>& properties);

// The properties of a record's data (what follows the header). Anything
// damaged (truncated, an unknown type, a key twice) gives error 13 saying
// what; a picture that does not decode gives 481.
std::vector<StoredProperty> DecodeProperties(std::string_view data);

// Writes a record to a stream; reads one back (the header and its data).
// Stream failures come back as their HRESULT; a damaged record as error 13.
HRESULT WriteRecord(IStream* stream, const std::string& record);
HRESULT ReadRecord(IStream* stream, std::string& data);

}  // namespace marklet::win32::activex
