#include "tb_popuppanel.h"

#include <algorithm>
#include <cmath>

#include "tb_error.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_message.h"
#include "tb_messageloop.h"
#include "tb_screen.h"

TB_PopupPanel::TB_PopupPanel() {
    BackgroundColor = TB_GetGlobalStyle().MenuBackground;
    BorderColor = TB_GetGlobalStyle().MenuBorderColor;
    FillBackground = true;
    Deactivated.Add(this, &TB_PopupPanel::OnDeactivatedHandler);
    KeyDown.Add(this, &TB_PopupPanel::OnKeyDownHandler);
}

void TB_PopupPanel::OnDeactivatedHandler(TB_EventArg&) {
    if (CloseOnDeactivate && Window) {
        TB_WindowHandle window = Window;
        TB_PostAction(this, new TB_Action([this, window](TB_EventArg&) {
                          if (Window == window) {
                              TB_GetPlatform().RequestClose(window);
                          }
                      }));
    }
}

// Escape closes the popup, as people expect of every drop-down.
void TB_PopupPanel::OnKeyDownHandler(TB_KeyEventArg& arg) {
    if (arg.KeyCode == TB_VK_ESCAPE && Window) {
        arg.Handled = true;
        TB_GetPlatform().RequestClose(Window);
    }
}

void TB_PopupPanel::Create() {
    if (Window) {
        return;
    }
    if (AutoSize && Children.Count() > 0) {
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
    TB_Rectangle<int> area = TB_WorkAreaAt(TB_Vector2{X, Y});
    float areaRight = static_cast<float>(area.x + area.width);
    float areaBottom = static_cast<float>(area.y + area.height);
    if (X + Width > areaRight) {
        X = areaRight - Width;
    }
    if (Y + Height > areaBottom) {
        Y = areaBottom - Height;
    }
    X = std::max(X, static_cast<float>(area.x));
    Y = std::max(Y, static_cast<float>(area.y));
    CreateNativeWindow(TB_Platform::WindowKind::Popup);
    if (!Window) {
        return;
    }
    SetEnable(Enable);
    IsCreated = true;
    CreateChildren();
    TB_GetPlatform().ShowWindow(Window, 1);
    TB_GetPlatform().UpdateWindow(Window);
    OnShown();
}

void TB_PopupPanel::FitInto(float maxHeight) {
    SetSize(Width, std::floor(std::min(Height, maxHeight)));
}

void TB_PopupPanel::ShowModal(TB_Widget* anchor, TB_Vector2 point) {
    TB_Frame* frame = nullptr;
    for (TB_Widget* w = anchor; w && !frame; w = w->Parent) {
        frame = dynamic_cast<TB_Frame*>(w);
    }
    if (!frame) {
        TB_Error::Report(1, 3, u"", "tambergui/tb_popup_panel", __LINE__);
        return;
    }
    TB_Vector2 at = anchor->ClientToScreen(point);
    // Below the whole anchor, flipping goes above all of it; at a point inside it, above the
    // point.
    float anchorTop =
        point.y >= anchor->GetHeight() ? anchor->ClientToScreen(TB_Vector2{}).y : at.y;
    TB_Rectangle<int> area = TB_WorkAreaAt(at);
    TB_Rectangle<float> place = TB_PlacePopup(TB_Vector2{Width, Height}, at, anchorTop, area);
    if (place.height < Height) {
        FitInto(place.height);
        if (place.y < at.y) {
            place.y = anchorTop - Height;  // flipped: the bottom stays on the anchor
        }
        place = TB_ClampToArea(TB_Rectangle<float>{place.x, place.y, Width, Height}, area);
    }
    SetPosition(TB_Vector2{place.x, place.y});
    TB_Ref<TB_PopupPanel> keep(this);
    TB_Ref<TB_Frame> keepFrame(frame);
    frame->KeepActiveLook = true;
    Parent = frame;
    Create();
    // A nested loop until the window is gone: a press outside, Escape or a choice closes it.
    TB_GetPlatform().RunEventLoop([this] { return !IsCreated; });
    Parent = nullptr;
    frame->KeepActiveLook = false;
}
