#pragma once

#include "tb_string.h"

// The desktop clipboard of the Qt platform, text only: the clipboard proper, never the X11
// primary selection (the text the user last selected).
void TB_QtSetClipboardText(const TB_String& text);
TB_String TB_QtClipboardText();
