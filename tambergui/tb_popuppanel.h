#pragma once

#include "tb_nativecontainer.h"

// A popup container (drop-down lists) with a 1 px border: sized to its children when asked,
// kept inside the work area, closed when it loses activation or the pointer is pressed
// outside it, and runnable modally.
class TB_PopupPanel : public TB_NativeContainer {
public:
    TB_PopupPanel();

    void Create() override;
    void DescribeAccessible(TB_AccessibleInfo& info) override {
        TB_NativeContainer::DescribeAccessible(info);
        info.Role = TB_AccessibleRole::Popup;
    }
    bool EndsShortcutWalk() const override { return true; }
    // Shows the popup at the anchor's point (client coordinates) and returns when it has
    // closed. It opens above the anchor instead when there is more room there, and no taller
    // than that room. Without a frame above the anchor it logs an error and shows nothing.
    void ShowModal(TB_Widget* anchor, TB_Vector2 point);
    // Makes the popup at most maxHeight tall (and may widen it for a scroll bar); by default
    // it is cut.
    virtual void FitInto(float maxHeight);

    bool AutoSize = false;
    bool CloseOnDeactivate = true;

private:
    void OnDeactivatedHandler(TB_EventArg&);
    void OnKeyDownHandler(TB_KeyEventArg& arg);
};
