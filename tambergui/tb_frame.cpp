#include "tb_frame.h"

#include <algorithm>

#include "tb_menupanel.h"
#include "tb_screen.h"

TB_Frame::TB_Frame() {
    Width = 640;
    Height = 480;
    X = 0;
    Y = 0;
    Actions = new TB_ActionList();
    Resized.Add([this](TB_EventArg&) {
        if (Content) {
            Content->SetBounds(GetClientRectangle());
        }
    });
    // A menu belongs to the window it was opened from: it goes when that window is left.
    Deactivated.Add([this](TB_EventArg&) {
        if (Popup && HasChild(Popup)) {
            auto* panel = dynamic_cast<TB_MenuPanel*>(Popup);
            if (!panel || !panel->IsActive()) {
                ClosePopup();
            }
        }
    });
}

TB_Frame::~TB_Frame() {
    if (Popup) {
        Popup->Release();
    }
    TB_ReleaseAll(KeptObjects);
}

void TB_Frame::PlaceAtStart() {
    TB_Rectangle<float> bounds{X, Y, Width, Height};
    auto* owner = dynamic_cast<TB_NativeWidget*>(Parent);
    if (StartPosition == 1 && owner) {
        TB_Rectangle<int> area;
        if (TB_FindWorkArea(TB_Vector2{owner->X + owner->Width / 2, owner->Y + owner->Height / 2},
                            area)) {
            // A dialog made for a larger screen is shrunk to this one, leaving room for the
            // window manager's title bar, whose height is not known before it frames the window.
            area = {area.x + TB_kBorderRoom, area.y + TB_kTitleBarRoom,
                    std::max(1, area.width - 2 * TB_kBorderRoom),
                    std::max(1, area.height - TB_kTitleBarRoom - TB_kBorderRoom)};
            Width = bounds.width = std::min(bounds.width, static_cast<float>(area.width));
            Height = bounds.height = std::min(bounds.height, static_cast<float>(area.height));
        }
        bounds.x = owner->X + (owner->Width - Width) * 0.5f;
        bounds.y = owner->Y + (owner->Height - Height) * 0.5f;
        if (area.width > 0) {
            bounds = TB_ClampToArea(bounds, area);
        }
    } else if (StartPosition == 1) {
        std::vector<TB_Rectangle<int>> areas = TB_GetPlatform().WorkAreas();
        if (!areas.empty()) {
            bounds.x = areas[0].x + (areas[0].width - Width) * 0.5f;
            bounds.y = areas[0].y + (areas[0].height - Height) * 0.5f;
        }
    } else if (StartPosition == 2) {
        TB_Vector2 pointer = TB_GetPlatform().CursorPosition();
        bounds.x = pointer.x - Width / 3;
        bounds.y = pointer.y - Height / 3;
        TB_Rectangle<int> area;
        if (TB_FindWorkArea(pointer, area)) {
            bounds = TB_ClampToArea(bounds, area);
        }
    }
    X = bounds.x;
    Y = bounds.y;
}

void TB_Frame::Create() {
    if ((Flags & TB_FRAME_SIZE_TO_CONTENT) && Children.Count() > 0) {
        float left = 1e9f, top = 1e9f, right = 0, bottom = 0;
        for (TB_NativeWidget* child : Children) {
            left = std::min(left, child->X);
            top = std::min(top, child->Y);
            right = std::max(right, child->X + child->Width);
            bottom = std::max(bottom, child->Y + child->Height);
        }
        Width = right + left;
        Height = bottom + top;
    }
    PlaceAtStart();
    CreateNativeWindow((Flags & TB_FRAME_POPUP) ? TB_Platform::WindowKind::Popup
                                                : TB_Platform::WindowKind::Frame);
    if (!Window) {
        IsCreated = false;
        return;
    }
    SetFlags(Flags);
    CreateChildren();
    SetEnable(Enable);
    IsCreated = true;
    TB_GetPlatform().ShowWindow(Window, ShowState);
    TB_GetPlatform().UpdateWindow(Window);
    OnShown();
}

void TB_Frame::SetFlags(tb_int flags) {
    Flags = flags;
}

void TB_Frame::SetShowState(tb_int showCommand) {
    ShowState = showCommand;
    if (Window) {
        TB_GetPlatform().ShowWindow(Window, showCommand);
    }
}

bool TB_Frame::WindowProc(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                          tb_int64 lParam, tb_int64& result) {
    if (message == TB_WM_CLOSE) {
        TB_ClosingEventArg arg;
        OnClosing(arg);
        if (arg.Cancel) {
            result = 0;
            return true;  // the window stays, and so does a disabled owner
        }
        auto* owner = dynamic_cast<TB_Frame*>(Parent);
        if (owner && owner->Window) {
            TB_GetPlatform().EnableWindow(owner->Window, true);
            TB_GetPlatform().SetForegroundWindow(owner->Window);
        }
        return false;
    }
    return TB_NativeContainer::WindowProc(window, message, wParam, lParam, result);
}

void TB_Frame::ShowPopup(TB_NativeWidget* popup, TB_Widget* relativeTo, TB_Vector2 position,
                         tb_int align) {
    KeepActiveLook = true;
    if (Popup) {
        TB_NativeWidget* old = Popup;
        Popup = nullptr;
        old->Close();
        if (HasChild(old)) {
            RemoveChild(old);
            old->Release();  // the count the children list handed back
        }
        old->Release();  // the frame's own count
    }
    ActiveBeforePopup = TB_GetPlatform().GetActiveWindow();
    if (auto* container = dynamic_cast<TB_NativeContainer*>(popup)) {
        container->CreateChildren();
    }
    Popup = popup;
    TB_Vector2 screen = relativeTo ? relativeTo->ClientToScreen(position) : position;
    if (align == 1) {
        screen.x -= popup->GetWidth();
    }
    // Below the anchor when it fits, else above it (above the point, when the point is inside
    // the anchor); a menu too tall for either side covers its anchor rather than the screen's
    // edge, as it cannot scroll.
    float anchorTop = screen.y;
    if (relativeTo && position.y >= relativeTo->GetHeight()) {
        anchorTop = relativeTo->ClientToScreen(TB_Vector2{}).y;
    }
    TB_Rectangle<int> area = TB_WorkAreaAt(screen);
    TB_Vector2 size{popup->GetWidth(), popup->GetHeight()};
    TB_Rectangle<float> place = TB_PlacePopup(size, screen, anchorTop, area);
    if (place.height < size.y) {
        place = TB_ClampToArea(TB_Rectangle<float>{place.x, screen.y, size.x, size.y}, area);
    }
    popup->SetPosition(TB_Vector2{place.x, place.y});
    popup->AddRef();  // the frame's own count; the children list holds the other
    AddChild(popup);
}

void TB_Frame::ClosePopup() {
    if (!Popup) {
        return;
    }
    if (HasChild(Popup)) {
        RemoveChild(Popup);
        Popup->Release();  // the children list's count
    }
    Popup->Close();
    ActiveBeforePopup = nullptr;
    OnPopupClosed();
    KeepActiveLook = false;
}
