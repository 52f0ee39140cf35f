#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "tb_button.h"
#include "tb_checkbox.h"
#include "tb_frame.h"
#include "tc_longtextarea.h"

// The modal window that names the program, its version and maker, and shows the licence
// texts of the program and of the libraries it contains (LV_LicenseText). Sized at the GUI
// scale of the settings; closed with its OK button, Escape or Enter.
class LV_RightsDialog : public TB_Frame {
public:
    LV_RightsDialog();
    ~LV_RightsDialog() override;

    // Runs a dialog modal over the owner (which may be null) until it closes: the owner is
    // disabled meanwhile and enabled and brought to the front afterwards.
    static void ShowModal(TB_Frame* owner);

    TB_Lable* TitleLabel;
    TB_Lable* MakerLabel;
    TB_Lable* OpenSourceLabel;
    TC_LongTextArea* LicenceArea;
    TB_Button* OkButton;
    TB_Font* TitleFont;  // one count; the title label holds another

private:
    void Layout();
};

// Called with every dialog ShowModal runs, once its window is shown, inside its loop (tests,
// tools): it may inspect the dialog and answer it, e.g. with OkButton->PerformClick(). An
// empty hook leaves dialogs to the user.
using LV_RightsDialogHook = std::function<void(LV_RightsDialog& dialog)>;
void LV_SetRightsDialogHook(LV_RightsDialogHook hook);

// The licence text as the dialog shows it: hard-wrapped paragraphs joined into one line each
// (the view wraps them at its width), so they are not wrapped twice; lists, tables, field
// lines and short lines keep their breaks. Section headings "[name]" with their "License:"
// line become one line "name — licences" under a rule.
std::string LV_LicenceParagraphs(std::string_view text);

// The GUI scale of the settings as a factor (GuiScale / 100, divided by the window system's
// own scale); 1 without an application.
float LV_SettingsGuiScale();
