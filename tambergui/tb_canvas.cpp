#include "tb_canvas.h"

#include "tb_globalstyle.h"
#include "tb_gui.h"

TB_TextRenderWidget::TB_TextRenderWidget(float points)
    : Font(new TB_Font(points > 0 ? points : TB_GetGlobalStyle().FontSize)),
      TextColor(TB_GetGlobalStyle().ForeColor),
      DisabledTextColor(TB_GetGlobalStyle().DisabledTextColor) {}

TB_TextRenderWidget::~TB_TextRenderWidget() {
    if (Font) {
        Font->Release();
    }
}

TB_Vector2 TB_TextRenderWidget::MeasureText(const TB_String& text) {
    TB_Graphics* graphics = TB_GetMeasureGraphics();
    if (!graphics) {
        return TB_Vector2{0, 0};
    }
    TB_Font* before = graphics->Font;
    graphics->Font = FontFor(*graphics);
    TB_Vector2 size = graphics->MeasureString(text);
    graphics->Font = before;
    return size;
}
