#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "x11_mainwindow.h"

namespace {

// The first start, with nothing stored, on a screen of just 1280 x 1024: the window keeps
// clear of the screen's edges, its title bar on the screen, as the program and as the window
// manager see it.
TEST_F(MainWindowInX11, FirstStartFitsTheScreen) {
    Start();
    rapidjson::Document dump = Dump();
    EXPECT_EQ(ScreenBounds(Frame(dump)), (std::vector<double>{4, 40, 1272, 980}));
    EXPECT_EQ(Geometry(MainWindowId(), "4 40 1272 980"), "4 40 1272 980");
    EXPECT_EQ(Frame(dump)["Properties"]["ShowState"].GetInt(), 1);
    // Below its minimum the window is not made: the layout would collapse.
    ASSERT_EQ(session.Run("xdotool windowsize " + MainWindowId() + " 300 200"), 0);
    DumpUntil([](const rapidjson::Value& d) {
        std::vector<double> b = ScreenBounds(Frame(d));
        return b[2] == 560 && b[3] == 400;
    });
}

// A place stored for a monitor that is gone opens near the corner of the one left, with its
// size; a place that fits the screen is kept.
TEST_F(MainWindowInX11, AStoredPlaceOffTheMonitorsMovesToTheNearestCorner) {
    auto store = [this](int x, int y, int width, int height) {
        WriteFile(dataHome + "/LumoVox/setting.json",
                  "{\"StartWindowBounds\": {\"type\": 7, \"value\": [" + std::to_string(x) + ", " +
                      std::to_string(y) + ", " + std::to_string(width) + ", " +
                      std::to_string(height) +
                      "]}, \"StartWindowState\": {\"type\": 1, "
                      "\"value\": 1}}");
    };
    store(3000, 2000, 900, 700);
    Start();
    EXPECT_EQ(ScreenBounds(Frame(Dump())), (std::vector<double>{4, 40, 900, 700}));
    EXPECT_EQ(Geometry(MainWindowId(), "4 40 900 700"), "4 40 900 700");
    ASSERT_EQ(Close(), 0) << lastOutput;
    // Where it opened is what the next start finds.
    EXPECT_EQ(StoredBounds(Settings()), (std::vector<double>{4, 40, 900, 700}));

    store(200, 150, 800, 600);
    Start();
    EXPECT_EQ(ScreenBounds(Frame(Dump())), (std::vector<double>{200, 150, 800, 600}));
    EXPECT_EQ(Geometry(MainWindowId(), "200 150 800 600"), "200 150 800 600");
}

// Back from the first clip plays the last, next from the last plays the first; with a
// single clip neither button can be used.
TEST_F(MainWindowInX11, BackAndNextWrapAroundTheList) {
    // Clips long enough to be still playing when the dump looks.
    std::string three = temp / "three";
    for (const char* name : {"clip1.wav", "clip2.wav", "clip3.wav"}) {
        WriteTone(three + "/" + name, 30);
    }
    Start({three});
    rapidjson::Document dump = Dump();
    EXPECT_FALSE(Enabled(dump, "backButton"));  // nothing selected yet
    ClickRow(dump, 0);
    dump = DumpUntil([](const rapidjson::Document& d) { return CurrentVoice(d) == "clip1.wav"; });
    ASSERT_EQ(CurrentVoice(dump), "clip1.wav");
    ASSERT_TRUE(Enabled(dump, "backButton") && Enabled(dump, "nextButton"));
    EXPECT_EQ(PlayIcon(dump), "saisei");  // selecting does not play
    EXPECT_FALSE(Frame(dump)["Properties"]["Playing"].GetBool());

    auto selectedAndPlaying = [](const char* clip) {
        return [clip](const rapidjson::Document& d) {
            return CurrentVoice(d) == clip && Frame(d)["Properties"]["Playing"].GetBool();
        };
    };
    Click(dump, "backButton");
    dump = DumpUntil(selectedAndPlaying("clip3.wav"));
    EXPECT_EQ(CurrentVoice(dump), "clip3.wav");
    EXPECT_TRUE(Frame(dump)["Properties"]["Playing"].GetBool());
    EXPECT_EQ(PlayIcon(dump), "teishi");
    const auto& items = (*FindId(dump, "voiceDataListPanel"))["Properties"]["Items"];
    EXPECT_FALSE(items[0]["Selected"].GetBool());
    EXPECT_TRUE(items[2]["Selected"].GetBool());
    EXPECT_EQ(std::string((*FindId(dump, "lineBox"))["Text"].GetString()), "clip3");

    Click(dump, "nextButton");
    dump = DumpUntil(selectedAndPlaying("clip1.wav"));
    EXPECT_EQ(CurrentVoice(dump), "clip1.wav");
    EXPECT_TRUE(Frame(dump)["Properties"]["Playing"].GetBool());
    Click(dump, "nextButton");
    dump = DumpUntil(selectedAndPlaying("clip2.wav"));
    EXPECT_EQ(CurrentVoice(dump), "clip2.wav");
    ASSERT_EQ(Close(), 0) << lastOutput;

    std::string one = temp / "one";
    WriteTone(one + "/only.wav", 30);
    Start({one});
    dump = Dump();
    ClickRow(dump, 0);
    dump = DumpUntil([](const rapidjson::Document& d) { return CurrentVoice(d) == "only.wav"; });
    ASSERT_EQ(CurrentVoice(dump), "only.wav");
    EXPECT_TRUE(Enabled(dump, "playButton"));
    EXPECT_FALSE(Enabled(dump, "backButton"));
    EXPECT_FALSE(Enabled(dump, "nextButton"));
    // Clicks on the disabled buttons do nothing; the play after them (handled after them)
    // plays the same clip.
    Click(dump, "nextButton");
    Click(dump, "backButton");
    Click(dump, "playButton");
    dump = DumpUntil(selectedAndPlaying("only.wav"));
    EXPECT_EQ(CurrentVoice(dump), "only.wav");
    EXPECT_TRUE(Frame(dump)["Properties"]["Playing"].GetBool());
}

// Play while playing stops and shows the play icon; play again starts the clip over; a clip
// that ends by itself brings the play icon back.
TEST_F(MainWindowInX11, PlayStopsAndStartsOverAndTheIconFollows) {
    std::string folder = temp / "tones";
    WriteTone(folder + "/a-long.wav", 30);
    WriteTone(folder + "/b-short.wav", 1.5);
    Start({folder});
    rapidjson::Document dump = Dump();
    ClickRow(dump, 0);
    dump = DumpUntil([](const rapidjson::Document& d) { return CurrentVoice(d) == "a-long.wav"; });
    ASSERT_EQ(CurrentVoice(dump), "a-long.wav");

    auto position = [](const rapidjson::Value& d) {
        return Frame(d)["Properties"]["PlayPosition"].GetDouble();
    };
    Click(dump, "playButton");
    dump = DumpWithin(20, [&](const rapidjson::Document& d) { return position(d) >= 1.5; });
    ASSERT_GE(position(dump), 1.5);
    EXPECT_EQ(PlayIcon(dump), "teishi");
    EXPECT_TRUE(Frame(dump)["Properties"]["Playing"].GetBool());

    Click(dump, "playButton");
    dump = DumpUntil([](const rapidjson::Document& d) { return PlayIcon(d) == "saisei"; });
    EXPECT_EQ(PlayIcon(dump), "saisei");
    EXPECT_FALSE(Frame(dump)["Properties"]["Playing"].GetBool());
    EXPECT_LT(position(dump), 0.1);
    // Stopped means stopped: it does not move on.
    EXPECT_LT(position(Dump()), 0.1);

    Click(dump, "playButton");
    dump = DumpUntil([](const rapidjson::Document& d) { return PlayIcon(d) == "teishi"; });
    EXPECT_EQ(PlayIcon(dump), "teishi");
    EXPECT_TRUE(Frame(dump)["Properties"]["Playing"].GetBool());
    EXPECT_LT(position(dump), 1.5);  // from the start, not from where it stopped

    // The short clip runs to its end without another click.
    ClickRow(dump, 1);
    dump = DumpUntil([](const rapidjson::Document& d) { return CurrentVoice(d) == "b-short.wav"; });
    ASSERT_EQ(CurrentVoice(dump), "b-short.wav");
    Click(dump, "playButton");
    dump = DumpWithin(20, [&](const rapidjson::Document& d) {
        return Frame(d)["Properties"]["Playing"].GetBool();
    });
    ASSERT_TRUE(Frame(dump)["Properties"]["Playing"].GetBool());
    EXPECT_EQ(PlayIcon(dump), "teishi");
    dump = DumpWithin(20, [](const rapidjson::Document& d) {
        return !Frame(d)["Properties"]["Playing"].GetBool() && PlayIcon(d) == "saisei";
    });
    EXPECT_EQ(PlayIcon(dump), "saisei");
    EXPECT_FALSE(Frame(dump)["Properties"]["Playing"].GetBool());
}

// "125%" from the size submenu reopens the window with every size a quarter larger, the
// item checked and the program still running.
TEST_F(MainWindowInX11, ChoosingASizeReopensTheWindowLarger) {
    Start({Library("lib", 2)});
    rapidjson::Document before = Dump();
    ChooseFromMainMenu("125%", "表示サイズ");
    ASSERT_TRUE(program->WaitFor("Main window shown")) << program->Output;
    rapidjson::Document after = DumpUntil([](const rapidjson::Document& d) {
        const rapidjson::Value* play = FindId(d, "playButton");
        return play && (*play)["ScreenBounds"][2].GetDouble() == 60;
    });
    ASSERT_EQ(after["Windows"].Size(), 1u);  // the old window and its menus are gone
    // Fixed sizes grow in both directions, stretched ones in their fixed direction.
    auto grown = [&](const char* id, bool width) {
        std::vector<double> small = ScreenBounds(*FindId(before, id));
        std::vector<double> large = ScreenBounds(*FindId(after, id));
        if (width) {
            EXPECT_NEAR(large[2], small[2] * 1.25, 1) << id;
        }
        EXPECT_NEAR(large[3], small[3] * 1.25, 1) << id;
    };
    for (const char* id : {"playButton", "backButton", "nextButton", "settingButton",
                           "importButton", "favButton", "thumbnailCanvas", "bOpenFolder"}) {
        grown(id, true);
    }
    for (const char* id : {"filterText", "lineBox", "fileBox"}) {
        grown(id, false);
    }
    // The margins too: the list starts 20 * 1.25 from the window's left edge.
    EXPECT_EQ(ScreenBounds(Frame(after)), (std::vector<double>{4, 40, 1272, 980}));
    EXPECT_EQ(ScreenBounds(*FindId(after, "voiceDataListPanel"))[0], 4 + 25);

    rapidjson::Document menu = OpenMainMenu();
    // Menus take the GUI size too.
    EXPECT_DOUBLE_EQ((*Menus(menu)[0])["Properties"]["FontSize"].GetDouble(), 10.5 * 1.25);
    auto [x, y] = MenuItem(*Menus(menu)[0], "表示サイズ");
    ASSERT_EQ(session.Run("xdotool" + session.MoveTo(x, y)), 0);
    menu = DumpUntil([](const rapidjson::Document& d) { return Menus(d).size() == 2; });
    ASSERT_EQ(Menus(menu).size(), 2u);
    for (const auto& item : (*Menus(menu)[1])["Properties"]["Items"].GetArray()) {
        EXPECT_EQ(item["Checked"].GetBool(), std::string(item["Text"].GetString()) == "125%")
            << item["Text"].GetString();
    }
    ASSERT_EQ(session.Run("xdotool key Escape"), 0);
    ASSERT_EQ(Close(), 0) << lastOutput;
    EXPECT_EQ(Settings()["GuiScale"]["value"].GetInt(), 125);
}

// The reset question answered No leaves everything; answered Yes, the program ends without
// another window and the next start finds nothing stored.
TEST_F(MainWindowInX11, ResetAsksFirstAndEndsTheProgram) {
    std::string library = Library("lib", 2);
    Start({library});
    std::string mainId = MainWindowId();
    ChooseFromMainMenu("環境情報の初期化");
    std::string question = WaitForQuestion(mainId);
    ASSERT_FALSE(question.empty());
    // Enter answers the default, and the default of a destructive question is No.
    ASSERT_EQ(session.Run("xdotool windowactivate --sync " + question + " key Return"), 0);
    ASSERT_TRUE(QueryUntil("xdotool search --onlyvisible --name '" + kTitle + "'",
                           [&mainId](const std::string& ids) { return ids == mainId + "\n"; }));
    rapidjson::Document dump = Dump();
    EXPECT_EQ(dump["Windows"].Size(), 1u);
    EXPECT_EQ((*FindId(dump, "voiceDataListPanel"))["Properties"]["Library"].GetString(),
              std::string("lib"));
    ASSERT_EQ(Close(), 0) << lastOutput;
    EXPECT_EQ(lastOutput.find("Main window shown", lastOutput.find("Main window shown") + 1),
              std::string::npos);
    EXPECT_NE(ReadData("voice-libs.json").find("lib"), std::string::npos);
    rapidjson::Document settings = Settings();
    EXPECT_NE(std::string(settings["VoiceLibDirPath"]["value"].GetString()).find(library),
              std::string::npos);

    Start();  // the stored library comes back
    EXPECT_EQ((*FindId(Dump(), "voiceDataListPanel"))["Properties"]["Library"].GetString(),
              std::string("lib"));
    mainId = MainWindowId();
    ChooseFromMainMenu("環境情報の初期化");
    question = WaitForQuestion(mainId);
    ASSERT_FALSE(question.empty());
    // Yes only on purpose: its own key.
    ASSERT_EQ(session.Run("xdotool windowactivate --sync " + question + " key alt+y"), 0);
    EXPECT_EQ(program->Wait(), 0) << program->Output;
    std::string output = program->Output;
    program.reset();
    EXPECT_EQ(output.find("Main window shown", output.find("Main window shown") + 1),
              std::string::npos)
        << output;
    EXPECT_EQ(ReadData("voice-libs.json").find("lib"), std::string::npos);
    settings = Settings();
    EXPECT_EQ(std::string(settings["VoiceLibDirPath"]["value"].GetString()), "");
    EXPECT_EQ(settings["VoiceLibIndex"]["value"].GetInt(), -1);
}

// Closed while minimised, the window comes back minimised; restored, it comes back normal.
TEST_F(MainWindowInX11, AMinimisedWindowStartsMinimised) {
    Start();
    std::string id = MainWindowId();
    ASSERT_EQ(session.Run("xdotool windowminimize --sync " + id), 0);
    ASSERT_TRUE(QueryUntil("xprop -id " + id + " WM_STATE", [](const std::string& state) {
        return state.find("Iconic") != std::string::npos;
    }));
    rapidjson::Document dump = DumpUntil([](const rapidjson::Document& d) {
        return Frame(d)["Properties"]["ShowState"].GetInt() == 6;
    });
    EXPECT_EQ(Frame(dump)["Properties"]["ShowState"].GetInt(), 6);
    ASSERT_EQ(Close(), 0) << lastOutput;
    rapidjson::Document settings = Settings();
    EXPECT_EQ(settings["StartWindowState"]["value"].GetInt(), 6);
    // The place of the normal window stays for the restore.
    EXPECT_EQ(StoredBounds(settings), (std::vector<double>{4, 40, 1272, 980}));

    Start();
    id = MainWindowId();
    EXPECT_TRUE(
        QueryUntil("xprop -id " + id + " WM_STATE _NET_WM_STATE", [](const std::string& state) {
            return state.find("Iconic") != std::string::npos &&
                   state.find("_NET_WM_STATE_HIDDEN") != std::string::npos;
        }));
    EXPECT_EQ(Frame(Dump())["Properties"]["ShowState"].GetInt(), 6);

    ASSERT_EQ(session.Run("xdotool windowactivate --sync " + id), 0);
    dump = DumpUntil([](const rapidjson::Document& d) {
        return Frame(d)["Properties"]["ShowState"].GetInt() == 1;
    });
    EXPECT_EQ(Frame(dump)["Properties"]["ShowState"].GetInt(), 1);
    EXPECT_EQ(ScreenBounds(Frame(dump)), (std::vector<double>{4, 40, 1272, 980}));
    ASSERT_EQ(Close(), 0) << lastOutput;
    EXPECT_EQ(Settings()["StartWindowState"]["value"].GetInt(), 1);
}

// SIGTERM, SIGINT and SIGHUP each close the window as its close button would: a place the
// window was moved to is stored.
TEST_F(MainWindowInX11, SignalsCloseTheWindowAndKeepTheSettings) {
    std::vector<double> stored{4, 40, 1272, 980};
    int step = 0;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        ++step;
        Start();
        // Each start opens where the signal before left the window.
        EXPECT_EQ(ScreenBounds(Frame(Dump())), stored);
        std::string id = MainWindowId();
        ASSERT_EQ(session.Run("xdotool windowsize --sync " + id + " 640 480"), 0);
        // Below the room a title bar takes, which a start keeps free.
        double x = 40 * step, y = 40 + 30 * step;
        ASSERT_EQ(session.Run("xdotool windowmove --sync " + id + " " + std::to_string(40 * step) +
                              " " + std::to_string(40 + 30 * step)),
                  0);
        rapidjson::Document dump = DumpUntil([x, y](const rapidjson::Document& d) {
            std::vector<double> b = ScreenBounds(Frame(d));
            return b[2] == 640 && b[0] == x && b[1] == y;
        });
        std::vector<double> bounds = ScreenBounds(Frame(dump));
        program->Signal(signal);
        EXPECT_EQ(program->Wait(), 0) << program->Output;
        EXPECT_NE(program->Output.find("closing on signal " + std::to_string(signal)),
                  std::string::npos);
        program.reset();
        stored = StoredBounds(Settings());
        EXPECT_EQ(stored, bounds);
    }
}

}  // namespace
