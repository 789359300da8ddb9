// Placeholder until pointer interaction lands.
#include "control/marklet.h"

namespace marklet {

void Marklet::SurfaceClick() { EventArgs a; container_.RaiseEvent(EventId::Click, a); }
void Marklet::SurfaceDblClick() { EventArgs a; container_.RaiseEvent(EventId::DblClick, a); }
void Marklet::SurfaceKeyDown(Integer&, Integer&) {}
void Marklet::SurfaceKeyPress(Integer&) {}
void Marklet::SurfaceKeyUp(Integer&, Integer&) {}
void Marklet::SurfaceMouseDown(Integer&, Integer&, Single&, Single&) {}
void Marklet::SurfaceMouseMove(Integer&, Integer&, Single&, Single&) {}
void Marklet::SurfaceMouseUp(Integer&, Integer&, Single&, Single&) {}
void Marklet::ImageMouseMove(Integer, Integer&, Integer&, Single&, Single&) {}
void Marklet::ImageMouseUp(Integer, Integer&, Integer&, Single&, Single&) {}
void Marklet::HookWindow() {}
void Marklet::UnhookWindow() {}
LRESULT Marklet::WindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT Marklet::SubclassProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace marklet
