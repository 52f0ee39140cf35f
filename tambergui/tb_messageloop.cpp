#include "tb_messageloop.h"

#include "tb_action.h"
#include "tb_actionlist.h"
#include "tb_gui.h"
#include "tb_mainframe.h"

namespace {

TB_Frame* g_mainFrame = nullptr;

}  // namespace

TB_Frame* TB_GetMainFrame() {
    return g_mainFrame;
}

void TB_RunMessageLoop(TB_Frame* frame) {
    if (!frame) {
        return;
    }
    TB_Frame* previous = g_mainFrame;
    TB_WindowHandle previousWindow = TB_GetMainFrameWindow();
    bool guiThread = TB_IsGuiThread();
    if (guiThread) {
        g_mainFrame = frame;
    }
    TB_Ref<TB_Frame> keep(frame);
    frame->Create();
    if (guiThread) {
        TB_SetMainFrameWindow(frame->Window);
    }
    if (frame->IsCreated) {
        TB_GetPlatform().SetForegroundWindow(frame->Window);
        TB_GetPlatform().RunEventLoop([frame] { return !frame->IsCreated; });
    }
    if (guiThread) {
        g_mainFrame = previous;
        TB_SetMainFrameWindow(previousWindow);
    }
}

bool TB_PostAction(TB_NativeWidget* window, TB_Action* action) {
    if (!window) {
        if (action) {
            action->Release();
        }
        return false;
    }
    return window->GetPostTarget()->Post(action);
}

bool TB_PostAction(TB_PostTarget* target, TB_Action* action) {
    if (!target) {
        if (action) {
            action->Release();
        }
        return false;
    }
    return target->Post(action);
}

bool TB_DispatchShortcut(TB_NativeWidget* widget, tb_int virtualKey, bool shift, bool alt,
                         bool control) {
    if (!widget) {
        return false;
    }
    // Text fields keep their keys, but not the function keys, which mean the same everywhere.
    bool functionKey = virtualKey >= TB_VK_F1 && virtualKey <= TB_VK_F24;
    if (widget->AcceptsTextInput && !control && !functionKey) {
        return false;
    }
    bool pressKey = virtualKey == TB_VK_SPACE || virtualKey == TB_VK_RETURN;
    if (widget->PressedByKeys && pressKey && !control && !alt && !shift) {
        return false;
    }
    TB_ShortCutKeyInfo key{shift, alt, control, virtualKey};
    // An action may close the window it was found in; the chain is not touched after one ran.
    TB_Ref<TB_NativeWidget> keep(widget);
    for (TB_Widget* w = widget; w; w = w->Parent) {
        if (w->Actions && w->Actions->TryShortcut(key)) {
            return true;
        }
        if (w->EndsShortcutWalk()) {
            break;
        }
    }
    TB_ActionList* global = TB_GetGlobalActions();
    return global && global->TryShortcut(key);
}
