#pragma once

#include <memory>
#include <vector>

#include "tb_audioplayer.h"
#include "tb_button.h"
#include "tb_canvas.h"
#include "tb_checkbox.h"
#include "tb_contentsbox.h"
#include "tb_popuppanel.h"
#include "tb_uitimer.h"
#include "tc_searchtextbox.h"
#include "tc_voicelibraryselector.h"
#include "tc_voicelistappearance.h"
#include "tc_voicesearch.h"

class TC_App;
class TC_VoiceDataListPanel;
struct TC_LoadedLibrary;

// One clip as a row: its display text (sliding while hovered when too long), the favourite
// star and the category column. Text is the clip's file path as the library stores it. The
// list keeps no row per clip: one item is filled for whichever clip it is asked about.
class TC_VoiceDataItem : public TB_ContentsBoxItem {
public:
    TC_VoiceDataItem(TC_VoiceDataListPanel* panel, TB_Font* font);

    void Paint(TB_Graphics& graphics, const TB_Rectangle<int>& rectangle) override;
    // The file, then the clip description in the application's own format.
    void GetDropData(TB_List<TB_DropData*>& list) override;
    // "CategoryActive", "FavRect", "VoiceData", then the item's own.
    bool Inspect(TB_IPropertyVisitor& visitor) override;
    // The title the row shows; without one, the file's name (Text is the path below the
    // library, which mostly starts with the same folder).
    const TB_String& TypeAheadText() override;
    // The path; for a clip whose file is missing, saying so first.
    TB_String ToolTipText() override;
    // Named by its title, described by its line; a favourite is checked, a missing file
    // unavailable.
    void DescribeAccessible(TB_AccessibleInfo& info) override;
    // The longest start of the text that fits the width with "…" after it (the whole text
    // when it fits): cut between characters, never inside one.
    static TB_String Elide(TB_Graphics& graphics, const TB_String& text, float width);
    // Makes the item stand for the clip.
    void Show(TC_VoiceData* voice);
    // The area around the star that answers a press, in the row's rectangle; empty without
    // the star icon.
    TB_Rectangle<float> StarArea(TB_Graphics& graphics, const TB_Rectangle<int>& rectangle);

    TC_VoiceData* Voice = nullptr;            // not counted; the library outlives its rows
    TB_Font* Font;                            // the panel's list font
    TB_Rectangle<float> FavRect{0, 0, 0, 0};  // as of the last painting or hit
    TC_VoiceDataListPanel* Panel;

private:
    TB_String m_fileName;  // made for the type-ahead when the clip has no title
};

// A check box of the filter popup standing for every category of one name.
class TC_VoiceDataListPanelCatCheckBox : public TB_CheckBox {
public:
    explicit TC_VoiceDataListPanelCatCheckBox(const TB_String& text) : TB_CheckBox(text) {}
    TB_List<TC_VoiceCategory*> Categories;  // not counted
};

// The clip list of the main window with its strip of controls above: library selector,
// thumbnail, import and menu buttons, search box, favourite toggle and filter button.
class TC_VoiceDataListPanel : public TB_ContentsBox {
public:
    explicit TC_VoiceDataListPanel(const TC_VoiceListAppearance& appearance);
    ~TC_VoiceDataListPanel() override;

    // The selected clip and the first clip in view, by path, so that a list built again (F5,
    // a new window after a change of style or size) shows the same place.
    struct ViewPlace {
        TB_String Clip, ClipRelative;
        TB_String Top, TopRelative;
    };
    ViewPlace TakeViewPlace();
    // Selects and scrolls as the place says; clips no longer there are passed over. While it
    // runs IsRestoringView() is true: the selection it makes is no one's new choice.
    void ApplyViewPlace(const ViewPlace& place);
    bool IsRestoringView() const { return m_restoringView; }

    // Shows the clips of the library (and of its sub-libraries); null empties the list.
    void SetLibrary(TC_VoiceLibrary* library);
    TC_VoiceLibrary* GetLibrary() const { return m_library; }
    // The library whose folder URI is folder, then the one at index in the flattened list.
    void RestorePlace(const TB_String& folder, tb_int index);
    // The current library's position in the flattened library list, or -1.
    tb_int CurrentLibraryIndex();
    // Every library of the selector followed by its sub-libraries, depth first.
    void FlattenLibraries(std::vector<TC_VoiceLibrary*>& list);

    // Plays the current clip from its start; false (with a message) when it cannot.
    bool PlaySelected();
    // Stops a clip that plays and goes back to its start.
    void StopPlayback();
    // Moves a clip that plays to seconds (clamped to its length); one that does not starts
    // there when it is next played, then from its start again.
    void SeekTo(double seconds);
    void SeekBy(double seconds) { SeekTo(PlayheadPosition() + seconds); }
    // Where the clip plays, or where it will start.
    double PlayheadPosition();
    // The clip's length as the list shows it ("0:03.5"); "—" for a file that plays nothing,
    // empty while it is being worked out (asked for when ask says so).
    TB_String DurationText(const TC_VoiceData& voice, bool ask = true);
    // The width of the length column, measured at the first painting.
    float DurationColumnWidth(TB_Graphics& graphics);
    // Shows the current clip in the file manager; false without one.
    bool OpenInFileManager();
    void ApplyFilter();
    // Takes the libraries the loader has read into the list; the clips shown are replaced
    // keeping the selection, the scroll position and the search.
    void TakeLoadedLibraries();
    // Something changed on disk where the current library's clips come from (at the watched
    // path; empty when a look found it): read it again once the changes settle. A change in
    // the folder holding a library only counts when the library's folder went or came.
    void FollowDisk(const std::string& path = std::string());
    // Whether the current library's clips are still being read.
    bool IsLoading();
    // Reads the current library again from disk on the loader's thread (at once without an
    // application object), favourites kept; once it is in, a folder that is gone is reported
    // and leaves the library unavailable with an empty list.
    void ReloadLibrary();
    // Tells the user which folders of the library (or group) are missing; nothing when none.
    void ReportMissingFolders(TC_VoiceLibrary* library);
    void ImportFolder();
    void ShowFilterPopup();

    // What the list says in place of rows when it shows none: how to add a folder, that the
    // library has no clips, or that nothing matches; empty while rows are shown.
    TB_String EmptyText();
    // Whether categories are filtered out (the filter button shows it).
    bool CategoriesFiltered();

    // The clip's full path as text (no scheme), as the list shows and searches it.
    static TB_String FullPathText(const TC_VoiceData& voice);
    TC_VoiceData* CurrentVoice() { return VoiceAt(CurrentIndex()); }
    // The clip of the row at the list index, null outside the list.
    TC_VoiceData* VoiceAt(tb_int index);
    TB_AudioPlayer* GetPlayer() const { return m_player; }
    bool IsClipLoaded() const { return m_clipLoaded; }
    bool FavouritesOnly() const { return m_favouritesOnly; }
    float CategoryColumnWidth() const { return m_categoryWidth; }
    const TC_VoiceListAppearance& Appearance() const { return m_appearance; }

    TC_VoiceLibrarySelector* GetSelector() const { return m_selector; }
    TB_Button* GetImportButton() const { return m_importButton; }
    TB_Button* GetMenuButton() const { return m_menuButton; }
    TC_SearchTextBox* GetSearchBox() const { return m_searchBox; }
    TB_ToggleButton* GetFavouriteButton() const { return m_favButton; }
    TB_Button* GetFilterButton() const { return m_filterButton; }
    TB_Lable* GetCountLabel() const { return m_countLabel; }
    TB_Canvas* GetThumbnailCanvas() const { return m_thumbnail; }

    // The widget's properties, then "Library", "FavouritesOnly", "SearchText", "CurrentVoice"
    // and the list's own.
    bool Inspect(TB_IPropertyVisitor& visitor) override;

protected:
    TB_ContentsBoxItem* RowItem(tb_int index) override;

public:
    virtual void OnLibraryAdded(TC_VoiceLibraryEventArg& arg) { LibraryAdded.Fire(arg); }
    virtual void OnLibraryRemoveRequested(TC_VoiceLibraryEventArg& arg) {
        LibraryRemoveRequested.Fire(arg);
    }
    virtual void OnPlaybackFinished() {
        TB_EventArg arg;
        OnPlaybackFinished(arg);
    }
    virtual void OnPlaybackFinished(TB_EventArg& arg) { PlaybackFinished.Fire(arg); }
    virtual void OnCurrentLibraryChanged() {
        TB_EventArg arg;
        OnCurrentLibraryChanged(arg);
    }
    virtual void OnCurrentLibraryChanged(TB_EventArg& arg) { CurrentLibraryChanged.Fire(arg); }

    TB_Event<TC_VoiceLibraryEventArg> LibraryAdded;
    TB_Event<TC_VoiceLibraryEventArg> LibraryRemoveRequested;
    // Raised on the media thread that ended the clip.
    TB_Event<TB_EventArg> PlaybackFinished;
    TB_Event<TB_EventArg> CurrentLibraryChanged;
    // Raised on the GUI thread whenever the panel played, stopped, opened or closed a clip or
    // changed which clips are shown: what the transport shows may have changed.
    TB_Event<TB_EventArg> TransportChanged;
    // Raised once the filter popup is on the screen, inside its modal loop (tests, tools).
    TB_Event<TB_EventArg> FilterPopupShown;
    // The open filter popup, null while none is shown.
    TB_PopupPanel* GetFilterPopup() const { return m_filterPopup; }

private:
    void BuildTopStrip();
    // Rows, search and watch for the current library's clips; a search made by the loader
    // for exactly these clips is taken instead of building one.
    void ShowContents(TC_VoiceSearch* prepared);
    void TakeLoaded(TC_App& app, TC_LoadedLibrary& loaded);
    void UpdateWatch();
    void LayoutTopStrip(TB_EventArg&);
    void UpdateCategoryWidth();
    void LoadSelected(TB_EventArg&);
    void ShowFavourite(TC_VoiceData* voice);
    bool PlayCurrent();
    void OnTransportChanged() {
        TB_EventArg arg;
        TransportChanged.Fire(arg);
    }
    // Whether the clip's file exists now; the clip's flag (and its row) follow the disk.
    bool RecheckExists(TC_VoiceData* voice);
    void OnListClick(TB_MouseEventArg& arg);
    void OnFavouriteChanged(TB_EventArg&);
    void PaintThumbnail(TB_PaintEventArg& arg);
    void CollectCategories(TC_VoiceLibrary* library, std::vector<TC_VoiceCategory*>& categories);
    TB_Frame* OwnerFrame();

    TC_VoiceListAppearance m_appearance;
    TC_VoiceLibrary* m_library = nullptr;  // not counted; the application owns libraries
    TB_Font* m_listFont;
    TB_AudioPlayer* m_player;
    bool m_clipLoaded = false;
    bool m_restoringView = false;
    double m_startPosition = 0;
    // Lengths are asked for around the rows in view; again when the view has moved far.
    void PrefetchDurations();
    tb_int m_prefetchedAt = -1;
    float m_durationWidth = 0;
    float m_categoryWidth = 0;
    bool m_favouritesOnly = false;
    TC_VoiceSearch m_search;  // also the clips of the rows, in list order
    std::vector<uint8_t> m_visible;
    TC_VoiceDataItem* m_row = nullptr;  // owned; fills in for any row
    TB_MenuItemList* m_libraryMenu;
    TB_SvgRenderer m_barsIcon;
    TB_Action* m_actions[5] = {};

    TB_Canvas* m_thumbnail = nullptr;
    TC_VoiceLibrarySelector* m_selector = nullptr;
    TB_Button* m_importButton = nullptr;
    TB_Button* m_menuButton = nullptr;
    TC_SearchTextBox* m_searchBox = nullptr;
    TB_ToggleButton* m_favButton = nullptr;
    TB_Button* m_filterButton = nullptr;
    TB_Lable* m_countLabel = nullptr;             // "shown / all"
    TB_Rectangle<float> m_emptyRect{0, 0, 0, 0};  // where the empty list's words were drawn
    void PaintEmpty(TB_Graphics& g, const TB_Rectangle<float>& area);
    void UpdateCount();
    TB_Canvas* m_title = nullptr;
    TB_PopupPanel* m_filterPopup = nullptr;  // while shown

    std::unique_ptr<TB_FileWatch> m_watch;
    // The folders holding the watched roots (a folder moved away or unmounted tells only
    // there), and what stood at each root when the watch was set.
    struct RootMark {
        std::string Root;
        bool Exists;
        unsigned long long Device, Inode;
    };
    std::vector<std::string> m_sources;
    std::vector<std::string> m_parents;
    std::vector<RootMark> m_roots;
    TB_UiTimer* m_settle = nullptr;    // a burst of changes is read once it settles
    TB_UiTimer* m_progress = nullptr;  // the count of clips read, while they are read
    tb_uint64 m_firstChange = 0;
    tb_int m_diskReloads = 0;  // reads after a change on disk taken into the list
    bool m_takingLoaded = false;
    bool m_reloading = false;  // while the rows of a library read again are put in
    TB_String m_reloadedClip;  // the clip that was current then
};
