#include "lv_style.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <string>

#include "tb_bitmaploader.h"
#include "tb_filestream.h"
#include "tb_platform.h"
#include "tc_messagebox.h"

const char* const LV_kStyleColourKeys[LV_kStyleColourCount] = {
    "BG_COLOR",
    "FORE_COLOR",
    "TEXT_BOX_BG_COLOR",
    "TEXT_BOX_FORE_COLOR",
    "CONTENTS_FORE_COLOR",
    "CONTENTS_BG_H_COLOR",
    "CONTENTS_SEL_BG_COLOR",
    "CONTENTS_SEL_BG_H_COLOR",
    "CONTENTS_BORDER_COLOR",
    "CONTENTS_ITEM_COLOR1",
    "CONTENTS_ITEM_COLOR2",
    "CONTENTS_SEL_ITEM_FORE_COLOR",
    "CONTENTS_DIS_ITEM_FORE_COLOR",
    "SCROLL_BG_COLOR",
    "SCROLL_FORE_COLOR",
    "SCROLL_FORE_H_COLOR",
    "SCROLL_FORE_D_COLOR",
    "BUTTON_BG_COLOR",
    "BUTTON_FONT_COLOR",
    "BUTTON_DIS_COLOR",
    "BUTTON_DIS_FONT_COLOR",
    "MENU_FONT_COLOR",
    "MENU_BORDER_COLOR",
};

const char* const LV_kStyleIconBaseNames[LV_kStyleIconBases] = {
    "saisei", "teishi", "skip",  "modoru", "001", "002",
    "003",    "004",    "004_b", "005",    "006", "open"};

TB_String LV_StyleIconFile(int base, int state) {
    static const char* const kStates[4] = {"", "_on", "_active", "_mukou"};
    std::string name = LV_kStyleIconBaseNames[base];
    name += state == 0 && base < 4 ? "_normal" : kStates[state];
    name += ".svg";
    return TB_String(name.c_str());
}

// Every text and background pair the program draws from the style's colours (the indices
// follow LV_kStyleColourKeys).
const LV_ContrastPair LV_kContrastPairs[] = {
    {1, 0, "labels"},
    {3, 2, "editable text field"},
    {3, 0, "read-only text field"},
    {4, 0, "list item on the list background"},
    {4, 9, "clip row, odd"},
    {4, 10, "clip row, even"},
    {4, 5, "row under the pointer"},
    {11, 6, "selected row"},
    {11, 7, "selected row under the pointer"},
    {12, 0, "missing clip on the list background"},
    {12, 9, "missing clip, odd row"},
    {12, 10, "missing clip, even row"},
    {12, 5, "missing clip under the pointer"},
    {12, 6, "missing clip, selected"},
    {12, 7, "missing clip, selected, under the pointer"},
    {18, 6, "button caption at rest and pressed"},
    {18, 2, "button caption under the pointer"},
    {20, 6, "disabled button caption"},
    {21, 0, "menu item"},
    {21, 2, "highlighted menu item"},
};
const int LV_kContrastPairCount = static_cast<int>(std::size(LV_kContrastPairs));

namespace {

const tb_char* const kTitle = u"ルモヴォクスアプリ";

void ShowFileMessage(TB_Widget* window, const tb_char* format, const TB_Uri& file) {
    TB_String text;
    TB_String path = TB_DisplayText(file.GetPath());
    text.Format(format, path.Chars());
    TC_ShowMessage(window, text, kTitle, TB_MB_OK | TB_MB_ICONERROR);
}

TB_Uri FileIn(const TB_Uri& folder, const TB_String& name) {
    TB_Uri file = folder;
    file.Append(name);
    return file;
}

// The first of the places data may lie in that exists, else the first: beside the program (the
// build tree), then <prefix>/share/lumovox reached from the program's own folder, so a tree
// installed or unpacked under any prefix finds its data, and last the configured prefix.
TB_Uri DataPath(std::initializer_list<TB_String> relative, bool folder) {
    TB_Uri programFolder;
    TB_Uri::SetToModuleFolder(programFolder);
    TB_Uri beside = programFolder;
    TB_Uri underPrefix = programFolder;
    underPrefix.Append(TB_String(LUMOVOX_DATADIR_FROM_BINDIR));
    underPrefix.Append(u"lumovox");
    underPrefix.Normalize();
    TB_Uri configured(TB_String(LUMOVOX_INSTALL_DATADIR));
    configured.Append(u"lumovox");
    for (const TB_String& segment : relative) {
        beside.Append(segment);
        underPrefix.Append(segment);
        configured.Append(segment);
    }
    for (const TB_Uri* place : {&beside, &underPrefix, &configured}) {
        if (folder ? place->IsDirectory() : place->IsFile()) {
            return *place;
        }
    }
    return beside;
}

}  // namespace

TB_String LV_CurrentStyleName(TC_AppSettings& settings) {
    TB_String name = settings.GetText(u"UiStyleName");
    if (name.IsEmpty()) {
        name = u"light";
        settings.SetText(u"UiStyleName", name);
    }
    return name;
}

TB_Uri LV_StyleFolder(const TB_String& name) {
    return DataPath({TB_String(u"style"), name}, true);
}

TB_Uri LV_CurrentStyleFolder(TB_Widget* window, TC_AppSettings& settings, bool tell) {
    TB_String name = LV_CurrentStyleName(settings);
    std::u16string_view text = name.View();
    bool plain = text != u"." && text != u".." &&
                 text.find_first_of(std::u16string_view(u"/\\\0", 3)) == std::u16string_view::npos;
    TB_Uri folder = plain ? LV_StyleFolder(name) : TB_Uri();
    if (plain && folder.IsDirectory()) {
        return folder;
    }
    if (tell) {
        // A name that leads elsewhere is named as it was given, not as the place it leads to.
        TB_String shown = plain ? TB_DisplayText(folder.GetPath()) : name;
        TB_String message;
        message.Format(u"「%T」が見つかりませんでした。", &shown);
        TC_ShowMessage(window, message, kTitle, TB_MB_OK | TB_MB_ICONERROR);
    }
    return LV_StyleFolder(TB_String(u"light"));
}

TB_Uri LV_AppIconFile() {
    return DataPath({TB_String(u"lumovox.svg")}, false);
}

std::string LV_GuideFolder() {
    TB_Uri programFolder;
    TB_Uri::SetToModuleFolder(programFolder);
    TB_Uri installed = programFolder;
    installed.Append(TB_String(LUMOVOX_DATADIR_FROM_BINDIR));
    installed.Append(u"doc");
    installed.Append(u"lumovox");
    installed.Normalize();
    TB_Uri configured(TB_String(LUMOVOX_INSTALL_DATADIR "/doc/lumovox"));
    TB_Uri source(TB_String(LUMOVOX_SOURCE_DOCDIR));
    for (TB_Uri* place : {&installed, &configured, &source}) {
        TB_Uri guide = *place;
        guide.Append(u"guide.html");
        if (guide.IsFile()) {
            std::string path;
            TB_AppendUtf8(path, place->GetPath().View());
            return path;
        }
    }
    return std::string();
}

bool LV_LoadStyleIcon(TB_Widget* window, const TB_Uri& folder, const TB_String& file,
                      TB_SvgRenderer* renderer) {
    TB_Uri path = FileIn(folder, file);
    if (renderer && renderer->LoadFile(path)) {
        return true;
    }
    LV_ShowMissingStyleFile(window, path);
    return false;
}

TB_Uri LV_StyleFile(const TB_Uri& folder, const TB_String& file) {
    return FileIn(folder, file);
}

void LV_ShowMissingStyleFile(TB_Widget* window, const TB_Uri& path) {
    ShowFileMessage(window, u"「%S」が見つかりませんでした。", path);
}

bool LV_LoadStyleBitmap(TB_Widget* window, const TB_Uri& folder, const TB_String& file,
                        TB_NativeBitmap*& bitmap) {
    TB_Uri path = FileIn(folder, file);
    auto stream = TB_Ref<TB_FileStream>::Adopt(new TB_FileStream(path, TB_FileMode::Read));
    auto decoded = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap());
    TB_BitmapLoaderPng loader;
    if (stream->IsOpen() && loader.Load(stream.Get(), decoded.Get()) == 0) {
        if (bitmap) {
            bitmap->Release();
        }
        bitmap = decoded.Detach();
        return true;
    }
    ShowFileMessage(window, u"「%S」が見つかりませんでした。", path);
    return false;
}

bool LV_ReadStyleColours(TB_Widget* window, const TB_Uri& folder, LV_StyleColours& colours) {
    TB_Uri path = FileIn(folder, u"style.json");
    TB_FileStream file(path, TB_FileMode::Read);
    rapidjson::Document document;
    bool opened = file.ParseJson<rapidjson::kParseIterativeFlag>(document);
    if (opened && document.HasParseError()) {
        ShowFileMessage(window, u"「%S」の読み取りに失敗しました。", path);
        return false;
    }
    for (int i = 0; i < LV_kStyleColourCount; ++i) {
        TB_Color color{0, 0, 0, 1};
        colours.Present[i] = false;
        if (opened && document.IsObject()) {
            auto member = document.FindMember(LV_kStyleColourKeys[i]);
            if (member != document.MemberEnd()) {
                colours.Present[i] = TC_ReadJsonColor(member->value, color);
            }
        }
        // A colour is four fractions: what lies beyond would make every derived shade
        // meaningless (and 8-bit channels wrap).
        colours.Clamped[i] = false;
        for (float* component : {&color.r, &color.g, &color.b, &color.a}) {
            float clamped = std::clamp(*component, 0.0f, 1.0f);
            colours.Clamped[i] = colours.Clamped[i] || clamped != *component;
            *component = clamped;
        }
        colours.Values[i] = color;
    }
    return true;
}

void LV_ApplyStyleColours(const LV_StyleColours& colours, TB_GlobalStyle& s) {
    const TB_Color* c = colours.Values;
    s.WidgetBackground = s.ReadOnlyTextBackground = s.StaticBackground = c[0];
    s.ContentsBackground = s.MenuBackground = c[0];
    s.ForeColor = s.TextColor = c[1];
    s.TextBoxBackground = s.ButtonHoverFace = s.MenuHighlight = s.EditBackground = c[2];
    s.TextBoxForeColor = s.ReadOnlyTextForeColor = s.EditTextColor = s.StaticTextColor = c[3];
    s.ContentsForeColor = c[4];
    s.ContentsHoverBackground = c[5];
    s.ContentsSelectedBackground = s.ButtonFace = s.ButtonPressedFace = c[6];
    s.ContentsSelectedHoverBackground = c[7];
    s.ContentsDisabledBorder = c[8];
    s.ContentsItemColor1 = c[9];
    s.ContentsItemColor2 = c[10];
    s.ContentsSelectedItemForeColor = c[11];
    s.ContentsDisabledItemForeColor = c[12];
    s.ScrollBackground = s.ScrollDisabledBackground = c[13];
    s.ScrollFore = c[14];
    s.ScrollForeHover = c[15];
    s.ScrollForePressed = s.ScrollForeDisabled = c[16];
    s.ButtonBackground = c[17];
    s.ButtonFontColor = c[18];
    s.ButtonDisabledColor = c[19];
    s.ButtonDisabledFontColor = c[20];
    s.MenuFontColor = c[21];
    s.MenuBorderColor = c[22];
    // Check boxes are text fields of a kind: a white square would glare on a dark ground.
    s.CheckBoxFill = c[2];
    s.CheckBoxMark = c[3];
    s.CheckBoxDisabledFill = c[19];
    // The focus ring must stand out from the ground in either style: a blue, lighter on
    // dark grounds.
    float ground = 0.2126f * c[0].r + 0.7152f * c[0].g + 0.0722f * c[0].b;
    s.FocusFrame = ground < 0.5f ? TB_GlobalStyle::Hex(0x6EA8FE) : TB_GlobalStyle::Hex(0x2F6FD6);
}

void LV_ApplyGuiScale(tb_int percent) {
    TB_GlobalStyle& style = TB_GetGlobalStyle();
    style.ResetToBuiltIn();
    style.ApplyScale(static_cast<float>(percent) / 100.0f / TB_GetPlatform().WindowSystemScale());
}

bool LV_BuildStyle(TB_Widget* window, TC_AppSettings& settings, TC_VoiceListAppearance& appearance,
                   TB_Color& windowBackground) {
    LV_ApplyGuiScale(settings.GetInt(u"GuiScale"));
    TB_Uri folder = LV_CurrentStyleFolder(window, settings, true);
    TB_GlobalStyle copy = TB_GetGlobalStyle();
    LV_StyleColours colours;
    if (!LV_ReadStyleColours(window, folder, colours)) {
        windowBackground = copy.WidgetBackground;
        return false;  // the scaled built-in colours stay, the appearance as it was
    }
    LV_ApplyStyleColours(colours, copy);
    TB_GetGlobalStyle() = copy;
    appearance.SelectedTextColor = colours.Values[11];
    appearance.UnavailableTextColor = colours.Values[12];
    appearance.MenuButtonShown = true;
    appearance.SelectorBorder = 1;
    appearance.ListBorder = 2;
    appearance.ExtraHeight = 28;
    appearance.UnderlineOffset = 14;
    windowBackground = colours.Values[0];
    return true;
}

double LV_ContrastRatio(const TB_Color& a, const TB_Color& b) {
    auto luminance = [](const TB_Color& c) {
        auto linear = [](float v) {
            double x = std::clamp(static_cast<double>(v), 0.0, 1.0);
            return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
    };
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
