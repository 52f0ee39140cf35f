#pragma once

#include "tb_nativewidget.h"

// A multi-line, read-only, scrolling text (the licence texts): the platform's own text view,
// which wraps at the widget's width and lets the user select and copy with its own keys. It
// raises no toolkit pointer, key or focus events. SetText before Create is kept and shown at
// creation; line breaks are CR LF pairs.
class TC_LongTextArea : public TB_NativeWidget {
public:
    ~TC_LongTextArea() override;

    // Makes the window under the parent's (when the parent is a native widget) and fills it
    // with the view. Without a window the widget stays uncreated.
    void Create() override;
    void ApplyText() override;

    TB_Font* Font = nullptr;  // owned; made with the window
};
