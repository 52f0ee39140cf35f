#include "lv_rightsdialog.h"

#include <utility>

#include "lv_licenses.h"
#include "lv_version.h"
#include "tb_globalstyle.h"
#include "tb_messageloop.h"
#include "tc_app.h"

namespace {

LV_RightsDialogHook g_hook;

}  // namespace

void LV_SetRightsDialogHook(LV_RightsDialogHook hook) {
    g_hook = std::move(hook);
}

float LV_SettingsGuiScale() {
    TC_App* app = TC_App::Instance();
    tb_int percent = app ? app->Settings().GetInt(u"GuiScale") : 100;
    return static_cast<float>(percent > 0 ? percent : 100) / 100.0f;
}

LV_RightsDialog::LV_RightsDialog() {
    float s = LV_SettingsGuiScale();
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    // A text that is not UTF-8 still shows: the conversion marks what it cannot decode.
    TB_String licences(LV_LicenseText(), static_cast<tb_int64>(LV_LicenseTextSize()));
    Text = u"権利情報";
    SetSize(500 * s, 600 * s);
    StartPosition = 1;
    SetFlags(0);
    BackgroundColor = style.WidgetBackground;
    FillBackground = true;

    TitleLabel = new TB_Lable();
    TitleLabel->Id = u"lTitle";
    TitleFont = new TB_Font(14 * s);
    TitleLabel->Font->Release();
    TitleLabel->Font = TitleFont;
    TitleFont->AddRef();
    TitleLabel->AutoSizeToText();
    TB_String title;
    title.Format(u"%S Ver. %s", LV_kAppTitle, LV_kVersion);
    TitleLabel->SetText(title);
    AddChild(TitleLabel);

    MakerLabel = new TB_Lable();
    MakerLabel->Id = u"lCopyrights";
    MakerLabel->SetText(u"Copyright (c) 2026 The LumoVox developers");
    AddChild(MakerLabel);

    OpenSourceLabel = new TB_Lable();
    OpenSourceLabel->Id = u"lOpenSource";
    OpenSourceLabel->SetText(u"以下のオープンソースソフトウェアを含んでいます");
    AddChild(OpenSourceLabel);

    LicenceArea = new TC_LongTextArea();
    LicenceArea->SetText(licences);
    AddChild(LicenceArea);

    OkButton = new TB_Button(u"OK");
    OkButton->Id = u"okButton";
    // Posted, so the button's own click handling finishes before its window goes.
    OkButton->Click.Add([this](TB_MouseEventArg&) {
        TB_PostAction(this, new TB_Action([this](TB_EventArg&) {
                          if (Window) {
                              TB_GetPlatform().RequestClose(Window);
                          }
                      }));
    });
    AddChild(OkButton);
    // Keys no child took climb to the dialog: Escape and Enter close it, as OK does.
    KeyDown.Add([this](TB_KeyEventArg& arg) {
        if ((arg.KeyCode == TB_VK_ESCAPE || arg.KeyCode == TB_VK_RETURN) && !arg.Control &&
            !arg.Alt) {
            arg.Handled = true;
            OkButton->PerformClick();
        }
    });

    Resized.Add([this](TB_EventArg&) { Layout(); });
}

LV_RightsDialog::~LV_RightsDialog() {
    TitleFont->Release();
}

void LV_RightsDialog::Layout() {
    float t = LV_SettingsGuiScale();
    float e = 10 * t, f = 2 * e;
    TB_Vector2 client = GetClientSize();
    OkButton->SetPosition(client.x - OkButton->Width - f, client.y - OkButton->Height - f);
    TitleLabel->SetPosition(f, f);
    MakerLabel->SetPosition(f, TitleLabel->GetBottom() + e);
    OpenSourceLabel->SetPosition(f, MakerLabel->GetBottom() + f);
    float top = OpenSourceLabel->GetBottom() + e;
    LicenceArea->SetBounds(f, top, client.x - 4 * e, OkButton->Y - f - top);
}

void LV_RightsDialog::ShowModal(TB_Frame* owner) {
    auto dialog = TB_Ref<LV_RightsDialog>::Adopt(new LV_RightsDialog());
    dialog->Parent = owner;
    dialog->IsModal = true;
    if (g_hook) {
        LV_RightsDialog* shown = dialog.Get();
        dialog->Shown.Add([shown](TB_EventArg&) {
            if (g_hook) {
                g_hook(*shown);
            }
        });
    }
    if (owner) {
        owner->ModalChild = dialog.Get();
        owner->SetEnable(false);
    }
    TB_RunMessageLoop(dialog.Get());
    if (owner) {
        // The dialog's close enabled the window already; this keeps the stored state in step.
        owner->Enable = true;
        owner->SetEnable(true);
        owner->ModalChild = nullptr;
        if (owner->Window) {
            TB_GetPlatform().SetForegroundWindow(owner->Window);
        }
    }
    dialog->IsModal = false;
    dialog->Parent = nullptr;
}
