// A connection point of the control: the sinks advised for one outgoing
// interface (the events, or property-change notices), kept in advise order.
// It lives inside its object and shares the object's reference count.
#pragma once

#include <vector>

#include "platform/win32/activex/com_values.h"
#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

class ConnectionPoint final : public IConnectionPoint {
 public:
  // `accept` is the interface a sink must give for Advise; for the event
  // interface, a sink that only gives IDispatch is taken too, as dispatch
  // sinks are called through Invoke alone.
  ConnectionPoint(IConnectionPointContainer& owner, const IID& iid, bool dispatchSink);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, ::DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(::DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

  const IID& iid() const { return iid_; }
  // The sinks as they are now (each with a reference), so a sink may
  // unadvise while it is being called.
  std::vector<ComRef<IUnknown>> Sinks() const;
  void Clear() { sinks_.clear(); }

 private:
  struct Connection {
    ::DWORD cookie;
    ComRef<IUnknown> sink;
  };
  IConnectionPointContainer& owner_;
  IID iid_;
  bool dispatchSink_;
  ::DWORD nextCookie_ = 1;
  std::vector<Connection> sinks_;
};

// Enumerates the object's connection points.
class ConnectionPointEnumerator final : public IEnumConnectionPoints {
 public:
  ConnectionPointEnumerator(std::vector<IConnectionPoint*> points, size_t position = 0);
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** clone) override;

 private:
  ~ConnectionPointEnumerator();
  LONG references_ = 1;
  std::vector<IConnectionPoint*> points_;  // each holds a reference
  size_t position_;
};

}  // namespace marklet::win32::activex
