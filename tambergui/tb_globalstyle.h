#pragma once

#include "tb_color.h"

// The toolkit's one global style record of colours and size metrics. The toolkit start-up
// fills it with the built-in values; a main window resets, scales and recolours it before
// it builds its widgets.
struct TB_GlobalStyle {
    // Default background of every widget: dark grey (64/255).
    TB_Color WidgetBackground{64 / 255.0f, 64 / 255.0f, 64 / 255.0f, 1};

    // Resets the record to the toolkit's built-in values.
    void ResetToBuiltIn() { *this = TB_GlobalStyle(); }
};

TB_GlobalStyle& TB_GetGlobalStyle();
