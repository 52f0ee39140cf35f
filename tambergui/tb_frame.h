#pragma once

#include "tb_canvaswidget.h"
#include "tb_nativecontainer.h"

// Frame flags.
enum : tb_int {
    TB_FRAME_FIXED_SIZE = 1,
    TB_FRAME_MINIMIZE_BOX = 2,
    TB_FRAME_MAXIMIZE_BOX = 4,
    TB_FRAME_SYSTEM_MENU = 8,
    TB_FRAME_SIZE_TO_CONTENT = 16,
    TB_FRAME_POPUP = 32,
    TB_FRAME_TOPMOST = 64,
    TB_FRAME_TOOL_WINDOW = 128,
};

// A top-level window: start position, size to content, a content widget kept over the
// client area, objects it keeps alive, popups and modal support.
class TB_Frame : public TB_NativeContainer, public TB_ICanvasWidget {
public:
    TB_Frame();
    ~TB_Frame() override;

    void Create() override;
    void DescribeAccessible(TB_AccessibleInfo& info) override {
        TB_NativeContainer::DescribeAccessible(info);
        info.Role = IsModal ? TB_AccessibleRole::Dialog : TB_AccessibleRole::Frame;
    }
    bool EndsShortcutWalk() const override { return true; }
    bool WindowProc(TB_WindowHandle window, tb_uint message, tb_uint64 wParam, tb_int64 lParam,
                    tb_int64& result) override;
    virtual void OnPopupClosed() {
        TB_EventArg arg;
        OnPopupClosed(arg);
    }
    virtual void OnPopupClosed(TB_EventArg& arg) { PopupClosed.Fire(arg); }

    void SetFlags(tb_int flags);
    void SetShowState(tb_int showCommand);
    // Shows a popup (taking over the caller's count) at a point of relativeTo's client area
    // (or of the screen); align 1 opens it to the left of the point.
    void ShowPopup(TB_NativeWidget* popup, TB_Widget* relativeTo, TB_Vector2 position,
                   tb_int align);
    void ClosePopup();

    TB_NativeWidget* Popup = nullptr;  // a menu panel or a popup container
    TB_Widget* Content = nullptr;
    tb_int StartPosition = 0;  // 0 as placed, 1 centred on the owner, 2 near the pointer
    tb_int Flags = TB_FRAME_MINIMIZE_BOX | TB_FRAME_MAXIMIZE_BOX | TB_FRAME_SYSTEM_MENU;
    TB_List<TB_Object*> KeptObjects;
    TB_Event<TB_EventArg> PopupClosed;
    TB_WindowHandle ActiveBeforePopup = nullptr;

private:
    void PlaceAtStart();
};
