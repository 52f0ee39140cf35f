#pragma once

#include <vector>

#include "tb_error.h"
#include "tb_messagebox.h"
#include "tb_widget.h"

// A message a thread without windows met, to be shown later on the GUI thread.
struct TC_PendingMessage {
    TB_String Text;
    TB_String Title;
    tb_uint Style = 0;
};

// While set on a thread, its messages are appended to into instead of shown (answered OK);
// null shows them again.
void TC_CollectMessages(std::vector<TC_PendingMessage>* into);

// Shows a modal message. The owner is the widget's window; without one, on the GUI thread,
// the window whose message loop runs. An empty title becomes "Mirelle Studio". Returns 1
// (OK), 6 (Yes) or 7 (No).
tb_int TC_ShowMessage(TB_Widget* owner, const TB_String& text, const TB_String& title,
                      tb_uint style);

// Records a level 256 error and shows it ("Code : %d" and the message, or the registered
// description first) with the title "Mirelle Studio". The record stays owned by the log.
TB_Error* TC_ReportError(TB_Widget* owner, tb_int code, const TB_String& message,
                         const char* source, tb_int line);
