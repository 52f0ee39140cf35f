#include "tb_mainframe.h"

namespace {

TB_WindowHandle g_mainFrameWindow = nullptr;

}  // namespace

TB_WindowHandle TB_GetMainFrameWindow() {
    return g_mainFrameWindow;
}

void TB_SetMainFrameWindow(TB_WindowHandle window) {
    g_mainFrameWindow = window;
}
