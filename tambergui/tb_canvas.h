#pragma once

#include "tb_canvaswidget.h"
#include "tb_nativecontainer.h"

// The paintable leaf on which the drawn controls stand: double buffered, and filled with its
// background colour while nobody paints it.
class TB_Canvas : public TB_NativeWidgetRectangle, public TB_ICanvasWidget {
public:
    TB_Canvas() = default;
};

// A canvas with a font and text colours. A size of 0 or less gives the style's text size.
class TB_TextRenderWidget : public TB_Canvas {
public:
    explicit TB_TextRenderWidget(float points = 0);
    ~TB_TextRenderWidget() override;

    // Sizes the control to its text (when AutoSize says so).
    virtual void AutoSizeToText() = 0;

    TB_Font* Font;  // owned
    TB_Color TextColor;
    TB_Color DisabledTextColor;
    bool AutoSize = false;

protected:
    // The text's size in Font (or the default font), measured with the toolkit's graphics.
    TB_Vector2 MeasureText(const TB_String& text);
    // Font when there is one, else the graphics' default font.
    TB_Font* FontFor(TB_Graphics& graphics) { return Font ? Font : graphics.DefaultFont; }
};
