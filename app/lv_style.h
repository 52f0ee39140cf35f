#pragma once

#include <string>

#include "tb_globalstyle.h"
#include "tb_nativebitmap.h"
#include "tb_svg.h"
#include "tb_widget.h"
#include "tc_settings.h"
#include "tc_voicelistappearance.h"

// The visual style: a folder of colours (style.json), 48 icons and a title bitmap chosen by
// the setting UiStyleName, and the GUI scale (GuiScale, percent) that multiplies every size
// metric. Both are applied while a main window is built, never to a live one.

// The names of the colours of style.json, in the order they are read.
constexpr int LV_kStyleColourCount = 23;
extern const char* const LV_kStyleColourKeys[LV_kStyleColourCount];

// The 23 colours as style.json gave them (opaque black for absent or malformed members).
struct LV_StyleColours {
    TB_Color Values[LV_kStyleColourCount];
    bool Present[LV_kStyleColourCount] = {};  // a member with a usable value
    bool Clamped[LV_kStyleColourCount] = {};  // a component lay outside 0...1 and was clamped
};

// UiStyleName, with "light" written into the setting first when it is empty.
TB_String LV_CurrentStyleName(TC_AppSettings& settings);
// <folder of the executable>/style/<name>/, or, when that does not exist,
// <folder of the executable>/../share/lumovox/style/<name>/ (any install prefix), or
// <configured install prefix>/share/lumovox/style/<name>/ (the first one whatever exists, so
// messages name a place).
TB_Uri LV_StyleFolder(const TB_String& name);
// The folder of the current style. A name that is no plain folder name (a separator, "." or
// "..", which would lead out of the style folders) or that names no style folder falls back
// to "light"; with tell, the one "not found" message says so (never one per icon).
TB_Uri LV_CurrentStyleFolder(TB_Widget* window, TC_AppSettings& settings, bool tell);
// The application icon (SVG) for the window, found in the same places as the styles:
// lumovox.svg beside the executable or in <prefix>/share/lumovox/.
TB_Uri LV_AppIconFile();
// The folder of the user guide (guide.html): installed under <prefix>/share/doc/lumovox, or
// the source tree's docs/ for a program run from its build tree. A native path; empty when
// there is none.
std::string LV_GuideFolder();
// Reads <folder>/<file> into the renderer; on failure shows "「path」が見つかりませんでした。"
// owned by the window and answers false.
bool LV_LoadStyleIcon(TB_Widget* window, const TB_Uri& folder, const TB_String& file,
                      TB_SvgRenderer* renderer);
// The two halves of it for icons read on another thread: the path read, and the message.
TB_Uri LV_StyleFile(const TB_Uri& folder, const TB_String& file);
void LV_ShowMissingStyleFile(TB_Widget* window, const TB_Uri& path);
// Decodes <folder>/<file> as PNG into bitmap (allocated by the call); the same message on
// failure. The bitmap stays null then.
bool LV_LoadStyleBitmap(TB_Widget* window, const TB_Uri& folder, const TB_String& file,
                        TB_NativeBitmap*& bitmap);
// Reads <folder>/style.json. A missing file gives 23 black colours and true; a file that is
// not JSON shows "「path」の読み取りに失敗しました。" and answers false (colours untouched).
// A root that is not an object, and values of any other form, count as absent members.
bool LV_ReadStyleColours(TB_Widget* window, const TB_Uri& folder, LV_StyleColours& colours);
// Stores the colours into every element of the record that each key colours.
void LV_ApplyStyleColours(const LV_StyleColours& colours, TB_GlobalStyle& style);
// Resets the record to its built-in values and scales it by GuiScale / 100 (divided by the
// window system's own scale, which enlarges everything already).
void LV_ApplyGuiScale(tb_int percent);
// The whole build of a main window's style: reset, scale, colours (into the record, the
// clip list's appearance and the returned window background). False after a parse error.
bool LV_BuildStyle(TB_Widget* window, TC_AppSettings& settings, TC_VoiceListAppearance& appearance,
                   TB_Color& windowBackground);

// The icons of a style, in the order the main window loads them: 12 bases, each in the
// states normal, hover ("_on"), pressed ("_active") and disabled ("_mukou"). The play
// controls name their normal file "_normal".
constexpr int LV_kStyleIconBases = 12;
extern const char* const LV_kStyleIconBaseNames[LV_kStyleIconBases];
TB_String LV_StyleIconFile(int base, int state);

// A text colour and the background the program draws it on (indices into the 23 colours).
struct LV_ContrastPair {
    int Text;
    int Background;
    const char* Where;
};
extern const LV_ContrastPair LV_kContrastPairs[];
extern const int LV_kContrastPairCount;

// The WCAG 2.1 contrast ratio of two colours (alpha ignored).
double LV_ContrastRatio(const TB_Color& a, const TB_Color& b);
