#pragma once

#include <functional>

#include "tb_platform.h"
#include "tb_uri.h"

class TB_Frame;

// Lets the user pick a folder with the desktop's folder picker, starting at InitialFolder;
// only folders are offered and a path may be typed.
class TB_FolderDialog : public TB_Object {
public:
    // Modal on the GUI thread: 1 with SelectedFolder set when a folder was chosen; 0 on
    // cancel, SelectedFolder left as it was.
    virtual tb_int ShowDialog(TB_Frame* owner);

    TB_Uri InitialFolder;
    TB_Uri SelectedFolder;
    TB_String Title;
};

// Answers every folder dialog instead of the platform (tests, tools): receives the initial
// folder's operating-system path and returns 1 with the chosen path, or 0. An empty hook
// restores the platform's picker.
using TB_FolderDialogHook =
    std::function<tb_int(const TB_String& initialPath, const TB_String& title, TB_String& chosen)>;
void TB_SetFolderDialogHook(TB_FolderDialogHook hook);

// The platform's picker: 1 with the chosen path, 0 on cancel (or without a display).
tb_int TB_ShowPlatformFolderDialog(TB_WindowHandle owner, const TB_String& initialPath,
                                   const TB_String& title, TB_String& chosen);
