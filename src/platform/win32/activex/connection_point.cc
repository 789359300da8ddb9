#include "platform/win32/activex/connection_point.h"

#include <algorithm>

#include "platform/win32/activex/module.h"

namespace marklet::win32::activex {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& owner, const IID& iid, bool dispatchSink)
    : owner_(owner), iid_(iid), dispatchSink_(dispatchSink) {}

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IConnectionPoint)) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  owner_.AddRef();
  *container = &owner_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, ::DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  IUnknown* accepted = nullptr;
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&accepted))) &&
      (!dispatchSink_ || FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&accepted))))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  try {
    sinks_.push_back({nextCookie_, ComRef<IUnknown>(accepted)});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *cookie = nextCookie_++;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(::DWORD cookie) {
  auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const Connection& c) { return c.cookie == cookie; });
  if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
  ComRef<IUnknown> sink = it->sink;  // released after it left the list
  sinks_.erase(it);
  return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections) *connections = nullptr;
  return E_NOTIMPL;
}

std::vector<ComRef<IUnknown>> ConnectionPoint::Sinks() const {
  std::vector<ComRef<IUnknown>> out;
  out.reserve(sinks_.size());
  for (const Connection& c : sinks_) out.push_back(c.sink);
  return out;
}

ConnectionPointEnumerator::ConnectionPointEnumerator(std::vector<IConnectionPoint*> points, size_t position)
    : points_(std::move(points)), position_(position) {
  for (IConnectionPoint* p : points_) p->AddRef();
  AddObject();
}

ConnectionPointEnumerator::~ConnectionPointEnumerator() {
  for (IConnectionPoint* p : points_) p->Release();
  ReleaseObject();
}

HRESULT ConnectionPointEnumerator::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IEnumConnectionPoints)) {
    *out = static_cast<IEnumConnectionPoints*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG ConnectionPointEnumerator::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG ConnectionPointEnumerator::Release() {
  LONG left = ::InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT ConnectionPointEnumerator::Next(ULONG count, IConnectionPoint** points, ULONG* fetched) {
  if (!points || (count > 1 && !fetched)) return E_POINTER;
  ULONG n = 0;
  while (n < count && position_ < points_.size()) {
    points[n] = points_[position_++];
    points[n]->AddRef();
    ++n;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT ConnectionPointEnumerator::Skip(ULONG count) {
  size_t left = points_.size() - position_;
  position_ += std::min<size_t>(count, left);
  return count <= left ? S_OK : S_FALSE;
}

HRESULT ConnectionPointEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

HRESULT ConnectionPointEnumerator::Clone(IEnumConnectionPoints** clone) {
  if (!clone) return E_POINTER;
  *clone = new (std::nothrow) ConnectionPointEnumerator(points_, position_);
  return *clone ? S_OK : E_OUTOFMEMORY;
}

}  // namespace marklet::win32::activex
