#include "tc_longtextarea.h"

#include "tb_globalstyle.h"

TC_LongTextArea::~TC_LongTextArea() {
    if (Font) {
        Font->Release();
    }
}

void TC_LongTextArea::Create() {
    if (Window) {
        TB_NativeWidget::Create();
        return;
    }
    CreateNativeWindow(TB_Platform::WindowKind::Child);
    if (!Window) {
        return;
    }
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    if (!Font) {
        Font = new TB_Font(style.FontSize);
    }
    if (!TB_GetPlatform().CreateTextView(Window, Text, Font, style.StaticBackground,
                                         style.ReadOnlyTextForeColor)) {
        // A window without its view would show an empty box and swallow the pointer.
        TB_GetPlatform().DestroyWindow(Window, false);
        Window = nullptr;
        return;
    }
    SetEnable(Enable);
    IsCreated = true;
    TB_GetPlatform().ShowWindow(Window, Visible ? 1 : 0);
    TB_GetPlatform().UpdateWindow(Window);
}

void TC_LongTextArea::ApplyText() {
    if (Window) {
        TB_GetPlatform().SetTextViewText(Window, Text);
    }
}
