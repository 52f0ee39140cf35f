#include "tb_globalstyle.h"

#include <initializer_list>

TB_GlobalStyle& TB_GetGlobalStyle() {
    static TB_GlobalStyle style;
    return style;
}

void TB_GlobalStyle::ApplyScale(float s) {
    Scale = s;
    for (float* metric :
         {&FontSize, &ButtonWidth, &ButtonHeight, &ScrollBarWidth, &ScrollBarPadding,
          &ScrollBarArrowSize, &ContentsItemHeight, &ContentsItemPadding, &CheckBoxSize,
          &CheckBoxSpacing, &MenuItemHeight, &MenuPaddingX, &MenuPaddingY, &MenuTextIndent,
          &MenuShortcutMargin, &CopyTextBoxWidth}) {
        *metric *= s;
    }
    for (tb_int* metric : {&TextFieldHeight, &ContentsBorderWidth}) {
        *metric = static_cast<tb_int>(static_cast<float>(*metric) * s);
    }
}
