#pragma once

// The main window of the real program in an X session: its fixture and the helpers its
// tests share.

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "x11_lumovox.h"

const std::string kClip =
    std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/audio/pcm16-stereo-48000.wav";

// A quiet 440 Hz tone as a 16-bit mono WAV file of the given length.
inline void WriteTone(const std::string& path, double seconds) {
    constexpr uint32_t kRate = 8000;
    WriteFile(path, PcmWav(kRate, 1, static_cast<uint32_t>(seconds * kRate), [](uint32_t i) {
                  return static_cast<int16_t>(2000 * std::sin(2 * M_PI * 440 * i / kRate));
              }));
}

class MainWindowInX11 : public LumovoxInX11 {
protected:
    // A folder of copies of the half-second test clip, imported by `lumovox FOLDER`.
    std::string Library(const std::string& name, int clips) {
        std::string folder = temp / name;
        std::filesystem::create_directories(folder);
        for (int i = 1; i <= clips; ++i) {
            std::filesystem::copy_file(kClip, folder + "/clip" + std::to_string(i) + ".wav");
        }
        return folder;
    }
    // Dumps until the check holds or the time is up: playback runs at its own pace.
    template <typename Check>
    rapidjson::Document DumpWithin(double seconds, Check check) {
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        rapidjson::Document dump = Dump();
        while (!check(dump) && std::chrono::steady_clock::now() < end) {
            dump = Dump();
        }
        return dump;
    }
    static const rapidjson::Value& Frame(const rapidjson::Value& dump) {
        const rapidjson::Value* frame = FindId(dump, "mainFrame");
        EXPECT_NE(frame, nullptr);
        return frame ? *frame : dump;
    }
    static std::string PlayIcon(const rapidjson::Value& dump) {
        return Frame(dump)["Properties"]["PlayIcon"].GetString();
    }
    static const rapidjson::Value& Panel(const rapidjson::Value& dump) {
        return (*FindId(dump, "voiceDataListPanel"))["Properties"];
    }
    // The current library's name once its clips have been read: waiting for a name waits
    // for the rows too.
    static std::string LibraryName(const rapidjson::Value& dump) {
        const auto& library = Panel(dump)["Library"];
        return library.IsString() && !Panel(dump)["Loading"].GetBool() ? library.GetString() : "";
    }
    // Chooses the library of that row text in the selector's popup.
    void Choose(const std::string& name) {
        Click(Dump(), "libraryList");
        rapidjson::Document open = DumpUntil(
            [](const rapidjson::Value& d) { return FindId(d, "VoiceLibrarySelectorPopup"); });
        const rapidjson::Value& popup = *FindId(open, "VoiceLibrarySelectorPopup");
        for (const auto& item : popup["Properties"]["Items"].GetArray()) {
            if (item["Text"].GetString() == name) {
                const auto& at = popup["ScreenBounds"];
                const auto& row = item["HitRect"];
                ClickAt(static_cast<int>(at[0].GetDouble() + row[0].GetDouble() + 40),
                        static_cast<int>(at[1].GetDouble() + row[1].GetDouble() +
                                         row[3].GetDouble() / 2));
                return;
            }
        }
        X11WaitRanOut("no row " + name);
    }
    static std::string CurrentVoice(const rapidjson::Value& dump) {
        const auto& current = (*FindId(dump, "voiceDataListPanel"))["Properties"]["CurrentVoice"];
        return current.IsString() ? current.GetString() : "";
    }
    static bool Enabled(const rapidjson::Value& dump, const char* id) {
        return (*FindId(dump, id))["Enabled"].GetBool();
    }
    // Clicks the clip row at the index, as the panel lays it out now.
    void ClickRow(const rapidjson::Value& dump, int index) {
        const rapidjson::Value* area = FindId(dump, "ContentsBoxArea");
        const rapidjson::Value* panel = FindId(dump, "voiceDataListPanel");
        ASSERT_TRUE(area && panel);
        const auto& rect = (*panel)["Properties"]["Items"][index]["Rect"];
        const auto& origin = (*area)["ScreenBounds"];
        ClickAt(static_cast<int>(origin[0].GetDouble() + rect[0].GetDouble() + 20),
                static_cast<int>(origin[1].GetDouble() + rect[1].GetDouble() +
                                 rect[3].GetDouble() / 2));
    }
    // Clicks the star of the clip row at the index.
    void ClickStar(const rapidjson::Value& dump, int index) {
        const auto& star = Panel(dump)["Items"][index]["FavRect"];
        const auto& origin = (*FindId(dump, "ContentsBoxArea"))["ScreenBounds"];
        ClickAt(
            static_cast<int>(origin[0].GetDouble() + star[0].GetDouble() + star[2].GetDouble() / 2),
            static_cast<int>(origin[1].GetDouble() + star[1].GetDouble() +
                             star[3].GetDouble() / 2));
    }
    // The popup menu panels, oldest first.
    static std::vector<const rapidjson::Value*> Menus(const rapidjson::Value& dump) {
        std::vector<const rapidjson::Value*> menus;
        for (const auto& window : dump["Windows"].GetArray()) {
            if (std::string(window["Class"].GetString()) == "TB_MenuPanel") {
                menus.push_back(&window);
            }
        }
        return menus;
    }
    // The screen point inside the item with the text of a menu panel; (-1, -1) when none.
    static std::pair<int, int> MenuItem(const rapidjson::Value& menu, const std::string& text) {
        for (const auto& item : menu["Properties"]["Items"].GetArray()) {
            if (item.HasMember("Text") && item["Text"].GetString() == text) {
                const auto& b = menu["ScreenBounds"];
                const auto& r = item["ItemRect"];
                return {
                    static_cast<int>(b[0].GetDouble() + r[0].GetDouble() + 10),
                    static_cast<int>(b[1].GetDouble() + r[1].GetDouble() + r[3].GetDouble() / 2)};
            }
        }
        return {-1, -1};
    }
    // Opens the main menu with the settings button; its dump.
    rapidjson::Document OpenMainMenu() {
        Click(Dump(), "settingButton");
        return DumpUntil([](const rapidjson::Document& d) { return Menus(d).size() == 1; });
    }
    // Runs a main menu item, through its submenu when one is named.
    void ChooseFromMainMenu(const std::string& text, const std::string& submenu = "") {
        rapidjson::Document dump = OpenMainMenu();
        ASSERT_EQ(Menus(dump).size(), 1u);
        if (submenu.empty()) {
            auto [x, y] = MenuItem(*Menus(dump)[0], text);
            ASSERT_GE(x, 0) << text;
            ClickAt(x, y);
            return;
        }
        auto [x, y] = MenuItem(*Menus(dump)[0], submenu);
        ASSERT_GE(x, 0) << submenu;
        ASSERT_EQ(session.Run("xdotool" + session.MoveTo(x, y)), 0);
        rapidjson::Document opened =
            DumpUntil([](const rapidjson::Document& d) { return Menus(d).size() == 2; });
        ASSERT_EQ(Menus(opened).size(), 2u);
        auto [subX, subY] = MenuItem(*Menus(opened)[1], text);
        ASSERT_GE(subX, 0) << text;
        // Straight into the submenu (one jump of the pointer, so no other item is crossed).
        ClickAt(subX, subY);
    }
    // The X window of the question the program asks now: it carries the main window's title,
    // so it is the visible window of that name that is not the main one.
    std::string WaitForQuestion(const std::string& mainId) {
        EXPECT_TRUE(program->WaitFor("MessageBox : ")) << program->Output;
        for (int attempt = 0; attempt < 2000; ++attempt) {
            std::istringstream ids(
                Query("xdotool search --onlyvisible --name '" + kTitle + "'", false));
            for (std::string id; ids >> id;) {
                if (id != mainId) {
                    return id;
                }
            }
        }
        ADD_FAILURE() << "no question window";
        return "";
    }
    std::string ReadData(const std::string& name) {
        return ReadFile(dataHome + "/LumoVox/" + name);
    }
    static std::vector<double> StoredBounds(const rapidjson::Document& settings) {
        std::vector<double> bounds;
        if (settings.IsObject() && settings.HasMember("StartWindowBounds")) {
            for (const auto& v : settings["StartWindowBounds"]["value"].GetArray()) {
                bounds.push_back(v.GetDouble());
            }
        }
        return bounds;
    }
    static std::vector<double> ScreenBounds(const rapidjson::Value& widget) {
        std::vector<double> bounds;
        for (const auto& v : widget["ScreenBounds"].GetArray()) {
            bounds.push_back(v.GetDouble());
        }
        return bounds;
    }
    // The window manager's view, "x y width height" of the client window on the screen, once
    // it is the expected one or after a bounded number of looks: the manager places a new
    // window in its own time.
    std::string Geometry(const std::string& id, const std::string& expected) {
        std::string geometry;
        for (int attempt = 0; attempt < 200 && geometry != expected; ++attempt) {
            std::string info = Query("xwininfo -id " + id);
            auto field = [&info](const std::string& name) {
                size_t at = info.find(name);
                return at == std::string::npos
                           ? std::string("?")
                           : std::to_string(std::atoi(info.c_str() + at + name.size()));
            };
            geometry = field("Absolute upper-left X:") + " " + field("Absolute upper-left Y:") +
                       " " + field("Width:") + " " + field("Height:");
        }
        return geometry;
    }
};
