#include "tb_folderdialog.h"

#include "tb_frame.h"

namespace {

TB_FolderDialogHook g_hook;

}  // namespace

void TB_SetFolderDialogHook(TB_FolderDialogHook hook) {
    g_hook = std::move(hook);
}

tb_int TB_FolderDialog::ShowDialog(TB_Frame* owner) {
    TB_String initial;
    if (!InitialFolder.GetUri().IsEmpty() && !InitialFolder.GetPath().IsEmpty()) {
        initial = InitialFolder.GetPath();
    }
    TB_String chosen;
    tb_int answer = g_hook ? g_hook(initial, Title, chosen)
                           : TB_ShowPlatformFolderDialog(owner ? owner->Window : nullptr, initial,
                                                         Title, chosen);
    if (answer != 1 || chosen.IsEmpty()) {
        return 0;
    }
    SelectedFolder = TB_Uri(chosen);
    return 1;
}
