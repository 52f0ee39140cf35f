#include "lv_frame.h"

#include "tb_error.h"
#include "tb_globalstyle.h"

LV_Frame::LV_Frame() {
    Text = u"ルモヴォクスアプリ";
    X = 0;
    Y = 0;
    Width = 1280;
    Height = 1024;
    BackgroundColor = TB_GetGlobalStyle().WidgetBackground;
    FillBackground = true;
    Shown.Add([](TB_EventArg&) { TB_DebugPrint(u"Main window shown"); });
}
