// A small window of controls for tests in a real X session: a button that counts its clicks
// into a label, a toggle button, a check box and a text box that prints its text. With
// LUMOVOX_UI_DUMP set, SIGUSR1 writes the window tree; SIGTERM closes the window.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "lv_signals.h"
#include "tb_button.h"
#include "tb_checkbox.h"
#include "tb_error.h"
#include "tb_framework.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_menupanel.h"
#include "tb_messageloop.h"
#include "tb_popuppanel.h"
#include "tb_textbox.h"

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
        const char* title = std::getenv("LUMOVOX_CONTROLS_TITLE");
        frame->Text = TB_String(title ? title : "controls");
        float x = 40, y = 40;
        if (const char* at = std::getenv("LUMOVOX_CONTROLS_POSITION")) {
            std::sscanf(at, "%f,%f", &x, &y);
        }
        frame->SetBounds(x, y, 420, 190);
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
        // A menu, opened below its button.
        auto items = TB_Ref<TB_MenuItemList>::Adopt(new TB_MenuItemList());
        auto play = TB_Ref<TB_Action>::Adopt(new TB_Action(
            u"play", u"Play", [](TB_EventArg&) { TB_DebugPrint(u"executed Play"); }, u"F6"));
        items->Add(new TB_MenuButton(play.Get()));
        auto* sizes = new TB_MenuSubMenuItem(u"Size");
        for (const char16_t* size : {u"100%", u"150%"}) {
            auto* item = new TB_MenuButton(TB_String(size));
            item->Clicked.Add([size](TB_EventArg&) {
                TB_DebugPrint(u"executed %s", TB_String(size).ToStdString().c_str());
            });
            sizes->Add(item);
        }
        items->Add(sizes);
        items->Add(new TB_MenuSeparator());
        auto* disabled = new TB_MenuButton(TB_String(u"Disabled"));
        disabled->Enabled = false;
        items->Add(disabled);
        auto* menuButton = new TB_Button(u"Menu");
        menuButton->Id = u"menuButton";
        menuButton->SetBounds(220, 20, 80, 28);
        TB_Frame* owner = frame.Get();
        menuButton->Click.Add([owner, menuButton, items](TB_MouseEventArg&) {
            auto* panel = new TB_MenuPanel(items.Get());
            panel->Id = u"menu";
            owner->ShowPopup(panel, menuButton, TB_Vector2{0, menuButton->Height}, 0);
            TB_DebugPrint(u"menu shown");
        });
        frame->PopupClosed.Add([](TB_EventArg&) { TB_DebugPrint(u"menu closed"); });

        // A modal popup with a button that closes it.
        auto* modalButton = new TB_Button(u"Popup");
        modalButton->Id = u"modalButton";
        modalButton->SetBounds(310, 20, 80, 28);
        modalButton->Click.Add([modalButton](TB_MouseEventArg&) {
            auto popup = TB_Ref<TB_PopupPanel>::Adopt(new TB_PopupPanel());
            popup->Id = u"modal";
            popup->AutoSize = true;
            auto* choose = new TB_Button(u"Choose");
            choose->Id = u"choose";
            choose->SetBounds(8, 8, 100, 28);
            TB_PopupPanel* raw = popup.Get();
            choose->Click.Add([raw](TB_MouseEventArg&) { raw->Close(); });
            popup->AddChild(choose);
            popup->Shown.Add([](TB_EventArg&) { TB_DebugPrint(u"modal shown"); });
            popup->ShowModal(modalButton, TB_Vector2{0, modalButton->Height});
            TB_DebugPrint(u"modal returned");
        });
        // A drag source: the files named in LUMOVOX_DRAG_FILES (one per line) and a clip
        // description, dragged out when the pointer moves 4 pixels with the button held.
        auto* source = new TB_Canvas();
        source->Id = u"dragSource";
        source->SetBounds(220, 100, 80, 40);
        source->BackgroundColor = TB_GlobalStyle::Hex(0x6080A0);
        auto pressAt = std::make_shared<TB_Vector2>(TB_Vector2{-1, -1});
        source->MouseDown.Add([pressAt](TB_MouseEventArg& arg) { *pressAt = {arg.X, arg.Y}; });
        source->MouseUp.Add([pressAt](TB_MouseEventArg&) { *pressAt = {-1, -1}; });
        source->MouseMove.Add([pressAt, source](TB_MouseEventArg& arg) {
            if (pressAt->x < 0 ||
                (std::abs(arg.X - pressAt->x) < 4 && std::abs(arg.Y - pressAt->y) < 4)) {
                return;
            }
            *pressAt = {-1, -1};
            TB_List<TB_Uri*> uris;
            const char* files = std::getenv("LUMOVOX_DRAG_FILES");
            std::string list = files ? files : "";
            size_t start = 0;
            while (start < list.size()) {
                size_t end = list.find('\n', start);
                end = end == std::string::npos ? list.size() : end;
                std::string path = list.substr(start, end - start);
                uris.Add(new TB_Uri(TB_String(path.c_str(), static_cast<tb_int64>(path.size()))));
                start = end + 1;
            }
            TB_List<TB_DropData*> items;
            auto* fileData = new TB_DropData();
            fileData->SetFiles(uris);
            items.Add(fileData);
            auto* voices = new TB_DropData();
            voices->Format = TB_RegisterClipboardFormat("TC Voice Lib Data");
            std::string json = "{\"voices\": []}";
            voices->Data.assign(json.begin(), json.end());
            items.Add(voices);
            tb_uint effect = 0;
            source->StartDrag(&items, 1, &effect);
            TB_ReleaseAll(items);
            TB_ReleaseAll(uris);
            TB_DebugPrint(u"drag effect %d", static_cast<tb_int>(effect));
        });
        // Copies a Japanese text to the clipboard.
        auto* copy = new TB_Button(u"Copy");
        copy->Id = u"copyButton";
        copy->SetBounds(320, 100, 80, 28);
        copy->Text = u"Copy";
        copy->Click.Add([copy](TB_MouseEventArg&) {
            auto holder =
                TB_Ref<TB_Lable>::Adopt(new TB_Lable(u"声ライブラリ「ひかり」#1 100%", 0));
            TB_CopyTextToClipboard(holder.Get());
            TB_DebugPrint(u"copied");
        });
        auto* textBox = new TB_TextBox();
        textBox->Id = u"textBox";
        textBox->SetBounds(20, 150, 380, 24);
        textBox->TextChanged.Add([textBox](TB_EventArg&) {
            TB_DebugPrint(u"text: %s", textBox->Text.ToStdString().c_str());
        });
        frame->AddChild(textBox);
        frame->AddChild(source);
        frame->AddChild(copy);
        frame->AddChild(menuButton);
        frame->AddChild(modalButton);
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
