// A small window of controls for tests in a real X session: a button that counts its clicks
// into a label, a toggle button and a check box. With LUMOVOX_UI_DUMP set, SIGUSR1 writes the
// window tree; SIGTERM closes the window.
#include <cstdio>

#include "lv_signals.h"
#include "tb_button.h"
#include "tb_checkbox.h"
#include "tb_error.h"
#include "tb_framework.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_messageloop.h"

int main() {
    LV_Signals::BlockSignals();
    LV_Signals signals;
    TB_AppDescriptor descriptor;
    descriptor.Name = u"LumoVoxControls";
    TB_FrameworkHooks hooks;
    hooks.GraphicsStartup = TB_GraphicsStartup;
    hooks.GraphicsShutdown = TB_GraphicsShutdown;
    TB_FrameworkStartup(descriptor, hooks);
    TB_GuiStartup(TB_String(), nullptr);
    int status = 1;
    if (TB_GraphicsStarted()) {
        auto frame = TB_Ref<TB_Frame>::Adopt(new TB_Frame());
        frame->Text = u"controls";
        frame->SetBounds(40, 40, 420, 160);
        frame->BackgroundColor = TB_GlobalStyle::Hex(0x404040);
        frame->FillBackground = true;

        auto* counter = new TB_Lable(u"clicks: 0", 0);
        counter->Id = u"counter";
        counter->SetPosition(20, 110);
        int clicks = 0;
        auto* button = new TB_Button(u"Count");
        button->Id = u"button";
        button->SetBounds(20, 20, 100, 28);
        button->Click.Add([&clicks, counter](TB_MouseEventArg&) {
            TB_String text;
            text.Format(u"clicks: %d", ++clicks);
            counter->SetText(text);
            TB_DebugPrint(u"%s", counter->Text.ToStdString().c_str());
        });
        auto* toggle = new TB_ToggleButton(u"★");
        toggle->Id = u"toggle";
        toggle->SetBounds(140, 20, 60, 28);
        auto* check = new TB_CheckBox(u"お気に入り のみ");
        check->Id = u"check";
        check->SetPosition(20, 70);
        toggle->SelectedChanged.Add(
            [toggle](TB_EventArg&) { TB_DebugPrint(u"toggle: %d", toggle->Selected ? 1 : 0); });
        check->CheckedChanged.Add(
            [check](TB_EventArg&) { TB_DebugPrint(u"check: %d", check->Checked ? 1 : 0); });
        frame->AddChild(button);
        frame->AddChild(toggle);
        frame->AddChild(check);
        frame->AddChild(counter);
        frame->Shown.Add([](TB_EventArg&) { TB_DebugPrint(u"Window shown"); });
        signals.Watch(frame.Get());
        TB_RunMessageLoop(frame.Get());
        signals.Watch(nullptr);
        status = 0;
    }
    TB_GuiShutdown();
    TB_FrameworkShutdown();
    return status;
}
