#include "tb_globalstyle.h"

TB_GlobalStyle& TB_GetGlobalStyle() {
    static TB_GlobalStyle style;
    return style;
}
