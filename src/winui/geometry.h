// The program's geometry (platform/geometry.h) in the kit, with the
// conversions to and from the system's RECT.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include "platform/geometry.h"

namespace vx::winui {

using vx::Point;
using vx::Rect;
using vx::Size;

inline RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right(), r.bottom()}; }
inline Rect FromRECT(const RECT& r) { return Rect::FromEdges(r.left, r.top, r.right, r.bottom); }

}  // namespace vx::winui
