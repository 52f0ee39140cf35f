#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(LUMOVOX_BINARY_DIR) + "/app/lumovox";

// Starts the program headless in a folder with extra environment variables, waits (by
// reading its output) until its main window is shown, asks it to close with SIGTERM, and
// returns its exit status. The output is kept in output.
int RunProgram(const std::string& folder, const std::vector<std::string>& environment,
               std::string& output) {
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
        execl(kProgram.c_str(), kProgram.c_str(), nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    FILE* in = fdopen(pipeFds[0], "r");
    char line[4096];
    bool signalled = false;
    while (fgets(line, sizeof line, in)) {
        output += line;
        if (!signalled && output.find("Main window shown") != std::string::npos) {
            kill(child, SIGTERM);
            signalled = true;
        }
    }
    fclose(in);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    // A first run writes every built-in setting in table order, with one boot counted.
    EXPECT_EQ(ReadFile(temp / "data/LumoVox/setting.json"),
              ReadFile(std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/setting.default.json"));
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

}  // namespace
