#pragma once

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <memory>
#include <string>
#include <vector>

#include "x11_session.h"

// The real program on a private X display with its own data folder, driven with xdotool and
// read back through its UI dump.
class LumovoxInX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!session.Available()) {
            GTEST_SKIP() << "no X session: " << session.Why();
        }
    }
    void TearDown() override {
        if (program) {
            EXPECT_EQ(Close(), 0) << program->Output;
        }
    }

    // Starts lumovox with the arguments and waits for its window.
    void Start(const std::vector<std::string>& arguments = {},
               const std::vector<std::string>& environment = {}) {
        std::vector<std::string> env{"LUMOVOX_UI_DUMP=" + dumpPath, "XDG_DATA_HOME=" + dataHome,
                                     "XDG_CONFIG_HOME=" + temp / "config", "HOME=" + temp / "home"};
        env.insert(env.end(), environment.begin(), environment.end());
        program = std::make_unique<X11Program>(session, kProgram, arguments, env);
        ASSERT_TRUE(program->WaitFor("Main window shown")) << program->Output;
    }
    // Closes the window as its close button would; the exit status.
    int Close() {
        program->Signal(SIGTERM);
        int status = program->Wait();
        lastOutput = program->Output;
        program.reset();
        return status;
    }
    rapidjson::Document Dump() {
        rapidjson::Document dump = DumpOf(*program, dumpPath);
        EXPECT_TRUE(dump.HasMember("Windows")) << program->Output;
        return dump;
    }
    // Dumps until the check holds, a bounded number of times: the program may answer a dump
    // before it has read the last input.
    template <typename Check>
    rapidjson::Document DumpUntil(Check check) {
        rapidjson::Document dump = Dump();
        for (int attempt = 0; attempt < 100 && !check(dump); ++attempt) {
            dump = Dump();
        }
        return dump;
    }
    // Moves the real pointer to (x, y) and clicks there, `count` times.
    void ClickAt(int x, int y, int count = 1) {
        std::string repeat = count > 1 ? "--repeat " + std::to_string(count) + " " : "";
        ASSERT_EQ(session.Run("xdotool" + session.MoveTo(x, y) + "click " + repeat + "1"), 0);
    }
    void Click(const rapidjson::Value& dump, const char* id) {
        const rapidjson::Value* widget = FindId(dump, id);
        ASSERT_NE(widget, nullptr) << id;
        auto [x, y] = CentreOf(*widget);
        ClickAt(x, y);
    }
    // The stored settings, as the program left them at its last close.
    rapidjson::Document Settings() {
        rapidjson::Document settings;
        settings.Parse(ReadFile(dataHome + "/LumoVox/setting.json").c_str());
        return settings;
    }

    const std::string kProgram = std::string(LUMOVOX_BINARY_DIR) + "/app/lumovox";
    X11Session session;
    TempFolder temp;
    std::string dumpPath = temp / "dump.json";
    std::string dataHome = temp / "data";
    std::unique_ptr<X11Program> program;
    std::string lastOutput;
};
