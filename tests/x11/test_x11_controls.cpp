#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <string>

#include "x11_session.h"

namespace {

const std::string kWindow = std::string(LUMOVOX_BINARY_DIR) + "/tests/lumovox-controls-window";

// The widget with the Id anywhere in the dump, or null.
const rapidjson::Value* FindId(const rapidjson::Value& node, const char* id) {
    if (node.IsObject() && node.HasMember("Id") && std::string(node["Id"].GetString()) == id) {
        return &node;
    }
    const char* lists[] = {"Windows", "Children"};
    for (const char* list : lists) {
        if (node.IsObject() && node.HasMember(list)) {
            for (const auto& child : node[list].GetArray()) {
                if (const rapidjson::Value* found = FindId(child, id)) {
                    return found;
                }
            }
        }
    }
    return nullptr;
}

class ControlsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!session.Available()) {
            GTEST_SKIP() << "no Xvfb, openbox or xdotool";
        }
        program =
            std::make_unique<X11Program>(session, kWindow, std::vector<std::string>{},
                                         std::vector<std::string>{"LUMOVOX_UI_DUMP=" + dumpPath});
        ASSERT_TRUE(program->WaitFor("Window shown")) << program->Output;
    }
    void TearDown() override {
        if (program) {
            program->Signal(SIGTERM);
            EXPECT_EQ(program->Wait(), 0) << program->Output;
        }
    }
    // Asks the running program for its window tree.
    rapidjson::Document Dump() {
        program->Signal(SIGUSR1);
        EXPECT_TRUE(program->WaitFor("UI dump written")) << program->Output;
        rapidjson::Document dump;
        dump.Parse(ReadFile(dumpPath).c_str());
        EXPECT_FALSE(dump.HasParseError());
        return dump;
    }
    // Clicks the middle of a widget with the real pointer.
    void Click(const rapidjson::Document& dump, const char* id) {
        const rapidjson::Value* widget = FindId(dump, id);
        ASSERT_NE(widget, nullptr) << id;
        const auto& b = (*widget)["ScreenBounds"];
        int x = static_cast<int>(b[0].GetDouble() + b[2].GetDouble() / 2);
        int y = static_cast<int>(b[1].GetDouble() + b[3].GetDouble() / 2);
        ASSERT_EQ(session.Run("xdotool mousemove --sync " + std::to_string(x) + " " +
                              std::to_string(y) + " click 1"),
                  0);
    }

    X11Session session;
    TempFolder temp;
    std::string dumpPath = temp / "dump.json";
    std::unique_ptr<X11Program> program;
};

TEST_F(ControlsWindow, TheDumpOfARealProcessShowsWhatWasClicked) {
    rapidjson::Document before = Dump();
    ASSERT_EQ(before["Windows"].Size(), 1u);
    const rapidjson::Value& window = before["Windows"][0];
    EXPECT_EQ(std::string(window["Class"].GetString()), "TB_Frame");
    EXPECT_EQ(std::string(window["Text"].GetString()), "controls");
    EXPECT_EQ(window["Children"].Size(), 4u);
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

}  // namespace
