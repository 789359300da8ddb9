// Small COM helpers the Windows programs share: a reference that releases
// itself, and the control's GUID constants as the SDK's GUIDs.
#pragma once

#include "control/type_library.h"
#include "platform/win32/win_api.h"

namespace marklet::win32 {

inline GUID ToGuid(const marklet::Guid& g) {
  GUID out{g.data1, g.data2, g.data3, {}};
  for (int i = 0; i < 8; ++i) out.Data4[i] = g.data4[i];
  return out;
}

// Holds one reference and releases it.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* p) : p_(p) {}  // takes over a reference
  ComRef(const ComRef& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComRef& operator=(const ComRef& o) {
    if (o.p_) o.p_->AddRef();
    reset(o.p_);
    return *this;
  }
  ~ComRef() { reset(); }
  void reset(T* p = nullptr) {
    if (p_) p_->Release();
    p_ = p;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For a call that hands out a reference: releases the one held first.
  T** put() {
    reset();
    return &p_;
  }
  // Gives up the reference without releasing it.
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  // Adds a reference and takes it over.
  static ComRef Share(T* p) {
    if (p) p->AddRef();
    return ComRef(p);
  }

 private:
  T* p_ = nullptr;
};

}  // namespace marklet::win32
