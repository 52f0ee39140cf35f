#pragma once

#include "tb_frame.h"

// Creates the frame's window and runs the event loop until that window is destroyed.
// Loops nest (a modal frame runs its own while its owner's waits).
void TB_RunMessageLoop(TB_Frame* frame);
// The frame whose loop runs on the GUI thread, or null.
TB_Frame* TB_GetMainFrame();
// Hands an action to the GUI thread: its Executed fires there and the action is then
// released. Takes over the caller's count; false when nothing could take it. The widget form
// is for the GUI thread (or a caller that knows the widget lives); other threads keep the
// widget's post target and use the second form, which is safe at any moment.
bool TB_PostAction(TB_NativeWidget* window, TB_Action* action);
bool TB_PostAction(TB_PostTarget* target, TB_Action* action);

// Runs before a key-down reaches the focused widget, once per key press: when the widget
// does not take text (or Control is held), the action lists of the widget and its ancestors
// up to the first frame or popup panel, then the global list, are offered the key. True when
// an action ran; the key is then swallowed.
bool TB_DispatchShortcut(TB_NativeWidget* widget, tb_int virtualKey, bool shift, bool alt,
                         bool control);
