#include "lv_frame.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "lv_rightsdialog.h"
#include "lv_style.h"
#include "tb_actionlist.h"
#include "tb_dropdata.h"
#include "tb_error.h"
#include "tb_filemanager.h"
#include "tb_globalstyle.h"
#include "tb_media.h"
#include "tb_menupanel.h"
#include "tb_messageloop.h"
#include "tb_platform.h"
#include "tb_screen.h"
#include "tc_app.h"
#include "tc_messagebox.h"
#include "tc_voiceloader.h"

std::string LV_Frame::GuideFolder;
std::vector<std::string> LV_Frame::StartFolders;
std::optional<TC_VoiceDataListPanel::ViewPlace> LV_Frame::KeptView;

namespace {

constexpr const char16_t* kTitle = u"ルモヴォクスアプリ";

enum IconBase { Saisei = 0, Teishi, Skip, Modoru, I001, I002, I003, I004, I004b, I005, I006, Open };

TC_AppSettings* Settings() {
    return TC_App::Instance() ? &TC_App::Instance()->Settings() : nullptr;
}

}  // namespace

LV_Frame::LV_Frame() {
    // 1. The appearance block, black item colours, the menu list.
    m_itemColors[0] = m_itemColors[1] = TB_Color{0, 0, 0, 1};
    m_menu = new TB_MenuItemList();
    m_postTarget = GetPostTarget();
    m_postTarget->AddRef();  // media threads post through it
    Id = u"mainFrame";

    // 2. The style: reset, scale, colours.
    TC_AppSettings* settings = Settings();
    TB_Color background = TB_GetGlobalStyle().WidgetBackground;
    if (settings) {
        LV_BuildStyle(this, *settings, m_appearance, background);
    }
    m_itemColors[0] = TB_GetGlobalStyle().ContentsItemColor1;
    m_itemColors[1] = TB_GetGlobalStyle().ContentsItemColor2;
    BackgroundColor = background;
    FillBackground = true;

    // 3.-5. Title, icons, sizes.
    Text = kTitle;
    float s = TB_GetGlobalStyle().Scale;
    LoadIcons();
    m_margin = 20 * s;

    // 6. The clip list.
    m_panel = new TC_VoiceDataListPanel(m_appearance);
    m_panel->AccessibleName = u"音声一覧";
    m_panel->Id = u"voiceDataListPanel";
    m_panel->ItemColors[0] = m_itemColors[0];
    m_panel->ItemColors[1] = m_itemColors[1];
    m_panel->GetMenuButton()->Click.Add([this](TB_MouseEventArg&) {
        TB_Button* button = m_panel->GetMenuButton();
        ShowPopup(new TB_MenuPanel(m_menu), button, TB_Vector2{0, button->GetHeight()}, 0);
    });
    // Enter on the rows, or a double click whose presses both hit the current row.
    m_panel->ItemActivated.Add([this](TB_EventArg&) { m_panel->PlaySelected(); });
    AddChild(m_panel);

    // 7. The bottom bar.
    BuildBottomBar();
    m_panel->PlaybackFinished.Add([this](TB_EventArg&) {
        // A media thread: only a post, the transport follows on the GUI thread.
        m_postTarget->Post(new TB_Action([this](TB_EventArg&) { FollowPlayer(); }));
    });
    m_panel->TransportChanged.Add([this](TB_EventArg&) { FollowPlayer(); });
    if (settings) {
        m_volume->SetValue(settings->GetInt(u"PreviewVolume"));
    }
    m_panel->GetPlayer()->SetVolume(m_volume->GetValue() / 100.0);
    m_volume->ValueChanged.Add([this](TB_EventArg&) {
        m_panel->GetPlayer()->SetVolume(m_volume->GetValue() / 100.0);
        if (TC_AppSettings* stored = Settings()) {
            stored->SetInt(u"PreviewVolume", m_volume->GetValue());
        }
    });

    // 8.-11. Libraries, and the place of the last session.
    TC_App* app = TC_App::Instance();
    if (app) {
        // Outlines and lengths come in on the sound info's thread.
        app->SoundInfo().SetListener(m_postTarget, [this] {
            m_strip->Refresh();
            m_panel->GetCanvas()->Invalidate();
        });
        m_panel->GetSelector()->SetLibraries(&app->VoiceLibraries().Libraries());
        // Clips read on the loader's thread, and changes its polling saw.
        app->Loader().SetListener(
            m_postTarget, [this] { m_panel->TakeLoadedLibraries(); },
            [this] { m_panel->FollowDisk(); });
    }
    m_panel->LibraryAdded.Add([this](TC_VoiceLibraryEventArg& arg) { AddLibrary(arg.Library); });
    m_panel->LibraryRemoveRequested.Add(
        [this](TC_VoiceLibraryEventArg& arg) { RequestRemoveLibrary(arg.Library); });
    if (settings) {
        m_panel->RestorePlace(settings->GetText(u"VoiceLibDirPath"),
                              settings->GetInt(u"VoiceLibIndex"));
    }
    m_panel->CurrentLibraryChanged.Add(this, &LV_Frame::StoreLibraryPlace);
    m_panel->SelectionChanged.Add(this, &LV_Frame::UpdateBottomBar);

    // 12. Commands.
    BuildCommands();

    // 13.-14. The window place.
    TB_Rectangle<float> bounds{0, 0, 1280, 1024};
    tb_int state = 1;
    if (settings) {
        TB_Rectangle<float> stored = settings->GetRectangle(u"StartWindowBounds");
        bounds = {std::trunc(stored.x), std::trunc(stored.y), std::trunc(stored.width),
                  std::trunc(stored.height)};
        state = settings->GetInt(u"StartWindowState");
    }
    bounds = FitOnMonitor(bounds, TB_GetPlatform().WorkAreas(), MinimumSize(GuiSize()));
    SetBounds(bounds);
    // Never more than the screen has room for: the window manager would not shrink it.
    TB_Vector2 minimum = MinimumSize(GuiSize());
    minimum = {std::min(minimum.x, bounds.width), std::min(minimum.y, bounds.height)};
    auto minimumSet = std::make_shared<bool>(false);
    Shown.Add([this, minimum, minimumSet](TB_EventArg&) {
        if (!*minimumSet && Window) {
            *minimumSet = true;
            TB_GetPlatform().SetMinimumClientSize(Window, static_cast<tb_int>(minimum.x),
                                                  static_cast<tb_int>(minimum.y));
        }
    });
    SetShowState(state);
    Moved.Add(this, &LV_Frame::StoreWindowPlace);
    Resized.Add(this, &LV_Frame::StoreWindowPlace);

    // 15.-16. Menu and layout.
    BuildMenu();
    Resized.Add(this, &LV_Frame::LayoutMain);
    Shown.Add([this](TB_EventArg&) {
        TB_DebugPrint(u"Main window shown");
        // What the window does not need for its first painting starts now.
        if (TC_App* started = TC_App::Instance()) {
            started->Loader().Hold(false);
        }
        TB_MediaStartInBackground();
        m_panel->TakeLoadedLibraries();  // reads finished before the window could hear of them
    });
    TB_EventArg none;
    LayoutMain(none);
    if (KeptView) {
        m_panel->ApplyViewPlace(*KeptView);
        KeptView.reset();
    }
    UpdateBottomBar(none);
    FinishIcons();
    m_built = true;
    OpenStartFolders();
}

LV_Frame::~LV_Frame() {
    if (m_iconsRead.joinable()) {
        m_iconsRead.join();
    }
    if (Restart) {
        KeptView = m_panel->TakeViewPlace();
    }
    // A clip's end is reported on a media thread into this frame's handlers, which die with it;
    // the panel would close its player only after them.
    m_panel->GetPlayer()->Close();
    if (TC_App* app = TC_App::Instance()) {
        app->SoundInfo().SetListener(nullptr, nullptr);
        app->Loader().SetListener(nullptr, nullptr, nullptr);
        app->Loader().SetPolled({});
        if (app->VoiceLibraries().IsIndexLoaded()) {
            app->SaveIndex();
        }
    }
    m_menu->Release();
    for (TB_Action* command : m_commands) {
        if (Actions) {
            Actions->Remove(command);
        }
        command->Release();
    }
    for (auto& [owner, action] : m_keys) {
        owner->Actions->Remove(action);
        action->Release();
    }
    if (m_titleBitmap) {
        m_titleBitmap->Release();
    }
    for (TB_SvgRenderer*& icon : m_icons) {
        if (icon) {
            icon->Release();
            icon = nullptr;
        }
    }
    m_postTarget->Release();
}

void LV_Frame::LoadIcons() {
    TC_AppSettings* settings = Settings();
    TB_Uri folder = settings ? LV_CurrentStyleFolder(this, *settings, false)
                             : LV_StyleFolder(TB_String(u"light"));
    for (int base = 0; base < LV_kStyleIconBases; ++base) {
        for (int state = 0; state < 4; ++state) {
            m_icons[base * 4 + state] = new TB_SvgRenderer();
            m_iconPaths.push_back(LV_StyleFile(folder, LV_StyleIconFile(base, state)));
        }
    }
    // Parsed beside the rest of the window's building, which only hands the renderers out;
    // FinishIcons waits for them before anything can draw.
    m_iconsRead = std::thread([this] {
        for (size_t i = 0; i < m_iconPaths.size(); ++i) {
            m_iconLoaded[i] = m_icons[i]->LoadFile(m_iconPaths[i]);
        }
    });
    auto set = [this](TB_SvgRenderer** target, int base) {
        for (int state = 0; state < 4; ++state) {
            target[state] = m_icons[base * 4 + state];
        }
    };
    set(m_appearance.ImportIcons, I001);
    set(m_appearance.MenuIcons, I002);
    set(m_appearance.SearchClearIcons, I003);
    set(m_appearance.FavouriteIcons, I004);
    set(m_appearance.FavouriteOnIcons, I004b);
    set(m_appearance.FilterIcons, I005);
    if (LV_LoadStyleBitmap(this, folder, u"title_under_line.png", m_titleBitmap)) {
        m_appearance.TitleBitmap = m_titleBitmap;
    }
}

void LV_Frame::FinishIcons() {
    if (!m_iconsRead.joinable()) {
        return;
    }
    m_iconsRead.join();
    for (size_t i = 0; i < m_iconPaths.size(); ++i) {
        if (!m_iconLoaded[i]) {
            LV_ShowMissingStyleFile(this, m_iconPaths[i]);
        }
    }
    m_iconPaths.clear();
}

void LV_Frame::SetIcons(TB_Button* button, int base) {
    button->ButtonStyle = TB_ButtonStyle::Image;
    button->SetNormalImage(m_icons[base * 4]);
    button->SetHoverImage(m_icons[base * 4 + 1]);
    button->SetPressedImage(m_icons[base * 4 + 2]);
    button->SetDisabledImage(m_icons[base * 4 + 3]);
}

void LV_Frame::BuildBottomBar() {
    float s = TB_GetGlobalStyle().Scale;
    float side = 48 * s;
    m_bottomBar = new TB_NativeContainer();
    m_bottomBar->Id = u"bottomBar";
    m_bottomBar->BackgroundColor = BackgroundColor;
    auto button = [&](const char16_t* caption, const char16_t* id, int base) {
        auto* b = new TB_Button(caption);
        b->Id = id;
        b->SetToolTip(caption);
        b->SetSize(side, side);
        SetIcons(b, base);
        b->SetEnable(false);
        return b;
    };
    m_back = button(u"戻る", u"backButton", Modoru);
    m_play = button(u"再生", u"playButton", Saisei);
    m_next = button(u"次へ", u"nextButton", Skip);
    TC_App* app = TC_App::Instance();
    m_strip = new TC_WaveformStrip(app ? &app->SoundInfo() : nullptr);
    m_strip->Id = u"waveform";
    m_strip->SetSize(400, side);
    m_strip->Seek = [this](double seconds) {
        m_panel->SeekTo(seconds);
        FollowPlayhead();
    };
    m_strip->Tick = [this] { FollowPlayhead(); };
    // As wide as the longest time it shows.
    m_time = new TB_Lable(u"00:00.0 / 00:00.0", 0);
    m_time->Id = u"waveTime";
    m_time->AutoSize = false;
    m_time->SetSize(m_time->GetWidth() + 4 * s, m_time->GetHeight());
    m_time->SetText(TB_String());
    m_strip->TimeLabel = m_time;
    m_volume = new TC_VolumeSlider();
    m_volume->Id = u"volumeSlider";
    m_volume->SetSize(100 * s, side);
    m_lineLabel = new TB_Lable(u"セリフ", 0);
    m_lineLabel->Id = u"lineLabel";
    m_lineBox = new LV_CopyTextBox();
    m_lineBox->Id = u"lineBox";
    m_fileLabel = new TB_Lable(u"ファイル", 0);
    m_fileLabel->Id = u"fileLabel";
    m_fileBox = new LV_CopyTextBox();
    m_fileBox->Id = u"fileBox";
    for (LV_CopyTextBox* box : {m_lineBox, m_fileBox}) {
        SetIcons(box->GetCopyButton(), I006);
    }
    m_lineBox->GetCopyButton()->Id = u"lineCopyButton";
    m_fileBox->GetCopyButton()->Id = u"fileCopyButton";
    m_lineBox->AccessibleName = m_lineBox->TextField->AccessibleName = u"セリフ";
    m_fileBox->AccessibleName = m_fileBox->TextField->AccessibleName = u"ファイル";
    m_lineBox->GetCopyButton()->AccessibleName = u"セリフをコピー";
    m_fileBox->GetCopyButton()->AccessibleName = u"ファイルのパスをコピー";
    float boxSide = m_lineBox->GetHeight();
    m_openFolder = new TB_Button(u"フォルダーを開く");
    m_openFolder->Id = u"bOpenFolder";
    m_openFolder->SetToolTip(u"フォルダーを開く");
    m_openFolder->SetSize(boxSide, boxSide);
    SetIcons(m_openFolder, Open);
    m_openFolder->SetEnable(false);

    m_play->Click.Add([this](TB_MouseEventArg&) { TogglePlay(); });
    m_back->Click.Add([this](TB_MouseEventArg&) { PlayPrevious(); });
    m_next->Click.Add([this](TB_MouseEventArg&) { PlayNext(); });
    m_openFolder->Click.Add([this](TB_MouseEventArg&) { m_panel->OpenInFileManager(); });
    for (TB_NativeWidget* child : std::initializer_list<TB_NativeWidget*>{
             m_back, m_play, m_next, m_strip, m_time, m_volume, m_lineLabel, m_lineBox, m_fileLabel,
             m_fileBox, m_openFolder}) {
        m_bottomBar->AddChild(child);
    }
    m_bottomBar->SetSize(400,
                         side + 8 * s + m_lineBox->GetHeight() + 8 * s + m_fileBox->GetHeight());
    m_bottomBar->Resized.Add(this, &LV_Frame::LayoutBottomBar);
    AddChild(m_bottomBar);
}

void LV_Frame::BuildCommands() {
    if (!Actions) {
        Actions = new TB_ActionList();
    }
    auto add = [this](const char16_t* id, const char16_t* caption, std::function<void()> run) {
        auto* action = new TB_Action(id, caption, [run](TB_EventArg&) { run(); });
        Actions->Add(action);
        m_commands.Add(action);
    };
    add(u"HowTo", u"ルモヴォクスアプリの使い方", [this] { OpenGuide(""); });
    add(u"GoToStore", u"ルモヴォクスをストアで購入", [this] { OpenGuide("get-libraries"); });
    add(u"ResetEnv", u"環境情報の初期化", [this] { ResetEnvironment(); });
    add(u"ShowRights", u"権利情報", [this] { ShowRights(); });
    for (tb_int size : {80, 100, 125, 150, 200}) {
        std::u16string id =
            u"UiSize" + std::u16string(TB_String(std::to_string(size).c_str()).View());
        std::u16string caption =
            std::u16string(TB_String(std::to_string(size).c_str()).View()) + u"%";
        add(id.c_str(), caption.c_str(), [this, size] { ChooseSize(size); });
    }
    add(u"UiStyleLight", u"ライト", [this] { ChooseStyle(u"light"); });
    add(u"UiStyleDark", u"ダーク", [this] { ChooseStyle(u"dark"); });
    add(u"AutoPlayOnSelect", u"選択したら再生", [this] {
        if (TC_AppSettings* settings = Settings()) {
            settings->SetBool(u"AutoPlayOnSelect", !settings->GetBool(u"AutoPlayOnSelect"));
        }
    });

    // Keys that work wherever the focus is (text fields keep Space, buttons Space and Enter).
    auto key = [this](TB_Widget* owner, const char16_t* id, const char16_t* shortcut,
                      std::function<void()> run) {
        auto* action = new TB_Action(
            id, id, [run](TB_EventArg&) { run(); }, shortcut);
        if (!owner->Actions) {
            owner->Actions = new TB_ActionList();
        }
        owner->Actions->Add(action);
        m_keys.push_back({owner, action});
    };
    key(this, u"PlayOrStop", u"Space", [this] { TogglePlay(); });
    key(this, u"FindClips", u"Ctrl+F", [this] {
        TB_TextBox* field = m_panel->GetSearchBox()->TextField;
        field->SetFocus();
        field->SelectAll();
    });
    // In the list only: elsewhere Ctrl+C copies what the focused field has selected.
    TB_Canvas* rows = m_panel->GetCanvas();
    key(rows, u"CopyLine", u"Ctrl+C", [this] { TB_CopyTextToClipboard(m_lineBox); });
    key(rows, u"CopyPath", u"Ctrl+Shift+C", [this] { TB_CopyTextToClipboard(m_fileBox); });
    key(rows, u"SeekBack", u"Shift+Left", [this] {
        m_panel->SeekBy(-1);
        FollowPlayhead();
    });
    key(rows, u"SeekForward", u"Shift+Right", [this] {
        m_panel->SeekBy(1);
        FollowPlayhead();
    });
}

void LV_Frame::BuildMenu() {
    auto find = [this](const char16_t* id) -> TB_Action* {
        TB_Action* action = Actions ? Actions->FindAction(id) : nullptr;
        return action ? action : (m_panel->Actions ? m_panel->Actions->FindAction(id) : nullptr);
    };
    m_menu->Add(new TB_MenuButton(find(u"ImportFolder")));
    m_menu->Add(new TB_MenuButton(find(u"RemoveLib")));
    m_menu->Add(new TB_MenuSeparator());
    m_menu->Add(new TB_MenuButton(find(u"HowTo")));
    m_menu->Add(new TB_MenuButton(find(u"GoToStore")));
    m_menu->Add(new TB_MenuSeparator());
    TC_AppSettings* settings = Settings();
    tb_int scale = settings ? settings->GetInt(u"GuiScale") : 100;
    TB_String style = settings ? LV_CurrentStyleName(*settings) : TB_String(u"light");
    auto* sizes = new TB_MenuSubMenuItem(u"表示サイズ");
    for (tb_int size : {80, 100, 125, 150, 200}) {
        std::u16string id =
            u"UiSize" + std::u16string(TB_String(std::to_string(size).c_str()).View());
        auto* item = new TB_MenuCheckBox(find(id.c_str()));
        item->Checked = size == scale;
        sizes->Add(item);
    }
    m_menu->Add(sizes);
    auto* styles = new TB_MenuSubMenuItem(u"スタイル");
    auto* light = new TB_MenuCheckBox(find(u"UiStyleLight"));
    light->Checked = style == TB_String(u"light");
    auto* dark = new TB_MenuCheckBox(find(u"UiStyleDark"));
    dark->Checked = style == TB_String(u"dark");
    styles->Add(light);
    styles->Add(dark);
    m_menu->Add(styles);
    auto* autoPlay = new TB_MenuCheckBox(find(u"AutoPlayOnSelect"));
    autoPlay->Checked = settings && settings->GetBool(u"AutoPlayOnSelect");
    m_menu->Add(autoPlay);
    m_menu->Add(new TB_MenuSeparator());
    m_menu->Add(new TB_MenuButton(find(u"ResetEnv")));
    m_menu->Add(new TB_MenuButton(find(u"ShowRights")));
}

TB_Rectangle<float> LV_Frame::KeepOnMonitor(const TB_Rectangle<float>& bounds,
                                            const std::vector<TB_Rectangle<int>>& monitors) {
    if (monitors.empty()) {
        return bounds;
    }
    for (const TB_Rectangle<int>& m : monitors) {
        if (bounds.x >= m.x && bounds.x <= m.x + m.width && bounds.y >= m.y &&
            bounds.y <= m.y + m.height) {
            return bounds;
        }
    }
    const TB_Rectangle<int>* nearest = nullptr;
    tb_int best = 0;
    for (const TB_Rectangle<int>& m : monitors) {
        double dx = bounds.x - m.x, dy = bounds.y - m.y;
        auto distance = static_cast<tb_int>(std::min(std::sqrt(dx * dx + dy * dy), 2147483647.0));
        if (!nearest || distance < best) {
            nearest = &m;
            best = distance;
        }
    }
    return {static_cast<float>(nearest->x), static_cast<float>(nearest->y), bounds.width,
            bounds.height};
}

float LV_Frame::GuiSize() {
    TC_AppSettings* settings = Settings();
    return (settings ? settings->GetInt(u"GuiScale") : 100) / 100.0f /
           TB_GetPlatform().WindowSystemScale();
}

bool LV_Frame::OutlineOnItsOwnRow(float barWidth) {
    float o = GuiSize();
    float transport = 3 * m_play->GetWidth() + 16 * o + 16 * o;
    float beside =
        barWidth - transport - m_time->GetWidth() - 8 * o - m_volume->GetWidth() - 12 * o;
    return beside < 240 * o;
}

TB_Rectangle<float> LV_Frame::FitOnMonitor(const TB_Rectangle<float>& bounds,
                                           const std::vector<TB_Rectangle<int>>& monitors,
                                           TB_Vector2 minimum) {
    TB_Rectangle<float> place = KeepOnMonitor(bounds, monitors);
    const TB_Rectangle<int>* monitor = nullptr;
    for (const TB_Rectangle<int>& m : monitors) {
        if (place.x >= m.x && place.x <= m.x + m.width && place.y >= m.y &&
            place.y <= m.y + m.height) {
            monitor = &m;
            break;
        }
    }
    if (!monitor) {
        return place;
    }
    constexpr auto kTitleBar = static_cast<float>(TB_kTitleBarRoom);
    constexpr auto kBorder = static_cast<float>(TB_kBorderRoom);
    float left = static_cast<float>(monitor->x) + kBorder;
    float top = static_cast<float>(monitor->y) + kTitleBar;
    float right = static_cast<float>(monitor->x + monitor->width) - kBorder;
    float bottom = static_cast<float>(monitor->y + monitor->height) - kBorder;
    float roomX = std::max(1.0f, right - left), roomY = std::max(1.0f, bottom - top);
    place.width = std::min(std::max(place.width, std::min(minimum.x, roomX)), roomX);
    place.height = std::min(std::max(place.height, std::min(minimum.y, roomY)), roomY);
    place.x = std::clamp(place.x, left, right - place.width);
    place.y = std::clamp(place.y, top, bottom - place.height);
    return place;
}

void LV_Frame::LayoutMain(TB_EventArg&) {
    TB_Vector2 client = GetClientSize();
    float w = std::floor(client.x), h = std::floor(client.y), m = m_margin, o = GuiSize();
    float barWidth = std::max(0.0f, w - 2 * m);
    float barHeight =
        m_play->GetHeight() + 8 * o + m_lineBox->GetHeight() + 8 * o + m_fileBox->GetHeight();
    if (OutlineOnItsOwnRow(barWidth)) {
        barHeight += m_play->GetHeight() + 8 * o;
    }
    m_bottomBar->SetBounds(TB_Rectangle<float>{m, h - barHeight - m, barWidth, barHeight});
    float top = m / 2;
    m_panel->SetBounds(TB_Rectangle<float>{m, top, std::max(0.0f, w - 2 * m),
                                           std::max(0.0f, m_bottomBar->GetY() - 1.5f * m)});
}

void LV_Frame::LayoutBottomBar(TB_EventArg&) {
    float o = GuiSize();
    TB_Vector2 size = m_bottomBar->GetClientSize();
    float w = std::floor(size.x);
    // The transport, the outline, its time and the volume on one row (the outline on a row of
    // its own below them when the window is narrow); the two copy boxes below, their labels
    // under the transport.
    m_back->SetPosition(0, 0);
    m_play->SetPosition(m_back->GetRight() + 8 * o, 0);
    m_next->SetPosition(m_play->GetRight() + 8 * o, 0);
    float x1 = m_next->GetRight() + 16 * o;
    float row = m_play->GetHeight();
    bool ownRow = OutlineOnItsOwnRow(w);
    m_volume->SetPosition(std::max(x1, w - m_volume->GetWidth()), 0);
    m_time->SetPosition(std::max(x1, m_volume->GetX() - 12 * o - m_time->GetWidth()),
                        (row - m_time->GetHeight()) / 2);
    float boxesTop = row + 8 * o;
    if (ownRow) {
        m_strip->SetBounds(TB_Rectangle<float>{0, boxesTop, w, row});
        boxesTop += row + 8 * o;
    } else {
        m_strip->SetBounds(
            TB_Rectangle<float>{x1, 0, std::max(0.0f, m_time->GetX() - 8 * o - x1), row});
    }
    float lw = std::max(m_lineLabel->GetWidth(), m_fileLabel->GetWidth());
    x1 = std::max(x1, lw + 4 * o);
    float boxWidth = std::max(0.0f, w - x1 - m_openFolder->GetWidth());
    m_lineBox->SetBounds(TB_Rectangle<float>{x1, boxesTop, boxWidth, m_lineBox->GetHeight()});
    m_fileBox->SetBounds(
        TB_Rectangle<float>{x1, m_lineBox->GetBottom() + 8 * o, boxWidth, m_fileBox->GetHeight()});
    m_openFolder->SetPosition(m_fileBox->GetRight(), m_fileBox->GetY());
    m_lineLabel->SetPosition(x1 - 4 * o - m_lineLabel->GetWidth(), m_lineBox->GetY() + 2 * o);
    m_fileLabel->SetPosition(x1 - 4 * o - m_fileLabel->GetWidth(), m_fileBox->GetY() + 2 * o);
}

void LV_Frame::UpdateBottomBar(TB_EventArg&) {
    TC_VoiceData* voice = m_panel->CurrentVoice();
    m_strip->SetClip(voice ? TC_VoiceDataListPanel::FullPathText(*voice).ToStdString()
                           : std::string());
    if (voice) {
        m_lineBox->SetText(voice->Surface);
        m_fileBox->SetText(TC_VoiceDataListPanel::FullPathText(*voice));
    } else {
        m_lineBox->SetText(TB_String());
        m_fileBox->SetText(TB_String());
    }
    m_openFolder->SetEnable(voice != nullptr);
    // A selection put back (F5, a new window) is not a new choice, and plays nothing.
    if (voice && AutoPlays() && m_built && !m_panel->IsRestoringView()) {
        m_panel->PlaySelected();  // the selection stopped the clip before
    } else {
        FollowPlayer();
    }
}

bool LV_Frame::AutoPlays() {
    TC_AppSettings* settings = Settings();
    return settings && settings->GetBool(u"AutoPlayOnSelect");
}

void LV_Frame::FollowPlayer() {
    TB_AudioPlayer* player = m_panel->GetPlayer();
    bool playing = player && player->IsPlaying();
    SetIcons(m_play, playing ? Teishi : Saisei);
    m_play->SetToolTip(playing ? TB_String(u"停止") : TB_String(u"再生"));
    m_play->Invalidate();
    // A clip that plays can always be stopped; back and next need another shown clip.
    m_play->SetEnable(playing || m_panel->GetCurrent() != nullptr);
    tb_int step = m_panel->GetCurrent() ? m_panel->StepShown(1) : -1;
    bool elsewhere = step >= 0 && step != m_panel->CurrentIndex();
    m_back->SetEnable(elsewhere);
    m_next->SetEnable(elsewhere);
    FollowPlayhead();
}

void LV_Frame::FollowPlayhead() {
    TB_AudioPlayer* player = m_panel->GetPlayer();
    bool loaded = m_panel->IsClipLoaded() && m_panel->GetCurrent() != nullptr;
    m_strip->Follow(loaded ? m_panel->PlayheadPosition() : 0, loaded ? player->GetDuration() : 0,
                    player->IsPlaying());
}

void LV_Frame::StoreWindowPlace(TB_EventArg&) {
    TC_AppSettings* settings = Settings();
    if (!settings) {
        return;
    }
    if (ShowState == 1) {
        settings->SetRectangle(u"StartWindowBounds", GetBounds());
    }
    settings->SetInt(u"StartWindowState", ShowState);
}

void LV_Frame::StoreLibraryPlace(TB_EventArg&) {
    TC_AppSettings* settings = Settings();
    if (!settings) {
        return;
    }
    if (TC_VoiceLibrary* library = m_panel->GetLibrary()) {
        settings->SetText(u"VoiceLibDirPath", library->RootPath.GetUri());
        settings->SetInt(u"VoiceLibIndex", m_panel->CurrentLibraryIndex());
    } else {
        settings->SetText(u"VoiceLibDirPath", TB_String(u""));
        settings->SetInt(u"VoiceLibIndex", -1);
    }
}

bool LV_Frame::Inspect(TB_IPropertyVisitor& visitor) {
    TB_Frame::Inspect(visitor);
    // Named after the icon set the button holds, so a report shows what the button looks
    // like, not what the frame believes.
    const char* icon = "";
    for (int base : {Saisei, Teishi}) {
        if (m_play->NormalImage == m_icons[base * 4]) {
            icon = LV_kStyleIconBaseNames[base];
        }
    }
    visitor.WriteString(u"PlayIcon", TB_String(icon));
    visitor.WriteInt(u"ShowState", ShowState);
    TB_AudioPlayer* player = m_panel->GetPlayer();
    visitor.WriteBool(u"Playing", player && player->IsPlaying());
    visitor.WriteReal(u"PlayPosition", player ? player->GetPosition() : 0.0);
    return true;
}

void LV_Frame::TogglePlay() {
    TB_AudioPlayer* player = m_panel->GetPlayer();
    double position = player->GetPosition();
    double duration = player->GetDuration();
    bool atEnd = duration > 0 && position > duration - 0.01;  // ended, the end not yet told
    if (player->IsPlaying() && !atEnd) {
        m_panel->StopPlayback();
        FollowPlayer();
        return;
    }
    m_panel->PlaySelected();
}

void LV_Frame::PlayShown(tb_int steps) {
    tb_int index = m_panel->StepShown(steps);
    if (index < 0) {
        return;
    }
    m_panel->SelectIndex(index);
    if (!AutoPlays()) {  // else the selection has played it
        m_panel->PlaySelected();
    }
}

void LV_Frame::PlayPrevious() {
    PlayShown(-1);
}

void LV_Frame::PlayNext() {
    PlayShown(1);
}

void LV_Frame::AddLibrary(TC_VoiceLibrary* library) {
    TC_App* app = TC_App::Instance();
    if (!app || !library) {
        return;
    }
    // The list takes over a count of its own; the caller's stays with the caller.
    library->AddRef();
    if (!app->AddLibrary(library, this)) {
        library->Release();
    } else {
        // Only the new library's rows are built: the list on the screen goes straight to it.
        m_panel->GetSelector()->LibrariesChanged();
        m_panel->SetLibrary(library);
    }
}

void LV_Frame::OpenStartFolders() {
    std::vector<std::string> folders;
    folders.swap(StartFolders);
    TC_App* app = TC_App::Instance();
    if (!app) {
        return;
    }
    std::u16string refused;
    auto refuse = [&refused](const std::string& folder, const char16_t* why) {
        refused += u"\n・" +
                   std::u16string(TB_DisplayText(TB_TextFromNative(folder.c_str())).View()) +
                   u"（" + why + u"）";
    };
    for (const std::string& folder : folders) {
        // Relative to where the program was started, as a shell user means it.
        char* absolute = realpath(folder.c_str(), nullptr);
        if (!absolute) {
            int error = errno;
            std::fprintf(stderr, "LumoVox: cannot open \"%s\": %s\n", folder.c_str(),
                         std::strerror(error));
            refuse(folder, error == ENOENT ? u"見つかりません" : u"開けません");
            continue;
        }
        std::string path(absolute);
        std::free(absolute);
        TB_Uri root(TB_String(path.c_str(), static_cast<tb_int64>(path.size())));
        std::vector<TC_VoiceLibrary*> flat;
        m_panel->FlattenLibraries(flat);
        TC_VoiceLibrary* known = nullptr;
        for (TC_VoiceLibrary* library : flat) {
            if (library->Type != TC_VoiceLibraryType::Group &&
                library->RootPath.GetUri() == root.GetUri()) {
                known = library;
                break;
            }
        }
        if (known) {
            m_panel->SetLibrary(known);
            continue;
        }
        auto library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
        library->Type = TC_VoiceLibraryType::Folder;
        library->RootPath = root;
        if (!TC_VoiceLoader::LoadLibrary(library.Get(), true)) {
            std::fprintf(stderr, "LumoVox: \"%s\" is not a folder that holds voice clips.\n",
                         folder.c_str());
            refuse(folder, u"フォルダではありません");
            continue;
        }
        AddLibrary(library.Get());
    }
    if (refused.empty()) {
        return;
    }
    // One message for them all, once the window is up to own it (posted from its first
    // showing, when it has a window to post to).
    TB_String text((u"次のフォルダを追加できませんでした。" + refused).c_str());
    auto told = std::make_shared<bool>(false);
    Shown.Add([this, text, told](TB_EventArg&) {
        if (*told) {
            return;
        }
        *told = true;
        TB_PostAction(this, new TB_Action([this, text](TB_EventArg&) {
                          TC_ShowMessage(this, text, u"フォルダを追加",
                                         TB_MB_OK | TB_MB_ICONWARNING);
                      }));
    });
}

void LV_Frame::RequestRemoveLibrary(TC_VoiceLibrary* library) {
    TC_App* app = TC_App::Instance();
    if (!app || !library) {
        return;
    }
    tb_int answer = TC_ShowMessage(this, RemovalQuestion(library), kTitle,
                                   TB_MB_YESNO | TB_MB_ICONQUESTION | TB_MB_DEFBUTTON2);
    if (answer != TB_IDYES) {
        return;
    }
    m_panel->SetLibrary(nullptr);
    if (!app->VoiceLibraries().RemoveLibrary(library)) {
        return;
    }
    TB_List<TC_VoiceLibrary*>& libraries = app->VoiceLibraries().Libraries();
    m_panel->GetSelector()->SetLibraries(&libraries);
    m_panel->SetLibrary(libraries.Count() > 0 ? libraries[0] : nullptr);
}

TB_String LV_Frame::RemovalQuestion(TC_VoiceLibrary* library) {
    // Everything that goes is named: a group takes every library in it.
    std::vector<const TC_VoiceLibrary*> leaves;
    std::function<void(const TC_VoiceLibrary*)> collect = [&](const TC_VoiceLibrary* lib) {
        if (lib->Type != TC_VoiceLibraryType::Group) {
            leaves.push_back(lib);
        }
        for (const TC_VoiceLibrary* sub : lib->SubLibs) {
            collect(sub);
        }
    };
    collect(library);
    constexpr size_t kNamed = 10;
    std::u16string text = u"この操作は取り消すことができません。音声ライブラリを削除しますか？\n";
    for (size_t i = 0; i < leaves.size() && i < kNamed; ++i) {
        text += u"\n・" + std::u16string(leaves[i]->Name.View());
    }
    TB_String line;
    if (leaves.size() > kNamed) {
        line.Format(u"\n・ほか %d 件", static_cast<tb_int>(leaves.size() - kNamed));
        text += line.View();
    }
    TC_App* app = TC_App::Instance();
    line.Format(u"\n\nお気に入り %d 件も削除されます。",
                app ? app->VoiceLibraries().FavouriteCount(library) : 0);
    text += line.View();
    return TB_String(text.c_str());
}

void LV_Frame::ResetEnvironment() {
    tb_int answer = TC_ShowMessage(
        this,
        u"すべての設定情報を削除します。この操作は取り消すことができません。また、アプリケーショ"
        u"ンは一度終了します。本当に初期化してもよろしいですか？",
        kTitle, TB_MB_YESNO | TB_MB_ICONWARNING | TB_MB_DEFBUTTON2);
    if (answer != TB_IDYES) {
        return;
    }
    m_panel->SetLibrary(nullptr);
    m_panel->GetSelector()->SetLibraries(nullptr);
    if (TC_App* app = TC_App::Instance()) {
        app->ResetEnvironment();
    }
    Restart = false;
    PostClose();
}

// Commands run from a menu whose panel is still on the stack: the window closes once they
// have returned, the way its close button closes it.
void LV_Frame::PostClose() {
    TB_PostAction(this, new TB_Action([this](TB_EventArg&) {
                      if (Window) {
                          TB_GetPlatform().RequestClose(Window);
                      }
                  }));
}

void LV_Frame::ShowRights() {
    LV_RightsDialog::ShowModal(this);
}

void LV_Frame::OpenGuide(const char* section) {
    std::string guide = GuideFolder.empty() ? std::string() : GuideFolder + "/guide.html";
    if (!guide.empty() && TB_OpenFile(guide, section)) {
        return;
    }
    // Said where it is, so the user can open it by hand.
    std::string address = guide.empty() ? std::string("guide.html") : "file://" + guide;
    if (*section) {
        address += std::string("#") + section;
    }
    TB_String text;
    TB_String shown = TB_TextFromNative(address.c_str());
    text.Format(u"ガイドを開けませんでした。\n%T", &shown);
    TB_Error::Report(2, 10, text.Chars(), TB_SOURCE_NAME, __LINE__);
    TC_ShowMessage(this, text, kTitle, TB_MB_OK | TB_MB_ICONWARNING);
}

void LV_Frame::ChooseSize(tb_int percent) {
    if (TC_AppSettings* settings = Settings()) {
        settings->SetInt(u"GuiScale", percent);
    }
    Restart = true;
    PostClose();
}

void LV_Frame::ChooseStyle(const char16_t* name) {
    if (TC_AppSettings* settings = Settings()) {
        settings->SetText(u"UiStyleName", TB_String(name));
    }
    Restart = true;
    PostClose();
}
