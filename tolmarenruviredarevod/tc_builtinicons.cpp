#include "tc_builtinicons.h"

extern const unsigned char lumovox_icon_filter[];
extern const unsigned char lumovox_icon_cog[];
extern const unsigned char lumovox_icon_times[];
extern const unsigned char lumovox_icon_star[];
extern const unsigned char lumovox_icon_play[];
extern const unsigned char lumovox_icon_pause[];
extern const unsigned char lumovox_icon_search[];
extern const unsigned char lumovox_icon_clear[];
extern const unsigned char lumovox_icon_bars[];
extern const unsigned char lumovox_icon_caretdown[];

const char* TC_BuiltinIconText(TC_BuiltinIcon icon) {
    const unsigned char* text = nullptr;
    switch (icon) {
        case TC_BuiltinIcon::Filter:
            text = lumovox_icon_filter;
            break;
        case TC_BuiltinIcon::Cog:
            text = lumovox_icon_cog;
            break;
        case TC_BuiltinIcon::Times:
            text = lumovox_icon_times;
            break;
        case TC_BuiltinIcon::Star:
            text = lumovox_icon_star;
            break;
        case TC_BuiltinIcon::Play:
            text = lumovox_icon_play;
            break;
        case TC_BuiltinIcon::Pause:
            text = lumovox_icon_pause;
            break;
        case TC_BuiltinIcon::Search:
            text = lumovox_icon_search;
            break;
        case TC_BuiltinIcon::Clear:
            text = lumovox_icon_clear;
            break;
        case TC_BuiltinIcon::Bars:
            text = lumovox_icon_bars;
            break;
        case TC_BuiltinIcon::CaretDown:
            text = lumovox_icon_caretdown;
            break;
    }
    return reinterpret_cast<const char*>(text);
}
