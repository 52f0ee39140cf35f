#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <signal.h>

#include <cstdio>
#include <string>

#include "x11_mainwindow.h"

namespace {

// The program as a screen reader reads it: AT-SPI over a D-Bus session bus of the test's own,
// read with pyatspi (tests/x11/atspi_probe.py).
class AccessibleInX11 : public MainWindowInX11 {
protected:
    void SetUp() override {
        MainWindowInX11::SetUp();
        if (IsSkipped()) {
            return;
        }
        if (std::system(
                "command -v dbus-daemon > /dev/null && /usr/bin/python3 -c 'import pyatspi' "
                "2> /dev/null") != 0) {
            GTEST_SKIP() << "dbus-daemon or pyatspi is missing";
        }
        FILE* bus = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        ASSERT_NE(bus, nullptr);
        char line[512] = {};
        if (std::fgets(line, sizeof line, bus)) {
            address = std::string(line).substr(0, std::string(line).find('\n'));
        }
        if (std::fgets(line, sizeof line, bus)) {
            busPid = std::stoi(line);
        }
        pclose(bus);
        ASSERT_FALSE(address.empty());
        Start({std::string(LUMOVOX_SOURCE_DIR) + "/samples/hikari"},
              {"DBUS_SESSION_BUS_ADDRESS=" + address, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"});
    }
    void TearDown() override {
        MainWindowInX11::TearDown();
        if (busPid > 0) {
            kill(busPid, SIGTERM);
        }
    }
    // The probe's command line for the command, on the test's bus.
    std::string ProbeCommand(const std::string& command) const {
        return "env DBUS_SESSION_BUS_ADDRESS='" + address + "' /usr/bin/python3 " +
               LUMOVOX_SOURCE_DIR + "/tests/x11/atspi_probe.py " + command;
    }
    // The probe's output for the command; empty while the program is not on the bus yet.
    std::string Probe(const std::string& command) { return Query(ProbeCommand(command), false); }
    // Probes until the output holds the line.
    void ProbeUntil(const std::string& command, const std::string& line) {
        EXPECT_TRUE(QueryUntil(ProbeCommand(command), [&line](const std::string& out) {
            return out.find(line + "\n") != std::string::npos;
        })) << line;
    }

    std::string address;
    int busPid = -1;
};

TEST_F(AccessibleInX11, AScreenReaderFindsThePartsPressesPlayAndFollowsTheFocus) {
    // The window, the list with its rows (title, line, selected state), the controls by name.
    ProbeUntil("tree", "frame|ルモヴォクスアプリ||enabled");
    std::string tree = Probe("tree");
    for (const char* line : {"list|音声一覧|", "list item|おはよう|おはよう、今日もいい天気だね。|",
                             "push button|再生|", "push button|次へ|", "combo box|ライブラリ|",
                             "list item|hikari||selectable,selected,enabled",
                             "slider|音量||enabled", "push button|表示フィルター||enabled"}) {
        EXPECT_NE(tree.find(std::string("\n") + line), std::string::npos) << line << "\n" << tree;
    }

    // A row chosen and played through the accessibility actions alone.
    ASSERT_EQ(Probe("press おはよう"), "");
    DumpUntil([](const rapidjson::Value& d) {
        return std::string(Panel(d)["CurrentVoice"].GetString()).find("greet_01") !=
               std::string::npos;
    });
    ProbeUntil("tree",
               "list item|おはよう|おはよう、今日もいい天気だね。|selectable,selected,enabled");
    ASSERT_EQ(Probe("press 再生"), "");
    DumpUntil(
        [](const rapidjson::Value& d) { return Frame(d)["Properties"]["Playing"].GetBool(); });
    // The button's new name is what a reader announces.
    ProbeUntil("tree", "push button|停止||enabled");

    // A row's second action plays it, as Enter would.
    ASSERT_EQ(Probe("activate こんにちは"), "");
    DumpUntil([](const rapidjson::Value& d) {
        return std::string(Panel(d)["CurrentVoice"].GetString()).find("greet_02") !=
                   std::string::npos &&
               Frame(d)["Properties"]["Playing"].GetBool();
    });

    // The menu opens from its button; its items are there to read and to run.
    ASSERT_EQ(Probe("press 設定"), "");
    ProbeUntil("tree", "menu item|権利情報||selectable,enabled");
    ASSERT_EQ(Probe("press 権利情報"), "");
    ProbeUntil("tree", "dialog|権利情報||enabled");
    ASSERT_EQ(Probe("press OK"), "");
    ProbeUntil("tree", "frame|ルモヴォクスアプリ||enabled");

    // Tab moves the focus from the search field through the controls to the list, whose
    // current row a reader then reads out; the reader sees every step.
    ProbeUntil("focused", "text|検索");
    for (const char* next : {"push button|検索文字をクリア", "push button|お気に入り登録/解除",
                             "push button|表示フィルター", "list item|こんにちは"}) {
        ASSERT_EQ(session.Run("xdotool key Tab"), 0);
        ProbeUntil("focused", next);
    }
}

}  // namespace
