#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <string>

#include "x11_session.h"

namespace {

const std::string kWindow = std::string(LUMOVOX_BINARY_DIR) + "/tests/lumovox-controls-window";
const std::string kDropTarget = std::string(LUMOVOX_BINARY_DIR) + "/tests/lumovox-drop-target";

class ControlsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!session.Available()) {
            GTEST_SKIP() << "no X session: " << session.Why();
        }
        program =
            std::make_unique<X11Program>(session, kWindow, std::vector<std::string>{},
                                         std::vector<std::string>{"LUMOVOX_UI_DUMP=" + dumpPath,
                                                                  "LUMOVOX_DRAG_FILES=" + kFiles});
        ASSERT_TRUE(program->WaitFor("Window shown")) << program->Output;
        // Shown to the toolkit is not yet placed and activated by the window manager: a click
        // before that lands where the window is not yet, or is taken for the activation.
        ASSERT_TRUE(ActiveWindowBecomes("controls"));
    }
    void TearDown() override {
        if (program) {
            program->Signal(SIGTERM);
            EXPECT_EQ(program->Wait(), 0) << program->Output;
        }
    }
    // Asks the running program for its window tree.
    rapidjson::Document Dump() {
        rapidjson::Document dump = DumpOf(*program, dumpPath);
        EXPECT_TRUE(dump.HasMember("Windows")) << program->Output;
        return dump;
    }
    // Whether the window manager makes the window of that title the active one; a bounded
    // number of looks.
    bool ActiveWindowBecomes(const std::string& title) {
        std::string out = temp / "active.txt";
        for (int attempt = 0; attempt < 400; ++attempt) {
            if (session.Run("xdotool getactivewindow getwindowname > '" + out + "'") == 0 &&
                ReadFile(out) == title + "\n") {
                return true;
            }
        }
        ADD_FAILURE() << "active: " << ReadFile(out) << " instead of " << title;
        return false;
    }
    // Clicks the middle of a widget with the real pointer.
    void Click(const rapidjson::Document& dump, const char* id) {
        const rapidjson::Value* widget = FindId(dump, id);
        ASSERT_NE(widget, nullptr) << id;
        auto [x, y] = CentreOf(*widget);
        ASSERT_EQ(session.Run("xdotool" + session.MoveTo(x, y) + "click 1"), 0);
    }

    X11Session session;
    TempFolder temp;
    // Names that a careless file URI would break: spaces, '#', '%', '?' and Japanese.
    const std::string kFiles = temp / "声 ライブラリ/#1 100%?.wav\n" + temp / "plain.wav";
    std::string dumpPath = temp / "dump.json";
    std::unique_ptr<X11Program> program;
};

TEST_F(ControlsWindow, TheDumpOfARealProcessShowsWhatWasClicked) {
    rapidjson::Document before = Dump();
    ASSERT_EQ(before["Windows"].Size(), 1u);
    const rapidjson::Value& window = before["Windows"][0];
    EXPECT_EQ(std::string(window["Class"].GetString()), "TB_Frame");
    EXPECT_EQ(std::string(window["Text"].GetString()), "controls");
    EXPECT_EQ(window["Children"].Size(), 9u);
    const rapidjson::Value* check = FindId(before, "check");
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(std::string((*check)["Class"].GetString()), "TB_CheckBox");
    EXPECT_FALSE((*check)["Properties"]["Checked"].GetBool());
    EXPECT_TRUE((*check)["Visible"].GetBool());

    Click(before, "check");
    ASSERT_TRUE(program->WaitFor("check: 1")) << program->Output;
    Click(before, "toggle");
    ASSERT_TRUE(program->WaitFor("toggle: 1")) << program->Output;
    Click(before, "button");
    ASSERT_TRUE(program->WaitFor("clicks: 1")) << program->Output;
    // The second click of a quick pair is still a click.
    Click(before, "button");
    ASSERT_TRUE(program->WaitFor("clicks: 2")) << program->Output;

    rapidjson::Document after = Dump();
    EXPECT_TRUE((*FindId(after, "check"))["Properties"]["Checked"].GetBool());
    EXPECT_TRUE((*FindId(after, "toggle"))["Properties"]["Selected"].GetBool());
    EXPECT_EQ(std::string((*FindId(after, "counter"))["Text"].GetString()), "clicks: 2");
    EXPECT_TRUE((*FindId(after, "button"))["Focused"].GetBool());  // the last one pressed
    EXPECT_FALSE((*FindId(after, "check"))["Focused"].GetBool());
}

// Menus in a real session: a press elsewhere, Escape and leaving the window each close the
// menu without running anything; a submenu item runs; a modal popup's loop returns; and no
// popup window is left behind.
TEST_F(ControlsWindow, MenusAndPopupsCloseAsPeopleExpect) {
    rapidjson::Document dump = Dump();
    auto open = [&] {
        Click(dump, "menuButton");
        ASSERT_TRUE(program->WaitFor("menu shown")) << program->Output;
    };
    open();
    Click(dump, "counter");  // a press on the window, outside the menu
    ASSERT_TRUE(program->WaitFor("menu closed")) << program->Output;

    open();
    ASSERT_EQ(session.Run("xdotool key Escape"), 0);
    ASSERT_TRUE(program->WaitFor("menu closed")) << program->Output;

    // Another window takes the activation: the menu goes.
    X11Program other(session, kWindow, {},
                     {"LUMOVOX_CONTROLS_TITLE=other", "LUMOVOX_CONTROLS_POSITION=600,500"});
    ASSERT_TRUE(other.WaitFor("Window shown")) << other.Output;
    // The window manager activates a new window in its own time: once it has, ours is
    // activated again, so no late activation can close the menu about to open.
    ASSERT_TRUE(ActiveWindowBecomes("other"));
    ASSERT_EQ(session.Run("xdotool search --sync --onlyvisible --name '^controls$' windowactivate"),
              0);
    ASSERT_TRUE(ActiveWindowBecomes("controls"));
    open();
    rapidjson::Document withMenu = Dump();
    const rapidjson::Value* menu = FindId(withMenu, "menu");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(std::string((*menu)["Class"].GetString()), "TB_MenuPanel");
    ASSERT_EQ(session.Run("xdotool search --sync --onlyvisible --name '^other$' windowactivate"),
              0);
    ASSERT_TRUE(program->WaitFor("menu closed")) << program->Output;
    other.Signal(SIGTERM);
    EXPECT_EQ(other.Wait(), 0);

    // Into the submenu with the pointer, and a click there.
    open();
    rapidjson::Document opened = Dump();
    const rapidjson::Value* panel = FindId(opened, "menu");
    ASSERT_NE(panel, nullptr);
    const auto& bounds = (*panel)["ScreenBounds"];
    const auto& sizeItem = (*panel)["Properties"]["Items"][1]["ItemRect"];
    int x = static_cast<int>(bounds[0].GetDouble() + sizeItem[0].GetDouble() + 10);
    int y = static_cast<int>(bounds[1].GetDouble() + sizeItem[1].GetDouble() + 8);
    ASSERT_EQ(session.Run("xdotool" + session.MoveTo(x, y)), 0);
    // The submenu opens beside the item; its second item is 150%.
    int subX = static_cast<int>(bounds[0].GetDouble() + bounds[2].GetDouble() + 20);
    int subY = y + 24;
    std::string toSubmenu = session.MoveTo(subX, y);
    ASSERT_EQ(session.Run("xdotool" + toSubmenu + session.MoveTo(subX, subY) + "click 1"), 0);
    ASSERT_TRUE(program->WaitFor("executed 150%")) << program->Output;
    ASSERT_TRUE(program->WaitFor("menu closed")) << program->Output;
    EXPECT_EQ(program->Output.find("executed Play"), std::string::npos);

    // A modal popup: its nested loop returns once a choice closes it.
    Click(dump, "modalButton");
    ASSERT_TRUE(program->WaitFor("modal shown")) << program->Output;
    rapidjson::Document modal = Dump();
    Click(modal, "choose");
    ASSERT_TRUE(program->WaitFor("modal returned")) << program->Output;

    rapidjson::Document after = Dump();
    EXPECT_EQ(after["Windows"].Size(), 1u);  // no popup outlived its use
}

// A real drag with the pointer, from our window onto another program's: the files arrive as
// the same files, the clip description in its own type; Escape cancels; a drop on the source
// itself does nothing.
TEST_F(ControlsWindow, DraggingFilesOutAndCopyingText) {
    X11Program target(session, kDropTarget, {}, {});
    ASSERT_TRUE(target.WaitFor("target shown")) << target.Output;
    ASSERT_EQ(session.Run("xdotool search --sync --onlyvisible --name '^drop target$'"), 0);
    rapidjson::Document dump = Dump();
    const auto& b = (*FindId(dump, "dragSource"))["ScreenBounds"];
    int x = static_cast<int>(b[0].GetDouble() + 20), y = static_cast<int>(b[1].GetDouble() + 20);
    // Press, move in steps (the drag protocol follows the pointer), release over the target.
    std::string path = session.MoveTo(x, y) + "mousedown 1";
    path += session.MoveTo(x + 10, y + 10);
    for (int step = 1; step <= 8; ++step) {
        path += session.MoveTo(x + 10 + (750 - x) * step / 8, y + 10 + (500 - y) * step / 8);
    }
    ASSERT_EQ(session.Run("xdotool " + path), 0);
    ASSERT_TRUE(DropTargetAnswered(session, target, 760, 510)) << target.Output;
    ASSERT_EQ(session.Run("xdotool mouseup 1"), 0);
    ASSERT_TRUE(target.WaitFor("dropped")) << target.Output;
    ASSERT_TRUE(program->WaitFor("drag effect 1")) << program->Output;
    EXPECT_NE(target.Output.find("format text/uri-list"), std::string::npos);
    EXPECT_NE(target.Output.find("format application/x-tc-voice-lib-data"), std::string::npos);
    EXPECT_NE(target.Output.find("file " + temp / "声 ライブラリ/#1 100%?.wav\n"),
              std::string::npos)
        << target.Output;
    EXPECT_NE(target.Output.find("file " + temp / "plain.wav\n"), std::string::npos);
    EXPECT_NE(target.Output.find("voices {\"voices\": []}"), std::string::npos);

    // Escape during the drag cancels it: effect 0, nothing dropped.
    std::string cancel = session.MoveTo(x, y) + "mousedown 1";
    cancel += session.MoveTo(x + 10, y + 10);
    cancel += session.MoveTo(700, 480);
    ASSERT_EQ(session.Run("xdotool " + cancel), 0);
    ASSERT_TRUE(DropTargetAnswered(session, target, 700, 480)) << target.Output;
    ASSERT_EQ(session.Run("xdotool key Escape mouseup 1"), 0);
    ASSERT_TRUE(program->WaitFor("drag effect 0")) << program->Output;

    // Dropped back on the source: no target takes it, nothing breaks.
    std::string home = session.MoveTo(x, y) + "mousedown 1";
    home += session.MoveTo(x + 10, y + 10);
    home += session.MoveTo(x + 30, y + 5);
    ASSERT_EQ(session.Run("xdotool " + home + " mouseup 1"), 0);
    ASSERT_TRUE(program->WaitFor("drag effect 0")) << program->Output;
    EXPECT_EQ(target.Output.find("dropped", target.Output.find("dropped") + 1), std::string::npos);
    target.Signal(SIGTERM);
    target.Wait();

    // The clipboard, read by another program.
    Click(Dump(), "copyButton");
    ASSERT_TRUE(program->WaitFor("copied")) << program->Output;
    std::string clip = temp / "clip.txt";
    ASSERT_EQ(session.Run("xclip -o -selection clipboard > '" + clip + "'"), 0);
    EXPECT_EQ(ReadFile(clip), "声ライブラリ「ひかり」#1 100%");
}

// Real typing through the X keyboard, Japanese included, reaches Text exactly; Ctrl+A from
// the keyboard selects everything, so the next key replaces it.
TEST_F(ControlsWindow, TypingIntoTheTextBox) {
    // The program may read its dump signal before the last keys: ask again until the text
    // arrives, a bounded number of times, so a lost key fails instead of hanging.
    auto textBecomes = [this](const std::string& expected) {
        std::string text;
        for (int attempt = 0; attempt < 100 && text != expected; ++attempt) {
            rapidjson::Document dump = Dump();
            const rapidjson::Value* box = FindId(dump, "textBox");
            text = box ? (*box)["Text"].GetString() : "";
        }
        return text;
    };
    rapidjson::Document before = Dump();
    EXPECT_EQ(std::string((*FindId(before, "textBox"))["Class"].GetString()), "TB_TextBox");
    Click(before, "textBox");
    ASSERT_TRUE(session.BindKeys("声ライブラリ"));
    ASSERT_EQ(session.Run("xdotool type --delay 20 'abc 声ライブラリ'"), 0);
    ASSERT_EQ(textBecomes("abc 声ライブラリ"), "abc 声ライブラリ") << program->Output;
    EXPECT_NE(program->Output.find("text: abc 声ライブラリ\n"), std::string::npos);
    EXPECT_TRUE((*FindId(Dump(), "textBox"))["Focused"].GetBool());

    ASSERT_EQ(session.Run("xdotool key ctrl+a type x"), 0);
    EXPECT_EQ(textBecomes("x"), "x") << program->Output;
}

}  // namespace
