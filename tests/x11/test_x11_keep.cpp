#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "x11_mainwindow.h"

namespace {

namespace fs = std::filesystem;

// What the user owns survives ordinary paths, and what fails says so: the real program,
// driven with the pointer and the keys, read back from its dump, its output and its files.
class KeepInX11 : public MainWindowInX11 {
protected:
    static const rapidjson::Value& Item(const rapidjson::Value& dump, int index) {
        return Panel(dump)["Items"][index];
    }
    static bool Favourite(const rapidjson::Value& dump, int index) {
        const auto& items = Panel(dump)["Items"];
        return index < static_cast<int>(items.Size()) &&
               items[index]["VoiceData"][0]["Favorite"].GetBool();
    }
    // The selector's entry of the library with the name.
    static const rapidjson::Value* Entry(const rapidjson::Value& dump, const std::string& name) {
        for (const auto& library :
             (*FindId(dump, "libraryList"))["Properties"]["Libs"].GetArray()) {
            if (library["Name"].GetString() == name) {
                return &library;
            }
        }
        return nullptr;
    }
    // Waits for the message box with the title and the text, answers it with the key, and
    // waits until the program has taken the answer.
    void Answer(const std::string& title, const std::string& text,
                const std::string& key = "Return") {
        DumpUntil([&](const rapidjson::Value& d) {
            for (const auto& box : d["MessageBoxes"].GetArray()) {
                if (box["Title"].GetString() == title && box["Text"].GetString() == text) {
                    return true;
                }
            }
            return false;
        });
        std::string ids = Query("xdotool search --sync --onlyvisible --name '^" + title + "$'");
        ASSERT_FALSE(ids.empty());
        ASSERT_EQ(session.Run("xdotool windowactivate --sync " + ids.substr(0, ids.find('\n')) +
                              " key " + key),
                  0);
        DumpUntil([](const rapidjson::Value& d) { return d["MessageBoxes"].Empty(); });
    }
};

// A star set by clicking survives F5; a folder away at the next start keeps its entry and its
// favourites, written back byte for byte, and says so when chosen; once back, all returns.
TEST_F(KeepInX11, FavouritesSurviveARefreshAndAFolderThatIsAway) {
    std::string lib = Library("lib", 3);
    std::string other = Library("other", 2);
    Start({other, lib});
    rapidjson::Document dump =
        DumpUntil([](const rapidjson::Value& d) { return LibraryName(d) == "lib"; });
    ClickStar(dump, 1);
    ClickRow(dump, 0);
    dump = DumpUntil([](const rapidjson::Value& d) {
        return Favourite(d, 1) && CurrentVoice(d) == "clip1.wav";
    });
    fs::copy_file(kClip, lib + "/clip4.wav");
    ASSERT_EQ(session.Run("xdotool key F5"), 0);
    // The rows were built again (the new clip among them), the star and the selection kept.
    dump = DumpUntil([](const rapidjson::Value& d) { return Panel(d)["Items"].Size() == 4; });
    EXPECT_TRUE(Favourite(dump, 1));
    EXPECT_EQ(CurrentVoice(dump), "clip1.wav");
    ASSERT_EQ(Close(), 0) << lastOutput;
    std::string index = ReadData("voice-libs.json");
    ASSERT_NE(index.find(lib + "/clip2.wav"), std::string::npos) << index;

    fs::rename(lib, lib + "-away");
    Start();
    dump = DumpUntil([](const rapidjson::Value& d) { return LibraryName(d) == "lib"; });
    EXPECT_FALSE((*Entry(dump, "lib"))["Available"].GetBool());
    EXPECT_TRUE((*Entry(dump, "other"))["Available"].GetBool());
    EXPECT_EQ(Panel(dump)["Items"].Size(), 0u);
    EXPECT_EQ((*FindId(dump, "libraryList"))["ToolTip"].GetString(),
              std::string("フォルダが見つかりません"));
    Choose("other");
    DumpUntil([](const rapidjson::Value& d) { return LibraryName(d) == "other"; });
    Choose("lib");
    Answer("声ライブラリ", "フォルダ「" + lib + "」が見つかりません。");
    dump = DumpUntil([](const rapidjson::Value& d) { return LibraryName(d) == "lib"; });
    EXPECT_EQ(Panel(dump)["Items"].Size(), 0u);
    ASSERT_EQ(Close(), 0) << lastOutput;
    EXPECT_EQ(ReadData("voice-libs.json"), index);

    fs::rename(lib + "-away", lib);
    Start();
    dump = DumpUntil([](const rapidjson::Value& d) { return Panel(d)["Items"].Size() == 4; });
    EXPECT_TRUE((*Entry(dump, "lib"))["Available"].GetBool());
    EXPECT_TRUE(Favourite(dump, 1));
    EXPECT_FALSE(Favourite(dump, 0));
}

// Removing a character's group names every library that goes and the favourites with them,
// and Enter keeps them. A copy button with nothing to copy is off and leaves the clipboard.
TEST_F(KeepInX11, RemovalNamesWhatGoesAndEnterKeepsIt) {
    std::string first = Library("taro-a", 2);
    std::string second = Library("taro-b", 2);
    WriteFile(first + "/character.ini", "name\tTaro\n");
    WriteFile(second + "/character.ini", "name\tTaro\n");
    Start({first, second});
    Choose("Taro");
    rapidjson::Document dump = DumpUntil([](const rapidjson::Value& d) {
        return LibraryName(d) == "Taro" && Panel(d)["Items"].Size() == 4;
    });
    // Nothing selected: the copy buttons are off, and a click on one leaves what the
    // clipboard holds.
    ASSERT_TRUE(CurrentVoice(dump).empty());
    const rapidjson::Value& copy = (*FindId(dump, "lineBox"))["Children"][1];
    EXPECT_FALSE(copy["Enabled"].GetBool());
    ASSERT_EQ(session.Run("sh -c 'printf kept | xclip -selection clipboard'"), 0);
    auto [x, y] = CentreOf(copy);
    ClickAt(x, y);
    Dump();  // the click has been handled by the time the dump is answered
    EXPECT_EQ(Query("xclip -o -selection clipboard"), "kept");

    ClickStar(dump, 3);
    dump = DumpUntil([](const rapidjson::Value& d) { return Favourite(d, 3); });

    ChooseFromMainMenu("ライブラリを削除");
    std::string question = WaitForQuestion(MainWindowId());
    EXPECT_NE(program->Output.find("・taro-a\n・taro-b\n\nお気に入り 1 件も削除されます。"),
              std::string::npos)
        << program->Output;
    // Its buttons speak the program's language.
    rapidjson::Document asking = Dump();
    const auto& buttons = asking["MessageBoxes"][0]["Buttons"];
    ASSERT_EQ(buttons.Size(), 2u);
    EXPECT_EQ(std::string(buttons[0].GetString()), "はい");
    EXPECT_EQ(std::string(buttons[1].GetString()), "いいえ");
    ASSERT_EQ(session.Run("xdotool windowactivate --sync " + question + " key Return"), 0);
    dump = DumpUntil([](const rapidjson::Value& d) { return d["Windows"].Size() == 1; });
    EXPECT_EQ(LibraryName(dump), "Taro");
    EXPECT_EQ(Panel(dump)["Items"].Size(), 4u);
    ASSERT_EQ(Close(), 0) << lastOutput;
    EXPECT_NE(ReadData("voice-libs.json").find("taro-a"), std::string::npos);
}

// Files that come and go while the program runs, a desktop with neither a sound device nor
// a file manager, and a folder on the command line that is not there: each is said once, in
// words, and the program goes on.
TEST_F(KeepInX11, FailuresAreSaidNotSwallowed) {
    std::string lib = Library("lib", 2);
    WriteTone(lib + "/clip2.wav", 30);  // long enough to be stopped and started by hand
    // A table keeps listing a clip whose file is away (a folder would drop it at once).
    WriteFile(lib + "/lines.csv", "clip1.wav,clip1,,,c\nclip2.wav,clip2,,,c\n");
    std::string bin = temp / "bin";  // no xdg-open, no browser
    fs::create_directories(bin);
    fs::create_directories(temp / "home");
    // No sound device: neither a sound server nor an ALSA card answers.
    WriteFile(temp / "home/.asoundrc", "pcm.!default { type hw card 99 }\n");
    silent = false;
    Start({temp / "nowhere", lib},
          {"PATH=" + bin, "DBUS_SESSION_BUS_ADDRESS=unix:path=" + temp / "no-bus",
           "PULSE_SERVER=unix:" + temp / "no-pulse"});
    Answer("フォルダを追加",
           "次のフォルダを追加できませんでした。\n・" + temp / "nowhere" + "（見つかりません）");

    rapidjson::Document dump = DumpUntil([](const rapidjson::Value& d) {
        return (*FindId(d, "voiceDataListPanel"))["Properties"]["Items"].Size() == 2;
    });
    ClickRow(dump, 0);
    DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "clip1.wav"; });
    fs::rename(lib + "/clip2.wav", temp / "clip2.wav");
    ClickRow(dump, 1);
    dump = DumpUntil([](const rapidjson::Value& d) {
        return CurrentVoice(d) == "clip2.wav" && !Item(d, 1)["VoiceData"][0]["Exists"].GetBool();
    });
    Click(dump, "playButton");
    Answer("声ライブラリ", "ファイル「" + lib + "/clip2.wav」が見つかりません。");
    // Back again: it plays, and the missing device is told once.
    fs::rename(temp / "clip2.wav", lib + "/clip2.wav");
    Click(dump, "playButton");
    Answer("声ライブラリ", "音声を出力できません。出力デバイスが見つかりません。");
    dump = DumpUntil([](const rapidjson::Value& d) {
        return Item(d, 1)["VoiceData"][0]["Exists"].GetBool() && PlayIcon(d) == "teishi";
    });
    Click(dump, "playButton");
    DumpUntil([](const rapidjson::Value& d) { return PlayIcon(d) == "saisei"; });
    Click(dump, "playButton");
    DumpUntil([](const rapidjson::Value& d) { return PlayIcon(d) == "teishi"; });
    EXPECT_EQ(program->Output.find("音声を出力できません",
                                   program->Output.find("音声を出力できません") + 1),
              std::string::npos);

    Click(dump, "bOpenFolder");
    Answer("声ライブラリ", "フォルダーを開けませんでした。\n" + lib);
    // No browser for the guide: it says where the guide is. The question carries the main
    // window's title, so it is found as the other window of that name.
    std::string mainId = MainWindowId();
    ChooseFromMainMenu("ルモヴォクスアプリの使い方");
    dump = DumpUntil([](const rapidjson::Value& d) {
        for (const auto& box : d["MessageBoxes"].GetArray()) {
            std::string text = box["Text"].GetString();
            if (text.rfind("ガイドを開けませんでした。\nfile://", 0) == 0 &&
                text.find("guide.html") != std::string::npos) {
                return true;
            }
        }
        return false;
    });
    std::string box;
    QueryUntil("xdotool search --onlyvisible --name '" + kTitle + "'", [&](const std::string& ids) {
        std::istringstream list(ids);
        for (std::string id; list >> id;) {
            if (id != mainId) {
                box = id;
            }
        }
        return !box.empty();
    });
    ASSERT_EQ(session.Run("xdotool windowactivate --sync " + box + " key Return"), 0);
    DumpUntil([](const rapidjson::Value& d) { return d["MessageBoxes"].Empty(); });
    ASSERT_EQ(Close(), 0) << lastOutput;
    // The error log (UTF-16LE) keeps both failures of the desktop.
    std::string log;
    for (const auto& entry : fs::directory_iterator(dataHome + "/LumoVox/errorlogs")) {
        log += ReadFile(entry.path());
    }
    for (std::u16string text : {u"フォルダーを開けませんでした。", u"音声を出力できません。",
                                u"ガイドを開けませんでした。"}) {
        std::string bytes;
        for (char16_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        EXPECT_NE(log.find(bytes), std::string::npos);
    }
}

}  // namespace
