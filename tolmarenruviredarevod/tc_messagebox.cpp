#include "tc_messagebox.h"

#include "tb_gui.h"
#include "tb_mainframe.h"

namespace {

constexpr const tb_char* kDefaultTitle = u"Mirelle Studio";

thread_local std::vector<TC_PendingMessage>* t_collected = nullptr;

}  // namespace

void TC_CollectMessages(std::vector<TC_PendingMessage>* into) {
    t_collected = into;
}

tb_int TC_ShowMessage(TB_Widget* owner, const TB_String& text, const TB_String& title,
                      tb_uint style) {
    if (t_collected) {
        t_collected->push_back({text, title, style});
        return 1;
    }
    TB_WindowHandle window = nullptr;
    if (owner) {
        window = owner->GetWindowHandle();
    } else if (TB_IsGuiThread()) {
        window = TB_GetMainFrameWindow();
    }
    TB_String shownTitle = title.IsEmpty() ? TB_String(kDefaultTitle) : title;
    return TB_ShowPlatformMessageBox(window, text, shownTitle, style);
}

TB_Error* TC_ReportError(TB_Widget* owner, tb_int code, const TB_String& message,
                         const char* source, tb_int line) {
    TB_Error* record = TB_Error::Report(256, code, message.Chars(), source, line);
    TB_String text;
    if (const TB_String* description = TB_Error::FindDescription(256, code)) {
        text.Format(u"%T\r\n%T\r\nCode : %d", description, &message, code);
    } else {
        text.Format(u"Code : %d\r\n%T", code, &message);
    }
    TC_ShowMessage(owner, text, TB_String(kDefaultTitle), TB_MB_OK | TB_MB_ICONERROR);
    return record;
}
