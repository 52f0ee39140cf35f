#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <filesystem>
#include <string>
#include <vector>

#include "x11_mainwindow.h"

namespace {

namespace fs = std::filesystem;

// Browsing with one hand on the keyboard, and a play button that always says what the player
// does: the real program driven with xdotool, read back from its dump.
class KeysInX11 : public MainWindowInX11 {
protected:
    void Key(const std::string& keys) { ASSERT_EQ(session.Run("xdotool key " + keys), 0); }
    static bool Playing(const rapidjson::Value& dump) {
        return Frame(dump)["Properties"]["Playing"].GetBool();
    }
    // Playing, and the button shows it, in one dump.
    static bool Plays(const rapidjson::Value& dump) {
        return Playing(dump) && PlayIcon(dump) == "teishi";
    }
    static bool Stopped(const rapidjson::Value& dump) {
        return !Playing(dump) && PlayIcon(dump) == "saisei";
    }
    // The Id of the widget that has the keyboard focus, or "".
    static std::string Focused(const rapidjson::Value& node) {
        if (node.IsObject() && node.HasMember("Focused") && node["Focused"].GetBool()) {
            return node["Id"].GetString();
        }
        for (const char* list : {"Windows", "Children"}) {
            if (node.IsObject() && node.HasMember(list)) {
                for (const auto& child : node[list].GetArray()) {
                    if (std::string id = Focused(child); !id.empty()) {
                        return id;
                    }
                }
            }
        }
        return "";
    }
    static std::string Text(const rapidjson::Value& dump, const char* id) {
        return (*FindId(dump, id))["Text"].GetString();
    }
    static bool HasWindow(const rapidjson::Value& dump, const std::string& type) {
        for (const auto& window : dump["Windows"].GetArray()) {
            if (window["Class"].GetString() == type) {
                return true;
            }
        }
        return false;
    }
    // Clips under one folder, as libraries ship them: every path starts with "voice/".
    std::string Clips(const std::string& name, const std::vector<std::string>& files) {
        std::string folder = temp / name;
        fs::create_directories(folder + "/voice");
        for (const std::string& file : files) {
            fs::copy_file(kClip, folder + "/voice/" + file);
        }
        return folder;
    }
    // Runs the item of the context menu of the clip row at the index.
    void FromContextMenu(int row, const std::string& text) {
        rapidjson::Document dump = Dump();
        const auto& origin = (*FindId(dump, "ContentsBoxArea"))["ScreenBounds"];
        const auto& rect = Panel(dump)["Items"][row]["Rect"];
        ASSERT_EQ(session.Run("xdotool" +
                              session.MoveTo(static_cast<int>(origin[0].GetDouble() + 20),
                                             static_cast<int>(origin[1].GetDouble() +
                                                              rect[1].GetDouble() + 10)) +
                              "click 3"),
                  0);
        dump = DumpUntil([](const rapidjson::Value& d) { return Menus(d).size() == 1; });
        auto [x, y] = MenuItem(*Menus(dump)[0], text);
        ASSERT_GE(x, 0) << text;
        ClickAt(x, y);
    }
};

// Every way a clip starts or stops shows on the button at once: the context menu, Space,
// Enter, a new selection while one plays, and a change of library, which stops the clip.
// In the dark style (the other tests run in the light one).
TEST_F(KeysInX11, ThePlayButtonFollowsThePlayerOnEveryPath) {
    fs::create_directories(dataHome + "/LumoVox");
    WriteFile(dataHome + "/LumoVox/setting.json", R"({"UiStyleName":{"type":8,"value":"dark"}})");
    std::string tones = temp / "tones";
    WriteTone(tones + "/a-one.wav", 30);
    WriteTone(tones + "/b-two.wav", 30);
    Start({Library("other", 1), tones});
    if (LibraryName(Dump()) != "tones") {
        Choose("tones");
    }
    rapidjson::Document dump =
        DumpUntil([](const rapidjson::Value& d) { return LibraryName(d) == "tones"; });

    ClickRow(dump, 0);
    FromContextMenu(0, "再生");
    dump = DumpUntil(Plays);
    Click(dump, "playButton");  // a click now stops, as the icon says
    dump = DumpUntil(Stopped);

    ClickRow(dump, 0);  // the keys go to the list again
    DumpUntil([](const rapidjson::Value& d) { return Focused(d) == "ContentsBoxArea"; });
    Key("space");
    DumpUntil(Plays);
    Key("Down");  // another clip: the one playing stops
    dump = DumpUntil(
        [](const rapidjson::Value& d) { return CurrentVoice(d) == "b-two.wav" && Stopped(d); });
    Key("Return");
    DumpUntil(Plays);

    Choose("other");
    dump = DumpUntil([](const rapidjson::Value& d) { return LibraryName(d) == "other"; });
    EXPECT_TRUE(Stopped(dump));
    EXPECT_FALSE(Enabled(dump, "playButton"));
    EXPECT_FALSE(Enabled(dump, "nextButton"));
}

// With a search active, the arrows, Back and Next move among the clips the list shows;
// Home, End and type-ahead by title; Ctrl+F, Esc, Ctrl+C and F5 from anywhere.
TEST_F(KeysInX11, KeysMoveAmongTheShownClipsAndWorkWhereverTheFocusIs) {
    std::string folder = Clips("lib", {"a1-kaze.wav", "a2-kumo.wav", "b1-ame.wav", "b2-yuki.wav",
                                       "c1-kaze.wav", "c2-ame.wav"});
    Start({folder});
    rapidjson::Document dump = Dump();
    ClickRow(dump, 0);
    DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "voice/a1-kaze.wav"; });

    Key("ctrl+f");
    DumpUntil([](const rapidjson::Value& d) { return Focused(d) == "filterText"; });
    ASSERT_EQ(session.Run("xdotool type kaze"), 0);
    dump = DumpUntil([](const rapidjson::Value& d) { return Panel(d)["SearchText"] == "kaze"; });
    ClickRow(dump, 0);
    DumpUntil([](const rapidjson::Value& d) { return Focused(d) == "ContentsBoxArea"; });
    Key("Down");  // over the three hidden clips
    DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "voice/c1-kaze.wav"; });
    Key("Down");  // round to the first shown
    DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "voice/a1-kaze.wav"; });
    Click(Dump(), "backButton");
    dump = DumpUntil([](const rapidjson::Value& d) {
        return CurrentVoice(d) == "voice/c1-kaze.wav" && Playing(d);
    });
    EXPECT_TRUE(Enabled(dump, "nextButton"));

    // Esc empties the search, and from an empty one goes back to the list.
    Key("ctrl+f Escape");
    DumpUntil([](const rapidjson::Value& d) { return Panel(d)["SearchText"] == ""; });
    Key("Escape");
    DumpUntil([](const rapidjson::Value& d) { return Focused(d) == "ContentsBoxArea"; });
    Key("Home");
    DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "voice/a1-kaze.wav"; });
    Key("End");
    DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "voice/c2-ame.wav"; });
    Key("Prior");
    DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "voice/a1-kaze.wav"; });
    // The letter meets the title the row shows, not the folder every path starts with.
    Key("b");
    dump =
        DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "voice/b1-ame.wav"; });

    // Ctrl+C copies the line and Ctrl+Shift+C the path, as the copy buttons do.
    Key("ctrl+c");
    EXPECT_TRUE(QueryUntil("xclip -o -selection clipboard",
                           [&](const std::string& text) { return text == Text(dump, "lineBox"); }));
    Key("ctrl+shift+c");
    EXPECT_TRUE(QueryUntil("xclip -o -selection clipboard",
                           [&](const std::string& text) { return text == Text(dump, "fileBox"); }));

    // F5 reads the folder again while the search field has the focus.
    fs::copy_file(kClip, folder + "/voice/d1-new.wav");
    Key("ctrl+f");
    DumpUntil([](const rapidjson::Value& d) { return Focused(d) == "filterText"; });
    Key("F5");
    DumpUntil([](const rapidjson::Value& d) { return Panel(d)["Items"].Size() == 7; });
}

// Tab walks every control of the window in reading order and comes round; Space and Enter
// press the focused button; the rights window closes with Esc and with Enter.
TEST_F(KeysInX11, TabWalksTheWindowAndKeysPressWhatHasTheFocus) {
    Start({Library("lib", 2)});
    ClickRow(Dump(), 0);
    DumpUntil([](const rapidjson::Value& d) { return Focused(d) == "ContentsBoxArea"; });
    const std::vector<std::string> order{
        "backButton",     "playButton",      "nextButton",  "volumeSlider", "lineCopyButton",
        "fileCopyButton", "bOpenFolder",     "libraryList", "importButton", "settingButton",
        "filterText",     "clearTextButton", "favButton",   "filterButton", "ContentsBoxArea"};
    for (const std::string& next : order) {
        Key("Tab");
        DumpUntil([&](const rapidjson::Value& d) { return Focused(d) == next; });
    }
    Key("shift+Tab");
    DumpUntil([](const rapidjson::Value& d) { return Focused(d) == "filterButton"; });

    // On the play button Space presses it (no second toggle from the window's Space).
    Key("Tab Tab Tab");
    DumpUntil([](const rapidjson::Value& d) { return Focused(d) == "playButton"; });
    Key("space");
    DumpUntil(Plays);
    Key("Return");
    DumpUntil(Stopped);

    for (const char* key : {"Escape", "Return"}) {
        ChooseFromMainMenu("権利情報");
        DumpUntil([](const rapidjson::Value& d) { return HasWindow(d, "LV_RightsDialog"); });
        Key(key);
        DumpUntil([](const rapidjson::Value& d) { return !HasWindow(d, "LV_RightsDialog"); });
    }
}

// Auto-play from the menu: each selection plays at once, and the choice is kept.
TEST_F(KeysInX11, AutoPlayOnSelectionIsKeptAcrossARestart) {
    std::string folder = Library("lib", 3);
    Start({folder});
    ChooseFromMainMenu("選択したら再生");
    DumpUntil([](const rapidjson::Value& d) { return Menus(d).empty(); });
    ClickRow(Dump(), 1);
    DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "clip2.wav" && Plays(d); });
    Key("Down");
    DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "clip3.wav" && Plays(d); });
    ASSERT_EQ(Close(), 0) << lastOutput;
    EXPECT_TRUE(Settings()["AutoPlayOnSelect"]["value"].GetBool());

    Start();
    rapidjson::Document menu = OpenMainMenu();
    bool checked = false;
    for (const auto& item : (*Menus(menu)[0])["Properties"]["Items"].GetArray()) {
        if (item.HasMember("Text") && item["Text"] == "選択したら再生") {
            checked = item["Checked"].GetBool();
        }
    }
    EXPECT_TRUE(checked);
    Key("Escape");
    DumpUntil([](const rapidjson::Value& d) { return Menus(d).empty(); });
    ClickRow(Dump(), 0);
    DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "clip1.wav" && Plays(d); });
}

}  // namespace
