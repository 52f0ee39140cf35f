#pragma once

#include "tb_frame.h"

// Creates the frame's window and runs the event loop until that window is destroyed.
// Loops nest (a modal frame runs its own while its owner's waits).
void TB_RunMessageLoop(TB_Frame* frame);
// The frame whose loop runs on the GUI thread, or null.
TB_Frame* TB_GetMainFrame();
// Hands an action to the GUI thread from any thread: its Executed fires there and the
// action is then released. Takes over the caller's count; false when nothing could take it.
bool TB_PostAction(TB_NativeWidget* window, TB_Action* action);
