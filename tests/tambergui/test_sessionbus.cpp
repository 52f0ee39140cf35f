#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <signal.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/tb_qt_sessionbus.h"
#include "test_util.h"

namespace {

// Each case runs against a stand-in dbus-launch found first on the PATH, in an environment
// of its own that is put back afterwards.
class SessionBusLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
        for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
            m_machine = ReadFile(path).substr(0, 32);
            if (m_machine.size() == 32) {
                break;
            }
        }
        if (m_machine.size() != 32) {
            GTEST_SKIP() << "no machine id, so the bus library would not run the helper either";
        }
        setenv("PATH", (temp.Path() + ":/usr/bin:/bin").c_str(), 1);
        setenv("DISPLAY", ":77", 1);
        setenv("XDG_RUNTIME_DIR", temp.Path().c_str(), 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        unsetenv("QT_QPA_PLATFORM");
    }
    void TearDown() override {
        for (size_t i = 0; i < m_saved.size(); ++i) {
            if (m_saved[i]) {
                setenv(kNames[i], m_saved[i]->c_str(), 1);
            } else {
                unsetenv(kNames[i]);
            }
        }
    }
    // A helper that notes its arguments, writes ANSWER (printf escapes) and exits with STATUS.
    void Helper(const std::string& answer, int status) {
        std::string path = temp / "dbus-launch";
        WriteFile(path, "#!/bin/sh\necho \"$@\" > '" + (temp / "arguments") + "'\nprintf '" +
                            answer + "'\nexit " + std::to_string(status) + "\n");
        chmod(path.c_str(), 0755);
    }
    std::string Address() {
        const char* value = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        return value ? value : "(unset)";
    }
    static constexpr const char* kNames[] = {"PATH", "DISPLAY", "XDG_RUNTIME_DIR",
                                             "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM"};
    std::vector<std::optional<std::string>> m_saved;
    std::string m_machine;
    TempFolder temp;
};

TEST_F(SessionBusLookupTest, TheHelpersAddressGoesIntoTheEnvironment) {
    // The address, a NUL, then the helper's process and window numbers, as binary.
    Helper("unix:abstract=/tmp/dbus-x,guid=42\\000\\001\\002\\003\\004\\000\\000\\000\\000", 0);
    TB_SessionBusLookup lookup;
    ASSERT_TRUE(lookup.Begin());
    lookup.Finish();
    EXPECT_EQ(Address(), "unix:abstract=/tmp/dbus-x,guid=42");
    EXPECT_EQ(ReadFile(temp / "arguments"),
              "--autolaunch " + m_machine + " --binary-syntax --close-stderr\n");
    // Once an address is known, nothing more is looked up.
    TB_SessionBusLookup again;
    EXPECT_FALSE(again.Begin());
}

TEST_F(SessionBusLookupTest, AHelperThatFailsOrSaysNothingUsableLeavesTheEnvironment) {
    for (auto [answer, status] : {std::pair<std::string, int>{"unix:path=/x\\000", 1},
                                  {"unix:path=/x", 0},
                                  {"\\000", 0},
                                  {"", 0}}) {
        Helper(answer, status);
        TB_SessionBusLookup lookup;
        ASSERT_TRUE(lookup.Begin());
        lookup.Finish();
        EXPECT_EQ(Address(), "(unset)") << answer << " " << status;
    }
    // No helper installed at all: nothing to wait for.
    setenv("PATH", temp.Path().c_str(), 1);
    std::remove((temp / "dbus-launch").c_str());
    TB_SessionBusLookup missing;
    EXPECT_FALSE(missing.Begin());
    missing.Finish();
    EXPECT_EQ(Address(), "(unset)");
}

// A helper that hangs is given up on after the limit, and reaped once it ends: no address,
// and no process of it left behind.
TEST_F(SessionBusLookupTest, AHelperThatHangsIsGivenUpOnAndReapedWhenItEnds) {
    std::string path = temp / "dbus-launch";
    WriteFile(path, "#!/bin/sh\necho $$ > '" + (temp / "pid") + "'\nexec sleep 60\n");
    chmod(path.c_str(), 0755);
    TB_SessionBusLookup lookup;
    ASSERT_TRUE(lookup.Begin());
    lookup.Finish();
    EXPECT_EQ(Address(), "(unset)");
    pid_t helper = std::atoi(ReadFile(temp / "pid").c_str());
    ASSERT_GT(helper, 0);
    ASSERT_EQ(kill(helper, SIGTERM), 0);
    // A zombie keeps its entry until it is reaped.
    std::string entry = "/proc/" + std::to_string(helper);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (access(entry.c_str(), F_OK) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_NE(access(entry.c_str(), F_OK), 0) << "the helper was not reaped";
}

std::atomic<int> g_forks{0};

// With no helper on the PATH nor where the bus library looks first, no bus can be reached:
// the program's first session connection fails at once, without the bus library forking the
// program to look again, and the environment stays as given. A helper where the bus library
// looks first keeps the bus within reach.
TEST_F(SessionBusLookupTest, WithNoHelperAnywhereTheFirstConnectionFailsWithoutAFork) {
    setenv("PATH", temp.Path().c_str(), 1);
    std::string placed = temp / "placed-dbus-launch";
    WriteFile(placed, "#!/bin/sh\nexit 1\n");
    TB_SessionBusLookup placedHelper(placed.c_str());
    EXPECT_FALSE(placedHelper.Begin());
    EXPECT_FALSE(placedHelper.Unreachable());

    std::string nowhere = temp / "nowhere";
    TB_SessionBusLookup lookup(nowhere.c_str());
    EXPECT_FALSE(lookup.Begin());
    lookup.Finish();
    ASSERT_TRUE(lookup.Unreachable());
    pthread_atfork([] { ++g_forks; }, nullptr, nullptr);
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    lookup.ForgoUnreachableBus();
    EXPECT_EQ(Address(), "(unset)");
    EXPECT_FALSE(QDBusConnection::sessionBus().isConnected());
    EXPECT_EQ(g_forks.load(), 0) << "the bus library forked the program to look for the helper";
}

// Where the bus library finds the bus without the helper, or would not run it, neither do we.
TEST_F(SessionBusLookupTest, NoLookupWhereTheBusLibraryWouldNotRunTheHelper) {
    Helper("unix:path=/x\\000", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EXPECT_FALSE(TB_SessionBusLookup().Begin());
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("DISPLAY");
    EXPECT_FALSE(TB_SessionBusLookup().Begin());
    setenv("DISPLAY", ":77", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/given", 1);
    EXPECT_FALSE(TB_SessionBusLookup().Begin());
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    // The user's bus at the runtime folder.
    int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = temp / "bus";
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_FALSE(TB_SessionBusLookup().Begin());
    close(listening);
    EXPECT_FALSE(std::ifstream(temp / "arguments").good()) << "the helper ran";
    // Nor does it conclude that no bus can be reached.
    std::string nowhere = temp / "nowhere";
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/given", 1);
    TB_SessionBusLookup given(nowhere.c_str());
    given.Begin();
    EXPECT_FALSE(given.Unreachable());
}

}  // namespace
