#pragma once

#include "tb_platform.h"

// The window of the frame whose message loop runs on the GUI thread; owner of message
// boxes that name none. Null while no loop runs.
TB_WindowHandle TB_GetMainFrameWindow();
void TB_SetMainFrameWindow(TB_WindowHandle window);
