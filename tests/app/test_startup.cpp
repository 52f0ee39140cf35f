#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(LUMOVOX_BINARY_DIR) + "/app/lumovox";

// Starts the program headless in a folder with extra environment variables and reads its
// output line by line, calling onOutput with everything read so far (it may signal the
// child). Returns the exit status, or 1000 + the signal that ended it.
int RunProgram(const std::string& folder, const std::vector<std::string>& environment,
               std::string& output, const std::function<void(pid_t, const std::string&)>& onOutput,
               const std::function<void()>& inChild = {}) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return -1;
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
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        for (const std::string& assignment : environment) {
            putenv(const_cast<char*>(assignment.c_str()));
        }
        if (inChild) {
            inChild();
        }
        execl(kProgram.c_str(), kProgram.c_str(), nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    FILE* in = fdopen(pipeFds[0], "r");
    char line[4096];
    while (fgets(line, sizeof line, in)) {
        output += line;
        onOutput(child, output);
    }
    fclose(in);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// Waits until the main window is shown, then asks the program to close with SIGTERM.
int RunProgram(const std::string& folder, const std::vector<std::string>& environment,
               std::string& output, const std::function<void()>& inChild = {}) {
    bool signalled = false;
    return RunProgram(
        folder, environment, output,
        [&](pid_t child, const std::string& text) {
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

// A data folder whose setting.json is a pipe: the program blocks reading it at start, before
// any window exists, until the test writes to it.
std::string MakeBlockingSettings(const TempFolder& temp) {
    fs::create_directories(temp / "data/LumoVox");
    std::string pipePath = temp / "data/LumoVox/setting.json";
    EXPECT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
    return pipePath;
}

TEST(Startup, ACloseRequestedBeforeTheWindowExistsIsHonouredWhenItIsShown) {
    TempFolder temp;
    std::string pipePath = MakeBlockingSettings(temp);
    std::string output;
    bool signalled = false, released = false;
    int status =
        RunProgram(temp.Path(), {"XDG_DATA_HOME=" + (temp / "data")}, output,
                   [&](pid_t child, const std::string& text) {
                       if (!signalled && text.find("TamberCore") != std::string::npos) {
                           kill(child, SIGTERM);
                           signalled = true;
                       }
                       if (!released && text.find("closing on signal 15") != std::string::npos) {
                           released = true;
                           // Opening the pipe lets the program go on; it may stop
                           // reading before the text arrives.
                           signal(SIGPIPE, SIG_IGN);
                           int fd = open(pipePath.c_str(), O_WRONLY);
                           EXPECT_GE(fd, 0);
                           ssize_t written = write(fd, "{}", 2);
                           (void)written;
                           close(fd);
                       }
                   });
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Main window shown"), std::string::npos);
    // The settings were saved on the way out: the pipe was replaced by the written file.
    EXPECT_TRUE(fs::is_regular_file(pipePath));
    EXPECT_NE(ReadFile(pipePath).find("\"NumberOfBoots\""), std::string::npos);
}

TEST(Startup, ASecondSignalWhileTheCloseHangsEndsTheProgramAtOnce) {
    TempFolder temp;
    MakeBlockingSettings(temp);  // never written: the program hangs until it is ended
    std::string output;
    bool first = false, second = false;
    int status =
        RunProgram(temp.Path(), {"XDG_DATA_HOME=" + (temp / "data")}, output,
                   [&](pid_t child, const std::string& text) {
                       if (!first && text.find("TamberCore") != std::string::npos) {
                           kill(child, SIGTERM);
                           first = true;
                       }
                       if (!second && text.find("closing on signal 15") != std::string::npos) {
                           kill(child, SIGINT);
                           second = true;
                       }
                   });
    EXPECT_EQ(status, 128 + SIGINT) << output;
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
        [&](pid_t child, const std::string& text) {
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
