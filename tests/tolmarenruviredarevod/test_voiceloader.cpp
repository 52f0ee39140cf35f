#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "tb_filestream.h"
#include "tb_memorystream.h"
#include "tc_voiceloader.h"
#include "voicelib_fixture.h"

namespace {

namespace fs = std::filesystem;
using Loader = std::vector<std::string>;

std::vector<std::string> Names(const TC_VoiceLibrary& library) {
    std::vector<std::string> out;
    for (TC_VoiceCategory* category : library.Categories) {
        std::string line = category->Name.ToStdString() + ":";
        for (TC_VoiceData* voice : library.Voices) {
            if (voice->Categories.Contains(category)) {
                line += " " + voice->RelFilePath.ToStdString();
            }
        }
        out.push_back(line);
    }
    return out;
}

TB_Ref<TC_VoiceLibrary> Folder(const TB_Uri& root) {
    auto library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    library->Type = TC_VoiceLibraryType::Folder;
    library->RootPath = root;
    return library;
}

std::vector<std::string> Split(const char* utf8, tb_char separator) {
    std::vector<std::string> out;
    for (const TB_String& field : TC_VoiceLoader::SplitFields(TB_String(utf8), separator)) {
        out.push_back(field.ToStdString());
    }
    return out;
}

TEST(FieldRule, QuotesEscapesAndTrailingSeparators) {
    EXPECT_EQ(Split("a,\"b,c\",d", u','), (Loader{"a", "b,c", "d"}));
    EXPECT_EQ(Split("\"line\\none\",\"back\\\\slash\",x\\n", u','),
              (Loader{"line\none", "back\\slash", "x\\n"}));
    EXPECT_EQ(Split("\"lone \\ backslash\"", u','), (Loader{"lone \\ backslash"}));
    EXPECT_EQ(Split("a,b,", u','), (Loader{"a", "b"}));
    EXPECT_EQ(Split(",,,,", u','), (Loader{"", "", "", ""}));
    EXPECT_EQ(Split("pre\"quoted\"post,z", u','), (Loader{"prequotedpost", "z"}));
    EXPECT_EQ(Split("a,\"unterminated, to the end", u','),
              (Loader{"a", "unterminated, to the end"}));
    EXPECT_EQ(Split("", u','), (Loader{}));
    EXPECT_EQ(Split("NAME\tTaro\t", u'\t'), (Loader{"NAME", "Taro"}));
}

TEST_F(LibraryTest, FolderScanMakesUncategorisedAndOneCategoryPerSubfolder) {
    WriteFile(Path("lib/a.wav"), "x");
    WriteFile(Path("lib/b.WAV"), "x");
    WriteFile(Path("lib/notes.txt"), "x");
    WriteFile(Path("lib/Happy/c.mp3"), "x");
    WriteFile(Path("lib/Happy/deeper/d.wav"), "x");
    WriteFile(Path("lib/Empty/e.txt"), "x");
    auto library = Folder(Uri("lib"));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(library.Get(), true));
    EXPECT_EQ(library->Name.ToStdString(), "lib");
    EXPECT_EQ(Names(*library), (Loader{"未分類: a.wav", "Empty:", "Happy: Happy/c.mp3"}));
    ASSERT_EQ(library->Voices.Count(), 2);
    EXPECT_EQ(library->Voices[0]->Surface.ToStdString(), "a");
    EXPECT_EQ(library->Voices[0]->Display.ToStdString(), "a");
    EXPECT_TRUE(library->Voices[0]->Yomi.IsEmpty());
    EXPECT_TRUE(library->Voices[1]->Exists);
    EXPECT_TRUE(library->Categories[0]->Active);

    auto missing = Folder(Uri("gone"));
    EXPECT_FALSE(TC_VoiceLoader::LoadLibrary(missing.Get(), true));
    EXPECT_TRUE(
        TC_VoiceLoader::LoadLibrary(missing.Get(), false));  // a refresh of a vanished folder
    EXPECT_EQ(Names(*missing), (Loader{"未分類:"}));
}

TEST_F(LibraryTest, NamesThatAreNotUtf8AreListedOnceReadableAndOpenable) {
    const std::string sjis = "\x83\x65\x83\x58\x83\x67";  // テスト in Shift_JIS
    WriteFile(Path("lib/" + sjis + ".wav"), "1");
    WriteFile(Path("lib/\x80"
                   "bad.wav"),
              "2");                                         // neither UTF-8 nor Shift_JIS
    WriteFile(Path("lib/" + sjis + "/\x95\x5C.wav"), "3");  // 表: its second byte is a backslash
    WriteFile(Path("lib/\xFF"
                   "x/b.wav"),
              "4");
    auto library = Folder(Uri("lib"));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(library.Get(), true));
    EXPECT_EQ(Names(*library), (Loader{"未分類: \x80"
                                       "bad.wav " +
                                           sjis + ".wav",
                                       "テスト: " + sjis + "/\x95\x5C.wav",
                                       "\xEF\xBF\xBDx: \xFF"
                                       "x/b.wav"}));
    std::vector<std::string> surfaces;
    for (TC_VoiceData* voice : library->Voices) {
        surfaces.push_back(voice->Surface.ToStdString());
        EXPECT_EQ(voice->Display.ToStdString(), surfaces.back());
        EXPECT_TRUE(voice->Exists) << surfaces.back();
        TB_Uri full;
        voice->GetFullPath(full);
        TB_FileStream stream(full, TB_FileMode::Read);
        ASSERT_TRUE(stream.IsOpen()) << full.GetPath().ToStdString();
        EXPECT_EQ(ReadFile(full.GetPath().ToStdString()).size(), 1u);
    }
    EXPECT_EQ(surfaces, (Loader{"\xEF\xBF\xBD"
                                "bad",
                                "テスト", "表", "b"}));

    // The same root written with a trailing slash is the same library.
    auto slashed = Folder(Uri("lib/"));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(slashed.Get(), true));
    EXPECT_EQ(slashed->Name.ToStdString(), "lib");
    EXPECT_EQ(slashed->RootPath.GetUri().ToStdString(), library->RootPath.GetUri().ToStdString());
    EXPECT_EQ(Names(*slashed), Names(*library));
    for (TC_VoiceData* voice : slashed->Voices) {
        EXPECT_TRUE(voice->Exists);
    }
}

TEST_F(LibraryTest, AFolderWithATableIsLoadedFromTheTableOnly) {
    WriteFile(Path("lib/z.csv"), "late.wav,L,L,L,x\n");
    WriteFile(Path("lib/M.CSV"), "upper.wav,U,U,U,x\n");  // after Lines.csv in name order
    WriteFile(Path("lib/A.csv.txt"), "not.wav,N,N,N,x\n");
    fs::create_directories(Path("lib/B.csv"));
    WriteFile(Path("lib/Lines.csv"),
              "\xEF\xBB\xBFvoice/a.wav,Title A,\"Hello, world\",はろー,Greeting\n"
              "\n"
              "voice/b.wav,Title B,\"two\\nlines\",にぎょう,Other,extra,fields\n"
              "missing.wav,M,M,M,Greeting\n");
    WriteFile(Path("lib/voice/a.wav"), "x");
    WriteFile(Path("lib/voice/b.wav"), "x");
    WriteFile(Path("lib/Sub/c.wav"), "x");
    WriteFile(Path("lib/character.ini"), "NAME\tTaro\nother\tvalue\nName\tJiro\n");
    auto library = Folder(Uri("lib"));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(library.Get(), true));
    EXPECT_EQ(library->Name.ToStdString(), "Lines");
    EXPECT_EQ(library->InfoFilePath.GetPath().ToStdString(), Path("lib/Lines.csv"));
    EXPECT_EQ(library->CharName.ToStdString(), "Jiro");  // a later "name" line wins
    EXPECT_EQ(Names(*library), (Loader{"Greeting: voice/a.wav missing.wav", "Other: voice/b.wav"}));
    EXPECT_EQ(library->Voices[0]->Surface.ToStdString(), "Hello, world");
    EXPECT_EQ(library->Voices[0]->Yomi.ToStdString(), "はろー");
    EXPECT_EQ(library->Voices[1]->Surface.ToStdString(), "two\nlines");
    EXPECT_TRUE(library->Voices[1]->Exists);
    EXPECT_FALSE(library->Voices[2]->Exists);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(LibraryTest, AShortLineStopsTheTableWithItsLineNumber) {
    WriteFile(Path("lib/t.csv"), "a.wav,A,A,A,C\n\nb.wav,B,B,B\nc.wav,C,C,C,C\n");
    auto library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    library->Type = TC_VoiceLibraryType::Csv;
    library->InfoFilePath = Uri("lib/t.csv");
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(library.Get(), true));
    EXPECT_EQ(library->Voices.Count(), 1);  // what was read before stays
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].title, "t");
    EXPECT_EQ(m_messages[0].style, TB_MB_OK | TB_MB_ICONERROR);
    EXPECT_EQ(m_messages[0].text,
              "音声ライブラリ設定用CSVファイルの読み込みに失敗しました。\r\n"
              "\"ファイル名, 表示, セリフ, 読み, カテゴリ\" の5列を設定してください。\r\n"
              "エラー行: 3行目");

    library->InfoFilePath = Uri("lib/none.csv");
    EXPECT_FALSE(TC_VoiceLoader::LoadLibrary(library.Get(), true));
}

TEST_F(LibraryTest, BadTablesLoadOrRefuseCleanly) {
    fs::create_directories(Path("dir/x.csv"));  // a folder named like a table is a category
    WriteFile(Path("dir/a.wav"), "x");
    auto folder = Folder(Uri("dir"));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(folder.Get(), true));
    EXPECT_EQ(Names(*folder), (Loader{"未分類: a.wav", "x.csv:"}));

    // A row of a million commas is read for its five fields; a row beyond a million
    // characters is refused by its line number, before it can cost more than that.
    std::string commas(1000 * 1000, ',');
    std::string big(5 * 1024 * 1024, 'w');
    WriteFile(Path("bad/t.csv"),
              "ok.wav,\xFF\xFE"
              "bad utf8,s,y,c\n" +
                  commas + "\nc.wav,d,s,y,c" + commas + "\n" + big + ",d,s,y,c\nlast.wav,,,,c\n");
    auto table = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    table->Type = TC_VoiceLibraryType::Csv;
    table->InfoFilePath = Uri("bad/t.csv");
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(table.Get(), true));
    ASSERT_EQ(table->Voices.Count(), 3);
    EXPECT_EQ(table->Voices[0]->Display.ToStdString(), "bad utf8");
    EXPECT_EQ(table->Voices[1]->RelFilePath.Length(), 0);
    EXPECT_EQ(table->Voices[2]->Categories[0]->Name.ToStdString(), "c");
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text,
              "音声ライブラリ設定用CSVファイルの読み込みに失敗しました。\r\n"
              "1行が長すぎます（1048576文字まで）。\r\nエラー行: 4行目");

    WriteFile(Path("quote/t.csv"), "ok.wav,d,s,y,c\n\"open quote,,,,\n,,,,\n");
    table->InfoFilePath = Uri("quote/t.csv");
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(table.Get(), true));
    EXPECT_EQ(table->Voices.Count(), 1);
    ASSERT_EQ(m_messages.size(), 2u);  // the unterminated quote is one field: line 2 is short
    EXPECT_NE(m_messages[1].text.find("エラー行: 2行目"), std::string::npos);

    WriteFile(Path("random/t.csv"),
              std::string("\x00\x01\xFF,\n\"\\", 6) + std::string(3000, '\x93'));
    table->InfoFilePath = Uri("random/t.csv");
    EXPECT_TRUE(TC_VoiceLoader::LoadLibrary(table.Get(), true));
}

TEST_F(LibraryTest, ThumbnailsComeFromTheFolderTheTableOrTheLastSubLibrary) {
    std::string png = ReadFile(std::string(LUMOVOX_SOURCE_DIR) + "/samples/hikari/thumbnail.png");
    WriteFile(Path("a/thumbnail.png"), png);
    WriteFile(Path("b/thumbnail.png"), "not a png");
    WriteFile(Path("c/table.png"), png);
    WriteFile(Path("c/table.csv"), "");
    auto defaultImage = TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream(
        TC_VoiceLoader::DefaultThumbnailPng(),
        static_cast<tb_int64>(TC_VoiceLoader::DefaultThumbnailPngSize()), false));

    auto a = Folder(Uri("a"));
    TC_VoiceLoader::LoadThumbnail(a.Get(), defaultImage.Get());
    ASSERT_NE(a->Thumbnail, nullptr);
    EXPECT_EQ(a->Thumbnail->Width, 64);

    auto b = Folder(Uri("b"));  // a thumbnail that does not decode leaves none
    TC_VoiceLoader::LoadThumbnail(b.Get(), defaultImage.Get());
    EXPECT_EQ(b->Thumbnail, nullptr);

    auto c = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    c->Type = TC_VoiceLibraryType::Csv;
    c->InfoFilePath = Uri("c/table.csv");
    TC_VoiceLoader::LoadLibrary(c.Get(), true);
    TC_VoiceLoader::LoadThumbnail(c.Get(), defaultImage.Get());
    ASSERT_NE(c->Thumbnail, nullptr);
    EXPECT_EQ(c->Thumbnail->Width, 64);

    auto group = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    group->Type = TC_VoiceLibraryType::Group;
    auto* first = new TC_VoiceLibrary();
    first->Type = TC_VoiceLibraryType::Folder;
    first->RootPath = Uri("empty1");
    auto* second = new TC_VoiceLibrary();
    second->Type = TC_VoiceLibraryType::Folder;
    second->RootPath = Uri("empty2");
    group->SubLibs.Add(first);
    group->SubLibs.Add(second);
    defaultImage->Seek(100, TB_SeekOrigin::Begin);  // rewound before each use
    TC_VoiceLoader::LoadThumbnail(group.Get(), defaultImage.Get());
    ASSERT_NE(group->Thumbnail, nullptr);
    EXPECT_EQ(group->Thumbnail, second->Thumbnail);
    EXPECT_EQ(group->Thumbnail->Width, 256);
    EXPECT_EQ(*group->Thumbnail->PixelAt(0, 0), 0xFFFFFFFFu);              // white ground
    EXPECT_EQ(*group->Thumbnail->PixelAt(128, 98) & 0xFFFFFF, 0x404040u);  // the dark head
    group->Thumbnail->Unlock();
}

TEST_F(LibraryTest, SampleLibrariesLoad) {
    const std::string samples = std::string(LUMOVOX_SOURCE_DIR) + "/samples/";
    auto hikari = Folder(TB_Uri(TB_String((samples + "hikari").c_str())));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(hikari.Get(), true));
    EXPECT_EQ(hikari->Name.ToStdString(), "hikari");
    EXPECT_EQ(hikari->CharName.ToStdString(), "ヒカリ");
    EXPECT_EQ(Names(*hikari), (Loader{"あいさつ: voice/greet_01.wav voice/greet_02.mp3",
                                      "よろこび: voice/joy_01.m4a voice/joy_02.wav",
                                      "かなしみ: voice/sad_01.wav"}));
    EXPECT_EQ(hikari->Voices[0]->Surface.ToStdString(), "おはよう、今日もいい天気だね。");
    EXPECT_EQ(hikari->Voices[2]->Surface.ToStdString(), "やったー。\nできたよ。");
    for (TC_VoiceData* voice : hikari->Voices) {
        EXPECT_TRUE(voice->Exists) << voice->RelFilePath.ToStdString();
    }
    auto tones = Folder(TB_Uri(TB_String((samples + "tones").c_str())));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(tones.Get(), true));
    EXPECT_EQ(Names(*tones), (Loader{"未分類: beep.wav", "Calm: Calm/hum.wav",
                                     "Happy: Happy/bell.m4a Happy/chime.mp3"}));
    EXPECT_TRUE(m_messages.empty());
}

// A pipe, a socket or a device is nothing a clip can be read from: it never exists as one
// (and reading it would block or never end), nor is it taken for a table.
TEST_F(LibraryTest, ExistsMeansARegularFileWhereverTheClipIs) {
    // The root is read once for the table and the clips beside it; voice/ is read later.
    WriteFile(Path("lib/t.csv"),
              "here.wav,,,,c\nvoice/a.wav,,,,c\nvoice/dir.wav,,,,c\nvoice/link.wav,,,,c\n"
              "voice/dangling.wav,,,,c\nlink.wav,,,,c\ndir.wav,,,,c\nnone.wav,,,,c\n"
              "voice/../here.wav,,,,c\n/abs.wav,,,,c\nvoice\\a.wav,,,,c\nvoice/pipe.wav,,,,c\n"
              "zero.wav,,,,c\nsocket.wav,,,,c\n");
    WriteFile(Path("lib/here.wav"), "x");
    WriteFile(Path("lib/voice/a.wav"), "x");
    fs::create_directories(Path("lib/voice/dir.wav"));
    fs::create_directories(Path("lib/dir.wav"));
    fs::create_symlink(Path("lib/voice/a.wav"), Path("lib/voice/link.wav"));
    fs::create_symlink(Path("lib/nowhere"), Path("lib/voice/dangling.wav"));
    fs::create_symlink(Path("lib/here.wav"), Path("lib/link.wav"));
    WriteFile(Path("abs.wav"), "outside the library");
    ASSERT_EQ(mkfifo(Path("lib/voice/pipe.wav").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", Path("lib/zero.wav"));
    int server = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string socketPath = Path("lib/socket.wav");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    auto library = Folder(Uri("lib"));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(library.Get(), true));
    std::vector<bool> exists;
    for (TC_VoiceData* voice : library->Voices) {
        exists.push_back(voice->Exists);
        TB_Uri full;
        voice->GetFullPath(full);
        struct stat info;
        bool isFile =
            stat(full.GetPath().ToStdString().c_str(), &info) == 0 && S_ISREG(info.st_mode);
        EXPECT_EQ(voice->Exists, isFile) << voice->RelFilePath.ToStdString();
    }
    EXPECT_EQ(exists, (std::vector<bool>{true, true, false, true, false, true, false, false, true,
                                         false, true, false, false, false}));

    // Scanned without a table: a pipe named like a table is no table, a pipe named like a
    // clip is a clip that does not exist.
    WriteFile(Path("scan/a.wav"), "x");
    ASSERT_EQ(mkfifo(Path("scan/p.wav").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(Path("scan/t.csv").c_str(), 0600), 0);
    auto scanned = Folder(Uri("scan"));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(scanned.Get(), true));
    ASSERT_EQ(scanned->Voices.Count(), 2);
    EXPECT_EQ(scanned->Name.ToStdString(), "scan");
    EXPECT_TRUE(scanned->Voices[0]->Exists);
    EXPECT_FALSE(scanned->Voices[1]->Exists);
    close(server);
}

TEST(VoicePaths, TheBuilderGivesWhatGetFullPathGives) {
    const tb_char* roots[] = {u"/srv/lib", u"/srv/lib/", u"/",
                              u"/a/./b",   u"C:\\lib",   u"file:///x//y"};
    // A backslash, an escaped file-name byte and a character of three UTF-8 bytes too.
    const tb_char* pieces[] = {u"a", u"b.wav", u".", u"..", u"", u"x\\y", u"\xDC82", u"\u3042"};
    std::mt19937 random(3);
    auto library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    for (const tb_char* root : roots) {
        TB_Uri uri;
        uri.SetUri(TB_String(root));  // as it may stand in a library: not always normalised
        library->RootPath = uri;
        TC_VoicePathBuilder fresh;  // a builder does not see a root change
        for (int round = 0; round < 300; ++round) {
            std::u16string relative;
            int count = 1 + static_cast<int>(random() % 4);
            for (int k = 0; k < count; ++k) {
                relative += std::u16string(k ? u"/" : u"") + pieces[random() % 8];
            }
            TC_VoiceData voice(library.Get());
            voice.RelFilePath = TB_String(relative.c_str());
            TB_Uri full;
            voice.GetFullPath(full);
            std::string shown = voice.RelFilePath.ToStdString();
            ASSERT_EQ(std::u16string(fresh.UriText(voice)), std::u16string(full.GetUri().View()))
                << shown;
            ASSERT_EQ(fresh.NativePath(voice), full.GetPath().ToStdString()) << shown;
        }
    }
}

}  // namespace
