#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <fcntl.h>
#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(LUMOVOX_BINARY_DIR) + "/app/lumovox";

// Writes into the pipe until it takes no more, so that the program blocks at its next line.
void FillPipe(int writeEnd) {
    int flags = fcntl(writeEnd, F_GETFL);
    fcntl(writeEnd, F_SETFL, flags | O_NONBLOCK);
    const std::string line = std::string(63, '#') + "\n";
    while (write(writeEnd, line.data(), line.size()) > 0) {
    }
    while (write(writeEnd, "\n", 1) > 0) {
    }
    fcntl(writeEnd, F_SETFL, flags);
}

// Starts the program headless in a folder with extra environment variables and reads its
// output as it comes, calling onOutput with everything read so far (it may signal the
// child). The test keeps the write end of the output pipe as well (given to onOutput and to
// beforeReading, which runs first): filling it holds the program at its next line of output;
// startHeld fills it before the program starts. Returns the exit status, or 1000 + the signal
// that ended it.
int RunProgram(const std::string& folder, const std::vector<std::string>& environment,
               std::string& output,
               const std::function<void(pid_t, const std::string&, int)>& onOutput,
               const std::function<void()>& inChild = {},
               const std::function<void(pid_t, int)>& beforeReading = {}, bool startHeld = false) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return -1;
    }
    if (startHeld) {
        FillPipe(pipeFds[1]);
    }
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (chdir(folder.c_str()) != 0) {
            _exit(127);
        }
        // The screen the other tests have (offscreen's own is 800 x 600).
        setenv("QT_QPA_PLATFORM",
               ("offscreen:configfile=" + std::string(LUMOVOX_SOURCE_DIR) +
                "/tests/data/offscreen-screen.json")
                   .c_str(),
               1);
        for (const std::string& assignment : environment) {
            putenv(const_cast<char*>(assignment.c_str()));
        }
        if (inChild) {
            inChild();
        }
        execl(kProgram.c_str(), kProgram.c_str(), nullptr);
        _exit(127);
    }
    if (beforeReading) {
        beforeReading(child, pipeFds[1]);
    }
    int status = 0;
    bool ended = false;
    for (;;) {
        pollfd in{pipeFds[0], POLLIN, 0};
        if (poll(&in, 1, 100) > 0) {
            char chunk[4096];
            ssize_t n = read(pipeFds[0], chunk, sizeof chunk);
            if (n > 0) {
                output.append(chunk, static_cast<size_t>(n));
                onOutput(child, output, pipeFds[1]);
                continue;
            }
        }
        if (ended) {
            break;  // nothing more to read from a program that has ended
        }
        ended = waitpid(child, &status, WNOHANG) == child;
    }
    close(pipeFds[0]);
    close(pipeFds[1]);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// One line of /proc/<pid>/status ("SigBlk", "ShdPnd", "Threads"), its value as a number.
unsigned long long ProcStatus(pid_t pid, const std::string& key) {
    std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
    size_t at = status.find("\n" + key + ":");
    if (at == std::string::npos) {
        return 0;
    }
    bool hex = key != "Threads";
    return std::strtoull(status.c_str() + at + key.size() + 2, nullptr, hex ? 16 : 10);
}

// Whether the program's main thread waits in a write to its standard output or error.
bool WritingOutput(pid_t pid) {
    std::string call = ReadFile("/proc/" + std::to_string(pid) + "/syscall");
    return call.rfind("1 0x1 ", 0) == 0 || call.rfind("1 0x2 ", 0) == 0;
}

bool Has(unsigned long long mask, int signal) {
    return (mask >> (signal - 1)) & 1;
}

// Looks until the state holds; a bounded number of times, so a program that never gets
// there fails the test instead of holding the run.
template <typename Check>
void WaitUntil(Check check) {
    for (int look = 0; look < 6000; ++look) {
        if (check()) {
            return;
        }
        poll(nullptr, 0, 10);
    }
    ADD_FAILURE() << "the program never reached the state waited for";
}

// Waits until the main window is shown, then asks the program to close with SIGTERM.
int RunProgram(const std::string& folder, const std::vector<std::string>& environment,
               std::string& output, const std::function<void()>& inChild = {}) {
    bool signalled = false;
    return RunProgram(
        folder, environment, output,
        [&](pid_t child, const std::string& text, int) {
            if (!signalled && text.find("Main window shown") != std::string::npos) {
                kill(child, SIGTERM);
                signalled = true;
            }
        },
        inChild);
}

TEST(Startup, RunsItsWindowCreatesTheFoldersAndClosesCleanly) {
    TempFolder temp;
    fs::create_directories(temp / "data");
    std::string output;
    ASSERT_EQ(RunProgram(temp.Path(), {"XDG_DATA_HOME=" + (temp / "data")}, output), 0) << output;
    EXPECT_TRUE(fs::is_directory(temp / "data/LumoVox"));
    EXPECT_TRUE(fs::is_directory(temp / "data/LumoVox/errorlogs"));
    EXPECT_NE(output.find("TamberCore : 0.5"), std::string::npos);
    EXPECT_NE(output.find("OpenSSL\t: OpenSSL"), std::string::npos);
    // The banner names the image libraries as linked, not as some other build had them.
    EXPECT_NE(output.find(std::string("zlib       : ") + zlibVersion() + "\n"), std::string::npos)
        << output;
    EXPECT_NE(output.find(std::string("libpng     : ") + png_get_libpng_ver(nullptr) + "\n"),
              std::string::npos);
    EXPECT_EQ(output.find("libjpeg"), std::string::npos);
    EXPECT_EQ(output.find("giflib"), std::string::npos);
    // A first run writes every built-in setting in table order, with one boot counted and
    // the style the window was built with named.
    std::string expected =
        ReadFile(std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/setting.default.json");
    const std::string unnamed = "\"UiStyleName\": {\n\t\t\"type\": 8,\n\t\t\"value\": \"\"";
    ASSERT_NE(expected.find(unnamed), std::string::npos);
    expected.replace(expected.find(unnamed), unnamed.size(),
                     "\"UiStyleName\": {\n\t\t\"type\": 8,\n\t\t\"value\": \"light\"");
    // The first window keeps clear of the screen's corner, its title bar on the screen.
    const std::string corner = "\t\t\t0.0,\n\t\t\t0.0,\n\t\t\t1280.0";
    ASSERT_NE(expected.find(corner), std::string::npos);
    expected.replace(expected.find(corner), corner.size(), "\t\t\t4.0,\n\t\t\t40.0,\n\t\t\t1280.0");
    EXPECT_EQ(ReadFile(temp / "data/LumoVox/setting.json"), expected);
    output.clear();
    ASSERT_EQ(RunProgram(temp.Path(), {"XDG_DATA_HOME=" + (temp / "data")}, output), 0) << output;
    EXPECT_NE(ReadFile(temp / "data/LumoVox/setting.json")
                  .find("\"NumberOfBoots\": {\n\t\t\"type\": 1,\n\t\t\"value\": 2\n"),
              std::string::npos);
}

TEST(Startup, CreatesEveryMissingLevelAndNeverARelativeFolder) {
    TempFolder temp;
    // A relative XDG_DATA_HOME is ignored (as the XDG rules say): the default under HOME is
    // used, and nothing appears below the working folder.
    std::string output;
    ASSERT_EQ(
        RunProgram(temp.Path(), {"XDG_DATA_HOME=relative", "HOME=" + (temp / "home")}, output), 0)
        << output;
    EXPECT_TRUE(fs::is_directory(temp / "home/.local/share/LumoVox/errorlogs"));
    EXPECT_FALSE(fs::exists(temp / "relative"));
    EXPECT_FALSE(fs::exists(temp / "LumoVox"));
}

// Nothing the program writes gets out while its output pipe is full: it waits at its first
// line, before any window exists, with the signals already blocked for the thread that takes
// them. A SIGTERM taken there closes the window as soon as it is shown.
TEST(Startup, ACloseRequestedBeforeTheWindowExistsIsHonouredWhenItIsShown) {
    TempFolder temp;
    fs::create_directories(temp / "data");
    std::string output;
    int status = RunProgram(
        temp.Path(), {"XDG_DATA_HOME=" + (temp / "data")}, output,
        [](pid_t, const std::string&, int) {}, {},
        [](pid_t child, int) {
            // The signal thread runs and SIGTERM is blocked: then the signal is the thread's.
            WaitUntil([child] {
                return Has(ProcStatus(child, "SigBlk"), SIGTERM) &&
                       ProcStatus(child, "Threads") >= 2;
            });
            kill(child, SIGTERM);
            WaitUntil([child] { return !Has(ProcStatus(child, "ShdPnd"), SIGTERM); });
        },
        true);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Main window shown"), std::string::npos);
    EXPECT_NE(ReadFile(temp / "data/LumoVox/setting.json").find("\"NumberOfBoots\""),
              std::string::npos);
}

// A close that hangs (here: the window's thread held at a line of output, the pipe full)
// ends at once at a second SIGINT or SIGTERM, as terminal programs do.
TEST(Startup, ASecondSignalWhileTheCloseHangsEndsTheProgramAtOnce) {
    TempFolder temp;
    fs::create_directories(temp / "data");
    std::string dump = temp / "dump.json";
    std::string output;
    bool held = false;
    int status =
        RunProgram(temp.Path(), {"XDG_DATA_HOME=" + (temp / "data"), "LUMOVOX_UI_DUMP=" + dump},
                   output, [&](pid_t child, const std::string& text, int writeEnd) {
                       if (held || text.find("Main window shown") == std::string::npos) {
                           return;
                       }
                       held = true;
                       FillPipe(writeEnd);
                       // A dump makes the window's thread say something: it waits in that write.
                       kill(child, SIGUSR1);
                       WaitUntil([child] { return WritingOutput(child); });
                       kill(child, SIGTERM);
                       WaitUntil([child] { return !Has(ProcStatus(child, "ShdPnd"), SIGTERM); });
                       kill(child, SIGINT);
                   });
    EXPECT_EQ(status, 128 + SIGINT) << output;
}

// Settings and an index that are pipes are refused as missing files are: the program starts
// (a pipe would block its start for good), and its saves put regular files in their place.
TEST(Startup, PipesInPlaceOfTheSettingsAndTheIndexAreRefused) {
    TempFolder temp;
    fs::create_directories(temp / "data/LumoVox");
    for (const char* name : {"setting.json", "voice-libs.json"}) {
        ASSERT_EQ(mkfifo((temp / ("data/LumoVox/" + std::string(name))).c_str(), 0600), 0);
    }
    std::string output;
    EXPECT_EQ(
        RunProgram(temp.Path(), {"XDG_DATA_HOME=" + (temp / "data")}, output, [] { alarm(120); }),
        0)
        << output;
    EXPECT_TRUE(fs::is_regular_file(temp / "data/LumoVox/setting.json"));
    EXPECT_TRUE(fs::is_regular_file(temp / "data/LumoVox/voice-libs.json"));
}

// A stray SIGUSR2 costs nothing: SIGTERM, right behind it, still closes the window and saves.
// (The alarm only bounds a program that would never end.)
TEST(Startup, AStraySignalLeavesTheShutdownHandlingInPlace) {
    TempFolder temp;
    fs::create_directories(temp / "data");
    std::string output;
    bool signalled = false;
    int status = RunProgram(
        temp.Path(), {"XDG_DATA_HOME=" + (temp / "data")}, output,
        [&](pid_t child, const std::string& text, int) {
            if (!signalled && text.find("Main window shown") != std::string::npos) {
                kill(child, SIGUSR2);
                kill(child, SIGTERM);
                signalled = true;
            }
        },
        [] { alarm(120); });
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("closing on signal 15"), std::string::npos) << output;
    EXPECT_TRUE(fs::is_regular_file(temp / "data/LumoVox/setting.json"));
}

// A file-size limit below the size of setting.json: the save fails like a full disk (the old
// file kept) instead of the process dying of SIGXFSZ half-way through its shutdown. Stale
// temporary files of interrupted saves are cleared at start.
TEST(Startup, AFileSizeLimitFailsTheSaveButNotTheProgram) {
    TempFolder temp;
    const std::string original = "{\"GuiScale\": {\"type\": 1, \"value\": 125}}";
    WriteFile(temp / "data/LumoVox/setting.json", original);
    pid_t dead = fork();
    if (dead == 0) {
        _exit(0);
    }
    waitpid(dead, nullptr, 0);
    std::string stale = temp / ("data/LumoVox/setting.json.tmp-" + std::to_string(dead));
    std::string staleIndex = temp / ("data/LumoVox/voice-libs.json.tmp-" + std::to_string(dead));
    std::string foreign = temp / "data/LumoVox/setting.json.tmp-draft";
    WriteFile(stale, "{");
    WriteFile(staleIndex, "{");
    WriteFile(foreign, "mine");
    std::string output;
    int status = RunProgram(temp.Path(), {"XDG_DATA_HOME=" + (temp / "data")}, output, [] {
        rlimit limit{512, 512};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(ReadFile(temp / "data/LumoVox/setting.json"), original);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(staleIndex));
    EXPECT_TRUE(fs::exists(foreign));
}

}  // namespace
