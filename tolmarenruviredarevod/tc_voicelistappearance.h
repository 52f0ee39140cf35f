#pragma once

#include "tb_color.h"
#include "tb_nativebitmap.h"
#include "tb_svg.h"

// What the main window hands the clip list panel of its style: flags, sizes at 100 %, the
// icon sets (normal, hover, pressed, disabled; not owned, the main window keeps them) and
// the list's text colours. The values here are those before a style was loaded.
struct TC_VoiceListAppearance {
    bool MenuButtonShown = false;
    tb_int SelectorBorder = 1;
    tb_int ListBorder = 0;  // pixels, not scaled
    TB_SvgRenderer* SearchClearIcons[4] = {};
    TB_SvgRenderer* FavouriteIcons[4] = {};
    TB_SvgRenderer* FavouriteOnIcons[4] = {};
    TB_SvgRenderer* FilterIcons[4] = {};
    TB_SvgRenderer* ImportIcons[4] = {};
    TB_SvgRenderer* MenuIcons[4] = {};
    float ExtraHeight = 12;  // times the GUI scale where used
    TB_NativeBitmap* TitleBitmap = nullptr;
    float UnderlineOffset = 12;  // times the GUI scale where used
    TB_Color SelectedTextColor{1, 1, 1, 1};
    TB_Color UnavailableTextColor = TB_Color::FromBytes(0x80, 0x80, 0x80);
};
