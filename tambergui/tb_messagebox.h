#pragma once

#include <functional>
#include <vector>

#include "tb_platform.h"
#include "tb_string.h"

// Buttons and icons, combined with a bitwise or.
enum : tb_uint {
    TB_MB_OK = 0,
    TB_MB_YESNO = 4,
    TB_MB_ICONERROR = 16,
    TB_MB_ICONQUESTION = 32,
    TB_MB_ICONWARNING = 48,
    // The second button (No) is the default: Enter never confirms a destructive question.
    TB_MB_DEFBUTTON2 = 0x100,
};

// The pressed button.
enum : tb_int { TB_IDOK = 1, TB_IDYES = 6, TB_IDNO = 7 };

using TB_MessageBoxHook = std::function<tb_int(TB_WindowHandle owner, const TB_String& text,
                                               const TB_String& title, tb_uint style)>;

// Shows a modal message box owned by the window (or none) and returns the pressed button.
// Without a running graphics platform the message goes to standard error and the answer is
// OK (or No for a question), so tools and headless runs never block.
tb_int TB_ShowPlatformMessageBox(TB_WindowHandle owner, const TB_String& text,
                                 const TB_String& title, tb_uint style);

// Answers every message box instead of the platform (tests, command-line tools); an empty
// hook restores the platform's dialog.
void TB_SetMessageBoxHook(TB_MessageBoxHook hook);

// The platform message boxes open now, oldest first (title, text): a UI dump reports them, so
// a test or a tool can tell a question still waiting from one answered.
struct TB_OpenMessageBox {
    TB_String Title;
    TB_String Text;
    std::vector<TB_String> Buttons;  // as shown, left to right
};
std::vector<TB_OpenMessageBox> TB_OpenMessageBoxes();
