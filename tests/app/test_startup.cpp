#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(LUMOVOX_BINARY_DIR) + "/app/lumovox";

// Runs the program in a folder with the given environment prefix; returns its exit status.
int RunProgram(const std::string& workingFolder, const std::string& environment) {
    std::string command = "cd '" + workingFolder + "' && env " + environment +
                          " QT_QPA_PLATFORM=offscreen '" + kProgram + "' > output.txt 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Startup, CreatesTheDataAndLogFoldersUnderXdgDataHome) {
    TempFolder temp;
    fs::create_directories(temp / "data");
    ASSERT_EQ(RunProgram(temp.Path(), "XDG_DATA_HOME='" + (temp / "data") + "'"), 0)
        << ReadFile(temp / "output.txt");
    EXPECT_TRUE(fs::is_directory(temp / "data/LumoVox"));
    EXPECT_TRUE(fs::is_directory(temp / "data/LumoVox/errorlogs"));
    std::string output = ReadFile(temp / "output.txt");
    EXPECT_NE(output.find("TamberCore : 0.5"), std::string::npos);
    EXPECT_NE(output.find("OpenSSL\t: OpenSSL"), std::string::npos);
    // A first run writes every built-in setting in table order, with one boot counted.
    EXPECT_EQ(ReadFile(temp / "data/LumoVox/setting.json"),
              ReadFile(std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/setting.default.json"));
    ASSERT_EQ(RunProgram(temp.Path(), "XDG_DATA_HOME='" + (temp / "data") + "'"), 0);
    EXPECT_NE(ReadFile(temp / "data/LumoVox/setting.json")
                  .find("\"NumberOfBoots\": {\n\t\t\"type\": 1,\n\t\t\"value\": 2\n"),
              std::string::npos);
}

TEST(Startup, CreatesEveryMissingLevelAndNeverARelativeFolder) {
    TempFolder temp;
    // A relative XDG_DATA_HOME is ignored (as the XDG rules say): the default under HOME is
    // used, and nothing appears below the working folder.
    ASSERT_EQ(RunProgram(temp.Path(), "XDG_DATA_HOME=relative HOME='" + (temp / "home") + "'"), 0)
        << ReadFile(temp / "output.txt");
    EXPECT_TRUE(fs::is_directory(temp / "home/.local/share/LumoVox/errorlogs"));
    EXPECT_FALSE(fs::exists(temp / "relative"));
    EXPECT_FALSE(fs::exists(temp / "LumoVox"));
}

}  // namespace
