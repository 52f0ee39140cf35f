#include <thread>

#include "tb_memorystream.h"
#include "tc_app_voice_lib.h"
#include "tc_json.h"
#include "tc_libraryloader.h"
#include "tc_voiceloader.h"
#include "voicelib_fixture.h"

namespace {

namespace fs = std::filesystem;

class IndexTest : public LibraryTest {
protected:
    // A folder library on disk with a character name and n clips.
    TC_VoiceLibrary* MakeLibrary(const std::string& folder, const std::string& character,
                                 int clips = 2) {
        for (int i = 0; i < clips; ++i) {
            WriteFile(Path(folder + "/clip" + std::to_string(i) + ".wav"), "x");
        }
        if (!character.empty()) {
            WriteFile(Path(folder + "/character.ini"), "name\t" + character + "\n");
        }
        auto* library = new TC_VoiceLibrary();
        library->Type = TC_VoiceLibraryType::Folder;
        library->RootPath = Uri(folder);
        EXPECT_TRUE(TC_VoiceLoader::LoadLibrary(library, true));
        return library;
    }
    std::vector<std::string> Tree() {
        std::vector<std::string> out;
        TB_List<TC_VoiceLibrary*> all;
        list.FlattenLibraries(all);
        for (TC_VoiceLibrary* library : all) {
            out.push_back(std::string(static_cast<size_t>(library->Depth) * 2, ' ') +
                          library->Name.ToStdString());
        }
        return out;
    }
    TB_Stream* Default() { return m_default.Get(); }

    TC_VoiceLibraryList list;
    TB_Ref<TB_MemoryStream> m_default = TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream(
        TC_VoiceLoader::DefaultThumbnailPng(),
        static_cast<tb_int64>(TC_VoiceLoader::DefaultThumbnailPngSize()), false));
};

TEST_F(IndexTest, DuplicateImportIsRefusedWithAWarning) {
    ASSERT_TRUE(list.AddLibrary(MakeLibrary("one", ""), Default()));
    TC_VoiceLibrary* again = MakeLibrary("one", "");
    EXPECT_FALSE(list.AddLibrary(again, Default()));
    again->Release();
    EXPECT_EQ(list.Libraries().Count(), 1);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, "「" + Path("one") + "」は、すでに読みこまれています。");
    EXPECT_EQ(m_messages[0].title, "フォルダを追加");
    EXPECT_EQ(m_messages[0].style, TB_MB_OK | TB_MB_ICONWARNING);
}

TEST_F(IndexTest, LibrariesOfOneCharacterFormAGroupInPlace) {
    list.AddLibrary(MakeLibrary("first", ""), Default());
    list.AddLibrary(MakeLibrary("taro1", "Taro"), Default());
    list.AddLibrary(MakeLibrary("last", ""), Default());
    list.AddLibrary(MakeLibrary("taro2", "Taro"), Default());
    EXPECT_EQ(Tree(), (std::vector<std::string>{"first", "Taro", "  taro1", "  taro2", "last"}));
    TC_VoiceLibrary* group = list.Libraries()[1];
    EXPECT_EQ(group->Type, TC_VoiceLibraryType::Group);
    EXPECT_EQ(group->CharName.ToStdString(), "Taro");
    EXPECT_EQ(group->Thumbnail, group->SubLibs[1]->Thumbnail);
    list.AddLibrary(MakeLibrary("taro3", "Taro"), Default());
    EXPECT_EQ(Tree(),
              (std::vector<std::string>{"first", "Taro", "  taro1", "  taro2", "  taro3", "last"}));

    EXPECT_TRUE(list.RemoveLibrary(group->SubLibs[0]));
    EXPECT_EQ(Tree(), (std::vector<std::string>{"first", "Taro", "  taro2", "  taro3", "last"}));
    EXPECT_TRUE(list.RemoveLibrary(list.Libraries()[1]->SubLibs[1]));  // one left: dissolved
    EXPECT_EQ(Tree(), (std::vector<std::string>{"first", "taro2", "last"}));
    EXPECT_TRUE(list.RemoveLibrary(list.Libraries()[0]));
    EXPECT_EQ(Tree(), (std::vector<std::string>{"taro2", "last"}));
}

TEST_F(IndexTest, NestedGroupsLeaveTheirParent) {
    WriteFile(Path("libs.json"),
              R"({"libs": [{"name": "Outer", "type": 2, "root": "", "info": "", "sub-libs": [
        {"name": "Inner", "type": 2, "root": "", "info": "", "sub-libs": []},
        {"name": "Second", "type": 2, "root": "", "info": "", "sub-libs": []},
        {"name": "Third", "type": 2, "root": "", "info": ""}]}], "favs": []})");
    list.LoadIndex(Uri("libs.json"), Default());
    EXPECT_EQ(Tree(), (std::vector<std::string>{"Outer", "  Inner", "  Second", "  Third"}));
    list.RemoveLibrary(list.Libraries()[0]->SubLibs[0]);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"Outer", "  Second", "  Third"}));
    list.RemoveLibrary(list.Libraries()[0]->SubLibs[0]);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"Third"}));
    list.RemoveLibrary(list.Libraries()[0]);
    EXPECT_TRUE(list.Libraries().IsEmpty());
}

TEST_F(IndexTest, FavouritesAndTheTreeSurviveSaveAndLoad) {
    list.LoadIndex(Uri("voice-libs.json"), Default());  // none yet: empty and loaded
    EXPECT_TRUE(list.IsIndexLoaded());
    list.AddLibrary(MakeLibrary("solo", "", 3), Default());
    list.AddLibrary(MakeLibrary("hanako1", "Hanako"), Default());
    list.AddLibrary(MakeLibrary("hanako2", "Hanako"), Default());
    list.Libraries()[0]->Voices[1]->Favorite = true;
    list.Libraries()[1]->SubLibs[1]->Voices[0]->Favorite = true;
    ASSERT_TRUE(list.SaveIndex(Uri("voice-libs.json")));
    std::string saved = ReadFile(Path("voice-libs.json"));
    EXPECT_NE(saved.find("\"favs\": [\n\t\t\"file://" + Path("solo/clip1.wav") +
                         "\",\n\t\t\"file://" + Path("hanako2/clip0.wav") + "\"\n\t]"),
              std::string::npos)
        << saved;

    TC_VoiceLibraryList reloaded;
    reloaded.LoadIndex(Uri("voice-libs.json"), Default());
    EXPECT_EQ(reloaded.IndexJson(), saved);
    EXPECT_TRUE(reloaded.Libraries()[0]->Voices[1]->Favorite);
    EXPECT_FALSE(reloaded.Libraries()[0]->Voices[0]->Favorite);
    EXPECT_TRUE(reloaded.Libraries()[1]->SubLibs[1]->Voices[0]->Favorite);
    ASSERT_NE(reloaded.Libraries()[0]->Thumbnail, nullptr);
}

// A folder that is away at start (a drive not mounted yet) keeps its entry, its place in its
// group and its favourites, written back unchanged; once back, a refresh loads it with them.
// A refresh of a library that is there keeps its favourites too.
TEST_F(IndexTest, AMissingFolderKeepsItsEntryAndFavouritesUntilItIsBack) {
    list.LoadIndex(Uri("voice-libs.json"), Default());
    list.AddLibrary(MakeLibrary("solo", "", 3), Default());
    list.AddLibrary(MakeLibrary("hanako1", "Hanako"), Default());
    list.AddLibrary(MakeLibrary("hanako2", "Hanako"), Default());
    list.Libraries()[0]->Voices[2]->Favorite = true;
    list.Libraries()[1]->SubLibs[0]->Voices[0]->Favorite = true;
    list.Libraries()[1]->SubLibs[1]->Voices[1]->Favorite = true;
    ASSERT_TRUE(list.Refresh(list.Libraries()[0], Default()));
    EXPECT_TRUE(list.Libraries()[0]->Voices[2]->Favorite);
    ASSERT_TRUE(list.SaveIndex(Uri("voice-libs.json")));
    std::string saved = ReadFile(Path("voice-libs.json"));

    fs::rename(Path("solo"), Path("away-solo"));
    fs::rename(Path("hanako1"), Path("away-hanako1"));
    TC_VoiceLibraryList away;
    away.LoadIndex(Uri("voice-libs.json"), Default());
    EXPECT_EQ(away.IndexJson(), saved);
    TC_VoiceLibrary* solo = away.Libraries()[0];
    TC_VoiceLibrary* hanako1 = away.Libraries()[1]->SubLibs[0];
    EXPECT_FALSE(solo->Available);
    EXPECT_FALSE(hanako1->Available);
    EXPECT_EQ(solo->Name.ToStdString(), "solo");
    EXPECT_EQ(solo->Voices.Count(), 0);
    EXPECT_EQ(away.FavouriteCount(solo), 1);
    EXPECT_EQ(away.FavouriteCount(away.Libraries()[1]), 2);
    // Still away: the refresh changes nothing.
    EXPECT_FALSE(away.Refresh(solo, Default()));
    EXPECT_EQ(away.IndexJson(), saved);

    fs::rename(Path("away-solo"), Path("solo"));
    EXPECT_TRUE(away.Refresh(solo, Default()));
    ASSERT_EQ(solo->Voices.Count(), 3);
    EXPECT_TRUE(solo->Voices[2]->Favorite);
    EXPECT_EQ(away.IndexJson(), saved);
    // Only the user's removal lets a missing library and its favourites go.
    ASSERT_TRUE(away.RemoveLibrary(hanako1));
    EXPECT_EQ(away.IndexJson().find("hanako1"), std::string::npos);
    EXPECT_EQ(away.FavouriteCount(away.Libraries()[1]), 1);
}

// An index listed at once and read on the loader's thread: saved at any moment it keeps every
// entry and favourite; read, the stars are on their clips. Changes on disk read again keep the
// stars, also of a clip that is away for a while, and a folder that goes keeps its clips.
TEST_F(IndexTest, ReadInTheBackgroundNothingIsLostAtAnyMoment) {
    list.LoadIndex(Uri("voice-libs.json"), Default());
    list.AddLibrary(MakeLibrary("solo", "", 3), Default());
    WriteFile(Path("table/a.wav"), "x");
    WriteFile(Path("table/lines.csv"), "a.wav,A,line,,c\nb.wav,B,line,,c\n");
    auto* table = new TC_VoiceLibrary();
    table->Type = TC_VoiceLibraryType::Folder;
    table->RootPath = Uri("table");
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(table, true));
    list.AddLibrary(table, Default());
    list.Libraries()[0]->Voices[1]->Favorite = true;
    list.Libraries()[1]->Voices[0]->Favorite = true;
    ASSERT_TRUE(list.SaveIndex(Uri("voice-libs.json")));
    std::string saved = ReadFile(Path("voice-libs.json"));

    TC_VoiceLibraryList background;
    background.LoadIndex(Uri("voice-libs.json"), Default(), true, true);
    TC_VoiceLibrary* solo = background.Libraries()[0];
    EXPECT_TRUE(solo->Pending);
    EXPECT_EQ(solo->Voices.Count(), 0);
    EXPECT_EQ(background.IndexJson(), saved);  // closed before anything was read

    TC_LibraryLoader loader;
    auto readAll = [&](TC_VoiceLibrary* library, TC_LoadReason reason) {
        loader.Queue(library, reason, background.KeptFavourites());
        loader.WaitUntilIdle();
        for (auto& loaded : loader.Take()) {
            EXPECT_TRUE(background.Adopt(*loaded));
        }
    };
    for (TC_VoiceLibrary* library : background.Libraries()) {
        readAll(library, TC_LoadReason::Start);
    }
    ASSERT_EQ(solo->Voices.Count(), 3);
    EXPECT_FALSE(solo->Pending);
    EXPECT_TRUE(solo->Voices[1]->Favorite);
    EXPECT_TRUE(background.Libraries()[1]->Voices[0]->Favorite);
    EXPECT_TRUE(background.KeptFavourites().empty());
    EXPECT_EQ(background.IndexJson(), saved);

    // A starred clip away, a new one in: the star waits and comes back with its file.
    fs::rename(Path("solo/clip1.wav"), Path("clip1.wav"));
    WriteFile(Path("solo/new.wav"), "x");
    readAll(solo, TC_LoadReason::Disk);
    EXPECT_EQ(solo->Voices.Count(), 3);
    EXPECT_EQ(background.IndexJson(), saved) << "the star of a clip away is kept";
    fs::rename(Path("clip1.wav"), Path("solo/clip1.wav"));
    readAll(solo, TC_LoadReason::Disk);
    readAll(solo, TC_LoadReason::Disk);  // the stars go from the old clips to the new
    ASSERT_EQ(solo->Voices.Count(), 4);
    int starred = 0;
    for (TC_VoiceData* voice : solo->Voices) {
        starred += voice->Favorite && voice->RelFilePath.ToStdString() == "clip1.wav";
    }
    EXPECT_EQ(starred, 1);

    // The folder goes: its list stays, unavailable, none of its files there.
    fs::rename(Path("solo"), Path("away"));
    readAll(solo, TC_LoadReason::Disk);
    EXPECT_FALSE(solo->Available);
    ASSERT_EQ(solo->Voices.Count(), 4);
    EXPECT_FALSE(solo->Voices[0]->Exists);
    EXPECT_NE(background.IndexJson().find(Path("solo/clip1.wav")), std::string::npos);
    EXPECT_TRUE(m_messages.empty());

    // Closing during a long read cuts it short, and nothing of it is taken.
    std::string lines;
    for (int i = 0; i < 300000; ++i) {
        lines += "c" + std::to_string(i) + ".wav,T,L,,c\n";
    }
    WriteFile(Path("big/lines.csv"), lines);
    auto big = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    big->Type = TC_VoiceLibraryType::Folder;
    big->RootPath = Uri("big");
    TC_LibraryLoader closing;
    closing.Queue(big.Get(), TC_LoadReason::Start, {});
    while (closing.Progress() == 0) {
        std::this_thread::yield();
    }
    closing.Stop();
    EXPECT_LT(closing.Progress(), 300000);
    EXPECT_TRUE(closing.Take().empty());
    EXPECT_EQ(big->Voices.Count(), 0);
}

TEST_F(IndexTest, PathsThatAreNotUtf8KeepTheirBytesThroughTheIndex) {
    const std::string sjis = "\x83\x65\x83\x58\x83\x67";  // テスト in Shift_JIS
    WriteFile(Path(sjis + "/\x95\x5C.wav"), "x");
    list.LoadIndex(Uri("voice-libs.json"), Default());
    list.AddLibrary(MakeLibrary(sjis, ""), Default());
    TC_VoiceLibrary* library = list.Libraries()[0];
    EXPECT_EQ(library->Name.ToStdString(), "テスト");
    ASSERT_EQ(library->Voices.Count(), 3);
    TC_VoiceData* odd = library->Voices[2];
    ASSERT_EQ(odd->Surface.ToStdString(), "表");
    odd->Favorite = true;
    ASSERT_TRUE(list.SaveIndex(Uri("voice-libs.json")));

    std::string saved = ReadFile(Path("voice-libs.json"));
    rapidjson::Document strict;
    strict.Parse<rapidjson::kParseValidateEncodingFlag>(saved.c_str());
    EXPECT_FALSE(strict.HasParseError()) << "the index must stay valid UTF-8";
    EXPECT_NE(saved.find("\"file://" + Path("\\udc83e\\udc83X\\udc83g/\\udc95\\udc5c.wav") + "\""),
              std::string::npos)
        << saved;

    TC_VoiceLibraryList reloaded;
    reloaded.LoadIndex(Uri("voice-libs.json"), Default());
    ASSERT_EQ(reloaded.Libraries().Count(), 1);
    TC_VoiceLibrary* again = reloaded.Libraries()[0];
    EXPECT_EQ(again->RootPath.GetPath().ToStdString(), Path(sjis));
    ASSERT_EQ(again->Voices.Count(), 3);
    EXPECT_TRUE(again->Voices[2]->Favorite);
    EXPECT_TRUE(again->Voices[2]->Exists);
    EXPECT_FALSE(again->Voices[0]->Favorite);
    EXPECT_EQ(reloaded.IndexJson(), saved);
}

TEST_F(IndexTest, ARootWithATrailingSlashLoadsTheSameLibraryAndItsFavourites) {
    WriteFile(Path("lib/clip0.wav"), "x");
    WriteFile(Path("lib/clip1.wav"), "x");
    WriteFile(Path("table/voice/a.wav"), "x");
    WriteFile(Path("table/lines.csv"), "voice/a.wav,A,A,A,C\n");
    WriteFile(Path("libs.json"),
              "{\"libs\": [{\"name\": \"lib\", \"type\": 0, \"root\": \"file://" + Path("lib/") +
                  "\", \"info\": \"\"}, {\"name\": \"lines\", \"type\": 1, \"root\": \"file://" +
                  Path("table/") + "\", \"info\": \"file://" + Path("table/lines.csv") +
                  "\"}], \"favs\": [\"file://" + Path("lib/clip1.wav") + "\", \"file://" +
                  Path("table/voice/a.wav") + "\"]}");
    list.LoadIndex(Uri("libs.json"), Default());
    ASSERT_EQ(list.Libraries().Count(), 2);
    TC_VoiceLibrary* folder = list.Libraries()[0];
    EXPECT_EQ(folder->Name.ToStdString(), "lib");
    ASSERT_EQ(folder->Voices.Count(), 2);
    EXPECT_EQ(folder->Voices[1]->RelFilePath.ToStdString(), "clip1.wav");
    EXPECT_TRUE(folder->Voices[1]->Exists);
    EXPECT_TRUE(folder->Voices[1]->Favorite);
    TC_VoiceLibrary* table = list.Libraries()[1];
    ASSERT_EQ(table->Voices.Count(), 1);
    EXPECT_TRUE(table->Voices[0]->Exists);
    EXPECT_TRUE(table->Voices[0]->Favorite);
    EXPECT_NE(list.IndexJson().find("\"root\": \"file://" + Path("lib") + "\""), std::string::npos);
}

TEST_F(IndexTest, MalformedEntriesAreDroppedAndDeepOnesSaid) {
    WriteFile(Path("ok/a.wav"), "x");
    std::string ok =
        "{\"name\": \"ok\", \"type\": 0, \"root\": \"file://" + Path("ok") + "\", \"info\": \"\"}";
    WriteFile(Path("libs.json"),
              std::string("\xEF\xBB\xBF{\"libs\": [\"a string\", 5, {}, ") +
                  "{\"name\": 1, \"type\": \"0\", \"root\": \"\", \"info\": \"\"}," +
                  "{\"name\": \"no info\", \"type\": 0, \"root\": \"file://" + Path("ok") + "\"}," +
                  "{\"name\": \"bad type\", \"type\": 9, \"root\": \"\", \"info\": \"\"}," + ok +
                  "], \"favs\": [3, null, \"file://" + Path("ok/a.wav") + "\"]}");
    list.LoadIndex(Uri("libs.json"), Default());
    ASSERT_EQ(list.Libraries().Count(), 1);
    EXPECT_TRUE(list.Libraries()[0]->Voices[0]->Favorite);
    list.SaveIndex(Uri("libs.json"));
    EXPECT_EQ(ReadFile(Path("libs.json")).find("no info"), std::string::npos);

    WriteFile(Path("other.json"), "{\"libs\": {}, \"favs\": \"x\"}");
    list.LoadIndex(Uri("other.json"), Default());
    EXPECT_TRUE(list.Libraries().IsEmpty());

    std::string nested = "{\"libs\": [";
    for (int i = 0; i < 200; ++i) {
        nested += "{\"name\": \"g\", \"type\": 2, \"root\": \"\", \"info\": \"\", \"sub-libs\": [";
    }
    for (int i = 0; i < 200; ++i) {
        nested += "]}";
    }
    nested += "], \"favs\": []}";
    EXPECT_TRUE(m_messages.empty());
    // Nesting beyond what is read is not dropped unseen: it is said, and the file as it was
    // is kept aside from the next save.
    WriteFile(Path("deep.json"), nested);
    list.LoadIndex(Uri("deep.json"), Default());
    TB_List<TC_VoiceLibrary*> all;
    list.FlattenLibraries(all);
    EXPECT_EQ(all.Count(), TC_VoiceLibraryList::kMaxDepth + 1);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_NE(m_messages[0].text.find("入れ子が深すぎる"), std::string::npos);
    EXPECT_EQ(ReadFile(Path("deep.json.broken")), nested);
}

TEST_F(IndexTest, UnreadableIndexIsKeptAsideNotErased) {
    std::string garbage(10 * 1024 * 1024, '[');
    WriteFile(Path("voice-libs.json"), garbage);
    list.LoadIndex(Uri("voice-libs.json"), Default());
    EXPECT_TRUE(list.Libraries().IsEmpty());
    EXPECT_EQ(fs::file_size(Path("voice-libs.json.broken")), garbage.size());
    list.AddLibrary(MakeLibrary("new", ""), Default());
    EXPECT_TRUE(list.SaveIndex(Uri("voice-libs.json")));
    EXPECT_EQ(fs::file_size(Path("voice-libs.json.broken")), garbage.size());

    WriteFile(Path("array.json"), "[]");
    list.LoadIndex(Uri("array.json"), Default());
    EXPECT_TRUE(fs::exists(Path("array.json.broken")));

    TC_VoiceLibraryList notLoaded;
    EXPECT_FALSE(notLoaded.SaveIndex(Uri("never.json")));
    EXPECT_FALSE(fs::exists(Path("never.json")));
}

}  // namespace
