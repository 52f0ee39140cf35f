#pragma once

// Icons drawn into the program: SVG texts in the renderer's subset, one path each, drawn in
// the colour of the graphics' brush.
enum class TC_BuiltinIcon { Filter, Cog, Times, Star, Play, Pause, Search, Clear, Bars, CaretDown };

// NUL-terminated UTF-8 SVG text.
const char* TC_BuiltinIconText(TC_BuiltinIcon icon);
