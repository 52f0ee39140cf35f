#pragma once

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <memory>
#include <sstream>
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
        if (std::system("command -v xprop > /dev/null && command -v xwininfo > /dev/null && "
                        "command -v xmodmap > /dev/null") != 0) {
            GTEST_SKIP() << "xprop, xwininfo or xmodmap is missing";
        }
    }
    void TearDown() override {
        if (program) {
            EXPECT_EQ(Close(), 0) << lastOutput;
        }
    }

    // Starts lumovox with the arguments and waits for its window.
    void Start(const std::vector<std::string>& arguments = {},
               const std::vector<std::string>& environment = {}) {
        // Test machines have no sound: silence is chosen, so no notice of a missing device
        // stands in the way (a test of that notice starts without it).
        std::vector<std::string> env{"LUMOVOX_UI_DUMP=" + dumpPath, "XDG_DATA_HOME=" + dataHome,
                                     "XDG_CONFIG_HOME=" + temp / "config",
                                     "XDG_CACHE_HOME=" + temp / "cache", "HOME=" + temp / "home"};
        if (silent) {
            env.push_back("LUMOVOX_AUDIO_OUTPUT=silent");
        }
        env.insert(env.end(), environment.begin(), environment.end());
        program = std::make_unique<X11Program>(session, kProgram, arguments, env);
        ASSERT_TRUE(program->WaitFor("Main window shown")) << program->Output;
        // Shown to the toolkit is not yet taken over by the window manager; a click before
        // that would be lost. Nor is it active yet: a click while the manager activates it
        // may be taken for the activation (seen once in 480 runs under load). The active
        // window may be the program's first message instead of the main one.
        std::string id = MainWindowId();
        if (Query("xprop -id " + id + " WM_STATE", false).find("Normal") != std::string::npos) {
            std::string pid = std::to_string(program->Pid()) + "\n";
            QueryUntil("xdotool getactivewindow getwindowpid",
                       [&pid](const std::string& owner) { return owner == pid; });
        }
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
    // Dumps until the check holds: the program may answer a dump before it has read the last
    // input. When the state never comes the test fails at once, with the last dump, and
    // goes no further.
    template <typename Check>
    rapidjson::Document DumpUntil(Check check) {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            rapidjson::Document dump = Dump();
            if (dump.HasMember("Windows") && check(dump)) {
                return dump;
            }
        }
        X11WaitRanOut("the state waited for never came; the program said:\n" +
                      Tail(program->Output) + "\nits last dump:\n" + Compact(ReadFile(dumpPath)));
    }
    static std::string Tail(const std::string& text) {
        return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
    }
    // A dump on one line, cut short: enough to see which state the program was in.
    static std::string Compact(const std::string& json) {
        rapidjson::Document document;
        document.Parse(json.c_str());
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        document.Accept(writer);
        return std::string(buffer.GetString()).substr(0, 8000);
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

    // What an X client printed. A look repeated until something holds may fail on its way
    // (a window destroyed while xdotool reads it): mustSucceed false lets it look again.
    std::string Query(const std::string& command, bool mustSucceed = true) {
        std::string out = temp / "query.txt";
        int status = session.Run(command + " > '" + out + "'");
        EXPECT_TRUE(status == 0 || !mustSucceed) << command;
        return status == 0 ? ReadFile(out) : std::string();
    }
    // The X window of the main frame, once the window manager has taken it over (it sets
    // WM_STATE then): a request sent before that is lost or undone by the first placement. It
    // may be minimised, so not only visible windows count.
    std::string MainWindowId() {
        // A search can fail on its way (a window destroyed while xdotool walks the tree).
        std::string id;
        QueryUntil("xdotool search --sync --name '" + kTitle + "'", [&id](const std::string& ids) {
            std::istringstream first(ids);
            first >> id;
            return !id.empty();
        });
        EXPECT_TRUE(QueryUntil("xprop -id " + id + " WM_STATE", [](const std::string& state) {
            return state.find("Normal") != std::string::npos ||
                   state.find("Iconic") != std::string::npos;
        }));
        return id;
    }
    // Runs the X client until its output passes the check, a bounded number of times: the
    // window manager answers in its own time. False when it never did.
    template <typename Check>
    bool QueryUntil(const std::string& command, Check check) {
        for (int attempt = 0; attempt < 2000; ++attempt) {
            if (check(Query(command, false))) {
                return true;
            }
        }
        X11WaitRanOut(command + ": " + Query(command, false));
    }

    // Bounds a wait: a state that has not come after this many looks is not coming.
    static constexpr int kAttempts = 400;

    const std::string kTitle = "^ルモヴォクスアプリ$";
    const std::string kProgram = std::string(LUMOVOX_BINARY_DIR) + "/app/lumovox";
    X11Session session;
    TempFolder temp;
    std::string dumpPath = temp / "dump.json";
    std::string dataHome = temp / "data";
    std::unique_ptr<X11Program> program;
    std::string lastOutput;
    bool silent = true;  // the program is started with silence chosen
};
