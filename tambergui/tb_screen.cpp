#include "tb_screen.h"

#include <algorithm>
#include <cmath>

#include "tb_frame.h"
#include "tb_platform.h"

namespace {

bool Holds(const TB_Rectangle<int>& area, float x, float y) {
    return area.x <= x && x <= area.x + area.width && area.y <= y && y <= area.y + area.height;
}

}  // namespace

bool TB_FindWorkArea(TB_Vector2 point, TB_Rectangle<int>& area) {
    TB_Platform& platform = TB_GetPlatform();
    if (!platform.KnowsWindowPlaces()) {
        // Where the window lies on the screen is unknown, so its popups are kept inside the
        // window itself, which the window system keeps on the screen; the active one first,
        // as every window believes it sits at the origin.
        TB_WindowHandle active = platform.GetActiveWindow();
        std::vector<TB_NativeWidget*> frames;
        for (TB_NativeWidget* widget : platform.TopLevelWidgets()) {
            if (dynamic_cast<TB_Frame*>(widget) && widget->Window &&
                platform.IsWindowVisible(widget->Window)) {
                frames.insert(widget->Window == active ? frames.begin() : frames.end(), widget);
            }
        }
        for (TB_NativeWidget* frame : frames) {
            TB_Rectangle<int> bounds = platform.GetWindowBounds(frame->Window);
            if (Holds(bounds, point.x, point.y)) {
                area = bounds;
                return true;
            }
        }
    }
    for (const TB_Rectangle<int>& candidate : TB_GetPlatform().WorkAreas()) {
        if (Holds(candidate, point.x, point.y)) {
            area = candidate;
            return true;
        }
    }
    return false;
}

TB_Rectangle<float> TB_EnsureOnScreen(const TB_Rectangle<float>& rectangle) {
    std::vector<TB_Rectangle<int>> areas = TB_GetPlatform().WorkAreas();
    for (const TB_Rectangle<int>& area : areas) {
        if (Holds(area, rectangle.x, rectangle.y)) {
            return rectangle;
        }
    }
    const TB_Rectangle<int>* nearest = nullptr;
    int best = 0;
    for (const TB_Rectangle<int>& area : areas) {
        double dx = area.x - rectangle.x;
        double dy = area.y - rectangle.y;
        int distance = static_cast<int>(std::sqrt(dx * dx + dy * dy));
        if (!nearest || distance < best) {
            nearest = &area;
            best = distance;
        }
    }
    if (!nearest) {
        return rectangle;
    }
    TB_Rectangle<float> moved = rectangle;
    moved.x = static_cast<float>(nearest->x);
    moved.y = static_cast<float>(nearest->y);
    return moved;
}

TB_Rectangle<float> TB_ClampToArea(const TB_Rectangle<float>& rectangle,
                                   const TB_Rectangle<int>& area) {
    TB_Rectangle<float> r = rectangle;
    if (r.x + r.width > area.x + area.width) {
        r.x = static_cast<float>(area.x + area.width) - r.width;
    }
    if (r.x < area.x) {
        r.x = static_cast<float>(area.x);
    }
    if (r.y + r.height > area.y + area.height) {
        r.y = static_cast<float>(area.y + area.height) - r.height;
    }
    if (r.y < area.y) {
        r.y = static_cast<float>(area.y);
    }
    return r;
}

TB_Rectangle<float> TB_PlacePopup(TB_Vector2 size, TB_Vector2 at, float anchorTop,
                                  const TB_Rectangle<int>& area) {
    float top = static_cast<float>(area.y);
    float bottom = static_cast<float>(area.y + area.height);
    at.y = std::clamp(at.y, top, bottom);
    anchorTop = std::clamp(anchorTop, top, at.y);
    float below = bottom - at.y;
    float above = anchorTop - top;
    TB_Rectangle<float> r{at.x, at.y, size.x, size.y};
    if (size.y > below && above > below) {
        r.height = std::min(size.y, above);
        r.y = anchorTop - r.height;
    } else {
        r.height = std::min(size.y, below);
    }
    TB_Rectangle<float> shifted = TB_ClampToArea(r, area);
    r.x = shifted.x;
    return r;
}

TB_Rectangle<int> TB_WorkAreaAt(TB_Vector2 point) {
    TB_Rectangle<int> area;
    if (TB_FindWorkArea(point, area)) {
        return area;
    }
    std::vector<TB_Rectangle<int>> areas = TB_GetPlatform().WorkAreas();
    return areas.empty() ? TB_Rectangle<int>{0, 0, 1920, 1080} : areas[0];
}
