#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <chrono>
#include <string>
#include <vector>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QWidget>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "framework_fixture.h"
#include "lv_frame.h"
#include "lv_style.h"
#include "platform/tb_native_window.h"
#include "tb_audioplayer.h"
#include "tb_canvas.h"
#include "tb_dropdata.h"
#include "tb_folderdialog.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_messageloop.h"
#include "tc_app.h"
#include "tc_voiceloader.h"

namespace {

// A main window over the sample libraries, with a private data folder; message boxes are
// answered by `answer` and recorded.
class MainWindowTest : public FrameworkTest {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override {
        FrameworkTest::SetUp();
        TB_SetMessageBoxHook(
            [this](TB_WindowHandle, const TB_String& text, const TB_String& title, tb_uint style) {
                m_messages.push_back({text.ToStdString(), title.ToStdString(), style});
                return answer;
            });
        app = new TC_App();
        TC_App::SetInstance(app);
        app->CreateIcons();
        app->LoadIndex();
    }
    void TearDown() override {
        frame.Reset();
        LV_Frame::KeptView.reset();
        TC_App::SetInstance(nullptr);
        app->Release();
        TB_GetGlobalStyle().ResetToBuiltIn();
        FrameworkTest::TearDown();
    }
    void Open(const std::vector<std::string>& folders = {}) {
        LV_Frame::StartFolders = folders;
        frame = TB_Ref<LV_Frame>::Adopt(new LV_Frame());
        frame->Create();
    }
    TC_VoiceDataListPanel& Panel() { return *frame->GetPanel(); }
    // The display texts of the clips the list shows, in order.
    std::vector<std::string> Shown() {
        std::vector<std::string> shown;
        for (tb_int index : Panel().ShownIndices()) {
            shown.push_back(Panel().VoiceAt(index)->Display.ToStdString());
        }
        return shown;
    }
    void Type(const char16_t* text) { Panel().GetSearchBox()->TextField->SetText(TB_String(text)); }

    const std::string kHikari = std::string(LUMOVOX_SOURCE_DIR) + "/samples/hikari";
    const std::string kTones = std::string(LUMOVOX_SOURCE_DIR) + "/samples/tones";
    TC_App* app = nullptr;
    TB_Ref<LV_Frame> frame;
    tb_int answer = TB_IDOK;
};

TEST(KeepOnMonitor, AStoredPlaceOnAMissingMonitorMovesToTheNearestCorner) {
    std::vector<TB_Rectangle<int>> monitors{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    // On a monitor, edges included: kept as it is.
    for (TB_Rectangle<float> kept :
         {TB_Rectangle<float>{0, 0, 1280, 1024}, TB_Rectangle<float>{1920, 1080, 300, 200},
          TB_Rectangle<float>{3200, 500, 640, 480}}) {
        EXPECT_EQ(LV_Frame::KeepOnMonitor(kept, monitors), kept);
    }
    // Right of everything (a third monitor unplugged): the second monitor's corner, size kept.
    EXPECT_EQ(LV_Frame::KeepOnMonitor({4000, 300, 800, 600}, monitors),
              (TB_Rectangle<float>{1920, 0, 800, 600}));
    // Above and left: the first monitor.
    EXPECT_EQ(LV_Frame::KeepOnMonitor({-500, -20, 640, 480}, monitors),
              (TB_Rectangle<float>{0, 0, 640, 480}));
    // Equal distances: the first monitor listed wins.
    EXPECT_EQ(LV_Frame::KeepOnMonitor({960, -100, 10, 10}, {{0, 0, 10, 10}, {1920, 0, 10, 10}}),
              (TB_Rectangle<float>{0, 0, 10, 10}));
    EXPECT_EQ(LV_Frame::KeepOnMonitor({50, 50, 10, 10}, {}), (TB_Rectangle<float>{50, 50, 10, 10}));
}

// The first start's 1280 x 1024 at the screen's corner, and a place stored at 200 % on a
// larger screen, fit the work area: shrunk, and moved down far enough for the title bar.
TEST(KeepOnMonitor, APlaceThatDoesNotFitIsShrunkAndMovedOntoTheWorkArea) {
    std::vector<TB_Rectangle<int>> screen{{0, 0, 1600, 1000}};
    TB_Vector2 minimum = LV_Frame::MinimumSize(1);
    EXPECT_EQ(LV_Frame::FitOnMonitor({0, 0, 1280, 1024}, screen, minimum),
              (TB_Rectangle<float>{4, 40, 1280, 956}));
    EXPECT_EQ(LV_Frame::FitOnMonitor({100, 100, 800, 600}, screen, minimum),
              (TB_Rectangle<float>{100, 100, 800, 600}));
    EXPECT_EQ(LV_Frame::FitOnMonitor({100, 100, 50, 50}, screen, minimum),
              (TB_Rectangle<float>{100, 100, 560, 400}));
    // A minimum larger than the screen gives way to the screen.
    EXPECT_EQ(
        LV_Frame::FitOnMonitor({0, 0, 2560, 2048}, {{0, 0, 1366, 768}}, LV_Frame::MinimumSize(3)),
        (TB_Rectangle<float>{4, 40, 1358, 724}));
    // Reaching past the right edge of its monitor: moved back onto it, on the second monitor
    // as on the first.
    std::vector<TB_Rectangle<int>> two{{0, 0, 1600, 1000}, {1600, 200, 1280, 1024}};
    EXPECT_EQ(LV_Frame::FitOnMonitor({1500, 100, 800, 600}, two, minimum),
              (TB_Rectangle<float>{796, 100, 800, 600}));
    EXPECT_EQ(LV_Frame::FitOnMonitor({2800, 300, 800, 600}, two, minimum),
              (TB_Rectangle<float>{2076, 300, 800, 600}));
}

// A missing clip says so where the pointer rests; a long title is cut with "…" between
// characters; the star answers a press over 20 x 20 pixels.
TEST_F(MainWindowTest, RowsMarkMissingFilesCutLongTitlesAndOfferAWideStar) {
    Open({kHikari});
    auto* row = static_cast<TC_VoiceDataItem*>(Panel().ItemAt(0));
    std::string path = row->ToolTipText().ToStdString();
    row->Voice->Exists = false;
    EXPECT_EQ(row->ToolTipText().ToStdString(), "ファイルが見つかりません\n" + path);
    static_cast<QWidget*>(frame->Window)->grab();  // lays the rows out as they are painted
    EXPECT_GE(row->FavRect.width, 20);
    EXPECT_GE(row->FavRect.height, 20);

    TB_Graphics* g = TB_GetMeasureGraphics();
    ASSERT_NE(g, nullptr);
    TB_Font* before = g->Font;
    auto font = TB_Ref<TB_Font>::Adopt(new TB_Font(10.5f));
    g->Font = font.Get();
    TB_String title(u"とても長いタイトルのついた声のクリップ𠀋𠀋𠀋𠀋");
    EXPECT_EQ(TC_VoiceDataItem::Elide(*g, title, 10000).ToStdString(), title.ToStdString());
    for (float width : {40.0f, 120.0f, 200.0f, g->MeasureString(title).x - 1}) {
        std::u16string cut(TC_VoiceDataItem::Elide(*g, title, width).View());
        ASSERT_FALSE(cut.empty());
        EXPECT_EQ(cut.back(), u'…');
        EXPECT_LE(g->MeasureString(TB_String(cut.c_str())).x, width);
        EXPECT_EQ(title.View().substr(0, cut.size() - 1), cut.substr(0, cut.size() - 1));
        // Never half of a pair: the character before "…" is no high surrogate.
        EXPECT_FALSE(cut.size() > 1 && cut[cut.size() - 2] >= 0xD800 &&
                     cut[cut.size() - 2] <= 0xDBFF)
            << width;
    }
    g->Font = before;
}

// An empty list says what to do (the hint to add a folder opens the folder picker); the
// count beside the filter tells how many clips the filters leave, and the filter button
// knows when categories are filtered out.
TEST_F(MainWindowTest, AnEmptyListSaysWhyAndTheCountFollowsTheFilters) {
    Open();
    QImage empty = static_cast<QWidget*>(frame->Window)->grab().toImage();
    std::filesystem::create_directories(std::string(LUMOVOX_BINARY_DIR) + "/test-output");
    empty.save(QString::fromStdString(std::string(LUMOVOX_BINARY_DIR) + "/test-output/empty.png"));
    EXPECT_EQ(Panel().EmptyText().ToStdString(),
              "＋ を押して、音声のあるフォルダを追加してください");
    int asked = 0;
    TB_SetFolderDialogHook([&asked](const TB_String&, const TB_String&, TB_String&) {
        ++asked;
        return 0;
    });
    TB_MouseEventArg click;
    click.Left = true;
    click.X = Panel().GetCanvas()->GetWidth() / 2;
    click.Y = 2;  // above the words: nothing
    Panel().GetCanvas()->OnClick(click);
    EXPECT_EQ(asked, 0);
    click.Y = 24 + 6;
    Panel().GetCanvas()->OnClick(click);
    EXPECT_EQ(asked, 1);
    TB_SetFolderDialogHook(nullptr);

    frame.Reset();
    Open({kHikari});
    TB_Lable* count = Panel().GetCountLabel();
    EXPECT_EQ(count->Text.ToStdString(), "5 / 5");
    EXPECT_EQ(Panel().EmptyText().ToStdString(), "");
    Type(u"みつからない");
    EXPECT_EQ(count->Text.ToStdString(), "0 / 5");
    EXPECT_EQ(Panel().EmptyText().ToStdString(), "条件に合う音声がありません");
    Type(u"");
    EXPECT_FALSE(Panel().CategoriesFiltered());
    Panel().GetLibrary()->Categories[0]->Active = false;
    Panel().ApplyFilter();
    EXPECT_TRUE(Panel().CategoriesFiltered());
    EXPECT_EQ(count->Text.ToStdString(), "3 / 5");
}

// The selected clip and the first row in view stay through F5 and through the new window a
// change of style or size opens, and coming back plays nothing even with auto-play on.
TEST_F(MainWindowTest, SelectionAndScrollSurviveReloadsAndRestarts) {
    TempFolder folder;
    for (int i = 0; i < 120; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/clip%03d.wav", i);
        std::filesystem::copy_file(
            std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/audio/pcm16-stereo-48000.wav",
            folder.Path() + name);
    }
    app->Settings().SetBool(u"AutoPlayOnSelect", true);
    Open({folder.Path()});
    Panel().SelectIndex(70);
    Panel().StopPlayback();
    Panel().ScrollRowToTop(60);
    ASSERT_EQ(Panel().FirstRowInView(), 60);
    auto current = [this] { return Panel().CurrentVoice()->RelFilePath.ToStdString(); };

    Panel().ReloadLibrary();
    app->Loader().WaitUntilIdle();
    Panel().TakeLoadedLibraries();
    EXPECT_EQ(current(), "clip070.wav");
    EXPECT_EQ(Panel().FirstRowInView(), 60);
    EXPECT_FALSE(Panel().GetPlayer()->IsPlaying());

    frame->Restart = true;
    frame.Reset();
    app->Settings().SetInt(u"GuiScale", 150);
    Open();
    ASSERT_NE(Panel().CurrentVoice(), nullptr);
    EXPECT_EQ(current(), "clip070.wav");
    EXPECT_EQ(Panel().FirstRowInView(), 60);
    EXPECT_FALSE(Panel().GetPlayer()->IsPlaying());
}

// A clip copied into a library while another one is on the screen (nothing watches its folder
// then) is read when the library is shown again.
TEST_F(MainWindowTest, AChangeWhileAnotherLibraryIsShownIsReadOnComingBack) {
    TempFolder one, two;
    const std::string wav =
        std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/audio/pcm16-stereo-48000.wav";
    std::filesystem::copy_file(wav, one.Path() + "/a.wav");
    std::filesystem::copy_file(wav, two.Path() + "/a.wav");
    Open({one.Path(), two.Path()});
    TC_VoiceLibrary* first = app->VoiceLibraries().Libraries()[0];
    Panel().SetLibrary(first);
    Panel().ReloadLibrary();  // read as after a start, so that when it was read is known
    app->Loader().WaitUntilIdle();
    Panel().TakeLoadedLibraries();
    Panel().SetLibrary(app->VoiceLibraries().Libraries()[1]);
    std::filesystem::copy_file(wav, one.Path() + "/b.wav");
    Panel().SetLibrary(first);
    ASSERT_EQ(Panel().Count(), 1);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Panel().Count() != 2 && std::chrono::steady_clock::now() < deadline) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    EXPECT_EQ(Panel().Count(), 2);
}

// A library added is shown at once: one change of library (one stored place), and no other
// library's rows are built on the way.
TEST_F(MainWindowTest, AnAddedLibraryIsShownWithOneChange) {
    Open({kHikari});
    std::vector<std::string> shown;
    Panel().CurrentLibraryChanged.Add([&](TB_EventArg&) {
        shown.push_back(Panel().GetLibrary() ? Panel().GetLibrary()->Name.ToStdString() : "");
    });
    auto tones = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    tones->Type = TC_VoiceLibraryType::Folder;
    tones->RootPath = TB_Uri(TB_String(kTones.c_str()));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(tones.Get(), true));
    TC_VoiceLibraryEventArg added;
    added.Library = tones.Get();
    Panel().OnLibraryAdded(added);
    EXPECT_EQ(shown, std::vector<std::string>{"tones"});
    EXPECT_EQ(Panel().GetSelector()->GetLibrary(), tones.Get());
}

// The style's icons are read beside the window's building: one that is missing is named once,
// and every other one has been read by the time the window is shown.
TEST_F(MainWindowTest, AMissingStyleIconIsNamedAndTheOthersAreRead) {
    namespace fs = std::filesystem;
    fs::path styles = fs::path(LUMOVOX_BINARY_DIR) / "tests/style";
    std::string name = "without-menu-icon-" + std::to_string(getpid());
    struct Removed {
        fs::path path;
        ~Removed() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } style{styles / name};
    fs::copy(styles / "light", style.path, fs::copy_options::recursive);
    fs::path missing = style.path / LV_StyleIconFile(5, 0).ToStdString();  // the menu button's
    ASSERT_TRUE(fs::remove(missing));
    app->Settings().SetText(u"UiStyleName", TB_String(name.c_str()));
    Open();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, "「" + missing.string() + "」が見つかりませんでした。");
    TB_Button* menu = Panel().GetMenuButton();
    EXPECT_FALSE(menu->NormalImage->HasDocument());
    EXPECT_TRUE(menu->HoverImage->HasDocument());
    EXPECT_TRUE(Panel().GetImportButton()->NormalImage->HasDocument());
}

TEST_F(MainWindowTest, FoldersOnTheCommandLineBecomeLibrariesOnce) {
    Open({kHikari, kTones});
    ASSERT_NE(Panel().GetLibrary(), nullptr);
    EXPECT_EQ(Panel().GetLibrary()->RootPath.GetPath().ToStdString(), kTones);  // the last one
    EXPECT_EQ(app->VoiceLibraries().Libraries().Count(), 2);
    frame.Reset();
    // Named again: only selected, no duplicate and no message.
    Open({kHikari});
    EXPECT_EQ(app->VoiceLibraries().Libraries().Count(), 2);
    EXPECT_EQ(Panel().GetLibrary()->RootPath.GetPath().ToStdString(), kHikari);
    EXPECT_TRUE(m_messages.empty()) << m_messages[0].text;
    // A missing folder is reported on the console and skipped.
    frame.Reset();
    Open({kHikari + "/no such folder"});
    EXPECT_EQ(app->VoiceLibraries().Libraries().Count(), 2);
    EXPECT_EQ(Panel().GetLibrary()->RootPath.GetPath().ToStdString(), kHikari);  // restored
}

// The stored place names a library by folder and by its position; a valid position wins.
TEST_F(MainWindowTest, RestoringThePlaceByFolderAndByPosition) {
    Open({kHikari, kTones});
    auto rootOf = [this] { return Panel().GetLibrary()->RootPath.GetPath().ToStdString(); };
    Panel().SetLibrary(nullptr);
    Panel().RestorePlace(TB_String(u"file:///no/longer/there"), 0);
    EXPECT_EQ(rootOf(), kHikari);
    TB_String hikari = Panel().GetLibrary()->RootPath.GetUri();
    Panel().RestorePlace(TB_String(u"file:///no/longer/there"), 1);
    EXPECT_EQ(rootOf(), kTones);
    // An index out of range leaves the folder's library; neither leaves the current one.
    Panel().RestorePlace(hikari, 7);
    EXPECT_EQ(rootOf(), kHikari);
    Panel().RestorePlace(TB_String(u"file:///no/longer/there"), -1);
    EXPECT_EQ(rootOf(), kHikari);
    EXPECT_EQ(Panel().CurrentLibraryIndex(), 0);
}

TEST_F(MainWindowTest, SearchFoldsKanaAndEveryWordMustMatch) {
    Open({kHikari});
    size_t all = Shown().size();
    ASSERT_GT(all, 3u);
    // The sample readings are hiragana; katakana finds them as well.
    Type(u"オハヨウ");
    EXPECT_EQ(Shown(), std::vector<std::string>{"おはよう"});
    Type(u"おはよう");
    EXPECT_EQ(Shown(), std::vector<std::string>{"おはよう"});
    Type(u"ｵﾊﾖｳ");
    EXPECT_TRUE(Shown().empty());
    Type(u"voice .wav");
    for (const std::string& title : Shown()) {
        EXPECT_NE(title, "こんにちは");  // an MP3
    }
    Type(u"");
    EXPECT_EQ(Shown().size(), all);
}

TEST_F(MainWindowTest, FavouritesOnlyKeepsTheCurrentClipUntilTheFilterRuns) {
    Open({kHikari});
    Panel().SelectIndex(0);
    TB_ToggleButton* star = Panel().GetFavouriteButton();
    ASSERT_TRUE(star->IsEnable());
    star->PerformClick();
    EXPECT_TRUE(Panel().CurrentVoice()->Favorite);
    Type(u"");  // favourites only is set through the popup; here it is set as the popup does
    Panel().ApplyFilter();
    star->PerformClick();  // un-starred while shown
    EXPECT_FALSE(Panel().CurrentVoice()->Favorite);
    EXPECT_TRUE(Panel().GetCurrent()->ItemVisible);
}

// The filter popup: all categories off hides every clip, all on shows them again, and
// favourites only keeps the starred ones.
TEST_F(MainWindowTest, TheFilterPopupSwitchesCategoriesAndFavourites) {
    Open({kHikari});
    size_t all = Shown().size();
    Panel().SelectIndex(0);
    Panel().GetFavouriteButton()->PerformClick();
    std::vector<size_t> seen;
    bool ran = false;
    Panel().FilterPopupShown.Add([&](TB_EventArg&) {
        ran = true;
        TB_PopupPanel* popup = Panel().GetFilterPopup();
        ASSERT_NE(popup, nullptr);
        auto find = [popup](const char16_t* id) -> TB_NativeWidget* {
            for (TB_NativeWidget* child : popup->Children) {
                if (child->Id == TB_String(id)) {
                    return child;
                }
            }
            return nullptr;
        };
        auto* allOff = static_cast<TB_Button*>(find(u"allOff"));
        auto* allOn = static_cast<TB_Button*>(find(u"allOn"));
        ASSERT_TRUE(allOff && allOn);
        allOff->PerformClick();
        seen.push_back(Shown().size());
        allOn->PerformClick();
        seen.push_back(Shown().size());
        // The first box is "お気に入り のみ".
        auto* favourites = static_cast<TB_CheckBox*>(popup->Children[0]);
        favourites->SetChecked(true);
        seen.push_back(Shown().size());
        favourites->SetChecked(false);
        popup->Close();
    });
    Panel().ShowFilterPopup();
    ASSERT_TRUE(ran);
    EXPECT_EQ(seen, (std::vector<size_t>{0, all, 1}));
    EXPECT_EQ(Panel().GetFilterPopup(), nullptr);
}

TEST_F(MainWindowTest, BackAndNextWrapAndTheBottomBarFollowsTheSelection) {
    Open({kHikari});
    tb_int count = Panel().Count();
    ASSERT_GT(count, 2);
    EXPECT_FALSE(frame->GetPlayButton()->IsEnable());  // nothing selected yet
    Panel().SelectIndex(0);
    EXPECT_TRUE(frame->GetPlayButton()->IsEnable());
    frame->PlayPrevious();  // from the first to the last
    EXPECT_EQ(Panel().CurrentIndex(), count - 1);
    frame->PlayNext();  // and round again
    EXPECT_EQ(Panel().CurrentIndex(), 0);
    TC_VoiceData* voice = Panel().CurrentVoice();
    EXPECT_EQ(frame->GetLineBox()->Text.ToStdString(), voice->Surface.ToStdString());
    EXPECT_EQ(frame->GetFileBox()->Text.ToStdString(),
              kHikari + "/" + voice->RelFilePath.ToStdString());
    Panel().SelectIndex(-1);
    EXPECT_FALSE(frame->GetPlayButton()->IsEnable());
    EXPECT_TRUE(frame->GetLineBox()->Text.IsEmpty());
}

TEST_F(MainWindowTest, PlayingAMissingFileSaysWhichFile) {
    TempFolder folder;
    WriteFile(folder / "gone.wav", "RIFF");
    WriteFile(folder / "broken.wav", "not a wave file at all");
    Open({folder.Path()});
    ASSERT_EQ(Panel().Count(), 2);
    std::remove((folder / "gone.wav").c_str());
    tb_int gone = Panel().IndexOfText(u"gone.wav");
    ASSERT_GE(gone, 0);
    // Selecting it says nothing; playing it names the full path.
    TC_VoiceData* voice = static_cast<TC_VoiceDataItem*>(Panel().ItemAt(gone))->Voice;
    voice->Exists = false;  // as the loader's check after the deletion finds it
    Panel().SelectIndex(gone);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_FALSE(Panel().PlaySelected());
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, "ファイル「" + (folder / "gone.wav") + "」が見つかりません。");
    EXPECT_EQ(m_messages[0].title, "声ライブラリ");
    // A file that does not decode.
    Panel().SelectIndex(Panel().IndexOfText(u"broken.wav"));
    EXPECT_FALSE(Panel().PlaySelected());
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_NE(m_messages[1].text.find("は再生できません。"), std::string::npos);
}

// A clip that ends while the window is torn down (its last sound as the user quits) ends
// into nothing: the window's handlers are gone before its children, so the end it reports
// from a media thread must not reach them. The probe, first of the children to go, makes the
// player report an end at that moment, on this thread.
TEST_F(MainWindowTest, AClipEndingAsTheWindowClosesReachesNoHandlerOfIt) {
    struct EndProbe : TB_Canvas {
        TB_AudioPlayer* player = nullptr;
        bool* ended = nullptr;
        ~EndProbe() override { *ended = player->PostErrorForTest("closing"); }
    };
    TB_SetAudioOutput(TB_AudioOutput::Silent);
    Open({std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/audio"});
    Panel().SelectIndex(Panel().IndexOfText(u"pcm16-stereo-48000.wav"));
    ASSERT_TRUE(Panel().PlaySelected());
    ASSERT_TRUE(Panel().GetPlayer()->IsPlaying());
    bool ended = true;
    auto* probe = new EndProbe();
    probe->player = Panel().GetPlayer();
    probe->ended = &ended;
    probe->Parent = frame.Get();
    frame->Children.Insert(0, probe);
    frame.Reset();
    TB_SetAudioOutput(TB_AudioOutput::Auto);
    EXPECT_FALSE(ended);
}

// The description of a clip whose name is not UTF-8 is valid UTF-8 JSON naming the file
// readably; the file list keeps its bytes.
TEST_F(MainWindowTest, ADraggedClipOfANameThatIsNotUtf8IsDescribedReadably) {
    TempFolder folder;
    const std::string name = "\x95\x5C.wav";  // 表 in Shift_JIS
    WriteFile(folder / name, "RIFF");
    Open({folder.Path()});
    Panel().SelectIndex(0);
    auto* item = static_cast<TC_VoiceDataItem*>(Panel().GetCurrent());
    ASSERT_NE(item, nullptr);
    TB_List<TB_DropData*> data;
    item->GetDropData(data);
    ASSERT_EQ(data.Count(), 2);
    EXPECT_EQ(TB_DropData::FilesOf(data[0]->Data), std::vector<std::string>{folder / name});
    std::string json(data[1]->Data.begin(), data[1]->Data.end() - 1);
    rapidjson::Document description;
    description.Parse<rapidjson::kParseValidateEncodingFlag>(json.c_str());
    ASSERT_FALSE(description.HasParseError()) << json;
    EXPECT_EQ(std::string(description["voices"][0]["path"].GetString()), folder / "表.wav");
    EXPECT_EQ(std::string(description["voices"][0]["subtitle"].GetString()), "表");
    TB_ReleaseAll(data);
}

TEST_F(MainWindowTest, ADraggedClipCarriesItsFileAndItsDescription) {
    Open({kHikari});
    Panel().SelectIndex(0);
    auto* item = static_cast<TC_VoiceDataItem*>(Panel().GetCurrent());
    TB_List<TB_DropData*> data;
    item->GetDropData(data);
    ASSERT_EQ(data.Count(), 2);
    std::string path = TC_VoiceDataListPanel::FullPathText(*item->Voice).ToStdString();
    EXPECT_EQ(TB_DropData::FilesOf(data[0]->Data), std::vector<std::string>{path});
    EXPECT_EQ(data[1]->Format, app->ClipDragFormat());
    std::string json(data[1]->Data.begin(), data[1]->Data.end());
    ASSERT_FALSE(json.empty());
    EXPECT_EQ(json.back(), '\0');
    json.pop_back();
    EXPECT_EQ(json, "{\n    \"voices\": [\n        {\n            \"subtitle\": \"" +
                        item->Voice->Surface.ToStdString() + "\",\n            \"path\": \"" +
                        path + "\"\n        }\n    ]\n}");
    TB_ReleaseAll(data);
}

TEST_F(MainWindowTest, ResetAnsweredNoChangesNothingAndSizeAsksForARestart) {
    Open({kHikari});
    answer = TB_IDNO;
    frame->ResetEnvironment();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_NE(m_messages[0].text.find("初期化してもよろしいですか"), std::string::npos);
    EXPECT_EQ(app->VoiceLibraries().Libraries().Count(), 1);
    EXPECT_FALSE(frame->Restart);
    frame->Actions->FindAction(u"UiSize125")->Execute();
    EXPECT_TRUE(frame->Restart);
    EXPECT_EQ(app->Settings().GetInt(u"GuiScale"), 125);
    // The next window is built at 125 % and checks that size in its menu.
    frame.Reset();
    Open();
    EXPECT_FLOAT_EQ(TB_GetGlobalStyle().Scale, 1.25f);
    EXPECT_EQ(frame->GetPlayButton()->GetWidth(), 60.0f);
    bool checked = false;
    for (TB_MenuItem* item : frame->GetMainMenu()->Items) {
        if (auto* sizes = dynamic_cast<TB_MenuSubMenuItem*>(item)) {
            for (TB_MenuItem* size : sizes->Items->Items) {
                auto* box = dynamic_cast<TB_MenuCheckBox*>(size);
                if (box && box->GetText() == TB_String(u"125%")) {
                    checked = box->Checked;
                }
            }
        }
    }
    EXPECT_TRUE(checked);
    answer = TB_IDYES;
    frame->ResetEnvironment();
    EXPECT_EQ(app->VoiceLibraries().Libraries().Count(), 0);
    EXPECT_EQ(app->Settings().GetInt(u"GuiScale"), 100);
    EXPECT_FALSE(frame->Restart);
}

// Pictures of the window with the sample libraries, in both styles and at two sizes, for a
// person to look at (test-output/main-*.png) and for the guide.
TEST_F(MainWindowTest, ScreenshotsOfBothStylesAtTwoSizes) {
    for (const char16_t* style : {u"light", u"dark"}) {
        for (tb_int size : {100, 200}) {
            app->Settings().SetText(u"UiStyleName", TB_String(style));
            app->Settings().SetInt(u"GuiScale", size);
            // As large on the screen at either size (a 200 % screen has twice the pixels).
            float side = static_cast<float>(size) / 100;
            app->Settings().SetRectangle(u"StartWindowBounds",
                                         TB_Rectangle<float>{100, 100, 1000 * side, 700 * side});
            frame.Reset();
            Open(app->VoiceLibraries().Libraries().Count() == 0
                     ? std::vector<std::string>{kTones, kHikari}
                     : std::vector<std::string>{});
            Panel().SelectIndex(1);
            // The first painting asks for the rows' lengths; the second shows them and the
            // outline of the selected clip.
            static_cast<QWidget*>(frame->Window)->grab();
            ASSERT_TRUE(app->SoundInfo().WaitIdle(20000));
            frame->GetWaveformStrip()->Refresh();  // what the posted news would do
            // Reached with Tab, the play button wears the focus ring.
            TB_SetFocusFromKeys(true);
            frame->GetPlayButton()->Focused = true;
            QImage image = static_cast<QWidget*>(frame->Window)->grab().toImage();
            frame->GetPlayButton()->Focused = false;
            TB_SetFocusFromKeys(false);
            std::string path = std::string(LUMOVOX_BINARY_DIR) + "/test-output/main-" +
                               TB_String(style).ToStdString() + "-" + std::to_string(size) + ".png";
            std::filesystem::create_directories(std::string(LUMOVOX_BINARY_DIR) + "/test-output");
            EXPECT_TRUE(image.save(QString::fromStdString(path))) << path;
            EXPECT_EQ(image.width(), 1000 * size / 100);
            // The window's background is the style's.
            const TB_Color& bg = frame->BackgroundColor;
            EXPECT_EQ(image.pixel(2, 2), QColor::fromRgbF(bg.r, bg.g, bg.b).rgb()) << path;
            const TB_Color& focus = TB_GetGlobalStyle().FocusFrame;
            int ring = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    ring += image.pixel(x, y) == QColor::fromRgbF(focus.r, focus.g, focus.b).rgb();
                }
            }
            EXPECT_GE(ring, 4 * 40 * size / 100) << path;  // round a 48-pixel button
            if (std::u16string_view(style) == u"light") {
                // Nothing of the light style is black: a black area is one nobody painted.
                int black = 0;
                for (int y = 0; y < image.height(); ++y) {
                    for (int x = 0; x < image.width(); ++x) {
                        black += image.pixel(x, y) == qRgb(0, 0, 0);
                    }
                }
                EXPECT_EQ(black, 0) << path;
            }
            // The category column holds its longest name with room to spare at its right end:
            // the last few pixels of the first row are the row's own ground.
            auto* list = static_cast<QWidget*>(Panel().GetCanvas()->Window);
            QPoint origin = list->mapTo(static_cast<QWidget*>(frame->Window), QPoint(0, 0));
            const TB_Rectangle<int>& row = Panel().ItemAt(0)->Rect;
            int middle = origin.y() + row.y + row.height / 2;
            QRgb ground = image.pixel(origin.x() + row.x + 2, middle);
            for (int x = row.x + row.width - 6; x < row.x + row.width; ++x) {
                for (int y = row.y + 2; y < row.y + row.height - 2; ++y) {
                    ASSERT_EQ(image.pixel(origin.x() + x, origin.y() + y), ground)
                        << path << " at " << x << ", " << y;
                }
            }
        }
    }
}

}  // namespace
