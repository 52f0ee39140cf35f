#pragma once

#include "tb_rectangle.h"
#include "tb_vector2.h"

// The window manager's frame is not known before it has framed a window: the room left for
// a title bar above a new window's client area, and for a thin border around it.
constexpr int TB_kTitleBarRoom = 40;
constexpr int TB_kBorderRoom = 4;

// The work area (the monitor without its panels) of the first monitor whose work area
// holds the point, edges included; false when the point is on no monitor.
bool TB_FindWorkArea(TB_Vector2 point, TB_Rectangle<int>& area);
// The rectangle as it is when its top-left corner lies in a work area; otherwise moved so
// that its top-left corner is that of the nearest work area (the first of equal distances).
TB_Rectangle<float> TB_EnsureOnScreen(const TB_Rectangle<float>& rectangle);
// Moves a rectangle into the area: first left of the right edge, then right of the left
// edge; likewise vertically.
TB_Rectangle<float> TB_ClampToArea(const TB_Rectangle<float>& rectangle,
                                   const TB_Rectangle<int>& area);
// Where a popup of the given size opens at `at` (screen coordinates) in the area: below the
// point when it fits there, else above `anchorTop` (the top of the control it drops from, or
// the point itself) when that side has more room; shifted left or right to stay inside, and
// no taller than the room of the side it took.
TB_Rectangle<float> TB_PlacePopup(TB_Vector2 size, TB_Vector2 at, float anchorTop,
                                  const TB_Rectangle<int>& area);
// The work area that holds the point, else the first one; a 1920 × 1080 screen without any.
TB_Rectangle<int> TB_WorkAreaAt(TB_Vector2 point);
