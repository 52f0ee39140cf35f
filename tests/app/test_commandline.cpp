#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lv_licenses.h"
#include "test_util.h"

namespace {

const std::string kProgram = std::string(LUMOVOX_BINARY_DIR) + "/app/lumovox";

struct Outcome {
    int status = -1;  // exit status, or 1000 + the signal that ended it
    std::string out;
    std::string err;
};

// Runs the program with the arguments where no display can be opened (a platform that
// needs one and no DISPLAY) and with an empty private data folder, so any attempt to start
// the GUI or the application shows. stdoutPath, when given, replaces the output pipe.
Outcome RunProgram(const std::vector<std::string>& args, const TempFolder& temp,
                   const std::string& stdoutPath = {}) {
    Outcome run;
    std::string outFile = temp / "stdout", errFile = temp / "stderr";
    pid_t child = fork();
    if (child == 0) {
        int out = open((stdoutPath.empty() ? outFile : stdoutPath).c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("XDG_DATA_HOME", (temp / "data").c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(kProgram.c_str())};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(kProgram.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    run.out = ReadFile(outFile);
    run.err = ReadFile(errFile);
    return run;
}

TEST(CommandLine, InformationalOptionsPrintAndExitWithoutStartingAnything) {
    TempFolder temp;
    Outcome version = RunProgram({"--version"}, temp);
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, "lumovox 1.0.0.0\n");
    EXPECT_EQ(version.err, "");

    Outcome licenses = RunProgram({"--licenses"}, temp);
    EXPECT_EQ(licenses.status, 0) << licenses.err;
    ASSERT_GT(LV_LicenseTextSize(), 1000u);
    EXPECT_EQ(licenses.out, std::string(LV_LicenseText(), LV_LicenseTextSize()));
    EXPECT_EQ(licenses.out.rfind("[LumoVox]\n", 0), 0u);

    Outcome help = RunProgram({"--help"}, temp);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--licenses"), std::string::npos);
    EXPECT_NE(help.out.find("--version"), std::string::npos);

    // Neither the data folder nor the error log was created: the program never started.
    EXPECT_FALSE(std::filesystem::exists(temp / "data"));
}

TEST(CommandLine, MistakesAndWriteFailuresAreReported) {
    TempFolder temp;
    Outcome unknown = RunProgram({"--verison"}, temp);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("'--verison'"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(temp / "data"));

    // A full disk must not pass for a printed text.
    if (access("/dev/full", W_OK) == 0) {
        Outcome full = RunProgram({"--licenses"}, temp, "/dev/full");
        EXPECT_EQ(full.status, 1);
        EXPECT_NE(full.err.find("could not write"), std::string::npos);
    }
}

}  // namespace
