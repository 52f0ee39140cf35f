#pragma once

#include <array>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "lv_copytextbox.h"
#include "tb_button.h"
#include "tb_checkbox.h"
#include "tb_frame.h"
#include "tb_menu.h"
#include "tb_nativebitmap.h"
#include "tb_posttarget.h"
#include "tb_svg.h"
#include "tc_voicedatalistpanel.h"
#include "tc_voicelistappearance.h"
#include "tc_volumeslider.h"
#include "tc_waveformstrip.h"

// The main window: the clip list with its strip of controls, a bottom bar with the playback
// buttons and the line and path of the selected clip, and the main menu. Style and size
// changes close it with Restart set, and the entry builds a new one from the settings.
class LV_Frame : public TB_Frame {
public:
    LV_Frame();
    ~LV_Frame() override;

    // The window place kept on a monitor: bounds whose top-left point lies in no monitor move
    // to the corner of the nearest one; the size stays.
    static TB_Rectangle<float> KeepOnMonitor(const TB_Rectangle<float>& bounds,
                                             const std::vector<TB_Rectangle<int>>& monitors);
    // The window place of KeepOnMonitor made to fit that monitor's work area: no larger than
    // it (nor smaller than minimum, where it has the room), and with room above it for the
    // title bar, so the window can always be seen whole and moved.
    static TB_Rectangle<float> FitOnMonitor(const TB_Rectangle<float>& bounds,
                                            const std::vector<TB_Rectangle<int>>& monitors,
                                            TB_Vector2 minimum);
    // The smallest client size below which the layout would collapse, at the GUI size.
    static TB_Vector2 MinimumSize(float guiSize) { return {560 * guiSize, 400 * guiSize}; }

    void TogglePlay();
    void PlayPrevious();
    void PlayNext();
    // The steps behind the library menu and the reset command; public for tools and tests.
    void AddLibrary(TC_VoiceLibrary* library);
    void RequestRemoveLibrary(TC_VoiceLibrary* library);
    void ResetEnvironment();
    void ShowRights();

    // Adds what the window shows beyond its widgets' own reports: the play button's icon set
    // ("saisei" or "teishi"), the show state, and the player's state and position.
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    TC_VoiceDataListPanel* GetPanel() const { return m_panel; }
    TB_Button* GetPlayButton() const { return m_play; }
    TC_WaveformStrip* GetWaveformStrip() const { return m_strip; }
    LV_CopyTextBox* GetLineBox() const { return m_lineBox; }
    LV_CopyTextBox* GetFileBox() const { return m_fileBox; }
    TB_MenuItemList* GetMainMenu() const { return m_menu; }

    bool Restart = false;
    // The selection and the first row in view, handed from a window closed for a restart
    // to the next one.
    static std::optional<TC_VoiceDataListPanel::ViewPlace> KeptView;
    // The folder of the user guide (a native path); set by the entry.
    static std::string GuideFolder;
    // Folders named on the command line: the first window imports them (a folder already
    // loaded is only selected) and shows the last one.
    static std::vector<std::string> StartFolders;

private:
    void LoadIcons();
    void FinishIcons();
    void BuildBottomBar();
    void BuildCommands();
    void BuildMenu();
    void LayoutMain(TB_EventArg&);
    void LayoutBottomBar(TB_EventArg&);
    // The GUI size as a factor (1 at 100 %).
    float GuiSize();
    // Whether the outline needs a row of its own: beside the transport it would be too narrow.
    bool OutlineOnItsOwnRow(float barWidth);
    void UpdateBottomBar(TB_EventArg&);
    void StoreWindowPlace(TB_EventArg&);
    void StoreLibraryPlace(TB_EventArg&);
    // The play button's icon and tooltip and which transport buttons work, all read from
    // the player and the list: called after anything that may have changed them.
    void FollowPlayer();
    // The strip's playhead and times from the player.
    void FollowPlayhead();
    // Selects the shown clip that many rows away (wrapping) and plays it.
    void PlayShown(tb_int steps);
    // Whether a selection plays its clip at once (the menu's check item).
    bool AutoPlays();
    void SetIcons(TB_Button* button, int base);
    void OpenGuide(const char* section);
    void ChooseSize(tb_int percent);
    void ChooseStyle(const char16_t* name);
    void PostClose();
    void OpenStartFolders();
    // The removal question, naming every library that goes and the favourites with them.
    TB_String RemovalQuestion(TC_VoiceLibrary* library);

    TC_VoiceListAppearance m_appearance;
    TC_VoiceDataListPanel* m_panel = nullptr;
    TB_Color m_itemColors[2];
    TB_NativeContainer* m_bottomBar = nullptr;
    TB_Button* m_back = nullptr;
    TB_Button* m_play = nullptr;
    TB_Button* m_next = nullptr;
    TC_WaveformStrip* m_strip = nullptr;
    TB_Lable* m_time = nullptr;
    TC_VolumeSlider* m_volume = nullptr;
    TB_Lable* m_lineLabel = nullptr;
    TB_Lable* m_fileLabel = nullptr;
    LV_CopyTextBox* m_lineBox = nullptr;
    LV_CopyTextBox* m_fileBox = nullptr;
    TB_Button* m_openFolder = nullptr;
    TB_SvgRenderer* m_icons[48] = {};
    // The icons' files, read on m_iconsRead until FinishIcons, and which of them loaded.
    std::vector<TB_Uri> m_iconPaths;
    std::array<bool, 48> m_iconLoaded{};
    std::thread m_iconsRead;
    TB_NativeBitmap* m_titleBitmap = nullptr;
    TB_MenuItemList* m_menu;
    TB_List<TB_Action*> m_commands;
    // Shortcut-only actions and the widget whose list holds each (one count held).
    std::vector<std::pair<TB_Widget*, TB_Action*>> m_keys;
    float m_margin = 20;
    bool m_built = false;  // the constructor has finished: selections may play
    TB_PostTarget* m_postTarget;
};
