#pragma once

#include "tb_color.h"

// The toolkit's one global style record of colours and size metrics. The toolkit start-up
// fills it with the built-in values below; a main window resets, scales and recolours it
// before it builds its widgets, so a change shows only in widgets made afterwards.
struct TB_GlobalStyle {
    static TB_Color Hex(tb_uint rgb) {
        return TB_Color::FromBytes((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }

    // Colours, by the style key that sets them.
    TB_Color WidgetBackground = Hex(0x404040);                 // BG_COLOR
    TB_Color ReadOnlyTextBackground = Hex(0x282828);           // BG_COLOR
    TB_Color ContentsBackground = Hex(0x202020);               // BG_COLOR
    TB_Color MenuBackground = Hex(0x202020);                   // BG_COLOR
    TB_Color ForeColor = Hex(0xFFFFFF);                        // FORE_COLOR
    TB_Color TextBoxBackground = Hex(0x202020);                // TEXT_BOX_BG_COLOR
    TB_Color ButtonHoverFace = Hex(0x505050);                  // TEXT_BOX_BG_COLOR
    TB_Color MenuHighlight = Hex(0x404040);                    // TEXT_BOX_BG_COLOR
    TB_Color TextBoxForeColor = Hex(0xFFFFFF);                 // TEXT_BOX_FORE_COLOR
    TB_Color ReadOnlyTextForeColor = Hex(0xFFFFFF);            // TEXT_BOX_FORE_COLOR
    TB_Color ContentsForeColor = Hex(0xFFFFFF);                // CONTENTS_FORE_COLOR
    TB_Color ContentsHoverBackground = Hex(0x323232);          // CONTENTS_BG_H_COLOR
    TB_Color ContentsSelectedBackground = Hex(0x48394E);       // CONTENTS_SEL_BG_COLOR
    TB_Color ButtonFace = Hex(0x404040);                       // CONTENTS_SEL_BG_COLOR
    TB_Color ButtonPressedFace = Hex(0x202020);                // CONTENTS_SEL_BG_COLOR
    TB_Color ContentsSelectedHoverBackground = Hex(0x7F6D85);  // CONTENTS_SEL_BG_H_COLOR
    TB_Color ContentsDisabledBorder = Hex(0xC8C8C8);           // CONTENTS_BORDER_COLOR
    TB_Color ContentsBorder = Hex(0x808080);
    TB_Color ContentsItemColor1 = TB_Color{0, 0, 0, 1};      // CONTENTS_ITEM_COLOR1
    TB_Color ContentsItemColor2 = TB_Color{0, 0, 0, 1};      // CONTENTS_ITEM_COLOR2
    TB_Color ContentsSelectedItemForeColor = Hex(0xFFFFFF);  // CONTENTS_SEL_ITEM_FORE_COLOR
    TB_Color ContentsDisabledItemForeColor = Hex(0x808080);  // CONTENTS_DIS_ITEM_FORE_COLOR
    TB_Color ScrollBackground = Hex(0x404040);               // SCROLL_BG_COLOR
    TB_Color ScrollDisabledBackground = Hex(0x404040);       // SCROLL_BG_COLOR
    TB_Color ScrollFore = Hex(0x808080);                     // SCROLL_FORE_COLOR
    TB_Color ScrollForeHover = Hex(0xA0A0A0);                // SCROLL_FORE_H_COLOR
    TB_Color ScrollForePressed = Hex(0xC8C8C8);              // SCROLL_FORE_D_COLOR
    TB_Color ScrollForeDisabled = Hex(0x505050);             // SCROLL_FORE_D_COLOR
    TB_Color ButtonBackground = Hex(0x404040);               // BUTTON_BG_COLOR (colours nothing)
    TB_Color ButtonFontColor = Hex(0xFFFFFF);                // BUTTON_FONT_COLOR
    TB_Color ButtonDisabledColor = Hex(0x646464);            // BUTTON_DIS_COLOR (colours nothing)
    TB_Color ButtonDisabledFontColor = Hex(0x646464);        // BUTTON_DIS_FONT_COLOR
    TB_Color MenuFontColor = Hex(0xFFFFFF);                  // MENU_FONT_COLOR
    TB_Color MenuBorderColor = Hex(0x404040);                // MENU_BORDER_COLOR
    TB_Color TextColor = Hex(0xFFFFFF);
    TB_Color DisabledTextColor = Hex(0x808080);
    // Fixed colours of the drawn controls (no style key sets them).
    TB_Color ButtonBorder = Hex(0xC8C8C8);
    TB_Color FocusFrame = Hex(0x7F6D85);
    TB_Color ToggleSelectedText = Hex(0x948CA6);
    TB_Color ToggleSelectedFrame = Hex(0x7F6D85);
    TB_Color CheckBoxFill = Hex(0xFFFFFF);
    TB_Color CheckBoxDisabledFill = Hex(0x808080);
    TB_Color CheckBoxMark = Hex(0x000000);
    // Native edit children: editable and read-only fields.
    TB_Color EditBackground = Hex(0x202020);
    TB_Color EditTextColor = Hex(0xFFFFFF);
    TB_Color StaticBackground = Hex(0x282828);
    TB_Color StaticTextColor = Hex(0xFFFFFF);

    // Size metrics at display size 100 %.
    float Scale = 1.0f;
    float FontSize = 10.5f;
    float ButtonWidth = 100;
    float ButtonHeight = 28;
    tb_int TextFieldHeight = 24;
    float ScrollBarWidth = 18;
    float ScrollBarPadding = 3;
    float ScrollBarArrowSize = 16;
    float ContentsItemHeight = 24;
    float ContentsItemPadding = 8;
    tb_int ContentsBorderWidth = 4;
    float CheckBoxSize = 14;
    float CheckBoxSpacing = 6;
    float MenuItemHeight = 24;
    float MenuPaddingX = 3;
    float MenuPaddingY = 3;
    float MenuTextIndent = 10;
    float MenuShortcutMargin = 24;
    float CopyTextBoxWidth = 400;
    tb_int ButtonFontWeight = 600;  // not scaled

    // Resets the record to the toolkit's built-in values.
    void ResetToBuiltIn() { *this = TB_GlobalStyle(); }
    // Multiplies every size metric by s (integer metrics truncated); colours and the font
    // weight stay.
    void ApplyScale(float s);
};

TB_GlobalStyle& TB_GetGlobalStyle();
