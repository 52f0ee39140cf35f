#pragma once

#include "tb_rectangle.h"
#include "tb_vector2.h"

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
