#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <filesystem>
#include <string>
#include <vector>

#include "x11_lumovox.h"

namespace {

const std::string kClip =
    std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/audio/pcm16-stereo-48000.wav";
const std::string kDropTarget = std::string(LUMOVOX_BINARY_DIR) + "/tests/lumovox-drop-target";

// A library whose table pits the kana folds against each other: path, title, line, reading,
// category.
const char* const kTable =
    "a01.wav,アイ,愛してる,アイ,こえ\n"
    "b02.wav,花,花です,ハナ,こえ\n"
    "c03.wav,バナナ,バナナです,バナ,もの\n"
    "d01.wav,ねこ,ねこがいる,ネコガイル,もの\n"
    "e02.wav,ねこ2,ねこです,ネコデス,もの\n"
    "f03.wav,しろ,しろい　ねこ,シロイ ネコ,こえ\n";

// Every character the searches below type that the keyboard has no key for.
const char* const kTyped = "あいアイｱｲはなばねこでネコですシロイ　がるしろ";

class PanelInX11 : public LumovoxInX11 {
protected:
    void SetUp() override {
        LumovoxInX11::SetUp();
        if (IsSkipped()) {
            return;
        }
        // Bound before the program starts: a program that has not yet read the new key map
        // when the first key comes drops that key.
        ASSERT_TRUE(session.BindKeys(kTyped));
        WriteFile(library / "lib.csv", kTable);
        for (const char* name : {"a01", "b02", "c03", "d01", "e02", "f03"}) {
            std::filesystem::copy_file(kClip, library / (std::string(name) + ".wav"));
        }
        Start({library.Path()});
    }

    // The paths of the rows the list shows, in order.
    static std::vector<std::string> Shown(const rapidjson::Value& dump) {
        std::vector<std::string> shown;
        for (const auto& item : Items(dump)) {
            if (item["ItemVisible"].GetBool()) {
                shown.push_back(item["VoiceData"][0]["RelFilePath"].GetString());
            }
        }
        return shown;
    }
    static const rapidjson::Value& Panel(const rapidjson::Value& dump) {
        return (*FindId(dump, "voiceDataListPanel"))["Properties"];
    }
    static rapidjson::Value::ConstArray Items(const rapidjson::Value& dump) {
        return Panel(dump)["Items"].GetArray();
    }
    static std::string SearchText(const rapidjson::Value& dump) {
        const rapidjson::Value* panel = FindId(dump, "voiceDataListPanel");
        return panel ? (*panel)["Properties"]["SearchText"].GetString() : "";
    }
    // Types the search into the search box from the keyboard, replacing what was there;
    // the dump once the list has taken it.
    rapidjson::Document Search(const std::string& text) {
        rapidjson::Document dump = Dump();
        Click(dump, "filterText");
        // Keys without modifiers: a Ctrl still held when the next key arrives turns
        // BackSpace into a deletion of one word. One BackSpace per character after End.
        size_t characters = 0;
        for (unsigned char c : SearchText(dump)) {
            characters += (c & 0xC0) != 0x80 ? 1 : 0;
        }
        if (characters > 0) {
            EXPECT_EQ(session.Run("xdotool key End key --repeat " + std::to_string(characters) +
                                  " BackSpace"),
                      0);
            DumpUntil([](const rapidjson::Value& d) { return SearchText(d).empty(); });
        }
        EXPECT_TRUE(session.BindKeys(text));  // bound in SetUp already, unless a test added one
        EXPECT_EQ(session.Run("xdotool type --delay 20 '" + text + "'"), 0);
        return DumpUntil([&](const rapidjson::Value& d) { return SearchText(d) == text; });
    }
    std::vector<std::string> ShownFor(const std::string& text) { return Shown(Search(text)); }

    // The row of the clip with the path, or null.
    static const rapidjson::Value* RowOf(const rapidjson::Value& dump, const std::string& path) {
        for (const auto& item : Items(dump)) {
            if (item["VoiceData"][0]["RelFilePath"].GetString() == path) {
                return &item;
            }
        }
        return nullptr;
    }
    // The screen point at (dx, dy) from the top left of a rectangle of a row (relative to the
    // list's area, as the dump gives it).
    static std::pair<int, int> OnScreen(const rapidjson::Value& dump, const rapidjson::Value& rect,
                                        double dx, double dy) {
        const auto& area = (*FindId(dump, "ContentsBoxArea"))["ScreenBounds"];
        return {static_cast<int>(area[0].GetDouble() + rect[0].GetDouble() + dx),
                static_cast<int>(area[1].GetDouble() + rect[1].GetDouble() + dy)};
    }
    static std::pair<int, int> InRow(const rapidjson::Value& dump, const std::string& path,
                                     double dx, double dy) {
        const rapidjson::Value* row = RowOf(dump, path);
        if (!row) {
            ADD_FAILURE() << "no row " << path;
            return {0, 0};
        }
        return OnScreen(dump, (*row)["Rect"], dx, dy);
    }
    void ClickRow(const rapidjson::Value& dump, const std::string& path) {
        auto [x, y] = InRow(dump, path, 30, 12);
        ClickAt(x, y);
    }
    void ClickStar(const rapidjson::Value& dump, const std::string& path) {
        const rapidjson::Value* row = RowOf(dump, path);
        ASSERT_NE(row, nullptr) << path;
        const auto& star = (*row)["FavRect"];
        auto [x, y] = OnScreen(dump, star, star[2].GetDouble() / 2, star[3].GetDouble() / 2);
        ClickAt(x, y);
    }
    static bool IsFavourite(const rapidjson::Value& dump, const std::string& path) {
        const rapidjson::Value* row = RowOf(dump, path);
        return row && (*row)["VoiceData"][0]["Favorite"].GetBool();
    }
    static std::string Current(const rapidjson::Value& dump) {
        const rapidjson::Value& current = Panel(dump)["CurrentVoice"];
        return current.IsString() ? current.GetString() : "";
    }
    // A check box or button of the filter popup, found by its caption.
    static const rapidjson::Value* PopupControl(const rapidjson::Value& dump,
                                                const std::string& text) {
        const rapidjson::Value* popup = FindId(dump, "VoiceCategoryPanel");
        if (!popup) {
            return nullptr;
        }
        return WithText(*popup, text);
    }
    // The category boxes sit in a scrolled column inside the popup.
    static const rapidjson::Value* WithText(const rapidjson::Value& node, const std::string& text) {
        for (const auto& child : node["Children"].GetArray()) {
            if (child["Text"].GetString() == text) {
                return &child;
            }
            if (child.HasMember("Children")) {
                if (const rapidjson::Value* inner = WithText(child, text)) {
                    return inner;
                }
            }
        }
        return nullptr;
    }
    void ClickInPopup(const std::string& text) {
        rapidjson::Document dump =
            DumpUntil([&](const rapidjson::Value& d) { return PopupControl(d, text) != nullptr; });
        const rapidjson::Value* control = PopupControl(dump, text);
        ASSERT_NE(control, nullptr) << text;
        const auto& b = (*control)["ScreenBounds"];
        // Check boxes take a click on their box, at their left.
        ClickAt(static_cast<int>(b[0].GetDouble() + std::min(8.0, b[2].GetDouble() / 2)),
                static_cast<int>(b[1].GetDouble() + b[3].GetDouble() / 2));
    }

    TempFolder library;
    using Paths = std::vector<std::string>;
};

// Every search typed with real keys, the list read back from the running program.
TEST_F(PanelInX11, SearchingFromTheKeyboard) {
    EXPECT_EQ(Shown(Dump()).size(), 6u);
    // Hiragana and katakana find each other, in readings too; half-width kana are their own.
    EXPECT_EQ(ShownFor("あい"), Paths{"a01.wav"});
    EXPECT_EQ(ShownFor("アイ"), Paths{"a01.wav"});
    EXPECT_EQ(ShownFor("ｱｲ"), Paths{});
    // A voiced mark makes another letter: はな is not ばな.
    EXPECT_EQ(ShownFor("はな"), Paths{"b02.wav"});
    EXPECT_EQ(ShownFor("ばな"), Paths{"c03.wav"});
    // Two words must both be found, each in the line, the title or the path.
    EXPECT_EQ(ShownFor("ねこ 01"), Paths{"d01.wav"});
    EXPECT_EQ(ShownFor("ねこ"), (Paths{"d01.wav", "e02.wav", "f03.wav"}));
    EXPECT_EQ(ShownFor("ねこ です"), Paths{"e02.wav"});
    // Katakana words meet hiragana lines only through the reading, which must then hold the
    // whole search text.
    EXPECT_EQ(ShownFor("ネコ"), (Paths{"d01.wav", "e02.wav", "f03.wav"}));
    EXPECT_EQ(ShownFor("ネコ です"), Paths{});
    EXPECT_EQ(ShownFor("シロイ ネコ"), Paths{"f03.wav"});
    // A full-width space is part of the word, not a gap between words.
    EXPECT_EQ(ShownFor("い　ね"), Paths{"f03.wav"});
    EXPECT_EQ(ShownFor("ねこ　01"), Paths{});
    // Words in any order; the path's own letters; a reading typed in hiragana.
    EXPECT_EQ(ShownFor("01 ねこ"), Paths{"d01.wav"});
    EXPECT_EQ(ShownFor("e02"), Paths{"e02.wav"});
    EXPECT_EQ(ShownFor("ねこがいる"), Paths{"d01.wav"});
    EXPECT_EQ(ShownFor("しろい ねこ"), Paths{"f03.wav"});
    // The clear button brings every clip back.
    Click(Dump(), "clearTextButton");
    rapidjson::Document cleared =
        DumpUntil([](const rapidjson::Value& d) { return SearchText(d).empty(); });
    EXPECT_EQ(Shown(cleared).size(), 6u);
}

// Stars set by clicking, favourites only from the filter popup, un-starring the current clip,
// and the categories switched off and on.
TEST_F(PanelInX11, FavouritesAndCategoriesFromThePointer) {
    rapidjson::Document dump = Dump();
    ClickStar(dump, "b02.wav");
    ClickStar(dump, "d01.wav");
    dump = DumpUntil([](const rapidjson::Value& d) { return IsFavourite(d, "d01.wav"); });
    EXPECT_TRUE(IsFavourite(dump, "b02.wav"));
    EXPECT_FALSE(IsFavourite(dump, "a01.wav"));
    ClickRow(dump, "d01.wav");
    dump = DumpUntil([](const rapidjson::Value& d) { return Current(d) == "d01.wav"; });
    EXPECT_TRUE((*FindId(dump, "favButton"))["Properties"]["Selected"].GetBool());

    Click(dump, "filterButton");
    ClickInPopup("お気に入り のみ");
    dump =
        DumpUntil([](const rapidjson::Value& d) { return Panel(d)["FavouritesOnly"].GetBool(); });
    EXPECT_EQ(Shown(dump), (Paths{"b02.wav", "d01.wav"}));
    // The popup stands off the window by a soft shadow: a window a little larger and lower,
    // stacked just below it (xwininfo lists the top one first).
    const auto& b = (*FindId(dump, "VoiceCategoryPanel"))["ScreenBounds"];
    auto at = [&b](int i) { return static_cast<int>(b[i].GetDouble()); };
    int x = at(0), y = at(1), w = at(2), h = at(3);
    auto geometry = [](int gx, int gy, int gw, int gh) {
        return " " + std::to_string(gw) + "x" + std::to_string(gh) + "+" + std::to_string(gx) +
               "+" + std::to_string(gy) + "\n";
    };
    // The mapped top-level windows, top first: "id WxH+X+Y" a line.
    const std::string mapped =
        "sh -c \"xwininfo -root -children | awk '/^ +0x/{print \\$1}' | while read w; do "
        "xwininfo -id \\$w | awk -v w=\\$w '/IsViewable/{v=1} /upper-left X/{x=\\$4} "
        "/upper-left Y/{y=\\$4} /Width:/{s=\\$2} /Height:/{t=\\$2} "
        "END{if (v) print w, s \\\"x\\\" t \\\"+\\\" x \\\"+\\\" y}'; done\"";
    EXPECT_TRUE(QueryUntil(mapped, [&](const std::string& windows) {
        size_t popup = windows.find(geometry(x, y, w, h));
        size_t shadow = windows.find(geometry(x - 8, y - 5, w + 16, h + 16));
        return popup != std::string::npos && shadow != std::string::npos && popup < shadow;
    }));
    ASSERT_EQ(session.Run("xdotool key Escape"), 0);
    dump = DumpUntil([](const rapidjson::Value& d) { return !FindId(d, "VoiceCategoryPanel"); });
    EXPECT_TRUE(QueryUntil(mapped, [&](const std::string& windows) {
        return windows.find(geometry(x - 8, y - 5, w + 16, h + 16)) == std::string::npos;
    }));

    // Un-starring the current clip keeps it in sight until the filter runs again.
    Click(dump, "favButton");
    dump = DumpUntil([](const rapidjson::Value& d) { return !IsFavourite(d, "d01.wav"); });
    EXPECT_EQ(Shown(dump), (Paths{"b02.wav", "d01.wav"}));
    EXPECT_EQ(ShownFor("0"), Paths{"b02.wav"});
    EXPECT_EQ(ShownFor(""), Paths{"b02.wav"});

    // Favourites only off again; every category off hides all, all on shows all.
    Click(Dump(), "filterButton");
    ClickInPopup("お気に入り のみ");
    DumpUntil([](const rapidjson::Value& d) { return !Panel(d)["FavouritesOnly"].GetBool(); });
    ClickInPopup("こえ");
    dump = DumpUntil([](const rapidjson::Value& d) { return Shown(d).size() == 3; });
    EXPECT_EQ(Shown(dump), (Paths{"c03.wav", "d01.wav", "e02.wav"}));
    ClickInPopup("全てオフ");
    dump = DumpUntil([](const rapidjson::Value& d) { return Shown(d).empty(); });
    EXPECT_EQ(Shown(dump), Paths{});
    ClickInPopup("全てオン");
    dump = DumpUntil([](const rapidjson::Value& d) { return Shown(d).size() == 6; });
    EXPECT_EQ(Shown(dump).size(), 6u);
    ASSERT_EQ(session.Run("xdotool key Escape"), 0);
}

// A row dragged onto another program carries the file and the clip's description.
TEST_F(PanelInX11, DraggingARowToAnotherProgram) {
    // The window is made narrow so that the target beside it stays in sight.
    ASSERT_EQ(session.Run("xdotool search --sync --onlyvisible --pid " +
                          std::to_string(program->Pid()) + " --all --name '' windowsize 560 900"),
              0);
    rapidjson::Document dump = DumpUntil([](const rapidjson::Value& d) {
        const rapidjson::Value* frame = FindId(d, "mainFrame");
        return frame && (*frame)["ScreenBounds"][2].GetDouble() == 560;
    });
    X11Program target(session, kDropTarget, {}, {});
    ASSERT_TRUE(target.WaitFor("target shown")) << target.Output;
    ASSERT_EQ(session.Run("xdotool search --sync --onlyvisible --name '^drop target$'"), 0);

    auto [x, y] = InRow(dump, "d01.wav", 30, 12);
    std::string path = session.MoveTo(x, y) + "mousedown 1";
    path += session.MoveTo(x + 10, y + 10);
    for (int step = 1; step <= 8; ++step) {
        path += session.MoveTo(x + 10 + (750 - x) * step / 8, y + 10 + (500 - y) * step / 8);
    }
    ASSERT_EQ(session.Run("xdotool " + path), 0);
    ASSERT_TRUE(DropTargetAnswered(session, target, 760, 510)) << target.Output;
    ASSERT_EQ(session.Run("xdotool mouseup 1"), 0);
    ASSERT_TRUE(target.WaitFor("dropped")) << target.Output;
    EXPECT_NE(target.Output.find("format text/uri-list"), std::string::npos) << target.Output;
    EXPECT_NE(target.Output.find("format application/x-tc-voice-lib-data"), std::string::npos);
    EXPECT_NE(target.Output.find("file " + library / "d01.wav\n"), std::string::npos)
        << target.Output;
    size_t voices = target.Output.find("voices ");
    ASSERT_NE(voices, std::string::npos) << target.Output;
    std::string json = target.Output.substr(voices + 7);
    json = json.substr(0, json.find('\n'));
    // The description ends in a NUL; the JSON before it names the clip.
    rapidjson::Document description;
    description.Parse(json.c_str());
    ASSERT_FALSE(description.HasParseError()) << json;
    ASSERT_EQ(description["voices"].Size(), 1u);
    EXPECT_NE(json.find("ねこがいる"), std::string::npos) << json;
    target.Signal(SIGTERM);
    target.Wait();
}

// Selecting a clip whose file has gone says nothing; playing it says which file.
TEST_F(PanelInX11, AClipWhoseFileWasDeleted) {
    std::filesystem::remove(library / "c03.wav");
    Close();
    Start();  // the library comes back from the index and finds the file gone
    rapidjson::Document dump = DumpUntil([](const rapidjson::Value& d) {
        const rapidjson::Value* row = RowOf(d, "c03.wav");
        return row && !(*row)["VoiceData"][0]["Exists"].GetBool();
    });
    ClickRow(dump, "c03.wav");
    dump = DumpUntil([](const rapidjson::Value& d) { return Current(d) == "c03.wav"; });
    EXPECT_NE(session.Run("xdotool search --onlyvisible --name '^声ライブラリ$'"), 0);
    Click(dump, "playButton");
    ASSERT_EQ(session.Run("xdotool search --sync --onlyvisible --name '^声ライブラリ$'"), 0);
    ASSERT_EQ(session.Run("xdotool key Return"), 0);
    // The box is gone and the program goes on.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (session.Run("xdotool search --onlyvisible --name '^声ライブラリ$'") != 0) {
            break;
        }
        Dump();
    }
    EXPECT_NE(session.Run("xdotool search --onlyvisible --name '^声ライブラリ$'"), 0);
    EXPECT_EQ(Current(Dump()), "c03.wav");
}

// The next start comes back to the library chosen last, picked here from the selector.
TEST_F(PanelInX11, TheNextStartRestoresTheLibrary) {
    ASSERT_EQ(Close(), 0);
    TempFolder other;
    std::filesystem::copy_file(kClip, other / "only.wav");
    Start({library.Path(), other.Path()});  // the last one given is chosen
    rapidjson::Document dump = Dump();
    ASSERT_EQ(Items(dump).Size(), 1u);
    const rapidjson::Value& libraries = (*FindId(dump, "libraryList"))["Properties"]["Libs"];
    ASSERT_EQ(libraries.Size(), 2u);
    std::string first = libraries[0]["Name"].GetString();
    Click(dump, "libraryList");
    // The popup lists the libraries in order, a row each below the selector's own height.
    rapidjson::Document open =
        DumpUntil([](const rapidjson::Value& d) { return d["Windows"].Size() > 1; });
    ASSERT_GT(open["Windows"].Size(), 1u);
    const auto& popup = open["Windows"][open["Windows"].Size() - 1]["ScreenBounds"];
    ClickAt(static_cast<int>(popup[0].GetDouble() + 40),
            static_cast<int>(popup[1].GetDouble() + 10));
    dump = DumpUntil(
        [&](const rapidjson::Value& d) { return Panel(d)["Library"].GetString() == first; });
    ASSERT_EQ(std::string(Panel(dump)["Library"].GetString()), first);
    ASSERT_EQ(Close(), 0);
    Start();
    dump = Dump();
    EXPECT_EQ(std::string(Panel(dump)["Library"].GetString()), first);
    EXPECT_EQ(Items(dump).Size(), 6u);
}

}  // namespace
