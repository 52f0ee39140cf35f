#include "tc_voicedatalistpanel.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "tb_dropdata.h"
#include "tb_error.h"
#include "tb_filemanager.h"
#include "tb_folderdialog.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_graphics.h"
#include "tb_gui.h"
#include "tb_menupanel.h"
#include "tb_popuppanel.h"
#include "tb_scrollpanel.h"
#include "tc_app.h"
#include "tc_app_voice_lib.h"
#include "tc_builtinicons.h"
#include "tc_messagebox.h"
#include "tc_voiceloader.h"
#include "tc_waveformstrip.h"

namespace {

constexpr const char16_t* kMessageTitle = u"声ライブラリ";

float Scale() {
    return TB_GetGlobalStyle().Scale;
}

// Icon-only look with the set's four states, when the set is given.
void UseIcons(TB_Button* button, TB_SvgRenderer* const icons[4]) {
    button->ButtonStyle = TB_ButtonStyle::Image;
    if (!icons[0]) {
        return;
    }
    button->SetNormalImage(icons[0]);
    button->SetHoverImage(icons[1]);
    button->SetPressedImage(icons[2]);
    button->SetDisabledImage(icons[3]);
}

TB_Color WithAlpha(TB_Color color, float alpha) {
    color.a *= alpha;
    return color;
}

// JSON string escaping for the clip description.
void AppendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

}  // namespace

// ---- rows ----

TC_VoiceDataItem::TC_VoiceDataItem(TC_VoiceDataListPanel* panel, TB_Font* font)
    : Font(font), Panel(panel) {}

void TC_VoiceDataItem::Show(TC_VoiceData* voice) {
    // Always copied: a clip read again may sit where a freed one was.
    Voice = voice;
    Text = voice->RelFilePath;
}

const TB_String& TC_VoiceDataItem::TypeAheadText() {
    if (!Voice->Display.IsEmpty()) {
        return Voice->Display;
    }
    std::u16string_view path = Voice->RelFilePath.View();
    size_t slash = path.find_last_of(u'/');
    std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    m_fileName = TB_String(name.data(), static_cast<tb_int>(name.size()));
    return m_fileName;
}

void TC_VoiceDataItem::DescribeAccessible(TB_AccessibleInfo& info) {
    TB_ContentsBoxItem::DescribeAccessible(info);
    info.Name = Voice->Display;
    info.Description = Voice->Surface;
    info.Checkable = true;
    info.Checked = Voice->Favorite;
    info.Unavailable = !Voice->Exists;
}

TB_String TC_VoiceDataItem::ToolTipText() {
    if (Voice->Exists) {
        return Text;
    }
    return TB_String((u"ファイルが見つかりません\n" + std::u16string(Text.View())).c_str());
}

TB_String TC_VoiceDataItem::Elide(TB_Graphics& g, const TB_String& text, float width) {
    if (g.MeasureString(text).x <= width) {
        return text;
    }
    std::u16string_view all = text.View();
    size_t low = 0, high = all.size();
    auto with = [&all](size_t count) {
        // A surrogate pair stays whole.
        if (count > 0 && count < all.size() && all[count] >= 0xDC00 && all[count] <= 0xDFFF) {
            --count;
        }
        return TB_String((std::u16string(all.substr(0, count)) + u"…").c_str());
    };
    while (low < high) {
        size_t middle = (low + high + 1) / 2;
        if (g.MeasureString(with(middle)).x <= width) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return with(low);
}

void TC_VoiceDataItem::Paint(TB_Graphics& g, const TB_Rectangle<int>& r) {
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    const TC_VoiceListAppearance& look = Panel->Appearance();
    float s = Scale();
    float c = 8 * s;
    float k = Panel->CategoryColumnWidth();
    float x = static_cast<float>(r.x), y = static_cast<float>(r.y);
    float w = static_cast<float>(r.width), h = static_cast<float>(r.height);
    TB_Color color = Enabled ? style.ContentsForeColor : TB_GlobalStyle::Hex(0x404040);
    if (!Voice->Exists) {
        color = look.UnavailableTextColor;
    } else if (Selected) {
        color = look.SelectedTextColor;
    }
    TB_SolidBrush brush(color);
    TB_Font* previousFont = g.Font;
    TB_Brush* previousBrush = g.Brush;
    TB_Pen* previousPen = g.Pen;
    g.Font = Font;
    g.Brush = &brush;

    // A clip whose file is missing: an amber mark before its title.
    float textHeight = g.MeasureString(u"あ").y;
    float lead = c;
    if (!Voice->Exists) {
        float d = std::round(textHeight * 0.8f);
        TB_Rectangle<float> mark{x + c, y + (h - d) / 2, d, d};
        TB_SolidBrush amber(TB_GlobalStyle::Hex(0xD9822B));
        g.Brush = &amber;
        g.Pen = nullptr;
        g.BeginPath(TB_Vector2{mark.x + d, mark.y + d / 2});
        g.ArcTo(TB_Vector2{mark.x + d / 2, mark.y + d / 2}, d / 2, 0, 2 * 3.14159265);
        g.ClosePath();
        g.FillAndStroke();
        TB_SolidBrush white(TB_Color{1, 1, 1, 1});
        g.Brush = &white;
        float bar = std::max(1.0f, std::round(d / 7));
        g.DrawRectangle(
            TB_Rectangle<float>{mark.x + (d - bar) / 2, mark.y + d * 0.2f, bar, d * 0.4f});
        g.DrawRectangle(TB_Rectangle<float>{mark.x + (d - bar) / 2, mark.y + d * 0.7f, bar, bar});
        g.Brush = &brush;
        lead += d + 4 * s;
    }

    // The display text: cut with "…" at rest, sliding left while hovered when it does not fit.
    float lengthWidth = Panel->DurationColumnWidth(g);
    float area = std::max(0.0f, w - k - h - lengthWidth);
    float textWidth = g.MeasureString(Voice->Display).x;
    float offset = 0;
    TextOverflows = textWidth + lead > area;
    if (TextOverflows) {
        offset = std::min(textWidth + lead - area, static_cast<float>(TextOffset));
    }
    g.PushClip(TB_Rectangle<float>{x + lead, y, std::max(0.0f, area - lead), h});
    const TB_String& shown = TextOverflows && offset <= 0
                                 ? Elide(g, Voice->Display, area - lead - 2 * s)
                                 : Voice->Display;
    g.DrawString(shown, TB_Vector2{x + lead - offset, y + (h - textHeight) / 2});
    g.PopClip();

    // The length, right-aligned in its column.
    TB_String length = Panel->DurationText(*Voice);
    if (!length.IsEmpty()) {
        float lw = g.MeasureString(length).x;
        g.DrawString(length, TB_Vector2{x + area + lengthWidth - lw, y + (h - textHeight) / 2});
    }

    // The favourite star: filled in the accent for a favourite, an outline otherwise.
    FavRect = StarArea(g, r);
    if (TB_SvgRenderer* star = TC_App::Instance() ? TC_App::Instance()->StarIcon() : nullptr) {
        TB_Rectangle<float> drawn{x + area + lengthWidth + h / 4, y + h / 4, h / 2, h / 2};
        // The built-in icon is drawn in the graphics' brush and pen.
        TB_SolidBrush fill(Voice->Exists ? style.FocusFrame : color);
        TB_SolidBrush none(TB_Color{0, 0, 0, 0});
        TB_Pen outline(Selected ? color : TB_GlobalStyle::Hex(0x808080), 1);
        g.Brush = Voice->Favorite ? static_cast<TB_Brush*>(&fill) : &none;
        g.Pen = Voice->Favorite ? nullptr : &outline;
        star->Render(g, drawn, false);
        g.Brush = &brush;
    }

    // The category column and its divider.
    std::u16string names;
    for (tb_int i = 0; i < Voice->Categories.Count(); ++i) {
        names += Voice->Categories[i]->Name.View();
        if (i + 1 < Voice->Categories.Count()) {
            names += u", ";
        }
    }
    g.PushClip(TB_Rectangle<float>{x + w - k, y, k, h});
    g.DrawString(TB_String(names.c_str(), static_cast<tb_int>(names.size())),
                 TB_Vector2{x + w - k + c, y + (h - textHeight) / 2});
    g.PopClip();
    TB_Pen divider(WithAlpha(color, 0.5f), 1);
    g.Pen = &divider;
    g.DrawLine(TB_Vector2{x + w - k, y}, TB_Vector2{x + w - k, y + h});

    g.Font = previousFont;
    g.Brush = previousBrush;
    g.Pen = previousPen;
}

TB_Rectangle<float> TC_VoiceDataItem::StarArea(TB_Graphics& g, const TB_Rectangle<int>& r) {
    if (!TC_App::Instance() || !TC_App::Instance()->StarIcon()) {
        return TB_Rectangle<float>{0, 0, 0, 0};
    }
    // Where Paint draws the star, widened to at least 20 x 20 (at 100 %) around it.
    float s = Scale();
    float w = static_cast<float>(r.width), h = static_cast<float>(r.height);
    float lengthWidth = Panel->DurationColumnWidth(g);
    float area = std::max(0.0f, w - Panel->CategoryColumnWidth() - h - lengthWidth);
    TB_Rectangle<float> drawn{static_cast<float>(r.x) + area + lengthWidth + h / 4,
                              static_cast<float>(r.y) + h / 4, h / 2, h / 2};
    float target = std::max(h / 2, 20 * s);
    return {drawn.x + (drawn.width - target) / 2, drawn.y + (drawn.height - target) / 2, target,
            target};
}

void TC_VoiceDataItem::GetDropData(TB_List<TB_DropData*>& list) {
    TB_String path = TC_VoiceDataListPanel::FullPathText(*Voice);
    TB_List<TB_Uri*> uris;
    uris.Add(new TB_Uri(path));
    auto* files = new TB_DropData();
    files->SetFiles(uris);
    TB_ReleaseAll(uris);
    list.Add(files);

    // The clip description: UTF-8 JSON indented by four spaces, NUL-terminated. A file name
    // that is not UTF-8 goes in its readable form: JSON holds only valid UTF-8.
    std::string json = "{\n    \"voices\": [\n        {\n            \"subtitle\": ";
    AppendJsonString(json, TB_DisplayText(Voice->Surface).ToStdString());
    json += ",\n            \"path\": ";
    AppendJsonString(json, TB_DisplayText(path).ToStdString());
    json += "\n        }\n    ]\n}";
    auto* description = new TB_DropData();
    description->Format = TC_App::Instance() ? TC_App::Instance()->ClipDragFormat()
                                             : TB_RegisterClipboardFormat("TC Voice Lib Data");
    description->Data.assign(json.begin(), json.end());
    description->Data.push_back(0);
    list.Add(description);
}

bool TC_VoiceDataItem::Inspect(TB_IPropertyVisitor& visitor) {
    bool active = false;
    for (TC_VoiceCategory* category : Voice->Categories) {
        active = active || category->Active;
    }
    visitor.WriteBool(u"CategoryActive", active);
    if (TB_Graphics* g = TB_GetMeasureGraphics()) {
        FavRect = StarArea(*g, Rect);
    }
    visitor.WriteRectangle(u"FavRect", FavRect);
    TB_IPropertyVisitor& clip = visitor.BeginList(u"VoiceData").AddItem();
    Voice->Inspect(clip);
    clip.WriteBool(u"Exists", Voice->Exists);
    clip.WriteString(u"Duration", Panel->DurationText(*Voice, false));
    return TB_ContentsBoxItem::Inspect(visitor);
}

// ---- the panel ----

TC_VoiceDataListPanel::TC_VoiceDataListPanel(const TC_VoiceListAppearance& appearance)
    : m_appearance(appearance) {
    float s = Scale();
    BorderWidth = static_cast<float>(appearance.ListBorder);
    SetViewMode(TB_ContentsViewMode::List);
    CreateTopArea();
    SetTextScrolling(true);

    m_listFont = new TB_Font(9 * s);
    m_row = new TC_VoiceDataItem(this, m_listFont);
    BeforePaint = [this] { PrefetchDurations(); };
    AfterPaint = [this](TB_Graphics& g, const TB_Rectangle<float>& area) { PaintEmpty(g, area); };
    m_player = new TB_AudioPlayer();
    // Arrives on a media thread; whoever listens marshals it.
    m_player->Ended.Add([this](TB_EventArg&) { OnPlaybackFinished(); });

    if (!Actions) {
        Actions = new TB_ActionList();
    }
    auto haveLibrary = [this] { return m_library != nullptr; };
    auto haveClip = [this] { return m_library != nullptr && GetCurrent() != nullptr; };
    m_actions[0] =
        new TB_Action(u"ImportFolder", u"フォルダを追加", [this](TB_EventArg&) { ImportFolder(); });
    m_actions[1] = new TB_Action(
        u"RemoveLib", u"ライブラリを削除",
        [this](TB_EventArg&) {
            TC_VoiceLibraryEventArg arg;
            arg.Library = m_library;
            OnLibraryRemoveRequested(arg);
        },
        TB_String(), haveLibrary);
    m_actions[2] = new TB_Action(
        u"UpdateLib", u"ライブラリを更新", [this](TB_EventArg&) { ReloadLibrary(); }, u"F5",
        haveLibrary);
    m_actions[3] = new TB_Action(
        u"PlayAudio", u"再生", [this](TB_EventArg&) { PlaySelected(); }, TB_String(), haveClip);
    m_actions[4] = new TB_Action(
        u"OpenFolder", u"フォルダーを開く", [this](TB_EventArg&) { OpenInFileManager(); },
        TB_String(), haveClip);
    for (TB_Action* action : m_actions) {
        Actions->Add(action);
    }
    m_libraryMenu = new TB_MenuItemList();
    m_libraryMenu->Add(new TB_MenuButton(m_actions[0]));
    m_libraryMenu->Add(new TB_MenuButton(m_actions[1]));
    m_libraryMenu->Add(new TB_MenuSeparator());
    m_libraryMenu->Add(new TB_MenuButton(m_actions[2]));
    m_barsIcon.LoadText(TC_BuiltinIconText(TC_BuiltinIcon::Bars));

    BuildTopStrip();
    SelectionChanged.Add(this, &TC_VoiceDataListPanel::LoadSelected);
    GetCanvas()->Click.Add(this, &TC_VoiceDataListPanel::OnListClick);
    Resized.Add([this](TB_EventArg&) { UpdateCategoryWidth(); });
    ContextMenu->Add(new TB_MenuButton(m_actions[3]));
    ContextMenu->Add(new TB_MenuButton(m_actions[4]));

    m_watch =
        TB_GetPlatform().CreateFileWatch([this](const std::string& path) { FollowDisk(path); });
    m_settle = new TB_UiTimer(this);
    m_settle->Tick.Add([this](TB_EventArg&) {
        m_settle->Stop();
        if (TC_App* app = TC_App::Instance(); app && m_library) {
            app->QueueLoad(m_library, TC_LoadReason::Disk);
        }
    });
    m_progress = new TB_UiTimer(this);
    m_progress->SetInterval(100);
    m_progress->Tick.Add([this](TB_EventArg&) {
        if (!IsLoading()) {
            m_progress->Stop();
        }
        GetCanvas()->Invalidate();
    });
}

TC_VoiceDataListPanel::~TC_VoiceDataListPanel() {
    m_row->Release();
    m_watch.reset();
    m_settle->Release();
    m_progress->Release();
    if (m_player) {
        m_player->Close();  // no end of a clip can be reported after this
        m_player->Release();
        m_player = nullptr;
    }
    m_libraryMenu->Release();
    for (TB_Action* action : m_actions) {
        Actions->Remove(action);
        action->Release();
    }
    m_listFont->Release();
}

void TC_VoiceDataListPanel::BuildTopStrip() {
    float s = Scale();
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    TB_NativeContainer* strip = GetTopArea();
    float fieldHeight = static_cast<float>(style.TextFieldHeight);

    m_thumbnail = new TB_Canvas();
    m_thumbnail->Id = u"thumbnailCanvas";
    m_thumbnail->SetSize(48 * s, 48 * s);
    m_thumbnail->Paint.Add(this, &TC_VoiceDataListPanel::PaintThumbnail);

    m_selector = new TC_VoiceLibrarySelector();
    m_selector->Id = u"libraryList";
    m_selector->BorderWidth = m_appearance.SelectorBorder;
    m_selector->SetSize(200 * s, fieldHeight);
    m_selector->LibraryChanged.Add([this](TC_VoiceLibraryEventArg& arg) {
        SetLibrary(arg.Library);
        if (arg.Kind == TC_VoiceLibraryEventArg::kChosen && arg.Library) {
            ReportMissingFolders(arg.Library);
        }
    });

    m_importButton = new TB_Button(u"+");
    m_importButton->Id = u"importButton";
    m_importButton->SetToolTip(u"ライブラリの追加と削除");
    m_importButton->SetSize(fieldHeight, fieldHeight);
    UseIcons(m_importButton, m_appearance.ImportIcons);
    m_importButton->Click.Add([this](TB_MouseEventArg&) {
        if (TB_Frame* frame = OwnerFrame()) {
            frame->ShowPopup(new TB_MenuPanel(m_libraryMenu), m_importButton,
                             TB_Vector2{0, m_importButton->GetHeight()}, 0);
        }
    });

    m_menuButton = new TB_Button(u"Setting");
    m_menuButton->Id = u"settingButton";
    m_menuButton->SetToolTip(u"設定");
    m_menuButton->SetSize(fieldHeight, fieldHeight);
    UseIcons(m_menuButton, m_appearance.MenuIcons);
    if (!m_appearance.MenuIcons[0]) {
        m_menuButton->SetNormalImage(&m_barsIcon);
    }
    m_menuButton->SetVisible(m_appearance.MenuButtonShown);

    m_searchBox = new TC_SearchTextBox();
    m_searchBox->Id = u"filterTextBox";
    m_searchBox->SearchTextChanged.Add([this](TB_EventArg&) { ApplyFilter(); });
    // Esc empties the search, and from an empty one goes back to the rows.
    m_searchBox->TextField->KeyDown.Add([this](TB_KeyEventArg& arg) {
        if (arg.KeyCode != TB_VK_ESCAPE || arg.Control || arg.Alt || arg.Shift) {
            return;
        }
        arg.Handled = true;
        if (!m_searchBox->TextField->GetText().IsEmpty()) {
            m_searchBox->TextField->SetText(TB_String());
        } else {
            GetCanvas()->SetFocus();
        }
    });
    float searchHeight = m_searchBox->GetHeight();

    m_favButton = new TB_ToggleButton(u"★");
    m_favButton->Id = u"favButton";
    m_favButton->SetToolTip(u"お気に入り登録/解除");
    m_favButton->SetSize(searchHeight, searchHeight);
    UseIcons(m_favButton, m_appearance.FavouriteIcons);
    if (m_appearance.FavouriteOnIcons[0]) {
        // The toggle's images are those of its selected state; the plain set shows it off.
        m_favButton->SetUnselectedNormalImage(m_appearance.FavouriteIcons[0]);
        m_favButton->SetUnselectedHoverImage(m_appearance.FavouriteIcons[1]);
        m_favButton->SetUnselectedPressedImage(m_appearance.FavouriteIcons[2]);
        m_favButton->SetUnselectedDisabledImage(m_appearance.FavouriteIcons[3]);
        m_favButton->SetNormalImage(m_appearance.FavouriteOnIcons[0]);
        m_favButton->SetHoverImage(m_appearance.FavouriteOnIcons[1]);
        m_favButton->SetPressedImage(m_appearance.FavouriteOnIcons[2]);
        m_favButton->SetDisabledImage(m_appearance.FavouriteOnIcons[3]);
    }
    m_favButton->SetEnable(false);
    m_favButton->SelectedChanged.Add(this, &TC_VoiceDataListPanel::OnFavouriteChanged);

    m_filterButton = new TB_Button(u"表示フィルター");
    m_filterButton->Id = u"filterButton";
    m_filterButton->SetToolTip(u"表示フィルター");
    m_filterButton->SetSize(searchHeight, searchHeight);
    UseIcons(m_filterButton, m_appearance.FilterIcons);
    m_filterButton->Click.Add([this](TB_MouseEventArg&) { ShowFilterPopup(); });
    // While categories are filtered out, an accent dot on the button's corner says so.
    m_filterButton->Paint.Add([this](TB_PaintEventArg& arg) {
        if (!CategoriesFiltered()) {
            return;
        }
        float d = std::round(7 * Scale());
        float right = m_filterButton->GetWidth();
        TB_SolidBrush accent(TB_GetGlobalStyle().FocusFrame);
        TB_Brush* brush = arg.Graphics->Brush;
        TB_Pen* pen = arg.Graphics->Pen;
        arg.Graphics->Brush = &accent;
        arg.Graphics->Pen = nullptr;
        arg.Graphics->BeginPath(TB_Vector2{right - 1, d / 2 + 1});
        arg.Graphics->ArcTo(TB_Vector2{right - 1 - d / 2, d / 2 + 1}, d / 2, 0, 2 * 3.14159265);
        arg.Graphics->ClosePath();
        arg.Graphics->FillAndStroke();
        arg.Graphics->Brush = brush;
        arg.Graphics->Pen = pen;
    });

    m_countLabel = new TB_Lable(TB_String(), 0);
    m_countLabel->Id = u"shownCount";
    m_countLabel->SetToolTip(u"表示中 / 全体");

    if (TB_Button* clear = m_searchBox->GetClearButton()) {
        UseIcons(clear, m_appearance.SearchClearIcons);
    }

    if (TB_NativeBitmap* bitmap = m_appearance.TitleBitmap) {
        m_title = new TB_Canvas();
        m_title->SetSize(static_cast<float>(bitmap->Width), static_cast<float>(bitmap->Height));
        TB_Canvas* title = m_title;
        m_title->Paint.Add([bitmap, title](TB_PaintEventArg& arg) {
            // The canvas spans the strip; where the bitmap ends, the strip's ground shows.
            arg.Graphics->Clear(title->BackgroundColor);
            arg.Graphics->DrawImage(bitmap,
                                    TB_Rectangle<float>{0, 0, static_cast<float>(bitmap->Width),
                                                        static_cast<float>(bitmap->Height)},
                                    TB_Rectangle<float>{0, 0, static_cast<float>(bitmap->Width),
                                                        static_cast<float>(bitmap->Height)});
        });
    }

    for (TB_NativeWidget* child : std::initializer_list<TB_NativeWidget*>{
             m_thumbnail, m_selector, m_importButton, m_menuButton, m_searchBox, m_countLabel,
             m_favButton, m_filterButton, m_title}) {
        if (child) {
            strip->AddChild(child);
        }
    }
    float height =
        fieldHeight + 4 * s + 4 * s + m_filterButton->GetHeight() + m_appearance.ExtraHeight * s;
    strip->SetSize(strip->GetWidth(), height);
    strip->Resized.Add(this, &TC_VoiceDataListPanel::LayoutTopStrip);
}

void TC_VoiceDataListPanel::LayoutTopStrip(TB_EventArg&) {
    float s = Scale();
    float m = 4 * s;
    float width = GetTopArea()->GetClientSize().x;
    float selectorHeight = m_selector->GetHeight();
    float searchHeight = m_searchBox->GetHeight();
    float side = selectorHeight + searchHeight + m;
    m_thumbnail->SetBounds(TB_Rectangle<float>{0, m, side, side});
    float y2 = selectorHeight + 2 * m;
    m_filterButton->SetPosition(width - m_filterButton->GetWidth(), y2);
    m_favButton->SetPosition(m_filterButton->GetX() - m_favButton->GetWidth(), y2);
    float x1 = m_thumbnail->GetRight() + m;
    float countRight = m_favButton->GetX() - m;
    float countWidth = m_countLabel->Text.IsEmpty() ? 0 : m_countLabel->GetWidth();
    m_countLabel->SetPosition(countRight - countWidth,
                              y2 + (searchHeight - m_countLabel->GetHeight()) / 2);
    float searchRight = countWidth > 0 ? countRight - countWidth - m : m_favButton->GetX() - m / 2;
    m_searchBox->SetBounds(
        TB_Rectangle<float>{x1, y2, std::max(0.0f, searchRight - x1), searchHeight});
    if (m_appearance.MenuButtonShown) {
        // Over the right end of the search row (the count takes part of the search box).
        m_importButton->SetPosition(m_favButton->GetX() - m / 2 - searchHeight, m);
        m_menuButton->SetPosition(m_filterButton->GetX(), m);
    } else {
        m_importButton->SetPosition(width - m_importButton->GetWidth() - m / 2, m);
    }
    m_selector->SetBounds(
        TB_Rectangle<float>{x1, m, std::max(0.0f, m_importButton->GetX() - x1), selectorHeight});
    if (m_title) {
        m_title->SetPosition(0, m_filterButton->GetBottom() + m_appearance.UnderlineOffset * s);
        m_title->SetSize(width, m_title->GetHeight());
    }
}

TB_String TC_VoiceDataListPanel::FullPathText(const TC_VoiceData& voice) {
    TB_Uri full;
    voice.GetFullPath(full);
    return full.GetPath();
}

TC_VoiceData* TC_VoiceDataListPanel::VoiceAt(tb_int index) {
    const std::vector<TC_VoiceData*>& voices = m_search.Voices();
    return index >= 0 && index < Count() && static_cast<size_t>(index) < voices.size()
               ? voices[static_cast<size_t>(index)]
               : nullptr;
}

TB_ContentsBoxItem* TC_VoiceDataListPanel::RowItem(tb_int index) {
    TC_VoiceData* voice = VoiceAt(index);
    if (!voice) {
        return nullptr;
    }
    m_row->Show(voice);
    return m_row;
}

void TC_VoiceDataListPanel::CollectCategories(TC_VoiceLibrary* library,
                                              std::vector<TC_VoiceCategory*>& categories) {
    for (TC_VoiceCategory* category : library->Categories) {
        categories.push_back(category);
    }
    for (TC_VoiceLibrary* sub : library->SubLibs) {
        CollectCategories(sub, categories);
    }
}

void TC_VoiceDataListPanel::SetLibrary(TC_VoiceLibrary* library) {
    if (library == m_library) {
        return;
    }
    // The clip of another library plays no more: nothing left on the screen could stop it.
    StopPlayback();
    m_player->Close();
    m_clipLoaded = false;
    m_library = library;
    ShowContents(nullptr);
    m_selector->SetLibrary(library);
    m_selector->Invalidate();
    m_thumbnail->Invalidate();
    OnCurrentLibraryChanged();
}

namespace {

bool AnyPending(const TC_VoiceLibrary* library) {
    return library->Pending ||
           std::any_of(library->SubLibs.begin(), library->SubLibs.end(),
                       [](const TC_VoiceLibrary* sub) { return AnyPending(sub); });
}

}  // namespace

void TC_VoiceDataListPanel::ShowContents(TC_VoiceSearch* prepared) {
    ClearItems(true);
    std::vector<TC_VoiceData*> voices;
    if (m_library) {
        m_library->CollectVoices(voices);
    }
    // Prepared once here (or by the loader) so that a keystroke never walks the clips' texts
    // again.
    if (prepared && prepared->Covers(voices)) {
        m_search = std::move(*prepared);
    } else {
        m_search.Build(voices);
    }
    SetRowCount(static_cast<tb_int>(m_search.Count()));
    UpdateCategoryWidth();
    ApplyFilter();
    UpdateWatch();
    TC_App* app = TC_App::Instance();
    if (app && m_library && AnyPending(m_library)) {
        // The library on the screen is read before the others still waiting.
        if (!app->Loader().IsReading(m_library)) {
            app->QueueLoad(m_library, TC_LoadReason::Start, true);
        }
        m_progress->Start();
    }
}

bool TC_VoiceDataListPanel::IsLoading() {
    return m_library && AnyPending(m_library);
}

void TC_VoiceDataListPanel::UpdateWatch() {
    std::vector<std::string> paths;
    bool poll = false;
    bool away = false;
    bool touched = false;
    // What changed since a library was read, while nothing watched it (a read that ran, or
    // another library on the screen), told nobody: it is read again. The margin covers file
    // systems whose clock for times lags a tick behind.
    auto changedSince = [](const std::string& path, tb_int64 readNs) {
        constexpr tb_int64 kMargin = 50'000'000;
        struct stat info {};
        return readNs > 0 && ::stat(path.c_str(), &info) == 0 &&
               info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec >= readNs - kMargin;
    };
    std::function<void(TC_VoiceLibrary*)> collect = [&](TC_VoiceLibrary* library) {
        if (library->Type != TC_VoiceLibraryType::Group) {
            if (library->Sources.empty() && !library->Pending) {
                // Read here rather than by the loader (an import): where it lies is looked up too.
                library->Sources = TC_VoiceLoader::SourcesOf(library);
                library->NeedsPolling = !library->Sources.empty() &&
                                        TC_LibraryLoader::NeedsPolling(library->Sources[0]);
            }
            paths.insert(paths.end(), library->Sources.begin(), library->Sources.end());
            touched = touched || std::any_of(library->Sources.begin(), library->Sources.end(),
                                             [&](const std::string& path) {
                                                 return changedSince(path, library->ReadNs);
                                             });
            // Gone folders and network mounts tell nothing: they are looked at instead.
            away = away || !library->Available;
            poll = poll || library->NeedsPolling || away;
        }
        for (TC_VoiceLibrary* sub : library->SubLibs) {
            collect(sub);
        }
    };
    if (m_library && !AnyPending(m_library)) {
        collect(m_library);
    }
    m_parents.clear();
    m_roots.clear();
    m_sources = paths;
    std::vector<std::string> watched = paths;
    std::function<void(TC_VoiceLibrary*)> mark = [&](TC_VoiceLibrary* library) {
        if (library->Type != TC_VoiceLibraryType::Group && !library->Sources.empty()) {
            const std::string& root = library->Sources[0];
            struct stat info {};
            bool exists = ::stat(root.c_str(), &info) == 0;
            m_roots.push_back({root, exists, info.st_dev, info.st_ino});
            size_t slash = root.rfind('/');
            std::string parent = slash == 0 ? "/" : root.substr(0, slash);
            if (slash != std::string::npos &&
                std::find(m_parents.begin(), m_parents.end(), parent) == m_parents.end()) {
                m_parents.push_back(parent);
                watched.push_back(parent);
            }
        }
        for (TC_VoiceLibrary* sub : library->SubLibs) {
            mark(sub);
        }
    };
    if (m_watch && !poll && m_library && !AnyPending(m_library)) {
        mark(m_library);
    }
    if (m_watch) {
        m_watch->SetPaths(poll ? std::vector<std::string>() : watched);
    }
    if (TC_App* app = TC_App::Instance()) {
        app->Loader().SetPolled(poll || !m_watch ? paths : std::vector<std::string>(),
                                away || touched);
    }
    if (touched && m_watch && !poll) {
        FollowDisk();
    }
}

void TC_VoiceDataListPanel::FollowDisk(const std::string& path) {
    if (!m_library) {
        return;
    }
    bool parentOnly = std::find(m_parents.begin(), m_parents.end(), path) != m_parents.end() &&
                      std::find(m_sources.begin(), m_sources.end(), path) == m_sources.end();
    if (parentOnly) {
        // Only a root that went, came or was replaced matters among its neighbours' news,
        // which may go on (a busy folder): they never put off a read already due.
        if (m_settle->Running) {
            return;
        }
        bool moved = std::any_of(m_roots.begin(), m_roots.end(), [](const RootMark& mark) {
            struct stat info {};
            bool exists = ::stat(mark.Root.c_str(), &info) == 0;
            return exists != mark.Exists ||
                   (exists && (info.st_dev != mark.Device || info.st_ino != mark.Inode));
        });
        if (!moved) {
            return;
        }
    }
    // A burst (a thousand files copied in) is read once, when it has settled for a moment,
    // but a long one is not waited out for more than a second.
    constexpr tb_uint64 kSettle = 300;
    constexpr tb_uint64 kLongest = 1000;
    tb_uint64 now = TB_GetPlatform().Milliseconds();
    if (!m_settle->Running) {
        m_firstChange = now;
    }
    tb_int wait =
        static_cast<tb_int>(std::min(kSettle, kLongest - std::min(kLongest, now - m_firstChange)));
    m_settle->Stop();
    m_settle->SetInterval(std::max<tb_int>(wait, 1));
    m_settle->Start();
}

void TC_VoiceDataListPanel::TakeLoadedLibraries() {
    TC_App* app = TC_App::Instance();
    // The filter popup holds the categories of the clips on show, and a message shown below
    // takes posts in its loop: what is read waits for them, and is taken after.
    if (!app || m_takingLoaded || m_filterPopup) {
        return;
    }
    m_takingLoaded = true;
    for (auto batch = app->Loader().Take(); !batch.empty(); batch = app->Loader().Take()) {
        for (std::unique_ptr<TC_LoadedLibrary>& loaded : batch) {
            TakeLoaded(*app, *loaded);
        }
    }
    m_takingLoaded = false;
}

void TC_VoiceDataListPanel::TakeLoaded(TC_App& app, TC_LoadedLibrary& loadedRead) {
    TC_LoadedLibrary* loaded = &loadedRead;
    {
        TC_VoiceLibraryList& list = app.VoiceLibraries();
        bool shown = m_library && !loaded->Serials.empty() &&
                     list.IsListed(loaded->Target, loaded->Serials[0]) &&
                     (loaded->Target->Holds(m_library) || m_library->Holds(loaded->Target));
        ViewPlace place;
        if (shown) {
            // The rows go before the clips they show.
            place = TakeViewPlace();
            m_reloading = true;
            m_reloadedClip = place.Clip;
            ClearItems(true);
        }
        list.Adopt(*loaded);
        if (shown && loaded->Reason == TC_LoadReason::Disk) {
            ++m_diskReloads;
            TB_DebugPrint(u"Library read again after a change on disk: %T (%d clips)",
                          &m_library->Name, loaded->ClipCount);
        }
        if (shown) {
            ShowContents(loaded->Target == m_library ? &loaded->Search : nullptr);
        }
        // Only now nothing points to the old clips any more.
        app.Loader().Discard(std::move(loaded->Contents));
        if (shown) {
            ApplyViewPlace(place);
            m_reloading = false;
            if (TC_VoiceData* voice = CurrentVoice()) {
                RecheckExists(voice);  // the read may be older than the last look at it
            } else if (m_clipLoaded) {
                TB_EventArg none;
                LoadSelected(none);  // its clip is gone from the disk: it stops
            }
        }
        m_selector->LibrariesChanged();  // names and thumbnails may be new
        m_thumbnail->Invalidate();
        if (loaded->Reason != TC_LoadReason::Disk) {
            for (const TC_PendingMessage& message : loaded->Messages) {
                TC_ShowMessage(this, message.Text, message.Title, message.Style);
            }
        }
        if (shown && loaded->Reason == TC_LoadReason::User) {
            ReportMissingFolders(m_library);
        }
    }
}

void TC_VoiceDataListPanel::FlattenLibraries(std::vector<TC_VoiceLibrary*>& list) {
    std::function<void(TC_VoiceLibrary*)> add = [&](TC_VoiceLibrary* library) {
        list.push_back(library);
        for (TC_VoiceLibrary* sub : library->SubLibs) {
            add(sub);
        }
    };
    if (m_selector->Libs) {
        for (TC_VoiceLibrary* library : *m_selector->Libs) {
            add(library);
        }
    }
}

void TC_VoiceDataListPanel::RestorePlace(const TB_String& folder, tb_int index) {
    std::vector<TC_VoiceLibrary*> flat;
    FlattenLibraries(flat);
    for (TC_VoiceLibrary* library : flat) {
        if (library->RootPath.GetUri() == folder) {
            SetLibrary(library);
            break;
        }
    }
    if (index >= 0 && index < static_cast<tb_int>(flat.size())) {
        SetLibrary(flat[static_cast<size_t>(index)]);
    }
}

tb_int TC_VoiceDataListPanel::CurrentLibraryIndex() {
    std::vector<TC_VoiceLibrary*> flat;
    FlattenLibraries(flat);
    auto found = std::find(flat.begin(), flat.end(), m_library);
    return m_library && found != flat.end() ? static_cast<tb_int>(found - flat.begin()) : -1;
}

void TC_VoiceDataListPanel::UpdateCategoryWidth() {
    m_categoryWidth = 0;
    if (!m_library) {
        return;
    }
    std::vector<TC_VoiceCategory*> categories;
    CollectCategories(m_library, categories);
    float s = Scale();
    TB_NativeBitmap scratch(1, 1);
    scratch.Allocate();
    TB_Graphics g(&scratch);
    g.Font = m_listFont;
    for (TC_VoiceCategory* category : categories) {
        // A margin of c on both sides of the name, as the text starts c into the column.
        m_categoryWidth = std::max(m_categoryWidth, g.MeasureString(category->Name).x + 16 * s);
    }
    m_categoryWidth = std::min(m_categoryWidth, GetCanvas()->GetWidth() / 2);
    GetCanvas()->Invalidate();
}

void TC_VoiceDataListPanel::ApplyFilter() {
    m_search.Match(m_searchBox->Text.View(), m_favouritesOnly, m_visible);
    ShowRows(m_visible);
    m_prefetchedAt = -1;
    UpdateCount();
    OnTransportChanged();
}

void TC_VoiceDataListPanel::LoadSelected(TB_EventArg&) {
    TC_VoiceData* voice = CurrentVoice();
    if (m_reloading) {
        // The rows are being replaced: the clip goes on playing while it is chosen again.
        if (!voice) {
            return;
        }
        if (m_clipLoaded && FullPathText(*voice) == m_reloadedClip) {
            RecheckExists(voice);
            ShowFavourite(voice);
            return;
        }
    }
    m_clipLoaded = false;
    m_startPosition = 0;
    StopPlayback();
    if (!voice) {
        m_favButton->SetEnable(false);
        OnTransportChanged();
        return;
    }
    TB_String path = FullPathText(*voice);
    // The disk, not the flag of the last load: files come and go while the program runs.
    RecheckExists(voice);
    if (voice->Exists) {
        m_clipLoaded = m_player->Open(path) == 0;
    } else {
        m_player->Close();
    }
    ShowFavourite(voice);
    OnTransportChanged();
}

void TC_VoiceDataListPanel::ShowFavourite(TC_VoiceData* voice) {
    m_favButton->SetEnable(true);
    if (m_favButton->Selected != voice->Favorite) {
        m_favButton->Selected = voice->Favorite;
        m_favButton->OnSelectedChanged();
        m_favButton->Invalidate();
    }
}

void TC_VoiceDataListPanel::OnListClick(TB_MouseEventArg& arg) {
    if (!arg.Left) {
        return;
    }
    const TB_Rectangle<float>& hint = m_emptyRect;
    if (!m_library && arg.X >= hint.x && arg.X <= hint.x + hint.width && arg.Y >= hint.y &&
        arg.Y <= hint.y + hint.height) {
        ImportFolder();
        return;
    }
    if (auto* item = static_cast<TC_VoiceDataItem*>(ItemAtPoint(arg.X, arg.Y))) {
        TB_Graphics* g = TB_GetMeasureGraphics();
        item->FavRect = g ? item->StarArea(*g, item->Rect) : item->FavRect;
        const TB_Rectangle<float>& r = item->FavRect;
        if (arg.X >= r.x && arg.X <= r.x + r.width && arg.Y >= r.y && arg.Y <= r.y + r.height) {
            item->Voice->Favorite = !item->Voice->Favorite;
            GetCanvas()->Invalidate();
        }
    }
    TC_VoiceData* voice = CurrentVoice();
    if (voice && m_favButton->Selected != voice->Favorite) {
        m_favButton->Selected = voice->Favorite;
        m_favButton->OnSelectedChanged();
        m_favButton->Invalidate();
    }
}

void TC_VoiceDataListPanel::OnFavouriteChanged(TB_EventArg&) {
    if (TC_VoiceData* voice = CurrentVoice()) {
        voice->Favorite = m_favButton->Selected;
        GetCanvas()->Invalidate();
    }
}

void TC_VoiceDataListPanel::StopPlayback() {
    TB_PlayerState state = m_player->GetState();
    if (state == TB_PlayerState::Playing || state == TB_PlayerState::Paused) {
        m_player->Stop();
        m_player->SetPosition(0);
    }
}

void TC_VoiceDataListPanel::SeekTo(double seconds) {
    if (!m_clipLoaded || !std::isfinite(seconds)) {
        return;
    }
    double length = m_player->GetDuration();
    seconds = std::max(0.0, length > 0 ? std::min(seconds, length) : seconds);
    if (!m_player->IsPlaying()) {
        m_startPosition = seconds;
    }
    m_player->SetPosition(seconds);
}

double TC_VoiceDataListPanel::PlayheadPosition() {
    return m_player->IsPlaying() ? m_player->GetPosition() : m_startPosition;
}

TB_String TC_VoiceDataListPanel::DurationText(const TC_VoiceData& voice, bool ask) {
    TC_App* app = TC_App::Instance();
    if (!app) {
        return TB_String();
    }
    double seconds = app->SoundInfo().Duration(FullPathText(voice).ToStdString(), ask);
    if (seconds == TC_SoundInfo::kUnknown) {
        return TB_String();
    }
    return seconds < 0 ? TB_String(u"—") : TC_WaveformStrip::FormatTime(seconds);
}

float TC_VoiceDataListPanel::DurationColumnWidth(TB_Graphics& graphics) {
    if (m_durationWidth <= 0) {
        m_durationWidth = graphics.MeasureString(TB_String(u"00:00.0")).x + 8 * Scale();
    }
    return m_durationWidth;
}

void TC_VoiceDataListPanel::PrefetchDurations() {
    TC_App* app = TC_App::Instance();
    const std::vector<tb_int>& shown = ShownIndices();
    tb_int first = FirstRowInView();
    constexpr tb_int kAhead = 3000, kBehind = 1000, kMoved = 500;
    if (!app || shown.empty() ||
        (m_prefetchedAt >= 0 && std::abs(first - m_prefetchedAt) < kMoved)) {
        return;
    }
    m_prefetchedAt = first;
    // The rows below the view first (where people scroll), then those above it.
    auto count = static_cast<tb_int>(shown.size());
    std::vector<std::string> paths;
    TC_VoicePathBuilder builder;  // joins as text: thousands of paths per jump
    auto add = [&](tb_int row) {
        paths.push_back(builder.NativePath(*VoiceAt(shown[static_cast<size_t>(row)])));
    };
    for (tb_int row = first; row < std::min(count, first + kAhead); ++row) {
        add(row);
    }
    for (tb_int row = first - 1; row >= std::max(0, first - kBehind); --row) {
        add(row);
    }
    app->SoundInfo().Prefetch(std::move(paths));
}

void TC_VoiceDataListPanel::UpdateCount() {
    TB_String text;
    if (m_library) {
        auto shown = static_cast<tb_int>(ShownIndices().size());
        text.Format(u"%d / %d", shown, Count());
    }
    if (!(text == m_countLabel->Text)) {
        m_countLabel->AutoSize = true;
        m_countLabel->SetText(text);
        TB_EventArg none;
        LayoutTopStrip(none);
    }
    m_filterButton->Invalidate();
}

bool TC_VoiceDataListPanel::CategoriesFiltered() {
    if (!m_library) {
        return false;
    }
    std::vector<TC_VoiceCategory*> categories;
    CollectCategories(m_library, categories);
    return std::any_of(categories.begin(), categories.end(),
                       [](const TC_VoiceCategory* category) { return !category->Active; });
}

TB_String TC_VoiceDataListPanel::EmptyText() {
    if (!m_library) {
        return TB_String(u"＋ を押して、音声のあるフォルダを追加してください");
    }
    if (Count() == 0 && IsLoading()) {
        tb_int read = TC_App::Instance() ? TC_App::Instance()->Loader().Progress() : 0;
        TB_String text(u"ライブラリを読み込んでいます…");
        if (read > 0) {
            text.Format(u"ライブラリを読み込んでいます… %d 件", read);
        }
        return text;
    }
    if (Count() == 0) {
        return TB_String(u"このライブラリには音声がありません");
    }
    if (ShownIndices().empty()) {
        return TB_String(u"条件に合う音声がありません");
    }
    return TB_String();
}

void TC_VoiceDataListPanel::PaintEmpty(TB_Graphics& g, const TB_Rectangle<float>& area) {
    TB_String text = EmptyText();
    m_emptyRect = {0, 0, 0, 0};
    if (text.IsEmpty()) {
        return;
    }
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    TB_Font* font = g.Font;
    TB_Brush* brush = g.Brush;
    g.Font = m_listFont;
    TB_SolidBrush dim(style.ContentsDisabledItemForeColor);
    TB_SolidBrush link(style.FocusFrame);
    g.Brush = m_library ? &dim : &link;  // the hint to add a folder can be clicked
    TB_Vector2 size = g.MeasureString(text);
    m_emptyRect = {area.x + std::max(0.0f, (area.width - size.x) / 2), area.y + 24 * Scale(),
                   size.x, size.y};
    g.DrawString(text, TB_Vector2{m_emptyRect.x, m_emptyRect.y});
    g.Font = font;
    g.Brush = brush;
}

bool TC_VoiceDataListPanel::PlaySelected() {
    bool played = PlayCurrent();
    OnTransportChanged();
    return played;
}

bool TC_VoiceDataListPanel::PlayCurrent() {
    TC_VoiceData* voice = CurrentVoice();
    if (!voice) {
        m_player->SetPosition(0);
        m_player->Play();
        return true;
    }
    TB_String path = FullPathText(*voice);
    bool existed = voice->Exists;
    if (!RecheckExists(voice)) {
        m_clipLoaded = false;
        m_player->Close();
        std::u16string text =
            u"ファイル「" + std::u16string(TB_DisplayText(path).View()) + u"」が見つかりません。";
        TC_ShowMessage(this, TB_String(text.c_str()), kMessageTitle, TB_MB_OK | TB_MB_ICONERROR);
        return false;
    }
    if (!m_clipLoaded || !existed) {
        // Back since it was selected (or replaced): opened now, as a selection would.
        StopPlayback();
        m_clipLoaded = m_player->Open(path) == 0;
    }
    if (!m_clipLoaded) {
        std::u16string text = u"ファイル「" + std::u16string(TB_DisplayText(path).View()) +
                              u"」は再生できません。ファイルが破損している可能性があります。";
        TC_ShowMessage(this, TB_String(text.c_str()), kMessageTitle, TB_MB_OK | TB_MB_ICONERROR);
        return false;
    }
    // A place chosen while stopped is where this play starts; the next starts from the top.
    m_player->SetPosition(m_startPosition);
    m_startPosition = 0;
    m_player->Play();
    // It goes on into a silent output that keeps time, so the transport behaves the same;
    // the user learns once why nothing is heard.
    if (TB_TakeAudioOutputMissingNotice()) {
        const char16_t* text = u"音声を出力できません。出力デバイスが見つかりません。";
        TB_Error::Report(2, 11, text, TB_SOURCE_NAME, __LINE__);
        TC_ShowMessage(this, TB_String(text), kMessageTitle, TB_MB_OK | TB_MB_ICONWARNING);
    }
    return true;
}

bool TC_VoiceDataListPanel::OpenInFileManager() {
    TC_VoiceData* voice = CurrentVoice();
    if (!voice) {
        return false;
    }
    TB_Uri full;
    voice->GetFullPath(full);
    std::string native;
    TB_AppendUtf8(native, full.GetPath().View());
    TB_Uri folder;
    full.GetParent(folder);
    TB_String shown = TB_DisplayText(folder.GetPath());
    // Answered later, when the panel may be gone: the handler holds only the folder's text.
    TB_ShowInFileManager(native, [shown](TB_RevealResult result) {
        if (result == TB_RevealResult::Failed) {
            std::u16string text =
                u"フォルダーを開けませんでした。\n" + std::u16string(shown.View());
            TB_Error::Report(2, 9, TB_String(text.c_str()).Chars(), TB_SOURCE_NAME, __LINE__);
            TC_ShowMessage(nullptr, TB_String(text.c_str()), kMessageTitle,
                           TB_MB_OK | TB_MB_ICONWARNING);
        }
    });
    return true;
}

bool TC_VoiceDataListPanel::RecheckExists(TC_VoiceData* voice) {
    TB_Uri full;
    voice->GetFullPath(full);
    bool exists = full.IsFile();
    if (exists != voice->Exists) {
        voice->Exists = exists;
        GetCanvas()->Invalidate();
    }
    return exists;
}

TC_VoiceDataListPanel::ViewPlace TC_VoiceDataListPanel::TakeViewPlace() {
    ViewPlace place;
    if (TC_VoiceData* voice = CurrentVoice()) {
        place.Clip = FullPathText(*voice);
        place.ClipRelative = voice->RelFilePath;
    }
    const std::vector<tb_int>& shown = ShownIndices();
    tb_int top = FirstRowInView();
    if (top >= 0 && top < static_cast<tb_int>(shown.size())) {
        TC_VoiceData* voice = VoiceAt(shown[static_cast<size_t>(top)]);
        place.Top = FullPathText(*voice);
        place.TopRelative = voice->RelFilePath;
    }
    return place;
}

void TC_VoiceDataListPanel::ApplyViewPlace(const ViewPlace& place) {
    m_restoringView = true;
    // The relative path first: the full one is made only for a row that may be the one.
    auto is = [this](tb_int index, const TB_String& relative, const TB_String& full) {
        TC_VoiceData* voice = VoiceAt(index);
        return !relative.IsEmpty() && voice->RelFilePath == relative &&
               FullPathText(*voice) == full;
    };
    for (tb_int index = 0; index < Count(); ++index) {
        if (is(index, place.ClipRelative, place.Clip)) {
            SelectIndex(index);
            break;
        }
    }
    const std::vector<tb_int>& shown = ShownIndices();
    for (size_t row = 0; row < shown.size(); ++row) {
        if (is(shown[row], place.TopRelative, place.Top)) {
            ScrollRowToTop(static_cast<tb_int>(row));
            break;
        }
    }
    m_restoringView = false;
}

void TC_VoiceDataListPanel::ReloadLibrary() {
    TC_VoiceLibrary* library = m_library;
    if (!library) {
        return;
    }
    // Read on the loader's thread like a change on disk, but what is missing is then said.
    if (TC_App* app = TC_App::Instance()) {
        app->SoundInfo().Revalidate();  // files may have changed as well as come and gone
        app->QueueLoad(library, TC_LoadReason::User, true);
        return;
    }
    ViewPlace place = TakeViewPlace();
    SetLibrary(nullptr);
    // The favourites survive the new clips; a folder that went away keeps its entry.
    std::vector<std::u16string> kept;
    TC_VoiceLibraryList::Refresh(library, kept, nullptr);
    SetLibrary(library);
    ApplyViewPlace(place);
    ReportMissingFolders(library);
}

void TC_VoiceDataListPanel::ReportMissingFolders(TC_VoiceLibrary* library) {
    std::u16string text;
    std::function<void(TC_VoiceLibrary*)> collect = [&](TC_VoiceLibrary* lib) {
        if (!lib->Available) {
            // A table library names its table when only the table is gone.
            const TB_Uri& missing =
                lib->Type == TC_VoiceLibraryType::Csv && lib->RootPath.IsDirectory()
                    ? lib->InfoFilePath
                    : lib->RootPath;
            TB_String shown = TB_DisplayText(missing.GetPath());
            text += (text.empty() ? u"" : u"\n") + std::u16string(u"フォルダ「") +
                    std::u16string(shown.View()) + u"」が見つかりません。";
        }
        for (TC_VoiceLibrary* sub : lib->SubLibs) {
            collect(sub);
        }
    };
    collect(library);
    if (!text.empty()) {
        TC_ShowMessage(this, TB_String(text.c_str()), kMessageTitle, TB_MB_OK | TB_MB_ICONWARNING);
    }
}

void TC_VoiceDataListPanel::ImportFolder() {
    auto dialog = TB_Ref<TB_FolderDialog>::Adopt(new TB_FolderDialog());
    if (m_library) {
        dialog->InitialFolder = m_library->RootPath;
    }
    if (dialog->ShowDialog(OwnerFrame()) != 1) {
        return;
    }
    auto library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    library->Type = TC_VoiceLibraryType::Folder;
    library->RootPath = dialog->SelectedFolder;
    if (!TC_VoiceLoader::LoadLibrary(library.Get(), true)) {
        return;  // not a folder, or nothing loadable: dropped without a word
    }
    TC_VoiceLibraryEventArg arg;
    arg.Kind = 0;
    arg.Library = library.Get();
    OnLibraryAdded(arg);
}

TB_Frame* TC_VoiceDataListPanel::OwnerFrame() {
    for (TB_Widget* widget = this; widget; widget = widget->Parent) {
        if (auto* frame = dynamic_cast<TB_Frame*>(widget)) {
            return frame;
        }
    }
    return nullptr;
}

namespace {

// The filter popup: between the favourites box and the buttons, the category boxes scroll
// when the screen has no room for all of them.
class FilterPopup : public TB_PopupPanel {
public:
    void FitInto(float maxHeight) override {
        float cut = Height - std::floor(maxHeight);
        float row = Categories->Step;
        cut = std::min(cut, Categories->Height - row);  // at least one box stays in sight
        if (cut <= 0) {
            return;
        }
        float widen = Categories->Scrolls() ? 0 : Categories->BarWidth();
        Categories->SetSize(Categories->Width + widen, Categories->Height - cut);
        for (TB_NativeWidget* button : Buttons) {
            button->SetPosition(button->X, button->Y - cut);
        }
        SetSize(Width + widen, Height - cut);
    }

    TB_ScrollPanel* Categories = nullptr;   // child
    std::vector<TB_NativeWidget*> Buttons;  // children
};

}  // namespace

void TC_VoiceDataListPanel::ShowFilterPopup() {
    if (!m_library) {
        return;
    }
    float s = Scale();
    auto popup = TB_Ref<FilterPopup>::Adopt(new FilterPopup());
    popup->Id = u"VoiceCategoryPanel";
    auto* favourites = new TB_CheckBox(u"お気に入り のみ");
    favourites->SetToolTip(u"favFilter");
    favourites->SetPosition(8 * s, 8 * s);
    favourites->Checked = m_favouritesOnly;
    favourites->CheckedChanged.Add([this, favourites](TB_EventArg&) {
        m_favouritesOnly = favourites->Checked;
        ApplyFilter();
    });
    popup->AddChild(favourites);

    // One box per category name, in first-seen order; later namesakes follow the first.
    std::vector<TC_VoiceCategory*> categories;
    CollectCategories(m_library, categories);
    std::vector<TC_VoiceDataListPanelCatCheckBox*> boxes;
    auto* scroller = new TB_ScrollPanel();
    scroller->Id = u"categories";
    scroller->BackgroundColor = popup->BackgroundColor;
    float y = 0;
    float widest = favourites->GetWidth();
    for (TC_VoiceCategory* category : categories) {
        auto same = std::find_if(boxes.begin(), boxes.end(),
                                 [category](auto* box) { return box->Text == category->Name; });
        if (same != boxes.end()) {
            (*same)->Categories.Add(category);
            category->Active = (*same)->Checked;
            continue;
        }
        auto* box = new TC_VoiceDataListPanelCatCheckBox(category->Name);
        box->Categories.Add(category);
        box->Checked = category->Active;
        box->SetPosition(0, y);
        y += box->GetHeight();
        scroller->Step = box->GetHeight();
        widest = std::max(widest, box->GetWidth());
        box->CheckedChanged.Add([this, box](TB_EventArg&) {
            for (TC_VoiceCategory* member : box->Categories) {
                member->Active = box->Checked;
            }
            ApplyFilter();
        });
        boxes.push_back(box);
        scroller->AddContent(box);
    }
    float top = favourites->GetBottom() + 8 * s;
    scroller->SetBounds(8 * s, top, widest, y);
    scroller->SetContentSize(widest, y);
    popup->Categories = scroller;
    popup->AddChild(scroller);
    y += top;
    auto* allOn = new TB_Button(u"全てオン");
    allOn->Id = u"allOn";
    allOn->SetBounds(TB_Rectangle<float>{8 * s, y + 6 * s, 60 * s, 22 * s});
    auto* allOff = new TB_Button(u"全てオフ");
    allOff->Id = u"allOff";
    allOff->SetBounds(TB_Rectangle<float>{allOn->GetRight() + 4, y + 6 * s, 60 * s, 22 * s});
    allOn->Click.Add([boxes](TB_MouseEventArg&) {
        for (auto* box : boxes) {
            box->SetChecked(true);
        }
    });
    allOff->Click.Add([boxes](TB_MouseEventArg&) {
        for (auto* box : boxes) {
            box->SetChecked(false);
        }
    });
    popup->AddChild(allOn);
    popup->AddChild(allOff);
    popup->Buttons = {allOn, allOff};
    float width = 16 * s + std::max(widest, allOff->GetRight());
    float height = std::floor(8 * s + allOff->GetBottom());
    popup->SetSize(width, height);
    popup->Shown.Add([this](TB_EventArg& arg) { FilterPopupShown.Fire(arg); });
    m_filterPopup = popup.Get();
    popup->ShowModal(m_filterButton, TB_Vector2{0, m_filterButton->GetHeight()});
    m_filterPopup = nullptr;
    TakeLoadedLibraries();  // what was read while it was open
}

void TC_VoiceDataListPanel::PaintThumbnail(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    g.Clear(m_thumbnail->BackgroundColor);
    if (!m_library || !m_library->Thumbnail) {
        return;
    }
    TB_Bitmap32* source = m_library->Thumbnail;
    float side = std::min(m_thumbnail->GetWidth(), m_thumbnail->GetHeight());
    TB_Rectangle<float> fit =
        TC_ThumbnailCache::FitSquare(0, 0, side, source->Width, source->Height);
    TB_NativeBitmap* scaled = m_selector->Thumbnail(m_library, static_cast<tb_int>(fit.width),
                                                    static_cast<tb_int>(fit.height));
    if (scaled) {
        fit.x += (m_thumbnail->GetWidth() - side) / 2;
        fit.y += (m_thumbnail->GetHeight() - side) / 2;
        g.DrawImage(scaled, fit, TB_Rectangle<float>{0, 0, fit.width, fit.height});
    }
}

bool TC_VoiceDataListPanel::Inspect(TB_IPropertyVisitor& visitor) {
    if (m_library) {
        visitor.WriteString(u"Library", m_library->Name);
    } else {
        visitor.WriteNull(u"Library");
    }
    visitor.WriteBool(u"FavouritesOnly", m_favouritesOnly);
    visitor.WriteString(u"SearchText", m_searchBox->Text);
    TC_VoiceData* voice = CurrentVoice();
    if (voice) {
        visitor.WriteString(u"CurrentVoice", voice->RelFilePath);
    } else {
        visitor.WriteNull(u"CurrentVoice");
    }
    visitor.WriteBool(u"ClipLoaded", m_clipLoaded);
    visitor.WriteBool(u"Loading", IsLoading());
    visitor.WriteInt(u"DiskReloads", m_diskReloads);
    visitor.WriteString(u"EmptyText", EmptyText());
    visitor.WriteRectangle(u"EmptyRect", m_emptyRect);
    visitor.WriteBool(u"CategoriesFiltered", CategoriesFiltered());
    return TB_ContentsBox::Inspect(visitor);
}
