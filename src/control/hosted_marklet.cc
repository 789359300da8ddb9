#include "control/hosted_marklet.h"

#include "control/dispatch.h"

namespace marklet {

Variant HostedMarklet::GetProperty(const std::u16string& name) {
  return Invoke(control_, name, InvokeKind::Get);
}

void HostedMarklet::SetProperty(const std::u16string& name, const Variant& value) {
  Invoke(control_, name, InvokeKind::Put, std::span<const Variant>(&value, 1));
}

}  // namespace marklet
